#pragma once

#include "data/routenames.h"
#include "netmap/coverage.h"
#include "network/network.h"

#include <QHash>
#include <QString>
#include <QVector>

namespace tabi::netexport {

// What a network file holds, for the report.
struct NetworkExport {
    int routes = 0;   // every route of the network
    int drawable = 0; // those with a line
};

// Every route of the network with its ridden share over the filter's period (networkGeoJson), written through
// the checked replacement of every file the program writes. The file must end in .geojson or .json: a KML or
// GPX ending, or none, is refused with a message. Throws tabi::Error.
NetworkExport writeNetworkFile(const QString& fileName, const tabi::network::Network& network,
                               const QVector<netmap::Ride>& rides, const QHash<QString, RouteNames>& names,
                               const netmap::Filter& filter);

} // namespace tabi::netexport
