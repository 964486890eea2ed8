#pragma once

#include "netimport/geo.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The public station data set as read from the user's copy: companies, lines, stations, the station order of
// each line and the track geometry. Every file is untrusted: a failure names the file and line.
namespace tabi::net {

struct SourceLayout {
    QString lineDir;             // holds line.csv, station.csv, register.csv
    QString polylineDir;         // polyline/ of lineDir (may be absent)
    QString fallbackPolylineDir; // polyline/ of the sibling "main" folder, for lines the extra folder has none of
    QString companyCsv;
    QString root; // the folder the user named
    bool withAbolished = false;
};

// Finds the files from a clone's root (out/main, out/extra, src/), a folder laid out as main/, extra/, src/,
// or a main or extra folder itself (company.csv then from src/ beside or above it). Throws tabi::Error.
SourceLayout resolveSource(const QString& folder, bool withAbolished);

struct Company {
    int code = 0;
    QString name; // registered name without 株式会社
    QString shortName;
    QString listedName; // the name column of company.csv (京都丹後鉄道 for WILLER TRAINS)
    int type = 0;       // 0 other, 1 JR, 2 major private, 3 semi-major
};

struct Line {
    int code = 0;
    QString name;
    QString formalName; // empty when the data set gives none
    QString kana;
    int companyCode = 0;
    bool closed = false;
    QString closedDate; // yyyy-mm-dd or empty
    int fileLine = 0;
};

struct Station {
    int code = 0;
    QString name; // plain name, without the data set's disambiguation
    QString kana;
    GeoPoint pos;
    int prefecture = 0; // 1..47, 0 when unknown
    bool closed = false;
    QString openDate; // yyyy-mm-dd or empty
    QString closedDate;
};

// One LineString of a line's geometry.
using Track = QVector<GeoPoint>;

struct Source {
    SourceLayout layout;
    QHash<int, Company> companies;
    QList<Line> lines; // in file order
    QHash<int, Station> stations;
    QHash<int, QList<int>> order; // line code -> station codes by register index
    QStringList report;           // lines the reading skipped, each naming file and line
    QString sourceCommit;         // SOURCE_COMMIT or empty
    QString author;               // the "@author" line of LICENSE.md, or empty
};

// Reads the CSV files. Throws tabi::Error naming file and line for a file that cannot be used at all.
Source readSource(const SourceLayout& layout);

// The tracks of one line; empty when the line has no polyline file. Throws tabi::Error naming the file when
// it is not GeoJSON made of LineStrings.
QList<Track> readTracks(const SourceLayout& layout, int lineCode);

// The plain name riders write: "中野(東京)" -> "中野", or original_name where that is the plain one.
QString plainStationName(const QString& name, const QString& originalName);
// The registered name as the route master writes it: 東日本旅客鉄道株式会社 -> 東日本旅客鉄道.
QString plainCompanyName(const QString& formal);

} // namespace tabi::net
