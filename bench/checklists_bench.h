#pragma once

#include <QString>

// The check list steps (unridden routes, ride check), the CSV export of the ride check list and the photo folder
// scan on the generated data set, each against set-based SQL (or plain statements) doing the same work.
void runChecklistsBench(const QString& dir);
