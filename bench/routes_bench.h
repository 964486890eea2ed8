#pragma once

#include <QString>

// The route master screen on the large data set: opening, moving with the linked cursors following, the jump
// dialog's incremental search, and drawing the line diagram of a 300-station route.
void runRoutesBench(const QString& dir);
