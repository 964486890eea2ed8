#pragma once

#include "data/routenames.h"
#include "data/textcodec.h"
#include "netmap/coverage.h"
#include "network/network.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace tabi {
class Database;
}

// Rides from a comma-separated file. The file is UTF-8 or CP932 (told apart by its bytes; a byte-order mark
// decides) and comes in one of two shapes:
// - a first line naming the columns by the program's titles, in any order: 乗車年月日, 路線 (a route code or a
//   route name; 路線番号 and 路線名称 are taken too), 所属 (optional: tells routes of one name apart), 起点 and 終点
//   (or one column 乗車区間 written start "～" end), 乗車キロ (optional) and 備考 (optional);
// - the ride check list's own file, without a header line: 乗車年月日, 路線番号, 所属, 路線名称(乗車区間),
//   乗車キロ, 備考, so that a record exported there comes back the same (the remarks the check list writes
//   itself are not the ride's).
// Each row is found on the network as the ride map finds a section. Kilometres left empty are taken from the
// posts, counting only what was not ridden before (what the distance picker records unless told otherwise); a
// figure given that differs from the posts by more than 0.5 km is noted and kept. A second row of a route on one
// day is joined into the day's ride as the picker joins it. Nothing is written until applyImport.
namespace tabi::netexport {

// Bounds of an input file: it is untrusted.
constexpr qint64 kMaxImportBytes = 32 * 1024 * 1024;
constexpr int kMaxImportRows = 200000;
constexpr int kMaxFieldChars = 1000;
// A given figure further than this from the posts is noted.
constexpr double kKiloTolerance = 0.5;

enum class RowOutcome {
    Insert,    // a new ride
    Merge,     // joined into a ride of the same route and day (already stored or earlier in the file)
    Duplicate, // the same ride is stored already (or stands earlier in the file): left out
    Error,     // cannot be matched: left out
};

struct ImportRow {
    int line = 0; // line of the file where the row starts (1-based)
    QString text; // the row as read, its fields joined by commas, for the list
    RowOutcome outcome = RowOutcome::Error;
    QString reason;         // Error and Duplicate: why; Merge: into what
    QStringList candidates; // Error: the nearest routes or stations, best first
    QStringList notes;      // kept rows: what was noticed (a figure differing from the posts, an overlap)
    // What the row becomes (Insert and Merge).
    QString code, day, section;
    double kilo = 0;
    QString remark;
};

// One ride as it will be stored.
struct PlannedRide {
    QString code;    // ROSEN_CD
    QString day;     // "yyyy-mm-dd"
    QString section; // JOSHA_KUKAN
    double kilo = 0;
    QString remark;      // BIKO; empty for none
    bool stored = false; // replaces the stored ride of this route and day (a joined section)
};

struct ImportPlan {
    QString fileError; // the file as a whole could not be read; nothing else is set then
    text::Encoding encoding = text::Encoding::Utf8;
    bool checkListShape = false;
    QStringList ignoredColumns; // header titles not used
    QVector<ImportRow> rows;    // in file order
    QVector<PlannedRide> rides; // what applyImport writes, by day
    int count(RowOutcome outcome) const;
    int leftOut() const { return count(RowOutcome::Error) + count(RowOutcome::Duplicate); }
    int noted() const;
};

// Plans the import of the file's bytes against the network and the rides stored (JOSHA as loadRides reads it).
// names: operator of each route by code, for 所属.
ImportPlan planImport(const QByteArray& bytes, const tabi::network::Network& network,
                      const QHash<QString, RouteNames>& names, const QVector<netmap::Ride>& stored);
// Reads the file (bounded in size) and plans; an unreadable file gives a plan with fileError.
ImportPlan planImportFile(const QString& path, const tabi::network::Network& network,
                          const QHash<QString, RouteNames>& names, const QVector<netmap::Ride>& stored);

// Writes the planned rides into JOSHA in one transaction: all of them or, on a failure, none (throws tabi::Error).
void applyImport(Database& personal, const ImportPlan& plan);

// The report: the counts, then every row left out with its reason and candidates, then the notes.
QString planSummary(const ImportPlan& plan);
QStringList planDetails(const ImportPlan& plan);
QString encodingName(text::Encoding encoding);

// tabiroku --import-rides FILE.csv [--dry-run]: exit 0 when every row went in, 1 when some were left out or the
// file could not be read, 2 for a wrong command line.
int importRides(const QStringList& args);
int importRidesCommand(int argc, char* argv[]);

} // namespace tabi::netexport
