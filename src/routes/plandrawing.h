#pragma once

#include "routes/drawstations.h"

#include <QImage>

namespace tabi::routes {

// The vertical plan of one route on a 348 x 16000 raster: ruler on the left, the route as a red line along
// x = 70 from the start square down to the last station, red symbols, labels left of the line, rivers as
// blue bands across it, and names with kilometre posts on the right. Every drawing repaints the whole raster.
class PlanDrawing {
public:
    static constexpr int kWidth = 348;
    static constexpr int kHeight = 16000;
    static constexpr int kMinPictureHeight = 480;

    PlanDrawing();

    // Clear the raster and draw the ruler for a route of routeKilo; sets the picture height.
    void memori(double routeKilo, int scale);
    // The route line and its stations, in the given (kilometre) order.
    void sakuzu(const QVector<DrawStation>& stations, int scale);
    void draw(double routeKilo, const QVector<DrawStation>& stations, int scale);

    // Null until the first drawing step; a null raster reads as white.
    const QImage& image() const { return m_image; }
    // The height the scroll box scrolls over: the ruler plus 100 pixels, at least 480.
    int pictureHeight() const { return m_pictureHeight; }

private:
    QImage& raster();

    QImage m_image;
    int m_pictureHeight = kMinPictureHeight;
};

QImage drawPlan(double routeKilo, const QVector<DrawStation>& stations, int scale, int* pictureHeight = nullptr);

} // namespace tabi::routes
