#pragma once

#include "netimport/netrules.h"
#include "netimport/netsource.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tabi {
class Database;
}

// The import of the national network from the public station data set into the reference database.
namespace tabi::net {

// A station of a route as the import derives it, with its post in kilometres from the route's start.
struct DerivedStation {
    QString name;
    QString kana;
    QString openDate; // yyyy-mm-dd or empty
    bool abolished = false;
    GeoPoint pos;
    int prefecture = 0;
    double km = 0;
};

// A route as the route master keeps it, derived from one or more data-set lines.
struct DerivedRoute {
    QString key;      // operator|name|start|end: stable across copies of the data set
    int lineCode = 0; // the first data-set line it comes from
    QString lineName; // its name in the data set
    QString name;     // route name, without operator prefix and section notes
    QString kana;
    QString operatorName; // registered name without 株式会社
    int companyCode = 0;
    QString bunrui; // classification code (three characters)
    QString bunruiName;
    QString kbn;            // category code
    QString haishiDate;     // yyyy-mm-dd for an abolished route
    double officialKm = -1; // official length from the rule table, -1 when none
    QList<DerivedStation> stations;
    QVector<GeoPoint> track; // polyline in travelling order
    QVector<double> trackKm; // post of each polyline point

    QString start() const { return stations.isEmpty() ? QString() : stations.first().name; }
    QString end() const { return stations.isEmpty() ? QString() : stations.last().name; }
    double length() const { return stations.isEmpty() ? 0 : stations.last().km; }
};

// Derives the routes from the data set by the rules; lines it skips or doubts go to report.
QList<DerivedRoute> deriveRoutes(const Source& source, const Rules& rules, QStringList& report);

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

// The merge of importNetwork for routes already derived (the network supplied with the program): the same
// codes, kept user values, report, backup and one transaction.
ImportResult mergeRoutes(Database& reference, const QList<DerivedRoute>& routes, const SourceStamp& source,
                         const ImportOptions& options = {});

// True when the reference database holds routes of an import (the version dialog then shows the attribution).
bool hasImportedNetwork(Database& reference);
// The attribution and licence of the imported data, as the program shows it (the author as the copy's
// LICENSE.md names them).
QString attributionText(Database& reference);

// tabiroku --import-network DIR [--with-abolished]
int runImportNetworkCommand(int argc, char* argv[]);

} // namespace tabi::net
