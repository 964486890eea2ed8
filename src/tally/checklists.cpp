#include "tally/checklists.h"

#include "data/batchwriter.h"
#include "data/error.h"
#include "data/routenames.h"
#include "data/rowblock.h"
#include "data/rules.h"
#include "data/statements.h"
#include "data/stepcursor.h"
#include "netmap/ridden.h"
#include "network/network.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <string_view>
#include <thread>
#include <vector>

namespace tabi::tally {

namespace {

const QString kUnriddenList = QStringLiteral("CFM_MIJO");
const QString kRideCheckList = QStringLiteral("CFM_JOSHA");
const QString kRideCheckOrder = QStringLiteral("JOSHA_DATE;ROSEN_CD");

// A list step appends to the list without emptying it. Its key refuses a row that is already there; the step says
// which one, so that the user knows to empty the list first.
[[noreturn]] void alreadyListed(const QString& what) {
    throw Error(QStringLiteral("%1 はすでに一覧にあります。一覧は変わっていません。\n"
                               "全消で一覧を空にしてから、やり直してください。")
                    .arg(what));
}

void runStatement(const Db& ref, const QStringList& lines) {
    Transaction tx(*ref);
    ref->execLines(lines);
    tx.commit();
}

} // namespace

// --- unridden routes -----------------------------------------------------------------------------------------------

void clearUnriddenList(const Db& ref) {
    runStatement(ref, sql::clearUnriddenList());
}

void listRoutesInService(const Db& ref) {
    Transaction tx(*ref);
    StepCursor list(ref, kUnriddenList, QStringLiteral("ROSEN_CD"));
    StepCursor routes(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"),
                      {QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_KANJI"), QStringLiteral("SHOZOKU"),
                       QStringLiteral("KITEN"), QStringLiteral("SHUTEN"), QStringLiteral("KILO"),
                       QStringLiteral("HAISHI_DATE")});
    const int rCode = routes.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int rName = routes.fieldIndex(QStringLiteral("ROSEN_KANJI"));
    const int rShozoku = routes.fieldIndex(QStringLiteral("SHOZOKU"));
    const int rFrom = routes.fieldIndex(QStringLiteral("KITEN"));
    const int rTo = routes.fieldIndex(QStringLiteral("SHUTEN"));
    const int rKilo = routes.fieldIndex(QStringLiteral("KILO"));
    const int rAbolished = routes.fieldIndex(QStringLiteral("HAISHI_DATE"));
    const int lCode = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int lShozoku = list.fieldIndex(QStringLiteral("SHOZOKU"));
    const int lSection = list.fieldIndex(QStringLiteral("ROSEN_KUKAN"));
    const int lKilo = list.fieldIndex(QStringLiteral("KILO"));
    const int lRidden = list.fieldIndex(QStringLiteral("JOSHA_KILO"));
    const bool mayCollide = !list.isEmpty();
    forEachRecord(routes, [&] {
        if (rules::isAbolished(rules::dateText(routes.asString(rAbolished))))
            return;
        const QString code = routes.asString(rCode);
        if (mayCollide && list.findKey({code}))
            alreadyListed(QStringLiteral("路線番号 %1").arg(code));
        list.append();
        list.setText(lCode, code);
        setCutText(list, lSection,
                   routes.asString(rName) + u'(' + routes.asString(rFrom) + u'～' + routes.asString(rTo) + u')');
        setCutText(list, lShozoku, routes.asString(rShozoku));
        // A route without a length counts 0, as does the ridden length until it is summed. Both are written
        // rather than left to the table's defaults, so that the post need not read the row back.
        list.setFloat(lKilo, routes.asFloat(rKilo));
        list.setFloat(lRidden, 0);
        list.post();
    });
    list.first();
    tx.commit();
}

void sumRiddenKiloOfList(const Db& ref, const Db& personal) {
    Transaction tx(*ref);
    // The sum of every route's rides, from one pass over the rides in route and date order (an index holds both
    // fields, so the rides' rows themselves are not read). Codes are compared as stored; a text is made once per
    // route, not per ride.
    QHash<QString, double> sums;
    {
        Statement& rides =
            personal->cached(QStringLiteral("SELECT ROSEN_CD, JOSHA_KILO FROM JOSHA ORDER BY ROSEN_CD, JOSHA_DATE"));
        StatementScope scope(rides);
        QByteArray current;
        double sum = 0;
        while (rides.step()) {
            const QByteArrayView c = rides.columnUtf8(0);
            if (c != current) {
                if (!current.isEmpty())
                    sums.insert(QString::fromUtf8(current), sum);
                current = c.toByteArray();
                sum = 0;
            }
            sum += rides.columnDouble(1); // an empty length counts 0
        }
        if (!current.isEmpty())
            sums.insert(QString::fromUtf8(current), sum);
    }
    // Every row of the list gets its route's sum, 0 for a route without rides.
    Statement& list = ref->cached(QStringLiteral("SELECT rowid, ROSEN_CD FROM CFM_MIJO"));
    Statement& write = ref->cached(QStringLiteral("UPDATE CFM_MIJO SET JOSHA_KILO = ?1 WHERE rowid = ?2"));
    {
        StatementScope scope(list);
        while (list.step()) {
            StatementScope w(write);
            write.bindDouble(1, sums.value(list.columnText(1), 0.0));
            write.bindInt(2, list.columnInt(0));
            write.step();
        }
    }
    tx.commit();
}

// Each row's value follows from the row's own fields alone, so the whole list is worked out by one statement.
// Empty lengths count 0.
void unriddenKiloOfList(const Db& ref) {
    Transaction tx(*ref);
    ref->exec(QStringLiteral("UPDATE CFM_MIJO SET MIJO_KILO = ifnull(KILO, 0) - ifnull(JOSHA_KILO, 0)"));
    tx.commit();
}

void ratioOfList(const Db& ref) {
    Transaction tx(*ref);
    ref->exec(QStringLiteral("UPDATE CFM_MIJO SET JOSHA_RATIO = riding_ratio(KILO, JOSHA_KILO)"));
    tx.commit();
}

void dropCompletedRoutes(const Db& ref) {
    runStatement(ref, sql::dropCompletedRoutes());
}

// --- ride check list -----------------------------------------------------------------------------------------------

void clearRideCheckList(const Db& ref) {
    runStatement(ref, sql::clearRideCheckList());
}

int fieldWidth(const QString& table, const QString& field) {
    return findTable(table)->field(field).size;
}

void copyRidesToCheckList(const Db& ref, const Db& personal) {
    Transaction tx(*ref);
    // The rides are read as they are stored (one pass through the table, instead of a look-up per ride through
    // the index), then put in the list's own order: date, then route code, bytes compared as the engine compares
    // them. Appended in that order, the rows go to the end of the list's index and are stored in that order, so
    // that the later steps touch each stored page once instead of jumping about a large list. Texts go from one
    // statement to the other as stored, without being decoded.
    enum { Date, Code, Section, Kilo };
    // The routes' stations come from the reference database on another thread while this one reads the rides from
    // the personal database and sorts them; the reference database is not touched here until they are read.
    std::future<network::Network> routeStations =
        std::async(std::launch::async, [&ref] { return network::loadRouteStations(*ref); });
    const RowBlock rides(
        personal->cached(QStringLiteral("SELECT JOSHA_DATE, ROSEN_CD, JOSHA_KUKAN, JOSHA_KILO FROM JOSHA")),
        personal->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong());
    // The sort keys beside each row's number, so that comparing two rides reads no more than the keys.
    struct Key {
        std::string_view date, code;
        qsizetype row;
    };
    std::vector<Key> order;
    order.reserve(size_t(rides.size()));
    auto view = [](QByteArrayView t) { return std::string_view(t.data(), size_t(t.size())); };
    for (qsizetype r = 0; r < rides.size(); ++r)
        order.push_back({view(rides.text(r, Date)), view(rides.text(r, Code)), r});
    std::sort(order.begin(), order.end(), [](const Key& a, const Key& b) {
        const int d = a.date.compare(b.date);
        return d != 0 ? d < 0 : a.code < b.code;
    });

    const network::Network network = routeStations.get();

    BatchWriter write =
        BatchWriter::insertInto(*ref, kRideCheckList,
                                {QStringLiteral("JOSHA_DATE"), QStringLiteral("ROSEN_CD"),
                                 QStringLiteral("JOSHA_KUKAN"), QStringLiteral("JOSHA_KILO"), QStringLiteral("BIKO")});
    Statement& listed = ref->cached(QStringLiteral("SELECT 1 FROM CFM_JOSHA WHERE JOSHA_DATE = ?1 AND ROSEN_CD = ?2"));
    const bool mayCollide = ref->scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM CFM_JOSHA)")).toBool();
    const int sectionWidth = fieldWidth(kRideCheckList, QStringLiteral("JOSHA_KUKAN"));
    const QByteArray negative = QString::fromUtf16(kNegativeRideRemark).toUtf8();
    const QByteArray overlapping = QString::fromUtf16(kOverlapRemark).toUtf8();
    // What each route's rides have covered so far, played in date order as the ride map plays them.
    // Sections resolve by station names and posts: the track is not needed.
    // Whether each ride of the list's order overlaps what its route's earlier rides covered. Worked out on another
    // thread while this one writes the rows, which takes about as long; a row waits only for its own answer.
    const qsizetype count = qsizetype(order.size());
    std::vector<char> overlapFlags(size_t(count), 0);
    std::atomic<qsizetype> answered{0};
    std::atomic<bool> stop{false};
    std::exception_ptr workerError;
    std::thread worker([&] {
        try {
            QHash<QString, netmap::IntervalSet> ridden;
            for (qsizetype i = 0; i < count && !stop.load(std::memory_order_relaxed); ++i) {
                const qsizetype r = order[size_t(i)].row;
                const double kilo = rides.real(r, Kilo);
                const QString routeCode = QString::fromUtf8(rides.text(r, Code));
                if (const network::Route* route = network.route(routeCode)) {
                    const netmap::Section sec =
                        netmap::resolveSection(route, QString::fromUtf8(rides.text(r, Section)), kilo);
                    netmap::IntervalSet& set = ridden[routeCode];
                    bool overlaps = false;
                    for (const netmap::IntervalSet::Part& p : sec.parts) {
                        if (kilo >= 0 && set.measureWithin(p.from, p.to) > netmap::kKiloEpsilon)
                            overlaps = true;
                        if (kilo < 0)
                            set.subtract(p.from, p.to);
                    }
                    if (kilo >= 0)
                        for (const netmap::IntervalSet::Part& p : sec.parts)
                            set.add(p.from, p.to);
                    overlapFlags[size_t(i)] = overlaps ? 1 : 0;
                }
                if ((i & 63) == 63)
                    answered.store(i + 1, std::memory_order_release);
            }
        } catch (...) {
            workerError = std::current_exception();
        }
        answered.store(count, std::memory_order_release);
    });
    // The worker ends on every way out of the loop below.
    struct Join {
        std::thread& thread;
        std::atomic<bool>& stop;
        ~Join() {
            stop = true;
            thread.join();
        }
    } join{worker, stop};
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype r = order[size_t(i)].row;
        const QByteArrayView date = rides.text(r, Date), code = rides.text(r, Code);
        if (mayCollide) {
            StatementScope l(listed);
            listed.bindUtf8(1, date, Statement::Bytes::Kept);
            listed.bindUtf8(2, code, Statement::Bytes::Kept);
            if (listed.step())
                alreadyListed(QStringLiteral("乗車年月日 %1・路線番号 %2 の乗車")
                                  .arg(rules::dateText(QString::fromUtf8(date)), QString::fromUtf8(code)));
        }
        write.text(date);
        write.text(code);
        // An empty section is stored as no section, as a field left empty is.
        const QByteArrayView section = firstCharactersUtf8(rides.text(r, Section), sectionWidth);
        write.text(section.isEmpty() ? QByteArrayView() : section);
        if (rides.isNull(r, Kilo))
            write.null();
        else
            write.real(rides.real(r, Kilo));
        const double kilo = rides.real(r, Kilo);
        while (answered.load(std::memory_order_acquire) <= i)
            std::this_thread::yield();
        if (workerError)
            std::rethrow_exception(workerError);
        const bool overlaps = overlapFlags[size_t(i)] != 0;
        write.text(kilo < 0 ? QByteArrayView(negative) : overlaps ? QByteArrayView(overlapping) : QByteArrayView());
        write.endRow();
    }
    write.finish();
    tx.commit();
}

