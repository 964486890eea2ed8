#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace tabi::test {

// The bytes of a file as they are on disk; "<missing>" when it cannot be read, so that a comparison says so.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace tabi::test
