#pragma once

#include <QString>

// The ride map on a national-size network: about 1,000 routes and 11,000 positioned stations with their tracks,
// and 100,000 rides. Measures the first picture, repaints while panning and zooming, and the prefecture figures.
void runNetmapBench(const QString& dir);

namespace tabi::bench {
// Writes Tabiroku.db and JJ.db of such a network into dir (replacing the reference database's routes and
// stations), for the benchmark and for looking at the map screen on data of that size.
void generateNationalNetwork(const QString& dir, int routes = 1000, int stationsPerRoute = 11, int rides = 100000);
} // namespace tabi::bench
