#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// JPEG photographs through libjpeg. A file that does not decode raises tabi::Error naming the file; the
// library's own fatal-error exit is replaced so that a bad file can never end the program.
namespace tabi::photos {

// The whole image, as QImage::Format_RGB32.
QImage decodeJpeg(const QByteArray& data, const QString& fileName);
QImage loadJpegFile(const QString& path); // throws tabi::Error when the file cannot be read or decoded
// Width and height from the header only.
QSize jpegSize(const QByteArray& data, const QString& fileName);
QSize jpegFileSize(const QString& path);

} // namespace tabi::photos
