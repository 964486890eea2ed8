// The imports run in a child process: however the child ends (a hang, a crash, a flood on standard error, 中止),
// the window keeps answering and says what happened, naming the file.
#include "app/importchild.h"

#include "support/tempenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tabi;

namespace {

// Clicks 中止 of the progress dialog after ms milliseconds (the window's loop must be running for that).
void cancelAfter(int ms, bool* clicked) {
    QTimer::singleShot(ms, [clicked] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->objectName() == QLatin1String("ChildProgress"))
                if (auto* b = p->findChild<QPushButton*>()) {
                    b->click();
                    *clicked = true;
                }
    });
}

} // namespace

class TestImportChild : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        setImportChildProgram({});
        setImportChildWatchdog(0);
    }

    void endings_data() {
        QTest::addColumn<QString>("script"); // the child, as a shell script
        QTest::addColumn<int>("cancelAtMs"); // 0: no 中止
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message"); // in failureMessage(), or in the text when it ends well
        QTest::newRow("hangs after naming its file")
            << "printf 'F\\treading\\t/x/JJ.mdb\\nP\\t1\\t10\\t調べています\\n'; exec sleep 100" << 0
            << int(ChildOutcome::End::Abnormal)
            << "/x/JJ.mdb を読み取れませんでした（取り込み処理が異常終了しました）。\n処理が時間の上限";
        QTest::newRow("crashes without a word")
            << "kill -SEGV $$" << 0 << int(ChildOutcome::End::Abnormal)
            << "/x/Tabiroku.mdb を読み取れませんでした（取り込み処理が異常終了しました）";
        QTest::newRow("ends with an unknown code")
            << "exit 3" << 0 << int(ChildOutcome::End::Abnormal) << "取り込み処理が異常終了しました";
        QTest::newRow("fails and says why") << "printf 'E\\t理由その1\\nE\\t理由その2\\n'; exit 1" << 0
                                            << int(ChildOutcome::End::Failed) << "理由その1\n理由その2";
        QTest::newRow("floods standard error, then ends well")
            << "head -c 30000000 /dev/zero >&2; printf 'T\\tできました\\n'" << 0 << int(ChildOutcome::End::Done)
            << "できました";
        QTest::newRow("中止") << "exec sleep 100" << 300 << int(ChildOutcome::End::Cancelled) << "中止しました";
        QTest::newRow("no 中止 while replacing")
            << "printf 'F\\treplacing\\t1\\n'; sleep 1; printf 'T\\t置き換えました\\n'" << 300
            << int(ChildOutcome::End::Done) << "置き換えました";
    }
    void endings() {
        QFETCH(QString, script);
        QFETCH(int, cancelAtMs);
        QFETCH(int, end);
        QFETCH(QString, message);
        test::TempEnv env;
        setImportChildProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral("sh")});
        setImportChildWatchdog(2);
        bool clicked = false;
        if (cancelAtMs > 0)
            cancelAfter(cancelAtMs, &clicked);
        QWidget window;
        ChildRun run{{QStringLiteral("--import-access")},
                     QStringLiteral("/x/Tabiroku.mdb"),
                     QStringLiteral("取り込み"),
                     QStringLiteral("調べています"),
                     QStringLiteral("ChildProgress")};
        QElapsedTimer timer;
        timer.start();
        const ChildOutcome out = runImportChild(&window, run);
        QVERIFY2(timer.elapsed() < 15000, "the child outlived its watchdog");
        QCOMPARE(int(out.end), end);
        QCOMPARE(clicked, cancelAtMs > 0);
        const QString said = out.end == ChildOutcome::End::Done ? out.textJoined() : out.failureMessage();
        QVERIFY2(said.contains(message), qPrintable(said));
        // Nothing of the dialog stays.
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!(qobject_cast<QProgressDialog*>(w) && w->isVisible()));
    }
};

QTEST_MAIN(TestImportChild)
#include "test_importchild.moc"
