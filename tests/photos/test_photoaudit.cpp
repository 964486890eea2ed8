#include "data/database.h"
#include "data/settingsfile.h"
#include "photos/photoaudit.h"
#include "photos/registration.h"
#include "photos/tfiles.h"
#include "support/dialogseam.h"
#include "support/errorof.h"
#include "support/files.h"
#include "support/photofiles.h"
#include "ui/dbgrid.h"
#include "ui/screens.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tabi;
using tabi::test::readAll;
using namespace tabi::photos;

namespace {

// Should a scan ever block opening the FIFO, this opens and closes its other end after a while, so that the test
// fails on the row that appears instead of hanging.
class FifoWatchdog {
public:
    explicit FifoWatchdog(QByteArray fifo)
        : m_thread([this, fifo] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::seconds(10), [this] { return m_finished; })) {
                  const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0)
                      ::close(fd);
              }
          }) {}
    ~FifoWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

QPushButton* button(QWidget* w, const char* name) {
    auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name));
    if (!b)
        qFatal("no button %s", name);
    return b;
}

} // namespace

// The photo folder audit: which files are listed, their sizes and codes, the remarks, the reducing step, and the
// screen with its export.
class TestPhotoAudit : public QObject, public test::TempPhotoFolders {
    Q_OBJECT
    std::shared_ptr<Database> m_ref;

    QString row(const QString& name) {
        return m_ref->dump(QStringLiteral("SELECT FILE_NAME, WIDTH, HEIGHT, ROSEN_CD, ROSEN_KANJI, SHOZOKU, BIKO FROM "
                                          "CFM_FILES WHERE FILE_NAME = '%1'")
                               .arg(name));
    }
    int rows() { return m_ref->scalar(QStringLiteral("SELECT count(*) FROM CFM_FILES")).toInt(); }

private Q_SLOTS:
    void init() {
        makePhotoFolders();
        m_ref = Database::open(DbKind::Reference);
        m_ref->exec(QStringLiteral("DELETE FROM MASTER; INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, SHOZOKU) VALUES "
                                   "('A00001', 'L1', 'Op1')"));
        test::writeJpeg(m_photos + QStringLiteral("A0000100.JPG"), {420, 280});
        test::writeJpeg(m_photos + QStringLiteral("A0000101.JPG"), {420, 281});
        test::writeJpeg(m_photos + QStringLiteral("A0000102.jpg"), {421, 280});
        test::writeJpeg(m_photos + QStringLiteral("NOPHOTO.JPG"), {420, 280});
        test::writeJpeg(m_photos + QStringLiteral("ABC.JPG"), {420, 280});
        test::writeJpeg(m_photos + QStringLiteral("WIDE.JPG"), {40000, 8});
        test::writeBytes(m_photos + QStringLiteral("BAD.JPG"), "not a JPEG at all");
        test::writeJpeg(m_photos + QStringLiteral("A0000103.JPEG"), {420, 280});
        QImage(8, 8, QImage::Format_RGB32).save(m_photos + QStringLiteral("PIC.PNG"), "PNG");
        QDir(m_photos).mkpath(QStringLiteral("DIR.JPG"));
    }
    void cleanup() {
        m_ref.reset();
        removePhotoFolders();
    }

