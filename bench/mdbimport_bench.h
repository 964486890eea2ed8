#pragma once

#include <QString>

// Times the import of the Access fixture pair in fixturesDir (skipped with a note where it is absent), and projects
// an import of 100,000 rides from the per-row cost of reading rides from the Access file and of storing them.
void runAccessImportBench(const QString& fixturesDir);
