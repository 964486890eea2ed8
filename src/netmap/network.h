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

// The national network as the map draws it: every route of MASTER with its stations (EKI, positioned through
// EKI_ICHI) and its track (ROSEN_SEN), read once into memory. Positions are kept both as degrees and projected.
namespace tabi::netmap {

struct Station {
    QString name;    // EKI_KANJI
    double kilo = 0; // post on the route
    double lat = 0;  // degrees; valid only when positioned
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

struct Network {
    QVector<Route> routes; // by ROSEN_CD
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

// Completes a route whose stations and track points were filled in (tests, the loader): sorts nothing, builds
// the name look-up, falls back to the positioned stations for an empty track and computes the bounds.
void finishRoute(Route& route);
void finishNetwork(Network& network);

// Whether a latitude and longitude lie in the area the map covers (Japan with its outlying islands).
bool insideMapArea(double lat, double lon);

} // namespace tabi::netmap
