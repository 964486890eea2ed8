#include "netmap_bench.h"

#include "data/database.h"
#include "netmap/exportmap.h"
#include "network/projection.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace tabi;
using namespace tabi::netmap;

namespace tabi::bench {

namespace {

// The length of the archipelago, south-west to north-east: routes start near these points.
const double kSpine[][2] = {{31.6, 130.6}, {33.6, 130.4}, {34.4, 132.5}, {34.7, 135.5}, {35.2, 136.9},
                            {35.7, 139.7}, {36.6, 140.0}, {38.3, 140.9}, {39.7, 140.1}, {40.8, 140.7},
                            {41.8, 140.7}, {43.1, 141.4}, {43.8, 142.4}, {33.6, 133.5}, {26.2, 127.7}};

// Prefecture by latitude band: a rough stand-in that still sends many routes across a border.
int kenOf(double lat) {
    return std::clamp(int((45.6 - lat) / (45.6 - 26.0) * 47) + 1, 1, 47);
}

} // namespace

void generateNationalNetwork(const QString& dir, int routes, int stationsPerRoute, int rides) {
    QDir(dir).mkpath(QStringLiteral("."));
    QFile::remove(dir + QStringLiteral("/Tabiroku.db"));
    QFile::remove(dir + QStringLiteral("/JJ.db"));
    auto ref = Database::openFile(dir + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(dir + QStringLiteral("/JJ.db"), DbKind::Personal);
    QRandomGenerator rng(20261210);
    auto uniform = [&](double a, double b) { return a + (b - a) * rng.generateDouble(); };

    struct Made {
        QString code;
        QStringList names;
        double length;
    };
    QVector<Made> made;
    Transaction tr(*ref);
    ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI; DELETE FROM EKI_ICHI; DELETE FROM ROSEN_SEN"));
    Statement master(*ref,
                     QStringLiteral("INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, SHOZOKU, KITEN, SHUTEN, KILO, "
                                    "HAISHI_DATE) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    Statement eki(
        *ref, QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, EKI_KANJI, SHURUI) VALUES (?, ?, '○', ?, '旅')"));
    Statement ichi(
        *ref,
        QStringLiteral("INSERT INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD) VALUES (?, ?, ?, ?, ?)"));
    Statement sen(*ref, QStringLiteral(
                            "INSERT INTO ROSEN_SEN (ROSEN_CD, SEQ, KILO, LATITUDE, LONGITUDE) VALUES (?, ?, ?, ?, ?)"));
    const int spine = int(sizeof kSpine / sizeof kSpine[0]);
    for (int r = 0; r < routes; ++r) {
        // Classifications 101..160, categories 11..45, as the other benchmark data.
        const QString code = QStringLiteral("%1%2").arg(101 + r % 60).arg(r / 60, 3, 10, QLatin1Char('0'));
        const double* hub = kSpine[rng.bounded(spine)];
        double lat = hub[0] + uniform(-0.8, 0.8), lon = hub[1] + uniform(-0.8, 0.8);
        double heading = uniform(0, 6.283);
        double kilo = 0;
        int seq = 0;
        Made m{code, {}, 0};
        auto point = [&](double k) {
            StatementScope s(sen);
            sen.bindText(1, code);
            sen.bindInt(2, ++seq);
            sen.bindDouble(3, k);
            sen.bindDouble(4, lat);
            sen.bindDouble(5, lon);
            sen.step();
        };
        for (int i = 0; i < stationsPerRoute; ++i) {
            if (i > 0) {
                // Ten track points between two stations, bending a little.
                const double gap = uniform(1.0, 6.0);
                for (int j = 1; j <= 10; ++j) {
                    heading += uniform(-0.15, 0.15);
                    const double step = gap / 10;
                    lat += step / 111.0 * std::cos(heading);
                    lon += step / (111.0 * std::cos(lat * 3.14159 / 180)) * std::sin(heading);
                    kilo += step;
                    if (j < 10)
                        point(kilo);
                }
            }
            kilo = std::round(kilo * 10) / 10;
            const QString name = QStringLiteral("駅%1-%2").arg(r).arg(i);
            m.names << name;
            point(kilo);
            {
                StatementScope s(eki);
                eki.bindText(1, code);
                eki.bindDouble(2, kilo);
                eki.bindText(3, name);
                eki.step();
            }
            {
                StatementScope s(ichi);
                ichi.bindText(1, code);
                ichi.bindDouble(2, kilo);
                ichi.bindDouble(3, lat);
                ichi.bindDouble(4, lon);
                ichi.bindInt(5, kenOf(lat));
                ichi.step();
            }
        }
        m.length = kilo;
        StatementScope s(master);
        master.bindText(1, code);
        master.bindText(2, QStringLiteral("路線%1").arg(code));
        master.bindText(3, QStringLiteral("%1%2").arg(r % 4 + 1).arg(r / 4 % 5 + 1));
        master.bindText(4, QStringLiteral("事業者%1").arg(r % 97));
        master.bindText(5, m.names.first());
        master.bindText(6, m.names.last());
        master.bindDouble(7, kilo);
        if (r % 50 == 7)
            master.bindText(8, QStringLiteral("1987-03-31 00:00:00"));
        master.step();
        made << m;
    }
    tr.commit();

    Transaction tp(*per);
    Statement ins(*per, QStringLiteral("INSERT OR IGNORE INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                                       "VALUES (?, ?, ?, ?)"));
    const QDate start(1995, 1, 1);
    const int days = int(start.daysTo(QDate(2025, 1, 1)));
    int count = 0;
    while (count < rides) {
        const Made& m = made[rng.bounded(int(made.size()))];
        int a = int(rng.bounded(stationsPerRoute)), b = int(rng.bounded(stationsPerRoute));
        QString text = m.names[a] + QStringLiteral("～") + m.names[b];
        double kilo = 1.0 * (b - a);
        if (count % 10 == 3) {
            text = m.names.first() + QStringLiteral("～") + m.names.last() + QStringLiteral("(全区間)");
            kilo = m.length;
        } else if (count % 97 == 5) {
            text = QStringLiteral("どこか～どこか");
        }
        StatementScope s(ins);
        ins.bindText(1,
                     count % 991 == 17 ? QStringLiteral("999%1").arg(count % 1000, 3, 10, QLatin1Char('0')) : m.code);
        ins.bindText(2, start.addDays(rng.bounded(days)).toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
        ins.bindText(3, text);
        ins.bindDouble(4, kilo);
        ins.step();
        if (sqlite3_changes(per->handle()) > 0)
            ++count;
    }
    tp.commit();
}

} // namespace tabi::bench

namespace {

double ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

void line(const char* what, double value, double target) {
    std::printf("%-52s %9.1f ms  (target <= %.0f ms) %s\n", what, value, target, value <= target ? "ok" : "MISSED");
}

} // namespace

void runNetmapBench(const QString& dir) {
    const QString sub = dir + QStringLiteral("/netmap");
    QElapsedTimer t;
    t.start();
    bench::generateNationalNetwork(sub);
    std::printf("\nRide map: generated in %.0f ms\n", ms(t));
    auto ref = Database::openFile(sub + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(sub + QStringLiteral("/JJ.db"), DbKind::Personal);

    t.restart();
    const MapData data = loadMapData(*ref, *per);
    const double load = ms(t);
    t.restart();
    const Network alone = network::loadNetwork(*ref);
    const double network = ms(t);
    t.restart();
    const QVector<Ride> rides = loadRides(*per);
    std::printf("read: network %.1f ms, rides %.1f ms\n", network, ms(t));
    int points = 0;
    for (const Route& r : data.network.routes)
        points += int(r.track.size());
    std::printf("read %lld routes, %d positioned stations, %d track points, %lld rides: %.1f ms\n",
                qlonglong(data.network.routes.size()), data.network.positionedStations, points,
                qlonglong(data.rides.size()), load);

    // Prefecture figures: every ride found on its route and played, then the split by prefecture.
    double figures = 1e9;
    Coverage cov;
    for (int i = 0; i < 3; ++i) {
        t.restart();
        cov = computeCoverage(data.network, data.rides, {});
        const QVector<PrefectureFigures> f = prefectureFigures(data.network, cov);
        figures = std::min(figures, ms(t));
    }
    line("per-prefecture figures (100,000 rides)", figures, 300);

    // First paint: the strokes built from the coverage and the whole network drawn into a screen-size picture.
    const QSize size(880, 700);
    double first = 1e9;
    Scene scene;
    MapView view;
    for (int i = 0; i < 3; ++i) {
        t.restart();
        scene = buildScene(data.network, cov, {});
        view = MapView::fit(data.network.bounds, size);
        QImage image(size, QImage::Format_RGB32);
        QPainter p(&image);
        MapStyle screenStyle;
        screenStyle.quickLines = true;
        paintMap(p, scene, view, screenStyle);
        p.end();
        first = std::min(first, ms(t));
    }
    std::printf("strokes: %lld\n", qlonglong(scene.strokes.size()));
    line("first paint (strokes + whole network)", first, 200);

    // Repaints as a drag or the wheel makes them: the whole view, then zoomed to Kanto in steps, then panned.
    QImage image(size, QImage::Format_RGB32);
    // As the screen draws: one-pixel pens (the exported pictures' true widths are timed apart below).
    MapStyle st;
    st.quickLines = true;
    auto repaint = [&](const MapView& v) {
        QElapsedTimer r;
        r.start();
        QPainter p(&image);
        paintMap(p, scene, v, st);
        p.end();
        return ms(r);
    };
    double worst = 0, sum = 0;
    int n = 0;
    MapView v = view;
    for (int i = 0; i < 10; ++i, ++n) {
        const double m = repaint(v.panned(QPointF(12 * i, 7 * i)));
        worst = std::max(worst, m);
        sum += m;
    }
    const QPointF kanto = view.toPixel(network::project(35.7, 139.7));
    for (int i = 0; i < 12; ++i, ++n) {
        v = v.zoomedAt(kanto, 1.25);
        const double m = repaint(v);
        worst = std::max(worst, m);
        sum += m;
    }
    for (int i = 0; i < 20; ++i, ++n) {
        v = v.panned(QPointF(15, -9));
        const double m = repaint(v);
        worst = std::max(worst, m);
        sum += m;
    }
    std::printf("repaints: %d, mean %.1f ms, worst %.1f ms (zoomed to %.1f px/km)\n", n, sum / n, worst, v.scale);
    line("pan/zoom repaint (worst)", worst, 30);

    // The exported picture: true pen widths, 2000 x 2000 pixels, encoded as PNG.
    t.restart();
    const QByteArray png = mapPng(scene, MapView::fit(data.network.bounds, QSize(2000, 2000), 24), {});
    std::printf("PNG export 2000x2000 (true widths): %.0f ms, %lld bytes\n", ms(t), qlonglong(png.size()));
}
