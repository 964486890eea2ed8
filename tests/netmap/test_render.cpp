#include "fixture.h"
#include "netmap/exportmap.h"
#include "netmap/scene.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace tabi;
using namespace tabi::netmap;

namespace {

// A straight east-west track of 100 km from x = 0 to x = 100 (projected kilometres), posts 0 to 100, and an
// abolished one 10 km south of it.
Network straightNetwork() {
    Route line = test::makeRoute("101001", 100, {{"東", 0, 13, 35, 139}, {"西", 100, 13, 35, 140}});
    line.track = {{0, QPointF(0, 0)}, {100, QPointF(100, 0)}};
    Route old = test::makeRoute("101002", 100, {{"北", 0, 13, 35, 139}, {"南", 100, 13, 35, 140}}, true);
    old.track = {{0, QPointF(0, 10)}, {100, QPointF(100, 10)}};
    return test::makeNetwork({line, old});
}

// 4 pixels per kilometre; the track runs along the middle of pixel row 50, from x = 50 to x = 450.
MapView straightView() {
    MapView v;
    v.centre = QPointF(50, 0);
    v.scale = 4;
    v.size = QSize(500, 101);
    return v;
}

QImage paint(const Scene& scene, const MapStyle& style = {}) {
    const MapView view = straightView();
    QImage image(view.size, QImage::Format_RGB32);
    QPainter p(&image);
    paintMap(p, scene, view, style);
    p.end();
    return image;
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Ridden 0-50 km of the line (pixels 50-250), the rest unridden; the abolished line 40 pixels lower. With the
    // true pen widths of the exported pictures and with the screen's one-pixel pens.
    void riddenAndUnriddenColours_data() {
        QTest::addColumn<bool>("quick");
        QTest::newRow("true widths") << false;
        QTest::newRow("screen") << true;
    }

    void riddenAndUnriddenColours() {
        QFETCH(bool, quick);
        Network net = straightNetwork();
        Station mid = net.routes[0].stations[0];
        mid.name = QStringLiteral("中");
        mid.kilo = 50;
        net.routes[0].stations.insert(1, mid);
        finishNetwork(net);
        // The whole line ridden, then 中～西 taken off again.
        const QVector<Ride> played{
            {QStringLiteral("101001"), QStringLiteral("2020-01-01"), QStringLiteral("東～西"), 100},
            {QStringLiteral("101001"), QStringLiteral("2021-01-01"), QStringLiteral("西～中"), -50}};
        const Coverage cov = computeCoverage(net, played, {});
        MapStyle style;
        style.quickLines = quick;
        const QImage image = paint(buildScene(net, cov, {}), style);
        QCOMPARE(image.pixelColor(100, 50), style.ridden);
        QCOMPARE(image.pixelColor(240, 50), style.ridden);
        QCOMPARE(image.pixelColor(260, 50), style.unridden);
        QCOMPARE(image.pixelColor(440, 50), style.unridden);
        QCOMPARE(image.pixelColor(100, 40), style.background); // beside the line
        QCOMPARE(image.pixelColor(20, 50), style.background);  // beyond its end
        // The abolished route is dashed: along its row some pixels carry its colour and some the background.
        int dash = 0, gap = 0;
        for (int x = 60; x < 440; ++x) {
            const QColor c = image.pixelColor(x, 90);
            dash += c == style.abolished;
            gap += c == style.background;
        }
        QVERIFY2(dash > 50 && gap > 20, qPrintable(QStringLiteral("%1 %2").arg(dash).arg(gap)));

        // Hidden abolished routes and "only what is left" leave background where they were.
        const QImage left = paint(buildScene(net, cov, {AbolishedRoutes::Hidden, true}), style);
        QCOMPARE(left.pixelColor(100, 50), style.background);
        QCOMPARE(left.pixelColor(300, 50), style.unridden);
        for (int x = 60; x < 440; x += 7)
            QCOMPARE(left.pixelColor(x, 90), style.background);
    }

    // A track that turns a corner, cut between two posts; and posts that run backwards along the track.
    void trackBetweenPosts() {
        Route r = test::makeRoute("101001", 20, {});
        r.track = {{0, QPointF(0, 0)}, {10, QPointF(10, 0)}, {20, QPointF(10, 10)}};
        QVector<QPolygonF> lines = trackBetween(r, 15, 5);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0], QPolygonF({QPointF(5, 0), QPointF(10, 0), QPointF(10, 5)}));
        r.track = {{20, QPointF(0, 0)}, {10, QPointF(10, 0)}, {0, QPointF(20, 0)}};
        lines = trackBetween(r, 0, 5);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0], QPolygonF({QPointF(15, 0), QPointF(20, 0)}));
        QVERIFY(trackBetween(r, 30, 40).isEmpty());
    }

    void viewZoomKeepsThePointUnderThePointer() {
        MapView v = straightView();
        const QPointF px(123, 45);
        const QPointF before = v.toMap(px);
        const MapView z = v.zoomedAt(px, 2.5);
        QCOMPARE(z.scale, 10.0);
        QVERIFY((z.toMap(px) - before).manhattanLength() < 1e-9);
        const MapView f = MapView::fit(QRectF(0, 0, 100, 50), QSize(220, 120), 10);
        QCOMPARE(f.scale, 2.0);
        QCOMPARE(f.toPixel(QPointF(0, 0)), QPointF(10, 10));
    }

    // The SVG holds the same strokes as vectors, in the same colours.
    void svgExport() {
        const Network net = straightNetwork();
        const Coverage cov = computeCoverage(
            net, {{QStringLiteral("101001"), QStringLiteral("2020-01-01"), QStringLiteral("(全区間)"), 100}}, {});
        MapStyle style;
        style.legend = QStringLiteral("乗車地図");
        const QByteArray svg = mapSvg(buildScene(net, cov, {}), straightView(), style, QStringLiteral("乗車地図"));
        QVERIFY(svg.contains("<svg"));
        QVERIFY(svg.contains(style.ridden.name().toLatin1()));
        QVERIFY(svg.contains(style.abolished.name().toLatin1()));
        QVERIFY(svg.contains("<polyline"));
        const QImage png = QImage::fromData(mapPng(buildScene(net, cov, {}), straightView(), {}), "PNG");
        QCOMPARE(png.size(), QSize(500, 101));
        QCOMPARE(png.pixelColor(300, 50), MapStyle().ridden);
    }
};

QTEST_MAIN(TestRender)
#include "test_render.moc"
