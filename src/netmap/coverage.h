#pragma once

#include "netmap/intervals.h"
#include "netmap/network.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace tabi {
class Database;
}

// What has been ridden: each ride's section found on its route, the ridden stretches of every route, and the
// figures per prefecture.
namespace tabi::netmap {

// --- sections --------------------------------------------------------------------------------------------------

enum class SectionStatus {
    Stretch,        // both names found on the route (or an empty start name, the post 0 as the picker takes it)
    WholeRoute,     // marked "(全区間)"
    UnknownRoute,   // the ride's route is not in MASTER
    UnknownStation, // the text names no station of the route (or holds no "～" at all)
};

struct Section {
    SectionStatus status = SectionStatus::UnknownStation;
    double from = 0, to = 0; // posts, from <= to; only for Stretch and WholeRoute
    // The stretches named, each from <= to, in the order written; one for a single stretch or the whole route.
    QVector<IntervalSet::Part> parts;
    bool found() const { return status == SectionStatus::Stretch || status == SectionStatus::WholeRoute; }
};

// The stretch a section text names on its route. The distance picker writes start "～" end, followed by
// "(全区間)" when the whole route was ridden; the two names may come in either order (a start later than the
// end records the loss of a section). Several stretches ridden on one day are joined by "、"
// ("東京～名古屋、京都～新大阪"); from and to then span them all. route is null for a code MASTER lacks.
// kilo, the ride's kilometres where known, chooses between the posts of a name that stands twice on the route
// (the start and end of a loop): the pair at least that far apart, the nearest such; without it the first
// station of each name is taken.
Section resolveSection(const Route* route, const QString& text, double kilo = 0);

// The posts a route's whole length runs between: its stations, else its track, else 0 to its length.
void routeSpan(const Route& route, double& from, double& to);

// --- rides -----------------------------------------------------------------------------------------------------

struct Ride {
    QString code;    // ROSEN_CD
    QString day;     // "yyyy-mm-dd", empty for no date
    QString section; // JOSHA_KUKAN
    double kilo = 0; // JOSHA_KILO, negative for a section taken off
};

// Every ride of JOSHA, by day then route: the order in which sections were ridden and taken off again.
QVector<Ride> loadRides(Database& per);

struct Filter {
    QString from, to;       // "yyyy-mm-dd", either empty for no bound; a ride without a date is in no period
    QString classification; // BUNRUI_CD: routes whose code begins with it; empty for every route
    QString category;       // KBN_CD of MASTER; empty for every category

    bool hasPeriod() const { return !from.isEmpty() || !to.isEmpty(); }
    bool takesDay(const QString& day) const;
    bool takesRoute(const QString& code, const Route* route) const;
};

struct RouteCoverage {
    IntervalSet ridden;
    double unplacedKilo = 0; // rides found on no stretch, with their sign
    bool included = false;   // the route passes the filter
};

struct Coverage {
    QVector<RouteCoverage> routes; // beside Network::routes
    int rides = 0;                 // rides in the filter
    int unknownRoute = 0;          // not drawn: route not in MASTER
    int unknownStation = 0;        // not drawn: section names no station of the route
    int noPosition = 0;            // not drawn: found, but the route has no positions to draw it by
    int notDrawn() const { return unknownRoute + unknownStation + noPosition; }
};

// Plays the rides in their order: a ride of 0 km or more adds its stretch, a ride below 0 takes it off.
Coverage computeCoverage(const Network& network, const QVector<Ride>& rides, const Filter& filter);

// The line under the map: how many rides of the filter could not be drawn, and why.
QString notDrawnText(const Coverage& coverage);

// --- prefectures -----------------------------------------------------------------------------------------------

// The 47 prefectures in JIS X 0401 order, "北海道" to "沖縄県".
const QStringList& prefectureNames();

struct PrefectureFigures {
    int ken = 0; // 1..47
    QString name;
    double routeKilo = 0;  // routes in service
    double riddenKilo = 0; // rides on every route, abolished ones included, as the tallies count them
    double ratio = 0;      // percent, by the tallies' ratio rule
};

// One row per prefecture, in JIS order. A route's length is split between prefectures at its stations' posts:
// the stretch between two stations of one prefecture lies in it, the stretch between stations of two
// prefectures is halved between them, and a station of unknown prefecture takes the prefecture of its
// neighbour. Rides found on no stretch add their kilometres to the route's prefectures in proportion to its
// length in each. No prefecture shows more ridden than its share of the route, nor less than nothing.
QVector<PrefectureFigures> prefectureFigures(const Network& network, const Coverage& coverage);

struct PrefecturePiece {
    double from, to;
    int ken;
};
// The stretches of a route by prefecture (adjacent ones of one prefecture joined); stretches between stations
// of unknown prefecture are left out.
QVector<PrefecturePiece> prefecturePieces(const Route& route);

} // namespace tabi::netmap
