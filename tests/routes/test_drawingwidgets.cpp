#include "routes/canvas.h"
#include "routes/linediagrampage.h"
#include "routes/plandialog.h"
#include "routes/rasterview.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::routes;

class TestDrawingWidgets : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases();
        m_ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI"));
        m_ref->exec(QStringLiteral("INSERT INTO MASTER (ROSEN_CD, KILO) VALUES ('A00001', 45.6), ('B00001', 8)"));
        m_ref->exec(QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, SHURUI, EKI_KANJI) VALUES "
                                   "('A00001', 12.34, '○', '般', '中間'), ('A00001', 30, '○', '廃', '三十'), "
                                   "('B00001', 5, '○', '般', '別線')"));
    }
    void cleanup() { closeDatabases(); }

    void planDialogDrawsOnShowAndOnEveryScale() {
        TSenkei d(m_ref);
        QCOMPARE(d.windowTitle(), QStringLiteral("路線図(平面)表示"));
        QCOMPARE(d.size(), QSize(510, 490));
        d.setRouteCode(QStringLiteral("A00001"));
        test::DialogAnswerer answerer;
        answerer.onExec([&](QDialog& dialog) {
            [&] {
                QCOMPARE(d.scale(), 20);
                QCOMPARE(d.drawing().image().pixelColor(70, 286), colors::red);
                QCOMPARE(d.view()->height(), 1100);
                d.scaleButton(ScaleZoom)->click(); // redraws at once
                QCOMPARE(d.scale(), 50);
                QCOMPARE(d.drawing().image().pixelColor(70, 657), colors::red);
                QCOMPARE(d.drawing().image().pixelColor(63, 286), colors::white);
                QCOMPARE(d.view()->height(), 2600);
            }();
            dialog.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
            return dialog.result();
        });
        QCOMPARE(d.run(), int(QDialog::Accepted));
        // The next showing starts again at "通常", for whatever route is in EditC now.
        d.setRouteCode(QStringLiteral("B00001"));
        answerer.onExec([](QDialog&) { return int(QDialog::Accepted); });
        d.run();
        QCOMPARE(d.scale(), 20);
        QVERIFY(d.scaleButton(ScaleNormal)->isChecked());
        QCOMPARE(d.drawing().pictureHeight(), 480);
        QCOMPARE(d.drawing().image().pixelColor(63, 140), colors::red);   // 別線 at 5 km
        QCOMPARE(d.drawing().image().pixelColor(63, 286), colors::white); // A00001's station is gone
    }

    void planDialogOnUnknownCode() {
        // The route after the code gives the ruler; its stations carry another code and are not drawn.
        TSenkei d(m_ref);
        d.setRouteCode(QStringLiteral("A5"));
        d.activate();
        QCOMPARE(d.drawing().pictureHeight(), 480);
        QCOMPARE(d.drawing().image().pixelColor(70, 41), colors::red); // the start square
        QCOMPARE(d.drawing().image().pixelColor(70, 100), colors::white);
    }

    void linePageDrawsOnlyOnDemand() {
        TableCursor routes(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        TableCursor stations(m_ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD"));
        stations.setMasterSource(&routes, QStringLiteral("ROSEN_CD"));
        routes.open();
        stations.open();
        {
            LineDiagramPage page(routes, stations);
            page.pageShown();
            QCOMPARE(page.codeForToga(), QStringLiteral("A00001"));
            QCOMPARE(page.scale(), 20);
            QCOMPARE(page.drawButton()->text(), QStringLiteral("投画(&G)"));
            QCOMPARE(page.scaleButton(ScaleWide)->toolTip(), QStringLiteral("新幹線等駅間距離が長い場合指定します。"));
            page.drawButton()->click();
            QCOMPARE(page.diagram().image().pixelColor(286, 76), colors::maroon);
            QCOMPARE(page.view()->width(), 1100);

            page.scaleButton(ScaleZoom)->click(); // the scale alone redraws nothing
            QCOMPARE(page.scale(), 50);
            QCOMPARE(page.diagram().image().pixelColor(286, 76), colors::maroon);
            QCOMPARE(page.diagram().image().pixelColor(657, 76), colors::white);
            page.drawButton()->click();
            QCOMPARE(page.diagram().image().pixelColor(657, 76), colors::maroon);
            QCOMPARE(page.diagram().image().pixelColor(286, 76), colors::white);
            QCOMPARE(page.view()->width(), 2600);

            // Showing the page again: "通常", and the left half whitened.
            page.pageShown();
            QCOMPARE(page.scale(), 20);
            QVERIFY(page.scaleButton(ScaleNormal)->isChecked());
            QCOMPARE(page.diagram().image().pixelColor(657, 76), colors::white);
        }
    }
};

QTEST_MAIN(TestDrawingWidgets)
#include "test_drawingwidgets.moc"
