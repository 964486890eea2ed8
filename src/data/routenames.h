#pragma once

#include "data/stepcursor.h"

#include <QHash>
#include <QString>

namespace tabi {

struct RouteNames {
    QString name;         // ROSEN_KANJI
    QString operatorName; // SHOZOKU
};

// Name and operator of every route of MASTER by its exact code, from one pass over the route table: the check
// lists look up thousands of rows against a few thousand routes.
inline QHash<QString, RouteNames> routeNamesByCode(const std::shared_ptr<Database>& ref) {
    StepCursor routes(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"),
                      {QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_KANJI"), QStringLiteral("SHOZOKU")});
    const int code = routes.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int name = routes.fieldIndex(QStringLiteral("ROSEN_KANJI"));
    const int shozoku = routes.fieldIndex(QStringLiteral("SHOZOKU"));
    QHash<QString, RouteNames> out;
    forEachRecord(routes, [&] {
        out.insert(routes.asString(code), {routes.asString(name), routes.asString(shozoku)});
    });
    return out;
}

} // namespace tabi
