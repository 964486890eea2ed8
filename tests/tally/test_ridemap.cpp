#include "data/textcodec.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "tally/ridemap.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QtTest>

using namespace tabi;
using namespace tabi::tally;

// The map screen over a two-route network across the Tokyo-Kanagawa border: filters, keys, the grid and its file.
class TestRideMap : public QObject, public test::TempDatabases {
    Q_OBJECT

    void storeNetwork(bool positions) {
        m_ref->exec(QStringLiteral(
            "DELETE FROM MASTER; DELETE FROM EKI;"
            "INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, KILO) VALUES ('101001', '境線', '11', 30),"
            "  ('102001', '支線', '21', 8);"
            "INSERT INTO EKI (ROSEN_CD, KILO, EKI_KANJI) VALUES ('101001', 0, '品川'), ('101001', 10, '大井'),"
            "  ('101001', 20, '川崎'), ('101001', 30, '横浜'), ('102001', 0, '大井'), ('102001', 8, '蒲田');"));
        if (positions)
            m_ref->exec(QStringLiteral("INSERT INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD) VALUES"
                                       "  ('101001', 0, 35.62, 139.74, 13), ('101001', 10, 35.60, 139.73, 13),"
                                       "  ('101001', 20, 35.53, 139.70, 14), ('101001', 30, 35.47, 139.62, 14),"
                                       "  ('102001', 0, 35.60, 139.73, 13), ('102001', 8, 35.56, 139.72, 13);"));
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES"
                                   "  ('101001', '2019-04-01 00:00:00', '品川～川崎', 20),"
                                   "  ('102001', '2020-04-01 00:00:00', '大井～蒲田(全区間)', 8),"
                                   "  ('102001', '2020-05-01 00:00:00', '大井～東京', 1);"));
    }

private Q_SLOTS:
    void init() { openDatabases(true); }
    void cleanup() { closeDatabases(); }

    void gridFiltersAndCsv() {
        storeNetwork(true);
        TJoshaChizu screen;
        screen.resize(1240, 780);
        screen.show();
        QAbstractItemModelTester tester(screen.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester sortedTester(screen.grid()->model(),
                                              QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(screen.model()->rowCount(), 47);
        QCOMPARE(screen.coverage().unknownStation, 1);
        QVERIFY(screen.findChild<QLabel*>(QStringLiteral("LabelNotDrawn"))->text().contains(QStringLiteral("1 件")));
        QAbstractItemModel* grid = screen.grid()->model();
        QCOMPARE(grid->index(12, 0).data().toString(), QStringLiteral("東京都"));
        QCOMPARE(grid->index(12, 1).data().toString(), QStringLiteral("23.0"));
        QCOMPARE(grid->index(12, 2).data().toString(), QStringLiteral("23.0")); // 0-15 and the branch's 8 km
        QCOMPARE(grid->index(13, 3).data().toString(), QStringLiteral("33.33"));

        // Sorted by ratio, highest first: the prefectures without routes (100 by the ratio rule) lead, Kanagawa last.
        screen.grid()->sortByColumn(3, Qt::DescendingOrder);
        QCOMPARE(grid->index(46, 0).data().toString(), QStringLiteral("神奈川県"));

        // The CSV follows the grid's order.
        test::DialogAnswerer answers;
        const QString out = m_env->file(QStringLiteral("ken.csv"));
        answers.answerFile(out);
        screen.findChild<QPushButton*>(QStringLiteral("BitBtnC"))->click();
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 48);
        QCOMPARE(lines[46], text::toCp932(QStringLiteral("\"神奈川県\",15,5,33.3333333333333\r")));

        // A year: only 2020's rides, so Kanagawa has nothing ridden; a wrong day is refused with a message.
        screen.findChild<QLineEdit*>(QStringLiteral("EditFrom"))->setText(QStringLiteral("2020-01-01"));
        screen.findChild<QLineEdit*>(QStringLiteral("EditTo"))->setText(QStringLiteral("2020-12-31"));
        screen.applyFilters();
        QCOMPARE(screen.coverage().rides, 2);
        screen.grid()->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(grid->index(13, 2).data().toString(), QStringLiteral("0.0"));
        screen.findChild<QLineEdit*>(QStringLiteral("EditTo"))->setText(QStringLiteral("2020-02-30"));
        QVERIFY_THROWS_EXCEPTION(Error, screen.applyFilters());
        QCOMPARE(screen.coverage().rides, 2); // the map stays as it was
    }

    void keysZoomAndPan() {
        storeNetwork(true);
        TJoshaChizu screen;
        screen.resize(1240, 780);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        MapCanvas* canvas = screen.canvas();
        const netmap::MapView fitted = canvas->view();
        QVERIFY(fitted.scale > 0);
        QTest::keyClick(canvas, Qt::Key_Plus);
        QCOMPARE(canvas->view().scale, fitted.scale * 1.5);
        QTest::keyClick(canvas, Qt::Key_Left);
        QVERIFY(canvas->view().centre.x() < fitted.centre.x());
        QTest::keyClick(canvas, Qt::Key_Home);
        QCOMPARE(canvas->view().scale, fitted.scale);
        QCOMPARE(canvas->view().centre, fitted.centre);
    }

    // Without positions the screen opens and says why there is no map; exports say so too.
    void noPositions() {
        storeNetwork(false);
        test::DialogAnswerer answers;
        TJoshaChizu screen;
        QVERIFY_THROWS_EXCEPTION(Error, screen.exportPicture(QStringLiteral("png")));
        QCOMPARE(answers.count(ui::DialogKind::SaveFile), 0);
    }
};

QTEST_MAIN(TestRideMap)
#include "test_ridemap.moc"
