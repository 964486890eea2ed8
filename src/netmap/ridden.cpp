#include "netmap/ridden.h"

#include "data/database.h"
#include "data/rules.h"
#include "data/textcodec.h"

#include <algorithm>
#include <cmath>

namespace tabi::netmap {

namespace {

const QString kWholeMark = QStringLiteral("(全区間)");
const QString kWholeMarkWide = QStringLiteral("（全区間）");
const QChar kTilde(0xFF5E);
const QChar kJoin(0x3001); // "、"

// The first post of a station name, or NaN.
double postOf(const Route& route, const QString& name) {
    const auto it = route.stationsByName.constFind(name);
    return it == route.stationsByName.cend() ? std::nan("") : route.stations[*it].kilo;
}

} // namespace

QVector<Ride> loadRouteRides(Database& per, const QString& code) {
    QVector<Ride> rides;
    Statement s(per, QStringLiteral("SELECT JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO FROM JOSHA WHERE ROSEN_CD = ? "
                                    "ORDER BY JOSHA_DATE"));
    StatementScope scope(s);
    s.bindText(1, code);
    while (s.step()) {
        Ride r;
        r.code = code;
        r.day = rules::dateText(s.columnText(0));
        r.section = s.columnText(1);
        r.kilo = s.columnDouble(2);
        rides.append(std::move(r));
    }
    return rides;
}

IntervalSet riddenStretches(const Route& route, const QVector<Ride>& rides, const QString& leaveOutDay) {
    IntervalSet ridden;
    for (const Ride& ride : rides) {
        if (ride.code != route.code || (!leaveOutDay.isEmpty() && ride.day == leaveOutDay))
            continue;
        const Section sec = resolveSection(&route, ride.section, ride.kilo);
        for (const IntervalSet::Part& p : sec.parts) {
            if (ride.kilo < 0)
                ridden.subtract(p.from, p.to);
            else
                ridden.add(p.from, p.to);
        }
    }
    return ridden;
}

QVector<bool> riddenStations(const Route& route, const IntervalSet& ridden) {
    QVector<bool> marks(route.stations.size(), false);
    for (int i = 0; i < route.stations.size(); ++i) {
        const double k = route.stations[i].kilo;
        for (const IntervalSet::Part& p : ridden.parts())
            if (k >= p.from - kKiloEpsilon && k <= p.to + kKiloEpsilon) {
                marks[i] = true;
                break;
            }
    }
    return marks;
}

Overlap overlapOf(const IntervalSet& ridden, double from, double to) {
    Overlap o;
    o.whole = std::abs(to - from);
    double fresh = 0;
    for (const IntervalSet::Part& gap : ridden.gapsWithin(from, to))
        fresh += gap.to - gap.from;
    // Sums of differences leave traces of rounding: what is within a hair of nothing or of the whole is that.
    if (fresh <= kKiloEpsilon)
        fresh = 0;
    else if (o.whole - fresh <= kKiloEpsilon)
        fresh = o.whole;
    o.fresh = fresh;
    return o;
}

double overlapKilo(const Overlap& overlap, OverlapChoice choice) {
    switch (choice) {
    case OverlapChoice::NewOnly:
        return overlap.fresh;
    case OverlapChoice::Whole:
        return overlap.whole;
    case OverlapChoice::Nothing:
        break;
    }
    return 0;
}

SameDayMerge mergeSameDay(const Route& route, const Ride& existing, const QString& startName, double a,
                          const QString& endName, double b, double addedKilo) {
    SameDayMerge m;
    if (existing.kilo < 0) {
        m.why = QStringLiteral("この日の乗車 「%1」 は廃止区間の記録(乗車キロがマイナス)なので、区間を加えられません。")
                    .arg(existing.section);
        return m;
    }
    QString text = existing.section.trimmed();
    if (text.endsWith(kWholeMark))
        text.chop(kWholeMark.size());
    else if (text.endsWith(kWholeMarkWide))
        text.chop(kWholeMarkWide.size());
    QStringList pieces = text.isEmpty() ? QStringList() : text.split(kJoin);
    const QString added = startName + kTilde + endName;
    bool chained = false;
    if (!pieces.isEmpty()) {
        // The new section continues the last stretch in the same direction: one longer stretch.
        const QString last = pieces.last();
        const qsizetype sep = last.indexOf(kTilde);
        if (sep >= 0) {
            const QString lastStart = last.left(sep).trimmed();
            const QString lastEnd = last.mid(sep + 1).trimmed();
            const double p0 = lastStart.isEmpty() ? 0.0 : postOf(route, lastStart);
            const double p1 = postOf(route, lastEnd);
            const bool sameWay = (p1 - p0) * (b - a) > 0;
            if (lastEnd == startName && sameWay && !lastStart.isEmpty() && lastStart != endName) {
                pieces.last() = lastStart + kTilde + endName;
                chained = true;
            }
        }
    }
    if (!chained)
        pieces.append(added);
    QString joined = pieces.join(kJoin);

    // The day's stretches together, to see whether they cover the route.
    IntervalSet day;
    for (const IntervalSet::Part& p : resolveSection(&route, existing.section, existing.kilo).parts)
        day.add(p.from, p.to);
    day.add(a, b);
    double spanFrom = 0, spanTo = 0;
    routeSpan(route, spanFrom, spanTo);
    if (spanTo > spanFrom && day.measureWithin(spanFrom, spanTo) >= spanTo - spanFrom - kWholeRouteMargin)
        joined += kWholeMark;

    if (text::toCp932(joined).size() > kSectionTextBytes) {
        m.why = QStringLiteral("区間をつなぐと 「%1」 となり、乗車区間に入る長さ(全角25文字)を超えます。").arg(joined);
        return m;
    }
    m.section = joined;
    m.kilo = existing.kilo + addedKilo;
    return m;
}

} // namespace tabi::netmap
