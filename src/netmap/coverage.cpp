#include "netmap/coverage.h"

#include "data/database.h"
#include "data/error.h"
#include "data/rules.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>

static void initNetmapResource() {
    Q_INIT_RESOURCE(netmap);
}

namespace tabi::netmap {

namespace {

const QString kWholeMark = QStringLiteral("(全区間)");

bool isBlank(QChar c) {
    return c.isSpace() || c == QChar(0x3000);
}

QString trimmed(QStringView text) {
    qsizetype a = 0, b = text.size();
    while (a < b && isBlank(text[a]))
        ++a;
    while (b > a && isBlank(text[b - 1]))
        --b;
    return text.mid(a, b - a).toString();
}

} // namespace

void routeSpan(const Route& route, double& from, double& to) {
    if (!route.stations.isEmpty()) {
        from = route.firstPost();
        to = route.lastPost();
    } else if (!route.track.isEmpty()) {
        from = to = route.track.first().kilo;
        for (const TrackPoint& p : route.track) {
            from = std::min(from, p.kilo);
            to = std::max(to, p.kilo);
        }
    } else {
        from = 0;
        to = std::max(0.0, route.length);
    }
}

namespace {

// The posts of the stations of a name, first one first.
QVector<double> postsOf(const Route& route, const QString& name) {
    QVector<double> posts;
    const auto it = route.stationsByName.constFind(name);
    if (it == route.stationsByName.cend())
        return posts;
    posts.append(route.stations[*it].kilo);
    if (route.repeatedNames)
        for (int i = *it + 1; i < route.stations.size(); ++i)
            if (route.stations[i].name == name)
                posts.append(route.stations[i].kilo);
    return posts;
}

// One "start～end" stretch: false when it names no station of the route.
bool resolvePiece(const Route& route, QStringView piece, double kilo, IntervalSet::Part& out) {
    // "～" as the picker writes it; the wave dash is the same character decoded by another converter.
    qsizetype sep = piece.indexOf(QChar(0xFF5E));
    if (sep < 0)
        sep = piece.indexOf(QChar(0x301C));
    if (sep < 0)
        return false;
    const QString start = trimmed(piece.left(sep));
    const QString end = trimmed(piece.mid(sep + 1));
    const QVector<double> ends = end.isEmpty() ? QVector<double>() : postsOf(route, end);
    if (ends.isEmpty())
        return false;
    QVector<double> starts{0.0}; // no start picked: the picker counts from post 0
    if (!start.isEmpty()) {
        starts = postsOf(route, start);
        if (starts.isEmpty())
            return false;
    }
    double a = starts.first(), b = ends.first();
    const double want = std::abs(kilo);
    if ((starts.size() > 1 || ends.size() > 1) && want > 0) {
        // A loop's terminus: of the pairs that span the ride's kilometres the shortest, else the longest pair.
        const auto spans = [want](double d) { return d >= want - 0.05; };
        for (double s : starts)
            for (double e : ends) {
                const double d = std::abs(e - s), bestD = std::abs(b - a);
                const bool better = spans(d) != spans(bestD) ? spans(d) : (spans(d) ? d < bestD : d > bestD);
                if (better) {
                    a = s;
                    b = e;
                }
            }
    }
    out = {std::min(a, b), std::max(a, b)};
    return true;
}

} // namespace

Section resolveSection(const Route* route, const QString& text, double kilo) {
    Section s;
    if (!route) {
        s.status = SectionStatus::UnknownRoute;
        return s;
    }
    QString t = trimmed(text);
    // The full-width parentheses are the same mark as typed on another system.
    if (t.endsWith(kWholeMark) || t.endsWith(QStringLiteral("（全区間）"))) {
        s.status = SectionStatus::WholeRoute;
        routeSpan(*route, s.from, s.to);
        s.parts = {{s.from, s.to}};
        return s;
    }
    const QList<QStringView> pieces = QStringView(t).split(QChar(0x3001)); // "、"
    for (QStringView piece : pieces) {
        IntervalSet::Part part{};
        // The kilometres tell a loop's posts apart only when they belong to one stretch.
        if (!resolvePiece(*route, piece, pieces.size() == 1 ? kilo : 0, part)) {
            s.parts.clear();
            return s;
        }
        s.parts.append(part);
    }
    s.status = SectionStatus::Stretch;
    s.from = s.parts.first().from;
    s.to = s.parts.first().to;
    for (const IntervalSet::Part& p : std::as_const(s.parts)) {
        s.from = std::min(s.from, p.from);
        s.to = std::max(s.to, p.to);
    }
    return s;
}

QVector<Ride> loadRides(Database& per) {
    QVector<Ride> rides;
    // Read in the table's own order and sorted here: walking the date index would look every row up again.
    Statement s(per, QStringLiteral("SELECT ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO FROM JOSHA"));
    StatementScope scope(s);
    while (s.step()) {
        Ride r;
        r.code = s.columnText(0);
        r.day = rules::dateText(s.columnText(1));
        r.section = s.columnText(2);
        r.kilo = s.columnDouble(3);
        rides.append(std::move(r));
    }
    std::stable_sort(rides.begin(), rides.end(), [](const Ride& a, const Ride& b) {
        const int byDay = a.day.compare(b.day);
        return byDay != 0 ? byDay < 0 : a.code < b.code;
    });
    return rides;
}

bool Filter::takesDay(const QString& day) const {
    if (!hasPeriod())
        return true;
    if (day.isEmpty())
        return false;
    return (from.isEmpty() || day >= from) && (to.isEmpty() || day <= to);
}

bool Filter::takesRoute(const QString& code, const Route* route) const {
    if (!classification.isEmpty() && !code.startsWith(classification))
        return false;
    if (!category.isEmpty() && (!route || route->category != category))
        return false;
    return true;
}

Coverage computeCoverage(const Network& network, const QVector<Ride>& rides, const Filter& filter) {
    Coverage cov;
    cov.routes.resize(network.routes.size());
    for (int i = 0; i < network.routes.size(); ++i)
        cov.routes[i].included = filter.takesRoute(network.routes[i].code, &network.routes[i]);
    for (const Ride& ride : rides) {
        if (!filter.takesDay(ride.day))
            continue;
        const auto it = network.routeByCode.constFind(ride.code);
        const Route* route = it == network.routeByCode.cend() ? nullptr : &network.routes[*it];
        if (!filter.takesRoute(ride.code, route))
            continue;
        ++cov.rides;
        const Section sec = resolveSection(route, ride.section, ride.kilo);
        if (sec.status == SectionStatus::UnknownRoute) {
            ++cov.unknownRoute;
            continue;
        }
        RouteCoverage& rc = cov.routes[*it];
        if (!sec.found()) {
            ++cov.unknownStation;
            rc.unplacedKilo += ride.kilo;
            continue;
        }
        for (const IntervalSet::Part& p : sec.parts) {
            if (ride.kilo < 0)
                rc.ridden.subtract(p.from, p.to);
            else
                rc.ridden.add(p.from, p.to);
        }
        if (!route->drawable())
            ++cov.noPosition;
    }
    return cov;
}

QString notDrawnText(const Coverage& c) {
    if (c.notDrawn() == 0)
        return QStringLiteral("乗車 %1 件をすべて地図に描きました。").arg(c.rides);
    QStringList why;
    if (c.unknownStation)
        why << QStringLiteral("乗車区間の駅が路線にない %1 件").arg(c.unknownStation);
    if (c.unknownRoute)
        why << QStringLiteral("路線が登録されていない %1 件").arg(c.unknownRoute);
    if (c.noPosition)
        why << QStringLiteral("路線の位置がない %1 件").arg(c.noPosition);
    return QStringLiteral("乗車 %1 件のうち %2 件は地図に描いていません(%3)。キロは集計に含みます。")
        .arg(c.rides)
        .arg(c.notDrawn())
        .arg(why.join(QStringLiteral("、")));
}

const QStringList& prefectureNames() {
    static const QStringList names = [] {
        initNetmapResource();
        QFile f(QStringLiteral(":/netmap/prefectures.txt"));
        QStringList out;
        if (f.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n'))
                if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
                    out << line.trimmed();
        if (out.size() != 47)
            throw Error(QStringLiteral("都道府県の一覧が読めません(%1 件)。").arg(out.size()));
        return out;
    }();
    return names;
}

QVector<PrefecturePiece> prefecturePieces(const Route& route) {
    QVector<PrefecturePiece> pieces;
    auto put = [&](double a, double b, int ken) {
        if (!(a < b))
            return;
        if (!pieces.isEmpty() && pieces.last().ken == ken && pieces.last().to == a)
            pieces.last().to = b;
        else
            pieces.append({a, b, ken});
    };
    const QVector<Station>& st = route.stations;
    for (int i = 0; i + 1 < st.size(); ++i) {
        const double a = st[i].kilo, b = st[i + 1].kilo;
        const int k0 = st[i].ken, k1 = st[i + 1].ken;
        if (k0 == 0 && k1 == 0)
            continue;
        if (k0 == k1 || k1 == 0) {
            put(a, b, k0);
        } else if (k0 == 0) {
            put(a, b, k1);
        } else {
            // The border lies somewhere between the two stations: each prefecture takes half the stretch.
            const double mid = (a + b) / 2;
            put(a, mid, k0);
            put(mid, b, k1);
        }
    }
    return pieces;
}

QVector<PrefectureFigures> prefectureFigures(const Network& network, const Coverage& coverage) {
    const QStringList& names = prefectureNames();
    QVector<PrefectureFigures> out(47);
    for (int k = 0; k < 47; ++k) {
        out[k].ken = k + 1;
        out[k].name = names[k];
    }
    std::array<double, 48> length{}, ridden{};
    for (int i = 0; i < network.routes.size() && i < coverage.routes.size(); ++i) {
        const RouteCoverage& rc = coverage.routes[i];
        if (!rc.included)
            continue;
        const Route& route = network.routes[i];
        const QVector<PrefecturePiece> pieces = prefecturePieces(route);
        if (pieces.isEmpty())
            continue;
        double span = 0;
        for (const PrefecturePiece& p : pieces) {
            length[p.ken] = 0;
            ridden[p.ken] = 0;
        }
        for (const PrefecturePiece& p : pieces) {
            length[p.ken] += p.to - p.from;
            ridden[p.ken] += rc.ridden.measureWithin(p.from, p.to);
            span += p.to - p.from;
        }
        for (const PrefecturePiece& p : pieces) {
            if (length[p.ken] < 0)
                continue; // this prefecture of the route is added already
            const double len = length[p.ken];
            const double r = std::clamp(ridden[p.ken] + rc.unplacedKilo * len / span, 0.0, len);
            PrefectureFigures& f = out[p.ken - 1];
            f.riddenKilo += r;
            if (!route.abolished)
                f.routeKilo += len;
            length[p.ken] = -1;
        }
    }
    for (PrefectureFigures& f : out)
        f.ratio = rules::ratio(f.routeKilo, f.riddenKilo);
    return out;
}

} // namespace tabi::netmap
