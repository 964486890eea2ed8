#include "netmap/network.h"

#include "data/database.h"
#include "data/rules.h"
#include "netmap/projection.h"

#include <algorithm>

namespace tabi::netmap {

bool insideMapArea(double lat, double lon) {
    // Hateruma (24.0 N) and Okinotori (20.4 N) to Etorofu (45.6 N); Yonaguni (122.9 E) to Minamitori (154.0 E).
    return lat >= 20.0 && lat <= 46.5 && lon >= 122.0 && lon <= 154.5;
}

void finishRoute(Route& route) {
    route.stationsByName.clear();
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

void finishNetwork(Network& network) {
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

} // namespace

Network loadNetwork(Database& ref) {
    return loadNetwork(ref, QString());
}

Network loadNetwork(Database& ref, const QString& onlyRoute) {
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
        Statement s(ref,
                    QStringLiteral("SELECT e.ROSEN_CD, e.KILO, e.EKI_KANJI, i.LATITUDE, i.LONGITUDE, i.KEN_CD "
                                   "FROM EKI e LEFT JOIN EKI_ICHI i ON i.ROSEN_CD = e.ROSEN_CD AND i.KILO = e.KILO "
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
            route->stations.append(std::move(st));
        }
    }
    {
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
    finishNetwork(net);
    return net;
}

} // namespace tabi::netmap
