#pragma once

#include "data/database.h"

#include <QString>
#include <QStringList>
#include <memory>

// The tally steps by classification, by category and by year. Each step reads and writes through table cursors
// of its own on the connections it is given, and runs inside one transaction per database it writes: a step that
// fails part-way leaves every table as it was and throws tabi::Error. The screens' own cursors do not see the
// results until they are refreshed or reopened.
namespace tabi::tally {

using Db = std::shared_ptr<Database>;

// --- tally by classification: BUNRUI (small), BUNRUI2 (large), BUNRUI3 (total) --------------------------------

void clearByClassification(const Db& ref);                          // Z: all results zero, dates empty
void routeKiloByClassification(const Db& ref);                      // R: route kilometres of routes in service
void riddenKiloByClassification(const Db& ref, const Db& personal); // J: sum of every ride, with its sign
void ratioByClassification(const Db& ref);                          // W: riding ratios
void datesByClassification(const Db& ref, const Db& personal);      // D: completion dates

// --- tally by category: KUBUN (small), KUBUN2 (large), KUBUN3 (total), rides tagged in TMP_JOSHA_KUBUN ---------

void clearByCategory(const Db& ref);
void routeKiloByCategory(const Db& ref);                      // also sets the categories' ridden kilometres to 0
void riddenKiloByCategory(const Db& ref, const Db& personal); // rebuilds the tagged rides first
void ratioByCategory(const Db& ref);
void datesByCategory(const Db& ref); // from the tagged rides left by the last ridden-kilometres step

// --- tally by year: TOSHI (personal) and its total row TOSHI2 (reference) ------------------------------------------

// startMonth 1: a year is January to December; any other value: April to the following March.
void clearByYear(const Db& ref, const Db& personal);
void tallyByYear(const Db& ref, const Db& personal, int startMonth);
// The years (calendar years for startMonth 1, fiscal years from April for 4) that have rides but no row of the
// year table yet: added as rows, in one transaction. Returns how many were added.
int addYearsWithRides(const Db& personal, int startMonth);
// Whether any year of the year table has rides in its range (the tally by year shows nothing useful without one).
bool anyListedYearHasRides(const Db& personal, int startMonth);

// The inclusive "yyyy-mm-dd" limits of the counting range of year number nen.
QString yearRangeStart(int nen, int startMonth);
QString yearRangeEnd(int nen, int startMonth);

// --- the statements run on the reference database ------------------------------------------------------------------


} // namespace tabi::tally
