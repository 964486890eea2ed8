#include "tally.h"

#include "data/batchwriter.h"
#include "data/cursor.h"
#include "data/error.h"
#include "data/rowblock.h"
#include "data/rules.h"
#include "data/statements.h"
#include "data/stepcursor.h"

#include <QHash>
#include <QMap>
#include <QStringView>
#include <QVector>
#include <algorithm>
#include <utility>
#include <vector>

namespace tabi::tally {

namespace {

// The three result tables of one tally and where their members come from.
struct Source {
    QString table;  // table scanned for the members of a small group
    QString order;  // its index order, led by the code that carries the group prefix
    QString code;   // that code field
    int prefix = 0; // how many leading characters of the code name the small group
    bool reference = true;
};

struct Tally {
    QString small, large, total, code;
    bool totalByStoredIndex = false; // BUNRUI3 is opened by its stored index "BUNRUI_CD"
    Source routes;
    Source rides;
};

const Tally& classification() {
    static const Tally t{QStringLiteral("BUNRUI"),
                         QStringLiteral("BUNRUI2"),
                         QStringLiteral("BUNRUI3"),
                         QStringLiteral("BUNRUI_CD"),
                         true,
                         {QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_CD"), 3, true},
                         {QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_CD"), 3, false}};
    return t;
}

const Tally& category() {
    static const Tally t{
        QStringLiteral("KUBUN"),
        QStringLiteral("KUBUN2"),
        QStringLiteral("KUBUN3"),
        QStringLiteral("KBN_CD"),
        false,
        {QStringLiteral("MASTER"), QStringLiteral("KBN_CD;ROSEN_CD"), QStringLiteral("KBN_CD"), 2, true},
        {QStringLiteral("TMP_JOSHA_KUBUN"), QStringLiteral("KBN_CD"), QStringLiteral("KBN_CD"), 2, true}};
    return t;
}

using Cursor = StepCursor;

const QStringList& routeFields() {
    static const QStringList f{QStringLiteral("ROSEN_CD"), QStringLiteral("KBN_CD"), QStringLiteral("KILO"),
                               QStringLiteral("HAISHI_DATE")};
    return f;
}

const QStringList& rideFields() {
    static const QStringList f{QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"), QStringLiteral("JOSHA_KILO")};
    return f;
}

// Field positions of a result table, looked up once per cursor.
struct ResultFields {
    int code, kilo, ridden, ratio, date;
    ResultFields(const TableCursor& c, const QString& codeField)
        : code(c.fieldIndex(codeField)), kilo(c.fieldIndex(QStringLiteral("TOTAL_KILO"))),
          ridden(c.fieldIndex(QStringLiteral("TOTAL_JOSHA_KILO"))), ratio(c.fieldIndex(QStringLiteral("JOSHA_RATIO"))),
          date(c.fieldIndex(QStringLiteral("KANJO_DATE"))) {}
};

// The three result tables of a tally, each with its field positions.
struct Results {
    Cursor small, large, total;
    ResultFields s, l, t;
    Results(const Db& ref, const Tally& tally)
        : small(ref, tally.small, tally.code), large(ref, tally.large, tally.code),
          total(ref, tally.total, tally.code, {}, tally.totalByStoredIndex), s(small, tally.code), l(large, tally.code),
          t(total, tally.code) {}
};

// The first k characters of code equal the group code (a shorter code is compared whole).
bool inPrefixGroup(const QString& code, const QString& group, int k) {
    return QStringView(code).left(k) == group;
}

// Positions on the first record not below the group code and visits the records while the prefix still matches.
template <class F> void scanGroup(TableCursor& c, int codeField, const QString& group, int k, F&& visit) {
    c.findNearest({group});
    while (!c.eof() && inPrefixGroup(c.asString(codeField), group, k)) {
        visit();
        c.next();
    }
}

// "yyyy-mm-dd" of a stored timestamp field, empty for null.
QString dayText(TableCursor& c, int field) {
    return rules::dateText(c.asString(field));
}

void setDay(TableCursor& c, int field, const QString& day) {
    if (day.isEmpty())
        c.setNull(field);
    else
        c.setText(field, day);
}

// Large groups take the sum of a field over their small groups (prefix 1), the total row the sum over the large
// groups. The field is TOTAL_KILO or TOTAL_JOSHA_KILO.
void rollUp(const Db& ref, const Tally& tally, Results& r, int ResultFields::*field) {
    Cursor members(ref, tally.small, tally.code);
    const ResultFields m(members, tally.code);
    forEachRecord(r.large, [&] {
        double sum = 0;
        scanGroup(members, m.code, r.large.asString(r.l.code), 1, [&] { sum += members.asFloat(m.*field); });
        r.large.edit();
        r.large.setFloat(r.l.*field, sum);
    });
    r.total.first();
    if (r.total.eof())
        return;
    double sum = 0;
    forEachRecord(r.large, [&] { sum += r.large.asFloat(r.l.*field); });
    r.total.edit();
    r.total.setFloat(r.t.*field, sum);
    r.total.post();
}

void positionFirst(Results& r) {
    r.small.first();
    r.large.first();
    r.total.first();
}

// --- the steps shared by both group tallies ---------------------------------------------------------------------

void clearResults(TableCursor& c, const ResultFields& f) {
    forEachRecord(c, [&] {
        c.edit();
        c.setFloat(f.kilo, 0);
        c.setFloat(f.ridden, 0);
        c.setFloat(f.ratio, 0);
        c.setNull(f.date);
    });
}

void clearStep(const Db& ref, const Tally& tally) {
    Transaction tx(*ref);
    Results r(ref, tally);
    clearResults(r.small, r.s);
    clearResults(r.large, r.l);
    clearResults(r.total, r.t);
    positionFirst(r);
    tx.commit();
}

// Route kilometres of the small groups from the routes in service; with resetRidden the small groups' ridden
// kilometres go to 0 as well (tally by category).
void routeKiloStep(const Db& ref, const Tally& tally, bool resetRidden) {
    Transaction tx(*ref);
    Results r(ref, tally);
    Cursor routes(ref, tally.routes.table, tally.routes.order, routeFields());
    const int code = routes.fieldIndex(tally.routes.code);
    const int kilo = routes.fieldIndex(QStringLiteral("KILO"));
    const int abolished = routes.fieldIndex(QStringLiteral("HAISHI_DATE"));
    forEachRecord(r.small, [&] {
        double sum = 0;
        scanGroup(routes, code, r.small.asString(r.s.code), tally.routes.prefix, [&] {
            if (!rules::isAbolished(dayText(routes, abolished)))
                sum += routes.asFloat(kilo);
        });
        r.small.edit();
        r.small.setFloat(r.s.kilo, sum);
        if (resetRidden)
            r.small.setFloat(r.s.ridden, 0);
    });
    rollUp(ref, tally, r, &ResultFields::kilo);
    positionFirst(r);
    tx.commit();
}

// Ridden kilometres of the small groups: every ride counts with its sign.
void sumRides(const Db& rideDb, const Tally& tally, Results& r) {
    // Only the group code and the kilometres are read (the tagged rides have no key that would bring more along).
    Cursor rides(rideDb, tally.rides.table, tally.rides.order, {tally.rides.code, QStringLiteral("JOSHA_KILO")});
    const int code = rides.fieldIndex(tally.rides.code);
    const int kilo = rides.fieldIndex(QStringLiteral("JOSHA_KILO"));
    forEachRecord(r.small, [&] {
        double sum = 0;
        scanGroup(rides, code, r.small.asString(r.s.code), tally.rides.prefix, [&] { sum += rides.asFloat(kilo); });
        r.small.edit();
        r.small.setFloat(r.s.ridden, sum);
    });
}

void setRatio(TableCursor& c, const ResultFields& f) {
    c.edit();
    c.setFloat(f.ratio, rules::ratio(c.asFloat(f.kilo), c.asFloat(f.ridden)));
}

void ratioStep(const Db& ref, const Tally& tally) {
    Transaction tx(*ref);
    Results r(ref, tally);
    forEachRecord(r.small, [&] { setRatio(r.small, r.s); });
    forEachRecord(r.large, [&] { setRatio(r.large, r.l); });
    r.total.first();
    if (!r.total.eof()) {
        setRatio(r.total, r.t);
        r.total.post();
    }
    positionFirst(r);
    tx.commit();
}

// Latest completion date among groups with ridden kilometres above 0 that have one.
void noteLatest(TableCursor& c, const ResultFields& f, QString& latest) {
    if (c.asFloat(f.ridden) > 0) {
        const QString day = dayText(c, f.date);
        if (!day.isEmpty() && day > latest)
            latest = day;
    }
}

// The latest day of a ride above 0 km per small group, from one pass over the rides in their stored order. A ride
// belongs to the group named by the first k characters of its code: the rides a group's scan from its code would
// visit. A code is decoded only when it differs from the ride before it (rides of one code mostly follow each other).
QHash<QString, QByteArray> latestDayByGroup(const Db& rideDb, const Source& rides) {
    QHash<QString, QByteArray> latest;
    Statement& read = rideDb->cached(
        QStringLiteral("SELECT \"%1\", JOSHA_DATE FROM \"%2\" WHERE JOSHA_KILO > 0").arg(rides.code, rides.table));
    StatementScope scope(read);
    QByteArray lastCode;
    QByteArray* groupLatest = nullptr;
    while (read.step()) {
        const QByteArrayView code = read.columnUtf8(0), date = read.columnUtf8(1);
        if (!groupLatest || code != lastCode) {
            lastCode = code.toByteArray();
            groupLatest = &latest[QStringView(QString::fromUtf8(lastCode)).left(rides.prefix).toString()];
        }
        // The day part of the stored "yyyy-mm-dd HH:MM:SS".
        const QByteArrayView day = date.first(std::min<qsizetype>(date.size(), 10));
        if (!day.isEmpty() && day.compare(*groupLatest) > 0)
            *groupLatest = day.toByteArray();
    }
    return latest;
}

void datesStep(const Db& ref, const Db& rideDb, const Tally& tally) {
    Transaction tx(*ref);
    Results r(ref, tally);
    {
        const QHash<QString, QByteArray> latestDays = latestDayByGroup(rideDb, tally.rides);
        forEachRecord(r.small, [&] {
            QString latest;
            if (rules::isComplete(r.small.asFloat(r.s.ratio)))
                latest = QString::fromUtf8(latestDays.value(r.small.asString(r.s.code)));
            r.small.edit();
            setDay(r.small, r.s.date, latest);
        });
    }
    Cursor members(ref, tally.small, tally.code);
    const ResultFields m(members, tally.code);
    forEachRecord(r.large, [&] {
        QString latest;
        if (rules::isComplete(r.large.asFloat(r.l.ratio)))
            scanGroup(members, m.code, r.large.asString(r.l.code), 1, [&] { noteLatest(members, m, latest); });
        r.large.edit();
        setDay(r.large, r.l.date, latest);
    });
    r.total.first();
    if (!r.total.eof()) {
        QString latest;
        if (rules::isComplete(r.total.asFloat(r.t.ratio)))
            forEachRecord(r.large, [&] { noteLatest(r.large, r.l, latest); });
        r.total.edit();
        setDay(r.total, r.t.date, latest);
        r.total.post();
    }
    positionFirst(r);
    tx.commit();
}

} // namespace

// --- by classification ---------------------------------------------------------------------------------------------

void clearByClassification(const Db& ref) {
    clearStep(ref, classification());
}

void routeKiloByClassification(const Db& ref) {
    routeKiloStep(ref, classification(), false);
}

void riddenKiloByClassification(const Db& ref, const Db& personal) {
    Transaction tx(*ref);
    Results r(ref, classification());
    sumRides(personal, classification(), r);
    rollUp(ref, classification(), r, &ResultFields::ridden);
    positionFirst(r);
    tx.commit();
}

void ratioByClassification(const Db& ref) {
    ratioStep(ref, classification());
}

void datesByClassification(const Db& ref, const Db& personal) {
    datesStep(ref, personal, classification());
}

// --- by category -----------------------------------------------------------------------------------------------------

void clearByCategory(const Db& ref) {
    clearStep(ref, category());
}

void routeKiloByCategory(const Db& ref) {
    routeKiloStep(ref, category(), true);
}

void riddenKiloByCategory(const Db& ref, const Db& personal) {
    Transaction tx(*ref);
    ref->execLines(tabi::sql::clearTaggedRides());
    {
        // The category of every route, from one pass over the routes. A ride of a route missing from MASTER, or
        // of a route without a category, keeps "00" (what the join update would leave it).
        QHash<QString, QString> categoryOf;
        {
            Cursor routes(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"),
                          {QStringLiteral("ROSEN_CD"), QStringLiteral("KBN_CD")});
            const int code = routes.fieldIndex(QStringLiteral("ROSEN_CD"));
            const int kbn = routes.fieldIndex(QStringLiteral("KBN_CD"));
            forEachRecord(routes, [&] {
                if (!routes.isNull(kbn))
                    categoryOf.insert(routes.asString(code), routes.asString(kbn));
            });
        }
        // Every ride, tagged as it is read, gathered per category in ride order. The copies are then appended
        // category by category: the tagged table is stored in the order the later steps read it by category,
        // and the rides of one category keep the ride order among themselves, so every sum adds the same values
        // in the same order as before. The rides are read in route order from an index that holds every field
        // needed; all rides of a route share its category, so a category is a list of runs of rides, one per
        // route. Texts go from one statement to the other as stored.
        enum { Code, Date, Kilo };
        const RowBlock rides(personal->cached(QStringLiteral(
                                 "SELECT ROSEN_CD, JOSHA_DATE, JOSHA_KILO FROM JOSHA ORDER BY ROSEN_CD, JOSHA_DATE")),
                             personal->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong());
        QMap<QString, std::vector<std::pair<qsizetype, qsizetype>>> runsByCategory; // [first, end) of rides
        const QString untagged = QStringLiteral("00");
        std::vector<std::pair<qsizetype, qsizetype>>* runs = nullptr; // the category of the route being read
        for (qsizetype i = 0; i < rides.size(); ++i) {
            if (!runs || rides.text(i, Code) != rides.text(i - 1, Code)) {
                const auto k = categoryOf.constFind(QString::fromUtf8(rides.text(i, Code)));
                runs = &runsByCategory[k == categoryOf.cend() ? untagged : *k];
                runs->push_back({i, i});
            }
            runs->back().second = i + 1;
        }
        BatchWriter write = BatchWriter::insertInto(*ref, QStringLiteral("TMP_JOSHA_KUBUN"),
                                                    {QStringLiteral("KBN_CD"), QStringLiteral("ROSEN_CD"),
                                                     QStringLiteral("JOSHA_DATE"), QStringLiteral("JOSHA_KILO")});
        for (auto it = runsByCategory.cbegin(); it != runsByCategory.cend(); ++it) {
            const QByteArray kbn = it.key().toUtf8();
            for (const auto& [first, end] : it.value())
                for (qsizetype i = first; i < end; ++i) {
                    write.copy(kbn);
                    write.text(rides.text(i, Code));
                    write.text(rides.text(i, Date));
                    if (rides.isNull(i, Kilo))
                        write.null();
                    else
                        write.real(rides.real(i, Kilo));
                    write.endRow();
                }
        }
        write.finish();
    }
    Results r(ref, category());
    sumRides(ref, category(), r);
    rollUp(ref, category(), r, &ResultFields::ridden);
    positionFirst(r);
    tx.commit();
}

void ratioByCategory(const Db& ref) {
    ratioStep(ref, category());
}

void datesByCategory(const Db& ref) {
    datesStep(ref, ref, category());
}

// --- by year ---------------------------------------------------------------------------------------------------------

namespace {
QString yearText(int nen) {
    return QString::number(nen).left(4);
}

struct Counts {
    qint64 newRides = 0;
    double newKilo = 0;
    qint64 abolishedRides = 0;
    double abolishedKilo = 0;

    void add(double kilo) {
        if (kilo < 0) {
            ++abolishedRides;
            abolishedKilo += kilo;
        } else {
            ++newRides;
            newKilo += kilo;
        }
    }
};

struct CountFields {
    int newRides, newKilo, abolishedRides, abolishedKilo;
    explicit CountFields(const TableCursor& c)
        : newRides(c.fieldIndex(QStringLiteral("JOSHA_NO"))), newKilo(c.fieldIndex(QStringLiteral("JOSHA_KILO"))),
          abolishedRides(c.fieldIndex(QStringLiteral("HAISHI_NO"))),
          abolishedKilo(c.fieldIndex(QStringLiteral("HAISHI_KILO"))) {}
};

void setCounts(TableCursor& c, const CountFields& f, const Counts& n) {
    c.edit();
    c.setInteger(f.newRides, n.newRides);
    c.setFloat(f.newKilo, n.newKilo);
    c.setInteger(f.abolishedRides, n.abolishedRides);
    c.setFloat(f.abolishedKilo, n.abolishedKilo);
}
} // namespace

QString yearRangeStart(int nen, int startMonth) {
    return yearText(nen) + (startMonth == 1 ? QStringLiteral("-01-01") : QStringLiteral("-04-01"));
}

QString yearRangeEnd(int nen, int startMonth) {
    return startMonth == 1 ? yearText(nen) + QStringLiteral("-12-31") : yearText(nen + 1) + QStringLiteral("-03-31");
}

void clearByYear(const Db& ref, const Db& personal) {
    Transaction txRef(*ref);
    Transaction txPersonal(*personal);
    Cursor years(personal, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
    Cursor total(ref, QStringLiteral("TOSHI2"), QStringLiteral("NEN"));
    const CountFields fy(years), ft(total);
    forEachRecord(years, [&] { setCounts(years, fy, {}); });
    years.first();
    total.first();
    if (!total.eof()) {
        setCounts(total, ft, {});
        total.post();
    }
    txRef.commit();
    txPersonal.commit();
}

namespace {
// The year a ride counts for, from its stored date: a fiscal year (startMonth 4) begins in April.
QString rideYearSql(int startMonth) {
    return startMonth == 4 ? QStringLiteral("CAST(substr(JOSHA_DATE, 1, 4) AS INTEGER) - "
                                            "(CASE WHEN substr(JOSHA_DATE, 6, 2) < '04' THEN 1 ELSE 0 END)")
                           : QStringLiteral("CAST(substr(JOSHA_DATE, 1, 4) AS INTEGER)");
}
} // namespace

int addYearsWithRides(const Db& personal, int startMonth) {
    Transaction tx(*personal);
    const qint64 before = personal->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toLongLong();
    personal->exec(QStringLiteral("INSERT INTO TOSHI (NEN) SELECT DISTINCT y FROM (SELECT %1 AS y FROM JOSHA "
                                  "WHERE JOSHA_DATE IS NOT NULL) WHERE y BETWEEN 1 AND 9998 AND "
                                  "y NOT IN (SELECT NEN FROM TOSHI WHERE NEN IS NOT NULL) ORDER BY y")
                       .arg(rideYearSql(startMonth)));
    const qint64 after = personal->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toLongLong();
    tx.commit();
    return int(after - before);
}

bool anyListedYearHasRides(const Db& personal, int startMonth) {
    return personal
               ->scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM JOSHA WHERE JOSHA_DATE IS NOT NULL AND %1 IN "
                                       "(SELECT NEN FROM TOSHI))")
                            .arg(rideYearSql(startMonth)))
               .toInt() != 0;
}

void tallyByYear(const Db& ref, const Db& personal, int startMonth) {
    Transaction txRef(*ref);
    Transaction txPersonal(*personal);
    Cursor years(personal, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
    Cursor total(ref, QStringLiteral("TOSHI2"), QStringLiteral("NEN"));
    const CountFields fy(years), ft(total);
    const int nen = years.fieldIndex(QStringLiteral("NEN"));

    // The counting range of every year row, in year order.
    struct Range {
        QString from, to;
        Counts counts;
    };
    QVector<Range> ranges;
    forEachRecord(years, [&] {
        const int y = int(years.asInteger(nen));
        ranges.append({yearRangeStart(y, startMonth), yearRangeEnd(y, startMonth), {}});
    });

    // Every ride is read once and counted in each row whose range holds its day (both limits inclusive).
    Counts all;
    if (!ranges.isEmpty()) {
        Cursor rides(personal, QStringLiteral("JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"), rideFields());
        const int date = rides.fieldIndex(QStringLiteral("JOSHA_DATE"));
        const int kilo = rides.fieldIndex(QStringLiteral("JOSHA_KILO"));
        // Rides come in date order: the rows whose range holds a day are found once per day.
        QString lastDay;
        QVector<int> hits;
        forEachRecord(rides, [&] {
            const QString stored = rides.asString(date);
            const QStringView day = QStringView(stored).left(10);
            if (day != lastDay) {
                lastDay = day.toString();
                hits.clear();
                for (int r = 0; r < ranges.size(); ++r)
                    if (day.compare(ranges[r].from) >= 0 && day.compare(ranges[r].to) <= 0)
                        hits.append(r);
            }
            if (hits.isEmpty())
                return;
            const double k = rides.asFloat(kilo);
            for (int r : std::as_const(hits)) {
                ranges[r].counts.add(k);
                all.add(k);
            }
        });
    }

    int i = 0;
    forEachRecord(years, [&] { setCounts(years, fy, ranges[i++].counts); });
    years.last();
    total.first();
    if (!total.eof()) {
        setCounts(total, ft, all);
        total.post();
    }
    txRef.commit();
    txPersonal.commit();
}

} // namespace tabi::tally
