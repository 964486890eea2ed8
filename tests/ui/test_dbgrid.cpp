#include "support/dialogseam.h"
#include "ui/dbgrid.h"
#include "uifixture.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QtTest>

using namespace tabi;
using namespace tabi::ui;
using tabi::test::RideTable;

namespace {
enum { DateCol, KukanCol, KiloCol, BikoCol };
}

class TestDBGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gridAndCursorFollowEachOther() {
        RideTable t(200);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.resize(400, 200);
        grid.show();
        QCOMPARE(grid.currentIndex().row(), 0);
        grid.setCurrentIndex(grid.model()->index(150, KukanCol));
        QCOMPARE(t.cursor->recNo(), 150);
        t.cursor->last();
        QCOMPARE(grid.currentIndex().row(), 199);
        QCOMPARE(grid.currentIndex().column(), int(KukanCol));
        t.cursor->first();
        QCOMPARE(grid.currentIndex().row(), 0);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(t.cursor->recNo(), 1);
    }

    // A shown grid over a large table reads only the blocks it paints, at either end.
    void largeTableReadsOnlyWhatIsShown() {
        RideTable t(100000);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.resize(500, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        t.cursor->last();
        QCOMPARE(grid.currentIndex().row(), 99999);
        grid.grab(); // paints the rows now in view
        QCOMPARE(grid.model()->index(99999, KukanCol).data().toString(), QStringLiteral("区間100000"));
        QVERIFY2(grid.cursorModel()->rowsFetched() <= 4 * CursorTableModel::kBlockRows,
                 qPrintable(QString::number(grid.cursorModel()->rowsFetched())));
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(t.cursor->recNo(), 0);
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    // Scrolled to the end (the last record made current), the top row stays whole under the titles and the
    // last row is whole too, whatever the grid's height.
    void lastRowShowsWholeRows_data() {
        QTest::addColumn<int>("height");
        for (int h : {200, 213, 227})
            QTest::newRow(qPrintable(QString::number(h))) << h;
    }
    void lastRowShowsWholeRows() {
        QFETCH(int, height);
        RideTable t(60);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.resize(400, height);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        for (int pass = 0; pass < 2; ++pass) { // reached by the cursor, then by Ctrl+End after going home
            if (pass == 0) {
                t.cursor->last();
            } else {
                QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
                QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
            }
            QCOMPARE(grid.currentIndex().row(), 59);
            QCOMPARE(grid.rowViewportPosition(grid.rowAt(0)), 0);
            const QRect last = grid.visualRect(grid.currentIndex());
            QVERIFY(last.top() >= 0 && last.bottom() <= grid.viewport()->rect().bottom());
        }
        grid.resize(400, height + 9); // a resize keeps the rows whole as well
        QCOMPARE(grid.rowViewportPosition(grid.rowAt(0)), 0);
    }

    void unchangedNewRowIsDroppedOnLeaving() {
        RideTable t(3);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.show();
        t.cursor->last();
        // Down past the last row appends; Down again on the unchanged new row stays there.
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        QCOMPARE(grid.model()->rowCount(), 4);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(grid.model()->rowCount(), 4);
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        // Leaving it drops it.
        QTest::keyClick(&grid, Qt::Key_Up);
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(grid.model()->rowCount(), 3);
        QCOMPARE(grid.currentIndex().row(), 2);
        QCOMPARE(t.count(), 3);

        // A new row inserted in the middle and left for the first row is dropped too.
        t.cursor->moveToRow(1);
        QTest::keyClick(&grid, Qt::Key_Insert);
        QCOMPARE(grid.model()->rowCount(), 4);
        grid.setCurrentIndex(grid.model()->index(0, DateCol));
        QCOMPARE(grid.model()->rowCount(), 3);
        QCOMPARE(t.cursor->recNo(), 0);
        QCOMPARE(t.count(), 3);
    }

    // Leaving the grid for another control drops an unchanged new row; a changed one stays for the user to post.
    void leavingTheGridDropsAnUnchangedNewRow() {
        RideTable t(2);
        QWidget window;
        auto* grid = new DBGrid(&window);
        grid->setTableCursor(t.cursor.get());
        auto* other = new QLineEdit(&window);
        other->move(0, 300);
        window.resize(400, 400);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        other->setFocus();
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(grid->model()->rowCount(), 2);

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        t.cursor->setText(t.field("BIKO"), QStringLiteral("kept"));
        other->setFocus();
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        QCOMPARE(grid->model()->rowCount(), 3);
        t.cursor->cancel();
    }

    void typedCellsAreWrittenAndPostedOnLeavingTheRow() {
        RideTable t(3);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.show();
        grid.setCurrentIndex(grid.model()->index(1, BikoCol));
        QTest::keyClicks(&grid, QStringLiteral("x"));
        QCOMPARE(t.cursor->state(), CursorState::Edit);
        QCOMPARE(grid.model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("I"));
        auto* editor = grid.findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("yz"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits a closed editor from the event loop.
        QTRY_COMPARE(t.cursor->asString("BIKO"), QStringLiteral("xyz"));
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT BIKO FROM JOSHA WHERE ROSEN_CD = '100002'")).toString(),
                 QStringLiteral("xyz"));

        // Enter opens the editor on the current cell, starting from the field's text.
        grid.setCurrentIndex(grid.model()->index(0, KukanCol));
        QTest::keyClick(&grid, Qt::Key_Return);
        QVERIFY(grid.findChild<QLineEdit*>());
        QTRY_COMPARE(grid.findChild<QLineEdit*>()->text(), QStringLiteral("区間1"));
        QTest::keyClick(grid.findChild<QLineEdit*>(), Qt::Key_Escape);
        QTRY_VERIFY(grid.findChildren<QLineEdit*>().isEmpty());
        QCOMPARE(t.cursor->state(), CursorState::Browse);

        // A pending cell is written before the cursor posts from elsewhere.
        grid.setCurrentIndex(grid.model()->index(2, KukanCol));
        QTest::keyClick(&grid, Qt::Key_A);
        QTest::keyClicks(grid.findChild<QLineEdit*>(), QStringLiteral("bc"));
        updateRecord(*t.cursor);
        t.cursor->post();
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT JOSHA_KUKAN FROM JOSHA WHERE ROSEN_CD = '100003'")).toString(),
                 QStringLiteral("abc"));
    }

    // A new row the engine refuses when the grid leaves it: the error box, and the grid stays on the new row.
    void refusedPostKeepsTheGridOnTheNewRow() {
        RideTable t(3);
        test::DialogAnswerer answers;
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.show();
        t.cursor->last();
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        const int newRow = grid.currentIndex().row();
        QVERIFY(grid.model()->setData(grid.model()->index(newRow, DateCol), QStringLiteral("2024-01-01")));
        t.cursor->setText(t.field("ROSEN_CD"), QStringLiteral("100001")); // the key of the first ride
        QTest::keyClick(&grid, Qt::Key_Up);
        QCOMPARE(answers.count(DialogKind::Critical), 1);
        QCOMPARE(t.cursor->state(), CursorState::Insert);
        QCOMPARE(grid.currentIndex().row(), newRow);
        QCOMPARE(grid.model()->rowCount(), 4);
        QCOMPARE(t.count(), 3);
        // Corrected, leaving the row stores it.
        t.cursor->setText(t.field("ROSEN_CD"), QStringLiteral("100009"));
        grid.setCurrentIndex(grid.model()->index(0, DateCol));
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(t.count(), 4);
        QCOMPARE(t.cursor->recNo(), 0);
    }

    void ctrlDeleteAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("left");
        QTest::newRow("no keeps the row") << false << 3;
        QTest::newRow("yes deletes it") << true << 2;
    }
    void ctrlDeleteAsksFirst() {
        QFETCH(bool, yes);
        QFETCH(int, left);
        RideTable t(3);
        test::DialogAnswerer answers;
        answers.answerQuestion(yes);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.show();
        t.cursor->moveToRow(1);
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(answers.count(DialogKind::Question), 1);
        QCOMPARE(t.count(), left);
        QCOMPARE(grid.model()->rowCount(), left);
        QCOMPARE(t.cursor->asString("ROSEN_CD"), yes ? QStringLiteral("100003") : QStringLiteral("100002"));
    }

    void readOnlyGridLooksAndActsReadOnly() {
        RideTable t(3);
        test::DialogAnswerer answers;
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.setReadOnly(true);
        grid.show();
        QCOMPARE(grid.palette().color(QPalette::Base), grid.palette().color(QPalette::Button));
        QCOMPARE(grid.focusPolicy(), Qt::StrongFocus); // reached by Tab, left by Tab: its cells are not Tab stops
        QVERIFY(!grid.tabKeyNavigation());
        QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable));
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClick(&grid, Qt::Key_Insert);
        t.cursor->last();
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(answers.requests().size(), 0);
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(grid.model()->rowCount(), 3);
    }

    void gridBoundBeforeTheCursorOpens() {
        RideTable t(3);
        t.cursor->close();
        TableCursor later(t.db, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        DBGrid grid;
        grid.setTableCursor(&later);
        QCOMPARE(grid.model()->columnCount(), 0);
        later.open();
        QCOMPARE(grid.model()->columnCount(), 4);
        QCOMPARE(grid.model()->rowCount(), 3);
        QCOMPARE(grid.model()->headerData(KukanCol, Qt::Horizontal).toString(), QStringLiteral("乗車区間"));
        QVERIFY(grid.columnWidth(KukanCol) >= 50 * grid.charWidth());
        detachControls(later);
    }

    void optionsShowTitlesAndIndicator() {
        RideTable t(1);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        grid.show();
        QVERIFY(grid.horizontalHeader()->isVisible());
        QVERIFY(grid.verticalHeader()->isVisible());
        QVERIFY(grid.tabKeyNavigation());
        grid.setOptions(DBGrid::Options(DBGrid::kDefaultOptions) & ~DBGrid::Titles & ~DBGrid::Indicator &
                        ~DBGrid::Tabs);
        QVERIFY(!grid.horizontalHeader()->isVisible());
        QVERIFY(!grid.verticalHeader()->isVisible());
        QVERIFY(!grid.tabKeyNavigation());
    }

    // Widths in characters of the grid's font: the declared width, else the text size, else a type default;
    // never narrower than the title.
    void columnWidthsFollowTheFields() {
        RideTable t(1);
        DBGrid grid;
        grid.setTableCursor(t.cursor.get());
        const int cw = grid.charWidth();
        QVERIFY(cw > 0);
        const QFontMetrics title(grid.horizontalHeader()->font());
        const auto expect = [&](int chars, const QString& label) {
            return std::max(chars * cw + 6, title.horizontalAdvance(label) + 10);
        };
        QCOMPARE(grid.columnWidth(DateCol), expect(10, QStringLiteral("乗車年月日"))); // declared 10
        QCOMPARE(grid.columnWidth(KukanCol), expect(50, QStringLiteral("乗車区間")));  // text(50)
        QCOMPARE(grid.columnWidth(KiloCol), expect(7, QStringLiteral("乗車キロ")));    // declared 7
        t.cursor->fieldDef(t.field("BIKO")).displayWidth = 3;
        grid.resetColumnWidths();
        QCOMPARE(grid.columnWidth(BikoCol), expect(3, QStringLiteral("備考")));
        // Widths survive the rows being read again, also one a screen set itself.
        grid.setColumnWidth(KukanCol, 77);
        t.cursor->refresh();
        QCOMPARE(grid.columnWidth(KukanCol), 77);
        QCOMPARE(grid.columnWidth(DateCol), expect(10, QStringLiteral("乗車年月日")));
    }
};

QTEST_MAIN(TestDBGrid)
#include "test_dbgrid.moc"
