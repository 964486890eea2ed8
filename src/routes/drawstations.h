#pragma once

#include <QString>
#include <QVector>

namespace tabi {
class TableCursor;
}

namespace tabi::routes {

// One row of EKI as the route drawings read it.
struct DrawStation {
    double kilo = 0; // KILO; an empty kilometre post counts as 0
    QString hyoji;   // HYOJI: "○" marks a station the drawings show
    QString shurui;  // SHURUI: the station kind that chooses the symbol
    QString name;    // EKI_KANJI
};

// The stations of one route from a cursor on EKI ordered by ROSEN_CD (linked to a route or not): stand on the
// first row at or after the code and read while the row's ROSEN_CD still equals it. Leaves the cursor after the
// last station read.
QVector<DrawStation> readDrawStations(TableCursor& stations, const QString& code);

// Pixel of a kilometre post along the drawing axis: trunc(k * s) + 40.
int kiloToPixel(double kilo, int scale);

// The three scales of the "目盛選択" group, in pixels per kilometre.
enum Scale { ScaleWide = 4, ScaleNormal = 20, ScaleZoom = 50 };

} // namespace tabi::routes
