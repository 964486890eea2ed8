#include "netexport_bench.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "netexport/progress.h"
#include "netexport/rideexport.h"
#include "netexport/rideimport.h"
#include "netmap_bench.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

using namespace tabi;
using namespace tabi::netexport;
using namespace tabi::netmap;

namespace {

double ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// Processor time of this process: the machine may be shared, and wall time then counts the others' work too.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void line(const char* what, double value, double target, double cpu = -1) {
    std::printf("%-52s %9.1f ms  (target <= %.0f ms) %s", what, value, target, value <= target ? "ok" : "MISSED");
    if (cpu >= 0)
        std::printf("  [processor %.0f ms]", cpu);
    std::printf("\n");
}

} // namespace

void runNetexportBench(const QString& dir) {
    const QString sub = dir + QStringLiteral("/netexport");
    bench::generateNationalNetwork(sub);
    auto ref = Database::openFile(sub + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(sub + QStringLiteral("/JJ.db"), DbKind::Personal);
    std::printf("\nOpen data: national network, 100,000 rides\n");
    QElapsedTimer t;
    t.start();
    const Network network = tabi::network::loadNetwork(*ref);
    const QVector<Ride> rides = loadRides(*per);
    const QHash<QString, RouteNames> names = routeNamesByCode(ref);
    std::printf("read network, rides and route names: %.1f ms\n", ms(t));

    // Each export as the menu command and the command line run it once the data are read: placing every ride on
    // its track, making the file's bytes and replacing the file.
    for (const auto& [suffix, what] :
         {std::pair{"geojson", "rides as GeoJSON (100,000 rides)"}, std::pair{"kml", "rides as KML (100,000 rides)"},
          std::pair{"gpx", "rides as GPX (100,000 rides)"}}) {
        double best = 1e9, bestCpu = 1e9;
        qint64 size = 0;
        int placed = 0;
        for (int i = 0; i < 3; ++i) {
            t.restart();
            const double c0 = cpuMs();
            const QString file = sub + QStringLiteral("/rides.") + QLatin1String(suffix);
            const RideExport e = writeRidesFile(file, network, rides, names, {});
            best = std::min(best, ms(t));
            bestCpu = std::min(bestCpu, cpuMs() - c0);
            size = QFileInfo(file).size();
            placed = int(e.placed.size());
        }
        double place = 1e9;
        for (int i = 0; i < 3; ++i) {
            t.restart();
            const RideExport e = placeRides(network, rides, {});
            place = std::min(place, ms(t));
        }
        std::printf("  %d features, %.1f MB: placing %.0f ms, the rest making the bytes and writing the file\n", placed,
                    size / 1e6, place);
        line(what, best, 1000, bestCpu);
    }
    {
        t.restart();
        const double c0 = cpuMs();
        const Coverage cov = computeCoverage(network, rides, {});
        files::replaceFile(sub + QStringLiteral("/network.geojson"), networkGeoJson(network, cov, rides, {}, names),
                           QStringLiteral("路線網のファイル"));
        line("network with ridden shares as GeoJSON", ms(t), 1000, cpuMs() - c0);
    }

    // The chart: the figures, then the drawing at the screen's size and at the exported size.
    const GroupLists lists = loadGroupLists(*ref);
    for (ProgressPeriod period : {ProgressPeriod::Year, ProgressPeriod::Month}) {
        t.restart();
        const double c0 = cpuMs();
        const Progress p = computeProgress(network, rides, lists, {}, period, 1);
        const double figures = ms(t);
        QImage image(QSize(1100, 460), QImage::Format_RGB32);
        t.restart();
        {
            QPainter painter(&image);
            paintProgress(painter, image.size(), p, {});
        }
        const double paint = ms(t);
        std::printf("progress figures (%s, %lld points): %.1f ms, drawing %.1f ms\n",
                    period == ProgressPeriod::Year ? "by year" : "by month", qlonglong(p.points.size()), figures,
                    paint);
        line(period == ProgressPeriod::Year ? "chart by year: figures + drawing" : "chart by month: figures + drawing",
             figures + paint, 300, cpuMs() - c0);
    }

    // A CSV of 10,000 rides (codes and names, kilometres given or not) imported into an empty record.
    QRandomGenerator rng(30);
    QByteArray csv = "乗車年月日,路線,起点,終点,乗車キロ,備考\r\n";
    int written = 0;
    while (written < 10000) {
        const Route& r = network.routes[rng.bounded(int(network.routes.size()))];
        if (r.stations.size() < 2)
            continue;
        const int a = rng.bounded(int(r.stations.size())), b = rng.bounded(int(r.stations.size()));
        const QDate day = QDate(1990, 1, 1).addDays(rng.bounded(12000));
        const QString route = written % 2 ? r.code : r.name;
        const QString kilo =
            written % 3 ? QString() : QString::number(std::abs(r.stations[b].kilo - r.stations[a].kilo), 'f', 1);
        csv += QStringLiteral("%1,%2,%3,%4,%5,\r\n")
                   .arg(day.toString(QStringLiteral("yyyy-MM-dd")), route, r.stations[a].name, r.stations[b].name, kilo)
                   .toUtf8();
        ++written;
    }
    auto empty = Database::openFile(sub + QStringLiteral("/JJ-empty.db"), DbKind::Personal);
    empty->exec(QStringLiteral("DELETE FROM JOSHA"));
    t.restart();
    const double c0 = cpuMs();
    const ImportPlan plan = planImport(csv, network, names, loadRides(*empty));
    const double planned = ms(t);
    t.restart();
    applyImport(*empty, plan);
    const double applied = ms(t);
    std::printf("CSV import: %d rows, %d rides, %d left out; plan %.1f ms, write %.1f ms\n", int(plan.rows.size()),
                int(plan.rides.size()), plan.leftOut(), planned, applied);
    line("CSV import of 10,000 rides (plan + write)", planned + applied, 2000, cpuMs() - c0);
}
