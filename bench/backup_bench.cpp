#include "backup_bench.h"

#include "data/backup.h"
#include "data/database.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tabi;

void runBackupBench(const QString& dir) {
    const QString record = dir + QStringLiteral("/JJ.db");
    int rides = 0;
    {
        auto per = Database::openFile(record, DbKind::Personal);
        rides = per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt();
        per->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const QString folder = backup::folderFor(record);
    std::vector<double> times;
    const int runs = 5;
    for (int i = 0; i < runs; ++i) {
        QDir(folder).removeRecursively();
        QElapsedTimer t;
        t.start();
        const QString copy = backup::dailyCopy(record, QDate(2024, 1, 1).addDays(i));
        times.push_back(t.nsecsElapsed() / 1e6);
        if (copy.isEmpty())
            std::printf("backup: no copy written\n");
    }
    // A start on a day whose copy exists only looks at the folder.
    QElapsedTimer t;
    t.start();
    backup::dailyCopy(record, QDate(2024, 1, 1).addDays(runs - 1));
    const double existing = t.nsecsElapsed() / 1e6;
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%-44s %8d rides  %.1f MB  median %7.1f ms  (min %.1f, max %.1f)  (target <= 150 ms) %s\n",
                "daily copy of the personal record at start", rides, QFileInfo(record).size() / 1048576.0, median,
                times.front(), times.back(), median <= 150 ? "ok" : "MISSED");
    std::printf("%-44s %7.2f ms\n", "start when today's copy exists", existing);
    QDir(folder).removeRecursively();
}
