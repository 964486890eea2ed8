#include "support/dialogseam.h"
#include "ui/dbcontrols.h"
#include "ui/dbnavigator.h"
#include "uifixture.h"

#include <QToolButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::ui;
using tabi::test::RideTable;
using Nav = tabi::ui::DBNavigator;

namespace {

// Enabled buttons as a string of ten letters, '-' for a disabled one: F P N L I D E S C R.
QString enabledButtons(const DBNavigator& nav) {
    static const char letters[] = "FPNLIDESCR";
    QString s;
    for (int i = 0; i < DBNavigator::kButtonCount; ++i)
        s += nav.button(Nav::Button(i))->isEnabled() ? QLatin1Char(letters[i]) : QLatin1Char('-');
    return s;
}

} // namespace

class TestDBNavigator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonsFollowTheCursorState_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("closed") << 3 << "closed"
                                << "----------";
        QTest::newRow("empty set") << 0 << "opened"
                                   << "----I-E--R";
        QTest::newRow("first record") << 3 << "opened"
                                      << "--NLIDE--R";
        QTest::newRow("middle record") << 3 << "next"
                                       << "FPNLIDE--R";
        QTest::newRow("last record") << 3 << "last"
                                     << "FP--IDE--R";
        // The only record is both the first and the last: nothing to move to.
        QTest::newRow("single record") << 1 << "opened"
                                       << "----IDE--R";
        QTest::newRow("single record, next") << 1 << "next"
                                             << "----IDE--R";
        QTest::newRow("editing the first") << 3 << "edit"
                                           << "--NLID-SCR";
        QTest::newRow("editing the middle") << 3 << "next edit"
                                            << "FPNLID-SCR";
        QTest::newRow("inserting into an empty set") << 0 << "insert"
                                                     << "----I--SCR";
        QTest::newRow("back to the first by prior") << 3 << "next prior prior"
                                                    << "--NLIDE--R";
    }
    void buttonsFollowTheCursorState() {
        QFETCH(int, rows);
        QFETCH(QString, situation);
        QFETCH(QString, enabled);
        RideTable t(rows);
        DBNavigator nav;
        nav.setTableCursor(t.cursor.get());
        // Steps go through the buttons, as the user presses them.
        for (const QString& step : situation.split(QLatin1Char(' '))) {
            if (step == QLatin1String("closed"))
                t.cursor->close();
            else if (step == QLatin1String("next"))
                nav.click(Nav::Next);
            else if (step == QLatin1String("prior"))
                nav.click(Nav::Prior);
            else if (step == QLatin1String("last"))
                nav.click(Nav::Last);
            else if (step == QLatin1String("edit"))
                nav.click(Nav::Edit);
            else if (step == QLatin1String("insert"))
                nav.click(Nav::Insert);
        }
        QCOMPARE(enabledButtons(nav), enabled);
    }

    void widthFollowsTheVisibleButtons_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("first");
        QTest::newRow("all ten") << int(Nav::AllButtons) << 360 << "最初の行";
        QTest::newRow("first to last") << int(Nav::MoveButtons) << 144 << "最初の行";
        QTest::newRow("insert to refresh") << int(Nav::EditButtons) << 216 << "行の挿入";
    }
    void widthFollowsTheVisibleButtons() {
        QFETCH(int, buttons);
        QFETCH(int, width);
        QFETCH(QString, first);
        DBNavigator nav;
        nav.setVisibleButtons(buttons);
        nav.show();
        QCOMPARE(nav.width(), width);
        QToolButton* leftmost = nullptr;
        int shown = 0;
        for (int i = 0; i < DBNavigator::kButtonCount; ++i) {
            QToolButton* b = nav.button(Nav::Button(i));
            if (!b->isVisible())
                continue;
            ++shown;
            QCOMPARE(b->width(), DBNavigator::kButtonWidth);
            if (!leftmost || b->x() < leftmost->x())
                leftmost = b;
        }
        QCOMPARE(shown * DBNavigator::kButtonWidth, width);
        QCOMPARE(leftmost->x(), 0);
        QVERIFY(leftmost->toolTip().startsWith(first));
    }

    // The hints in button order, each followed by its key where it has one.
    void hintsInOrderWithTheirKeys() {
        DBNavigator nav;
        const QStringList own{
            "最初の行 (Ctrl+Home)", "前の行 (Ctrl+PgUp)",  "次の行 (Ctrl+PgDn)", "最後の行 (Ctrl+End)",
            "行の挿入 (Ctrl+Ins)",  "行の削除 (Ctrl+Del)", "行の編集",           "行の登録 (Ctrl+Enter)",
            "編集の取り消し (Esc)", "データ更新"};
        for (int i = 0; i < DBNavigator::kButtonCount; ++i) {
            QCOMPARE(nav.button(Nav::Button(i))->toolTip(), own[i]);
            QCOMPARE(nav.button(Nav::Button(i))->statusTip(), own[i]);
        }
        // Glyphs are drawn by the navigator itself.
        QVERIFY(!nav.button(Nav::Post)->icon().isNull());
    }

    void buttonsMoveAndEdit() {
        RideTable t(5);
        DBNavigator nav;
        nav.setTableCursor(t.cursor.get());
        nav.button(Nav::Last)->click();
        QCOMPARE(t.cursor->recNo(), 4);
        nav.button(Nav::Prior)->click();
        QCOMPARE(t.cursor->recNo(), 3);
        nav.button(Nav::First)->click();
        QCOMPARE(t.cursor->recNo(), 0);
        nav.button(Nav::Next)->click();
        QCOMPARE(t.cursor->recNo(), 1);
        nav.button(Nav::Edit)->click();
        QCOMPARE(t.cursor->state(), CursorState::Edit);
        nav.button(Nav::Cancel)->click();
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        nav.button(Nav::Insert)->click();
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        t.db->exec(QStringLiteral("UPDATE JOSHA SET BIKO = 'other' WHERE ROSEN_CD = '100005'"));
        nav.button(Nav::Refresh)->click(); // drops the unchanged new record and reads again
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        t.cursor->last();
        QCOMPARE(t.cursor->asString("BIKO"), QStringLiteral("other"));
    }

    void deleteAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("left");
        QTest::newRow("no") << false << 3;
        QTest::newRow("yes") << true << 2;
    }
    void deleteAsksFirst() {
        QFETCH(bool, yes);
        QFETCH(int, left);
        RideTable t(3);
        test::DialogAnswerer answers;
        answers.answerQuestion(yes);
        DBNavigator nav;
        nav.setTableCursor(t.cursor.get());
        nav.button(Nav::Delete)->click();
        QCOMPARE(answers.count(DialogKind::Question), 1);
        QCOMPARE(t.count(), left);
    }

    // A duplicate key refused by the engine: the error box is shown and the new record stays in insert state
    // with what was typed, ready to be corrected.
    void engineErrorOnPostKeepsTheInsert() {
        RideTable t(2);
        test::DialogAnswerer answers;
        DBNavigator nav;
        nav.setTableCursor(t.cursor.get());
        DBEdit code(t.cursor.get(), QStringLiteral("ROSEN_CD"));
        DBDateEdit day(t.cursor.get(), QStringLiteral("JOSHA_DATE"));
        nav.button(Nav::Insert)->click();
        QTest::keyClicks(&code, QStringLiteral("100001"));
        QTest::keyClicks(&day, QStringLiteral("2024-01-01"));
        QVERIFY(!nav.click(Nav::Post));
        QCOMPARE(answers.count(DialogKind::Critical), 1);
        QVERIFY(!answers.requests(DialogKind::Critical).first().text.isEmpty());
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        QCOMPARE(code.text(), QStringLiteral("100001"));
        QCOMPARE(day.text(), QStringLiteral("2024-01-01"));
        QVERIFY(nav.button(Nav::Post)->isEnabled());
        QVERIFY(nav.button(Nav::Cancel)->isEnabled());
        QCOMPARE(t.count(), 2);

        // Corrected, the same button stores it.
        day.selectAll();
        QTest::keyClicks(&day, QStringLiteral("2024-01-02"));
        QVERIFY(nav.click(Nav::Post));
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(t.count(), 3);
        QCOMPARE(t.cursor->displayText("JOSHA_DATE"), QStringLiteral("2024-01-02"));
    }
};

QTEST_MAIN(TestDBNavigator)
#include "test_dbnavigator.moc"
