#pragma once

#include <QString>

// Route finding on the national-size network of the ride map benchmark, its stations joined at junctions: the
// reading of the stations, a route search, a station search per keystroke and the opening of the journey screen.
void runNetrouteBench(const QString& dir);
