#include "app/config.h"
#include "app/mainform.h"
#include "data/settingsfile.h"
#include "data/textcodec.h"
#include "support/dialogseam.h"
#include "support/smalldisk.h"
#include "support/tempenv.h"
#include "ui/helptopics.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <memory>

using namespace tabi;

class TestConfig : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnv> m_env;
    std::unique_ptr<TMainForm> m_form;

    QString iniPath() const { return settings::filePath(); }

    void writeIni(const QByteArray& text) {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QByteArray iniText() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Opens the dialog as the menu does; its activation has run.
    TConfig* open() {
        m_form->command(QStringLiteral("ActionConfig"))->trigger();
        return qobject_cast<TConfig*>(m_form->mdiArea()->currentSubWindow()->widget());
    }

    template <class T> static T* child(QWidget* w, const char* name) {
        return w->findChild<T*>(QString::fromLatin1(name));
    }

    static QString text(QWidget* w, const char* name) { return child<QLineEdit>(w, name)->text(); }

    static QString read(const char* section, const char* key) {
        return settings::readString(QString::fromLatin1(section), QString::fromLatin1(key), QStringLiteral("Failure"));
    }

private slots:
    void init() {
        m_env = std::make_unique<test::TempEnv>();
        m_form = std::make_unique<TMainForm>();
        m_form->resize(1200, 900);
        m_form->show();
    }

    void cleanup() {
        m_form.reset();
        m_env.reset();
    }

    void layout() {
        TConfig* c = open();
        QVERIFY(c);
        QMdiSubWindow* frame = m_form->mdiArea()->currentSubWindow();
        QCOMPARE(frame->windowTitle(), QStringLiteral("環境設定"));
        QCOMPARE(frame->size(), QSize(620, 529));
        QCOMPARE(frame->pos(), QPoint(209, 107));

        QStringList groups;
        for (QGroupBox* g : c->findChildren<QGroupBox*>())
            groups << g->title();
        QCOMPARE(groups, QStringList({"メイン画面の位置", "コンピューターの状態",
                                      "フォルダー(Helpファイルのみファイル名まで)", "利用者情報", "集計月範囲"}));
        QStringList labels;
        for (QLabel* l : c->findChildren<QLabel*>())
            if (l->objectName().isEmpty())
                labels << l->text();
        QCOMPARE(labels, QStringList({"利用可能物理メモリ：", "システムリソース：", "画像ファイル1：",
                                      "文書ファイル1：", "画像ファイル2：", "文書ファイル2：", "実行ファイル：",
                                      "Helpファイル：", "名称      ："}));

        auto* rb1 = child<QRadioButton>(c, "RadioButton1");
        QCOMPARE(rb1->text(), QStringLiteral("前回終了時"));
        QVERIFY(!rb1->isEnabled());
        QCOMPARE(rb1->toolTip(), QStringLiteral("前回終了時の位置に、メニュー画面を位置づける"));
        QCOMPARE(child<QRadioButton>(c, "RadioButton2")->text(), QStringLiteral("常に画面の左上"));
        QCOMPARE(child<QRadioButton>(c, "RadioButton2")->toolTip(),
                 QStringLiteral("常にメニュー画面を画面全体の左上に位置づける"));
        QCOMPARE(child<QRadioButton>(c, "RadioButtonM1")->text(), QStringLiteral("1月～12月"));
        QCOMPARE(child<QRadioButton>(c, "RadioButtonM4")->text(), QStringLiteral("4月～翌年3月"));
        for (const char* name :
             {"EditPhotoPath", "EditDocPath", "EditPhotoPath2", "EditDocPath2", "EditExePath", "EditHelpFile"})
            QCOMPARE(child<QLineEdit>(c, name)->width(), 465);
        // Nothing is clipped: every control lies inside its group, every group inside the window.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        for (QGroupBox* g : c->findChildren<QGroupBox*>()) {
            QVERIFY2(c->rect().contains(g->geometry()), qPrintable(g->title()));
            for (QWidget* w : g->findChildren<QWidget*>())
                QVERIFY2(g->contentsRect().contains(w->geometry()), qPrintable(g->title() + w->objectName()));
        }
        for (QPushButton* b : c->findChildren<QPushButton*>())
            QVERIFY(c->rect().contains(b->geometry()));
        QVERIFY(child<QLineEdit>(c, "EditExePath")->isReadOnly());
        QVERIFY(child<QLineEdit>(c, "EditHelpFile")->isReadOnly());
        QVERIFY(!child<QLineEdit>(c, "EditPhotoPath")->isReadOnly());
        QCOMPARE(child<QLineEdit>(c, "EditUserName")->maxLength(), 30);
        QCOMPARE(child<QPushButton>(c, "BitBtnOK")->text(), QStringLiteral("了解(&R)"));
        QCOMPARE(child<QPushButton>(c, "BitBtnCancel")->text(), QStringLiteral("取消(&C)"));
        auto* help = child<QPushButton>(c, "BitBtnH");
        QCOMPARE(help->text(), QStringLiteral("ﾍﾙﾌﾟ(&H)"));
        QVERIFY(!help->isHidden());
        QVERIFY(help->isEnabled());
        QCOMPARE(help->property("helpTopic").toString(), QStringLiteral("config.htm"));
    }

    // Without a settings file every key is absent: defaults and empty fields.
    void noSettingsFile() {
        QVERIFY(!QFile::exists(iniPath()));
        TConfig* c = open();
        QVERIFY(child<QRadioButton>(c, "RadioButtonM1")->isChecked());
        QVERIFY(child<QRadioButton>(c, "RadioButton2")->isChecked());
        for (const char* name : {"EditPhotoPath", "EditDocPath", "EditPhotoPath2", "EditDocPath2", "EditUserName"})
            QVERIFY2(text(c, name).isEmpty(), name);
        QCOMPARE(text(c, "EditExePath"), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        QCOMPARE(text(c, "EditHelpFile"), QString::fromUtf16(kApplicationHelpFile));
        QVERIFY(!QFile::exists(iniPath())); // reading creates nothing
    }

    void systemStatus() {
        TConfig* c = open();
        const QString mem = child<QLabel>(c, "LabelPhysMem")->text();
        QVERIFY2(QRegularExpression(QStringLiteral("^[1-9]\\d{0,2}(,\\d{3})* KB$")).match(mem).hasMatch(),
                 qPrintable(mem));
        const QString res = child<QLabel>(c, "LabelFreeRes")->text();
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d+) %$")).match(res);
        QVERIFY2(m.hasMatch(), qPrintable(res));
        QVERIFY(m.captured(1).toInt() <= 100);
    }

    void startMonth_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("fourToMarch");
        QTest::newRow("absent") << QByteArray("[CalcOption]\n") << false;
        QTest::newRow("1") << QByteArray("[CalcOption]\nStartMonth=1\n") << false;
        QTest::newRow("4") << QByteArray("[CalcOption]\nStartMonth=4\n") << true;
        QTest::newRow("7") << QByteArray("[CalcOption]\nStartMonth=7\n") << true;
        QTest::newRow("-1 stored") << QByteArray("[CalcOption]\nStartMonth=-1\n") << false;
        QTest::newRow("not a number") << QByteArray("[CalcOption]\nStartMonth=April\n") << false;
    }

    // The stored range selects a button; "了解(&R)" then stores 1 or 4 only.
    void startMonth() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, fourToMarch);
        writeIni(ini);
        TConfig* c = open();
        QCOMPARE(child<QRadioButton>(c, "RadioButtonM4")->isChecked(), fourToMarch);
        QCOMPARE(child<QRadioButton>(c, "RadioButtonM1")->isChecked(), !fourToMarch);
        QPointer<TConfig> guard(c);
        child<QPushButton>(c, "BitBtnOK")->click();
        QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1),
                 fourToMarch ? 4 : 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull()); // closed and destroyed
    }

    void positionSave_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("lastPosition");
        QTest::addColumn<QString>("stored");
        QTest::newRow("ON") << QByteArray("[Form]\nPositionSave=ON\n") << true << "ON";
        QTest::newRow("on is not ON") << QByteArray("[Form]\nPositionSave=on\n") << false << "OFF";
        QTest::newRow("OFF") << QByteArray("[Form]\nPositionSave=OFF\n") << false << "OFF";
        QTest::newRow("absent") << QByteArray() << false << "OFF";
    }

    void positionSave() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, lastPosition);
        QFETCH(QString, stored);
        writeIni(ini);
        TConfig* c = open();
        QCOMPARE(child<QRadioButton>(c, "RadioButton1")->isChecked(), lastPosition);
        QCOMPARE(child<QRadioButton>(c, "RadioButton2")->isChecked(), !lastPosition);
        c->accept();
        QCOMPARE(read("Form", "PositionSave"), stored);
    }

    // Fields show the stored values; "了解(&R)" writes every key as the fields stand, empty ones included.
    void confirmWritesEveryField() {
        writeIni("[Path]\nPhotoPath=/photos/\nDocPath=/docs/\nOthersPhotoPath=/p2/\nOthersDocPath=/d2/\n"
                 "[Tabiroku]\nUserName=旅 太郎\nComment1=keep\n");
        TConfig* c = open();
        QCOMPARE(text(c, "EditPhotoPath"), QStringLiteral("/photos/"));
        QCOMPARE(text(c, "EditDocPath"), QStringLiteral("/docs/"));
        QCOMPARE(text(c, "EditPhotoPath2"), QStringLiteral("/p2/"));
        QCOMPARE(text(c, "EditDocPath2"), QStringLiteral("/d2/"));
        QCOMPARE(text(c, "EditUserName"), QStringLiteral("旅 太郎"));

        child<QLineEdit>(c, "EditPhotoPath")->clear();
        child<QLineEdit>(c, "EditDocPath2")->setText(QStringLiteral("/新しい/"));
        child<QLineEdit>(c, "EditUserName")->setText(QStringLiteral("鉄道 花子"));
        c->accept();
        QCOMPARE(read("Path", "PhotoPath"), QString()); // empty, not absent
        QCOMPARE(read("Path", "DocPath"), QStringLiteral("/docs/"));
        QCOMPARE(read("Path", "OthersPhotoPath"), QStringLiteral("/p2/"));
        QCOMPARE(read("Path", "OthersDocPath"), QStringLiteral("/新しい/"));
        QCOMPARE(read("Tabiroku", "UserName"), QStringLiteral("鉄道 花子"));
        QCOMPARE(read("Tabiroku", "Comment1"), QStringLiteral("keep"));
        QCOMPARE(read("Form", "PositionSave"), QStringLiteral("OFF"));
        QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), 1);
    }

    void cancelWritesNothing() {
        writeIni("[Path]\nPhotoPath=/photos/\n");
        const QByteArray before = iniText();
        TConfig* c = open();
        QPointer<TConfig> guard(c);
        child<QLineEdit>(c, "EditPhotoPath")->setText(QStringLiteral("/other/"));
        child<QRadioButton>(c, "RadioButtonM4")->setChecked(true);
        child<QPushButton>(c, "BitBtnCancel")->click();
        QCOMPARE(iniText(), before);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
    }

    void enterConfirmsEscapeCancels() {
        TConfig* c = open();
        QTest::keyClick(child<QLineEdit>(c, "EditUserName"), Qt::Key_Escape);
        QVERIFY(!QFile::exists(iniPath()));
        c = open();
        child<QLineEdit>(c, "EditUserName")->setText(QStringLiteral("名前"));
        QTest::keyClick(child<QLineEdit>(c, "EditUserName"), Qt::Key_Return);
        QCOMPARE(read("Tabiroku", "UserName"), QStringLiteral("名前"));
    }

    // Every activation reads the file again: unconfirmed typing is replaced by the stored values, and a field
    // whose key is absent keeps what it showed.
    void reactivationRereads() {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        writeIni("[Path]\nPhotoPath=/photos/\n[CalcOption]\nStartMonth=4\n");
        TConfig* c = open();
        QMdiSubWindow* configFrame = m_form->mdiArea()->currentSubWindow();
        child<QLineEdit>(c, "EditPhotoPath")->setText(QStringLiteral("typed"));
        child<QLineEdit>(c, "EditDocPath")->setText(QStringLiteral("typed too"));
        child<QRadioButton>(c, "RadioButtonM1")->setChecked(true);

        m_form->command(QStringLiteral("FileNew1"))->trigger();
        QVERIFY(m_form->mdiArea()->currentSubWindow() != configFrame);
        m_form->mdiArea()->setActiveSubWindow(configFrame);
        QCOMPARE(text(c, "EditPhotoPath"), QStringLiteral("/photos/"));
        QCOMPARE(text(c, "EditDocPath"), QStringLiteral("typed too"));
        QVERIFY(child<QRadioButton>(c, "RadioButtonM4")->isChecked());

        // A long stored name shows its start when the dialog comes back to the front; so do the long paths.
        writeIni("[Tabiroku]\nUserName=" + QByteArray(30, 'n') + "\n");
        child<QLineEdit>(c, "EditUserName")->setCursorPosition(10);
        m_form->command(QStringLiteral("FileNew1"))->trigger();
        m_form->mdiArea()->setActiveSubWindow(configFrame);
        for (const char* name : {"EditUserName", "EditExePath", "EditHelpFile"})
            QCOMPARE(child<QLineEdit>(c, name)->cursorPosition(), 0);
    }

    void dialogWriteKeepsBytes_data();
    void dialogWriteKeepsBytes();
    void fullDisk();

    // A settings file that cannot be written: the error is shown, the dialog stays open.
    void unwritableSettingsFile() {
        QFile blocker(m_env->file(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        settings::setFilePath(m_env->file(QStringLiteral("blocker/tabiroku.ini")));
        test::DialogAnswerer answers;
        TConfig* c = open();
        QPointer<TConfig> guard(c);
        child<QPushButton>(c, "BitBtnOK")->click();
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QVERIFY(!answers.requests().first().text.isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guard.isNull());
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 1);
    }
};

