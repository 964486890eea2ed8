#include "netmap/scene.h"

#include "network/trackpieces.h"

#include "network/projection.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tabi::netmap {

namespace {

QRectF boundsOf(const QPolygonF& points) {
    // A tiny margin, so that a straight north-south or east-west stroke still has an area to meet the view with.
    return points.boundingRect().adjusted(-0.001, -0.001, 0.001, 0.001);
}

QPointF lerp(const QPointF& a, const QPointF& b, double t) {
    return a + (b - a) * t;
}

} // namespace

QVector<QPolygonF> trackBetween(const Route& route, double from, double to) {
    QVector<QPolygonF> out;
    QPolygonF current;
    auto finish = [&] {
        if (current.size() >= 2)
            out.append(current);
        current.clear();
    };
    const QVector<TrackPoint>& t = route.track;
    network::forEachTrackPiece(t, from, to, [&](int i, double ta, double tb, bool newLine) {
        if (newLine) {
            finish();
            current << lerp(t[i].xy, t[i + 1].xy, ta);
        }
        current << lerp(t[i].xy, t[i + 1].xy, tb);
    });
    finish();
    return out;
}

Scene buildScene(const Network& network, const Coverage& coverage, const SceneOptions& options) {
    Scene scene;
    QVector<Stroke> ridden;
    for (int i = 0; i < network.routes.size() && i < coverage.routes.size(); ++i) {
        const Route& route = network.routes[i];
        const RouteCoverage& rc = coverage.routes[i];
        if (!rc.included || !route.drawable())
            continue;
        if (route.abolished && options.abolished == AbolishedRoutes::Hidden)
            continue;
        double lo = route.track.first().kilo, hi = lo;
        for (const TrackPoint& p : route.track) {
            lo = std::min(lo, p.kilo);
            hi = std::max(hi, p.kilo);
        }
        const StrokeKind left = route.abolished ? StrokeKind::AbolishedUnridden : StrokeKind::Unridden;
        const StrokeKind done = route.abolished ? StrokeKind::AbolishedRidden : StrokeKind::Ridden;
        auto put = [&](QVector<Stroke>& into, StrokeKind kind, double a, double b) {
            for (QPolygonF& line : trackBetween(route, a, b))
                into.append({kind, line, boundsOf(line)});
        };
        if (lo == hi) {
            // Every point at one post: nothing to measure along, drawn whole by whether that post is ridden.
            const bool r = rc.ridden.measureWithin(lo - 1e-9, hi + 1e-9) > 0;
            if (!(r && options.onlyLeft)) {
                QPolygonF line;
                for (const TrackPoint& p : route.track)
                    line << p.xy;
                (r ? ridden : scene.strokes).append({r ? done : left, line, boundsOf(line)});
            }
        } else {
            for (const IntervalSet::Part& g : rc.ridden.gapsWithin(lo, hi))
                put(scene.strokes, left, g.from, g.to);
            if (!options.onlyLeft)
                for (const IntervalSet::Part& p : rc.ridden.partsWithin(lo, hi))
                    put(ridden, done, p.from, p.to);
        }
        for (const Station& s : route.stations)
            if (s.positioned)
                scene.stations.append({s.name, s.xy});
    }
    scene.strokes += ridden;
    QRectF b;
    for (const Stroke& s : scene.strokes)
        b = b.isNull() ? s.bounds : b.united(s.bounds);
    scene.bounds = b;
    return scene;
}

QRectF MapView::visibleMap() const {
    return QRectF(toMap(QPointF(0, 0)), toMap(QPointF(size.width(), size.height()))).normalized();
}

MapView MapView::fit(const QRectF& bounds, const QSize& size, int margin) {
    QRectF b = bounds;
    if (b.isNull() || b.width() <= 0 || b.height() <= 0) {
        if (b.isNull()) // nothing to show: the main islands
            b = QRectF(network::project(45.5, 129.5), network::project(31.0, 146.0)).normalized();
        else
            b = b.adjusted(-5, -5, 5, 5);
    }
    MapView v;
    v.size = size;
    v.centre = b.center();
    const double w = std::max(1, size.width() - 2 * margin), h = std::max(1, size.height() - 2 * margin);
    v.scale = std::min(w / b.width(), h / b.height());
    return v;
}

MapView MapView::zoomedAt(const QPointF& px, double factor) const {
    MapView v = *this;
    const QPointF at = toMap(px);
    v.scale = std::clamp(scale * factor, 0.01, 5000.0);
    // Keep the map point under px where it was.
    v.centre = at - (px - QPointF(size.width() / 2.0, size.height() / 2.0)) / v.scale;
    return v;
}

MapView MapView::panned(const QPointF& pixels) const {
    MapView v = *this;
    v.centre -= pixels / scale;
    return v;
}

