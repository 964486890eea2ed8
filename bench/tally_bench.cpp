#include "tally_bench.h"

#include "data/database.h"
#include "data/error.h"
#include "tally/tally.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tabi;

namespace {

constexpr int kRuns = 3;

// Best of a few runs: every step gives the same result when repeated.
double bestMs(const std::function<void()>& f) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

// Every value a step may write, numbers rounded so that a different summation order does not count as a difference.
QString results(Database& ref, Database& per) {
    QString out;
    auto dump = [&](Database& db, const QString& sql) { out += db.dump(sql); };
    const QString groups = QStringLiteral("SELECT %1, printf('%.6f', TOTAL_KILO), printf('%.6f', TOTAL_JOSHA_KILO), "
                                          "printf('%.6f', JOSHA_RATIO), KANJO_DATE FROM %2 ORDER BY 1");
    for (const char* t : {"BUNRUI", "BUNRUI2", "BUNRUI3"})
        dump(ref, groups.arg(QStringLiteral("BUNRUI_CD"), QLatin1String(t)));
    for (const char* t : {"KUBUN", "KUBUN2", "KUBUN3"})
        dump(ref, groups.arg(QStringLiteral("KBN_CD"), QLatin1String(t)));
    dump(ref, QStringLiteral(
                  "SELECT KBN_CD, count(*), printf('%.6f', sum(JOSHA_KILO)), max(JOSHA_DATE) FROM TMP_JOSHA_KUBUN "
                  "GROUP BY KBN_CD"));
    const QString counts = QStringLiteral("SELECT NEN, JOSHA_NO, printf('%.6f', JOSHA_KILO), HAISHI_NO, "
                                          "printf('%.6f', HAISHI_KILO) FROM %1 ORDER BY NEN");
    dump(ref, counts.arg(QStringLiteral("TOSHI2")));
    dump(per, counts.arg(QStringLiteral("TOSHI")));
    return out;
}

// --- the same steps as set-based SQL on one connection with the personal database attached as p ------------------

const char* kAbolished = "(ifnull(HAISHI_DATE, '') LIKE '19%' OR ifnull(HAISHI_DATE, '') LIKE '20%')";

QString clearSql(const QString& small, const QString& large, const QString& total) {
    QString s;
    for (const QString& t : {small, large, total})
        s += QStringLiteral("UPDATE %1 SET TOTAL_KILO = 0, TOTAL_JOSHA_KILO = 0, JOSHA_RATIO = 0, KANJO_DATE = NULL;")
                 .arg(t);
    return s;
}

// Large groups and the first total row from the small groups, for one field.
QString rollUpSql(const QString& small, const QString& large, const QString& total, const QString& code,
                  const QString& field) {
    return QStringLiteral("UPDATE %2 SET %5 = (SELECT ifnull(sum(s.%5), 0) FROM %1 s WHERE substr(s.%4, 1, 1) = %2.%4);"
                          "UPDATE %3 SET %5 = (SELECT ifnull(sum(%5), 0) FROM %2) "
                          "WHERE rowid = (SELECT rowid FROM %3 ORDER BY %4 LIMIT 1);")
        .arg(small, large, total, code, field);
}

QString ratioSql(const QString& t) {
    const QString r = QStringLiteral("(ifnull(TOTAL_JOSHA_KILO, 0) / TOTAL_KILO * 100.0)");
    return QStringLiteral("UPDATE %1 SET JOSHA_RATIO = CASE WHEN ifnull(TOTAL_KILO, 0) = 0 THEN 100.0 "
                          "WHEN %2 > 99.99 AND %2 < 100 AND TOTAL_KILO - ifnull(TOTAL_JOSHA_KILO, 0) > 0.05 THEN 99.99 "
                          "ELSE %2 END;")
        .arg(t, r);
}

// Small groups' dates from their rides, then the large groups' and the total's from their members.
QString datesSql(const QString& small, const QString& large, const QString& total, const QString& code,
                 const QString& latestRides) {
    return QStringLiteral(
               "WITH g AS MATERIALIZED (%5) UPDATE %1 SET KANJO_DATE = CASE WHEN JOSHA_RATIO > 99.99999 THEN "
               "(SELECT d || ' 00:00:00' FROM g WHERE g.c = %1.%4) END;"
               "UPDATE %2 SET KANJO_DATE = CASE WHEN JOSHA_RATIO > 99.99999 THEN (SELECT max(KANJO_DATE) FROM %1 s "
               "WHERE substr(s.%4, 1, 1) = %2.%4 AND s.TOTAL_JOSHA_KILO > 0) END;"
               "UPDATE %3 SET KANJO_DATE = CASE WHEN JOSHA_RATIO > 99.99999 THEN (SELECT max(KANJO_DATE) FROM %2 "
               "WHERE TOTAL_JOSHA_KILO > 0) END WHERE rowid = (SELECT rowid FROM %3 ORDER BY %4 LIMIT 1);")
        .arg(small, large, total, code, latestRides);
}

QString sumsIntoSmall(const QString& small, const QString& code, const QString& field, const QString& grouped) {
    return QStringLiteral(
               "WITH g AS MATERIALIZED (%4) UPDATE %1 SET %3 = ifnull((SELECT s FROM g WHERE g.c = %1.%2), 0);")
        .arg(small, code, field, grouped);
}

struct Step {
    const char* name;
    std::function<void()> cursor;
    QString sql;      // run on the floor connection inside one transaction
    QString scramble; // overwrites what the step writes, so that the SQL run has to produce it again
    double target;    // ms; 0 = none
};

} // namespace

