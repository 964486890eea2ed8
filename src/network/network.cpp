#include "network/network.h"

#include "data/database.h"
#include "data/rules.h"
#include "network/projection.h"

#include <algorithm>
#include <cmath>

namespace tabi::network {

bool insideMapArea(double lat, double lon) {
    // Hateruma (24.0 N) and Okinotori (20.4 N) to Etorofu (45.6 N); Yonaguni (122.9 E) to Minamitori (154.0 E).
    return lat >= 20.0 && lat <= 46.5 && lon >= 122.0 && lon <= 154.5;
}

void finishRoute(Route& route) {
    route.stationsByName.clear();
    route.stationsByName.reserve(route.stations.size());
    route.repeatedNames = false;
    // The first station of a name wins (a loop that ends where it began names its first station twice).
    for (int i = int(route.stations.size()) - 1; i >= 0; --i) {
        if (route.stationsByName.contains(route.stations[i].name))
            route.repeatedNames = true;
        route.stationsByName.insert(route.stations[i].name, i);
    }
    if (route.track.isEmpty())
        for (const Station& s : route.stations)
            if (s.positioned)
                route.track.append({s.kilo, s.xy});
    if (route.track.size() == 1)
        route.track.clear(); // one point is no line
    QRectF b;
    if (!route.track.isEmpty()) {
        double x0 = route.track[0].xy.x(), x1 = x0, y0 = route.track[0].xy.y(), y1 = y0;
        for (const TrackPoint& p : route.track) {
            x0 = std::min(x0, p.xy.x());
            x1 = std::max(x1, p.xy.x());
            y0 = std::min(y0, p.xy.y());
            y1 = std::max(y1, p.xy.y());
        }
        b = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    }
    route.bounds = b;
}

void assignNodes(Network& network) {
    network.nodes.clear();
    QHash<qint64, int> byId;
    byId.reserve(network.routes.size() * 8);
    QHash<QString, QVector<int>> byName;
    bool named = false; // byName holds every node (built only once a station without a code needs it)
    auto newNode = [&](const Station& st) {
        Node n;
        n.name = st.name;
        n.kana = st.kana;
        n.xy = st.xy;
        n.positioned = st.positioned;
        network.nodes.append(std::move(n));
        const int index = int(network.nodes.size()) - 1;
        if (named)
            byName[st.name].append(index);
        return index;
    };
    auto nameAll = [&] {
        if (named)
            return;
        named = true;
        byName.reserve(network.nodes.size());
        for (int k = 0; k < network.nodes.size(); ++k)
            byName[network.nodes[k].name].append(k);
    };
    auto join = [&](Station& st, int node, int r, int i) {
        st.node = node;
        Node& n = network.nodes[node];
        n.stops.append({r, i});
        if (n.kana.isEmpty())
            n.kana = st.kana;
        if (!n.positioned && st.positioned) {
            n.xy = st.xy;
            n.positioned = true;
        }
    };
    QVector<char> routePositioned(network.routes.size(), 0);
    for (int r = 0; r < network.routes.size(); ++r)
        for (const Station& st : network.routes[r].stations)
            routePositioned[r] = routePositioned[r] || st.positioned;
    // Three passes, so that a station's place does not depend on the order of the routes: coded stations first,
    // then the positioned ones by distance, then those without a position by name alone.
    for (int pass = 0; pass < 3; ++pass) {
        for (int r = 0; r < network.routes.size(); ++r) {
            QVector<Station>& stations = network.routes[r].stations;
            for (int i = 0; i < stations.size(); ++i) {
                Station& st = stations[i];
                if (pass == 0) {
                    st.node = -1;
                    if (st.stationId == 0)
                        continue;
                    auto it = byId.constFind(st.stationId);
                    const int node = it != byId.cend() ? *it : newNode(st);
                    byId.insert(st.stationId, node);
                    join(st, node, r, i);
                } else if (pass == 1) {
                    if (st.node >= 0 || !st.positioned)
                        continue;
                    nameAll();
                    int node = -1;
                    for (int candidate : byName.value(st.name)) {
                        const Node& n = network.nodes[candidate];
                        const QPointF d = n.xy - st.xy;
                        if (n.positioned && std::hypot(d.x(), d.y()) <= kSameStationKm) {
                            node = candidate;
                            break;
                        }
                    }
                    join(st, node >= 0 ? node : newNode(st), r, i);
                } else {
                    if (st.node >= 0)
                        continue;
                    nameAll();
                    // Only a route with no positions at all (one the user added) is placed by names alone; an
                    // unplaced station of a placed route may be anything (a name the source lacks a place for).
                    const QVector<int> candidates = byName.value(st.name);
                    const bool byNameAlone = !routePositioned[r] && candidates.size() == 1;
                    join(st, byNameAlone ? candidates.first() : newNode(st), r, i);
                }
            }
        }
    }
}

void finishNetwork(Network& network, bool places) {
    network.routeByCode.clear();
    network.positionedStations = 0;
    QRectF all;
    for (int i = 0; i < network.routes.size(); ++i) {
        Route& r = network.routes[i];
        finishRoute(r);
        network.routeByCode.insert(r.code, i);
        for (const Station& s : r.stations)
            network.positionedStations += s.positioned ? 1 : 0;
        if (r.drawable())
            all = all.isNull() ? r.bounds : all.united(r.bounds);
    }
    network.bounds = all;
    if (places)
        assignNodes(network);
}

namespace {

// The route of rows that come ordered by route code: looked up once per run of one code; null for a code
// MASTER lacks.
struct RouteOfRows {
    explicit RouteOfRows(Network& network) : net(network) {}

