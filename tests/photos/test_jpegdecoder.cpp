#include "data/error.h"
#include "photos/jpegdecoder.h"
#include "support/errorof.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
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

// A small picture whose frame header claims another size: the data covers a corner, the decoder fills the rest.
QByteArray claimingSize(QSize claimed, bool progressive) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPG");
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        qFatal("no JPEG writer");
    const qsizetype sof = bytes.indexOf(progressive ? QByteArray("\xFF\xC2") : QByteArray("\xFF\xC0"));
    if (sof < 0)
        qFatal("no frame header");
    bytes[sof + 5] = char(claimed.height() >> 8);
    bytes[sof + 6] = char(claimed.height() & 0xFF);
    bytes[sof + 7] = char(claimed.width() >> 8);
    bytes[sof + 8] = char(claimed.width() & 0xFF);
    return bytes;
}

// Peak resident memory of this process in bytes, counted from the last resetPeakMemory().
qint64 peakMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}
bool resetPeakMemory() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
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

    // The message names the file and the problem in Japanese; the decoder's own text may follow in brackets.
    void undecodableDataNamesTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        QImage png(8, 8, QImage::Format_RGB32);
        png.fill(Qt::red);
        QByteArray pngBytes;
        QBuffer buffer(&pngBytes);
        buffer.open(QIODevice::WriteOnly);
        png.save(&buffer, "PNG");
        QTest::newRow("empty") << QByteArray() << "ファイルが空です";
        QTest::newRow("text") << QByteArray("this is not an image\r\n") << "JPEG 形式の画像ではありません（Not a JPEG";
        QTest::newRow("start marker only") << QByteArray("\xFF\xD8", 2) << "読み取れません";
        QTest::newRow("PNG data") << pngBytes << "JPEG 形式の画像ではありません";
    }
    void undecodableDataNamesTheFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        const QString name = QStringLiteral("/photos/X1234500.JPG");
        const QString message = errorOf([&] { decodeJpeg(bytes, name); });
        QVERIFY2(message.startsWith(name + QStringLiteral(": ")) && message.contains(problem), qPrintable(message));
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

    // A picture stretched into an area is decoded at the smallest scale that still covers the area.
    void decodesAtTheSmallestScaleThatFills_data() {
        QTest::addColumn<QSize>("own");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("designed size") << QSize(420, 280) << QSize(420, 280);
        QTest::newRow("1/2") << QSize(1024, 768) << QSize(512, 384);
        QTest::newRow("1/4") << QSize(1700, 1200) << QSize(425, 300);
        QTest::newRow("1/8") << QSize(4000, 3000) << QSize(500, 375);
        QTest::newRow("wide and low: the height decides") << QSize(2000, 300) << QSize(2000, 300);
        QTest::newRow("smaller than the area") << QSize(100, 50) << QSize(100, 50);
    }
    void decodesAtTheSmallestScaleThatFills() {
        QFETCH(QSize, own);
        QFETCH(QSize, decoded);
        QImage source(own, QImage::Format_RGB32);
        source.fill(QColor(200, 40, 90));
        const DecodedJpeg result = decodeJpegToFill(jpegOf(source), QStringLiteral("a.JPG"), QSize(420, 280));
        QCOMPARE(result.size, own);
        QCOMPARE(result.image.size(), decoded);
        QVERIFY(near(result.image.pixelColor(decoded.width() / 2, decoded.height() / 2), QColor(200, 40, 90)));
    }

    // A picture drawn at its own size and clipped needs only its top-left corner.
    void decodesTheTopLeftCorner() {
        QImage source(1024, 768, QImage::Format_RGB32);
        source.fill(Qt::white);
        for (int y = 0; y < 768; y += 2)
            for (int x = 0; x < 1024; x += 2)
                source.setPixel(x, y, qRgb(x * 255 / 1024, y * 255 / 768, 0));
        const DecodedJpeg result = decodeJpegTopLeft(jpegOf(source), QStringLiteral("a.JPG"), QSize(320, 220));
        QCOMPARE(result.size, QSize(1024, 768));
        QCOMPARE(result.image.size(), QSize(320, 220));
        const QImage whole = decodeJpeg(jpegOf(source), QStringLiteral("a.JPG"));
        QCOMPARE(result.image, whole.copy(0, 0, 320, 220));
        // A picture smaller than the area comes whole.
        QCOMPARE(decodeJpegTopLeft(jpegOf(source.copy(0, 0, 100, 60)), QStringLiteral("b.JPG"), QSize(320, 220))
                     .image.size(),
                 QSize(100, 60));
    }

    // A header may claim any size up to 65,535 x 65,535: memory follows the area shown, never the claim, and a
    // picture beyond what can sensibly be shown is refused with its name and size.
    void hugeImagesStayWithinMemory_data() {
        QTest::addColumn<QSize>("claimed");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<bool>("refused");
        QTest::newRow("60,000 x 60,000") << QSize(60000, 60000) << false << true;
        QTest::newRow("60,000 x 60,000 progressive") << QSize(60000, 60000) << true << true;
        QTest::newRow("9,000 x 9,000") << QSize(9000, 9000) << false << false;
        QTest::newRow("9,000 x 9,000 progressive") << QSize(9000, 9000) << true << true;
        QTest::newRow("4,000 x 3,000 progressive") << QSize(4000, 3000) << true << false;
    }
    void hugeImagesStayWithinMemory() {
        QFETCH(QSize, claimed);
        QFETCH(bool, progressive);
        QFETCH(bool, refused);
        const QByteArray bytes = claimingSize(claimed, progressive);
        QVERIFY(bytes.size() < 4000);
        QCOMPARE(jpegSize(bytes, QStringLiteral("h.JPG")), claimed);
        const QString name = QStringLiteral("/photos/X1234501.JPG");
        const bool reset = resetPeakMemory();
        const qint64 before = peakMemory();
        DecodedJpeg page, viewer;
        const QString pageError = errorOf([&] { page = decodeJpegToFill(bytes, name, QSize(420, 280)); });
        const QString viewerError = errorOf([&] { viewer = decodeJpegTopLeft(bytes, name, QSize(320, 220)); });
        const qint64 peak = peakMemory();
        qInfo("peak resident memory %.1f MB (%s)", double(peak) / (1 << 20), reset ? "reset before" : "process");
        QVERIFY(peak > 0);
        QVERIFY2(peak < 200LL << 20, qPrintable(QString::number(peak)));
        QVERIFY(reset || peak - before < 150LL << 20);
        if (refused) {
            for (const QString& message : {pageError, viewerError}) {
                QVERIFY2(message.startsWith(name + QStringLiteral(": ")), qPrintable(message));
                QVERIFY2(message.contains(QStringLiteral("%1 × %2").arg(claimed.width()).arg(claimed.height())),
                         qPrintable(message));
            }
        } else {
            QCOMPARE(pageError, QString());
            QCOMPARE(viewerError, QString());
            QCOMPARE(page.size, claimed);
            QVERIFY(page.image.width() >= 420 && page.image.height() >= 280);
            QVERIFY(page.image.width() <= claimed.width() / 4);
            QCOMPARE(viewer.image.size(), QSize(320, 220));
        }
    }

    void missingFileNamesTheFile() {
        const QString path = QStringLiteral("/nonexistent-folder/X1234500.JPG");
        QVERIFY(errorOf([&] { loadJpegFile(path); }).startsWith(path + QStringLiteral(": ファイルを開けません（")));
        QVERIFY(errorOf([&] { jpegFileSize(path); }).startsWith(path));
    }
};

QTEST_MAIN(TestJpegDecoder)
#include "test_jpegdecoder.moc"
