#include "data/error.h"
#include "photos/jpegdecoder.h"
#include "support/errorof.h"

#include <QBuffer>
#include <QtTest>

using namespace tabi;
using namespace tabi::photos;
using tabi::test::errorOf;

namespace {

QByteArray jpegOf(const QImage& image, int quality = 95) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", quality))
        qFatal("no JPEG writer");
    return bytes;
}

bool near(const QColor& a, const QColor& b) {
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12 && qAbs(a.blue() - b.blue()) < 12;
}

} // namespace

class TestJpegDecoder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodesColourAndGrey_data() {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QColor>("color");
        QTest::newRow("colour") << QImage::Format_RGB32 << QColor(200, 40, 90);
        QTest::newRow("grey") << QImage::Format_Grayscale8 << QColor(128, 128, 128);
    }
    void decodesColourAndGrey() {
        QFETCH(QImage::Format, format);
        QFETCH(QColor, color);
        QImage source(1024, 768, format);
        source.fill(color);
        const QByteArray bytes = jpegOf(source);
        const QImage image = decodeJpeg(bytes, QStringLiteral("a.JPG"));
        QCOMPARE(image.size(), QSize(1024, 768));
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QVERIFY2(near(image.pixelColor(500, 300), color), qPrintable(image.pixelColor(500, 300).name()));
        QCOMPARE(jpegSize(bytes, QStringLiteral("a.JPG")), QSize(1024, 768));
    }

    void undecodableDataNamesTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QImage png(8, 8, QImage::Format_RGB32);
        png.fill(Qt::red);
        QByteArray pngBytes;
        QBuffer buffer(&pngBytes);
        buffer.open(QIODevice::WriteOnly);
        png.save(&buffer, "PNG");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("this is not an image\r\n");
        QTest::newRow("start marker only") << QByteArray("\xFF\xD8", 2);
        QTest::newRow("PNG data") << pngBytes;
    }
    void undecodableDataNamesTheFile() {
        QFETCH(QByteArray, bytes);
        const QString name = QStringLiteral("/photos/X1234500.JPG");
        QVERIFY(errorOf([&] { decodeJpeg(bytes, name); }).startsWith(name + QStringLiteral(": ")));
        QVERIFY(errorOf([&] { jpegSize(bytes, name); }).startsWith(name));
        // The decoder stays usable after a failure.
        QImage ok(4, 4, QImage::Format_RGB32);
        ok.fill(Qt::white);
        QCOMPARE(decodeJpeg(jpegOf(ok), name).size(), QSize(4, 4));
    }

    void truncatedImageStillShows() {
        // A file cut short decodes as far as its data goes; the rest is filled by the decoder.
        QImage source(256, 256, QImage::Format_RGB32);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                source.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
        const QByteArray bytes = jpegOf(source);
        QImage image;
        QCOMPARE(errorOf([&] { image = decodeJpeg(bytes.left(bytes.size() * 3 / 4), QStringLiteral("cut.JPG")); }),
                 QString());
        QCOMPARE(image.size(), QSize(256, 256));
    }

    void missingFileNamesTheFile() {
        const QString path = QStringLiteral("/nonexistent-folder/X1234500.JPG");
        QVERIFY(errorOf([&] { loadJpegFile(path); }).startsWith(path));
        QVERIFY(errorOf([&] { jpegFileSize(path); }).startsWith(path));
    }
};

QTEST_MAIN(TestJpegDecoder)
#include "test_jpegdecoder.moc"