    Network& net;
    QString lastCode;
    Route* route = nullptr;

    Route* operator()(const QString& code) {
        if (code != lastCode) {
            const auto it = net.routeByCode.constFind(code);
            route = it == net.routeByCode.cend() ? nullptr : &net.routes[*it];
            lastCode = code;
        }
        return route;
    }
};

Network load(Database& ref, const QString& onlyRoute, bool withTrack, bool places = true);

} // namespace

Network loadNetwork(Database& ref) {
    return load(ref, QString(), true);
}

Network loadNetwork(Database& ref, const QString& onlyRoute) {
    return load(ref, onlyRoute, true);
}

Network loadStations(Database& ref) {
    return load(ref, QString(), false);
}

Network loadRouteStations(Database& ref) {
    return load(ref, QString(), false, false);
}

namespace {

Network load(Database& ref, const QString& onlyRoute, bool withTrack, bool places) {
    Network net;
    const bool one = !onlyRoute.isNull();
    // Each statement reads every route, or the one route given.
    auto bindRoute = [&](Statement& s) {
        if (one)
            s.bindText(1, onlyRoute);
    };
    {
        Statement s(ref, QStringLiteral("SELECT ROSEN_CD, ROSEN_KANJI, KBN_CD, KILO, HAISHI_DATE FROM MASTER %1"
                                        "ORDER BY ROSEN_CD")
                             .arg(one ? QStringLiteral("WHERE ROSEN_CD = ? ") : QString()));
        StatementScope scope(s);
        bindRoute(s);
        while (s.step()) {
            Route r;
            r.code = s.columnText(0);
            r.name = s.columnText(1);
            r.category = s.columnText(2);
            r.length = s.columnDouble(3);
            r.abolished = rules::isAbolished(rules::dateText(s.columnText(4)));
            net.routeByCode.insert(r.code, int(net.routes.size()));
            net.routes.append(std::move(r));
        }
    }
    {
        // Stations come by route and post, as every other reader of EKI takes them.
        Statement s(ref, QStringLiteral("SELECT e.ROSEN_CD, e.KILO, e.EKI_KANJI, i.LATITUDE, i.LONGITUDE, i.KEN_CD, "
                                        "e.EKI_KANA, d.STATION_ID FROM EKI e "
                                        "LEFT JOIN EKI_ICHI i ON i.ROSEN_CD = e.ROSEN_CD AND i.KILO = e.KILO "
                                        "LEFT JOIN EKI_ID d ON d.ROSEN_CD = e.ROSEN_CD AND d.KILO = e.KILO "
                                        "%1ORDER BY e.ROSEN_CD, e.KILO")
                             .arg(one ? QStringLiteral("WHERE e.ROSEN_CD = ? ") : QString()));
        StatementScope scope(s);
        bindRoute(s);
        RouteOfRows routeOf(net);
        while (s.step()) {
            Route* const route = routeOf(s.columnText(0));
            if (!route)
                continue; // stations of a route that MASTER lacks draw nothing
            Station st;
            st.kilo = s.columnDouble(1);
            st.name = s.columnText(2);
            if (!s.columnIsNull(3) && !s.columnIsNull(4)) {
                st.lat = s.columnDouble(3);
                st.lon = s.columnDouble(4);
                st.positioned = insideMapArea(st.lat, st.lon);
                if (st.positioned)
                    st.xy = project(st.lat, st.lon);
            }
            const qint64 ken = s.columnIsNull(5) ? 0 : s.columnInt(5);
            st.ken = ken >= 1 && ken <= 47 ? int(ken) : 0;
            st.kana = s.columnText(6);
            st.stationId = s.columnIsNull(7) ? 0 : s.columnInt(7);
            route->stations.append(std::move(st));
        }
    }
    if (withTrack) {
        Statement s(ref, QStringLiteral("SELECT ROSEN_CD, KILO, LATITUDE, LONGITUDE FROM ROSEN_SEN "
                                        "%1ORDER BY ROSEN_CD, SEQ")
                             .arg(one ? QStringLiteral("WHERE ROSEN_CD = ? ") : QString()));
        StatementScope scope(s);
        bindRoute(s);
        RouteOfRows routeOf(net);
        while (s.step()) {
            Route* const route = routeOf(s.columnText(0));
            if (!route || s.columnIsNull(2) || s.columnIsNull(3))
                continue;
            const double lat = s.columnDouble(2), lon = s.columnDouble(3);
            if (!insideMapArea(lat, lon))
                continue;
            route->track.append({s.columnDouble(1), project(lat, lon)});
        }
    }
    finishNetwork(net, places);
    return net;
}

} // namespace

} // namespace tabi::network
