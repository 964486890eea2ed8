#include "support/tempenv.h"
#include "ui/dbcontrols.h"
#include "ui/dbctrlgrid.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QtTest>

using namespace tabi;
using namespace tabi::ui;

// Itineraries with their legs as a control grid of four panels, as the itinerary screen shows them.
class TestDBCtrlGrid : public QObject {
    Q_OBJECT

    struct Itineraries {
        test::TempEnv env;
        std::shared_ptr<Database> db = Database::open(DbKind::Personal);
        TableCursor heads{db, QStringLiteral("RYOTEIM"), QStringLiteral("RYOTEI_CD")};
        TableCursor legs{db, QStringLiteral("RYOTEID"), QStringLiteral("RYOTEI_CD")};
        DBCtrlGrid grid;
        DBEdit* departure;
        DBEdit* station;
        DBEdit* fare;

        Itineraries() {
            db->exec(QStringLiteral("INSERT INTO RYOTEIM (RYOTEI_CD, RYOTEI_NAME) VALUES ('A0000001', 'a'), "
                                    "('B0000001', 'b'), ('C0000001', 'c')"));
            for (int i = 0; i < 10; ++i)
                db->exec(QStringLiteral("INSERT INTO RYOTEID (RYOTEI_CD, HATSU_TIME, HATSU_EKI, UNCHIN) VALUES "
                                        "('A0000001', '1899-12-30 0%1:00:00', '駅%1', %2)")
                             .arg(i)
                             .arg(i * 100));
            db->exec(QStringLiteral("INSERT INTO RYOTEID (RYOTEI_CD, HATSU_EKI) VALUES ('B0000001', '別の駅')"));
            legs.setMasterSource(&heads, QStringLiteral("RYOTEI_CD"));
            heads.open();
            legs.open();
            grid.setFont(uiFont(16));
            grid.setPanelSize(QSize(600, 40));
            grid.setPanelCount(4);
            departure = new DBEdit(&legs, QStringLiteral("HATSU_TIME"), grid.panel());
            departure->setGeometry(2, 4, 63, 28);
            auto* label = new QLabel(QStringLiteral("発"), grid.panel());
            label->move(68, 8);
            station = new DBEdit(&legs, QStringLiteral("HATSU_EKI"), grid.panel());
            station->setGeometry(84, 4, 245, 28);
            fare = new DBEdit(&legs, QStringLiteral("UNCHIN"), grid.panel());
            fare->setGeometry(368, 4, 73, 28);
            grid.setTableCursor(&legs);
            grid.resize(grid.sizeHint());
        }
        ~Itineraries() {
            detachControls(legs);
            detachControls(heads);
        }
    };

private Q_SLOTS:
    void panelsFollowTheRecords() {
        Itineraries it;
        it.grid.show();
        QCOMPARE(it.grid.cursorModel()->rowCount(), 10);
        QCOMPARE(it.grid.rowOfPanel(3), 3);
        QCOMPARE(it.grid.panel()->y(), 0);
        QCOMPARE(it.departure->text(), QStringLiteral("00:00"));
        QCOMPARE(it.fare->text(), QString()); // a fare of 0 shows empty
        QCOMPARE(it.grid.cursorModel()->fieldText(2, it.legs.fieldIndex(QStringLiteral("HATSU_EKI"))),
                 QStringLiteral("駅2"));

        QVERIFY(it.grid.selectPanel(2));
        QCOMPARE(it.legs.recNo(), 2);
        QCOMPARE(it.grid.panel()->y(), 80);
        QCOMPARE(it.station->text(), QStringLiteral("駅2"));
        QCOMPARE(it.fare->text(), QStringLiteral("200"));

        // Moving past the last panel scrolls; the current record keeps the live panel.
        it.legs.last();
        QCOMPARE(it.grid.topRow(), 6);
        QCOMPARE(it.grid.verticalScrollBar()->value(), 6);
        QCOMPARE(it.grid.panel()->y(), 120);
        QTest::keyClick(it.station, Qt::Key_Up);
        QCOMPARE(it.legs.recNo(), 8);
        it.grid.verticalScrollBar()->setValue(0);
        QCOMPARE(it.grid.topRow(), 0);
        QCOMPARE(it.legs.recNo(), 3);
    }