void TestConfig::dialogWriteKeepsBytes_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("shownName"); // EditUserName as read
    QTest::addColumn<QString>("field");     // the one field typed into, or none
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("after");

    // Every key the dialog writes is present, so an untouched dialog must give back the file byte for byte.
    const QString text = QStringLiteral("[Form]\r\nPositionSave=OFF\r\n[Path]\r\nPhotoPath=/写真/\r\nDocPath=/説明/\r\n"
                                        "OthersPhotoPath=/他/\r\nOthersDocPath=/他説明/\r\n[Tabiroku]\r\n"
                                        "UserName=山田 太郎\r\n[CalcOption]\r\nStartMonth=1\r\n");
    const QByteArray utf8 = QByteArray(text.toUtf8()).replace("\xE6\x98\x8E/", "\xE6\x98\x8E\xFF/");
    QTest::newRow("utf-8 with a stray byte, untouched")
        << utf8 << QStringLiteral("山田 太郎") << QString() << QString() << utf8;
    QTest::newRow("utf-8 with a stray byte, one field typed")
        << utf8 << QStringLiteral("山田 太郎") << QStringLiteral("EditPhotoPath2") << QStringLiteral("/新/")
        << QByteArray(utf8).replace("/\xE4\xBB\x96/", "/\xE6\x96\xB0/");

    const QByteArray cp932 =
        QByteArray(tabi::text::toCp932(text)).replace("UserName=\x8E\x52\x93\x63", "UserName=\x8E\x52\x93\x63\x80\xFD");
    QTest::newRow("cp932 with 0x80 and 0xFD, one field typed")
        << cp932 << QStringLiteral("山田\u0080\uF8F1 太郎") << QStringLiteral("EditDocPath") << QStringLiteral("/文書/")
        << QByteArray(cp932).replace("DocPath=/\x90\xE0\x96\xBE/", "DocPath=/\x95\xB6\x8F\x91/");

    const QByteArray kana = "[Form]\r\nPositionSave=OFF\r\n[Path]\r\nPhotoPath=/\xC5\xB6/\r\nDocPath=/d/\r\n"
                            "OthersPhotoPath=/o/\r\nOthersDocPath=/od/\r\n[Tabiroku]\r\nUserName=\xC5\xB6\r\n"
                            "[CalcOption]\r\nStartMonth=1\r\n";
    QTest::newRow("cp932 half-width katakana, one field typed")
        << kana << QStringLiteral("ﾅｶ") << QStringLiteral("EditDocPath2") << QStringLiteral("/写真/")
        << QByteArray(kana).replace("OthersDocPath=/od/", "OthersDocPath=/\x8E\xCA\x90\x5E/");

    const QString longName = QString(40, QChar(0x9244)); // 鉄 x 40: more than the field takes
    const QByteArray tooLong = QString(text).replace(QStringLiteral("山田 太郎"), longName).toUtf8();
    QTest::newRow("a name longer than the field, untouched")
        << tooLong << longName.left(30) << QString() << QString() << tooLong;

    auto utf16le = [](const QString& s) { return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2); };
    QTest::newRow("utf-16le without bom, one field typed")
        << utf16le(text) << QStringLiteral("山田 太郎") << QStringLiteral("EditPhotoPath") << QStringLiteral("/写/")
        << utf16le(QString(text).replace(QStringLiteral("/写真/"), QStringLiteral("/写/")));
}