    void scanAndRoutes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("scanned"); // FILE_NAME|WIDTH|HEIGHT|ROSEN_CD|ROSEN_KANJI|SHOZOKU|BIKO|
        QTest::addColumn<QString>("completed");
        const QString size = QStringLiteral("幅もしくは高さ確認");
        const QString missing = QStringLiteral("■■■■■■■■■■|■■■■■■■■■■|当該鉄軌道路線なし|");
        QTest::newRow("420 x 280") << "A0000100.JPG"
                                   << "A0000100.JPG|420|280|A00001||||"
                                   << "A0000100.JPG|420|280|A00001|L1|Op1||";
        QTest::newRow("420 x 281") << "A0000101.JPG"
                                   << "A0000101.JPG|420|281|A00001|||" + size + "|"
                                   << "A0000101.JPG|420|281|A00001|L1|Op1|" + size + "|";
        QTest::newRow("421 x 280, lower-case extension") << "A0000102.jpg"
                                                         << "A0000102.jpg|421|280|A00001|||" + size + "|"
                                                         << "A0000102.jpg|421|280|A00001|L1|Op1|" + size + "|";
        QTest::newRow("no route") << "NOPHOTO.JPG"
                                  << "NOPHOTO.JPG|420|280|NOPHOT||||"
                                  << "NOPHOTO.JPG|420|280|NOPHOT|" + missing;
        QTest::newRow("short name") << "ABC.JPG"
                                    << "ABC.JPG|420|280|ABC.JP||||"
                                    << "ABC.JPG|420|280|ABC.JP|" + missing;
        QTest::newRow("not a JPEG, route missing") << "BAD.JPG"
                                                   << "BAD.JPG|0|0|BAD.JP|||" + size + "|"
                                                   << "BAD.JPG|0|0|BAD.JP|" + missing;
        QTest::newRow("panorama beyond 16 bits") << "WIDE.JPG"
                                                 << "WIDE.JPG|32767|8|WIDE.J|||" + size + "|"
                                                 << "WIDE.JPG|32767|8|WIDE.J|" + missing;
        QTest::newRow("four-letter extension") << "A0000103.JPEG"
                                               << ""
                                               << "";
        QTest::newRow("PNG") << "PIC.PNG"
                             << ""
                             << "";
        QTest::newRow("folder") << "DIR.JPG"
                                << ""
                                << "";
    }
    void scanAndRoutes() {
        QFETCH(QString, name);
        QFETCH(QString, scanned);
        QFETCH(QString, completed);
        const QString folder = m_photos.chopped(1); // no trailing separator
        scanPhotoFolder(m_ref, folder);
        QCOMPARE(rows(), 7);
        QCOMPARE(row(name), scanned.isEmpty() ? QString() : scanned + QLatin1Char('\n'));
        completePhotoFileList(m_ref);
        QCOMPARE(row(name), completed.isEmpty() ? QString() : completed + QLatin1Char('\n'));
    }

    // Large metadata before the frame header: the size is still found, past the first block read.
    void longHeader() {
        const QString folder = m_photos + QStringLiteral("long/");
        QDir().mkpath(folder);
        test::writeJpeg(folder + QStringLiteral("plain.JPG"), {421, 281});
        const QByteArray jpeg = readAll(folder + QStringLiteral("plain.JPG"));
        QFile::remove(folder + QStringLiteral("plain.JPG"));
        const QByteArray comment = QByteArray("\xFF\xFE\xFF\xFF") + QByteArray(65533, 'c');
        test::writeBytes(folder + QStringLiteral("LONG.JPG"), jpeg.left(2) + comment + comment + jpeg.mid(2));
        scanPhotoFolder(m_ref, folder);
        QCOMPARE(row(QStringLiteral("LONG.JPG")), QStringLiteral("LONG.JPG|421|281|LONG.J|||幅もしくは高さ確認|\n"));
    }

    // Entries named *.JPG that are no photo file: a FIFO (opening it for reading would wait for a writer for ever),
    // a link to it and a broken link are left out; a link to a photo counts. A name that is not UTF-8 is listed
    // under the name its bytes allow, measured, and keeps its remark when the routes are looked up.
    void hostileEntries() {
        const QString folder = m_photos + QStringLiteral("odd/");
        QDir().mkpath(folder);
        const QByteArray dir = QFile::encodeName(folder);
        QCOMPARE(::mkfifo(dir + "A0000100.JPG", 0600), 0);
        FifoWatchdog watchdog(dir + "A0000100.JPG");
        QCOMPARE(::symlink("A0000100.JPG", dir + "A0000101.JPG"), 0);
        QCOMPARE(::symlink("nowhere.JPG", dir + "A0000102.JPG"), 0);
        test::writeJpeg(folder + QStringLiteral("A0000103.JPG"), {420, 280});
        QCOMPARE(::symlink("A0000103.JPG", dir + "A0000104.JPG"), 0);
        // "東京01.JPG" written in CP932, as a card mounted without its character set shows it.
        test::writeJpeg(folder + QStringLiteral("tmp.JPG"), {420, 280});
        QCOMPARE(::rename(dir + "tmp.JPG", dir + "\x93\x8C\x8B\x9E"
                                                 "01.JPG"),
                 0);

        QCOMPARE(photoFileSize(folder + QStringLiteral("A0000100.JPG")), QSize(0, 0));
        scanPhotoFolder(m_ref, folder);
        completePhotoFileList(m_ref);
        QCOMPARE(
            m_ref->dump(QStringLiteral("SELECT FILE_NAME, WIDTH, HEIGHT, ROSEN_CD, ROSEN_KANJI, BIKO FROM CFM_FILES")),
            QStringLiteral("A0000103.JPG|420|280|A00001|L1||\n"
                           "A0000104.JPG|420|280|A00001|L1||\n"
                           "\\x93\\x8C\\x8B\\x9E01.JPG|420|280|\\x93\\x|■■■■■■■■■■|名前を読めません|\n"));
    }

    void shownFileNames_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("readable");
        QTest::newRow("UTF-8") << QByteArray("写真𠮷.JPG") << QStringLiteral("写真𠮷.JPG") << true;
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9.JPG") << QStringLiteral("caf\\xE9.JPG") << false;
        QTest::newRow("overlong slash") << QByteArray("a\xC0\xAF.JPG") << QStringLiteral("a\\xC0\\xAF.JPG") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80.JPG") << QStringLiteral("\\xED\\xA0\\x80.JPG") << false;
        QTest::newRow("cut sequence before valid text")
            << QByteArray("\xE5\x86写.JPG") << QStringLiteral("\\xE5\\x86写.JPG") << false;
    }
    void shownFileNames() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(bool, readable);
        bool isReadable = !readable;
        QCOMPARE(shownFileName(bytes, &isReadable), shown);
        QCOMPARE(isReadable, readable);
    }

    void missingFolderAddsNothing() {
        scanPhotoFolder(m_ref, m_photos + QStringLiteral("nothing/"));
        scanPhotoFolder(m_ref, QString());
        completePhotoFileList(m_ref); // an empty list
        QCOMPARE(rows(), 0);
    }

    void secondScanIsRefused() {
        scanPhotoFolder(m_ref, m_photos);
        m_ref->exec(QStringLiteral("DELETE FROM CFM_FILES WHERE FILE_NAME = 'ABC.JPG'"));
        const QString message = test::errorOf([&] { scanPhotoFolder(m_ref, m_photos); });
        QVERIFY2(message.contains(QStringLiteral("A0000100.JPG")), qPrintable(message));
        QCOMPARE(rows(), 6);
    }

    void extractKeepsRemarkedRows() {
        scanPhotoFolder(m_ref, m_photos);
        keepRemarkedPhotoFiles(m_ref);
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT group_concat(FILE_NAME, ' ') FROM CFM_FILES")),
                 QStringLiteral("A0000101.JPG A0000102.jpg BAD.JPG WIDE.JPG|\n"));
        m_ref->exec(QStringLiteral("UPDATE CFM_FILES SET BIKO = NULL"));
        keepRemarkedPhotoFiles(m_ref);
        QCOMPARE(rows(), 0);
    }

    void screen() {
        test::DialogAnswerer dialogs;
        settings::writeString(QStringLiteral("Path"), QStringLiteral("PhotoPath"), m_photos.chopped(1));
        TFiles screen;
        QCOMPARE(screen.windowTitle(), QStringLiteral("関連写真ファイルの確認"));
        QStringList names;
        for (QPushButton* b : screen.findChildren<QPushButton*>())
            names << b->objectName() + QLatin1Char('=') + b->text();
        QCOMPARE(names, QStringList({"BitBtnC=CSV(&C)", "BitBtnZ=全消(&Z)", "BitBtnF=ﾌｧｲﾙ(&F)", "BitBtnR=路線(&R)",
                                     "BitBtnX=抽出(&X)", "BitBtnAll=一括実行(&A)", "BitBtnE=終了(&E)"}));
        QStringList titles;
        for (int c = 0; c < screen.grid()->model()->columnCount(); ++c)
            titles << screen.grid()->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"ファイル名(*.JPG)", "幅", "高さ", "路線番号", "路線名称", "所属", "備考"}));
        QCOMPARE(screen.scanImage()->size(), QSize(51, 27));
        QVERIFY(screen.scanImage()->isHidden());

        for (const char* b : {"BitBtnZ", "BitBtnF", "BitBtnR", "BitBtnX"})
            button(&screen, b)->click();
        QCOMPARE(dialogs.count(ui::DialogKind::Critical), 0);
        QVERIFY(screen.scanImage()->isHidden());
        QCOMPARE(screen.grid()->model()->rowCount(), 6);

        const QString file = m_photos + QStringLiteral("files.csv");
        dialogs.answerFile(file);
        button(&screen, "BitBtnC")->click();
        const QByteArray squares = QByteArray("\x81\xa1").repeated(10);
        const QByteArray missing =
            "\"" + squares + "\",\"" + squares +
            "\",\"\x93\x96\x8a\x59\x93\x53\x8b\x4f\x93\xb9\x98\x48\x90\xfc\x82\xc8\x82\xb5\"\r\n";
        const QByteArray size = "\"\x95\x9d\x82\xe0\x82\xb5\x82\xad\x82\xcd\x8d\x82\x82\xb3\x8a\x6d\x94\x46\"\r\n";
        QCOMPARE(readAll(file), "\"A0000101.JPG\",420,281,\"A00001\",\"L1\",\"Op1\"," + size +
                                    "\"A0000102.jpg\",421,280,\"A00001\",\"L1\",\"Op1\"," + size +
                                    "\"ABC.JPG\",420,280,\"ABC.JP\"," + missing + "\"BAD.JPG\",0,0,\"BAD.JP\"," +
                                    missing + "\"NOPHOTO.JPG\",420,280,\"NOPHOT\"," + missing +
                                    "\"WIDE.JPG\",32767,8,\"WIDE.J\"," + missing);

        // A second scan is refused and the list stays as it was.
        button(&screen, "BitBtnF")->click();
        QCOMPARE(dialogs.count(ui::DialogKind::Critical), 1);
        QCOMPARE(screen.grid()->model()->rowCount(), 6);
        QVERIFY(screen.scanImage()->isHidden());
    }

    void registeredForTheMenuCommand() {
        registerScreens();
        ScreenFactory factory = screenFactory(QStringLiteral("ActionOmakeFiles"));
        QVERIFY(factory);
        std::unique_ptr<QWidget> w(factory(nullptr));
        QVERIFY(qobject_cast<TFiles*>(w.get()));
    }
};

QTEST_MAIN(TestPhotoAudit)
#include "test_photoaudit.moc"