void completeRideCheckList(const Db& ref) {
    Transaction tx(*ref);
    // Per route, the operator as the list holds it and the name, in the engine's form: each of the many rows then
    // costs a look-up and a few copies of bytes.
    struct Route {
        QByteArray operatorName; // cut to the list's width; empty: none
        QByteArray name;
    };
    const int operatorWidth = fieldWidth(kRideCheckList, QStringLiteral("SHOZOKU"));
    const int sectionWidth = fieldWidth(kRideCheckList, QStringLiteral("JOSHA_KUKAN"));
    QHash<QByteArray, Route> routes;
    {
        const QHash<QString, RouteNames> names = routeNamesByCode(ref);
        for (auto it = names.cbegin(); it != names.cend(); ++it) {
            const QByteArray op = it->operatorName.toUtf8();
            routes.insert(it.key().toUtf8(), {firstCharactersUtf8(op, operatorWidth).toByteArray(), it->name.toUtf8()});
        }
    }
    const QByteArray noOperator = QStringLiteral("■■■■■■■■").toUtf8();
    const QByteArray noName = QStringLiteral("■■■■").toUtf8();
    const QByteArray noRoute = QString::fromUtf16(kNoRouteRemark).toUtf8();
    // Rows are visited in their stored order; each row's new values follow from the row itself alone. They are
    // written several rows per statement, a route found keeping the row's remark.
    BatchWriter write(*ref,
                      QStringLiteral("UPDATE CFM_JOSHA SET SHOZOKU = v.column2, JOSHA_KUKAN = v.column3, "
                                     "BIKO = ifnull(v.column4, CFM_JOSHA.BIKO) FROM (VALUES "),
                      QStringLiteral("(?, ?, ?, ?)"), QStringLiteral(") AS v WHERE CFM_JOSHA.rowid = v.column1"));
    Statement& list = ref->cached(QStringLiteral("SELECT rowid, ROSEN_CD, JOSHA_KUKAN FROM CFM_JOSHA"));
    QByteArray code;
    const Route* route = nullptr;
    QByteArray section;
    StatementScope scope(list);
    while (list.step()) {
        const QByteArrayView c = list.columnUtf8(1);
        if (!route || c != code) {
            code = c.toByteArray();
            const auto at = routes.constFind(code);
            route = at == routes.cend() ? nullptr : &*at;
        }
        section.clear();
        section += route ? route->name : noName;
        section += '(';
        section += list.columnUtf8(2);
        section += ')';
        write.integer(list.columnInt(0));
        if (route)
            write.text(route->operatorName.isEmpty() ? QByteArrayView() : QByteArrayView(route->operatorName));
        else
            write.text(noOperator);
        write.copy(firstCharactersUtf8(section, sectionWidth));
        write.text(route ? QByteArrayView() : QByteArrayView(noRoute));
        write.endRow();
    }
    write.finish();
    tx.commit();
}

} // namespace tabi::tally
