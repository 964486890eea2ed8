#pragma once

#include <QString>

// The ropeway and place cards on 2,000 ropeways and 2,000 places: opening each card, and moving to the next
// record with its first-visit row following.
void runCardsBench(const QString& dir);
