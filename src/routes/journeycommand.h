#pragma once

#include "netroute/routefinder.h"
#include "netroute/stationsearch.h"

#include <QString>
#include <QStringList>

// tabiroku --route FROM TO [--via STATION]... [--no-shinkansen] [--avoid ROUTE]... [--date yyyy-mm-dd --record]
namespace tabi::routes {

// The station a typed name stands for. Empty with a Japanese message when it names none or several (the
// candidates listed, each in a form that names it alone, "名前@路線").
int stationForName(const netroute::StationIndex& index, const QString& text, QString& error);

// One leg per line, tab-separated: route code, route name, section, km, new km; then "合計", km, new km.
QStringList legLines(const netroute::Journey& journey, const network::Network& network);

int routeCommand(int argc, char* argv[]);

} // namespace tabi::routes
