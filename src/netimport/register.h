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

struct Register {
    QList<RegisterRow> rows;

    // The categories a row may name.
    static const QStringList& categories();
    // Parses one file's text and appends its rows. Throws tabi::Error naming the file and line of a malformed
    // row or of a row whose operator|name another row already has.
    void parse(const QString& text, const QString& fileName);
    // Every *.txt of a folder (a resource folder too) in name order. Throws tabi::Error.
    static Register fromFolder(const QString& folder);
    // The register built into the program.
    static const Register& builtIn();
};

} // namespace tabi::net
