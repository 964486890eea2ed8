#include "routes/stationdistancedialog.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "support/typing.h"
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
        openDatabases(true);
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

    // Steps "F post" (起点) and "T post" (終点) in the order the user takes them; the reverse question, when it
    // comes, is answered with reverse (0 as travelled, the default; 1 as a loss; -1 Esc).
    void recordsAPick_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("reverse"); // -2: no question expected
        QTest::addColumn<QString>("distance");
        QTest::addColumn<QString>("section"); // empty: nothing recorded
        QTest::addColumn<double>("ride");
        QTest::newRow("start, then end") << QStringList{"F 12.3", "T 45.58"} << -2 << "    33.3"
                                         << "中間～終点" << 45.58 - 12.3;
        QTest::newRow("end, then start") << QStringList{"T 45.58", "F 12.3"} << -2 << "    33.3"
                                         << "中間～終点" << 45.58 - 12.3;
        QTest::newRow("whole route, end first") << QStringList{"T 45.58", "F 0"} << -2 << "    45.6"
                                                << "起点～終点(全区間)" << 45.58;
        QTest::newRow("start changed after the end") << QStringList{"F 0", "T 30", "F 12.3"} << -2 << "    17.7"
                                                     << "中間～三十" << 30 - 12.3;
        QTest::newRow("travelled backwards, Enter: as travelled") << QStringList{"F 30", "T 12.3"} << 0 << "    17.7"
                                                                  << "三十～中間" << 30 - 12.3;
        QTest::newRow("travelled backwards over the whole route") << QStringList{"F 45.58", "T 0"} << 0 << "    45.6"
                                                                  << "終点～起点(全区間)" << 45.58;
        QTest::newRow("backwards, chosen as the loss of a section") << QStringList{"F 30", "T 12.3"} << 1 << "    17.7"
                                                                    << "三十～中間" << 12.3 - 30;
        QTest::newRow("backwards, question escaped") << QStringList{"F 30", "T 12.3"} << -1 << "    17.7"
                                                     << "" << 0.0;
        QTest::newRow("one station twice") << QStringList{"F 30", "T 30"} << -2 << "     0.0"
                                           << "" << 0.0;
        QTest::newRow("end only") << QStringList{"T 30"} << -2 << "     0.0"
                                  << "" << 0.0;
        QTest::newRow("start only") << QStringList{"F 30"} << -2 << "     0.0"
                                    << "" << 0.0;
        QTest::newRow("nothing") << QStringList{} << -2 << "     0.0"
                                 << "" << 0.0;
    }
    void recordsAPick() {
        QFETCH(QStringList, steps);
        QFETCH(int, reverse);
        QFETCH(QString, distance);
        QFETCH(QString, section);
        QFETCH(double, ride);
        TEKI2 d(m_ref);
        d.setRouteCode(QStringLiteral("A00001"));
        test::DialogAnswerer answerer;
        if (reverse != -2)
            answerer.answerChoice(reverse);
        bool enabled = false;
        answerer.onExec([&](QDialog&) {
            for (const QString& step : steps) {
                selectStation(d, step.mid(2).toDouble());
                click(d, step.startsWith(u'F') ? "BitBtnF" : "BitBtnT");
            }
            [&] { QCOMPARE(d.distanceField()->text(), distance); }();
            // 代入 is off until both stations are picked.
            enabled = d.substituteButton()->isEnabled();
            if (enabled)
                click(d, "BitBtnS");
            return d.result();
        });
        d.run();
        QCOMPARE(enabled, !section.isEmpty() || reverse == -1);
        QCOMPARE(answerer.count(ui::DialogKind::Choice), reverse == -2 ? 0 : 1);
        QCOMPARE(d.accepted(), !section.isEmpty());
        if (d.accepted()) {
            QCOMPARE(d.section(), section);
            QCOMPARE(d.rideKilo(), ride);
        }
    }

    // The date handed back is the one the user sees, whether clicked or typed; a date that cannot be is refused
    // with a message naming it, and nothing is recorded.
    void dateTypedOrClicked_data() {
        QTest::addColumn<QString>("how"); // click, tab, enter, substitute (typed, then 代入 at once)
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // null: refused
        QTest::newRow("clicked") << "click" << QString() << QDate(2024, 5, 3);
        QTest::newRow("typed, Tab") << "tab"
                                    << "2024-05-03" << QDate(2024, 5, 3);
        QTest::newRow("typed, Enter") << "enter"
                                      << "2024-05-03" << QDate(2024, 5, 3);
        QTest::newRow("typed, 代入 at once") << "substitute"
                                             << "2024-05-03" << QDate(2024, 5, 3);
        QTest::newRow("slashes, no leading zeros") << "tab"
                                                   << "2024/5/3" << QDate(2024, 5, 3);
        QTest::newRow("full-width digits") << "tab"
                                           << "２０２４－０５－０３" << QDate(2024, 5, 3);
        QTest::newRow("30 February") << "tab"
                                     << "2024-02-30" << QDate();
        QTest::newRow("30 February, 代入 at once") << "substitute"
                                                   << "2024-02-30" << QDate();
        QTest::newRow("no date at all") << "enter"
                                        << "きのう" << QDate();
    }
    void dateTypedOrClicked() {
        QFETCH(QString, how);
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        TEKI2 d(m_ref);
        d.selectDate(QDate(2020, 1, 1));
        d.setRouteCode(QStringLiteral("A00001"));
        d.activate();
        d.show();
        QApplication::setActiveWindow(&d);
        QVERIFY(QTest::qWaitForWindowActive(&d));
        test::DialogAnswerer answerer;
        selectStation(d, 0);
        click(d, "BitBtnF");
        selectStation(d, 12.3);
        click(d, "BitBtnT");
        QLineEdit* field = d.dateField();
        if (how == QLatin1String("click")) {
            Q_EMIT d.calendar()->clicked(QDate(2024, 5, 3));
        } else {
            field->setFocus();
            field->selectAll();
            test::typeText(field, typed);
            if (how == QLatin1String("tab"))
                QTest::keyClick(field, Qt::Key_Tab);
            else if (how == QLatin1String("enter"))
                QTest::keyClick(field, Qt::Key_Return);
        }
        if (how != QLatin1String("substitute"))
            QCOMPARE(d.date(), date.isValid() ? date : QDate(2020, 1, 1));
        QVERIFY(d.isVisible()); // Enter in the date field confirms the date only
        click(d, "BitBtnS");
        QCOMPARE(d.accepted(), date.isValid());
        QCOMPARE(d.date(), date.isValid() ? date : QDate(2020, 1, 1));
        const QList<ui::DialogRequest> messages = answerer.requests(ui::DialogKind::Critical);
        // A refused date is refused again by 代入 as long as it stands in the field.
        QCOMPARE(messages.size(), date.isValid() ? 0 : how == QLatin1String("substitute") ? 1 : 2);
        if (!date.isValid())
            QVERIFY2(messages.first().text.contains(u'「' + typed + u'」'), qPrintable(messages.first().text));
        QCOMPARE(d.calendar()->selectedDate(), d.date());
    }

    // Typing a name's beginning, in kanji or kana of either kind, moves the list to that station.
    void stationTypeAhead_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("station"); // empty: the list stays where it was
        QTest::newRow("kanji") << "三"
                               << "三十";
        QTest::newRow("hiragana") << "ちゅう"
                                  << "中間";
        QTest::newRow("katakana") << "チュウ"
                                  << "中間";
        QTest::newRow("half-width katakana") << "ﾁｭｳ"
                                             << "中間";
        QTest::newRow("no such station") << "ぬ"
                                         << "";
    }
    void stationTypeAhead() {
        QFETCH(QString, typed);
        QFETCH(QString, station);
        m_ref->exec(QStringLiteral("UPDATE EKI SET EKI_KANA = 'ちゅうかん' WHERE EKI_KANJI = '中間'"));
        TEKI2 d(m_ref);
        d.setRouteCode(QStringLiteral("A00001"));
        d.activate();
        test::typeText(d.grid(), typed);
        QCOMPARE(d.stationCursor().asString(QStringLiteral("EKI_KANJI")),
                 station.isEmpty() ? QStringLiteral("起点") : station);
        QCOMPARE(d.grid()->currentIndex().row(), d.stationCursor().recNo());
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

    // What earlier rides covered: their stations are coloured, and a section over them asks how much to record.
    void overlapWithEarlierRides_data() {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("answer"); // -2: no question expected
        QTest::addColumn<double>("ride");
        // Ridden before: 中間～三十, 12.3 to 30.
        QTest::newRow("disjoint") << 0.0 << 12.3 << -2 << 12.3;
        QTest::newRow("partly over, Enter: the new part only") << 0.0 << 30.0 << 0 << 12.3;
        QTest::newRow("partly over, the whole") << 0.0 << 30.0 << 1 << 30.0;
        QTest::newRow("partly over, nothing") << 0.0 << 30.0 << 2 << 0.0;
        QTest::newRow("inside, Enter: 0 km") << 30.0 << 12.3 << 0 << 0.0;
        QTest::newRow("the whole route, backwards") << 45.58 << 0.0 << 0 << 45.58 - 17.7;
    }
    void overlapWithEarlierRides() {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, answer);
        QFETCH(double, ride);
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('A00001', '2023-01-01 00:00:00', '中間～三十', 17.7)"));
        TEKI2 d(m_ref);
        d.setPersonal(m_per);
        d.setRouteCode(QStringLiteral("A00001"));
        test::DialogAnswerer answerer;
        if (to < from)
            answerer.answerChoice(0); // as travelled
        if (answer != -2)
            answerer.answerChoice(answer);
        QList<bool> coloured;
        answerer.onExec([&](QDialog&) {
            for (int row = 0; row < d.grid()->model()->rowCount(); ++row)
                coloured << d.grid()->model()->index(row, 1).data(Qt::BackgroundRole).isValid();
            selectStation(d, from);
            click(d, "BitBtnF");
            selectStation(d, to);
            click(d, "BitBtnT");
            click(d, "BitBtnS");
            return d.result();
        });
        d.run();
        QCOMPARE(coloured, (QList<bool>{false, true, true, false, false}));
        QVERIFY(d.accepted());
        QVERIFY2(std::abs(d.rideKilo() - ride) < 1e-9, qPrintable(QString::number(d.rideKilo())));
        QCOMPARE(answerer.count(ui::DialogKind::Choice), (answer != -2 ? 1 : 0) + (to < from ? 1 : 0));
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
        QCOMPARE(d.section(), QStringLiteral("起点～三十")); // the third replaced the end
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
