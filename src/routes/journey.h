#pragma once

#include "netroute/routefinder.h"

#include <QDate>
#include <QString>

namespace tabi {
class Database;
}

// A journey found over the network, measured against the rides recorded before and stored as rides: one JOSHA
// row per leg, all in one transaction.
namespace tabi::routes {

// Fills each leg's new kilometres: what it covers outside the rides of its route in JOSHA and outside the
// legs before it in the same journey (a journey that comes back the same way rides nothing new on the way back).
// Throws tabi::Error when the rides cannot be read.
void countNewKilo(netroute::Journey& journey, const network::Network& network, Database& per);

// The section text a leg is stored with: "A～B", with "(全区間)" when it covers the route's length, cut to the
// bytes JOSHA_KUKAN holds.
QString legSection(const netroute::Leg& leg, const network::Network& network);

struct RecordResult {
    int inserted = 0;        // new rows
    int joined = 0;          // legs added to a ride of the same route and day
    int unchanged = 0;       // legs already inside the day's ride of their route
    double newKilo = 0;      // of the legs recorded
    int completedRoutes = 0; // routes completely ridden now that were not before
    QString summary() const; // "新規 35.2 km、完乗 2 路線"
};

// Stores the legs as rides of day, each with its new kilometres (wholeKilo: its whole kilometres). A leg on a
// route that already has a ride that day is added to it (sections joined, kilometres added); a leg wholly inside
// that ride's own sections leaves it as it is. All or nothing: throws tabi::Error, with nothing stored, when a
// leg cannot be joined to its day's ride or the database refuses a row. countNewKilo must have run.
RecordResult recordJourney(Database& per, const network::Network& network, const netroute::Journey& journey,
                           const QDate& day, bool wholeKilo);

// "35.2": kilometres with one decimal, as legs are shown.
QString kiloText(double kilo);

} // namespace tabi::routes
