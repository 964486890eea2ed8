#include "netimport_bench.h"

#include "data/database.h"
#include "netimport/netimport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <sys/resource.h>

using namespace tabi;

namespace {

double cpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

double peakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

} // namespace

bool runNetImportBench(const QString& dir, const QString& root) {
    if (!QFileInfo::exists(root + QStringLiteral("/extra/line.csv"))) {
        std::printf("network import: no copy of the station data set at %s (skipped)\n", qPrintable(root));
        return false;
    }
    paths::setDataDir(dir);
    auto db = Database::open(DbKind::Reference);
    const net::SourceLayout layout = net::resolveSource(root, true);
    auto run = [&](const char* what, double targetMs) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuMs();
        const net::ImportResult r = net::importNetwork(*db, layout);
        const double wall = t.nsecsElapsed() / 1e6;
        const double cpu = cpuMs() - cpu0;
        std::printf("%-44s %5d routes  wall %7.0f ms  cpu %7.0f ms  peak %6.1f MB  (target <= %.0f ms, 300 MB) %s\n",
                    what, r.routesDerived, wall, cpu, peakMb(), targetMs,
                    wall <= targetMs && peakMb() <= 300 ? "ok" : "MISSED");
        std::printf("    %s\n", qPrintable(r.summary().replace(QLatin1Char('\n'), QStringLiteral("; "))));
    };
    run("network import of extra/ (fresh database)", 3000);
    run("network re-import of the same copy", 2000);
    std::printf("    %lld stations, %lld track points stored\n",
                db->scalar(QStringLiteral("SELECT count(*) FROM EKI")).toLongLong(),
                db->scalar(QStringLiteral("SELECT count(*) FROM ROSEN_SEN")).toLongLong());
    return true;
}
