#include "routes/linediagram.h"

#include "data/formats.h"
#include "routes/canvas.h"

#include <algorithm>
#include <cmath>

namespace tabi::routes {

namespace {

const QString kOn = QStringLiteral("○");

bool hasDisc(const QString& kind) {
    static const QStringList kinds{QStringLiteral("般"), QStringLiteral("旅"), QStringLiteral("貨"),
                                   QStringLiteral("臨"), QStringLiteral("廃")};
    return kinds.contains(kind);
}

// A white label on a coloured cell above the bar.
void label(Canvas& c, int x, const QColor& background, const QString& text) {
    c.setPenAndBrush(background);
    c.setFontColor(colors::white);
    c.setFontPointSize(11);
    c.textOut(x - 7, 50, text);
}

} // namespace

LineDiagram::LineDiagram() = default;

// The raster is large (tens of megabytes), so it is made on the first drawing rather than with its screen.
QImage& LineDiagram::raster() {
    if (m_image.isNull()) {
        m_image = QImage(kWidth, kHeight, QImage::Format_RGB32);
        m_image.fill(colors::white);
    }
    return m_image;
}

void LineDiagram::prepare() {
    Canvas c(raster());
    c.setPenAndBrush(colors::white);
    c.rectangle(0, 0, 16000, kHeight);
}

void LineDiagram::memori(double routeKilo, int scale) {
    Canvas c(raster());
    c.setPenAndBrush(colors::white);
    c.rectangle(0, 0, kWidth, kHeight);

    const int t = int(std::trunc(routeKilo / 10));
    const int n = t + 1; // ten-kilometre blocks the ruler spans
    const int w = n * 10 * scale;
    m_pictureWidth = std::max(w + 100, kMinPictureWidth);

    c.setPen(colors::blue);
    c.line(40, 40, 40 + w, 40);
    for (int i = 0; i <= 10 * n; ++i)
        c.line(40 + i * scale, 30, 40 + i * scale, 40);
    for (int i = 0; i <= n; ++i)
        c.line(40 + 10 * i * scale, 20, 40 + 10 * i * scale, 40);
}

void LineDiagram::sakuzu1(double routeKilo, int scale) {
    Canvas c(raster());
    c.setPenAndBrush(colors::olive);
    c.ellipse(34, 74, 46, 86);
    c.setFontPointSize(11);
    const int xe = kiloToPixel(routeKilo, scale);
    c.line(40, 80, xe, 80);
    c.rectangle(40, 79, xe, 81);
    c.ellipse(xe - 6, 74, xe + 6, 86);
}

void LineDiagram::sakuzu2(const QVector<DrawStation>& stations, int scale) {
    Canvas c(raster());
    c.setPenAndBrush(colors::maroon);
    c.ellipse(34, 74, 46, 86);
    c.setFontPointSize(10);

    for (const DrawStation& st : stations) {
        const int x = kiloToPixel(st.kilo, scale);
        c.setPenAndBrush(colors::maroon);
        c.moveTo(x, 80);
        if (st.hyoji == kOn) {
            const QString& kind = st.shurui;
            if (hasDisc(kind))
                c.ellipse(x - 6, 74, x + 6, 86);
            if (kind == QStringLiteral("廃")) {
                c.setPenAndBrush(colors::white);
                c.line(x - 6, 74, x + 7, 87);
                c.line(x - 6, 86, x + 7, 73);
                label(c, x, colors::maroon, kind);
            }
            if (kind == QStringLiteral("貨") || kind == QStringLiteral("臨"))
                label(c, x, colors::teal, kind);
            if (kind == QStringLiteral("信")) {
                c.setPenAndBrush(colors::maroon);
                c.polygon({QPoint(x, 74), QPoint(x + 6, 84), QPoint(x - 6, 84)});
                label(c, x, colors::green, kind);
            }
            if (kind != QStringLiteral("川")) {
                c.setPen(colors::black);
                c.setBrush(colors::white);
                c.setFontColor(colors::black);
                c.setFontPointSize(12);
                // The name reads downwards, one character under the other.
                const QList<uint> chars = st.name.toUcs4();
                for (int i = 0; i < chars.size(); ++i) {
                    const char32_t ch = chars[i];
                    c.textOut(x - 7, 100 + 18 * i, QString::fromUcs4(&ch, 1));
                }
                c.setFontPointSize(8);
                c.textOut(x - 7, 6, fmt::formatNumber(st.kilo, u"0.0"));
            }
        }
        c.moveTo(x, 80);
    }
}

void LineDiagram::draw(double routeKilo, const QVector<DrawStation>& stations, int scale) {
    memori(routeKilo, scale);
    sakuzu1(routeKilo, scale);
    sakuzu2(stations, scale);
}

QImage drawLineDiagram(double routeKilo, const QVector<DrawStation>& stations, int scale, int* pictureWidth) {
    LineDiagram diagram;
    diagram.draw(routeKilo, stations, scale);
    if (pictureWidth)
        *pictureWidth = diagram.pictureWidth();
    return diagram.image();
}

} // namespace tabi::routes
