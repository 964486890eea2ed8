#include "data/error.h"
#include "data/settingsfile.h"
#include "data/textcodec.h"
#include "photos/photoseries.h"
#include "support/errorof.h"
#include "support/photofiles.h"
#include "support/smalldisk.h"
#include "support/tempenv.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace tabi;
using namespace tabi::photos;
using tabi::test::errorOf;
using tabi::test::writeBytes;
using tabi::test::writeJpeg;

namespace {

const QString kCode = QStringLiteral("X12345");

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The enabled buttons as five letters T P N 5 S, '-' where disabled.
QString buttons(const PhotoSeries& s) {
    const PhotoButtons& b = s.buttons();
    QString out;
    out += b.first ? QLatin1Char('T') : QLatin1Char('-');
    out += b.prior ? QLatin1Char('P') : QLatin1Char('-');
    out += b.next ? QLatin1Char('N') : QLatin1Char('-');
    out += b.plus5 ? QLatin1Char('5') : QLatin1Char('-');
    out += b.save ? QLatin1Char('S') : QLatin1Char('-');
    return out;
}

void press(PhotoSeries& s, const QString& command) {
    if (command == QLatin1String("start"))
        s.start(kCode);
    else if (command == QLatin1String("T"))
        s.first();
    else if (command == QLatin1String("P"))
        s.prior();
    else if (command == QLatin1String("N"))
        s.next();
    else if (command == QLatin1String("5"))
        s.plus5();
    else
        qFatal("unknown command %s", qPrintable(command));
}

} // namespace

class TestPhotoSeries : public QObject, public test::TempPhotoFolders {
    Q_OBJECT

private Q_SLOTS:
    void init() { makePhotoFolders(); }
    void cleanup() { removePhotoFolders(); }

