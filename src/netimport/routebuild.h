#pragma once

#include "netimport/netrules.h"
#include "netimport/register.h"
#include "netimport/trackgraph.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// From the track graph and the register to the routes of the route master: each route's stations along the
// corridor its register row names, its measured posts and its classification.
namespace tabi::net {

// A station of a route, with its post in kilometres from the route's start as measured along the track.
struct DerivedStation {
    int code = 0; // the data set's station code: the same station on every route it is on
    QString name;
    QString kana;
    QString openDate; // yyyy-mm-dd or empty
    bool abolished = false;
    GeoPoint pos;
    int prefecture = 0;
    double km = 0;
};

// A route as the route master keeps it.
struct DerivedRoute {
    QString key;      // operator|name|start|end: stable across copies of the data set
    int lineCode = 0; // the first data-set line it runs on
    QString lineName; // that line's name in the data set
    QString name;     // route name, without operator prefix
    QString kana;
    QString operatorName; // registered name without 株式会社
    int companyCode = 0;
    QString bunrui; // classification code (three characters)
    QString bunruiName;
    QString kbn;            // category code
    QString haishiDate;     // yyyy-mm-dd for an abolished route
    bool inService = true;  // false for an abolished route or section (its date may be unknown)
    double officialKm = -1; // official length from the register, -1 when none
    QList<DerivedStation> stations;
    QVector<GeoPoint> track; // polyline in travelling order
    QVector<double> trackKm; // post of each polyline point

    QString start() const { return stations.isEmpty() ? QString() : stations.first().name; }
    QString end() const { return stations.isEmpty() ? QString() : stations.last().name; }
    double length() const { return stations.isEmpty() ? 0 : stations.last().km; }
};

// The category code of a register category name (新幹線 -> 13), empty for an unknown name.
QString categoryCode(const QString& category);
// The category name of a code (13 -> 新幹線).
QString categoryName(const QString& code);

// Builds the routes: the register's rows over the graph, then every data-set line whose track no route
// covers as a route of its own. Abolished routes and sections only when the source was read with them.
QList<DerivedRoute> buildRoutes(const Source& source, const TrackGraph& graph, const Register& reg, const Rules& rules,
                                QStringList& report);

} // namespace tabi::net
