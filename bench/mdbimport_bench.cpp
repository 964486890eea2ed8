#include "mdbimport_bench.h"

#include "data/database.h"
#include "mdbimport/accessimport.h"
#include "mdbimport/jetfile.h"
#include "mdbimport/jetvalues.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace tabi;

namespace {

// Processor time of this process, in ms: on a machine shared with other work it says what the import itself costs.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

void runAccessImportBench(const QString& fixturesDir) {
    const QString ref = fixturesDir + QStringLiteral("/Tabiroku.mdb"), per = fixturesDir + QStringLiteral("/JJ.mdb");
    if (!QFileInfo::exists(ref) || !QFileInfo::exists(per)) {
        std::printf("access import: no fixture pair in %s, skipped\n", qPrintable(fixturesDir));
        return;
    }
    const QString previousDir = paths::dataDir();
    QTemporaryDir tmp;
    paths::setDataDir(tmp.path());

    // The whole import of the shared pair: survey, new files, every row, the copies to backups, the replacement.
    mdbimport::Options options;
    options.replaceRides = true;
    qint64 rows = 0;
    std::vector<double> times, cpu;
    for (int i = 0; i < 5; ++i) {
        options.now = QDateTime(QDate(2024, 1, 1), QTime(0, 0, i));
        QElapsedTimer t;
        t.start();
        const double c0 = cpuMs();
        const mdbimport::Result r = mdbimport::importFiles(ref, per, options);
        cpu.push_back(cpuMs() - c0);
        times.push_back(t.nsecsElapsed() / 1e6);
        rows = r.survey.reference.totalRows() + r.survey.personal.totalRows();
    }
    const double whole = median(times), wholeCpu = median(cpu);
    std::printf("%-44s %8lld rows  median %7.1f ms (cpu %.1f ms)  (min %.1f, max %.1f)  %.1f us/row\n",
                "import of the shared Access pair", static_cast<long long>(rows), whole, wholeCpu,
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                whole * 1000.0 / double(rows));

    // Per ride at scale: reading and converting the rides of the personal file over and over, and storing as many
    // rides in a new personal database in one transaction, the way the import does.
    const int target = 100000;
    jet::JetFile file(per);
    const jet::TableInfo* josha = file.table(QStringLiteral("JOSHA"));
    QList<int> cols;
    for (int c = 0; c < josha->columns.size(); ++c)
        cols << c;
    struct Ride {
        QString code, date, section, remark;
        double km = 0;
    };
    std::vector<Ride> read;
    read.reserve(target);
    QElapsedTimer t;
    t.start();
    double c0 = cpuMs();
    while (read.size() < size_t(target)) {
        file.readRows(QStringLiteral("JOSHA"), cols, [&](const QList<jet::RawValue>& v) {
            Ride r;
            r.code = v[0].isNull ? QString() : jet::jet4Text(v[0].bytes).value_or(QString());
            r.date = v[1].isNull ? QString() : jet::oleDayToTimestamp(*jet::readReal(v[1].bytes)).value_or(QString());
            r.section = v[2].isNull ? QString() : jet::jet4Text(v[2].bytes).value_or(QString());
            r.km = v[3].isNull ? 0 : *jet::readReal(v[3].bytes);
            r.remark = v[4].isNull ? QString() : jet::jet4Text(v[4].bytes).value_or(QString());
            read.push_back(std::move(r));
            return read.size() < size_t(target);
        });
    }
    const double readMs = t.nsecsElapsed() / 1e6, readCpu = cpuMs() - c0;

    const QString scratch = tmp.filePath(QStringLiteral("scratch.db"));
    double writeMs = 0, writeCpu = 0;
    {
        auto db = Database::openFile(scratch, DbKind::Personal);
        t.start();
        c0 = cpuMs();
        Transaction tx(*db);
        Statement insert(*db, QStringLiteral("INSERT INTO \"JOSHA\" (\"ROSEN_CD\",\"JOSHA_DATE\",\"JOSHA_KUKAN\","
                                             "\"JOSHA_KILO\",\"BIKO\") VALUES (?1,?2,?3,?4,?5)"));
        for (int i = 0; i < target; ++i) {
            const Ride& r = read[size_t(i)];
            // Distinct keys: the ride's route code with a running number, the day as read.
            insert.bind(1, QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')));
            insert.bind(2, r.date);
            insert.bind(3, r.section.isEmpty() ? QVariant() : QVariant(r.section));
            insert.bind(4, r.km);
            insert.bind(5, r.remark.isEmpty() ? QVariant() : QVariant(r.remark));
            insert.step();
            insert.reset();
        }
        tx.commit();
        db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        writeMs = t.nsecsElapsed() / 1e6;
        writeCpu = cpuMs() - c0;
    }
    const double projected = whole + readMs + writeMs, projectedCpu = wholeCpu + readCpu + writeCpu;
    std::printf("%-44s %8d rides  read %.1f ms (cpu %.1f, %.2f us/ride)  store %.1f ms (cpu %.1f, %.2f us/ride)\n",
                "rides read from Access and stored", target, readMs, readCpu, readMs * 1000.0 / target, writeMs,
                writeCpu, writeMs * 1000.0 / target);
    std::printf("%-44s %8d rides  %7.1f ms (cpu %.1f ms)  (target <= 2000 ms) %s\n",
                "projected import with 100,000 rides", target, projected, projectedCpu,
                projected <= 2000 ? "ok" : "MISSED");
    paths::setDataDir(previousDir);
}
