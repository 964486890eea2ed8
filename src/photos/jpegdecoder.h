#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// JPEG photographs through libjpeg. A file that does not decode raises tabi::Error naming the file; the
// library's own fatal-error exit is replaced so that a bad file can never end the program.
//
// A header may claim up to 65,535 x 65,535 pixels in a file of a few hundred bytes, so nothing is sized by the
// claim alone: a picture above kMaxPixels is refused with its name and size, a picture is decoded only as far
// as the area it is shown in needs, and the decoder's own working memory has a ceiling.
namespace tabi::photos {

// The largest picture shown, in pixels (100 megapixels, well above any camera's photographs).
inline constexpr qint64 kMaxPixels = 100'000'000;
// The largest photo file read, in bytes.
inline constexpr qint64 kMaxJpegFileBytes = 64LL << 20;

struct DecodedJpeg {
    QImage image; // QImage::Format_RGB32, as much of the picture as the area needs
    QSize size;   // the picture's own width and height
};

// For a picture stretched into area: decoded at the smallest of the scales 1/8, 1/4, 1/2 and 1 whose result
// still covers the area, so that shrinking it to the area loses nothing.
DecodedJpeg decodeJpegToFill(const QByteArray& data, const QString& fileName, QSize area);
// For a picture drawn at its own size from the top-left corner of area and clipped there: only that corner.
DecodedJpeg decodeJpegTopLeft(const QByteArray& data, const QString& fileName, QSize area);

// The whole image.
QImage decodeJpeg(const QByteArray& data, const QString& fileName);
QImage loadJpegFile(const QString& path); // throws tabi::Error when the file cannot be read or decoded
// The bytes of a photo file; throws tabi::Error naming the file when it cannot be read or is above
// kMaxJpegFileBytes.
QByteArray readJpegFile(const QString& path);
// Width and height from the header only.
QSize jpegSize(const QByteArray& data, const QString& fileName);
QSize jpegFileSize(const QString& path);

} // namespace tabi::photos
