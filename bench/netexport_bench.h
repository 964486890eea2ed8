#pragma once

#include <QString>

// Open data out and in on the national-size network of the ride map's benchmark (100,000 rides): each ride export,
// the network export, the progress chart's computation and drawing, and the import of a CSV of 10,000 rides.
void runNetexportBench(const QString& dir);
