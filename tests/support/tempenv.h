#pragma once

#include <QTemporaryDir>
#include <QString>

namespace tabi::test {

// Points both databases and the settings file at a fresh temporary folder for the lifetime of the object,
// so no test touches the user's own files.
class TempEnv {
public:
    TempEnv();
    ~TempEnv();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

} // namespace tabi::test
