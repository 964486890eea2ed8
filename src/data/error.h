#pragma once

#include <QString>
#include <exception>

namespace tabi {

// Every failure a user can cause (engine refusals, unreadable files, bad input) travels as this exception
// up to the command handler, which shows its text in a standard error box and leaves stored data alone.
class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace tabi
