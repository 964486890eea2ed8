#include "app/aboutbox.h"
#include "app/mainform.h"
#include "app/startup.h"
#include "data/database.h"
#include "data/pairswap.h"
#include "data/settingsfile.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

using namespace tabi;

class TestAboutBox : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnv> m_env;

    static QString field(QWidget* box, const char* name) {
        return box->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    }

    void setVerRows(const QStringList& days) {
        auto db = Database::open(DbKind::Reference);
        db->exec(QStringLiteral("DELETE FROM VER"));
        for (const QString& d : days)
            db->exec(QStringLiteral("INSERT INTO VER (VER_DATE, BIKO) VALUES ('%1 00:00:00', '')").arg(d));
    }

    void writeIni(const QByteArray& text) {
        QFile f(settings::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private slots:
    void init() { m_env = std::make_unique<test::TempEnv>(); }
    void cleanup() { m_env.reset(); }

    void layoutAndVersion() {
        TAboutBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(box.size(), QSize(482, 247));
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("ProductName"))->text(), QStringLiteral("タビロク"));
        auto* ok = box.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        QCOMPARE(ok->text(), QStringLiteral("了解(&R)"));
        QCOMPARE(ok->size(), QSize(89, 33));
        QVERIFY(ok->isDefault());
        box.show();
        QCOMPARE(field(&box, "Version"), QStringLiteral("11.0"));
        QCOMPARE(box.findChild<QLineEdit*>(QStringLiteral("Version"))->palette().color(QPalette::Text),
                 QColor(Qt::red));
        QCOMPARE(box.findChild<QLineEdit*>(QStringLiteral("EditTEIKYO"))->palette().color(QPalette::Text),
                 QColor(Qt::red));
        // No settings file: the texts stay as laid out.
        QVERIFY(field(&box, "Comment1").isEmpty());
        QVERIFY(field(&box, "UserName").isEmpty());
        ok->click();
        QVERIFY(!box.isVisible());
    }

    void dataDate_data() {
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QString>("shown");
        QTest::newRow("earliest of several") << QStringList{"2024-04-01", "2019-10-05", "2023-01-31"} << "2019-10-05";
        QTest::newRow("empty table") << QStringList{} << "";
    }

    // The first row in date order, read when the dialog is created.
    void dataDate() {
        QFETCH(QStringList, days);
        QFETCH(QString, shown);
        setVerRows(days);
        TAboutBox box;
        QCOMPARE(field(&box, "EditTEIKYO"), shown);
    }

    // Each showing reads the comments and the name again; an absent key leaves the last value shown.
    void settingsOnEveryShowing() {
        TAboutBox box;
        writeIni("[Tabiroku]\nComment1=最初の行\nComment2=二行目\nUserName=旅 太郎\n");
        box.show();
        QCOMPARE(field(&box, "Comment1"), QStringLiteral("最初の行"));
        QCOMPARE(field(&box, "Comment2"), QStringLiteral("二行目"));
        QCOMPARE(field(&box, "UserName"), QStringLiteral("旅 太郎"));
        box.hide();

        writeIni("[Tabiroku]\nComment1=\nUserName=鉄道 花子\n");
        box.show();
        QCOMPARE(field(&box, "Comment1"), QString());                // stored empty
        QCOMPARE(field(&box, "Comment2"), QStringLiteral("二行目")); // absent: kept
        QCOMPARE(field(&box, "UserName"), QStringLiteral("鉄道 花子"));
        box.hide();

        // A text longer than its field shows its start.
        const QByteArray longText = QByteArray("始まり") + QByteArray(200, 'x');
        writeIni("[Tabiroku]\nComment1=" + longText + "\nComment2=" + longText + "\nUserName=" + longText + "\n");
        box.show();
        for (const char* name : {"Comment1", "Comment2", "UserName"})
            QCOMPARE(box.findChild<QLineEdit*>(QString::fromLatin1(name))->cursorPosition(), 0);
    }

    // The menu command runs the one version dialog created at start.
    void startUpAndMenu() {
        test::DialogAnswerer answers;
        std::unique_ptr<TMainForm> form = startUp();
        QVERIFY(form);
        QVERIFY(!form->isVisible());
        auto* box = form->findChild<TAboutBox*>();
        QVERIFY(box);
        QVERIFY(!box->isVisible());
        answers.onExec([](QDialog& d) {
            d.show(); // what exec() does first
            d.hide();
            return int(QDialog::Accepted);
        });
        writeIni("[Tabiroku]\nUserName=名前\n");
        form->command(QStringLiteral("HelpAbout1"))->trigger();
        QCOMPARE(answers.count(ui::DialogKind::Exec), 1);
        QCOMPARE(answers.requests().first().dialog, box);
        QCOMPARE(field(box, "UserName"), QStringLiteral("名前"));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
    }

    // Each start copies the personal record first; a copy that cannot be made is told once and the start goes on.
    void startUpCopiesThePersonalRecord() {
        Database::open(DbKind::Personal)->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (2024)"));
        const QString copy =
            m_env->file(QStringLiteral("backups/JJ-%1.db").arg(QDate::currentDate().toString(Qt::ISODate)));
        {
            test::DialogAnswerer answers;
            QVERIFY(startUp());
            QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
            QVERIFY(QFileInfo(copy).isFile());
        }
        QVERIFY(QDir(m_env->file(QStringLiteral("backups"))).removeRecursively());
        QFile blocker(m_env->file(QStringLiteral("backups"))); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        test::DialogAnswerer answers;
        QVERIFY(startUp());
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QVERIFY2(answers.requests().first().text.contains(QStringLiteral("控え")),
                 qPrintable(answers.requests().first().text));
    }

    // Before anything opens the databases the start finishes an Access import that was killed between its two
    // replacements, and says so; while an import holds the data folder the program does not start.
    void startUpSettlesTheDataFolder() {
        pairswap::releaseOpen();
        {
            const pairswap::ImportLock running(true);
            test::DialogAnswerer answers;
            QVERIFY(!startUp());
            QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
            QVERIFY2(answers.requests().first().text.contains(QStringLiteral("取り込みが実行中")),
                     qPrintable(answers.requests().first().text));
        }
        const QString work = m_env->file(QStringLiteral("import-killed"));
        QVERIFY(QDir().mkpath(work));
        QList<pairswap::Replacement> pair;
        for (DbKind kind : {DbKind::Reference, DbKind::Personal}) {
            const QString fresh = work + QLatin1Char('/') + QFileInfo(paths::databaseFile(kind)).fileName();
            auto db = Database::openFile(fresh, kind);
            if (kind == DbKind::Personal)
                db->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (1999)"));
            pair << pairswap::Replacement{kind, fresh, paths::databaseFile(kind), QString()};
        }
        pairswap::writeJournal(pair, work);
        QDir().mkpath(m_env->file(QStringLiteral("import-older/x")));
        test::DialogAnswerer answers;
        QVERIFY(startUp());
        pairswap::releaseOpen();
        const auto told = answers.requests(ui::DialogKind::Information);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().text.contains(QStringLiteral("最後まで行いました")), qPrintable(told.first().text));
        QCOMPARE(Database::open(DbKind::Personal)->scalar(QStringLiteral("SELECT NEN FROM TOSHI")).toInt(), 1999);
        QVERIFY(!QFileInfo::exists(work));
        QVERIFY(!QFileInfo::exists(m_env->file(QStringLiteral("import-older")))); // a leftover goes too
    }

    // A reference database that cannot be opened ends the start with the engine's error.
    void startUpFailsWithoutDatabase() {
        QFile blocker(m_env->file(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        paths::setDataDir(m_env->file(QStringLiteral("blocker")));
        test::DialogAnswerer answers;
        std::unique_ptr<TMainForm> form = startUp();
        QVERIFY(!form);
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QVERIFY(!answers.requests().first().text.isEmpty());
    }
};

QTEST_MAIN(TestAboutBox)
#include "test_aboutbox.moc"
