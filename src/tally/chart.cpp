#include "chart.h"

#include "data/cursor.h"

#include <QColor>
#include <algorithm>
#include <cmath>

namespace tabi::tally {

namespace {
constexpr double kKiloPerPixel = 20.0;

// Fills x1 <= x < x2, y1 <= y < y2, cut to the image; an empty or inverted rectangle paints nothing.
void fill(QImage& image, int x1, int y1, int x2, int y2, QRgb colour) {
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, image.width());
    y2 = std::min(y2, image.height());
    for (int y = y1; y < y2; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + std::max(x1, 0), line + std::max(x2, x1), colour);
    }
}

// A vertical dotted line from (x, y1) down to, but not including, (x, y2): every other pixel, starting with the
// first.
void dottedVertical(QImage& image, int x, int y1, int y2, QRgb colour) {
    if (x < 0 || x >= image.width())
        return;
    for (int y = std::max(y1, 0); y < std::min(y2, image.height()); ++y)
        if ((y - y1) % 2 == 0)
            image.setPixel(x, y, colour);
}
} // namespace

int barLength(double kilo) {
    const double pixels = std::trunc(kilo / kKiloPerPixel);
    // Far beyond the image either way; keeps the conversion defined for absurd values.
    return int(std::clamp(pixels, -1.0e6, 1.0e6));
}

int riddenBarLength(double routeKilo, double riddenKilo) {
    const int route = barLength(routeKilo);
    const int ridden = barLength(riddenKilo);
    if (ridden == route && routeKilo > riddenKilo + 0.05)
        return route - 1;
    return ridden;
}

QList<ChartBar> readChartBars(const std::shared_ptr<Database>& ref) {
    TableCursor c(ref, QStringLiteral("BUNRUI"), QStringLiteral("BUNRUI_CD"));
    c.open();
    const int kilo = c.fieldIndex(QStringLiteral("TOTAL_KILO"));
    const int ridden = c.fieldIndex(QStringLiteral("TOTAL_JOSHA_KILO"));
    QList<ChartBar> bars;
    c.first();
    while (!c.eof() && bars.size() < kChartRows) {
        bars.append({c.asFloat(kilo), c.asFloat(ridden)});
        c.next();
    }
    return bars;
}

QImage chartImage(const QList<ChartBar>& bars) {
    const QRgb white = qRgb(0xFF, 0xFF, 0xFF);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    const QRgb red = qRgb(0xFF, 0, 0);
    const QRgb lime = qRgb(0, 0xFF, 0);

    QImage image(kChartWidth, kChartHeight, QImage::Format_RGB32);
    image.fill(white);
    fill(image, 0, 0, 400, 232, white);
    for (int k = 1; k <= 8; ++k)
        dottedVertical(image, 50 * k, 0, 248, black); // one line per 1,000 km

    for (int i = 1; i <= std::min<int>(int(bars.size()), kChartRows); ++i) {
        const ChartBar& bar = bars[i - 1];
        const int length = barLength(bar.routeKilo);
        const int top = 40 * i - 32;
        const int bottom = 40 * i;
        fill(image, 2, top + 2, length + 2, bottom + 2, black);
        fill(image, 1, top + 1, length + 1, bottom + 1, grey);
        fill(image, 0, top, length, bottom, red);
        fill(image, 0, top, riddenBarLength(bar.routeKilo, bar.riddenKilo), bottom, lime);
    }
    return image;
}

} // namespace tabi::tally
