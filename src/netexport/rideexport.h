#pragma once

#include "data/routenames.h"
#include "netmap/coverage.h"
#include "network/network.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <optional>

// What was ridden, in open formats another program can read: GeoJSON (RFC 7946, longitude before latitude),
// KML 2.2 and GPX 1.1 tracks, UTF-8. The stretches are the ones the ride map draws: each ride's section found on
// its route as the map finds it, cut out of the route's track.
namespace tabi::netexport {

struct LonLat {
    double lon = 0, lat = 0;
};
using Line = QVector<LonLat>;

class TrackDegrees;

// A ride found on its route's track: the stretches of its section (several for a section of several stretches).
struct PlacedRide {
    const netmap::Ride* ride = nullptr;
    const tabi::network::Route* route = nullptr;
    QVector<netmap::IntervalSet::Part> parts;
};

struct RideExport {
    QVector<PlacedRide> placed; // in ride order (by day, then route)
    int rides = 0;              // rides in the period
    int unknownRoute = 0;       // not placed: the route is not in MASTER
    int unknownStation = 0;     // not placed: the section names no station of the route
    int noPosition = 0;         // not placed: found, but the route has no track there
    int unplaced() const { return unknownRoute + unknownStation + noPosition; }

    // The lines of a placed ride's stretches along the track (a track that doubles back may give several), and
    // their length in kilometres on the sphere. The tracks in degrees are worked out once per route.
    QVector<Line> linesOf(const PlacedRide& placed) const;
    double lengthOf(const PlacedRide& placed) const;
    std::shared_ptr<TrackDegrees> tracks;
};

// The rides of the filter's period (its route choices are not used) placed on the network. rides must outlive
// the result, which points into it.
RideExport placeRides(const tabi::network::Network& network, const QVector<netmap::Ride>& rides,
                      const netmap::Filter& filter);
// The report line: how many rides went into the file and why the others could not.
QString placedText(const RideExport& placed);

// The lines of a route's whole track.
QVector<Line> routeLines(const tabi::network::Route& route);
// Great-circle length of a line in kilometres.
double lineLength(const Line& line);

enum class RideFormat { GeoJson, Kml, Gpx };
// By the file name's ending (.geojson or .json, .kml, .gpx; any case); nullopt for any other.
std::optional<RideFormat> rideFormatOf(const QString& fileName);

// The file's bytes. names gives each route's name and operator by code (routes missing from it are written
// with their network name and no operator).
QByteArray ridesGeoJson(const RideExport& placed, const QHash<QString, RouteNames>& names);
QByteArray ridesKml(const RideExport& placed, const QHash<QString, RouteNames>& names, const QString& title);
QByteArray ridesGpx(const RideExport& placed, const QHash<QString, RouteNames>& names, const QString& title);
QByteArray ridesFile(RideFormat format, const RideExport& placed, const QHash<QString, RouteNames>& names,
                     const QString& title);

// Every route of the network as a GeoJSON feature with its ridden share: the kilometres of every ride of the
// period with its sign and the ratio as the tallies compute them, and the kilometres of track the map shows as
// ridden. A route without a track has a null geometry.
QByteArray networkGeoJson(const tabi::network::Network& network, const netmap::Coverage& coverage,
                          const QVector<netmap::Ride>& rides, const netmap::Filter& filter,
                          const QHash<QString, RouteNames>& names);

// The title of a file: what it holds and for which period.
QString exportTitle(const netmap::Filter& filter);

// Writes the file in the format its name ends with, through the checked replacement of every file the program
// writes. Throws tabi::Error. Returns the placement for the report (it points into rides).
RideExport writeRidesFile(const QString& fileName, const tabi::network::Network& network,
                          const QVector<netmap::Ride>& rides, const QHash<QString, RouteNames>& names,
                          const netmap::Filter& filter);

// The command-line forms (args as the program got them). Progress and the report go to standard output, a
// failure's message to standard error; the exit code is 0 when the file was written, 1 when it could not be, 2
// for wrong options.
// tabiroku --export-rides OUT.geojson|OUT.kml|OUT.gpx [--from yyyy-mm-dd] [--to yyyy-mm-dd]
int exportRides(const QStringList& args);
// tabiroku --export-network OUT.geojson [--from yyyy-mm-dd] [--to yyyy-mm-dd]
int exportNetwork(const QStringList& args);
int exportRidesCommand(int argc, char* argv[]);
int exportNetworkCommand(int argc, char* argv[]);

} // namespace tabi::netexport
