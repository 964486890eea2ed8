#pragma once

#include "netmap/coverage.h"
#include "netmap/intervals.h"
#include "netmap/network.h"

#include <QString>
#include <QVector>

namespace tabi {
class Database;
}

// What a new ride adds to what was ridden before on its route, and how a second ride of one route on one day
// joins the day's row (JOSHA keys a ride by route and day). No widgets: the distance picker and the journey
// screens ask the user with these figures and store what was chosen.
//
// Typical use, for a section travelled from post a to post b of route r on day d:
//     const IntervalSet before = riddenStretches(r, loadRouteRides(per, r.code));
//     const Overlap o = overlapOf(before, a, b);
//     if (o.overlaps()) ask, then kilo = overlapKilo(o, choice); else kilo = o.whole;
//     if a row of day d exists: mergeSameDay(r, thatRow, startName, a, endName, b, kilo) gives its new text and km.
namespace tabi::netmap {

// Kilometres closer than this are equal: posts are kept to 0.1 km, differences of doubles are not.
constexpr double kKiloEpsilon = 0.005;
// A stretch reaching the route's length within this margin covers the whole route (as the picker marks it).
constexpr double kWholeRouteMargin = 0.04;
// JOSHA_KUKAN holds at most this many bytes of CP932.
constexpr int kSectionTextBytes = 50;

// The rides of one route as JOSHA holds them, by day. Throws tabi::Error when the table cannot be read.
QVector<Ride> loadRouteRides(Database& per, const QString& code);

// The stretches of route ridden by rides, each ride's section resolved as the ride map resolves it and played in
// the same order: a ride of 0 km or more adds its stretches, a ride below 0 takes them off again. Rides of other
// routes, and sections that name no station of the route, add nothing. A ride of leaveOutDay ("yyyy-mm-dd") is
// left out, so that the row a section is being joined to can be looked at apart; an empty day leaves none out.
IntervalSet riddenStretches(const Route& route, const QVector<Ride>& rides, const QString& leaveOutDay = {});

// Whether each station of route (by index) lies on a ridden stretch, its ends included.
QVector<bool> riddenStations(const Route& route, const IntervalSet& ridden);

// How a section between two posts (either order) meets what was ridden before.
struct Overlap {
    double whole = 0; // the section's length
    double fresh = 0; // its kilometres outside what was ridden; 0 when nothing is new
    bool overlaps() const { return whole - fresh > kKiloEpsilon; }
    bool nothingNew() const { return fresh <= kKiloEpsilon; }
};
Overlap overlapOf(const IntervalSet& ridden, double from, double to);

// The user's answer when a section overlaps: record only the new kilometres (the safe default), the whole
// section, or nothing (a ride of 0 km, which still counts as a ride of its year).
enum class OverlapChoice { NewOnly, Whole, Nothing };
// The ride's kilometres for that answer, never below 0.
double overlapKilo(const Overlap& overlap, OverlapChoice choice);

// A second section of one day joined into the day's row.
struct SameDayMerge {
    QString section; // the joined section text; empty when the two cannot be joined
    double kilo = 0; // the row's kilometres plus the added ones
    QString why;     // when they cannot be joined: a Japanese sentence saying why
    bool ok() const { return why.isEmpty(); }
};
// existing is the day's row (JOSHA_KUKAN, JOSHA_KILO); the new section runs from startName at post a to endName
// at post b, in the order travelled, and adds addedKilo (what overlapKilo gave, measured against every ride of
// the route, the day's row included). A section that continues where the row's last stretch ended extends it
// ("東京～名古屋" then "名古屋～新大阪" give "東京～新大阪"); any other is added after "、". "(全区間)" follows
// when the day's stretches together cover the route. A loss row (below 0 km), or a joined text longer than
// JOSHA_KUKAN holds, cannot be joined.
SameDayMerge mergeSameDay(const Route& route, const Ride& existing, const QString& startName, double a,
                          const QString& endName, double b, double addedKilo);

} // namespace tabi::netmap
