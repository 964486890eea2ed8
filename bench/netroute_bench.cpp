#include "netroute_bench.h"

#include "data/database.h"
#include "netmap_bench.h"
#include "netroute/routefinder.h"
#include "netroute/stationsearch.h"
#include "routes/journeyscreen.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <numeric>

using namespace tabi;

namespace {

double ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

void line(const char* what, double value, double target) {
    if (target > 0)
        std::printf("%-52s %9.2f ms  (target <= %.0f ms) %s\n", what, value, target, value <= target ? "ok" : "MISSED");
    else
        std::printf("%-52s %9.2f ms\n", what, value);
}

// The generated routes share no station: each route's first and last stations are made the same place as a
// station of another route, so that the network is one connected web with loops.
void joinAtJunctions(Database& ref) {
    struct Stop {
        QString code;
        double kilo;
    };
    QVector<QVector<Stop>> routes;
    {
        Statement s(ref, QStringLiteral("SELECT ROSEN_CD, KILO FROM EKI ORDER BY ROSEN_CD, KILO"));
        QString last;
        while (s.step()) {
            if (s.columnText(0) != last) {
                routes.append(QVector<Stop>());
                last = s.columnText(0);
            }
            routes.last().append(Stop{last, s.columnDouble(1)});
        }
    }
    QRandomGenerator rng(27);
    QVector<QVector<qint64>> ids(routes.size());
    qint64 next = 1;
    for (int r = 0; r < routes.size(); ++r)
        for (int i = 0; i < routes[r].size(); ++i)
            ids[r].append(next++);
    for (int r = 1; r < routes.size(); ++r) {
        for (int end : {0, int(routes[r].size()) - 1}) {
            const int other = int(rng.bounded(r));
            ids[r][end] = ids[other][int(rng.bounded(int(routes[other].size())))];
        }
    }
    Transaction tr(ref);
    ref.exec(QStringLiteral("DELETE FROM EKI_ID"));
    Statement ins(ref, QStringLiteral("INSERT INTO EKI_ID (ROSEN_CD, KILO, STATION_ID) VALUES (?, ?, ?)"));
    for (int r = 0; r < routes.size(); ++r)
        for (int i = 0; i < routes[r].size(); ++i) {
            StatementScope s(ins);
            ins.bindText(1, routes[r][i].code);
            ins.bindDouble(2, routes[r][i].kilo);
            ins.bindInt(3, ids[r][i]);
            ins.step();
        }
    tr.commit();
}

} // namespace

void runNetrouteBench(const QString& dir) {
    const QString sub = dir + QStringLiteral("/netroute");
    bench::generateNationalNetwork(sub, 1000, 11, 20000);
    auto ref = Database::openFile(sub + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(sub + QStringLiteral("/JJ.db"), DbKind::Personal);
    joinAtJunctions(*ref);
    std::printf("\nRoute finding (1,000 routes, 11,000 stations joined at junctions)\n");

    QElapsedTimer t;
    // The plain reading first, so that neither finds the file in the cache the other warmed.
    t.start();
    {
        Statement s(*ref, QStringLiteral("SELECT e.ROSEN_CD, e.KILO, e.EKI_KANJI, e.EKI_KANA, i.LATITUDE, "
                                         "i.LONGITUDE, d.STATION_ID FROM EKI e "
                                         "LEFT JOIN EKI_ICHI i ON i.ROSEN_CD = e.ROSEN_CD AND i.KILO = e.KILO "
                                         "LEFT JOIN EKI_ID d ON d.ROSEN_CD = e.ROSEN_CD AND d.KILO = e.KILO "
                                         "ORDER BY e.ROSEN_CD, e.KILO"));
        int n = 0;
        while (s.step())
            n += s.columnText(2).size() > 0 ? 1 : 0;
    }
    line("plain SQLite stepping through the stations with places and codes", ms(t), 0);
    t.restart();
    const network::Network net = network::loadStations(*ref);
    line("read the stations and their places (loadStations)", ms(t), 0);
    std::printf("  %lld routes, %lld stations, %lld places\n", qlonglong(net.routes.size()),
                qlonglong(std::accumulate(net.routes.cbegin(), net.routes.cend(), qsizetype(0),
                                          [](qsizetype a, const network::Route& r) { return a + r.stations.size(); })),
                qlonglong(net.nodes.size()));

    t.restart();
    const netroute::RouteFinder finder(net);
    const netroute::StationIndex index(net);
    line("build the graph and the station index", ms(t), 0);

    QRandomGenerator rng(2711);
    double worst = 0, sum = 0;
    int found = 0;
    const int searches = 50;
    for (int i = 0; i < searches; ++i) {
        const int a = int(rng.bounded(int(net.nodes.size()))), b = int(rng.bounded(int(net.nodes.size())));
        t.restart();
        const netroute::Journey j = finder.find({a, b});
        const double m = ms(t);
        worst = std::max(worst, m);
        sum += m;
        found += j.found ? 1 : 0;
    }
    line("route search, mean of 50 random pairs", sum / searches, 30);
    line("route search, worst of 50", worst, 30);
    std::printf("  %d of %d pairs connected\n", found, searches);

    // Typing "駅523-4" one character at a time, and a reading that matches nothing.
    worst = sum = 0;
    int keys = 0;
    for (const QString& typed : {QStringLiteral("駅523-4"), QStringLiteral("駅77-10"), QStringLiteral("えきまえ")}) {
        for (int n = 1; n <= typed.size(); ++n) {
            t.restart();
            const auto matches = index.find(typed.left(n), 50);
            const double m = ms(t);
            worst = std::max(worst, m);
            sum += m;
            ++keys;
        }
    }
    t.restart();
    for (int i = 0; i < 10; ++i)
        index.find(QStringLiteral("駅"), 50);
    line("  the first keystroke (every station matches), mean of 10", ms(t) / 10, 5);
    line("station search per keystroke, mean", sum / keys, 5);
    line("station search per keystroke, worst", worst, 5);
    t.restart();
    {
        Statement s(*ref, QStringLiteral("SELECT DISTINCT EKI_KANJI FROM EKI WHERE EKI_KANJI LIKE ? LIMIT 50"));
        s.bindText(1, QStringLiteral("%駅523%"));
        while (s.step()) {
        }
    }
    line("  plain SQLite LIKE over EKI, one keystroke", ms(t), 0);

    paths::setDataDir(sub);
    t.restart();
    {
        routes::TJourney screen;
        line("open the journey screen", ms(t), 200);
    }
    paths::setDataDir(dir);
}
