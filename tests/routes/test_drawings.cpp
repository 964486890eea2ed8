#include "data/cursor.h"
#include "routes/canvas.h"
#include "routes/linediagram.h"
#include "routes/plandrawing.h"
#include "support/tempenv.h"

#include <QtTest>

using namespace tabi;
using namespace tabi::routes;

namespace {

const QString kOn = QStringLiteral("○");

DrawStation st(double kilo, const QString& kind, const QString& name = QStringLiteral("駅"),
               const QString& hyoji = QStringLiteral("○")) {
    return {kilo, hyoji, kind, name};
}

QColor px(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// Pixels of a colour inside a box (x1, y1)-(x2, y2), right and bottom edges excluded.
int count(const QImage& image, int x1, int y1, int x2, int y2, const QColor& color) {
    int n = 0;
    for (int y = std::max(0, y1); y < std::min(image.height(), y2); ++y)
        for (int x = std::max(0, x1); x < std::min(image.width(), x2); ++x)
            n += image.pixelColor(x, y) == color;
    return n;
}

bool allWhite(const QImage& image, int x1, int y1, int x2, int y2) {
    return count(image, x1, y1, x2, y2, colors::white) == (x2 - x1) * (y2 - y1);
}

} // namespace

Q_DECLARE_METATYPE(tabi::routes::DrawStation)

class TestDrawings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void kilometrePixel_data() {
        QTest::addColumn<double>("kilo");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("pixel");
        QTest::newRow("12.34 at 20") << 12.34 << 20 << 286;
        QTest::newRow("12.34 at 50") << 12.34 << 50 << 657;
        QTest::newRow("12.34 at 4") << 12.34 << 4 << 89;
        QTest::newRow("zero") << 0.0 << 20 << 40;
        QTest::newRow("45.6 at 20") << 45.6 << 20 << 952;
    }
    void kilometrePixel() {
        QFETCH(double, kilo);
        QFETCH(int, scale);
        QFETCH(int, pixel);
        QCOMPARE(kiloToPixel(kilo, scale), pixel);
    }

    // --- line diagram -------------------------------------------------------------------------------------

    void lineRulerAndBar() {
        int width = 0;
        const QImage img = drawLineDiagram(45.6, {}, ScaleNormal, &width);
        QCOMPARE(img.size(), QSize(32000, 260));
        QCOMPARE(width, 1100); // five ten-kilometre blocks of 200 pixels, plus 100
        // 51 short ticks from y = 30, 6 long ticks from y = 20, the base line at y = 40 ending before x = 1040.
        int shortTicks = 0, longTicks = 0;
        for (int x = 0; x < 1200; ++x) {
            shortTicks += px(img, x, 30) == colors::blue;
            longTicks += px(img, x, 20) == colors::blue;
        }
        QCOMPARE(shortTicks, 51);
        QCOMPARE(longTicks, 6);
        QCOMPARE(px(img, 40, 20), colors::blue);
        QCOMPARE(px(img, 1040, 20), colors::blue);
        QCOMPARE(px(img, 1040, 39), colors::blue);
        QCOMPARE(px(img, 1040, 40), colors::white); // a line leaves its end point unpainted
        QCOMPARE(px(img, 1039, 40), colors::blue);
        QCOMPARE(px(img, 60, 29), colors::white);
        // The bar is two pixels high from x = 40 to x(45.6) = 952, with olive discs at both ends.
        QCOMPARE(px(img, 500, 79), colors::olive);
        QCOMPARE(px(img, 500, 80), colors::olive);
        QCOMPARE(px(img, 500, 78), colors::white);
        QCOMPARE(px(img, 500, 81), colors::white);
        QCOMPARE(px(img, 952, 75), colors::olive);
        QCOMPARE(px(img, 959, 80), colors::white);
        // Without stations the start disc is still repainted maroon.
        QCOMPARE(px(img, 40, 76), colors::maroon);
    }

    void lineEmptyRouteLength() {
        int width = 0;
        const QImage img = drawLineDiagram(0, {}, ScaleNormal, &width);
        QCOMPARE(width, 806); // one block of 200 pixels + 100, raised to the minimum
        QCOMPARE(px(img, 240, 20), colors::blue);
        QCOMPARE(px(img, 440, 20), colors::white);
        QCOMPARE(px(img, 41, 80), colors::maroon); // both terminal discs sit on x = 40
    }

