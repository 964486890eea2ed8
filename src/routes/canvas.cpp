#include "routes/canvas.h"

#include "ui/fonts.h"

#include <QFontMetrics>
#include <QPen>

namespace tabi::routes {

int pointsToPixels(int points) {
    return (points * 96 + 36) / 72;
}

Canvas::Canvas(QImage& image) : m_painter(&image) {
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, false);
    m_font = ui::uiFont(16);
    m_font.setStyleStrategy(QFont::NoAntialias);
}

Canvas::~Canvas() = default;

void Canvas::setFontPointSize(int points) {
    m_font.setPixelSize(pointsToPixels(points));
}

void Canvas::line(int x1, int y1, int x2, int y2) {
    if (x1 == x2 && y1 == y2)
        return;
    // A flat cap on a one-pixel cosmetic pen leaves the end point unpainted.
    QPen pen(m_pen, 1, Qt::SolidLine, Qt::FlatCap);
    pen.setCosmetic(true);
    m_painter.setPen(pen);
    m_painter.drawLine(x1, y1, x2, y2);
}

void Canvas::lineTo(int x, int y) {
    line(m_at.x(), m_at.y(), x, y);
    m_at = QPoint(x, y);
}

void Canvas::fillBox(int x1, int y1, int x2, int y2) {
    if (x2 > x1 && y2 > y1)
        m_painter.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), m_brush);
}

void Canvas::rectangle(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1)
        return;
    m_painter.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), m_brush);
    if (m_pen != m_brush) {
        m_painter.setPen(QPen(m_pen, 0));
        m_painter.setBrush(Qt::NoBrush);
        // A stroked QRect covers its size plus one pixel, so the outline box is one smaller.
        m_painter.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
    }
}

void Canvas::ellipse(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1)
        return;
    m_painter.setPen(QPen(m_pen, 0));
    m_painter.setBrush(m_brush);
    m_painter.drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void Canvas::polygon(const QVector<QPoint>& points) {
    m_painter.setPen(QPen(m_pen, 0));
    m_painter.setBrush(m_brush);
    m_painter.drawPolygon(points.constData(), int(points.size()));
}

void Canvas::textOut(int x, int y, const QString& text) {
    if (text.isEmpty())
        return;
    m_painter.setFont(m_font);
    const QFontMetrics metrics(m_font, m_painter.device());
    // Opaque text: the cell behind the glyphs takes the brush colour first.
    m_painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), m_brush);
    m_painter.setPen(m_fontColor);
    m_painter.drawText(x, y + metrics.ascent(), text);
}

} // namespace tabi::routes
