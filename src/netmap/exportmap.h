#pragma once

#include "netmap/coverage.h"
#include "netmap/scene.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QVector>

namespace tabi {
class Database;
}

namespace tabi::netmap {

// Everything the map is made of, read once: the network and every ride.
struct MapData {
    Network network;
    QVector<Ride> rides;
};
MapData loadMapData(Database& ref, Database& per);

// The message when the network carries no station positions, so that neither map nor prefectures can be made.
QString noPositionsMessage();

// The picture as a PNG or SVG file (chosen by the file name's ending, ".png" or ".svg", any case), written
// through the checked replacement of every file the program writes. Throws tabi::Error.
void writeMapFile(const QString& fileName, const Scene& scene, const MapView& view, const MapStyle& style);
QByteArray mapPng(const Scene& scene, const MapView& view, const MapStyle& style);
QByteArray mapSvg(const Scene& scene, const MapView& view, const MapStyle& style, const QString& title);

// The lines of the prefecture list, as the check lists' CSV export writes them: one line per prefecture in JIS
// order, no header line, 都道府県 quoted, 路線キロ, 乗車キロ and 乗車率 bare.
QStringList prefectureCsvLines(const QVector<PrefectureFigures>& figures);
void writePrefectureCsv(const QString& fileName, const QVector<PrefectureFigures>& figures);

// The caption of an exported picture: what it shows and for which period.
QString legendText(const Filter& filter, const Coverage& coverage);

// The two forms' work, once an application object exists (a GUI one for the map): args as the program got them,
// the program's name and the option first. Progress and the report go to standard output, a failure's message to
// standard error; the exit code is 0 when the file was written, 1 when it could not be, 2 for wrong options.
int exportMap(const QStringList& args);
int exportPrefectures(const QStringList& args);

// Command-line forms, run before any application object exists; they return the exit code.
// tabiroku --export-map OUT.png|OUT.svg [--from yyyy-mm-dd] [--to yyyy-mm-dd]
int exportMapCommand(int argc, char* argv[]);
// tabiroku --export-prefectures OUT.csv [--from yyyy-mm-dd] [--to yyyy-mm-dd]
int exportPrefecturesCommand(int argc, char* argv[]);

} // namespace tabi::netmap