namespace {

QPen penFor(StrokeKind kind, const MapStyle& style, bool quick = false) {
    QPen pen;
    // Round joins and caps cost the stroker arcs at every point; at these widths bevels look the same.
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    switch (kind) {
    case StrokeKind::Unridden:
        pen.setColor(style.unridden);
        pen.setWidthF(style.unriddenWidth);
        break;
    case StrokeKind::Ridden:
        pen.setColor(style.ridden);
        pen.setWidthF(style.riddenWidth);
        break;
    case StrokeKind::AbolishedUnridden:
        pen.setColor(style.abolished);
        pen.setWidthF(style.unriddenWidth);
        pen.setStyle(Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        break;
    case StrokeKind::AbolishedRidden:
        pen.setColor(style.ridden);
        pen.setWidthF(style.riddenWidth);
        pen.setStyle(Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        break;
    }
    if (quick)
        pen.setWidth(0);
    return pen;
}

// The one-pixel lines that stand for a line of this width: a plus of five for a wide one, else one.
QVector<QPointF> quickOffsets(double width) {
    if (width >= 2.5)
        return {QPointF(0, 0), QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)};
    return {QPointF(0, 0)};
}

void paintStations(QPainter& painter, const Scene& scene, const MapView& view, const MapStyle& style,
                   const QRectF& visible) {
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetricsF fm(font);
    const double cell = fm.height();
    QHash<quint64, bool> taken; // cells of the picture that a name already covers
    auto cellKey = [](int x, int y) { return (quint64(quint32(x)) << 32) | quint32(y); };
    painter.setPen(QPen(style.stationText, 1));
    painter.setBrush(Qt::white);
    int drawn = 0;
    for (const StationMark& s : scene.stations) {
        if (!visible.contains(s.xy))
            continue;
        const QPointF p = view.toPixel(s.xy);
        painter.drawEllipse(p, 2.5, 2.5);
        const QRectF box(p + QPointF(4, -cell / 2), QSizeF(fm.horizontalAdvance(s.name), cell));
        const int x0 = int(std::floor(box.left() / cell)), x1 = int(std::floor(box.right() / cell));
        const int y0 = int(std::floor(box.top() / cell)), y1 = int(std::floor(box.bottom() / cell));
        bool free = true;
        for (int x = x0; x <= x1 && free; ++x)
            for (int y = y0; y <= y1 && free; ++y)
                free = !taken.contains(cellKey(x, y));
        if (!free)
            continue;
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                taken.insert(cellKey(x, y), true);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, s.name);
        if (++drawn >= 3000)
            break;
    }
}

void paintLegend(QPainter& painter, const MapStyle& style) {
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    const QFontMetricsF fm(font);
    const QStringList lines = style.legend.split(u'\n');
    const QStringList keys{QStringLiteral("乗車済み"), QStringLiteral("未乗"), QStringLiteral("廃止路線")};
    double w = 0;
    for (const QString& l : lines)
        w = std::max(w, fm.horizontalAdvance(l));
    for (const QString& k : keys)
        w = std::max(w, 40 + fm.horizontalAdvance(k));
    const double lh = fm.height() + 2;
    const QRectF box(10, 10, w + 20, lh * (lines.size() + keys.size()) + 16);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRect(box);
    double y = box.top() + 8;
    painter.setPen(style.stationText);
    for (const QString& l : lines) {
        painter.drawText(QRectF(box.left() + 10, y, w, lh), Qt::AlignLeft | Qt::AlignVCenter, l);
        y += lh;
    }
    const StrokeKind kinds[] = {StrokeKind::Ridden, StrokeKind::Unridden, StrokeKind::AbolishedUnridden};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(penFor(kinds[i], style));
        painter.drawLine(QPointF(box.left() + 10, y + lh / 2), QPointF(box.left() + 40, y + lh / 2));
        painter.setPen(style.stationText);
        painter.drawText(QRectF(box.left() + 48, y, w, lh), Qt::AlignLeft | Qt::AlignVCenter, keys[i]);
        y += lh;
    }
}

} // namespace

void paintMap(QPainter& painter, const Scene& scene, const MapView& view, const MapStyle& style) {
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), view.size), style.background);
    painter.setRenderHint(QPainter::Antialiasing, style.antialiased);
    // Strokes reaching a little beyond the picture are drawn too, so that wide pens do not end at its edge.
    const double pad = 8 / view.scale;
    const QRectF visible = view.visibleMap().adjusted(-pad, -pad, pad, pad);
    QVector<QPointF> buf, shifted;
    bool havePen = false;
    StrokeKind penKind = StrokeKind::Unridden;
    QVector<QPointF> offsets{QPointF(0, 0)};
    const double sx = view.scale, ox = view.size.width() / 2.0 - view.centre.x() * sx;
    const double oy = view.size.height() / 2.0 - view.centre.y() * sx;
    for (const Stroke& s : scene.strokes) {
        if (!s.bounds.intersects(visible))
            continue;
        if (!havePen || penKind != s.kind) {
            const QPen pen = penFor(s.kind, style);
            painter.setPen(style.quickLines ? penFor(s.kind, style, true) : pen);
            if (style.quickLines)
                offsets = quickOffsets(pen.widthF());
            penKind = s.kind;
            havePen = true;
        }
        // Points closer than about a pixel to the last one kept add nothing to the picture.
        buf.resize(0);
        QPointF last;
        for (int i = 0; i < s.points.size(); ++i) {
            const QPointF p(s.points[i].x() * sx + ox, s.points[i].y() * sx + oy);
            if (i > 0 && i + 1 < s.points.size() && std::abs(p.x() - last.x()) + std::abs(p.y() - last.y()) < 1.0)
                continue;
            buf.append(p);
            last = p;
        }
        if (offsets.size() == 1) {
            painter.drawPolyline(buf.constData(), int(buf.size()));
            continue;
        }
        for (const QPointF& o : offsets) {
            shifted.resize(buf.size());
            for (qsizetype i = 0; i < buf.size(); ++i)
                shifted[i] = buf[i] + o;
            painter.drawPolyline(shifted.constData(), int(shifted.size()));
        }
    }
    if (view.scale >= style.namesFromScale)
        paintStations(painter, scene, view, style, visible);
    if (!style.legend.isEmpty())
        paintLegend(painter, style);
    painter.restore();
}

} // namespace tabi::netmap
