#pragma once

#include <QHash>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>
#include <memory>

namespace tabi {
class Database;
}

// The national network read once into memory for everything that draws, routes or exports it: every route of
// MASTER with its stations (EKI, positioned through EKI_ICHI) and its track (ROSEN_SEN). Positions are kept both
// as degrees and projected.
namespace tabi::network {

struct Station {
    QString name;         // EKI_KANJI
    QString kana;         // EKI_KANA
    qint64 stationId = 0; // EKI_ID.STATION_ID, the data set's station code; 0 where EKI_ID has no row
    int node = -1;        // Network::nodes: the station as one place across routes
    double kilo = 0;      // post on the route
    double lat = 0;       // degrees; valid only when positioned
    double lon = 0;
    QPointF xy;  // projected (kilometres, y downwards)
    int ken = 0; // JIS X 0401 prefecture 1..47, 0 when unknown
    bool positioned = false;
};

// A point of the line as drawn: a projected position with its kilometre post.
struct TrackPoint {
    double kilo = 0;
    QPointF xy;
};

struct Route {
    QString code;      // ROSEN_CD
    QString name;      // ROSEN_KANJI
    QString category;  // KBN_CD
    double length = 0; // MASTER.KILO
    bool abolished = false;
    QVector<Station> stations;          // ascending posts
    QHash<QString, int> stationsByName; // first station of each name
    bool repeatedNames = false;         // some name stands at two posts (a loop that ends where it began)
    // The track in travelling order: ROSEN_SEN where the import kept one, else the positioned stations.
    QVector<TrackPoint> track;
    QRectF bounds; // of the track, projected

    bool drawable() const { return track.size() >= 2; }
    // First and last post of the stations (0, 0 without stations).
    double firstPost() const { return stations.isEmpty() ? 0 : stations.first().kilo; }
    double lastPost() const { return stations.isEmpty() ? 0 : stations.last().kilo; }
};

// A station of a route, by index into Network::routes and that route's stations.
struct StopRef {
    int route = 0;
    int station = 0;
    bool operator==(const StopRef&) const = default;
};

// One station as a place where journeys can change routes: every route's station of that identity.
struct Node {
    QString name; // of its first station
    QString kana;
    QVector<StopRef> stops; // by route order, then post
    QPointF xy;             // projected, of its first positioned station
    bool positioned = false;
};

// Stations farther apart than this are different places even when they share a name.
constexpr double kSameStationKm = 0.5;

struct Network {
    QVector<Route> routes; // by ROSEN_CD
    QVector<Node> nodes;   // the station identities, built by finishNetwork
    QHash<QString, int> routeByCode;
    int positionedStations = 0;
    QRectF bounds; // of every track, projected

    const Route* route(const QString& code) const {
        const auto it = routeByCode.constFind(code);
        return it == routeByCode.cend() ? nullptr : &routes[*it];
    }
};

// Reads MASTER, EKI, EKI_ICHI and ROSEN_SEN of the reference database. Positions outside the area of Japan
// (a damaged or foreign source) count as unknown, so that one stray point cannot shrink the whole map.
// Throws tabi::Error when a table cannot be read.
Network loadNetwork(Database& ref);
// The same reading cut to one route (the distance picker's route, one ride's route): an empty network when
// MASTER has no such code.
Network loadNetwork(Database& ref, const QString& onlyRoute);
// The reading without the track (ROSEN_SEN): what route finding and station search need, in a fraction of the
// time.
Network loadStations(Database& ref);
// Routes and their stations by post only: no track, no positions, no places across routes. What resolving the
// section texts of rides needs (the ride check list reads it for every ride).
Network loadRouteStations(Database& ref);

// Completes a route whose stations and track points were filled in (tests, the loader): sorts nothing, builds
// the name look-up, falls back to the positioned stations for an empty track and computes the bounds.
void finishRoute(Route& route);
// Finishes every route and builds the station identities (assignNodes).
void finishNetwork(Network& network, bool places = true);

// Which stations of different routes (or of one loop route) are one place. Stations that share a station code
// (EKI_ID) are one node. A station without a code joins a node of the same name within kSameStationKm; on a
// route without any position (one the user added) it joins the node of its name when that name names exactly one
// node. Anything else is a node of its own.
void assignNodes(Network& network);

// Whether a latitude and longitude lie in the area the map covers (Japan with its outlying islands).
bool insideMapArea(double lat, double lon);

} // namespace tabi::network
