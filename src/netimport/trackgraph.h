#pragma once

#include "netimport/netsource.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVector>

// The track of the whole data set as one graph: every station (the data set's station code) is one node,
// whatever lines it is on, and each two stations that follow each other on a line are joined by an edge
// measured along that line's own track. Service lines (rapid and local services over one corridor) add their
// edges too, so that a route built over the graph can take every station of its corridor.
namespace tabi::net {

struct GraphEdge {
    int a = 0, b = 0;        // station codes
    double km = 0;           // along the line's track (straight where the line has none near the stations)
    int line = 0;            // data-set line code
    bool open = true;        // both stations and the line in service
    QVector<GeoPoint> track; // from a to b
};

struct TrackGraph {
    QList<GraphEdge> edges;
    QHash<int, QList<int>> adjacent;  // station code -> edges at it
    QHash<int, QList<int>> lineOrder; // line code -> its stations in order (the open ones for a line in service)
    QHash<int, QList<int>> lineEdges; // line code -> its edges in order
    QHash<qint64, double> offTrack;   // (line << 32 | station) -> km from the line's track, where it is far off

    // The edge's far end from station s.
    int other(int edge, int s) const { return edges[edge].a == s ? edges[edge].b : edges[edge].a; }

    // Builds the graph of every line the source holds; doubts (stations off their track, jumps in a line's
    // order) go to report, naming the file and line.
    // openOrders: where given (the main/ folder's orders when the abolished lines are read from extra/), the
    // stations in service of each line in service, so that the routes in service are built from the same graph
    // whether or not the abolished lines are read.
    static TrackGraph build(const Source& source, QStringList& report, const QHash<int, QList<int>>& openOrders = {});
};

// Length of a polyline in kilometres.
double polylineKm(const QVector<GeoPoint>& points);

} // namespace tabi::net
