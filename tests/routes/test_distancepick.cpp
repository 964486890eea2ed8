#include "data/textcodec.h"
#include "routes/distancepick.h"

#include <QtTest>

using namespace tabi;
using namespace tabi::routes;

class TestDistancePick : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensEmpty() {
        DistancePick pick;
        pick.kiten(QStringLiteral("甲"), 3);
        pick.shuten(QStringLiteral("乙"), 5, 10);
        pick.setAccepted(true);
        pick.reset();
        QVERIFY(!pick.accepted());
        QVERIFY(!pick.complete());
        QCOMPARE(pick.distanceText(), QStringLiteral("     0.0"));
        QCOMPARE(pick.startName(), QString());
        QCOMPARE(pick.endName(), QString());
        QCOMPARE(pick.section(), QString());
        QCOMPARE(pick.rideKilo(), 0.0);
    }

    // Steps "F name post" (起点), "T name post" (終点), "D name post" (double-click), "Z" (消去), "L" (the end before
    // the start recorded as the loss of a section).
    void picks_data() {
        QTest::addColumn<double>("routeKilo");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("distanceText");
        QTest::addColumn<QString>("section");
        QTest::addColumn<double>("ride");

        QTest::newRow("12.3 to 45.6 on 45.6 km") << 45.6 << QStringList{"F 中間 12.3", "T 終点 45.6"} << "    33.3"
                                                 << "中間～終点" << 45.6 - 12.3;
        QTest::newRow("the same, end picked first") << 45.6 << QStringList{"T 終点 45.6", "F 中間 12.3"} << "    33.3"
                                                    << "中間～終点" << 45.6 - 12.3;
        QTest::newRow("0 to 45.58: within the tolerance")
            << 45.6 << QStringList{"F 起点 0", "T 終点 45.58"} << "    45.6"
            << "起点～終点(全区間)" << 45.58;
        QTest::newRow("0 to 45.5: 0.1 short") << 45.6 << QStringList{"F 起点 0", "T 手前 45.5"} << "    45.5"
                                              << "起点～手前" << 45.5;
        QTest::newRow("30 to 10: as travelled") << 45.6 << QStringList{"F 乙 30", "T 甲 10"} << "    20.0"
                                                << "乙～甲" << 20.0;
        QTest::newRow("30 to 10: a loss") << 45.6 << QStringList{"F 乙 30", "T 甲 10", "L"} << "   -20.0"
                                          << "乙～甲" << -20.0;
        QTest::newRow("whole route backwards") << 45.6 << QStringList{"T 起点 0", "F 終点 45.6"} << "    45.6"
                                               << "終点～起点(全区間)" << 45.6;
        QTest::newRow("whole route as a loss: no mark")
            << 45.6 << QStringList{"T 起点 0", "F 終点 45.6", "L"} << "   -45.6"
            << "終点～起点" << -45.6;
        QTest::newRow("end only: no section") << 45.6 << QStringList{"T 中間 20"} << "     0.0"
                                              << "" << 0.0;
        QTest::newRow("start only: no section") << 45.6 << QStringList{"F 乙 30"} << "     0.0"
                                                << "" << 0.0;
        QTest::newRow("three double-clicks") << 45.6 << QStringList{"D 甲 1", "D 乙 2", "D 丙 3.5"} << "     2.5"
                                             << "甲～丙" << 2.5;
        QTest::newRow("start changed after the end") << 45.6 << QStringList{"F 甲 1", "T 乙 2", "F 丙 5"} << "     3.0"
                                                     << "丙～乙" << 3.0;
        QTest::newRow("clear") << 45.6 << QStringList{"F 甲 1", "T 乙 2", "Z"} << "   0.0"
                               << "" << 0.0;
        QTest::newRow("double-click after clear starts again")
            << 45.6 << QStringList{"D 甲 1", "D 乙 2", "Z", "D 丙 4"} << "   0.0"
            << "" << 0.0;
        QTest::newRow("zero-length route") << 0.0 << QStringList{"F 甲 0", "T 乙 0"} << "     0.0"
                                           << "甲～乙(全区間)" << 0.0;
        QTest::newRow("long distance fills eight characters")
            << 2000.0 << QStringList{"F 甲 0", "T 乙 1234.56"} << "  1234.6"
            << "甲～乙" << 1234.56;
    }
    void picks() {
        QFETCH(double, routeKilo);
        QFETCH(QStringList, steps);
        QFETCH(QString, distanceText);
        QFETCH(QString, section);
        QFETCH(double, ride);
        DistancePick pick;
        pick.reset();
        pick.setRouteKilo(routeKilo);
        for (const QString& step : steps) {
            const QStringList p = step.split(QLatin1Char(' '));
            const QString op = p.value(0);
            const QString name = p.value(1);
            const double kilo = p.value(2).toDouble();
            if (op == QLatin1String("Z"))
                pick.clear();
            else if (op == QLatin1String("L"))
                pick.setAsLoss(true);
            else if (op == QLatin1String("F"))
                pick.kiten(name, kilo);
            else if (op == QLatin1String("T"))
                pick.shuten(name, kilo, routeKilo);
            else
                pick.pick(name, kilo, routeKilo);
        }
        QCOMPARE(pick.distanceText(), distanceText);
        QCOMPARE(pick.section(), section);
        QCOMPARE(pick.complete(), !section.isEmpty());
        // The ride gets the difference as computed in double precision, not the rounded text.
        QCOMPARE(pick.rideKilo(), ride);
    }

    void sectionIsCutToFiftyBytes_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("expected");
        const QString fourteen = QString(14, QChar(0x99C5)); // 駅 x 14
        // 14 + 1 + 15 = 30 full-width characters = 60 bytes: the first 25 remain.
        QTest::newRow("30 full-width") << fourteen << QString(15, QChar(0x99C5))
                                       << (fourteen + "～" + QString(10, QChar(0x99C5)));
        QTest::newRow("mark lost") << QString(12, QChar(0x99C5)) << QString(12, QChar(0x99C5))
                                   << (QString(12, QChar(0x99C5)) + "～" + QString(12, QChar(0x99C5)));
        QTest::newRow("half-width fills 50") << QString(30, QLatin1Char('A')) << QString(30, QLatin1Char('B'))
                                             << (QString(30, QLatin1Char('A')) + "～" + QString(18, QLatin1Char('B')));
        // 49 bytes of ASCII + "～": the double-byte character does not fit in the last byte.
        QTest::newRow("no split of a double-byte character")
            << QString(49, QLatin1Char('A')) << QString(1, QLatin1Char('B')) << QString(49, QLatin1Char('A'));
    }
    void sectionIsCutToFiftyBytes() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, expected);
        DistancePick pick;
        pick.kiten(start, 0);
        pick.shuten(end, 100, 100); // whole route: the mark is appended, then cut
        QCOMPARE(pick.section(), expected);
        QVERIFY(text::toCp932(pick.section()).size() <= 50);
    }

    void distanceFormat_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("33.3") << (45.6 - 12.3) << "    33.3";
        QTest::newRow("-20") << -20.0 << "   -20.0";
        QTest::newRow("0") << 0.0 << "     0.0";
        QTest::newRow("round 0.05 binary") << 0.05 << "     0.1";
        QTest::newRow("wider than eight") << 1234567.8 << "1234567.8";
    }
    void distanceFormat() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatDistance(value), text);
    }

    void calendarSteps_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<int>("months");
        QTest::addColumn<int>("years");
        QTest::addColumn<QDate>("to");
        QTest::newRow("29 Feb 2024 next year") << QDate(2024, 2, 29) << 0 << 1 << QDate(2025, 2, 28);
        QTest::newRow("29 Feb 2024 previous year") << QDate(2024, 2, 29) << 0 << -1 << QDate(2023, 2, 28);
        QTest::newRow("28 Feb 2023 next year") << QDate(2023, 2, 28) << 0 << 1 << QDate(2024, 2, 28);
        QTest::newRow("31 Mar 2024 previous month") << QDate(2024, 3, 31) << -1 << 0 << QDate(2024, 2, 29);
        QTest::newRow("31 Mar 2023 previous month") << QDate(2023, 3, 31) << -1 << 0 << QDate(2023, 2, 28);
        QTest::newRow("31 Jan next month") << QDate(2025, 1, 31) << 1 << 0 << QDate(2025, 2, 28);
        QTest::newRow("31 Dec next month") << QDate(2024, 12, 31) << 1 << 0 << QDate(2025, 1, 31);
        QTest::newRow("15 Jan previous month") << QDate(2024, 1, 15) << -1 << 0 << QDate(2023, 12, 15);
        QTest::newRow("30 Apr next month") << QDate(2024, 4, 30) << 1 << 0 << QDate(2024, 5, 30);
    }
    void calendarSteps() {
        QFETCH(QDate, from);
        QFETCH(int, months);
        QFETCH(int, years);
        QFETCH(QDate, to);
        PickCalendar cal(from);
        if (months)
            cal.stepMonths(months);
        if (years)
            cal.stepYears(years);
        QCOMPARE(cal.date(), to);
    }

    void dateTexts_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::newRow("3 May 2024") << QDate(2024, 5, 3) << "2024年5月"
                                    << "2024-05-03";
        QTest::newRow("31 Dec 1999") << QDate(1999, 12, 31) << "1999年12月"
                                     << "1999-12-31";
    }
    void dateTexts() {
        QFETCH(QDate, date);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        const PickCalendar cal(date);
        QCOMPARE(cal.monthCaption(), caption);
        QCOMPARE(cal.dateText(), text);
    }
};

QTEST_MAIN(TestDistancePick)
#include "test_distancepick.moc"
