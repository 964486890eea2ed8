// The menu command of the Access import, answered through the dialog seam.
#include "app/accessimportcommand.h"

#include "app/importchild.h"

#include "data/database.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"

#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tabi;

namespace {

const QString kFixtures = QStringLiteral(TABIROKU_MDB_FIXTURES);

qint64 rides() {
    auto db = Database::open(DbKind::Personal);
    return db->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong();
}

} // namespace

class TestAccessImportCommand : public QObject {
    Q_OBJECT
private slots:
    // The menu command runs the program's command-line form as its child: this test's executable is not it.
    void initTestCase() { setImportChildProgram(QStringLiteral(TABIROKU_EXECUTABLE)); }

    void init() {
        if (!QFileInfo::exists(kFixtures + QStringLiteral("/Tabiroku.mdb")))
            QSKIP("The Access fixtures (../shared/data/mdb beside the source tree) are not here.");
    }

    // Files, what was found, a Yes, the open screens closed, the report.
    void importsAndReports() {
        test::TempEnv env;
        test::DialogAnswerer answers;
        QMdiArea area;
        area.addSubWindow(new QLabel(QStringLiteral("screen")))->setAttribute(Qt::WA_DeleteOnClose);
        answers.answerFile(kFixtures + QStringLiteral("/Tabiroku.mdb"));
        answers.answerFile(kFixtures + QStringLiteral("/JJ.mdb"));
        importAccessDatabases(&area, &area);

        const auto asked = answers.requests(ui::DialogKind::Question);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].text.contains(QStringLiteral("MASTER 28 行")) &&
                     asked[0].text.contains(QStringLiteral("JOSHA 150 行")) &&
                     asked[0].text.contains(QStringLiteral("開いている画面はすべて閉じます")),
                 qPrintable(asked[0].text));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
        const auto told = answers.requests(ui::DialogKind::Information);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].text.contains(QStringLiteral("取り込みました")), qPrintable(told[0].text));
        QVERIFY(area.subWindowList().isEmpty());
        QCOMPARE(rides(), 150);
    }

    // Over a record with rides the command asks a second time; No keeps everything as it was.
    void ridesNeedASecondYes() {
        test::TempEnv env;
        test::DialogAnswerer answers;
        QWidget parent;
        for (int i = 0; i < 2; ++i) {
            answers.answerFile(kFixtures + QStringLiteral("/Tabiroku.mdb"));
            answers.answerFile(kFixtures + QStringLiteral("/JJ.mdb"));
        }
        importAccessDatabases(&parent, nullptr);
        {
            auto db = Database::open(DbKind::Personal);
            db->exec(QStringLiteral("DELETE FROM JOSHA WHERE ROSEN_CD LIKE 'A%'"));
        }
        const qint64 kept = rides();
        answers.clear();
        answers.answerQuestion(true);
        answers.answerQuestion(false);
        importAccessDatabases(&parent, nullptr);
        const auto asked = answers.requests(ui::DialogKind::Question);
        QCOMPARE(asked.size(), 2);
        QVERIFY2(asked[1].text.contains(QStringLiteral("乗車実績 %1 件").arg(kept)), qPrintable(asked[1].text));
        QCOMPARE(answers.count(ui::DialogKind::Information), 0);
        QCOMPARE(rides(), kept);
    }

    // A file that is no Access database ends in the error box naming it.
    void unreadableFileIsShown() {
        test::TempEnv env;
        test::DialogAnswerer answers;
        QWidget parent;
        answers.answerFile(kFixtures + QStringLiteral("/README.md"));
        answers.answerFile(kFixtures + QStringLiteral("/JJ.mdb"));
        importAccessDatabases(&parent, nullptr);
        const auto errors = answers.requests(ui::DialogKind::Critical);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].text.contains(QStringLiteral("README.md")), qPrintable(errors[0].text));
        QVERIFY(!QFileInfo::exists(paths::databaseFile(DbKind::Personal)));
    }
    // A file on which libmdb loops taking memory without end: the window keeps answering while the child runs
    // into its limit, then names the file; the databases stay as they were.
    void runawayFileLeavesTheWindowAnswering() {
        test::TempEnv env;
        test::DialogAnswerer answers;
        QWidget parent;
        answers.answerFile(kFixtures + QStringLiteral("/Tabiroku.mdb"));
        answers.answerFile(kFixtures + QStringLiteral("/JJ.mdb"));
        importAccessDatabases(&parent, nullptr);
        QCOMPARE(rides(), 150);
        const QString record = paths::databaseFile(DbKind::Personal);
        QFile before(record);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        before.close();

        // The reference fixture with the byte a fuzzing run found (made here, never stored).
        QTemporaryDir dir;
        QFile in(kFixtures + QStringLiteral("/Tabiroku.mdb"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray damaged = in.readAll();
        damaged[97256] = char(81);
        const QString path = dir.filePath(QStringLiteral("Tabiroku.mdb"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(damaged);
        out.close();

        answers.clear();
        answers.answerFile(path);
        answers.answerFile(kFixtures + QStringLiteral("/JJ.mdb"));
        int ticks = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, [&ticks] { ++ticks; });
        beat.start(100);
        importAccessDatabases(&parent, nullptr);
        QVERIFY2(ticks > 5, qPrintable(QString::number(ticks))); // the window's loop ran all along
        const auto errors = answers.requests(ui::DialogKind::Critical);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(
            errors[0].text.contains(path + QStringLiteral(" を読み取れませんでした（取り込み処理が異常終了しました）")),
            qPrintable(errors[0].text));
        QCOMPARE(answers.count(ui::DialogKind::Question), 0);
        QFile after(record);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), bytes);
    }
};

QTEST_MAIN(TestAccessImportCommand)
#include "test_accessimportcommand.moc"