    void lineStationKinds_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("disc");
        QTest::addColumn<QColor>("labelColor"); // invalid: no label
        QTest::newRow("般") << QStringLiteral("般") << true << QColor();
        QTest::newRow("旅") << QStringLiteral("旅") << true << QColor();
        QTest::newRow("貨") << QStringLiteral("貨") << true << colors::teal;
        QTest::newRow("臨") << QStringLiteral("臨") << true << colors::teal;
        QTest::newRow("廃") << QStringLiteral("廃") << true << colors::maroon;
        QTest::newRow("信") << QStringLiteral("信") << false << colors::green;
        QTest::newRow("無") << QStringLiteral("無") << false << QColor();
    }
    void lineStationKinds() {
        QFETCH(QString, kind);
        QFETCH(bool, disc);
        QFETCH(QColor, labelColor);
        const QImage img = drawLineDiagram(45.6, {st(12.34, kind, QStringLiteral("東西南"))}, ScaleNormal);
        const int x = 286;
        QCOMPARE(px(img, x, 76) == colors::maroon, disc || kind == QStringLiteral("信"));
        QCOMPARE(px(img, x - 5, 76) == colors::maroon, disc);
        if (labelColor.isValid()) {
            QVERIFY(count(img, x - 7, 50, x + 8, 60, labelColor) > 20);
            QVERIFY(count(img, x - 7, 50, x + 8, 70, colors::white) > 5);
        } else {
            QVERIFY(allWhite(img, x - 8, 45, x + 10, 70));
        }
        // Name downwards from y = 100, one character per 18 pixels, in black; kilometre post at the top.
        for (int i = 0; i < 3; ++i)
            QVERIFY2(count(img, x - 7, 100 + 18 * i, x + 12, 118 + 18 * i, colors::black) > 10,
                     qPrintable(QString::number(i)));
        QVERIFY(allWhite(img, x - 7, 162, x + 12, 260)); // nothing under the third character
        QVERIFY(count(img, x - 7, 6, x + 30, 18, colors::black) > 10);
    }

    void lineClosedStationCross() {
        const QImage img = drawLineDiagram(45.6, {st(12.34, QStringLiteral("廃"))}, ScaleNormal);
        const int x = 286;
        // The two white diagonals cross in the disc's centre.
        QCOMPARE(px(img, x, 80), colors::white);
        QCOMPARE(px(img, x - 3, 77), colors::white);
        QCOMPARE(px(img, x + 3, 83), colors::white);
        QCOMPARE(px(img, x - 3, 83), colors::white);
        QCOMPARE(px(img, x + 3, 77), colors::white);
        QCOMPARE(px(img, x, 76), colors::maroon);
        QCOMPARE(px(img, x - 4, 80), colors::maroon);
    }

    void lineUnmarkedAndRiverLeaveNoMark_data() {
        QTest::addColumn<DrawStation>("station");
        QTest::newRow("empty mark") << st(12.34, QStringLiteral("般"), QStringLiteral("駅"), QString());
        QTest::newRow("other mark") << st(12.34, QStringLiteral("般"), QStringLiteral("駅"), QStringLiteral("×"));
        QTest::newRow("river") << st(12.34, QStringLiteral("川"), QStringLiteral("多摩川"));
    }
    void lineUnmarkedAndRiverLeaveNoMark() {
        QFETCH(DrawStation, station);
        const QImage bare = drawLineDiagram(45.6, {st(3, QStringLiteral("般"))}, ScaleNormal);
        const QImage with = drawLineDiagram(45.6, {st(3, QStringLiteral("般")), station}, ScaleNormal);
        QVERIFY(bare == with);
    }

    void lineLaterStationCoversEarlier() {
        // Two stations 0.1 km apart at s = 4 share pixels; the later kilometre post is drawn last.
        const QImage img = drawLineDiagram(45.6,
                                           {st(10.0, QStringLiteral("般"), QStringLiteral("一")),
                                            st(10.1, QStringLiteral("廃"), QStringLiteral("二"))},
                                           ScaleWide);
        QCOMPARE(px(img, 80, 80), colors::white); // the closed station's cross is on top
    }

    void lineLongNameIsCut() {
        const QImage img = drawLineDiagram(
            45.6, {st(12.34, QStringLiteral("般"), QStringLiteral("一二三四五六七八九十"))}, ScaleNormal);
        QVERIFY(count(img, 279, 244, 300, 260, colors::black) > 0); // the ninth character starts at y = 244
    }

    void lineScaleAndCutOff() {
        int width = 0;
        const QImage zoom = drawLineDiagram(45.6, {st(12.34, QStringLiteral("般"))}, ScaleZoom, &width);
        QCOMPARE(width, 2600);
        QCOMPARE(px(zoom, 657, 76), colors::maroon);
        QCOMPARE(px(zoom, 286, 76), colors::white);
        // A route far longer than the raster is cut at its edge without harm.
        const QImage longRoute = drawLineDiagram(900, {st(700, QStringLiteral("般"))}, ScaleZoom, &width);
        QCOMPARE(width, 45600);
        QCOMPARE(px(longRoute, 31999, 80), colors::olive);
    }

    void linePrepareWhitensLeftHalfOnly() {
        LineDiagram d;
        QVERIFY(d.image().isNull()); // no raster until the first drawing step
        d.prepare();
        QCOMPARE(d.image().size(), QSize(32000, 260));
        d.draw(1500, {st(1000, QStringLiteral("般"))}, ScaleNormal);
        QCOMPARE(d.image().pixelColor(20040, 80), colors::maroon);
        QCOMPARE(d.image().pixelColor(500, 80), colors::olive);
        d.prepare();
        QCOMPARE(d.image().pixelColor(500, 80), colors::white);
        QCOMPARE(d.image().pixelColor(20040, 80), colors::maroon);
    }

    // --- plan drawing -------------------------------------------------------------------------------------

    void planRulerAndLine() {
        int height = 0;
        const QImage img = drawPlan(
            45.6, {st(12.34, QStringLiteral("般")), st(20, QStringLiteral("般"), QStringLiteral("駅"), QString())},
            ScaleNormal, &height);
        QCOMPARE(img.size(), QSize(348, 16000));
        QCOMPARE(height, 1100);
        QCOMPARE(px(img, 30, 60), colors::blue);
        QCOMPARE(px(img, 20, 240), colors::blue);
        QCOMPARE(px(img, 20, 60), colors::white);
        QCOMPARE(px(img, 40, 1039), colors::blue);
        QCOMPARE(px(img, 40, 1040), colors::white);
        // Start square, then the red line down to the last station (unmarked) and no further.
        QCOMPARE(px(img, 67, 37), colors::red);
        QCOMPARE(px(img, 72, 42), colors::red);
        QCOMPARE(px(img, 73, 40), colors::white);
        QCOMPARE(px(img, 70, 150), colors::red);
        QCOMPARE(px(img, 70, 439), colors::red);
        QCOMPARE(px(img, 70, 441), colors::white);
        // The unmarked station gets neither symbol nor text.
        QCOMPARE(px(img, 65, 440), colors::white);
        QVERIFY(allWhite(img, 80, 430, 348, 450));
        // The 12.34 km station sits at y = 286 with its rectangle and its name and post to the right.
        QCOMPARE(px(img, 62, 283), colors::red);
        QCOMPARE(px(img, 77, 288), colors::red);
        QCOMPARE(px(img, 78, 286), colors::white);
        QCOMPARE(px(img, 70, 289), colors::red); // the line continues through it
        QCOMPARE(px(img, 65, 289), colors::white);
        QVERIFY(count(img, 90, 279, 200, 300, colors::black) > 30);
    }

    void planMinimumHeight() {
        int height = 0;
        drawPlan(0, {}, ScaleNormal, &height);
        QCOMPARE(height, 480);
        drawPlan(45.6, {}, ScaleWide, &height);
        QCOMPARE(height, 480);
        drawPlan(45.6, {}, ScaleZoom, &height);
        QCOMPARE(height, 2600);
    }

    void planRiverBand() {
        const QImage img =
            drawPlan(45.6, {st(12.34, QStringLiteral("川"), QStringLiteral("多摩川")), st(30, QStringLiteral("般"))},
                     ScaleNormal);
        const int y = 286;
        for (int row : {y - 1, y}) {
            QCOMPARE(px(img, 53, row), colors::white);
            QCOMPARE(px(img, 54, row), colors::blue);
            QCOMPARE(px(img, 67, row), colors::blue);
            QCOMPARE(px(img, 68, row), colors::white);
            QCOMPARE(px(img, 69, row), colors::white);
            QCOMPARE(px(img, 70, row), colors::red);
            QCOMPARE(px(img, 71, row), colors::white);
            QCOMPARE(px(img, 72, row), colors::white);
            QCOMPARE(px(img, 73, row), colors::blue);
            QCOMPARE(px(img, 239, row), colors::blue);
            QCOMPARE(px(img, 240, row), colors::white);
        }
        QCOMPARE(px(img, 60, y + 1), colors::white);
        // The river's name at x = 250, without a kilometre post and without the text at x = 90.
        QVERIFY(count(img, 250, y - 7, 300, y + 12, colors::black) > 20);
        QVERIFY(allWhite(img, 300, y - 10, 348, y + 12));
        QVERIFY(allWhite(img, 80, y - 8, 240, y - 1));
    }

    void planStationKinds_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("rectangle");
        QTest::addColumn<bool>("leftLabel");
        for (const char* k : {"般", "旅", "無", "駅", "委", "簡", "臨"})
            QTest::newRow(k) << QString::fromUtf8(k) << true << false;
        QTest::newRow("貨") << QStringLiteral("貨") << true << true;
        QTest::newRow("廃") << QStringLiteral("廃") << false << true;
        QTest::newRow("信") << QStringLiteral("信") << false << false;
        QTest::newRow("特") << QStringLiteral("特") << false << false;
        QTest::newRow("other") << QStringLiteral("他") << false << false;
    }
    void planStationKinds() {
        QFETCH(QString, kind);
        QFETCH(bool, rectangle);
        QFETCH(bool, leftLabel);
        const QImage img = drawPlan(45.6, {st(12.34, kind)}, ScaleNormal);
        const int y = 286;
        QCOMPARE(px(img, 76, y - 2) == colors::red, rectangle);
        QCOMPARE(px(img, 63, y) == colors::red, rectangle);
        QCOMPARE(count(img, 44, y - 7, 60, y + 10, colors::black) > 10, leftLabel);
        QVERIFY(count(img, 90, y - 7, 200, y + 12, colors::black) > 20); // name and post
        if (kind == QStringLiteral("廃")) {
            QCOMPARE(px(img, 62, y - 3), colors::red);
            QCOMPARE(px(img, 62, y + 3), colors::red);
            QCOMPARE(px(img, 70, y), colors::red);
            QCOMPARE(px(img, 78, y + 3), colors::white); // a line's end point stays unpainted
        }
        if (kind == QStringLiteral("信")) {
            QCOMPARE(px(img, 64, y + 2), colors::red);
            QCOMPARE(px(img, 76, y + 2), colors::red);
            QCOMPARE(px(img, 64, y - 2), colors::white);
        }
        if (kind == QStringLiteral("特")) {
            QCOMPARE(px(img, 59, y), colors::red);
            QCOMPARE(px(img, 52, y - 1), colors::red);
            QCOMPARE(px(img, 52, y + 1), colors::red);
            QCOMPARE(px(img, 45, y), colors::white); // the notch of the arrowhead
            QCOMPARE(px(img, 61, y), colors::white);
        }
    }

    void planLabelIsNameThenPost() {
        // The same name drawn with kilometre posts of different widths: the post follows the name.
        const QImage a = drawPlan(45.6, {st(1.0, QStringLiteral("般"), QStringLiteral("東"))}, ScaleNormal);
        const QImage b = drawPlan(45.6, {st(1.0, QStringLiteral("般"), QStringLiteral("東西"))}, ScaleNormal);
        const int y = kiloToPixel(1.0, ScaleNormal);
        const auto rightmost = [y](const QImage& img) {
            int r = 0;
            for (int x = 90; x < 348; ++x)
                if (count(img, x, y - 7, x + 1, y + 14, colors::black))
                    r = x;
            return r;
        };
        QVERIFY(rightmost(b) - rightmost(a) >= 12);
    }

    void planCutOffBeyondRaster() {
        int height = 0;
        const QImage img = drawPlan(400, {st(350, QStringLiteral("般"))}, ScaleZoom, &height);
        QCOMPARE(height, 20600);
        QCOMPARE(px(img, 70, 15999), colors::red);
    }

    // --- reading stations from a cursor -------------------------------------------------------------------

    void readsOneRouteFromCursor() {
        test::TempEnv env;
        auto ref = Database::open(DbKind::Reference);
        ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI"));
        ref->exec(QStringLiteral("INSERT INTO MASTER (ROSEN_CD, KILO) VALUES ('A00001', 10), ('A00002', 5)"));
        ref->exec(QStringLiteral(
            "INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, SHURUI, EKI_KANJI) VALUES "
            "('A00001', 7.5, '○', '般', '終点'), ('A00001', 0, '○', '般', '起点'), ('A00001', 3.2, NULL, '川', '川'),"
            "('A00002', 0, '○', '般', '別線')"));
        TableCursor eki(ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD"));
        eki.open();
        QVector<DrawStation> rows = readDrawStations(eki, QStringLiteral("A00001"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].name, QStringLiteral("起点"));
        QCOMPARE(rows[1].hyoji, QString());
        QCOMPARE(rows[1].shurui, QStringLiteral("川"));
        QCOMPARE(rows[2].kilo, 7.5);
        QVERIFY(readDrawStations(eki, QStringLiteral("A00000")).isEmpty());
        QVERIFY(readDrawStations(eki, QStringLiteral("Z")).isEmpty());

        // A detail cursor linked to the route cursor reads the same rows.
        TableCursor master(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        master.open();
        TableCursor linked(ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD"));
        linked.setMasterSource(&master, QStringLiteral("ROSEN_CD"));
        linked.open();
        master.findNearest({QStringLiteral("A00002")});
        rows = readDrawStations(linked, QStringLiteral("A00002"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].name, QStringLiteral("別線"));
    }
};

QTEST_MAIN(TestDrawings)
#include "test_drawings.moc"
