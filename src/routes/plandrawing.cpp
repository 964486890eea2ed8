#include "routes/plandrawing.h"

#include "data/formats.h"
#include "routes/canvas.h"

#include <algorithm>
#include <cmath>

namespace tabi::routes {

namespace {

bool hasRectangle(const QString& kind) {
    static const QStringList kinds{QStringLiteral("般"), QStringLiteral("旅"), QStringLiteral("貨"),
                                   QStringLiteral("無"), QStringLiteral("駅"), QStringLiteral("委"),
                                   QStringLiteral("簡"), QStringLiteral("臨")};
    return kinds.contains(kind);
}

} // namespace

PlanDrawing::PlanDrawing() = default;

// The raster is large (tens of megabytes), so it is made on the first drawing rather than with its screen.
QImage& PlanDrawing::raster() {
    if (m_image.isNull()) {
        m_image = QImage(kWidth, kHeight, QImage::Format_RGB32);
        m_image.fill(colors::white);
    }
    return m_image;
}

void PlanDrawing::memori(double routeKilo, int scale) {
    Canvas c(raster());
    c.setPenAndBrush(colors::white);
    c.rectangle(0, 0, kWidth, 32000);

    const int t = int(std::trunc(routeKilo / 10));
    const int n = t + 1;
    const int h = n * 10 * scale;
    m_pictureHeight = std::max(h + 100, kMinPictureHeight);

    c.setPen(colors::blue);
    c.line(40, 40, 40, 40 + h);
    for (int i = 0; i <= 10 * n; ++i)
        c.line(30, 40 + i * scale, 40, 40 + i * scale);
    for (int i = 0; i <= n; ++i)
        c.line(20, 40 + 10 * i * scale, 40, 40 + 10 * i * scale);
}

void PlanDrawing::sakuzu(const QVector<DrawStation>& stations, int scale) {
    Canvas c(raster());
    c.setPenAndBrush(colors::red);
    c.moveTo(70, 40);
    c.rectangle(67, 37, 73, 43);
    c.setFontPointSize(11);

    const QString on = QStringLiteral("○");
    for (const DrawStation& st : stations) {
        const int y = kiloToPixel(st.kilo, scale);
        c.setPenAndBrush(colors::red);
        // The line reaches every station, shown or not.
        c.lineTo(70, y);
        if (st.hyoji == on) {
            const QString& kind = st.shurui;
            if (hasRectangle(kind)) {
                c.setPenAndBrush(colors::red);
                c.rectangle(62, y - 3, 78, y + 3);
            }
            if (kind == QStringLiteral("廃")) {
                c.setPenAndBrush(colors::red);
                c.line(62, y - 3, 78, y + 3);
                c.line(62, y + 3, 78, y - 3);
                c.setPen(colors::red);
                c.setBrush(colors::white);
                c.textOut(46, y - 7, kind);
            }
            if (kind == QStringLiteral("貨")) {
                c.setPen(colors::black);
                c.setBrush(colors::white);
                c.textOut(46, y - 7, kind);
            }
            if (kind == QStringLiteral("信")) {
                c.setPenAndBrush(colors::red);
                c.polygon({QPoint(70, y - 3), QPoint(78, y + 3), QPoint(62, y + 3)});
            }
            if (kind == QStringLiteral("川")) {
                // A band across the line, broken where the line passes.
                c.setPenAndBrush(colors::blue);
                c.rectangle(54, y - 1, 68, y + 1);
                c.rectangle(73, y - 1, 240, y + 1);
                c.setPen(colors::black);
                c.setBrush(colors::white);
                c.textOut(250, y - 7, st.name);
            }
            if (kind == QStringLiteral("特")) {
                c.setPenAndBrush(colors::red);
                c.polygon({QPoint(50, y), QPoint(40, y - 4), QPoint(60, y), QPoint(40, y + 4)});
            }
            if (kind != QStringLiteral("川")) {
                c.setPen(colors::black);
                c.setBrush(colors::white);
                c.textOut(90, y - 7,
                          st.name + QLatin1Char('(') + fmt::formatNumber(st.kilo, u"0.0") + QLatin1Char(')'));
            }
        }
        c.moveTo(70, y);
    }
}

void PlanDrawing::draw(double routeKilo, const QVector<DrawStation>& stations, int scale) {
    memori(routeKilo, scale);
    sakuzu(stations, scale);
}

QImage drawPlan(double routeKilo, const QVector<DrawStation>& stations, int scale, int* pictureHeight) {
    PlanDrawing plan;
    plan.draw(routeKilo, stations, scale);
    if (pictureHeight)
        *pictureHeight = plan.pictureHeight();
    return plan.image();
}

} // namespace tabi::routes
