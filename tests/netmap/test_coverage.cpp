#include "fixture.h"
#include "netmap/coverage.h"

#include <QtTest>

using namespace tabi;
using namespace tabi::netmap;

Q_DECLARE_METATYPE(tabi::netmap::SectionStatus)

namespace {

// A line of four stations across the Tokyo-Kanagawa border, and a branch wholly in Tokyo.
Network borderNetwork() {
    return test::makeNetwork({
        test::makeRoute("101001", 30.0,
                        {{"品川", 0.0, 13, 35.62, 139.74},
                         {"大井", 10.0, 13, 35.60, 139.73},
                         {"川崎", 20.0, 14, 35.53, 139.70},
                         {"横浜", 30.0, 14, 35.47, 139.62}}),
        test::makeRoute("101002", 8.0, {{"大井", 0.0, 13, 35.60, 139.73}, {"蒲田", 8.0, 13, 35.56, 139.72}}),
    });
}

Ride ride(const char* code, const char* day, const char* section, double kilo) {
    return {QString::fromUtf8(code), QString::fromUtf8(day), QString::fromUtf8(section), kilo};
}

QString parts(const IntervalSet& s) {
    QStringList out;
    for (const IntervalSet::Part& p : s.parts())
        out << QStringLiteral("%1-%2").arg(p.from).arg(p.to);
    return out.join(u' ');
}

} // namespace

