#include "routes/stationdistancedialog.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "ui/dbgrid.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace tabi;
using namespace tabi::routes;

namespace {

void click(QDialog& d, const char* name) {
    QPushButton* b = d.findChild<QPushButton*>(QString::fromLatin1(name));
    if (!b)
        qFatal("no button %s", name);
    b->click();
}

// Stands the station cursor on the station at the kilometre post, as a click on its grid row does.
void selectStation(TEKI2& d, double kilo) {
    TableCursor& st = d.stationCursor();
    st.first();
    while (!st.eof() && st.asFloat(QStringLiteral("KILO")) != kilo)
        st.next();
    QVERIFY(!st.eof());
    d.grid()->followCursor();
}

} // namespace

class TestStationDistanceDialog : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases();
        m_ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI"));
        m_ref->exec(QStringLiteral("INSERT INTO MASTER (ROSEN_CD, KILO) VALUES ('A00001', 45.6), ('B00001', 8)"));
        m_ref->exec(QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, EKI_KANJI) VALUES "
                                   "('A00001', 0, '起点'), ('A00001', 12.3, '中間'), ('A00001', 30, '三十'), "
                                   "('A00001', 45.58, '終点'), ('A00001', 1234.5, '遠方'), "
                                   "('B00001', 0, '別起点'), ('B00001', 8, '別終点')"));
    }
    void cleanup() { closeDatabases(); }

    void layoutAndOpening() {
        TEKI2 d(m_ref);
        QCOMPARE(d.windowTitle(), QStringLiteral("駅間キロ程算出"));
        QCOMPARE(d.size(), QSize(562, 476));
        QCOMPARE(d.grid()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("キロ程"));
        QCOMPARE(d.grid()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("駅名称"));
        QCOMPARE(d.grid()->model()->columnCount(), 2);
        QVERIFY(d.findChild<QPushButton*>(QStringLiteral("BitBtnS"))->isDefault());
        QCOMPARE(d.date(), QDate::currentDate());
        d.setRouteCode(QStringLiteral("A00001"));
        d.activate();
        QCOMPARE(d.distanceField()->text(), QStringLiteral("     0.0"));
        QCOMPARE(d.grid()->model()->rowCount(), 5);
        QCOMPARE(d.grid()->model()->index(4, 0).data().toString(), QStringLiteral("1,234.5"));
        // A code without a route lists the next route's stations.
        d.setRouteCode(QStringLiteral("A9"));
        d.activate();
        QCOMPARE(d.grid()->model()->index(0, 1).data().toString(), QStringLiteral("別起点"));
    }

    // The columns fit the grid: a long name never scrolls the list sideways, and the list has the keyboard
    // focus at each opening.
    void stationListFitsAndHasTheFocus() {
        m_ref->exec(QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, EKI_KANJI) VALUES ('A00001', 2000, "
                                   "'とても長い名前の駅とても長い名前の駅とても長い名前の駅とても長い名前の駅')"));
        TEKI2 d(m_ref);
        d.setRouteCode(QStringLiteral("A00001"));
        d.activate();
        d.show();
        QApplication::setActiveWindow(&d);
        QVERIFY(QTest::qWaitForWindowActive(&d));
        ui::DBGrid* grid = d.grid();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
        auto fits = [grid] {
            return grid->columnWidth(0) + grid->columnWidth(1) == grid->viewport()->width() &&
                   grid->horizontalScrollBar()->maximum() == 0 && grid->columnViewportPosition(0) == 0;
        };
        QVERIFY(fits());
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 5);
        QVERIFY(fits());
        grid->setCurrentIndex(grid->model()->index(5, 1)); // as a click on the long name
        QVERIFY(fits());

        // Each opening starts in the list again; Tab skips the read-only fields.
        d.hide();
        d.findChild<QPushButton*>(QStringLiteral("BitBtnZ"))->setFocus();
        d.activate();
        d.show();
        QApplication::setActiveWindow(&d);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
        QVERIFY(!(d.distanceField()->focusPolicy() & Qt::TabFocus));
    }

    void recordsAPick_data() {
        QTest::addColumn<QList<double>>("starts"); // stations taken with 起点, in order (NaN: none)
        QTest::addColumn<QList<double>>("ends");
        QTest::addColumn<QString>("distance");
        QTest::addColumn<QString>("section");
        QTest::addColumn<double>("ride");
        QTest::newRow("12.3 to 45.58") << QList<double>{12.3} << QList<double>{45.58} << "    33.3"
                                       << "中間～終点" << 45.58 - 12.3;
        QTest::newRow("0 to 45.58") << QList<double>{0} << QList<double>{45.58} << "    45.6"
                                    << "起点～終点(全区間)" << 45.58;
        QTest::newRow("30 to 12.3") << QList<double>{30} << QList<double>{12.3} << "   -17.7"
                                    << "三十～中間" << 12.3 - 30;
        QTest::newRow("end only") << QList<double>{} << QList<double>{30} << "    30.0"
                                  << "～三十" << 30.0;
        QTest::newRow("start only") << QList<double>{30} << QList<double>{} << "     0.0"
                                    << "" << -30.0;
        QTest::newRow("nothing") << QList<double>{} << QList<double>{} << "     0.0"
                                 << "" << 0.0;
    }
    void recordsAPick() {
        QFETCH(QList<double>, starts);
        QFETCH(QList<double>, ends);
        QFETCH(QString, distance);
        QFETCH(QString, section);
        QFETCH(double, ride);
        TEKI2 d(m_ref);
        d.setRouteCode(QStringLiteral("A00001"));
        test::DialogAnswerer answerer;
        answerer.onExec([&](QDialog&) {
            for (double k : starts) {
                selectStation(d, k);
                click(d, "BitBtnF");
            }
            for (double k : ends) {
                selectStation(d, k);
                click(d, "BitBtnT");
            }
            [&] { QCOMPARE(d.distanceField()->text(), distance); }();
            click(d, "BitBtnS");
            return d.result();
        });
        QCOMPARE(d.run(), int(QDialog::Accepted));
        QVERIFY(d.accepted());
        QCOMPARE(d.section(), section);
        QCOMPARE(d.endKilo() - d.startKilo(), ride);
    }

    void reopeningResetsThePickButNotTheDate() {
        TEKI2 d(m_ref);
        d.setRouteCode(QStringLiteral("A00001"));
        test::DialogAnswerer answerer;
        answerer.onExec([&](QDialog&) {
            selectStation(d, 12.3);
            click(d, "BitBtnF");
            selectStation(d, 30);
            click(d, "BitBtnT");
            d.selectDate(QDate(2024, 2, 29));
            click(d, "BitBtnNextYear");
            click(d, "BitBtnC");
            return d.result();
        });
        QCOMPARE(d.run(), int(QDialog::Rejected));
        QVERIFY(!d.accepted());
        QCOMPARE(d.date(), QDate(2025, 2, 28));
        QCOMPARE(d.monthField()->text(), QStringLiteral("2025年2月"));
        QCOMPARE(d.dateField()->text(), QStringLiteral("2025-02-28"));
        QCOMPARE(d.calendar()->selectedDate(), QDate(2025, 2, 28));

        answerer.onExec([&](QDialog& dialog) {
            [&] {
                QCOMPARE(d.startField()->text(), QString());
                QCOMPARE(d.endField()->text(), QString());
                QCOMPARE(d.distanceField()->text(), QStringLiteral("     0.0"));
                QCOMPARE(d.dateField()->text(), QStringLiteral("2025-02-28"));
            }();
            dialog.close(); // the close box leaves the flag clear
            return dialog.result();
        });
        d.run();
        QVERIFY(!d.accepted());
        QCOMPARE(d.section(), QString());
        QCOMPARE(d.date(), QDate(2025, 2, 28));
    }

    void doubleClicksAndClear() {
        TEKI2 d(m_ref);
        d.setRouteCode(QStringLiteral("A00001"));
        d.activate();
        for (double k : {0.0, 12.3, 30.0}) {
            selectStation(d, k);
            Q_EMIT d.grid()->doubleClicked(d.grid()->currentIndex());
        }
        QCOMPARE(d.startField()->text(), QStringLiteral("起点"));
        QCOMPARE(d.endField()->text(), QStringLiteral("三十"));
        QCOMPARE(d.section(), QStringLiteral("起点～三十"));
        QCOMPARE(d.distanceField()->text(), QStringLiteral("    30.0"));
        click(d, "BitBtnZ");
        QCOMPARE(d.startField()->text(), QString());
        QCOMPARE(d.distanceField()->text(), QStringLiteral("   0.0"));
        QCOMPARE(d.section(), QString());
        QCOMPARE(d.startKilo() + d.endKilo(), 0.0);
        selectStation(d, 12.3);
        Q_EMIT d.grid()->doubleClicked(d.grid()->currentIndex()); // start again after a clear
        QCOMPARE(d.startField()->text(), QStringLiteral("中間"));
    }

    void calendarButtons_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QDate>("to");
        QTest::newRow("previous year") << QDate(2024, 2, 29) << "BitBtnPrevYear" << QDate(2023, 2, 28);
        QTest::newRow("previous month") << QDate(2024, 3, 31) << "BitBtnPrevMonth" << QDate(2024, 2, 29);
        QTest::newRow("next month") << QDate(2024, 12, 31) << "BitBtnNextMonth" << QDate(2025, 1, 31);
        QTest::newRow("next year") << QDate(2024, 5, 3) << "BitBtnNextYear" << QDate(2025, 5, 3);
    }
    void calendarButtons() {
        QFETCH(QDate, from);
        QFETCH(QString, button);
        QFETCH(QDate, to);
        TEKI2 d(m_ref);
        d.selectDate(from);
        click(d, button.toLatin1().constData());
        QCOMPARE(d.date(), to);
        QCOMPARE(d.dateField()->text(), to.toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(d.monthField()->text(), QStringLiteral("%1年%2月").arg(to.year()).arg(to.month()));
        // A day clicked in the calendar becomes the date.
        Q_EMIT d.calendar()->clicked(QDate(2020, 1, 2));
        QCOMPARE(d.dateField()->text(), QStringLiteral("2020-01-02"));
    }
};

QTEST_MAIN(TestStationDistanceDialog)
#include "test_stationdistancedialog.moc"
