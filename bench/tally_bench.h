#pragma once

#include <QString>

// Times every step of the three tallies through the cursor layer on the data set in dir (both database files),
// next to the same results computed by set-based SQL in the same run, and checks that both agree.
void runTallyBench(const QString& dir);
