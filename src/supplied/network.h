#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>

namespace tabi {
class Database;
}

// The national network supplied with the program: the tables of the network import as one generated text,
// kept compressed in the program, laid out into the reference database when the program makes it.
namespace tabi::supplied {

// What a network text says about where it comes from.
struct NetworkInfo {
    QString commit;   // the data set's SOURCE_COMMIT line ("<hash> <date>")
    QString author;   // the data set's author, as its licence names them
    QDate date;       // the day of that commit, empty when the line names none
    int routes = 0;   // MASTER rows
    int stations = 0; // EKI rows
    QString digest;   // the first 16 hexadecimal digits of the SHA-1 of the text

    // What an answer to the offer of this copy is kept under: the data set's commit and the text's digest, so that
    // a copy made again from the same commit with other rules (official posts, register rows) is a new copy.
    QString key() const { return commit.left(40) + QLatin1Char(' ') + digest; }
};

// The tables of a reference database that hold the network, as text: a first line naming the format, then one
// section per table, "#TABLE<tab>FIELD<tab>..." followed by one line per row in key order, fields separated by
// tabs (texts with \\ \t \n \r escaped, null as \N, reals in their shortest exact form). The track (ROSEN_SEN)
// is packed as "@ROSEN_SEN", one line per route: its code, then per point "km,lat,lon" in whole 0.1 m and 1e-6
// degree steps from the previous point. Last, "@OPERATOR": the spellings of operators a record may use (the data
// set's short and registered names), "variant<tab>name the route master writes", so that merging the network into
// a database brought over from elsewhere matches its routes as an import would. The same database and operators
// always give the same bytes.
QByteArray networkText(Database& reference, const QHash<QString, QString>& operatorAliases = {});
// The operator spellings of a network text.
QHash<QString, QString> operatorAliasesOf(const QByteArray& text);

// The file form: Qt's qCompress of the text (a 4-byte big-endian length, then a zlib stream).
QByteArray packNetwork(const QByteArray& text);
// Throws tabi::Error when the bytes are no packed network.
QByteArray unpackNetwork(const QByteArray& packed);

// The network built into the program, unpacked on first use. Throws tabi::Error when it is missing or damaged.
const QByteArray& builtInNetwork();

// The source of the network built into the program, from the file beside it (src/supplied/SOURCE_COMMIT: the data
// set's commit line, then "network <digest>"): the commit, its date and the digest infoOf(builtInNetwork()) gives,
// read without unpacking the network. Throws tabi::Error when it is missing.
NetworkInfo builtInSource();

// The file beside a supplied network that says where it comes from, as builtInSource() reads it.
QByteArray sourceFileText(const NetworkInfo& info);

// Reads the source, counts and digest of a network text (quick: no rows are parsed beyond the counts).
NetworkInfo infoOf(const QByteArray& text);

// What NET_SOURCE.FOLDER says for a network that came with the program.
QString suppliedFolderName();

// Puts the network of text into a reference database in one transaction: its MASTER and EKI rows replace the
// sample's (the sample's routes are routes of the network under the same codes), the network tables are filled,
// the classifications and categories it lacks are added, and VER and NET_OFFER name the copy it holds. Meant for
// a database made moments ago. Throws tabi::Error (the database is then as it was).
void layOutNetwork(Database& reference, const QByteArray& text);

// First start: makes the reference database at path with the network of text. It is built under a temporary name
// beside path and moved into place only when complete, so that a failure leaves no database behind. Throws
// tabi::Error naming the reason.
void createReferenceWithNetwork(const QString& path, const QByteArray& text);

} // namespace tabi::supplied
