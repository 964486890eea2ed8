// Benchmark of the data layer (and, where present, the tallies and route screens) on a generated large data
// set: every figure is measured through the cursor layer and through plain prepared SQLite statements doing
// the same work in the same run.
#include "data/cursor.h"
#include "data/database.h"
#include "dataset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

#if __has_include("tally_bench.h")
#include "tally_bench.h"
#define HAVE_TALLY_BENCH 1
#endif
#if __has_include("checklists_bench.h")
#include "checklists_bench.h"
#define HAVE_CHECKLISTS_BENCH 1
#endif
#if __has_include("backup_bench.h")
#include "backup_bench.h"
#define HAVE_BACKUP_BENCH 1
#endif
#if __has_include("routes_bench.h")
#include "routes_bench.h"
#define HAVE_ROUTES_BENCH 1
#endif
#if __has_include("cards_bench.h")
#include "cards_bench.h"
#define HAVE_CARDS_BENCH 1
#endif
#if __has_include("mdbimport_bench.h")
#include "mdbimport_bench.h"
#define HAVE_ACCESS_BENCH 1
#endif
#if __has_include("netimport_bench.h")
#include "netimport_bench.h"
#define HAVE_NETIMPORT_BENCH 1
#endif
#if __has_include("netmap_bench.h")
#include "netmap_bench.h"
#define HAVE_NETMAP_BENCH 1
#endif
#if __has_include("netroute_bench.h")
#include "netroute_bench.h"
#define HAVE_NETROUTE_BENCH 1
#endif
#if __has_include("netexport_bench.h")
#include "netexport_bench.h"
#define HAVE_NETEXPORT_BENCH 1
#endif
#include "supplied_bench.h"
#if __has_include("editors_bench.h")
#include "editors_bench.h"
#define HAVE_EDITORS_BENCH 1
#endif

using namespace tabi;

namespace {

double timeMs(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

void report(const char* what, int ops, double cursorMs, double plainMs, double target) {
    const double ratio = plainMs > 0 ? cursorMs / plainMs : 0;
    std::printf("%-44s %8d ops  cursor %9.2f us/op  plain %9.2f us/op  ratio %5.2f  (target <= %.1f) %s\n", what, ops,
                cursorMs * 1000.0 / ops, plainMs * 1000.0 / ops, ratio, target, ratio <= target ? "ok" : "MISSED");
}

// Reads every column of the current row the way a screen or a tally would.
double touchCursor(TableCursor& c) {
    double sum = 0;
    for (int f = 0; f < c.fieldCount(); ++f) {
        const QVariant v = c.value(f);
        sum += v.typeId() == QMetaType::QString ? v.toString().size() : v.toDouble();
    }
    return sum;
}

double touchPlain(Statement& s, int columns) {
    double sum = 0;
    for (int i = 1; i <= columns; ++i) {
        const QVariant v = s.column(i);
        sum += v.typeId() == QMetaType::QString ? v.toString().size() : v.toDouble();
    }
    return sum;
}

sqlite3* plainOpen(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA user_version", nullptr, nullptr,
                 nullptr);
    return db;
}

} // namespace

int main(int argc, char* argv[]) {
    // The screen timings need widgets; without a display they render off screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    // --only=tally,checklists runs just those parts (cursor, backup, tally, checklists, routes, cards, editors).
    QStringList only;
    for (const QString& a : app.arguments())
        if (a.startsWith(QLatin1String("--only=")))
            only = a.mid(7).split(QLatin1Char(','), Qt::SkipEmptyParts);
    auto wanted = [&](const char* part) { return only.isEmpty() || only.contains(QLatin1String(part)); };
#ifdef HAVE_ACCESS_BENCH
    // The Access import reads its own fixture files; --access alone times nothing else.
    if (!app.arguments().contains(QStringLiteral("--network")) && !app.arguments().contains(QStringLiteral("--map")) &&
        !app.arguments().contains(QStringLiteral("--supplied")) && wanted("access"))
        runAccessImportBench(QStringLiteral(TABIROKU_MDB_FIXTURES));
    if (app.arguments().contains(QStringLiteral("--access")))
        return 0;
#endif
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    paths::setDataDir(dir);
#ifdef HAVE_NETIMPORT_BENCH
    // --network [DIR]: the network import alone, so that the peak memory is its own.
    if (const int at = app.arguments().indexOf(QStringLiteral("--network")); at > 0) {
        const QString root = app.arguments().value(at + 1, QStringLiteral(TABIROKU_SHARED_STATIONS));
        return runNetImportBench(dir, root) ? 0 : 1;
    }
#endif
    // --supplied: the first start's reference database with the supplied network alone.
    if (app.arguments().contains(QStringLiteral("--supplied"))) {
        runSuppliedBench(dir);
        return 0;
    }
#ifdef HAVE_NETMAP_BENCH
    // --map: the ride map alone; --map-dataset DIR: only write its data set into DIR (to look at the screen).
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--map-dataset"));
        at > 0 && at + 1 < app.arguments().size()) {
        bench::generateNationalNetwork(app.arguments().at(at + 1));
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--map"))) {
        runNetmapBench(dir);
        return 0;
    }
