#include "data/cursor.h"
#include "support/tempenv.h"
#include "tally/chart.h"

#include <QtTest>

using namespace tabi;

namespace {
const QRgb kWhite = qRgb(0xFF, 0xFF, 0xFF);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kGrey = qRgb(0x80, 0x80, 0x80);
const QRgb kRed = qRgb(0xFF, 0, 0);
const QRgb kLime = qRgb(0, 0xFF, 0);
} // namespace

class TestChart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void barLengths_data() {
        QTest::addColumn<double>("route");
        QTest::addColumn<double>("ridden");
        QTest::addColumn<int>("l");
        QTest::addColumn<int>("r");
        QTest::newRow("124.95 truncates") << 2500.0 << 2499.0 << 125 << 124;
        QTest::newRow("same pixel, 9.5 km short") << 2510.0 << 2500.5 << 125 << 124;
        QTest::newRow("same pixel, 0.02 km short") << 2510.0 << 2509.98 << 125 << 125;
        QTest::newRow("exactly 0.05 km short") << 2510.0 << 2509.95 << 125 << 125;
        QTest::newRow("ridden above route") << 1000.0 << 1200.0 << 50 << 60;
        QTest::newRow("nothing") << 0.0 << 0.0 << 0 << 0;
        QTest::newRow("under a pixel: one short, nothing drawn") << 19.9 << 0.0 << 0 << -1;
        QTest::newRow("negative truncates toward zero") << 100.0 << -39.0 << 5 << -1;
    }
    void barLengths() {
        QFETCH(double, route);
        QFETCH(double, ridden);
        QFETCH(int, l);
        QFETCH(int, r);
        QCOMPARE(tally::barLength(route), l);
        QCOMPARE(tally::riddenBarLength(route, ridden), r);
    }

    // Rows: 1 the 2,500.0/2,499.0 case, 2 ridden above route, 3 beyond the background, then nothing.
    void pixels_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("background corner") << 399 << 231 << kWhite;
        QTest::newRow("grid line start") << 50 << 0 << kBlack;
        QTest::newRow("grid line gap") << 50 << 1 << kWhite;
        QTest::newRow("grid line at 8,000 km") << 400 << 2 << kBlack;
        QTest::newRow("no grid line at 0") << 0 << 0 << kWhite;
        QTest::newRow("row 1 ridden start") << 0 << 8 << kLime;
        QTest::newRow("row 1 ridden end") << 123 << 39 << kLime;
        QTest::newRow("row 1 red sliver") << 124 << 8 << kRed;
        QTest::newRow("row 1 red bottom") << 124 << 39 << kRed;
        QTest::newRow("row 1 right of the bar, top line") << 125 << 8 << kWhite;
        QTest::newRow("row 1 grey shadow") << 125 << 9 << kGrey;
        QTest::newRow("row 1 grey below") << 1 << 40 << kGrey;
        QTest::newRow("row 1 grey ends") << 126 << 9 << kWhite;
        QTest::newRow("row 1 black shadow") << 126 << 10 << kBlack;
        QTest::newRow("row 1 black bottom") << 2 << 41 << kBlack;
        QTest::newRow("row 1 below the shadow") << 2 << 42 << kWhite;
        QTest::newRow("row 1 left of the shadow") << 1 << 41 << kWhite;
        QTest::newRow("row 1 over the grid line") << 50 << 20 << kLime;
        QTest::newRow("row 2 top") << 0 << 48 << kLime;
        QTest::newRow("row 2 lime over the shadow") << 55 << 60 << kLime;
        QTest::newRow("row 2 lime end") << 59 << 79 << kLime;
        QTest::newRow("row 2 past the lime") << 60 << 70 << kWhite;
        QTest::newRow("row 3 cut at the image edge") << 432 << 88 << kRed;
        QTest::newRow("row 3 shadow under it") << 432 << 121 << kBlack;
        QTest::newRow("row 4 absent") << 0 << 128 << kWhite;
        QTest::newRow("row 4 absent, grid line") << 100 << 128 << kBlack;
    }
    void pixels() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QRgb, colour);
        const QImage image = tally::chartImage({{2500.0, 2499.0}, {1000.0, 1200.0}, {9000.0, 0.0}});
        QCOMPARE(image.size(), QSize(433, 248));
        QCOMPARE(QColor(image.pixel(x, y)).name(), QColor(colour).name());
    }

    void readsTheFirstSixClassifications() {
        test::TempEnv env;
        auto ref = Database::open(DbKind::Reference);
        ref->exec(
            QStringLiteral("DELETE FROM BUNRUI; INSERT INTO BUNRUI (BUNRUI_CD, TOTAL_KILO, TOTAL_JOSHA_KILO) VALUES "
                           "('107', 7, 0.7), ('101', 1, 0.1), ('103', 3, NULL), ('102', 2, 0.2), ('105', 5, 0.5), "
                           "('104', 4, 0.4), ('106', 6, 0.6)"));
        const QList<tally::ChartBar> bars = tally::readChartBars(ref);
        QCOMPARE(bars.size(), 6);
        QCOMPARE(bars[0].routeKilo, 1.0);
        QCOMPARE(bars[2].riddenKilo, 0.0);
        QCOMPARE(bars[5].routeKilo, 6.0);
        ref->exec(QStringLiteral("DELETE FROM BUNRUI WHERE BUNRUI_CD > '102'"));
        QCOMPARE(tally::readChartBars(ref).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestChart)
#include "test_chart.moc"