class TestCoverage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resolveSection_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<SectionStatus>("status");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        const auto S = SectionStatus::Stretch;
        const auto W = SectionStatus::WholeRoute;
        const auto N = SectionStatus::UnknownStation;
        QTest::newRow("A～B") << "101001"
                              << "品川～川崎" << S << 0.0 << 20.0;
        QTest::newRow("B～A, a start after the end") << "101001"
                                                     << "川崎～品川" << S << 0.0 << 20.0;
        QTest::newRow("inner stations") << "101001"
                                        << "大井～川崎" << S << 10.0 << 20.0;
        QTest::newRow("whole route") << "101001"
                                     << "品川～横浜(全区間)" << W << 0.0 << 30.0;
        QTest::newRow("whole route, names not on it") << "101001"
                                                      << "東京～桜木町(全区間)" << W << 0.0 << 30.0;
        QTest::newRow("whole route, full-width mark") << "101001"
                                                      << "品川～横浜（全区間）" << W << 0.0 << 30.0;
        QTest::newRow("no start picked") << "101001"
                                         << "～川崎" << S << 0.0 << 20.0;
        QTest::newRow("blanks around the names") << "101001"
                                                 << " 大井 ～　川崎 " << S << 10.0 << 20.0;
        QTest::newRow("wave dash") << "101001"
                                   << "大井〜横浜" << S << 10.0 << 30.0;
        QTest::newRow("end not on the route") << "101001"
                                              << "品川～蒲田" << N << 0.0 << 0.0;
        QTest::newRow("start not on the route") << "101001"
                                                << "東京～川崎" << N << 0.0 << 0.0;
        QTest::newRow("no separator") << "101001"
                                      << "品川-川崎" << N << 0.0 << 0.0;
        QTest::newRow("empty text") << "101001"
                                    << "" << N << 0.0 << 0.0;
        QTest::newRow("nothing after the separator") << "101001"
                                                     << "品川～" << N << 0.0 << 0.0;
        QTest::newRow("route not in MASTER") << "999999"
                                             << "品川～川崎" << SectionStatus::UnknownRoute << 0.0 << 0.0;
    }

    void resolveSection() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(SectionStatus, status);
        QFETCH(double, from);
        QFETCH(double, to);
        const Network net = borderNetwork();
        const Section s = netmap::resolveSection(net.route(code), text);
        QCOMPARE(s.status, status);
        if (s.found()) {
            QCOMPARE(s.from, from);
            QCOMPARE(s.to, to);
        }
    }

    // Rides play in their order: a negative ride takes its stretch off what was ridden before it.
    void ridesAddAndTakeOff() {
        const Network net = borderNetwork();
        const QVector<Ride> rides{
            ride("101001", "2020-01-05", "品川～横浜(全区間)", 30.0),
            ride("101001", "2021-03-01", "川崎～大井", -10.0),
            ride("101002", "2021-04-01", "大井～蒲田", 8.0),
            ride("101002", "2022-04-01", "大井～東京", 3.0), // names no station of the route
            ride("999001", "2022-05-01", "甲～乙", 4.0),     // route not in MASTER
        };
        const Coverage all = computeCoverage(net, rides, {});
        QCOMPARE(parts(all.routes[0].ridden), QStringLiteral("0-10 20-30"));
        QCOMPARE(parts(all.routes[1].ridden), QStringLiteral("0-8"));
        QCOMPARE(all.routes[1].unplacedKilo, 3.0);
        QCOMPARE(all.rides, 5);
        QCOMPARE(all.unknownStation, 1);
        QCOMPARE(all.unknownRoute, 1);
        QCOMPARE(all.notDrawn(), 2);

        // A period keeps the rides of its days only, both ends included; a ride without a date is in none.
        Filter y2021;
        y2021.from = QStringLiteral("2021-01-01");
        y2021.to = QStringLiteral("2021-12-31");
        QVector<Ride> withUndated = rides;
        withUndated.prepend(ride("101002", "", "大井～蒲田", 8.0));
        const Coverage c = computeCoverage(net, withUndated, y2021);
        QCOMPARE(c.rides, 2);
        QCOMPARE(parts(c.routes[0].ridden), QString()); // taking off what was not ridden in the period
        QCOMPARE(parts(c.routes[1].ridden), QStringLiteral("0-8"));

        // A classification keeps the routes of its code prefix; a category the routes of MASTER in it.
        Filter other;
        other.classification = QStringLiteral("999");
        QCOMPARE(computeCoverage(net, rides, other).unknownRoute, 1);
        QVERIFY(!computeCoverage(net, rides, other).routes[0].included);
        Filter cat;
        cat.category = QStringLiteral("11");
        QCOMPARE(computeCoverage(net, rides, cat).rides, 4);
    }

    // The border lies halfway between 大井 (Tokyo, 10 km) and 川崎 (Kanagawa, 20 km).
    void prefectureSplit() {
        Network net = borderNetwork();
        net.routes.append(test::makeRoute(
            "102001", 6.0, {{"甲", 0.0, 13, 35.7, 139.5}, {"乙", 2.0, 0, 35.7, 139.52}, {"丙", 6.0, 0, 35.7, 139.56}},
            true));
        finishNetwork(net);
        const QVector<PrefecturePiece> pieces = prefecturePieces(net.routes[0]);
        QCOMPARE(pieces.size(), 2);
        QCOMPARE(pieces[0].ken, 13);
        QCOMPARE(pieces[0].to, 15.0);
        QCOMPARE(pieces[1].ken, 14);
        QCOMPARE(pieces[1].from, 15.0);

        const QVector<Ride> rides{
            ride("101001", "2020-01-05", "大井～川崎", 10.0),    // 5 km in each
            ride("101002", "2020-02-01", "大井～東京", 2.0),     // found nowhere: 2 km to Tokyo, all its length
            ride("102001", "2020-03-01", "甲～丙(全区間)", 6.0), // abolished: ridden counts, length does not
        };
        const QVector<PrefectureFigures> f = prefectureFigures(net, computeCoverage(net, rides, {}));
        QCOMPARE(f.size(), 47);
        QCOMPARE(f[0].name, QStringLiteral("北海道"));
        QCOMPARE(f[46].name, QStringLiteral("沖縄県"));
        const PrefectureFigures& tokyo = f[12];
        const PrefectureFigures& kanagawa = f[13];
        QCOMPARE(tokyo.name, QStringLiteral("東京都"));
        QCOMPARE(tokyo.routeKilo, 15.0 + 8.0);       // the abolished route's 2 km are not route kilometres
        QCOMPARE(tokyo.riddenKilo, 5.0 + 2.0 + 2.0); // 乙-丙 has no known prefecture
        QCOMPARE(kanagawa.routeKilo, 15.0);
        QCOMPARE(kanagawa.riddenKilo, 5.0);
        QCOMPARE(kanagawa.ratio, 5.0 / 15.0 * 100);
        QCOMPARE(f[0].routeKilo, 0.0);
        QCOMPARE(f[0].ratio, 100.0); // no route kilometres: the tallies' rule

        // Kilometres found on no stretch never make a prefecture more than ridden or less than nothing.
        const QVector<Ride> tooMuch{ride("101002", "2020-02-01", "?", 50.0), ride("101001", "2020-02-01", "?", -90.0)};
        const QVector<PrefectureFigures> g = prefectureFigures(net, computeCoverage(net, tooMuch, {}));
        QCOMPARE(g[12].riddenKilo, 8.0);
        QCOMPARE(g[13].riddenKilo, 0.0);
    }

    void intervalSet() {
        IntervalSet s;
        s.add(5, 10);
        s.add(0, 2);
        s.add(9, 12); // overlaps: joined
        s.add(2, 3);  // touches: joined
        s.add(7, 7);  // empty: nothing
        QCOMPARE(parts(s), QStringLiteral("0-3 5-12"));
        s.subtract(6, 8);
        QCOMPARE(parts(s), QStringLiteral("0-3 5-6 8-12"));
        QCOMPARE(s.measure(), 3.0 + 1.0 + 4.0);
        QCOMPARE(s.measureWithin(2, 9), 1.0 + 1.0 + 1.0);
        const QVector<IntervalSet::Part> gaps = s.gapsWithin(-1, 13);
        QCOMPARE(gaps.size(), 4);
        QCOMPARE(gaps.first(), (IntervalSet::Part{-1, 0}));
        QCOMPARE(gaps.last(), (IntervalSet::Part{12, 13}));
        s.subtract(12, -5); // ends in either order
        QCOMPARE(parts(s), QString());
    }
};

QTEST_GUILESS_MAIN(TestCoverage)
#include "test_coverage.moc"
