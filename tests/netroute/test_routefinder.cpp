// Route finding and station search over a small network read from a reference database.
#include "graphfixture.h"
#include "netroute/routefinder.h"
#include "netroute/stationsearch.h"
#include "support/tempdatabases.h"

#include <QTest>

using namespace tabi;
using namespace tabi::netroute;

class TestRouteFinder : public QObject, tabi::test::TempDatabases {
    Q_OBJECT

    network::Network m_net;

    int node(const char* text) {
        const QVector<StationMatch> m = StationIndex(m_net).named(QString::fromUtf8(text));
        return m.size() == 1 ? m.first().node : -1;
    }

    // "本線A 甲～乙 10.0 | 支線B 乙～己 12.0"
    static QString legsText(const Journey& j) {
        QStringList out;
        for (const Leg& l : j.legs)
            out.append(QStringLiteral("%1 %2 %3").arg(l.name, l.section(), QString::number(l.kilo, 'f', 1)));
        return out.join(QStringLiteral(" | "));
    }

private slots:
    void initTestCase() {
        openDatabases();
        test::writeFixtureNetwork(*m_ref);
        m_net = network::loadStations(*m_ref);
    }
    void cleanupTestCase() { closeDatabases(); }

    void journeys_data() {
        QTest::addColumn<QStringList>("stations"); // from, vias..., to
        QTest::addColumn<bool>("noShinkansen");
        QTest::addColumn<QString>("avoid");
        QTest::addColumn<QString>("legs");
        QTest::addColumn<double>("changeKm"); // what a change weighs; 0: kilometres alone
        QTest::newRow("change at a shared station") << QStringList{"甲", "己"} << false << ""
                                                    << "本線A 甲～乙 10.0 | 支線B 乙～己 12.0" << 0.0;
        QTest::newRow("shinkansen is shorter") << QStringList{"甲", "丁"} << false << ""
                                               << "新幹線S 甲～丁 25.0" << 0.0;
        QTest::newRow("avoiding shinkansen, the tie goes to no change") << QStringList{"甲", "丁"} << true << ""
                                                                        << "本線A 甲～丁 30.0" << 0.0;
        QTest::newRow("avoiding a named route") << QStringList{"甲", "丁"} << true << "本線A"
                                                << "迂回T1 甲～癸 15.0 | 迂回T2 癸～丁 15.0" << 0.0;
        QTest::newRow("a station joined by its code, not its name") << QStringList{"丙", "己"} << false << ""
                                                                    << "本線A 丙～丁 10.0 | 連絡C 丁駅～己 8.0" << 0.0;
        QTest::newRow("via: the legs go through it")
            << QStringList{"甲", "己", "丙"} << false << ""
            << "本線A 甲～乙 10.0 | 支線B 乙～己 12.0 | 連絡C 己～丁駅 8.0 | 本線A 丁～丙 10.0" << 0.0;
        QTest::newRow("via on the same route keeps one leg") << QStringList{"甲", "乙@本線A", "丙"} << false << ""
                                                             << "本線A 甲～丙 20.0" << 0.0;
        QTest::newRow("round the loop") << QStringList{"丙", "庚", "辛", "丙"} << false << ""
                                        << "環状L 丙～丙 9.0" << 0.0;
        QTest::newRow("back the same way") << QStringList{"丙", "辛", "丙"} << false << ""
                                           << "環状L 丙～辛 3.0 | 環状L 辛～丙 3.0" << 0.0;
        QTest::newRow("over the loop's seam") << QStringList{"辛", "丙", "庚"} << false << ""
                                              << "環状L 辛～庚 6.0" << 0.0;
        QTest::newRow("from a station to itself") << QStringList{"甲", "甲"} << false << ""
                                                  << "" << 0.0;
        QTest::newRow("a change weighs kilometres: back the same branch rather than two more changes")
            << QStringList{"甲", "己", "丙"} << false << ""
            << "本線A 甲～乙 10.0 | 支線B 乙～己 12.0 | 支線B 己～乙 12.0 | 本線A 乙～丙 10.0" << 12.0;
    }
    void journeys() {
        QFETCH(QStringList, stations);
        QFETCH(bool, noShinkansen);
        QFETCH(QString, avoid);
        QFETCH(QString, legs);
        QFETCH(double, changeKm);
        QVector<int> nodes;
        for (const QString& s : stations) {
            nodes.append(node(s.toUtf8().constData()));
            QVERIFY2(nodes.last() >= 0, qPrintable(s));
        }
        Options o;
        o.avoidShinkansen = noShinkansen;
        o.changeKm = changeKm;
        if (!avoid.isEmpty())
            o.avoidRoutes.append(avoid);
        const Journey j = RouteFinder(m_net).find(nodes, o);
        QVERIFY(j.found);
        QCOMPARE(legsText(j), legs);
    }

    void loopSeamGivesTwoStretches() {
        const Journey j = RouteFinder(m_net).find({node("辛"), node("丙"), node("庚")});
        QCOMPARE(j.legs.size(), 1);
        QCOMPARE(j.legs[0].stretches.size(), 2);
        QCOMPARE(j.legs[0].stretches[0].from, 6.0);
        QCOMPARE(j.legs[0].stretches[0].to, 9.0);
        QCOMPARE(j.legs[0].stretches[1].from, 0.0);
        QCOMPARE(j.legs[0].stretches[1].to, 3.0);
    }

    void abolishedOnlyWhenAsked() {
        Options o;
        o.avoidShinkansen = true;
        o.withAbolished = true;
        QCOMPARE(legsText(RouteFinder(m_net).find({node("甲"), node("丁")}, o)), QStringLiteral("廃線Z 甲～丁 1.0"));
    }

    void unreachable() {
        const int far = node("壬");
        QVERIFY(far >= 0);
        Journey j = RouteFinder(m_net).find({node("甲"), far});
        QVERIFY(!j.found);
        QCOMPARE(j.unreachablePart, 0);
        j = RouteFinder(m_net).find({node("甲"), node("丙"), far});
        QCOMPARE(j.unreachablePart, 1);
    }

    void sameNameStations() {
        const StationIndex index(m_net);
        const QVector<StationMatch> both = index.named(QStringLiteral("乙"));
        QCOMPARE(both.size(), 2);
        QStringList routes;
        for (const StationMatch& m : both)
            routes.append(m.routes);
        routes.sort();
        QCOMPARE(routes, (QStringList{QStringLiteral("本線A・支線B"), QStringLiteral("遠方X")}));
        QCOMPARE(index.named(QStringLiteral("乙@遠方X")).size(), 1);
        QCOMPARE(index.named(QStringLiteral("乙@100002")).size(), 1);
        QCOMPARE(index.named(QStringLiteral("乙@環状L")).size(), 0);
    }

    void search_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("first");
        QTest::newRow("name") << "丁"
                              << "丁";
        QTest::newRow("another name of the place") << "駅"
                                                   << "丁";
        QTest::newRow("reading in hiragana") << "こう"
                                             << "甲";
        QTest::newRow("reading in katakana") << "コウ"
                                             << "甲";
        QTest::newRow("half-width katakana") << "ｺｳ"
                                             << "甲";
        QTest::newRow("nothing") << "無"
                                 << "";
    }
    void search() {
        QFETCH(QString, typed);
        QFETCH(QString, first);
        const QVector<StationMatch> found = StationIndex(m_net).find(typed);
        QCOMPARE(found.isEmpty() ? QString() : found.first().name, first);
    }
};

QTEST_GUILESS_MAIN(TestRouteFinder)
#include "test_routefinder.moc"
