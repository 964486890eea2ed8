#include "data/settingsfile.h"
#include "data/textcodec.h"
#include "photos/photopage.h"
#include "photos/photoviewer.h"
#include "support/dialogseam.h"
#include "support/photofiles.h"
#include "support/tempenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::photos;
using tabi::test::writeBytes;
using tabi::test::writeJpeg;

namespace {

const QString kCode = QStringLiteral("X12345");

template <class W> QString enabled(const W& page) {
    QString out;
    for (const char* name : {"BitBtnT", "BitBtnP", "BitBtnN", "BitBtn5", "BitBtnS"})
        out += page.button(QString::fromLatin1(name))->isEnabled() ? QLatin1Char(name[6]) : QLatin1Char('-');
    return out;
}

} // namespace

class TestPhotoPage : public QObject, public test::TempPhotoFolders {
    Q_OBJECT

private Q_SLOTS:
    void init() { makePhotoFolders(); }
    void cleanup() { removePhotoFolders(); }

    void captionsAndLayout() {
        PhotoPage page(PhotoKeys::routes(), 8);
        QCOMPARE(page.noImageCaption()->text(), QStringLiteral("画像なし"));
        QCOMPARE(page.imageArea()->geometry(), QRect(6, 8, 420, 280));
        const QStringList captions{"先頭(&T)", "前へ(&P)", "次へ(&N)", "＋５(&F)", "保存(&S)"};
        const QStringList names{"BitBtnT", "BitBtnP", "BitBtnN", "BitBtn5", "BitBtnS"};
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(page.button(names[i])->text(), captions[i]);
            QCOMPARE(page.button(names[i])->size(), QSize(89, 33));
        }
    }

    void pagesThroughPhotos() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"), QSize(1024, 768));
        writeJpeg(m_photos + kCode + QStringLiteral("01.JPG"));
        writeJpeg(m_photos + kCode + QStringLiteral("03.JPG"));
        writeBytes(m_docs + kCode + QStringLiteral("00.TXT"), text::toCp932(QStringLiteral("駅前")));
        PhotoPage page(PhotoKeys::routes(), 8);
        page.show();
        page.pageShown(kCode);
        QCOMPARE(enabled(page), QStringLiteral("--N-S"));
        QVERIFY(page.imageArea()->isVisible());
        QCOMPARE(page.imageArea()->pixmap().size(), QSize(512, 384)); // decoded at 1/2, stretched into 420 x 280
        QCOMPARE(page.infoLine()->text(), QStringLiteral("File name: X1234500.JPG  Width: 1024  Height: 768"));
        QCOMPARE(page.memo()->toPlainText(), QStringLiteral("駅前"));
        QCOMPARE(page.memo()->palette().color(QPalette::Text), QColor(Qt::black));

        page.button(QStringLiteral("BitBtnN"))->click();
        QCOMPARE(enabled(page), QStringLiteral("TP--S"));
        QCOMPARE(page.memo()->toPlainText(), QStringLiteral("画像に関する説明ファイルなし"));
        QCOMPARE(page.memo()->palette().color(QPalette::Text), QColor(0xFF, 0x00, 0x00));

        page.next(); // disabled in the page, but the series refuses nothing: 02 is missing
        QVERIFY(!page.imageArea()->isVisible());
        QCOMPARE(page.infoLine()->text(), QStringLiteral("画像ファイル X1234502.JPG がありません。"));
        QCOMPARE(enabled(page), QStringLiteral("T-N--"));

        page.button(QStringLiteral("BitBtnT"))->click();
        QCOMPARE(enabled(page), QStringLiteral("--N-S"));
        QCOMPARE(page.memo()->toPlainText(), QStringLiteral("駅前"));
    }

    // A stepping button pressed with Space that turns itself off hands the focus to the nearest stepping button
    // still on (the earlier one on a tie), else to the text area: never to save, where the next Space would act.
    void focusStaysAmongTheSteppingButtons_data() {
        QTest::addColumn<QStringList>("photos");
        QTest::addColumn<QStringList>(
            "steps"); // a button to focus, then Space on whatever has the focus; rm: delete all
        QTest::addColumn<QString>("focused");
        QTest::newRow("next at the end") << QStringList{"00", "01"} << QStringList{"BitBtnN"} << "BitBtnP";
        QTest::newRow("prior back to 00") << QStringList{"00", "01"} << QStringList{"BitBtnN", "BitBtnP"} << "BitBtnN";
        QTest::newRow("+5 to the last") << QStringList{"00", "05"} << QStringList{"BitBtn5"} << "BitBtnP";
        QTest::newRow("first, only +5 left") << QStringList{"05"} << QStringList{"BitBtn5", "BitBtnT"} << "BitBtn5";
        QTest::newRow("nothing left to step to")
            << QStringList{"00", "05"} << QStringList{"BitBtn5", "rm", "BitBtnT"} << "Memo1";
    }
    void focusStaysAmongTheSteppingButtons() {
        QFETCH(QStringList, photos);
        QFETCH(QStringList, steps);
        QFETCH(QString, focused);
        for (const QString& n : photos)
            writeJpeg(m_photos + kCode + n + QStringLiteral(".JPG"));
        PhotoPage page(PhotoKeys::routes());
        page.show();
        QApplication::setActiveWindow(&page);
        QVERIFY(QTest::qWaitForWindowActive(&page));
        page.pageShown(kCode);
        for (const QString& step : steps) {
            if (step == QLatin1String("rm")) {
                for (const QString& n : photos)
                    QFile::remove(m_photos + kCode + n + QStringLiteral(".JPG"));
                continue;
            }
            QPushButton* b = page.button(step);
            QVERIFY2(b->isEnabled(), qPrintable(step));
            b->setFocus(Qt::TabFocusReason);
            QTest::keyClick(b, Qt::Key_Space);
        }
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    }

    void savesTheTextArea() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        PhotoPage page(PhotoKeys::routes());
        page.pageShown(kCode);
        page.memo()->setPlainText(QStringLiteral("一\n二"));
        page.button(QStringLiteral("BitBtnS"))->click();
        QFile f(m_docs + kCode + QStringLiteral("00.TXT"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), text::toCp932(QStringLiteral("一\r\n二")));
    }

    void errorsAreShownAndEndTheCommand() {
        const QString bad = m_photos + kCode + QStringLiteral("01.JPG");
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        writeBytes(bad, "broken");
        PhotoPage page(PhotoKeys::routes());
        test::DialogAnswerer answerer;
        page.pageShown(kCode);
        QCOMPARE(answerer.count(ui::DialogKind::Critical), 0);
        page.button(QStringLiteral("BitBtnN"))->click();
        QCOMPARE(answerer.count(ui::DialogKind::Critical), 1);
        QVERIFY(answerer.requests(ui::DialogKind::Critical).first().text.contains(bad));
        QCOMPARE(page.series().number(), QStringLiteral("01"));
        QCOMPARE(enabled(page), QStringLiteral("T----")); // left as for a missing photo

        page.button(QStringLiteral("BitBtnT"))->click();
        settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"), m_env->file(QStringLiteral("none/")));
        page.save();
        QCOMPARE(answerer.count(ui::DialogKind::Critical), 2);
        QVERIFY(answerer.requests(ui::DialogKind::Critical).last().text.contains(kCode + QStringLiteral("00.TXT")));
    }

    // An undecodable photo stops the command: the page stands on the new number as for a missing photo, its
    // description is not read, and the text area shows nothing rather than another photo's text; nothing can be
    // saved over the number's description.
    void undecodablePhotoLeavesNoStaleState() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        writeBytes(m_photos + kCode + QStringLiteral("01.JPG"), QByteArray());
        writeBytes(m_docs + kCode + QStringLiteral("00.TXT"), text::toCp932(QStringLiteral("零番の説明")));
        const QString doc01 = m_docs + kCode + QStringLiteral("01.TXT");
        const QByteArray bytes01 = text::toCp932(QStringLiteral("一番の説明"));
        writeBytes(doc01, bytes01);
        PhotoPage page(PhotoKeys::routes());
        page.show();
        test::DialogAnswerer answerer;
        page.pageShown(kCode);
        // The box comes up over the page as it now stands.
        QString textUnderTheBox;
        const ui::DialogHandler answering = ui::setDialogHandler([&](const ui::DialogRequest&) {
            textUnderTheBox = page.memo()->toPlainText();
            return ui::DialogReply{};
        });
        page.button(QStringLiteral("BitBtnN"))->click();
        ui::setDialogHandler(answering);
        QCOMPARE(textUnderTheBox, QString());
        page.button(QStringLiteral("BitBtnT"))->click();
        page.button(QStringLiteral("BitBtnN"))->click();
        QCOMPARE(answerer.count(ui::DialogKind::Critical), 1);
        QVERIFY(answerer.requests(ui::DialogKind::Critical).first().text.contains(kCode + QStringLiteral("01.JPG")));
        QCOMPARE(page.series().number(), QStringLiteral("01"));
        QVERIFY(!page.imageArea()->isVisible());
        QVERIFY(page.noImageCaption()->isVisible());
        QVERIFY2(page.infoLine()->text().contains(kCode + QStringLiteral("01.JPG")),
                 qPrintable(page.infoLine()->text()));
        QCOMPARE(page.memo()->toPlainText(), QString());
        QCOMPARE(enabled(page), QStringLiteral("T----"));
        const QString message = answerer.requests(ui::DialogKind::Critical).first().text;
        QVERIFY2(message.contains(QStringLiteral("ファイルが空です")) && !message.contains(QStringLiteral("Empty")),
                 qPrintable(message));
        page.button(QStringLiteral("BitBtnS"))->click();
        page.save();
        QFile f(doc01);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes01);
    }

    // "保存(&S)" without editing writes back the bytes read, even those the text area cannot hold as they were.
    void unchangedTextAreaSavesTheSameBytes() {
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"));
        const QString path = m_docs + kCode + QStringLiteral("00.TXT");
        const QByteArray bytes("\xE4\xB8\x80\rlone CR\xFF\n\tend  \r\n");
        writeBytes(path, bytes);
        PhotoPage page(PhotoKeys::routes());
        page.pageShown(kCode);
        page.button(QStringLiteral("BitBtnS"))->click();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

    void viewerShowsPlaceholders() {
        writeJpeg(m_photos + QStringLiteral("NOPHOTO.JPG"), QSize(320, 220));
        writeBytes(m_docs + QStringLiteral("NOPHOTO.TXT"),
                   text::encode(QStringLiteral("写真なし"), text::Encoding::Utf8, true));
        writeJpeg(m_photos + kCode + QStringLiteral("00.JPG"), QSize(1024, 768));
        TPhoto viewer;
        QCOMPARE(viewer.windowTitle(), QStringLiteral("写真表示"));
        QCOMPARE(viewer.button(QStringLiteral("BitBtn5"))->text(), QStringLiteral("+5(&F)"));
        viewer.setCode(kCode);
        test::DialogAnswerer answerer;
        answerer.onExec([&](QDialog& d) {
            [&] {
                // Photo 00 at its own size, as much as the 320 x 220 area shows; its description is the placeholder.
                QCOMPARE(viewer.imageArea()->pixmap().size(), QSize(320, 220));
                QCOMPARE(viewer.memo()->toPlainText(), QStringLiteral("写真なし"));
                QCOMPARE(viewer.memo()->palette().color(QPalette::Text), QColor(0xFF, 0x00, 0x00));
                QCOMPARE(enabled(viewer), QStringLiteral("----S"));
                viewer.next(); // no 01: the placeholder image, the same buttons off as on the page
                QCOMPARE(viewer.imageArea()->pixmap().size(), QSize(320, 220));
                QCOMPARE(enabled(viewer), QStringLiteral("T----"));
            }();
            viewer.button(QStringLiteral("BitBtnE"))->click();
            return d.result();
        });
        QCOMPARE(viewer.run(), int(QDialog::Accepted));
        QCOMPARE(answerer.count(ui::DialogKind::Critical), 0);
        // Each showing starts again at 00; a missing placeholder is an error naming it.
        QFile::remove(m_photos + QStringLiteral("NOPHOTO.JPG"));
        QFile::remove(m_photos + kCode + QStringLiteral("00.JPG"));
        answerer.onExec([](QDialog& d) { return d.result(); });
        viewer.run();
        QCOMPARE(viewer.series().number(), QStringLiteral("00"));
        QCOMPARE(answerer.count(ui::DialogKind::Critical), 1);
        QVERIFY(answerer.requests(ui::DialogKind::Critical).first().text.contains(QStringLiteral("NOPHOTO.JPG")));
    }
};

QTEST_MAIN(TestPhotoPage)
#include "test_photopage.moc"
