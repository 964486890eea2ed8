#pragma once

#include "netimport/routebuild.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Which route already in the reference database (the program's sample, a record brought over, the user's own)
// stands for which built route: matched by operator (with its renames), name or alias and the share of its
// stations the built route has. A matched route keeps its code, its name and its rides.
namespace tabi::net {

// Spelling variants (rules/aliases.txt): of stations (鷹ノ巣 for 鷹巣), operators (a renamed company) and
// routes (an old or formal name for the name riders write).
struct Aliases {
    QHash<QString, QString> station;    // variant -> name of the data set
    QHash<QString, QString> operatorOf; // former or other name -> name the route master writes
    QHash<QString, QString> route;      // "operator|variant" -> route name

    // Parses the table's text. Throws tabi::Error naming the line of a malformed row.
    static Aliases parse(const QString& text, const QString& fileName);
    static const Aliases& builtIn();
};

struct ExistingRoute {
    QString code, name, operatorName, start, end, haishi;
    double km = 0;
    QStringList stations; // names, in order of their posts
};

struct Reconciliation {
    QHash<int, QString> codeOf; // built route (index) -> code of the existing route that stands for it
    QHash<int, bool> differs;   // the matched route's terminals or length differ from the built route's
    QStringList report;         // unmatched routes with their nearest candidates
};

Reconciliation reconcile(const QList<DerivedRoute>& built, const QList<ExistingRoute>& existing,
                         const Aliases& aliases);

} // namespace tabi::net
