#pragma once

#include "network/network.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Route finding over the station graph of the network: a node per station identity (network::Node), an edge
// per pair of consecutive stations of a route with the kilometres between their posts.
namespace tabi::netroute {

// The category of the high-speed lines (KUBUN "新幹線").
inline const QString kShinkansenCategory = QStringLiteral("13");

struct Options {
    bool avoidShinkansen = false;
    QStringList avoidRoutes; // ROSEN_KANJI or ROSEN_CD of routes left out
    bool withAbolished = false;
    // What a change of route weighs, in kilometres ridden: riders take the way with fewer changes over a way a
    // little shorter through many (東京～新大阪 on 東海道新幹線, not over five conventional lines and private
    // railways that add up a few kilometres less). 0 compares kilometres alone (changes only break ties).
    double changeKm = 12.0;
};

// A stretch of a route between two posts, in travelling order (from may be above to).
struct Stretch {
    double from = 0, to = 0;
    double length() const { return from < to ? to - from : from - to; }
};

// The part of a journey on one route.
struct Leg {
    int route = -1; // Network::routes
    QString code;   // ROSEN_CD
    QString name;   // ROSEN_KANJI
    int fromNode = -1, toNode = -1;
    QString fromName, toName; // the route's own names of the two stations
    // Usually one; a loop route passed over its seam (its first station is also its last) gives two.
    QVector<Stretch> stretches;
    double kilo = 0;    // from the posts
    double newKilo = 0; // of those, the kilometres not ridden before (filled by whoever knows the rides)

    QString section() const { return fromName + QChar(0xFF5E) + toName; }
};

struct Journey {
    bool found = false;
    // When not found: which part (0 = from the start to the first via or the end) has no path.
    int unreachablePart = -1;
    QVector<Leg> legs;
    double kilo() const;
    double newKilo() const;
};

class RouteFinder {
public:
    explicit RouteFinder(const network::Network& network);

    const network::Network& network() const { return m_net; }

    // The shortest journey by route kilometres through the given nodes in order (start, vias..., end). Ties
    // go to fewer changes of route. A via equal to the node before it adds nothing.
    Journey find(const QVector<int>& nodes, const Options& options = {}) const;

private:
    bool usable(int route, const Options& options) const;
    bool searchThrough(int from, const QVector<int>& targets, const QVector<char>& usableRoute, qint64 changeMetres,
                       QVector<int>& walk, int& unreachablePart) const;

    const network::Network& m_net;
    QVector<int> m_firstStop;          // per route: global index of its first station
    QVector<network::StopRef> m_stops; // global stop index -> route and station
};

} // namespace tabi::netroute
