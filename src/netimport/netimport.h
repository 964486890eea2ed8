#pragma once

#include "netimport/netsource.h"
#include "netimport/reconcile.h"
#include "netimport/routebuild.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tabi {
class Database;
}

// The import of the national network from the public station data set into the reference database: the
// data set's files (netsource) -> the track graph (trackgraph) -> the route register (register) -> the routes
// (routebuild) -> the routes already there (reconcile) -> one transaction into the database (here).
namespace tabi::net {

struct ImportCounts {
    int routesNew = 0, routesChanged = 0, routesKept = 0, routesReported = 0;
    int stationsNew = 0, stationsChanged = 0, stationsKept = 0;
};

struct ImportResult {
    ImportCounts counts;
    QStringList report;
    QString folder;
    int routesDerived = 0;
    QString summary() const; // the counts as a few lines of text
};

struct ImportOptions {
    bool dryRun = false; // do everything, then roll back: the preview of what an import would change
    std::function<void(int done, int total)> progress;
    QString registerFolder; // the route register's files; empty: the register built into the program
    // The personal record whose rides the report weighs against changed routes; null: the one beside the reference
    // database, empty: none.
    QString personalPath;
};

// Reads the data set at layout and merges it into the reference database in one transaction: codes stay
// stable across imports, values the user changed are kept, rides are never touched. Throws tabi::Error (the
// database is then as it was) naming the file and line or the route that failed.
ImportResult importNetwork(Database& reference, const SourceLayout& layout, const ImportOptions& options = {});

// Where routes come from, as NET_SOURCE records it for the attribution.
struct SourceStamp {
    QString commit; // the data set's commit (its SOURCE_COMMIT line), or empty
    QString author; // the data set's author as its LICENSE.md names them
    QString folder; // the folder read, or what stands for it
};

// The operators as a record may write them (the data set's short and registered names) -> the name the route
// master writes, added to aliases where they name none yet.
void addOperatorAliases(Aliases& aliases, const Source& source, const Rules& rules);

// The merge of importNetwork for routes already derived (the network supplied with the program): the same
// codes, kept user values, report, backup and one transaction; routes already there are matched through aliases.
ImportResult mergeRoutes(Database& reference, const QList<DerivedRoute>& routes, const SourceStamp& source,
                         const ImportOptions& options = {}, const Aliases& aliases = Aliases::builtIn());

// True when the reference database holds routes of an import (the version dialog then shows the attribution).
bool hasImportedNetwork(Database& reference);
// The attribution and licence of the imported data, as the program shows it (the author as the copy's
// LICENSE.md names them).
QString attributionText(Database& reference);

// tabiroku --import-network DIR [--with-abolished]
int runImportNetworkCommand(int argc, char* argv[]);

} // namespace tabi::net
