#pragma once

#include "routes/drawstations.h"

#include <QImage>

namespace tabi::routes {

// The horizontal line diagram of one route on a 32000 x 260 raster: kilometre ruler on top, the route as a
// bar along y = 80, marked stations with their symbols, labels, names written downwards and kilometre posts.
// The raster keeps whatever was drawn last; each step paints over it.
class LineDiagram {
public:
    static constexpr int kWidth = 32000;
    static constexpr int kHeight = 260;
    static constexpr int kMinPictureWidth = 806;

    LineDiagram();

    // Page shown: whiten the left half of the raster only.
    void prepare();
    // Clear the raster and draw the ruler for a route of routeKilo; sets the picture width.
    void memori(double routeKilo, int scale);
    // The route bar with its two terminal discs.
    void sakuzu1(double routeKilo, int scale);
    // The stations, in the given (kilometre) order.
    void sakuzu2(const QVector<DrawStation>& stations, int scale);
    // "投画(&G)": the three steps in order.
    void draw(double routeKilo, const QVector<DrawStation>& stations, int scale);

    // Null until the first drawing step; a null raster reads as white.
    const QImage& image() const { return m_image; }
    // The width the scroll box scrolls over: the ruler plus 100 pixels, at least 806.
    int pictureWidth() const { return m_pictureWidth; }

private:
    QImage& raster();

    QImage m_image;
    int m_pictureWidth = kMinPictureWidth;
};

// A fresh diagram of a route drawn at the given scale.
QImage drawLineDiagram(double routeKilo, const QVector<DrawStation>& stations, int scale, int* pictureWidth = nullptr);

} // namespace tabi::routes
