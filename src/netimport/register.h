#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The register of official routes (rules/register/*.txt): one row per route as riders count it, with its
// operator, terminals, vias, category, official length and dates. The import builds each route's stations
// from the track graph along the path the row names.
namespace tabi::net {

struct RegisterRow {
    QString operatorName; // the data set's company name (company.csv name, short name or registered name)
    QString name;         // the route name riders write
    QString kana;
    QString start, end; // official terminals; both empty: the route is exactly one data-set line
    QStringList via;    // stations the path passes, in order
    // Stations the path runs past without the route stopping there (via entries written "-name"): a station of
    // a branch or of a parallel route that the data set's track reaches on the way.
    QStringList passes;
    QString category; // 新幹線, 幹線, 地方交通線, 大手民鉄, ...
    double km = -1;   // official length, -1 when none is known
    QString asOf;     // yyyy, yyyy-mm or yyyy-mm-dd
    QString closed;   // yyyy-mm-dd for an abolished route or section
    QList<int> lines; // data-set line codes that carry it
    QString source;
    QString file; // where the row was read, for messages
    int fileLine = 0;

    bool wholeLine() const { return start.isEmpty() && end.isEmpty(); }
    QString where() const; // "file の n 行目（operator name）"
};

// An official station post (rules/posts/*.txt): where the operator puts a station along one route of the
// register. The route's posts are scaled piecewise between such anchors instead of in one proportion over the
// whole route, so that a station lands on its published kilometre where the data set's track is not faithful
// or where the official figure is a fare distance rather than the track's length.
struct PostAnchor {
    QString operatorName; // as in the register row
    QString route;        // the register row's name
    QString station;      // the data set's station name, with or without its "(…)" note
    double km = 0;        // official kilometre from the route's start
    QString source;
    QString file; // where the row was read, for messages
    int fileLine = 0;

    QString where() const; // "file の n 行目（operator route station）"
};

struct Register {
    QList<RegisterRow> rows;
    QList<PostAnchor> posts;

    // The categories a row may name.
    static const QStringList& categories();
    // Parses one file's text and appends its rows. Throws tabi::Error naming the file and line of a malformed
    // row or of a row whose operator|name another row already has.
    void parse(const QString& text, const QString& fileName);
    // Parses one file of official station posts (operator | route | station | km | source) and appends its rows.
    // Throws tabi::Error naming the file and line of a malformed row or of a station given twice for a route.
    void parsePosts(const QString& text, const QString& fileName);
    // Every *.txt of a folder (a resource folder too) in name order, and the station posts of every *.txt of its
    // subfolder posts/ where there is one. Throws tabi::Error.
    static Register fromFolder(const QString& folder);
    // The register built into the program.
    static const Register& builtIn();
};

} // namespace tabi::net
