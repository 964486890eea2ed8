#pragma once

#include <QString>

// Times the daily copy of the personal record made at each start, on the data set in dir (JJ.db with its rides).
void runBackupBench(const QString& dir);
