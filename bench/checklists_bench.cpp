#include "checklists_bench.h"

#include "data/csvexport.h"
#include "data/cursor.h"
#include "data/database.h"
#include "data/error.h"
#include "data/textcodec.h"
#include "photos/jpegdecoder.h"
#include "photos/photoaudit.h"
#include "tally/checklists.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tabi;

namespace {

constexpr int kRuns = 3;
constexpr int kPhotos = 5000;

// Best of a few runs; setup (untimed) puts the tables back where the step starts from.
double bestMs(const std::function<void()>& setup, const std::function<void()>& f) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        setup();
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Step {
    const char* name;
    QString setup;              // SQL run (untimed) on the floor connection before each run of either side
    std::function<void()> ours; // through the cursors
    QString sql;                // the same work as set-based SQL, run on the floor connection in one transaction
    QString result;             // query whose rows both sides must leave the same
    double target;              // ms
};

const char* kAbolished = "(ifnull(HAISHI_DATE, '') LIKE '19%' OR ifnull(HAISHI_DATE, '') LIKE '20%')";

} // namespace

void runChecklistsBench(const QString& dir) {
    auto ref = Database::openFile(dir + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(dir + QStringLiteral("/JJ.db"), DbKind::Personal);
    auto floor = Database::openFile(dir + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    floor->exec(QStringLiteral("ATTACH DATABASE '%1' AS p")
                    .arg(QString(dir + QStringLiteral("/JJ.db")).replace(QLatin1Char('\''), QStringLiteral("''"))));
    auto restore = [](const char* list, const char* saved) {
        return QStringLiteral("DELETE FROM %1; INSERT INTO %1 SELECT * FROM %2;")
            .arg(QLatin1String(list), QLatin1String(saved));
    };
    const QString mijoRows =
        QStringLiteral("SELECT ROSEN_CD, SHOZOKU, ROSEN_KUKAN, printf('%.6f', KILO), printf('%.6f', JOSHA_KILO), "
                       "printf('%.6f', MIJO_KILO), printf('%.6f', JOSHA_RATIO) FROM CFM_MIJO ORDER BY ROSEN_CD");
    const QString joshaRows = QStringLiteral(
        "SELECT JOSHA_DATE, ROSEN_CD, SHOZOKU, JOSHA_KUKAN, printf('%.6f', JOSHA_KILO), BIKO FROM CFM_JOSHA "
        "ORDER BY JOSHA_DATE, ROSEN_CD");
    const QString ratio = QStringLiteral("(ifnull(JOSHA_KILO, 0) / KILO * 100.0)");

    std::printf("\nCheck lists (%lld routes, %lld rides, %d photo files); best of %d runs\n",
                ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toLongLong(),
                per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong(), kPhotos, kRuns);

    const QList<Step> unridden{
        {"unridden R routes", QStringLiteral("DELETE FROM CFM_MIJO;"), [&] { tally::listRoutesInService(ref); },
         QStringLiteral("INSERT INTO CFM_MIJO (ROSEN_CD, SHOZOKU, ROSEN_KUKAN, KILO) SELECT ROSEN_CD, "
                        "substr(SHOZOKU, 1, 30), substr(ifnull(ROSEN_KANJI, '') || '(' || ifnull(KITEN, '') || '～' "
                        "|| ifnull(SHUTEN, '') || ')', 1, 30), ifnull(KILO, 0) FROM MASTER WHERE NOT %1 "
                        "ORDER BY ROSEN_CD;")
             .arg(QLatin1String(kAbolished)),
         mijoRows, 300},
        {"unridden J ridden km", QString(), [&] { tally::sumRiddenKiloOfList(ref, per); },
         QStringLiteral("WITH g AS MATERIALIZED (SELECT ROSEN_CD AS c, sum(JOSHA_KILO) AS s FROM p.JOSHA GROUP BY "
                        "ROSEN_CD) UPDATE CFM_MIJO SET JOSHA_KILO = ifnull((SELECT s FROM g WHERE g.c = "
                        "CFM_MIJO.ROSEN_CD), 0);"),
         mijoRows, 300},
        {"unridden M unridden km", QString(), [&] { tally::unriddenKiloOfList(ref); },
         QStringLiteral("UPDATE CFM_MIJO SET MIJO_KILO = ifnull(KILO, 0) - ifnull(JOSHA_KILO, 0);"), mijoRows, 300},
        {"unridden W ratio", QString(), [&] { tally::ratioOfList(ref); },
         QStringLiteral("UPDATE CFM_MIJO SET JOSHA_RATIO = CASE WHEN ifnull(KILO, 0) = 0 THEN 100.0 WHEN %1 > 99.99 "
                        "AND %1 < 100 AND KILO - ifnull(JOSHA_KILO, 0) > 0.05 THEN 99.99 ELSE %1 END;")
             .arg(ratio),
         mijoRows, 300},
        {"unridden X extract", QString(), [&] { tally::dropCompletedRoutes(ref); },
         QStringLiteral("DELETE FROM \"CFM_MIJO\" WHERE JOSHA_RATIO > 99.9999 AND JOSHA_RATIO < 100.0001;"), mijoRows,
         300},
        {"unridden Z clear", QString(), [&] { tally::clearUnriddenList(ref); },
         QStringLiteral("DELETE FROM \"CFM_MIJO\";"), mijoRows, 300},
    };
    const QList<Step> rideCheck{
        {"ride check J copy rides", QStringLiteral("DELETE FROM CFM_JOSHA;"),
         [&] { tally::copyRidesToCheckList(ref, per); },
         QStringLiteral("INSERT INTO CFM_JOSHA (JOSHA_DATE, ROSEN_CD, JOSHA_KUKAN, JOSHA_KILO, BIKO) SELECT "
                        "JOSHA_DATE, ROSEN_CD, JOSHA_KUKAN, JOSHA_KILO, CASE WHEN JOSHA_KILO < 0 THEN '乗車キロ＜０' "
                        "END FROM p.JOSHA ORDER BY JOSHA_DATE, ROSEN_CD;"),
         joshaRows, 300},
        {"ride check R routes", QString(), [&] { tally::completeRideCheckList(ref); },
         QStringLiteral(
             "UPDATE CFM_JOSHA SET (SHOZOKU, JOSHA_KUKAN, BIKO) = (SELECT ifnull(substr(m.SHOZOKU, 1, 30), "
             "'■■■■■■■■'), substr(ifnull(m.ROSEN_KANJI, '■■■■') || '(' || ifnull(CFM_JOSHA.JOSHA_KUKAN, '') || ')', "
             "1, 80), CASE WHEN m.ROSEN_CD IS NULL THEN '当該鉄軌道路線なし' ELSE CFM_JOSHA.BIKO END "
             "FROM (SELECT 1) LEFT JOIN MASTER m ON m.ROSEN_CD = CFM_JOSHA.ROSEN_CD);"),
         joshaRows, 300},
    };
    const Step rideCheckClear{"ride check Z clear",
                              QString(),
                              [&] { tally::clearRideCheckList(ref); },
                              QStringLiteral("DELETE FROM \"CFM_JOSHA\";"),
                              joshaRows,
                              300};

    std::printf("%-30s %10s %10s %7s  %s\n", "step", "ours ms", "SQL ms", "ratio", "targets (ms, ratio <= 3)");
    int missed = 0;
    auto line = [&](const char* name, double ours, double sql, double target, bool same) {
        const double r = sql > 0 ? ours / sql : 0;
        const bool ok = ours <= target && r <= 3.0 && same;
        missed += ok ? 0 : 1;
        std::printf("%-30s %10.1f %10.1f %6.2fx  <= %.0f %s%s\n", name, ours, sql, r, target,
                    same ? "same results" : "RESULTS DIFFER", ok ? "" : "  MISSED");
    };
    auto runStep = [&](const Step& step) {
        try {
            auto prepare = [&] {
                if (!step.setup.isEmpty())
                    floor->exec(step.setup);
            };
            // The lists before the step: every run of either side starts from them.
            floor->exec(QStringLiteral("DROP TABLE IF EXISTS bench_before_m; DROP TABLE IF EXISTS bench_before_j;"
                                       "CREATE TABLE bench_before_m AS SELECT * FROM CFM_MIJO;"
                                       "CREATE TABLE bench_before_j AS SELECT * FROM CFM_JOSHA;"));
            auto back = [&] {
                floor->exec(restore("CFM_MIJO", "bench_before_m") + restore("CFM_JOSHA", "bench_before_j"));
                prepare();
            };
            const double ours = bestMs(back, step.ours);
            const QString byOurs = ref->dump(step.result);
            const double sql = bestMs(
                back, [&] { floor->exec(QStringLiteral("BEGIN IMMEDIATE;") + step.sql + QStringLiteral("COMMIT;")); });
            const QString bySql = ref->dump(step.result);
            if (byOurs != bySql) {
                const QStringList a = byOurs.split(QLatin1Char('\n')), b = bySql.split(QLatin1Char('\n'));
                for (int k = 0; k < std::min(a.size(), b.size()); ++k)
                    if (a[k] != b[k]) {
                        std::printf("  first difference: ours %s / SQL %s\n", qPrintable(a[k]), qPrintable(b[k]));
                        break;
                    }
                if (a.size() != b.size())
                    std::printf("  rows: ours %lld / SQL %lld\n", qint64(a.size()), qint64(b.size()));
            }
            line(step.name, ours, sql, step.target, byOurs == bySql);
        } catch (const Error& e) {
            ++missed;
            try {
                floor->exec(QStringLiteral("ROLLBACK"));
            } catch (const Error&) {
            }
            std::printf("%-30s failed: %s\n", step.name, qPrintable(e.message()));
        }
        floor->exec(QStringLiteral("DROP TABLE IF EXISTS bench_before_m; DROP TABLE IF EXISTS bench_before_j;"));
    };
    for (const Step& step : unridden)
        runStep(step);
    for (const Step& step : rideCheck)
        runStep(step);

    // CSV of the completed ride check list: through the list's cursor, and as one query that builds the lines.
    try {
        const QString ours = dir + QStringLiteral("/ours.csv"), plain = dir + QStringLiteral("/sql.csv");
        TableCursor list(ref, QStringLiteral("CFM_JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"));
        list.open();
        const double oursMs = bestMs([] {}, [&] { csv::writeFile(list, ours); });
        Statement lines(
            *ref,
            QStringLiteral("SELECT '\"' || ifnull(replace(substr(JOSHA_DATE, 1, 10), '-', '/'), '') || '\",\"' || "
                           "ifnull(ROSEN_CD, '') || '\",\"' || ifnull(SHOZOKU, '') || '\",\"' || "
                           "ifnull(JOSHA_KUKAN, '') || '\",' || ifnull(printf('%.15g', JOSHA_KILO), '') || "
                           "',\"' || ifnull(BIKO, '') || '\"' || char(13, 10) FROM CFM_JOSHA "
                           "ORDER BY JOSHA_DATE, ROSEN_CD"));
        const double sqlMs = bestMs([] {},
                                    [&] {
                                        QSaveFile f(plain);
                                        f.open(QIODevice::WriteOnly);
                                        QString block;
                                        while (lines.step()) {
                                            block += lines.columnText(0);
                                            if (block.size() >= (1 << 15)) {
                                                f.write(text::toCp932(block));
                                                block.clear();
                                            }
                                        }
                                        lines.reset();
                                        f.write(text::toCp932(block));
                                        f.commit();
                                    });
        const qint64 rows = ref->scalar(QStringLiteral("SELECT count(*) FROM CFM_JOSHA")).toLongLong();
        const QByteArray a = fileBytes(ours), b = fileBytes(plain);
        if (a != b) {
            const QList<QByteArray> la = a.split('\n'), lb = b.split('\n');
            for (int k = 0; k < std::min(la.size(), lb.size()); ++k)
                if (la[k] != lb[k]) {
                    std::printf("  first difference: ours %s / SQL %s\n", qPrintable(text::fromCp932(la[k])),
                                qPrintable(text::fromCp932(lb[k])));
                    break;
                }
        }
        line(qPrintable(QStringLiteral("CSV of %1 ride rows").arg(rows)), oursMs, sqlMs, 400, a == b);
    } catch (const Error& e) {
        ++missed;
        std::printf("CSV failed: %s\n", qPrintable(e.message()));
    }

    runStep(rideCheckClear);

    // The photo scan over a folder of small JPEG files, against listing the folder, reading each header and
    // inserting the rows with one prepared statement.
    try {
        const QString photos = dir + QStringLiteral("/photos/");
        QDir().mkpath(photos);
        {
            QImage image(420, 280, QImage::Format_RGB32);
            image.fill(Qt::darkGreen);
            QImage odd(421, 280, QImage::Format_RGB32);
            odd.fill(Qt::darkBlue);
            QByteArray a, b;
            {
                QBuffer ba(&a), bb(&b);
                ba.open(QIODevice::WriteOnly);
                bb.open(QIODevice::WriteOnly);
                image.save(&ba, "JPG");
                odd.save(&bb, "JPG");
            }
            for (int i = 0; i < kPhotos; ++i) {
                QFile f(photos + QStringLiteral("%1%2.JPG").arg(100000 + i).arg(i % 100, 2, 10, QLatin1Char('0')));
                f.open(QIODevice::WriteOnly);
                f.write(i % 10 == 3 ? b : a);
            }
        }
        const double oursMs =
            bestMs([&] { photos::clearPhotoFileList(ref); }, [&] { photos::scanPhotoFolder(ref, photos); });
        const QString files = QStringLiteral("SELECT FILE_NAME, WIDTH, HEIGHT, ROSEN_CD, BIKO FROM CFM_FILES ORDER BY "
                                             "FILE_NAME");
        const QString byOurs = ref->dump(files);
        Statement ins(*floor, QStringLiteral("INSERT INTO CFM_FILES (FILE_NAME, WIDTH, HEIGHT, ROSEN_CD, BIKO) VALUES "
                                             "(?, ?, ?, substr(?1, 1, 6), CASE WHEN ?2 <> 420 OR ?3 <> 280 THEN "
                                             "'幅もしくは高さ確認' END)"));
        const double sqlMs =
            bestMs([&] { floor->exec(QStringLiteral("DELETE FROM CFM_FILES")); },
                   [&] {
                       floor->exec(QStringLiteral("BEGIN IMMEDIATE"));
                       const QStringList names = QDir(photos).entryList(
                           {QStringLiteral("*.JPG")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
                       for (const QString& name : names) {
                           QFile f(photos + name);
                           QSize size;
                           if (f.open(QIODevice::ReadOnly))
                               size = photos::jpegSize(f.read(64 * 1024), name);
                           StatementScope s(ins);
                           ins.bindText(1, name);
                           ins.bindInt(2, size.width());
                           ins.bindInt(3, size.height());
                           ins.step();
                       }
                       floor->exec(QStringLiteral("COMMIT"));
                   });
        line("scan of the photo folder", oursMs, sqlMs, 1000, byOurs == ref->dump(files));
    } catch (const Error& e) {
        ++missed;
        std::printf("scan failed: %s\n", qPrintable(e.message()));
    }
    std::printf("check list figures missing a target: %d\n", missed);
}
