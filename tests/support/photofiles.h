#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtGlobal>

namespace tabi::test {

// A plain JPEG photo of the given size, written with Qt's own encoder.
inline void writeJpeg(const QString& path, QSize size = QSize(420, 280)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    if (!image.save(path, "JPG"))
        qFatal("cannot write %s", qPrintable(path));
}

// A file of exactly these bytes (a description in its stored encoding, a damaged photo).
inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace tabi::test
