#pragma once

#include "data/database.h"

#include <memory>

// The steps of the unridden routes list (CFM_MIJO) and the ride check list (CFM_JOSHA), both in the reference
// database. Each step works through statements and cursors of its own inside one transaction: a step that fails
// part-way leaves the list as it was and throws tabi::Error. The screens' cursors see the results once reopened.
namespace tabi::tally {

using Db = std::shared_ptr<Database>;

// --- unridden routes: one row per route in service ------------------------------------------------------------------

void clearUnriddenList(const Db& ref);                       // Z: every row deleted
void listRoutesInService(const Db& ref);                     // R: one row per route that is not abolished
void sumRiddenKiloOfList(const Db& ref, const Db& personal); // J: every ride of the route, with its sign
void unriddenKiloOfList(const Db& ref);                      // M: route kilometres minus ridden kilometres
void ratioOfList(const Db& ref);                             // W: riding ratio
void dropCompletedRoutes(const Db& ref);                     // X: rows with a ratio of 100 (within 0.0001) deleted

// --- ride check list: one row per ride ---------------------------------------------------------------------------

void clearRideCheckList(const Db& ref); // Z: every row deleted
// J: every ride, remarked when below zero or when it overlaps an earlier ride of its route
void copyRidesToCheckList(const Db& ref, const Db& personal);
void completeRideCheckList(const Db& ref); // R: operator and route name of every row

// The marks of a route code missing from the route table, and the remarks the checks write.
inline constexpr char16_t kNoRouteRemark[] = u"当該鉄軌道路線なし";
inline constexpr char16_t kNegativeRideRemark[] = u"乗車キロ＜０";
inline constexpr char16_t kOverlapRemark[] = u"既乗区間と重複";

} // namespace tabi::tally
