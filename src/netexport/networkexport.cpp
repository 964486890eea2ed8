#include "netexport/networkexport.h"

#include "data/atomicfile.h"
#include "data/error.h"
#include "netexport/rideexport.h"

namespace tabi::netexport {

NetworkExport writeNetworkFile(const QString& fileName, const tabi::network::Network& network,
                               const QVector<netmap::Ride>& rides, const QHash<QString, RouteNames>& names,
                               const netmap::Filter& filter) {
    if (rideFormatOf(fileName) != RideFormat::GeoJson)
        throw Error(
            QStringLiteral("路線網は GeoJSON でだけ書き出せます。書き出し先 %1 の拡張子は .geojson にしてください。")
                .arg(fileName));
    const netmap::Coverage coverage = netmap::computeCoverage(network, rides, filter);
    files::replaceFile(fileName, networkGeoJson(network, coverage, rides, filter, names),
                       QStringLiteral("路線網のファイル"));
    NetworkExport result;
    result.routes = int(network.routes.size());
    for (const tabi::network::Route& r : network.routes)
        result.drawable += r.drawable() ? 1 : 0;
    return result;
}

} // namespace tabi::netexport
