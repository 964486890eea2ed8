#include "fixture.h"
#include "netmap/ridden.h"

#include <QtTest>

using namespace tabi;
using namespace tabi::netmap;

namespace {

// A line of five stations, and a loop that ends where it began (its first station named twice).
Network network() {
    return test::makeNetwork({
        test::makeRoute("101001", 40.0,
                        {{"東京", 0.0, 13, 35.68, 139.77},
                         {"品川", 6.8, 13, 35.63, 139.74},
                         {"川崎", 18.2, 14, 35.53, 139.70},
                         {"横浜", 28.8, 14, 35.47, 139.62},
                         {"大船", 40.0, 14, 35.35, 139.53}}),
        test::makeRoute("101002", 34.5,
                        {{"品川", 0.0, 13, 35.63, 139.74},
                         {"渋谷", 7.4, 13, 35.66, 139.70},
                         {"池袋", 20.6, 13, 35.73, 139.71},
                         {"上野", 27.9, 13, 35.71, 139.78},
                         {"品川", 34.5, 13, 35.63, 139.74}}),
    });
}

Ride ride(const char* code, const char* day, const char* section, double kilo) {
    return {QString::fromUtf8(code), QString::fromUtf8(day), QString::fromUtf8(section), kilo};
}

} // namespace

class TestRidden : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A new section against what the route's rides cover: how much of it is new.
    void overlap_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("before"); // section texts of earlier rides, "-" in front for a loss
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("fresh");
        const QStringList ridden{QStringLiteral("品川～横浜")}; // 6.8 to 28.8
        QTest::newRow("nothing ridden") << "101001" << QStringList() << 0.0 << 40.0 << 40.0;
        QTest::newRow("inside") << "101001" << ridden << 18.2 << 28.8 << 0.0;
        QTest::newRow("inside, travelled backwards") << "101001" << ridden << 28.8 << 6.8 << 0.0;
        QTest::newRow("partly over") << "101001" << ridden << 18.2 << 40.0 << 40.0 - 28.8;
        QTest::newRow("over both ends") << "101001" << ridden << 0.0 << 40.0 << 6.8 + (40.0 - 28.8);
        QTest::newRow("disjoint, touching") << "101001" << ridden << 0.0 << 6.8 << 6.8;
        QTest::newRow("after the whole route")
            << "101001" << QStringList{QStringLiteral("東京～大船(全区間)")} << 6.8 << 18.2 << 0.0;
        QTest::newRow("a loss gave it back")
            << "101001" << QStringList{QStringLiteral("東京～大船(全区間)"), QStringLiteral("-川崎～横浜")} << 6.8
            << 28.8 << 28.8 - 18.2;
        QTest::newRow("two stretches of one day") << "101001" << QStringList{QStringLiteral("東京～品川、横浜～大船")}
                                                  << 0.0 << 40.0 << 18.2 - 6.8 + (28.8 - 18.2);
        QTest::newRow("a text naming no station adds nothing")
            << "101001" << QStringList{QStringLiteral("東京～熱海")} << 0.0 << 6.8 << 6.8;
        // The loop's terminus names two posts: the ride's kilometres tell which one was meant.
        QTest::newRow("loop, ridden to the terminus at its end")
            << "101002" << QStringList{QStringLiteral("上野～品川")} << 0.0 << 7.4 << 7.4;
        QTest::newRow("loop, ridden from the terminus at its start")
            << "101002" << QStringList{QStringLiteral("品川～渋谷")} << 27.9 << 34.5 << 34.5 - 27.9;
        QTest::newRow("loop, whole") << "101002" << QStringList{QStringLiteral("品川～品川(全区間)")} << 20.6 << 34.5
                                     << 0.0;
    }

    void overlap() {
        QFETCH(QString, code);
        QFETCH(QStringList, before);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, fresh);
        const Network net = network();
        const Route& route = *net.route(code);
        QVector<Ride> rides;
        int day = 1;
        for (QString text : before) {
            const bool loss = text.startsWith(u'-');
            if (loss)
                text.remove(0, 1);
            // Each earlier ride carries the kilometres the picker gave it: its stretch's length.
            const Section s = resolveSection(&route, text);
            double kilo = 0;
            for (const IntervalSet::Part& p : s.parts)
                kilo += p.to - p.from;
            // A loop's stretch "上野～品川" is 6.6 km: the kilometres are what tell its posts apart.
            if (code == QLatin1String("101002") && text == QStringLiteral("上野～品川"))
                kilo = 34.5 - 27.9;
            rides.append(
                {code, QStringLiteral("2024-01-%1").arg(day++, 2, 10, QChar(u'0')), text, loss ? -kilo : kilo});
        }
        const Overlap o = overlapOf(riddenStretches(route, rides), from, to);
        QCOMPARE(o.whole, std::abs(to - from));
        QVERIFY2(std::abs(o.fresh - fresh) < 1e-9, qPrintable(QString::number(o.fresh)));
        QCOMPARE(o.overlaps(), fresh < o.whole - kKiloEpsilon);
        QCOMPARE(o.nothingNew(), fresh == 0.0);
        QCOMPARE(overlapKilo(o, OverlapChoice::NewOnly), o.fresh);
        QCOMPARE(overlapKilo(o, OverlapChoice::Whole), o.whole);
        QCOMPARE(overlapKilo(o, OverlapChoice::Nothing), 0.0);
    }

    // The row of the day being joined is looked at apart; other routes' rides never count; stations on a ridden
    // stretch are marked, its end stations included.
    void riddenStationsAndLeftOutDay() {
        const Network net = network();
        const Route& route = *net.route(QStringLiteral("101001"));
        const QVector<Ride> rides{ride("101001", "2024-05-03", "品川～川崎", 11.4),
                                  ride("101001", "2024-06-01", "横浜～大船", 11.2),
                                  ride("101002", "2024-06-01", "品川～渋谷", 7.4)};
        const IntervalSet all = riddenStretches(route, rides);
        QCOMPARE(all.measure(), 11.4 + 11.2);
        QCOMPARE(riddenStations(route, all), (QVector<bool>{false, true, true, true, true}));
        const IntervalSet withoutDay = riddenStretches(route, rides, QStringLiteral("2024-06-01"));
        QCOMPARE(riddenStations(route, withoutDay), (QVector<bool>{false, true, true, false, false}));
    }

    void sameDayMerge_data() {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<double>("existingKilo");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<double>("added");
        QTest::addColumn<QString>("section"); // empty: cannot be joined
        QTest::addColumn<double>("kilo");
        QTest::newRow("continues the stretch") << "東京～品川" << 6.8 << "品川"
                                               << "横浜" << 22.0 << "東京～横浜" << 28.8;
        QTest::newRow("continues backwards") << "横浜～川崎" << 10.6 << "川崎"
                                             << "東京" << 18.2 << "横浜～東京" << 28.8;
        QTest::newRow("turns back: two stretches") << "東京～横浜" << 28.8 << "横浜"
                                                   << "品川" << 0.0 << "東京～横浜、横浜～品川" << 28.8;
        QTest::newRow("elsewhere on the route") << "東京～品川" << 6.8 << "横浜"
                                                << "大船" << 11.2 << "東京～品川、横浜～大船" << 18.0;
        QTest::newRow("completes the route") << "東京～横浜" << 28.8 << "横浜"
                                             << "大船" << 11.2 << "東京～大船(全区間)" << 40.0;
        QTest::newRow("completes it in pieces")
            << "東京～品川、川崎～大船" << 28.0 << "品川"
            << "川崎" << 11.4 << "東京～品川、川崎～大船、品川～川崎(全区間)" << 39.4;
        QTest::newRow("whole already: the mark stays at the end")
            << "東京～大船(全区間)" << 40.0 << "品川"
            << "川崎" << 0.0 << "東京～大船、品川～川崎(全区間)" << 40.0;
        QTest::newRow("a loss row is not joined") << "川崎～横浜" << -10.6 << "東京"
                                                  << "品川" << 6.8 << QString() << 0.0;
        QTest::newRow("too long for the field")
            << "東京～品川、横浜～大船、品川～川崎、東京～品川、横浜～大船" << 10.0 << "東京"
            << "川崎" << 0.0 << QString() << 0.0;
    }

    void sameDayMerge() {
        QFETCH(QString, existing);
        QFETCH(double, existingKilo);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(double, added);
        QFETCH(QString, section);
        QFETCH(double, kilo);
        const Network net = network();
        const Route& route = *net.route(QStringLiteral("101001"));
        const double a = route.stations[route.stationsByName.value(start)].kilo;
        const double b = route.stations[route.stationsByName.value(end)].kilo;
        const SameDayMerge m = mergeSameDay(route, {route.code, QStringLiteral("2024-05-03"), existing, existingKilo},
                                            start, a, end, b, added);
        QCOMPARE(m.section, section);
        QCOMPARE(m.ok(), !section.isEmpty());
        if (m.ok()) {
            QCOMPARE(m.kilo, kilo);
            // The ride map reads the joined text as the day's stretches together.
            IntervalSet day;
            for (const IntervalSet::Part& p : resolveSection(&route, existing, existingKilo).parts)
                day.add(p.from, p.to);
            day.add(a, b);
            IntervalSet joined;
            for (const IntervalSet::Part& p : resolveSection(&route, m.section, m.kilo).parts)
                joined.add(p.from, p.to);
            QCOMPARE(joined.parts(), day.parts());
        } else {
            QVERIFY(!m.why.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestRidden)
#include "test_ridden.moc"
