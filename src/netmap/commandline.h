#pragma once

#include "netmap/coverage.h"
#include "netmap/exportmap.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace tabi {
class Database;
}

// What the command-line forms of the map and its exports share: the output lines, the options FILE [--from] [--to],
// and the two databases opened as the screens open them.
namespace tabi::netmap::cli {

void say(const QString& text);
// The message on standard error; returns code.
int fail(const QString& text, int code = 1);

struct Options {
    QString file;          // the one argument that is not an option
    netmap::Filter filter; // --from / --to
    QStringList flags;     // flags the caller allowed and the user gave (e.g. "--dry-run")
    QString error;         // a usage error, empty when the options were understood
};
// args as the program got them: the program, the option naming the form, then the rest. allowedFlags are
// options without a value; withPeriod allows --from and --to (real days written yyyy-mm-dd).
// fileWhat names the file in the message when it is missing ("書き出すファイル").
Options parse(const QStringList& args, const QString& usage, bool withPeriod, const QStringList& allowedFlags = {},
              const QString& fileWhat = QStringLiteral("ファイル"));

// Both databases; a missing file is reported (false, error set) instead of being created, except a missing
// personal database when createPersonal is set (rides imported into a new record).
bool openDatabases(std::shared_ptr<Database>& ref, std::shared_ptr<Database>& per, QString& error,
                   bool createPersonal = false);

// What every form that reads the record works on: both databases, the network and every ride.
struct Record {
    std::shared_ptr<Database> ref, per;
    MapData data;
};
// How much of the network a form reads: all of it (track and positions, for maps and exports), or the routes and
// their stations by post (what resolving rides' sections needs).
enum class Reading { Map, RouteStations };
// Opens both databases and reads the network and the rides (saying so on standard output), then returns
// work(record); a missing database ends in its message and exit code 1, an escaping error as guarded() says.
int onRecord(const std::function<int(Record&)>& work, Reading reading = Reading::Map, bool createPersonal = false);

// Runs work, turning an escaping tabi::Error or std::exception into a message and exit code 1.
int guarded(const std::function<int()>& work);

} // namespace tabi::netmap::cli
