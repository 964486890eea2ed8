#include "routes/journey.h"

#include "data/database.h"
#include "data/error.h"
#include "data/rules.h"
#include "data/textcodec.h"
#include "netmap/ridden.h"
#include "routes/distancepick.h"

#include <QHash>
#include <QSet>

namespace tabi::routes {

using netroute::Journey;
using netroute::Leg;
using netroute::Stretch;

QString kiloText(double kilo) {
    return QString::number(kilo, 'f', 1);
}

QString RecordResult::summary() const {
    return QStringLiteral("新規 %1 km、完乗 %2 路線").arg(kiloText(newKilo)).arg(completedRoutes);
}

void countNewKilo(Journey& journey, const network::Network& network, Database& per) {
    QHash<int, netmap::IntervalSet> ridden;
    for (Leg& leg : journey.legs) {
        auto it = ridden.find(leg.route);
        if (it == ridden.end()) {
            const network::Route& route = network.routes[leg.route];
            it = ridden.insert(leg.route, netmap::riddenStretches(route, netmap::loadRouteRides(per, route.code)));
        }
        double fresh = 0;
        for (const Stretch& s : leg.stretches) {
            fresh += netmap::overlapOf(*it, s.from, s.to).fresh;
            it->add(s.from, s.to);
        }
        leg.newKilo = fresh;
    }
}

QString legSection(const Leg& leg, const network::Network& network) {
    return sectionText(leg.fromName, leg.toName, leg.kilo, network.routes[leg.route].length);
}

namespace {

double ridesSum(Database& per, const QString& code) {
    Statement& s = per.cached(QStringLiteral("SELECT TOTAL(JOSHA_KILO) FROM JOSHA WHERE ROSEN_CD = ?"));
    StatementScope scope(s);
    s.bindText(1, code);
    return s.step() ? s.columnDouble(0) : 0;
}

bool complete(double length, double ridden) {
    return rules::isComplete(rules::ratio(length, ridden));
}

} // namespace

RecordResult recordJourney(Database& per, const network::Network& network, const Journey& journey, const QDate& day,
                           bool wholeKilo) {
    RecordResult result;
    const QString stamp = rules::dayTimestamp(day);
    const QString dayText = day.toString(QStringLiteral("yyyy-MM-dd"));
    Transaction transaction(per);
    QHash<QString, double> before; // ridden sum of each route touched, before this journey
    for (const Leg& leg : journey.legs) {
        const network::Route& route = network.routes[leg.route];
        if (!before.contains(route.code))
            before.insert(route.code, ridesSum(per, route.code));
        const double kilo = wholeKilo ? leg.kilo : leg.newKilo;
        result.newKilo += leg.newKilo;

        Statement find(per, QStringLiteral("SELECT JOSHA_KUKAN, JOSHA_KILO FROM JOSHA "
                                           "WHERE ROSEN_CD = ? AND JOSHA_DATE = ?"));
        find.bindText(1, route.code);
        find.bindText(2, stamp);
        if (!find.step()) {
            find.reset();
            Statement insert(per, QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                                                 "VALUES (?, ?, ?, ?)"));
            insert.bindText(1, route.code);
            insert.bindText(2, stamp);
            insert.bindText(3, legSection(leg, network));
            insert.bindDouble(4, kilo);
            insert.step();
            ++result.inserted;
            continue;
        }
        netmap::Ride existing;
        existing.code = route.code;
        existing.day = dayText;
        existing.section = find.columnText(0);
        existing.kilo = find.columnDouble(1);
        find.reset();

        // Already inside that day's ride (the same journey recorded twice): nothing to add.
        const netmap::IntervalSet dayRide = netmap::riddenStretches(route, {existing});
        bool inside = true;
        for (const Stretch& s : leg.stretches)
            inside = inside && netmap::overlapOf(dayRide, s.from, s.to).nothingNew();
        if (inside) {
            ++result.unchanged;
            continue;
        }
        const double a = leg.stretches.first().from, b = leg.stretches.last().to;
        const netmap::SameDayMerge merge = netmap::mergeSameDay(route, existing, leg.fromName, a, leg.toName, b, kilo);
        if (!merge.ok())
            throw Error(QStringLiteral("%1 の %2 の乗車に %3 を加えられません。%4")
                            .arg(route.name, dayText, leg.section(), merge.why));
        Statement update(per, QStringLiteral("UPDATE JOSHA SET JOSHA_KUKAN = ?, JOSHA_KILO = ? "
                                             "WHERE ROSEN_CD = ? AND JOSHA_DATE = ?"));
        update.bindText(1, merge.section);
        update.bindDouble(2, merge.kilo);
        update.bindText(3, route.code);
        update.bindText(4, stamp);
        update.step();
        ++result.joined;
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const network::Route* route = network.route(it.key());
        const double length = route ? route->length : 0;
        if (!complete(length, it.value()) && complete(length, ridesSum(per, it.key())))
            ++result.completedRoutes;
    }
    transaction.commit();
    per.noteWrite();
    return result;
}

} // namespace tabi::routes