    void stepRule_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("inRange");
        QTest::newRow("00+1") << "00" << 1 << "01" << true;
        QTest::newRow("04+5") << "04" << 5 << "09" << true;
        QTest::newRow("07+5") << "07" << 5 << "12" << true;
        QTest::newRow("09+1") << "09" << 1 << "10" << true;
        QTest::newRow("10-1") << "10" << -1 << "09" << true;
        QTest::newRow("01-1") << "01" << -1 << "00" << true;
        QTest::newRow("94+5") << "94" << 5 << "99" << true;
        QTest::newRow("99+1 cut to three digits' first two") << "99" << 1 << "10" << false;
        QTest::newRow("95+5") << "95" << 5 << "10" << false;
    }
    void stepRule() {
        QFETCH(QString, number);
        QFETCH(int, k);
        QFETCH(QString, result);
        QFETCH(bool, inRange);
        QCOMPARE(stepNumber(number, k), result);
        QCOMPARE(stepStaysInRange(number, k), inRange);
    }

    void buttonTable_data() {
        QTest::addColumn<QStringList>("photos");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("enabled"); // T P N 5 S
        QTest::addColumn<bool>("shown");
        const QStringList three{"00", "01", "03"};
        QTest::newRow("00 of 00/01/03") << three << QStringList{"start"} << "00"
                                        << "--N-S" << true;
        QTest::newRow("01: no 02") << three << QStringList{"start", "N"} << "01"
                                   << "TP--S" << true;
        QTest::newRow("back to 00") << three << QStringList{"start", "N", "P"} << "00"
                                    << "--N-S" << true;
        QTest::newRow("+5 to missing 05") << three << QStringList{"start", "5"} << "05"
                                          << "T----" << false;
        QTest::newRow("first from 05") << three << QStringList{"start", "5", "T"} << "00"
                                       << "--N-S" << true;
        QTest::newRow("first and prior at 00 do nothing") << three << QStringList{"start", "T", "P"} << "00"
                                                          << "--N-S" << true;
        QTest::newRow("+5 enabled when 05 exists") << QStringList{"00", "05"} << QStringList{"start"} << "00"
                                                   << "---5S" << true;
        QTest::newRow("+5 moves over gaps") << QStringList{"00", "05"} << QStringList{"start", "5"} << "05"
                                            << "TP--S" << true;
        QTest::newRow("no photos") << QStringList{} << QStringList{"start"} << "00"
                                   << "-----" << false;
        QTest::newRow("no 00 but 01") << QStringList{"01"} << QStringList{"start"} << "00"
                                      << "--N--" << false;
        QTest::newRow("first reaching missing 00")
            << QStringList{"01", "02"} << QStringList{"start", "N", "N", "T"} << "00"
            << "--N--" << false;
        QTest::newRow("01 of 01/03: 02 missing") << QStringList{"01", "03"} << QStringList{"start", "N"} << "01"
                                                 << "TP--S" << true;
        // Never past "99", even where the cut step would name an existing "10".
        QTest::newRow("99 stops") << QStringList{"10", "94", "95", "98", "99"}
                                  << QStringList{"start", "5", "5", "5", "5", "5", "5", "5", "5", "5", "5", "5", "5",
                                                 "5",     "5", "5", "5", "5", "5", "5", "N", "N", "N", "N", "N", "N"}
                                  << "99"
                                  << "TP--S" << true;
        QTest::newRow("95 has no +5") << QStringList{"10", "95", "96"}
                                      << QStringList{"start", "5", "5", "5", "5", "5", "5", "5", "5", "5",
                                                     "5",     "5", "5", "5", "5", "5", "5", "5", "5", "5"}
                                      << "95"
                                      << "TPN-S" << true;
    }
    void buttonTable() {
        QFETCH(QStringList, photos);
        QFETCH(QStringList, commands);
        QFETCH(QString, number);
        QFETCH(QString, enabled);
        QFETCH(bool, shown);
        for (const QString& n : photos)
            writeJpeg(m_photos + kCode + n + QStringLiteral(".JPG"));
        PhotoSeries s;
        for (const QString& c : commands)
            press(s, c);
        QCOMPARE(s.number(), number);
        QCOMPARE(buttons(s), enabled);
        QCOMPARE(s.imageVisible(), shown);
        QCOMPARE(s.infoLine() == imageNotFound(kCode + number + QStringLiteral(".JPG")), !shown);
    }

    void infoLineReportsOwnSize_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("line");
        QTest::newRow("designed size") << QSize(420, 280) << "File name: X1234503.JPG  Width: 420  Height: 280";
        QTest::newRow("larger") << QSize(1024, 768) << "File name: X1234503.JPG  Width: 1024  Height: 768";
        QTest::newRow("large") << QSize(4000, 3000) << "File name: X1234503.JPG  Width: 4000  Height: 3000";
    }
    void infoLineReportsOwnSize() {
        QFETCH(QSize, size);
        QFETCH(QString, line);
        for (const char* n : {"00", "01", "02"})
            writeJpeg(m_photos + kCode + QLatin1String(n) + QStringLiteral(".JPG"));
        writeJpeg(m_photos + kCode + QStringLiteral("03.JPG"), size);
        PhotoSeries s;
        s.start(kCode);
        s.next();
        s.next();
        s.next();
        QCOMPARE(s.number(), QStringLiteral("03"));
        QCOMPARE(s.infoLine(), line);
        // Decoded no larger than needed to fill the 420 x 280 area.
        QVERIFY(s.image().width() >= 420 && s.image().height() >= 280);
        QVERIFY(s.image().width() < 840 || s.image().width() == size.width());
    }

    void descriptions() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        writeJpeg(m_photos + kCode + QStringLiteral("01.JPG"));
        writeBytes(m_docs + kCode + QStringLiteral("00.TXT"), text::toCp932(QStringLiteral("一行目\r\n二行目")));
        PhotoSeries s;
        s.start(kCode);
        QVERIFY(!s.descriptionMissing());
        QCOMPARE(s.description(), QStringLiteral("一行目\n二行目"));
        s.next();
        QVERIFY(s.descriptionMissing()); // shown in red as the text area's own text
        QCOMPARE(s.description(), QStringLiteral("画像に関する説明ファイルなし"));
        // Saving the message unchanged writes it as a new description, in the encoding last read.
        s.save(s.description());
        QCOMPARE(readBytes(m_docs + kCode + QStringLiteral("01.TXT")), text::toCp932(kNoDescription));
        s.save(QStringLiteral("a\nb"));
        QCOMPARE(readBytes(m_docs + kCode + QStringLiteral("01.TXT")), QByteArray("a\r\nb"));
        s.first();
        QCOMPARE(s.description(), QStringLiteral("一行目\n二行目"));
    }

    void savesInTheEncodingRead_data() {
        QTest::addColumn<int>("encoding"); // -1: nothing read yet
        QTest::newRow("none read: CP932") << -1;
        QTest::newRow("CP932") << int(text::Encoding::Cp932);
        QTest::newRow("UTF-8") << int(text::Encoding::Utf8);
        QTest::newRow("UTF-16LE") << int(text::Encoding::Utf16LE);
        QTest::newRow("UTF-16BE") << int(text::Encoding::Utf16BE);
    }
    void savesInTheEncodingRead() {
        QFETCH(int, encoding);
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        writeJpeg(m_photos + kCode + QStringLiteral("01.JPG"));
        const auto enc = text::Encoding(encoding < 0 ? 0 : encoding);
        if (encoding >= 0)
            writeBytes(m_docs + kCode + QStringLiteral("00.TXT"),
                       text::encode(QStringLiteral("説明"), enc, enc != text::Encoding::Cp932));
        PhotoSeries s;
        s.start(kCode);
        QCOMPARE(s.description(), encoding < 0 ? kNoDescription : QStringLiteral("説明"));
        s.save(QStringLiteral("新しい\n説明"));
        QCOMPARE(readBytes(m_docs + kCode + QStringLiteral("00.TXT")),
                 text::encode(QStringLiteral("新しい\r\n説明"), enc, enc != text::Encoding::Cp932));
        // A missing description in between does not change the encoding remembered.
        s.next();
        QVERIFY(s.descriptionMissing());
        s.save(QStringLiteral("x"));
        QCOMPARE(readBytes(m_docs + kCode + QStringLiteral("01.TXT")),
                 text::encode(QStringLiteral("x"), enc, enc != text::Encoding::Cp932));
    }

    void folderSettings_data() {
        QTest::addColumn<QString>("photoKeyValue"); // "<absent>" removes the key
        QTest::addColumn<QString>("photoFile");     // relative to the temporary folder
        QTest::newRow("absent key: working folder") << "<absent>"
                                                    << "X1234500.JPG";
        QTest::newRow("Failure: working folder") << "Failure"
                                                 << "X1234500.JPG";
        QTest::newRow("no trailing separator") << "P"
                                               << "PX1234500.JPG";
        QTest::newRow("trailing separator") << "P/"
                                            << "P/X1234500.JPG";
        QTest::newRow("lower-case extension") << "P/"
                                              << "P/X1234500.jpg";
    }
    void folderSettings() {
        QFETCH(QString, photoKeyValue);
        QFETCH(QString, photoFile);
        const QString saved = QDir::currentPath();
        QDir::setCurrent(m_env->path());
        QDir().mkpath(QStringLiteral("P"));
        if (photoKeyValue == QLatin1String("<absent>"))
            QFile::remove(settings::filePath());
        else
            settings::writeString(QStringLiteral("Path"), QStringLiteral("PhotoPath"),
                                  photoKeyValue.startsWith(QLatin1Char('P')) ? m_env->file(photoKeyValue)
                                                                             : photoKeyValue);
        writeJpeg(m_env->file(photoFile));
        PhotoSeries s;
        s.start(kCode);
        QDir::setCurrent(saved);
        QVERIFY(s.imageVisible());
        QCOMPARE(buttons(s), QStringLiteral("----S"));
    }

    void lowerCaseDescriptionIsReadAndRewritten() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.jpg"));
        writeBytes(m_docs + kCode + QStringLiteral("00.txt"), "old");
        PhotoSeries s;
        s.start(kCode);
        QCOMPARE(s.description(), QStringLiteral("old"));
        s.save(QStringLiteral("new"));
        QCOMPARE(readBytes(m_docs + kCode + QStringLiteral("00.txt")), QByteArray("new"));
        QVERIFY(!QFile::exists(m_docs + kCode + QStringLiteral("00.TXT")));
    }

    void othersUseTheirOwnKeys() {
        const QString others = m_env->file(QStringLiteral("others/"));
        QDir().mkpath(others);
        settings::writeString(QStringLiteral("Path"), QStringLiteral("OthersPhotoPath"), others);
        writeJpeg(others + kCode + QStringLiteral("00.JPG"));
        PhotoSeries place(PhotoKeys::others());
        place.start(kCode);
        QVERIFY(place.imageVisible());
        PhotoSeries route(PhotoKeys::routes());
        route.start(kCode);
        QVERIFY(!route.imageVisible());
    }

    // The viewer's placeholders lie in the user's folders: a FIFO of that name is an error naming it, never a wait.
    void placeholderThatIsNoFileIsAnError() {
        QCOMPARE(::mkfifo(QFile::encodeName(m_photos + kPlaceholderName + QStringLiteral(".JPG")).constData(), 0600),
                 0);
        PhotoSeries s(PhotoKeys::routes(), /*placeholders=*/true);
        const QString message = errorOf([&] { s.start(kCode); });
        QVERIFY2(message.contains(kPlaceholderName + QStringLiteral(".JPG: 通常のファイルではありません")),
                 qPrintable(message));
    }

    void corruptPhotoIsAnErrorNamingTheFile() {
        const QString bad = m_photos + kCode + QStringLiteral("00.JPG");
        writeBytes(bad, "not a jpeg at all");
        writeBytes(m_docs + kCode + QStringLiteral("00.TXT"), "kept");
        PhotoSeries s;
        const QString message = errorOf([&] { s.start(kCode); });
        QVERIFY2(message.startsWith(bad + QStringLiteral(": ")), qPrintable(message));
        // The command stops: the series stands on the number as for a missing photo, its description not read.
        QVERIFY(!s.imageVisible());
        QVERIFY(s.infoLine().contains(kCode + QStringLiteral("00.JPG")));
        QCOMPARE(s.description(), QString());
        QVERIFY(!s.descriptionMissing());
        QCOMPARE(buttons(s), QStringLiteral("-----"));
        // A file that merely exists enables the buttons leading to it; decoding is found out on arrival.
        writeJpeg(bad);
        writeBytes(m_photos + kCode + QStringLiteral("01.JPG"), "junk");
        s.start(kCode);
        QCOMPARE(buttons(s), QStringLiteral("--N-S"));
        QVERIFY(errorOf([&] { s.next(); }).contains(QStringLiteral("01.JPG")));
        QCOMPARE(s.number(), QStringLiteral("01"));
        QCOMPARE(buttons(s), QStringLiteral("T----"));
        QCOMPARE(s.description(), QString());
    }

    // Saving what was read, unedited, gives back the very bytes; an edited text keeps the file's form
    // (encoding, byte-order mark, line ending).
    void savingKeepsTheFileForm_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("edited"); // null: saved as shown
        QTest::addColumn<QByteArray>("saved");
        const QString none;
        QTest::newRow("utf-8 without bom, LF") << QByteArray("\xE4\xB8\x80\n\xE4\xBA\x8C\n") << "一\n二\n"
                                               << none << QByteArray("\xE4\xB8\x80\n\xE4\xBA\x8C\n");
        QTest::newRow("utf-8 without bom, edited")
            << QByteArray("\xE4\xB8\x80\n\xE4\xBA\x8C\n") << "一\n二\n"
            << QStringLiteral("三\n四") << QByteArray("\xE4\xB8\x89\n\xE5\x9B\x9B");
        QTest::newRow("utf-8 with a stray byte") << QByteArray("\xE4\xB8\x80\xFF\r\n") << "一\uFFFD\n"
                                                 << none << QByteArray("\xE4\xB8\x80\xFF\r\n");
        QTest::newRow("cp932 0x80 and 0xFD") << QByteArray("\x88\xEA\x80\xFD\r\n") << "一\u0080\uF8F1\n"
                                             << none << QByteArray("\x88\xEA\x80\xFD\r\n");
        QTest::newRow("cp932 edited keeps CR LF") << QByteArray("\x88\xEA\r\n") << "一\n"
                                                  << QStringLiteral("二\n三") << QByteArray("\x93\xF1\r\n\x8E\x4F");
        QTest::newRow("mixed line endings")
            << QByteArray("a\r\nb\nc\rd") << "a\nb\nc\rd" << none << QByteArray("a\r\nb\nc\rd");
        QTest::newRow("utf-16le bom") << QByteArray("\xFF\xFE\x00\x4E\x0A\x00", 6) << "一\n"
                                      << none << QByteArray("\xFF\xFE\x00\x4E\x0A\x00", 6);
    }
    void savingKeepsTheFileForm() {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        QFETCH(QString, edited);
        QFETCH(QByteArray, saved);
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        const QString path = m_docs + kCode + QStringLiteral("00.TXT");
        writeBytes(path, file);
        PhotoSeries s;
        s.start(kCode);
        QCOMPARE(s.description(), shown);
        s.save(edited.isNull() ? s.description() : edited);
        QCOMPARE(readBytes(path), saved);
    }

    // A full disk: the old description stays whole, nothing is left beside it, the message names the file and
    // the reason.
    void fullDiskKeepsTheOldDescription() {
        test::SmallDisk disk;
        if (!disk.mounted())
            QSKIP("a small file system can be mounted only by the superuser");
        settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"), disk.path() + QLatin1Char('/'));
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        const QString path = disk.file(kCode + QStringLiteral("00.TXT"));
        const QByteArray old = text::toCp932(QStringLiteral("古い説明\r\n")).repeated(400);
        writeBytes(path, old);
        disk.fill();
        PhotoSeries s;
        s.start(kCode);
        const QString message = errorOf([&] { s.save(QStringLiteral("新しい説明").repeated(500)); });
        QVERIFY2(message.contains(path), qPrintable(message));
        QVERIFY2(message.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(message));
        QCOMPARE(readBytes(path), old);
        QCOMPARE(disk.names(), QStringList{kCode + QStringLiteral("00.TXT")});
    }

    void unwritableDescriptionIsAnError() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"),
                              m_env->file(QStringLiteral("nofolder/")));
        PhotoSeries s;
        s.start(kCode);
        QVERIFY(s.descriptionMissing());
        QVERIFY(errorOf([&] { s.save(QStringLiteral("x")); }).contains(QStringLiteral("X1234500.TXT")));
        if (::geteuid() != 0) { // the superuser writes read-only files anyway
            settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"), m_docs);
            const QString path = m_docs + kCode + QStringLiteral("00.TXT");
            writeBytes(path, "ro");
            QFile::setPermissions(path, QFileDevice::ReadOwner);
            QVERIFY(!errorOf([&] { s.save(QStringLiteral("x")); }).isEmpty());
        }
    }
};

QTEST_MAIN(TestPhotoSeries)
#include "test_photoseries.moc"