#endif
#ifdef HAVE_NETROUTE_BENCH
    // --route: route finding alone.
    if (app.arguments().contains(QStringLiteral("--route"))) {
        runNetrouteBench(dir);
        return 0;
    }
#endif
#ifdef HAVE_NETEXPORT_BENCH
    // --open-data: the exports, the progress chart and the CSV import alone.
    if (app.arguments().contains(QStringLiteral("--open-data"))) {
        runNetexportBench(dir);
        return 0;
    }
#endif

    auto generate = [&](const QString& where, const bench::DatasetSize& size) {
        std::printf("Generating %d routes / %d classifications / %d stations / %d rides over %d years in %s\n",
                    size.routes, size.classifications, size.stations, size.rides, size.years, qPrintable(where));
        std::printf("generate: %.0f ms\n", timeMs([&] { bench::generateDataset(where, size); }));
    };
    generate(dir, bench::DatasetSize{});

    // Open both databases.
    {
        const int n = 20;
        double c = timeMs([&] {
            for (int i = 0; i < n; ++i) {
                auto r = Database::open(DbKind::Reference);
                auto p = Database::open(DbKind::Personal);
            }
        });
        double p = timeMs([&] {
            for (int i = 0; i < n; ++i) {
                sqlite3_close(plainOpen(paths::databaseFile(DbKind::Reference)));
                sqlite3_close(plainOpen(paths::databaseFile(DbKind::Personal)));
            }
        });
        std::printf("open both databases: %.3f ms (plain %.3f ms)  (target <= 50 ms)\n", c / n, p / n);
    }

    auto ref = Database::open(DbKind::Reference);
    auto per = Database::open(DbKind::Personal);
    volatile double sink = 0;
    if (wanted("cursor")) {
        // One untimed pass first, so that neither side pays for reading the fresh file into the page cache.
        {
            Statement warm(*per, QStringLiteral("SELECT * FROM JOSHA ORDER BY ROSEN_CD, JOSHA_DATE"));
            while (warm.step())
                sink = sink + touchPlain(warm, 4);
        }

        // Walk JOSHA to the end in each of its index orders.
        for (const QString& order : {QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_CD;JOSHA_DATE"),
                                     QStringLiteral("JOSHA_DATE;ROSEN_CD")}) {
            int rows = 0;
            const double c = timeMs([&] {
                TableCursor j(per, QStringLiteral("JOSHA"), order);
                j.open();
                while (!j.eof()) {
                    sink = sink + touchCursor(j);
                    ++rows;
                    j.next();
                }
            });
            QString sql = QStringLiteral(
                "SELECT rowid, ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO, BIKO FROM JOSHA ORDER BY ");
            sql += order == QLatin1String("JOSHA_DATE;ROSEN_CD") ? QStringLiteral("JOSHA_DATE, ROSEN_CD")
                                                                 : QStringLiteral("ROSEN_CD, JOSHA_DATE");
            const double p = timeMs([&] {
                Statement s(*per, sql);
                while (s.step())
                    sink = sink + touchPlain(s, 5);
            });
            report(qPrintable(QStringLiteral("walk JOSHA (%1)").arg(order)), rows, c, p, 2.0);
        }

        // Find nearest on route codes with classification-code prefixes and full codes.
        {
            const int n = 10000;
            QStringList keys;
            QRandomGenerator rng(7);
            Statement codes(*ref, QStringLiteral("SELECT ROSEN_CD FROM MASTER"));
            QStringList all;
            while (codes.step())
                all << codes.columnText(0);
            codes.reset();
            for (int i = 0; i < n; ++i) {
                const QString k = all[int(rng.bounded(all.size()))];
                keys << (i % 2 ? k.left(3) : k);
            }
            TableCursor m(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
            m.open();
            const double c = timeMs([&] {
                for (const QString& k : keys) {
                    m.findNearest({k});
                    sink = sink + touchCursor(m);
                }
            });
            Statement s(*ref,
                        QStringLiteral("SELECT rowid, * FROM MASTER WHERE ROSEN_CD >= ? ORDER BY ROSEN_CD LIMIT 1"));
            const double p = timeMs([&] {
                for (const QString& k : keys) {
                    StatementScope scope(s);
                    s.bindText(1, k);
                    if (s.step())
                        sink = sink + touchPlain(s, 18);
                }
            });
            report("find nearest (MASTER by ROSEN_CD)", n, c, p, 2.0);
        }

        // Appends, each posted in its own committed transaction.
        {
            const int n = quick ? 5000 : 100000;
            ref->exec(QStringLiteral("DELETE FROM TMP_JOSHA_KUBUN"));
            TableCursor t(ref, QStringLiteral("TMP_JOSHA_KUBUN"), QStringLiteral("KBN_CD"));
            t.open();
            const int fk = t.fieldIndex(QStringLiteral("KBN_CD")), fr = t.fieldIndex(QStringLiteral("ROSEN_CD")),
                      fd = t.fieldIndex(QStringLiteral("JOSHA_DATE")), fj = t.fieldIndex(QStringLiteral("JOSHA_KILO"));
            const QString day = QStringLiteral("2020-01-01 00:00:00");
            auto appendRows = [&](int count) {
                for (int i = 0; i < count; ++i) {
                    t.append();
                    t.setValue(fk, QStringLiteral("00"));
                    t.setValue(fr, QStringLiteral("101001"));
                    t.setValue(fd, day);
                    t.setValue(fj, 1.5);
                    t.post();
                }
            };
            const double c = timeMs([&] { appendRows(n); });
            ref->exec(QStringLiteral("DELETE FROM TMP_JOSHA_KUBUN"));
            Statement s(
                *ref,
                QStringLiteral(
                    "INSERT INTO TMP_JOSHA_KUBUN (KBN_CD, ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES (?, ?, ?, ?)"));
            const double p = timeMs([&] {
                for (int i = 0; i < n; ++i) {
                    StatementScope scope(s);
                    s.bindText(1, QStringLiteral("00"));
                    s.bindText(2, QStringLiteral("101001"));
                    s.bindText(3, day);
                    s.bindDouble(4, 1.5);
                    s.step();
                }
            });
            report("append + post (autocommit each)", n, c, p, 1.5);

            ref->exec(QStringLiteral("DELETE FROM TMP_JOSHA_KUBUN"));
            const int m = 100000;
            const double tx = timeMs([&] {
                Transaction transaction(*ref);
                appendRows(m);
                transaction.commit();
            });
            std::printf("%-44s %8d ops  cursor %9.1f ms total  (target <= 1000 ms) %s\n",
                        "append + post inside one transaction", m, tx, tx <= 1000 ? "ok" : "MISSED");
        }

        // Edits with move-next auto-post.
        {
            const int n = quick ? 2000 : 10000;
            TableCursor j(per, QStringLiteral("JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"));
            j.open();
            const int fb = j.fieldIndex(QStringLiteral("BIKO"));
            const double c = timeMs([&] {
                for (int i = 0; i < n && !j.eof(); ++i) {
                    j.edit();
                    j.setValue(fb, QStringLiteral("c%1").arg(i));
                    j.next();
                }
            });
            Statement walk(
                *per, QStringLiteral("SELECT rowid, ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO, BIKO FROM JOSHA "
                                     "ORDER BY JOSHA_DATE, ROSEN_CD LIMIT ?"));
            Statement upd(*per, QStringLiteral("UPDATE JOSHA SET BIKO = ? WHERE rowid = ?"));
            const double p = timeMs([&] {
                StatementScope scope(walk);
                walk.bindInt(1, n);
                int i = 0;
                while (walk.step()) {
                    sink = sink + touchPlain(walk, 5);
                    StatementScope u(upd);
                    upd.bindText(1, QStringLiteral("p%1").arg(i++));
                    upd.bindInt(2, walk.columnInt(0));
                    upd.step();
                }
            });
            report("edit + next (auto-post, autocommit each)", n, c, p, 1.5);
        }
    }

#ifdef HAVE_BACKUP_BENCH
    if (wanted("backup"))
        runBackupBench(dir);
#endif
    ref.reset();
    per.reset();
    // The tallies and check lists once more on a data set shaped like the whole national network: fewer, longer
    // routes with many rides each.
    const QString national = dir + QStringLiteral("/national");
    const bool secondSize = wanted("tally") || wanted("checklists");
    for (const QString& where : secondSize ? QStringList{dir, national} : QStringList{dir}) {
        if (where == national)
            generate(national, bench::nationalNetwork());
#ifdef HAVE_TALLY_BENCH
        if (wanted("tally"))
            runTallyBench(where);
#endif
#ifdef HAVE_CHECKLISTS_BENCH
        if (wanted("checklists"))
            runChecklistsBench(where);
#endif
    }
#ifdef HAVE_ROUTES_BENCH
    if (wanted("routes"))
        runRoutesBench(dir);
#endif
#ifdef HAVE_CARDS_BENCH
    if (wanted("cards"))
        runCardsBench(dir);
#endif
#ifdef HAVE_EDITORS_BENCH
    if (wanted("editors"))
        runEditorsBench(dir);
#endif
#ifdef HAVE_NETMAP_BENCH
    if (wanted("map"))
        runNetmapBench(dir);
#endif
#ifdef HAVE_NETROUTE_BENCH
    if (wanted("route"))
        runNetrouteBench(dir);
#endif
#ifdef HAVE_NETEXPORT_BENCH
    if (wanted("opendata"))
        runNetexportBench(dir);
#endif
    return 0;
}
