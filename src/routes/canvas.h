#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QString>
#include <QVector>

// A raster canvas with the pen-and-brush model of the route drawings: a box (x1, y1)-(x2, y2) covers
// x1 <= x < x2 and y1 <= y < y2, filled with the brush and outlined with the pen; a line paints its start
// point but not its end point; text is opaque on the brush colour with its top-left corner at the point.
// Nothing is antialiased, so tests can read exact pixels.
namespace tabi::routes {

namespace colors {
inline const QColor white{0xFF, 0xFF, 0xFF};
inline const QColor black{0x00, 0x00, 0x00};
inline const QColor blue{0x00, 0x00, 0xFF};
inline const QColor red{0xFF, 0x00, 0x00};
inline const QColor maroon{0x80, 0x00, 0x00};
inline const QColor olive{0x80, 0x80, 0x00};
inline const QColor teal{0x00, 0x80, 0x80};
inline const QColor green{0x00, 0x80, 0x00};
} // namespace colors

class Canvas {
public:
    explicit Canvas(QImage& image);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void setPen(const QColor& color) { m_pen = color; }
    void setBrush(const QColor& color) { m_brush = color; }
    void setPenAndBrush(const QColor& color) { m_pen = m_brush = color; }
    void setFontColor(const QColor& color) { m_fontColor = color; }
    // Point sizes at 96 pixels per inch, rounded to whole pixels like the platform's font mapper.
    void setFontPointSize(int points);

    void moveTo(int x, int y) { m_at = QPoint(x, y); }
    void lineTo(int x, int y);
    void line(int x1, int y1, int x2, int y2);
    void rectangle(int x1, int y1, int x2, int y2);
    void fillBox(int x1, int y1, int x2, int y2); // brush only, no outline
    void ellipse(int x1, int y1, int x2, int y2);
    void polygon(const QVector<QPoint>& points);
    void textOut(int x, int y, const QString& text);

private:
    QPainter m_painter;
    QColor m_pen = colors::black;
    QColor m_brush = colors::white;
    QColor m_fontColor = colors::black;
    QFont m_font;
    QPoint m_at;
};

// Whole pixels of a font of the given point size on a 96 dpi raster.
int pointsToPixels(int points);

} // namespace tabi::routes
