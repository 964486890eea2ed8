#pragma once

#include <QString>

// Times the first start's making of the reference database in dir with the national network built into the
// program (unpacking it included); prints the time against its target of 2 s and what was laid out.
void runSuppliedBench(const QString& dir);
