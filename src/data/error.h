#pragma once

#include <QString>
#include <exception>

namespace tabi {

// What went wrong, so that code and tests can tell failures apart without reading the message.
enum class ErrorKind {
    Other,
    DuplicateKey,   // a row with the same key is stored already
    TooLong,        // text longer than its field
    BadCharacter,   // a character a single-line text field cannot hold (control characters, broken pairs)
    OutOfRange,     // a number outside its field's range
    NotANumber,     // text that is no (finite) number
    NotADate,       // text or a stored value that names no real day
    Required,       // an empty value in a field that may not be empty
    WrongType,      // a value of the wrong type for its column
    Locked,         // another connection holds the database
    ReadOnly,       // the file or folder cannot be written
    DiskFull,       // no space left on the disk
    ChangedByOther, // the record was changed or deleted through another connection after it was read
    NotADatabase,   // the file is no database of this program (foreign, damaged or of a newer version)
    CannotOpen,     // the file or its folder cannot be opened or created
};

// Every failure a user can cause (engine refusals, unreadable files, bad input) travels as this exception
// up to the command handler, which shows its text in a standard error box and leaves stored data alone.
class Error : public std::exception {
public:
    explicit Error(QString message, ErrorKind kind = ErrorKind::Other)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()), m_kind(kind) {}
    const QString& message() const noexcept { return m_message; }
    ErrorKind kind() const noexcept { return m_kind; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
    ErrorKind m_kind;
};

} // namespace tabi
