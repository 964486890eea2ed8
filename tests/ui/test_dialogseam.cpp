#include "support/dialogseam.h"
#include "ui/command.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"

#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <stdexcept>

using namespace tabi;
using ui::DialogKind;

class TestDialogSeam : public QObject {
    Q_OBJECT

private slots:
    // Every kind of modal wait reaches the installed handler with what was asked, and gets its answer back.
    void routesEveryKind() {
        test::DialogAnswerer answers;
        QWidget owner;
        ui::information(&owner, QStringLiteral("題"), QStringLiteral("お知らせ"));
        ui::critical(&owner, QStringLiteral("題"), QStringLiteral("エラー"));
        answers.answerQuestion(false);
        QVERIFY(!ui::question(&owner, QStringLiteral("題"), QStringLiteral("削除しますか")));
        QVERIFY(ui::question(&owner, QStringLiteral("題"), QStringLiteral("もう一度")));
        answers.answerFile(QStringLiteral("/tmp/a.csv"));
        QCOMPARE(ui::getSaveFileName(&owner, QStringLiteral("保存"), QStringLiteral("CSV (*.csv)"),
                                     QStringLiteral("MIJO.csv")),
                 QStringLiteral("/tmp/a.csv"));
        QCOMPARE(ui::getOpenFileName(&owner, QString(), QStringLiteral("すべてのファイル (*.*)")), QString());

        const QList<ui::DialogRequest>& r = answers.requests();
        QCOMPARE(r.size(), 6);
        QCOMPARE(r[0].kind, DialogKind::Information);
        QCOMPARE(r[0].text, QStringLiteral("お知らせ"));
        QCOMPARE(r[0].parent, &owner);
        QCOMPARE(r[1].kind, DialogKind::Critical);
        QCOMPARE(r[2].kind, DialogKind::Question);
        QCOMPARE(r[4].kind, DialogKind::SaveFile);
        QCOMPARE(r[4].filter, QStringLiteral("CSV (*.csv)"));
        QCOMPARE(r[4].text, QStringLiteral("MIJO.csv"));
        QCOMPARE(r[5].kind, DialogKind::OpenFile);
        QCOMPARE(answers.count(DialogKind::Question), 2);
    }

    // A dialog run through the seam is not shown by the answerer; the test may fill it and choose the result.
    void execDialog() {
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("駅間キロ程算出"));
        {
            test::DialogAnswerer answers;
            QCOMPARE(ui::execDialog(dialog), int(QDialog::Rejected));
            answers.onExec([](QDialog& d) {
                d.setProperty("filled", true);
                return int(QDialog::Accepted);
            });
            QCOMPARE(ui::execDialog(dialog), int(QDialog::Accepted));
            QVERIFY(dialog.property("filled").toBool());
            QCOMPARE(answers.requests().last().dialog, &dialog);
            QCOMPARE(answers.requests().last().dialogClass, QStringLiteral("QDialog"));
            QCOMPARE(answers.requests().last().title, QStringLiteral("駅間キロ程算出"));
        }
        // Answerers nest: the inner one restores the outer one.
        test::DialogAnswerer outer;
        {
            test::DialogAnswerer inner;
            ui::information(nullptr, QString(), QStringLiteral("inner"));
            QCOMPARE(inner.count(DialogKind::Information), 1);
        }
        ui::information(nullptr, QString(), QStringLiteral("outer"));
        QCOMPARE(outer.count(DialogKind::Information), 1);
    }

    void runCommand_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no error") << 0 << QString();
        QTest::newRow("tabi::Error") << 1 << QStringLiteral("ファイル C:\\X.TXT を開けません");
        QTest::newRow("std::exception") << 2 << QStringLiteral("bad_alloc");
    }

    // The wait cursor is up for the command's length and gone afterwards, errors or not; an error is shown.
    void runCommand() {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        test::DialogAnswerer answers;
        QWidget owner;
        bool waiting = false;
        const bool ok = ui::runCommand(&owner, [&] {
            waiting = QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            if (kind == 1)
                throw Error(shown);
            if (kind == 2)
                throw std::runtime_error("bad_alloc");
        });
        QVERIFY(waiting);
        QCOMPARE(ok, kind == 0);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(answers.count(DialogKind::Critical), kind == 0 ? 0 : 1);
        if (kind != 0) {
            QCOMPARE(answers.requests().first().text, shown);
            QCOMPARE(answers.requests().first().parent, &owner);
        }
    }

    // The error box does not show the wait cursor of an outer command still running.
    void errorBoxInsideLongCommand() {
        Qt::CursorShape duringBox = Qt::WaitCursor;
        ui::DialogHandler previous = ui::setDialogHandler([&](const ui::DialogRequest&) {
            duringBox = QGuiApplication::overrideCursor()->shape();
            return ui::DialogReply{};
        });
        ui::runCommand(nullptr, [] { ui::runCommand(nullptr, [] { throw Error(QStringLiteral("x")); }); });
        ui::setDialogHandler(std::move(previous));
        QCOMPARE(duringBox, Qt::ArrowCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void connectCommand() {
        test::DialogAnswerer answers;
        QWidget owner;
        auto* button = new QPushButton(QStringLiteral("集計(&C)"), &owner);
        int runs = 0;
        ui::connectCommand(button, &owner, [&] {
            ++runs;
            throw Error(QStringLiteral("ロックされています"));
        });
        button->click();
        button->click();
        QCOMPARE(runs, 2);
        QCOMPARE(answers.count(DialogKind::Critical), 2);
    }

    void uiFont() {
        const QFont f = ui::uiFont(16);
        QCOMPARE(f.pixelSize(), 16);
        QCOMPARE(f.family(), ui::uiFontFamily());
        if (!QFontDatabase::hasFamily(ui::uiFontFamily()))
            QSKIP("the Japanese UI face is not installed");
        QCOMPARE(QFontInfo(f).family(), ui::uiFontFamily());
    }
};

QTEST_MAIN(TestDialogSeam)
#include "test_dialogseam.moc"