void TestConfig::dialogWriteKeepsBytes() {
    QFETCH(QByteArray, before);
    QFETCH(QString, shownName);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QByteArray, after);
    writeIni(before);
    TConfig* c = open();
    QCOMPARE(text(c, "EditUserName"), shownName);
    if (!field.isEmpty())
        c->findChild<QLineEdit*>(field)->setText(typed);
    test::DialogAnswerer answers;
    child<QPushButton>(c, "BitBtnOK")->click();
    QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
    QCOMPARE(iniText(), after);
}

// A full disk: the message names the file and the reason, the file stays whole, the dialog stays open.
void TestConfig::fullDisk() {
    test::SmallDisk disk;
    if (!disk.mounted())
        QSKIP("a small file system can be mounted only by the superuser");
    settings::setFilePath(disk.file(QStringLiteral("tabiroku.ini")));
    writeIni("[Path]\nPhotoPath=/photos/\n[Tabiroku]\nUserName=" + QByteArray(3000, 'n') + "\n");
    const QByteArray before = iniText();
    disk.fill();
    test::DialogAnswerer answers;
    TConfig* c = open();
    QPointer<TConfig> guard(c);
    child<QLineEdit>(c, "EditPhotoPath")->setText(QStringLiteral("/other/"));
    child<QPushButton>(c, "BitBtnOK")->click();
    QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
    const QString message = answers.requests(ui::DialogKind::Critical).first().text;
    QVERIFY2(message.contains(settings::filePath()), qPrintable(message));
    QVERIFY2(message.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(message));
    QCOMPARE(iniText(), before);
    QCOMPARE(disk.names(), QStringList{QStringLiteral("tabiroku.ini")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard.isNull());
}

QTEST_MAIN(TestConfig)
#include "test_config.moc"
