#include "netroute/routefinder.h"

#include <cmath>
#include <limits>
#include <queue>

namespace tabi::netroute {

using network::Network;
using network::Node;
using network::Route;
using network::StopRef;

double Journey::kilo() const {
    double sum = 0;
    for (const Leg& l : legs)
        sum += l.kilo;
    return sum;
}

double Journey::newKilo() const {
    double sum = 0;
    for (const Leg& l : legs)
        sum += l.newKilo;
    return sum;
}

RouteFinder::RouteFinder(const Network& network) : m_net(network) {
    m_firstStop.reserve(network.routes.size());
    for (int r = 0; r < network.routes.size(); ++r) {
        m_firstStop.append(int(m_stops.size()));
        for (int i = 0; i < network.routes[r].stations.size(); ++i)
            m_stops.append({r, i});
    }
}

bool RouteFinder::usable(int route, const Options& options) const {
    const Route& r = m_net.routes[route];
    if (r.abolished && !options.withAbolished)
        return false;
    if (options.avoidShinkansen && r.category == kShinkansenCategory)
        return false;
    for (const QString& avoided : options.avoidRoutes)
        if (avoided == r.name || avoided == r.code)
            return false;
    return true;
}

namespace {

// Kilometres are compared in whole metres, so that two paths whose posts add up to the same length tie.
qint64 metres(double km) {
    return std::llround(std::abs(km) * 1000);
}

struct Cost {
    qint64 metres = std::numeric_limits<qint64>::max();
    int changes = 0;
    bool operator<(const Cost& o) const { return metres != o.metres ? metres < o.metres : changes < o.changes; }
};

} // namespace

// Dijkstra over the stations of the routes (a node of the graph is one or more of them): riding to the next
// station of a route costs the kilometres between the posts; changing to another route at one place costs a
// change. boardedStop, when not negative, is the station the journey arrived on, which carries on without a
// change.
bool RouteFinder::search(int from, int to, int boardedStop, const QVector<char>& usableRoute,
                         QVector<int>& path) const {
    const int n = int(m_stops.size());
    QVector<Cost> cost(n);
    QVector<int> prev(n, -1);
    QVector<char> done(n, 0);
    using Item = std::pair<Cost, int>;
    auto later = [](const Item& a, const Item& b) { return b.first < a.first; };
    std::priority_queue<Item, std::vector<Item>, decltype(later)> queue(later);
    auto stopOf = [this](const StopRef& s) { return m_firstStop[s.route] + s.station; };
    auto offer = [&](int stop, Cost c, int before) {
        if (c < cost[stop]) {
            cost[stop] = c;
            prev[stop] = before;
            queue.push({c, stop});
        }
    };
    for (const StopRef& s : m_net.nodes[from].stops)
        if (usableRoute[s.route])
            offer(stopOf(s), Cost{0, boardedStop < 0 || stopOf(s) == boardedStop ? 0 : 1}, -1);
    while (!queue.empty()) {
        const auto [c, stop] = queue.top();
        queue.pop();
        if (done[stop])
            continue;
        done[stop] = 1;
        const StopRef here = m_stops[stop];
        const Route& route = m_net.routes[here.route];
        const int node = route.stations[here.station].node;
        if (node == to) {
            path.clear();
            for (int s = stop; s >= 0; s = prev[s])
                path.prepend(s);
            return true;
        }
        for (int step : {-1, 1}) {
            const int next = here.station + step;
            if (next < 0 || next >= route.stations.size())
                continue;
            const double km = route.stations[next].kilo - route.stations[here.station].kilo;
            offer(stop + step, Cost{c.metres + metres(km), c.changes}, stop);
        }
        for (const StopRef& other : m_net.nodes[node].stops) {
            if (!usableRoute[other.route])
                continue;
            offer(stopOf(other), Cost{c.metres, c.changes + (other.route == here.route ? 0 : 1)}, stop);
        }
    }
    return false;
}

Journey RouteFinder::find(const QVector<int>& nodes, const Options& options) const {
    Journey journey;
    if (nodes.size() < 2)
        return journey;
    for (int node : nodes)
        if (node < 0 || node >= m_net.nodes.size())
            return journey;
    QVector<char> usableRoute(m_net.routes.size());
    for (int r = 0; r < m_net.routes.size(); ++r)
        usableRoute[r] = usable(r, options) ? 1 : 0;

    // The whole journey as a walk over the stations of the routes.
    QVector<int> walk;
    for (int part = 0; part + 1 < nodes.size(); ++part) {
        if (nodes[part] == nodes[part + 1])
            continue;
        QVector<int> path;
        if (!search(nodes[part], nodes[part + 1], walk.isEmpty() ? -1 : walk.last(), usableRoute, path)) {
            journey.unreachablePart = part;
            return journey;
        }
        if (!walk.isEmpty() && walk.last() == path.first())
            path.removeFirst();
        walk += path;
    }
    journey.found = true;

    // Cut the walk into legs, one per route ridden; a change at one place to the same route (the seam of a
    // loop) keeps the leg.
    Leg* leg = nullptr;
    int lastStation = -1, lastStep = 0;
    for (int k = 0; k + 1 < walk.size(); ++k) {
        const StopRef a = m_stops[walk[k]], b = m_stops[walk[k + 1]];
        const Route& route = m_net.routes[a.route];
        if (a.route != b.route) {
            leg = nullptr;
            continue;
        }
        if (std::abs(a.station - b.station) != 1)
            continue; // the seam of a loop: the same place at both ends
        const double fromPost = route.stations[a.station].kilo, toPost = route.stations[b.station].kilo;
        const int direction = b.station - a.station;
        // Turning back on a route (through a via) starts a new leg, so each leg's section reads one way.
        if (!leg || leg->route != a.route || (lastStation == a.station && direction != lastStep)) {
            journey.legs.append(Leg{});
            leg = &journey.legs.last();
            leg->route = a.route;
            leg->code = route.code;
            leg->name = route.name;
            leg->fromNode = route.stations[a.station].node;
            leg->fromName = route.stations[a.station].name;
            lastStation = -1;
        }
        if (lastStation == a.station)
            leg->stretches.last().to = toPost;
        else
            leg->stretches.append({fromPost, toPost});
        lastStation = b.station;
        lastStep = direction;
        leg->kilo += std::abs(toPost - fromPost);
        leg->toNode = route.stations[b.station].node;
        leg->toName = route.stations[b.station].name;
    }
    return journey;
}

} // namespace tabi::netroute
