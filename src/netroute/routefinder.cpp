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

// The search of find(): Dijkstra over (part, station of a route) states. Reaching the place of targets[part] moves
// on to the next part at no cost and on the same station, so riding on through a via is no change.
bool RouteFinder::searchThrough(int from, const QVector<int>& targets, const QVector<char>& usableRoute,
                                qint64 changeMetres, QVector<int>& walk, int& unreachablePart) const {
    const int n = int(m_stops.size());
    const int parts = int(targets.size());
    QVector<Cost> cost(qsizetype(n) * parts);
    QVector<int> prev(cost.size(), -1);
    QVector<char> done(cost.size(), 0);
    QVector<char> partReached(parts, 0);
    using Item = std::pair<Cost, int>;
    auto later = [](const Item& a, const Item& b) { return b.first < a.first; };
    std::priority_queue<Item, std::vector<Item>, decltype(later)> queue(later);
    auto stopOf = [this](const StopRef& s) { return m_firstStop[s.route] + s.station; };
    auto offer = [&](int state, Cost c, int before) {
        if (c < cost[state]) {
            cost[state] = c;
            prev[state] = before;
            queue.push({c, state});
        }
    };
    for (const StopRef& s : m_net.nodes[from].stops)
        if (usableRoute[s.route])
            offer(stopOf(s), Cost{0, 0}, -1);
    while (!queue.empty()) {
        const auto [c, state] = queue.top();
        queue.pop();
        if (done[state])
            continue;
        done[state] = 1;
        const int part = state / n, stop = state % n;
        partReached[part] = 1;
        const StopRef here = m_stops[stop];
        const Route& route = m_net.routes[here.route];
        const int node = route.stations[here.station].node;
        if (node == targets[part]) {
            if (part + 1 == parts) {
                walk.clear();
                for (int s = state; s >= 0; s = prev[s])
                    if (walk.isEmpty() || walk.first() != s % n)
                        walk.prepend(s % n);
                return true;
            }
            offer(state + n, c, state); // on to the next part, where it stands
        }
        for (int step : {-1, 1}) {
            const int next = here.station + step;
            if (next < 0 || next >= route.stations.size())
                continue;
            const double km = route.stations[next].kilo - route.stations[here.station].kilo;
            offer(state + step, Cost{c.metres + metres(km), c.changes}, state);
        }
        for (const StopRef& other : m_net.nodes[node].stops) {
            if (!usableRoute[other.route])
                continue;
            // The same route again at one place is the seam of a loop: no change.
            const bool change = other.route != here.route;
            offer(part * n + stopOf(other), Cost{c.metres + (change ? changeMetres : 0), c.changes + (change ? 1 : 0)},
                  state);
        }
    }
    unreachablePart = 0;
    while (unreachablePart + 1 < parts && partReached[unreachablePart + 1])
        ++unreachablePart;
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

    // The whole journey as a walk over the stations of the routes, found in one search over every part at once: a
    // state is a station of a route and how many of the stations asked for it has reached, so that the way to a
    // via is chosen for the whole journey (東京～新宿～松本 on 中央本線, not on a subway to 新宿 and beyond).
    QVector<int> targets;
    for (int i = 1; i < nodes.size(); ++i)
        if (nodes[i] != (targets.isEmpty() ? nodes[0] : targets.last()))
            targets.append(nodes[i]);
    QVector<int> walk;
    if (!targets.isEmpty() && !searchThrough(nodes[0], targets, usableRoute, metres(std::max(0.0, options.changeKm)),
                                             walk, journey.unreachablePart))
        return journey;
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
