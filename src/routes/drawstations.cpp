#include "routes/drawstations.h"

#include "data/cursor.h"

#include <cmath>

namespace tabi::routes {

QVector<DrawStation> readDrawStations(TableCursor& stations, const QString& code) {
    QVector<DrawStation> out;
    const int codeField = stations.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int kiloField = stations.fieldIndex(QStringLiteral("KILO"));
    const int hyojiField = stations.fieldIndex(QStringLiteral("HYOJI"));
    const int kindField = stations.fieldIndex(QStringLiteral("SHURUI"));
    const int nameField = stations.fieldIndex(QStringLiteral("EKI_KANJI"));
    stations.findNearest({code});
    while (!stations.eof() && stations.asString(codeField) == code) {
        out.append({stations.asFloat(kiloField), stations.asString(hyojiField), stations.asString(kindField),
                    stations.displayText(nameField)});
        stations.next();
    }
    return out;
}

int kiloToPixel(double kilo, int scale) {
    return int(std::trunc(kilo * scale)) + 40;
}

} // namespace tabi::routes
