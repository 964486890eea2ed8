#pragma once

#include "netmap/coverage.h"

#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

class QPainter;

// The map as strokes in projected kilometres, and how a view of it is painted.
namespace tabi::netmap {

enum class StrokeKind { Unridden, Ridden, AbolishedUnridden, AbolishedRidden };

struct Stroke {
    StrokeKind kind;
    QPolygonF points; // projected
    QRectF bounds;
};

struct StationMark {
    QString name;
    QPointF xy;
};

enum class AbolishedRoutes { Dashed, Hidden };

struct SceneOptions {
    AbolishedRoutes abolished = AbolishedRoutes::Dashed;
    bool onlyLeft = false; // only what is left to ride: ridden stretches are not drawn
};

struct Scene {
    QVector<Stroke> strokes; // in painting order: unridden below ridden
    QVector<StationMark> stations;
    QRectF bounds; // of every stroke
};

// The part of a route's track between two posts, as polylines (a track that doubles back may give several).
QVector<QPolygonF> trackBetween(const Route& route, double from, double to);

Scene buildScene(const Network& network, const Coverage& coverage, const SceneOptions& options);

// Which part of the map a picture shows: the projected point at its centre and the pixels per kilometre.
struct MapView {
    QPointF centre;
    double scale = 1; // pixels per kilometre
    QSize size;       // pixels

    QPointF toPixel(const QPointF& xy) const {
        return QPointF((xy.x() - centre.x()) * scale + size.width() / 2.0,
                       (xy.y() - centre.y()) * scale + size.height() / 2.0);
    }
    QPointF toMap(const QPointF& px) const {
        return QPointF((px.x() - size.width() / 2.0) / scale + centre.x(),
                       (px.y() - size.height() / 2.0) / scale + centre.y());
    }
    QRectF visibleMap() const;
    // The whole of bounds inside size, with a margin in pixels; a view of all Japan for empty bounds.
    static MapView fit(const QRectF& bounds, const QSize& size, int margin = 16);
    // Zoomed by factor about a pixel, which stays over the same place.
    MapView zoomedAt(const QPointF& px, double factor) const;
    MapView panned(const QPointF& pixels) const;
};

struct MapStyle {
    QColor background{0xF7, 0xF7, 0xF2};
    QColor ridden{0xD3, 0x2F, 0x2F};
    QColor unridden{0x90, 0x9A, 0xA6};
    QColor abolished{0xB8, 0xA4, 0x8C};
    QColor stationText{0x30, 0x30, 0x30};
    double riddenWidth = 3;
    double unriddenWidth = 1.6;
    double namesFromScale = 12; // station names appear from this many pixels per kilometre
    bool antialiased = true;
    // On screen: every line drawn with one-pixel pens, a wide one as five of them side by side. The raster
    // engine draws those about ten times faster than outlined wide pens, which pans and zooms need; pictures
    // written to files keep the true widths.
    bool quickLines = false;
    QString legend; // a caption box in the top-left corner when not empty (exported pictures)
};

// Paints the view; strokes outside it are skipped and points closer than a pixel are merged.
void paintMap(QPainter& painter, const Scene& scene, const MapView& view, const MapStyle& style);

} // namespace tabi::netmap