    void picturesOfOtherRecordsLeaveTheLivePanelAlone() {
        Itineraries it;
        it.grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&it.grid));
        it.station->selectAll();
        QTest::keyClicks(it.station, QStringLiteral("abc"));
        it.fare->selectAll();
        QTest::keyClicks(it.fare, QStringLiteral("12"));
        it.departure->setEditMask(QStringLiteral("!90:00;1;_"));
        it.departure->clear();
        QTest::keyClicks(it.departure, QStringLiteral(" 93"));
        const QPixmap shot = it.grid.grab();
        QVERIFY(!shot.isNull());
        QCOMPARE(it.station->text(), QStringLiteral("abc"));
        QCOMPARE(it.fare->text(), QStringLiteral("12"));
        QVERIFY(it.fare->link().isPending());
        QCOMPARE(it.departure->displayText(), QStringLiteral("_9:3_"));
        QTest::keyClicks(it.departure, QStringLiteral("0"));
        const QString dir = qEnvironmentVariable("TABIROKU_SHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QStringLiteral("/kit-ctrlgrid.png")));
        // Choosing another panel posts the changed leg, pending fare included.
        QVERIFY(it.grid.selectPanel(1));
        QCOMPARE(it.db->scalar(QStringLiteral("SELECT UNCHIN FROM RYOTEID WHERE HATSU_EKI = 'abc'")).toInt(), 12);
        QCOMPARE(it.db->scalar(QStringLiteral("SELECT HATSU_TIME FROM RYOTEID WHERE HATSU_EKI = 'abc'")).toString(),
                 QStringLiteral("1899-12-30 09:30:00"));
    }

    void clickInAPictureFocusesThatField() {
        Itineraries it;
        it.grid.show();
        QApplication::setActiveWindow(&it.grid);
        QVERIFY(QTest::qWaitForWindowActive(&it.grid));
        const QPoint inStation(84 + 20, 2 * it.grid.panelSize().height() + 14);
        QTest::mouseClick(it.grid.viewport(), Qt::LeftButton, {}, inStation);
        QCOMPARE(it.legs.recNo(), 2);
        QVERIFY(it.station->hasFocus());
        QCOMPARE(it.station->text(), QStringLiteral("駅2"));
    }

    // The pictures of other records stand where their panels do, also with the grid placed inside other widgets.
    void picturesStandInTheirPanelsWhenNested() {
        QWidget outer; // outlives the grid, which leaves it when destroyed
        outer.resize(800, 300);
        Itineraries it;
        auto* frame = new QFrame(&outer);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setGeometry(40, 60, 700, 220);
        it.grid.setParent(frame);
        it.grid.move(4, 5);
        QPalette red = it.station->palette();
        red.setColor(QPalette::Base, Qt::red);
        it.station->setPalette(red);
        outer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outer));
        const QImage shot = outer.grab().toImage();
        const QPoint origin = it.grid.viewport()->mapTo(&outer, QPoint(0, 0));
        for (int slot = 0; slot < 4; ++slot) {
            const QPoint panel = origin + QPoint(0, slot * it.grid.panelSize().height());
            QCOMPARE(shot.pixelColor(panel + QPoint(84 + 200, 4 + 20)), QColor(Qt::red));
            QVERIFY(shot.pixelColor(panel + QPoint(84 + 200, 1)) != QColor(Qt::red));
            QVERIFY(shot.pixelColor(panel + QPoint(40, 4 + 20)) != QColor(Qt::red));
        }
    }

    void eachItineraryShowsItsOwnLegs() {
        Itineraries it;
        it.heads.next();
        QCOMPARE(it.grid.cursorModel()->rowCount(), 1);
        QCOMPARE(it.station->text(), QStringLiteral("別の駅"));
        QCOMPARE(it.grid.rowOfPanel(1), -1);

        // Without legs: empty panels; typing into the live one inserts a leg of this itinerary.
        it.heads.next();
        QCOMPARE(it.grid.cursorModel()->rowCount(), 0);
        QCOMPARE(it.grid.rowOfPanel(0), -1);
        QCOMPARE(it.station->text(), QString());
        QTest::keyClicks(it.station, QStringLiteral("x"));
        QCOMPARE(it.legs.state(), CursorState::Insert);
        QCOMPARE(it.legs.asString(QStringLiteral("RYOTEI_CD")), QStringLiteral("C0000001"));
        it.legs.post();
        it.heads.first();
        QCOMPARE(it.grid.cursorModel()->rowCount(), 10);
    }
};

QTEST_MAIN(TestDBCtrlGrid)
#include "test_dbctrlgrid.moc"
