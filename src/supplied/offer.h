#pragma once

#include "netimport/netimport.h"
#include "supplied/network.h"

#include <QList>

namespace tabi {
class Database;
}

// Reference databases made before the supplied network (by an older version, or brought over from Access) keep
// working; the supplied network is offered to each of them once and merged as an import of the data set is.
namespace tabi::supplied {

// True when the database should be asked: it holds no answer for this supplied copy, and its network (if any)
// came with the program rather than from an import the user ran (that user updates with the menu command).
bool offerDue(Database& reference, const NetworkInfo& info);

// The routes of a network text as the import derives them, in the order of their codes, so that the import's
// merge can take them: each keeps its source key, values, stations with positions, and track.
QList<net::DerivedRoute> routesOf(const QByteArray& text);

// Merges the network of text into the reference database through the import's merge (codes and the user's values
// kept, rides untouched). Unless options.dryRun, the database is first copied to
// backups/Tabiroku-before-network-yyyy-mm-dd-hhmmss.db and the answer "更新" is recorded.
net::ImportResult mergeNetwork(Database& reference, const QByteArray& text, const net::ImportOptions& options = {});

// The operator spellings an import of the data set at folder adds to the built-in aliases (for networkText).
// Throws tabi::Error when the folder holds no data set.
QHash<QString, QString> datasetOperatorAliases(const QString& folder);

// Records that the user declined this copy, so that it is not offered again.
void recordDeclined(Database& reference, const NetworkInfo& info);

} // namespace tabi::supplied