void runTallyBench(const QString& dir) {
    auto ref = Database::openFile(dir + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(dir + QStringLiteral("/JJ.db"), DbKind::Personal);
    auto floor = Database::openFile(dir + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    floor->exec(QStringLiteral("ATTACH DATABASE '%1' AS p")
                    .arg(QString(dir + QStringLiteral("/JJ.db")).replace(QLatin1Char('\''), QStringLiteral("''"))));

    std::printf(
        "\nTallies (%lld rides, %lld routes, %lld classifications, %lld categories, %lld years); best of %d runs\n",
        per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong(),
        ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toLongLong(),
        ref->scalar(QStringLiteral("SELECT count(*) FROM BUNRUI")).toLongLong(),
        ref->scalar(QStringLiteral("SELECT count(*) FROM KUBUN")).toLongLong(),
        per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toLongLong(), kRuns);

    const QString B = QStringLiteral("BUNRUI"), B2 = QStringLiteral("BUNRUI2"), B3 = QStringLiteral("BUNRUI3");
    const QString K = QStringLiteral("KUBUN"), K2 = QStringLiteral("KUBUN2"), K3 = QStringLiteral("KUBUN3");
    const QString BC = QStringLiteral("BUNRUI_CD"), KC = QStringLiteral("KBN_CD");
    const QString kilo = QStringLiteral("TOTAL_KILO"), ridden = QStringLiteral("TOTAL_JOSHA_KILO");
    const QString scrambleAll =
        QStringLiteral("UPDATE %1 SET TOTAL_KILO = -1, TOTAL_JOSHA_KILO = -1, JOSHA_RATIO = -1, "
                       "KANJO_DATE = '1900-01-01 00:00:00';");
    auto scrambleGroups = [&](const QString& a, const QString& b, const QString& c) {
        return scrambleAll.arg(a) + scrambleAll.arg(b) + scrambleAll.arg(c);
    };
    // Only the fields a step writes, so that the next step still starts from correct values.
    auto scrambleField = [](const QString& a, const QString& b, const QString& c, const QString& set) {
        QString out;
        for (const QString& t : {a, b, c})
            out += QStringLiteral("UPDATE %1 SET %2;").arg(t, set);
        return out;
    };
    const QString badKilo = QStringLiteral("TOTAL_KILO = -1"), badRidden = QStringLiteral("TOTAL_JOSHA_KILO = -1");
    const QString badRatio = QStringLiteral("JOSHA_RATIO = -1"),
                  badDate = QStringLiteral("KANJO_DATE = '1900-01-01 00:00:00'");
    const QString classRoutes =
        QStringLiteral("SELECT substr(ROSEN_CD, 1, 3) AS c, sum(KILO) AS s FROM MASTER WHERE NOT %1 "
                       "GROUP BY c")
            .arg(QLatin1String(kAbolished));
    const QString kbnRoutes =
        QStringLiteral("SELECT substr(KBN_CD, 1, 2) AS c, sum(KILO) AS s FROM MASTER WHERE NOT %1 "
                       "GROUP BY c")
            .arg(QLatin1String(kAbolished));
    const QString classRides =
        QStringLiteral("SELECT substr(ROSEN_CD, 1, 3) AS c, sum(JOSHA_KILO) AS s FROM p.JOSHA GROUP BY c");
    const QString kbnRides =
        QStringLiteral("SELECT substr(KBN_CD, 1, 2) AS c, sum(JOSHA_KILO) AS s FROM TMP_JOSHA_KUBUN GROUP BY c");
    const QString classLatest =
        QStringLiteral("SELECT substr(ROSEN_CD, 1, 3) AS c, substr(max(JOSHA_DATE), 1, 10) AS d "
                       "FROM p.JOSHA WHERE JOSHA_KILO > 0 GROUP BY c");
    const QString kbnLatest = QStringLiteral("SELECT substr(KBN_CD, 1, 2) AS c, substr(max(JOSHA_DATE), 1, 10) AS d "
                                             "FROM TMP_JOSHA_KUBUN WHERE JOSHA_KILO > 0 GROUP BY c");
    // The year of a ride: calendar year, or the year its fiscal year starts in.
    auto yearSql = [](int startMonth) {
        const QString year =
            startMonth == 1
                ? QStringLiteral("CAST(substr(JOSHA_DATE, 1, 4) AS INTEGER)")
                : QStringLiteral("CAST(substr(JOSHA_DATE, 1, 4) AS INTEGER) - (substr(JOSHA_DATE, 6, 2) < '04')");
        return QStringLiteral(
                   "UPDATE p.TOSHI SET JOSHA_NO = 0, JOSHA_KILO = 0, HAISHI_NO = 0, HAISHI_KILO = 0;"
                   "WITH g AS MATERIALIZED (SELECT %1 AS y, sum(JOSHA_KILO >= 0) AS n, total(iif(JOSHA_KILO >= 0, "
                   "JOSHA_KILO, 0)) AS k, "
                   "sum(JOSHA_KILO < 0) AS hn, total(iif(JOSHA_KILO < 0, JOSHA_KILO, 0)) AS hk FROM p.JOSHA GROUP BY "
                   "y) "
                   "UPDATE p.TOSHI SET JOSHA_NO = g.n, JOSHA_KILO = g.k, HAISHI_NO = g.hn, HAISHI_KILO = g.hk FROM g "
                   "WHERE g.y = TOSHI.NEN;"
                   "UPDATE TOSHI2 SET (JOSHA_NO, JOSHA_KILO, HAISHI_NO, HAISHI_KILO) = (SELECT ifnull(sum(JOSHA_NO), "
                   "0), "
                   "total(JOSHA_KILO), ifnull(sum(HAISHI_NO), 0), total(HAISHI_KILO) FROM p.TOSHI) "
                   "WHERE rowid = (SELECT rowid FROM TOSHI2 ORDER BY NEN LIMIT 1);")
            .arg(year);
    };
    const QString scrambleYears = QStringLiteral("UPDATE p.TOSHI SET JOSHA_NO = -1, JOSHA_KILO = -1, HAISHI_NO = -1, "
                                                 "HAISHI_KILO = -1; UPDATE TOSHI2 SET JOSHA_NO = -1, JOSHA_KILO = -1;");

    const QList<Step> steps{
        {"classification Z clear", [&] { tally::clearByClassification(ref); }, clearSql(B, B2, B3),
         scrambleGroups(B, B2, B3), 300},
        {"classification R route km", [&] { tally::routeKiloByClassification(ref); },
         QStringLiteral("UPDATE BUNRUI SET TOTAL_KILO = 0;") + sumsIntoSmall(B, BC, kilo, classRoutes) +
             rollUpSql(B, B2, B3, BC, kilo),
         scrambleField(B, B2, B3, badKilo), 300},
        {"classification J ridden km", [&] { tally::riddenKiloByClassification(ref, per); },
         sumsIntoSmall(B, BC, ridden, classRides) + rollUpSql(B, B2, B3, BC, ridden),
         scrambleField(B, B2, B3, badRidden), 300},
        {"classification W ratio", [&] { tally::ratioByClassification(ref); },
         ratioSql(B) + ratioSql(B2) + ratioSql(B3), scrambleField(B, B2, B3, badRatio), 300},
        {"classification D dates", [&] { tally::datesByClassification(ref, per); },
         datesSql(B, B2, B3, BC, classLatest), scrambleField(B, B2, B3, badDate), 300},
        {"category Z clear", [&] { tally::clearByCategory(ref); }, clearSql(K, K2, K3), scrambleGroups(K, K2, K3), 300},
        {"category R route km", [&] { tally::routeKiloByCategory(ref); },
         QStringLiteral("UPDATE KUBUN SET TOTAL_KILO = 0, TOTAL_JOSHA_KILO = 0;") +
             sumsIntoSmall(K, KC, kilo, kbnRoutes) + rollUpSql(K, K2, K3, KC, kilo),
         scrambleField(K, K2, K3, badKilo) + QStringLiteral("UPDATE KUBUN SET TOTAL_JOSHA_KILO = -1;"), 300},
        {"category J tag rides + ridden km", [&] { tally::riddenKiloByCategory(ref, per); },
         QStringLiteral(
             "DELETE FROM TMP_JOSHA_KUBUN; INSERT INTO TMP_JOSHA_KUBUN (KBN_CD, ROSEN_CD, JOSHA_DATE, JOSHA_KILO) "
             "SELECT ifnull(m.KBN_CD, '00'), j.ROSEN_CD, j.JOSHA_DATE, j.JOSHA_KILO FROM p.JOSHA j "
             "LEFT JOIN MASTER m ON m.ROSEN_CD = j.ROSEN_CD ORDER BY j.ROSEN_CD, j.JOSHA_DATE;") +
             sumsIntoSmall(K, KC, ridden, kbnRides) + rollUpSql(K, K2, K3, KC, ridden),
         scrambleField(K, K2, K3, badRidden) + QStringLiteral("DELETE FROM TMP_JOSHA_KUBUN;"), 300},
        {"category W ratio", [&] { tally::ratioByCategory(ref); }, ratioSql(K) + ratioSql(K2) + ratioSql(K3),
         scrambleField(K, K2, K3, badRatio), 300},
        {"category D dates", [&] { tally::datesByCategory(ref); }, datesSql(K, K2, K3, KC, kbnLatest),
         scrambleField(K, K2, K3, badDate), 300},
        {"year Z clear", [&] { tally::clearByYear(ref, per); },
         QStringLiteral("UPDATE p.TOSHI SET JOSHA_NO = 0, JOSHA_KILO = 0, HAISHI_NO = 0, HAISHI_KILO = 0;"
                        "UPDATE TOSHI2 SET JOSHA_NO = 0, JOSHA_KILO = 0, HAISHI_NO = 0, HAISHI_KILO = 0 "
                        "WHERE rowid = (SELECT rowid FROM TOSHI2 ORDER BY NEN LIMIT 1);"),
         scrambleYears, 300},
        {"year C tally 1-12", [&] { tally::tallyByYear(ref, per, 1); }, yearSql(1), scrambleYears, 300},
        {"year C tally 4-3", [&] { tally::tallyByYear(ref, per, 4); }, yearSql(4), scrambleYears, 300},
    };

    std::printf("%-34s %10s %10s %7s  %s\n", "step", "cursor ms", "SQL ms", "ratio", "targets (ms, ratio <= 3)");
    int missed = 0;
    for (const Step& step : steps) {
        try {
            const double cursorMs = bestMs(step.cursor);
            const QString byCursor = results(*ref, *per);
            const double sqlMs = bestMs([&] {
                floor->exec(QStringLiteral("BEGIN IMMEDIATE;") + step.scramble);
                floor->exec(step.sql + QStringLiteral("COMMIT;"));
            });
            const QString bySql = results(*ref, *per);
            const double ratio = sqlMs > 0 ? cursorMs / sqlMs : 0;
            const bool timeOk = step.target <= 0 || cursorMs <= step.target;
            const bool ok = timeOk && ratio <= 3.0 && byCursor == bySql;
            missed += ok ? 0 : 1;
            if (byCursor != bySql) {
                const QStringList a = byCursor.split(QLatin1Char('\n')), b = bySql.split(QLatin1Char('\n'));
                for (int i = 0; i < std::min(a.size(), b.size()); ++i)
                    if (a[i] != b[i]) {
                        std::printf("  first difference: cursor %s / SQL %s\n", qPrintable(a[i]), qPrintable(b[i]));
                        break;
                    }
            }
            std::printf("%-34s %10.1f %10.1f %6.2fx  %s%s%s\n", step.name, cursorMs, sqlMs, ratio,
                        step.target > 0 ? qPrintable(QStringLiteral("<= %1 ").arg(step.target)) : "",
                        byCursor == bySql ? "same results" : "RESULTS DIFFER", ok ? "" : "  MISSED");
        } catch (const Error& e) {
            ++missed;
            try {
                floor->exec(QStringLiteral("ROLLBACK"));
            } catch (const Error&) {
            }
            std::printf("%-34s failed: %s\n", step.name, qPrintable(e.message()));
        }
    }
    std::printf("tally steps missing a target: %d\n", missed);
}
