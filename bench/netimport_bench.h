#pragma once

#include <QString>

// Times the import of the whole public station data set (extra/, with abolished lines) into a fresh reference
// database in dir, and a second import of the same copy that changes nothing; prints wall and CPU time and the
// process's peak memory. Returns false when no copy of the data set is at root.
bool runNetImportBench(const QString& dir, const QString& root);
