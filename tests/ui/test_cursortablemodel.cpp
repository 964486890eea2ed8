#include "support/dialogseam.h"
#include "ui/cursortablemodel.h"
#include "ui/dbkit.h"
#include "uifixture.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using namespace tabi;
using namespace tabi::ui;
using tabi::test::RideTable;

namespace {

QString cell(const CursorTableModel& m, int row, int column, int role = Qt::DisplayRole) {
    return m.data(m.index(row, column), role).toString();
}

// Columns of JOSHA in the grid: ROSEN_CD is hidden.
enum { DateCol, KukanCol, KiloCol, BikoCol };

} // namespace

class TestCursorTableModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void largeTableShowsItsEndsWithoutReadingEverything() {
        RideTable t(100000);
        CursorTableModel model(t.cursor.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 100000);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(DateCol, Qt::Horizontal).toString(), QStringLiteral("乗車年月日"));
        QCOMPARE(model.headerData(KiloCol, Qt::Horizontal).toString(), QStringLiteral("乗車キロ"));

        const int before = model.rowsFetched();
        QCOMPARE(cell(model, 99999, KukanCol), QStringLiteral("区間100000"));
        QCOMPARE(cell(model, 99998, KiloCol), QStringLiteral("9999.9"));
        QCOMPARE(cell(model, 50000, DateCol), QStringLiteral("2024-01-01"));
        // Two blocks at most were read for the rows asked for, and again none for rows already read.
        QVERIFY2(model.rowsFetched() - before <= 2 * CursorTableModel::kBlockRows,
                 qPrintable(QString::number(model.rowsFetched())));
        const int fetched = model.fetchCalls();
        QCOMPARE(cell(model, 99990, KukanCol), QStringLiteral("区間99991"));
        QCOMPARE(model.fetchCalls(), fetched);

        QSignalSpy moved(&model, &CursorTableModel::currentRowChanged);
        t.cursor->last();
        QCOMPARE(model.currentRow(), 99999);
        QCOMPARE(moved.last().at(0).toInt(), 99999);
        QCOMPARE(model.headerData(99999, Qt::Vertical).toString(), QStringLiteral("▶"));
        QVERIFY(model.headerData(99998, Qt::Vertical).toString().isEmpty());
        QVERIFY(model.rowsFetched() < 1000);
    }

    void followsTheCursorBothWays() {
        RideTable t(300);
        CursorTableModel model(t.cursor.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy moved(&model, &CursorTableModel::currentRowChanged);
        model.moveToRow(250);
        QCOMPARE(t.cursor->recNo(), 250);
        QCOMPARE(t.cursor->asString("JOSHA_KUKAN"), QStringLiteral("区間251"));
        QCOMPARE(moved.last().at(0).toInt(), 250);
        t.cursor->prior();
        QCOMPARE(model.currentRow(), 249);
        QCOMPARE(moved.last().at(0).toInt(), 249);
        t.cursor->first();
        QCOMPARE(model.currentRow(), 0);
        t.cursor->findKey({QStringLiteral("100120")});
        QCOMPARE(model.currentRow(), 119);
    }

    void newAndEditedRecordsShowTheirLiveValues() {
        RideTable t(5);
        CursorTableModel model(t.cursor.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        t.cursor->moveToRow(2);
        t.cursor->insert();
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.currentRow(), 2);
        QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("*"));
        QCOMPARE(cell(model, 2, KukanCol), QString());
        QCOMPARE(cell(model, 3, KukanCol), QStringLiteral("区間3"));
        QCOMPARE(cell(model, 5, KukanCol), QStringLiteral("区間5"));
        t.cursor->setText(t.field("JOSHA_KUKAN"), QStringLiteral("新しい区間"));
        QCOMPARE(cell(model, 2, KukanCol), QStringLiteral("新しい区間"));
        t.cursor->cancel();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(cell(model, 2, KukanCol), QStringLiteral("区間3"));

        t.cursor->append();
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.currentRow(), 5);
        t.cursor->cancel();

        t.cursor->edit();
        QCOMPARE(model.headerData(model.currentRow(), Qt::Vertical).toString(), QStringLiteral("I"));
        t.cursor->setFloat(t.field("JOSHA_KILO"), 123.45);
        QCOMPARE(cell(model, model.currentRow(), KiloCol), QStringLiteral("123.5"));
        QCOMPARE(cell(model, model.currentRow(), KiloCol, Qt::EditRole), QStringLiteral("123.45"));
        t.cursor->post();
        QCOMPARE(model.headerData(model.currentRow(), Qt::Vertical).toString(), QStringLiteral("▶"));
    }

    // Rows other than the current one are formatted from fetched values by the kit; the current row by the
    // cursor. Both must read the same for every type and format.
    void fetchedAndCurrentRowsReadAlike_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QVariantList>("values");
        QTest::newRow("rides") << "JOSHA"
                               << "ROSEN_CD;JOSHA_DATE" << QStringList{"ROSEN_CD", "JOSHA_DATE", "JOSHA_KILO", "BIKO"}
                               << QVariantList{"100001", "2023-12-31", -2.25, QString()};
        QTest::newRow("years") << "TOSHI"
                               << "NEN" << QStringList{"NEN", "JOSHA_NO", "JOSHA_KILO", "HAISHI_KILO", "BIKO"}
                               << QVariantList{2024, 12, 12345.65, 0.0, "備考"};
        QTest::newRow("itinerary times") << "RYOTEID"
                                         << "RYOTEI_CD" << QStringList{"RYOTEI_CD", "HATSU_TIME", "UNCHIN"}
                                         << QVariantList{"R0000001", "07:05", 0};
    }
    void fetchedAndCurrentRowsReadAlike() {
        QFETCH(QString, table);
        QFETCH(QString, order);
        QFETCH(QStringList, fields);
        QFETCH(QVariantList, values);
        test::TempEnv env;
        auto db = Database::open(DbKind::Personal);
        TableCursor c(db, table, order);
        c.open();
        for (const QString& f : fields)
            if (c.findField(f) < 0)
                QSKIP(qPrintable(QStringLiteral("%1 has no field %2").arg(table, f)));
        for (int copy = 0; copy < 2; ++copy) {
            c.append();
            for (int i = 0; i < fields.size(); ++i)
                c.setValue(fields[i], values[i]);
            if (copy == 1)
                c.setText(fields[0], c.asString(fields[0]).chopped(1) + QLatin1Char('9')); // a second key
            c.post();
        }
        CursorTableModel model(&c);
        c.first();
        QStringList fetched;
        for (int col = 0; col < model.columnCount(); ++col)
            fetched << cell(model, 1, col);
        c.last();
        QCOMPARE(model.currentRow(), 1);
        for (int col = 0; col < model.columnCount(); ++col) {
            if (model.headerData(col, Qt::Horizontal).toString() == c.fieldDef(c.fieldIndex(fields[0])).displayLabel())
                continue; // the changed key
            QCOMPARE(cell(model, 1, col), fetched[col]);
        }
    }

    void cellEditsGoThroughTheCursor() {
        RideTable t(3);
        test::DialogAnswerer answers;
        CursorTableModel model(t.cursor.get());
        model.setEditable(true);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);

        // An unchanged cell starts no edit; a changed one moves the cursor there and edits.
        QVERIFY(model.setData(model.index(1, KiloCol), QStringLiteral("0.2")));
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QVERIFY(model.setData(model.index(1, KiloCol), QStringLiteral("1,234.5")));
        QCOMPARE(t.cursor->recNo(), 1);
        QCOMPARE(t.cursor->state(), CursorState::Edit);
        QCOMPARE(t.cursor->asFloat("JOSHA_KILO"), 1234.5);

        // Text that does not convert is shown in the error box; the record keeps its edit and its value.
        QVERIFY(!model.setData(model.index(1, KiloCol), QStringLiteral("12km")));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QVERIFY(answers.requests().first().text.contains(QStringLiteral("「乗車キロ」")));
        QCOMPARE(t.cursor->state(), CursorState::Edit);
        QCOMPARE(t.cursor->asFloat("JOSHA_KILO"), 1234.5);

        // Moving to another row posts the changed record.
        model.moveToRow(2);
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT JOSHA_KILO FROM JOSHA WHERE ROSEN_CD = '100002'")).toDouble(),
                 1234.5);
        QCOMPARE(cell(model, 1, KiloCol), QStringLiteral("1234.5"));
    }

    void cachedRowsAreDroppedWhenTheRowsChange() {
        RideTable t(10);
        CursorTableModel model(t.cursor.get());
        QCOMPARE(cell(model, 5, KukanCol), QStringLiteral("区間6"));
        t.db->exec(QStringLiteral("UPDATE JOSHA SET JOSHA_KUKAN = '変更' WHERE ROSEN_CD = '100006'"));
        t.cursor->refresh();
        QCOMPARE(cell(model, 5, KukanCol), QStringLiteral("変更"));
        t.cursor->moveToRow(5);
        t.cursor->remove();
        QCOMPARE(model.rowCount(), 9);
        QCOMPARE(cell(model, 5, KukanCol), QStringLiteral("区間7"));
        t.cursor->close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.currentRow(), -1);
    }

    void suspendedControlsHearOnceAtTheEnd() {
        RideTable t(50);
        CursorTableModel model(t.cursor.get());
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy moved(&model, &CursorTableModel::currentRowChanged);
        {
            SuspendControls suspend(*t.cursor);
            while (!t.cursor->eof()) {
                t.cursor->edit();
                t.cursor->setText(t.field("BIKO"), QStringLiteral("済"));
                t.cursor->next();
            }
            QCOMPARE(resets.count(), 0);
            QCOMPARE(moved.count(), 0);
        }
        QCOMPARE(resets.count(), 1);
        QCOMPARE(cell(model, 0, BikoCol), QStringLiteral("済"));
        QCOMPARE(model.currentRow(), 49);
    }
};

QTEST_MAIN(TestCursorTableModel)
#include "test_cursortablemodel.moc"
