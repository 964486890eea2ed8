#include "netexport/progress.h"
#include "netfixture.h"
#include "support/tempdatabases.h"
#include "tally/tally.h"

#include <QImage>
#include <QtTest>

using namespace tabi;
using namespace tabi::netexport;
using namespace tabi::netmap;

namespace {

// Classifications 100 (large 1) and 200 (large 2), category 11; 300 is in no classification the tally lists.
void storeGroups(Database& ref) {
    ref.exec(QStringLiteral("DELETE FROM BUNRUI; DELETE FROM BUNRUI2; DELETE FROM KUBUN; DELETE FROM KUBUN2;"
                            "INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES ('100', 'ＪＲ'), ('200', '私鉄');"
                            "INSERT INTO BUNRUI2 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('1', 'ＪＲ'), ('2', '私鉄');"
                            "INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES ('11', '幹線'), ('21', '私鉄線');"
                            "INSERT INTO KUBUN2 (KBN_CD, KBN_KANJI) VALUES ('1', 'ＪＲ'), ('2', '私鉄')"));
}

// Rides over three years, a loss, a route MASTER lacks (in classification 100), a route of no listed group.
const char* const kRides = "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                           "('100001', '2019-03-31 00:00:00', '東京～品川', 6.8), "
                           "('100001', '2019-04-01 00:00:00', '品川～横浜', 22.0), "
                           "('100001', '2020-05-01 00:00:00', '川崎～横浜', -10.6), "
                           "('100001', '2021-01-10 00:00:00', '川崎～横浜', 10.6), "
                           "('100999', '2020-06-01 00:00:00', 'どこか～どこか', 4.5), "
                           "('200001', '2020-07-01 00:00:00', '甲～乙(全区間)', 5.0), "
                           "('200002', '2021-02-01 00:00:00', '丙～丁', 0), "
                           "('300001', '2021-03-01 00:00:00', '戊～己', 4.0)";

} // namespace

class TestProgress : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases(true);
        test::storeNetwork(*m_ref, test::fixtureNetwork(), test::fixtureNames());
        storeGroups(*m_ref);
        m_per->exec(QString::fromUtf8(kRides));
        m_per->exec(QStringLiteral("DELETE FROM TOSHI; INSERT INTO TOSHI (NEN) VALUES (2018), (2019), (2020), (2021)"));
    }
    void cleanup() { closeDatabases(); }

    // The last cumulative figure is the classification tally's total, the years are the year tally's, in both
    // kinds of year.
    void agreesWithTheTallies_data() {
        QTest::addColumn<int>("startMonth");
        QTest::newRow("calendar") << 1;
        QTest::newRow("fiscal") << 4;
    }

    void agreesWithTheTallies() {
        QFETCH(int, startMonth);
        tally::clearByClassification(m_ref);
        tally::routeKiloByClassification(m_ref);
        tally::riddenKiloByClassification(m_ref, m_per);
        tally::tallyByYear(m_ref, m_per, startMonth);
        const Network net = tabi::network::loadNetwork(*m_ref);
        const QVector<Ride> rides = loadRides(*m_per);
        const GroupLists lists = loadGroupLists(*m_ref);
        for (ProgressPeriod period : {ProgressPeriod::Year, ProgressPeriod::Month}) {
            const Progress p = computeProgress(net, rides, lists, {}, period, startMonth);
            QVERIFY(qAbs(p.points.last().total -
                         m_ref->scalar(QStringLiteral("SELECT TOTAL_JOSHA_KILO FROM BUNRUI3")).toDouble()) < 1e-9);
            QVERIFY(qAbs(p.routeKilo - m_ref->scalar(QStringLiteral("SELECT TOTAL_KILO FROM BUNRUI3")).toDouble()) <
                    1e-9);
            double sum = 0;
            for (const ProgressPoint& pt : p.points)
                sum += pt.kilo;
            QVERIFY(qAbs(sum - p.total) < 1e-9);
            QCOMPARE(p.points.size(), period == ProgressPeriod::Month ? 24 : 3);
        }
        // Year rows against TOSHI (rides of 300001 are in no classification, so the year tally counts them and
        // the chart of all routes does not: the comparison is over the rides of a group listing every route).
        const Progress p = computeProgress(net, rides, lists, {}, ProgressPeriod::Year, startMonth);
        Statement s(*m_per, QStringLiteral("SELECT NEN, JOSHA_NO, JOSHA_KILO, HAISHI_NO, HAISHI_KILO FROM TOSHI "
                                           "WHERE JOSHA_NO + HAISHI_NO > 0 ORDER BY NEN"));
        StatementScope scope(s);
        int i = 0;
        while (s.step()) {
            const int year = int(s.columnInt(0));
            const YearRow* row = nullptr;
            for (const YearRow& r : p.years)
                if (r.year == year)
                    row = &r;
            QVERIFY2(row, qPrintable(QString::number(year)));
            const bool has300 = year == (startMonth == 1 ? 2021 : 2020);
            QCOMPARE(row->newRides + (has300 ? 1 : 0), int(s.columnInt(1)));
            QVERIFY(qAbs(row->newKilo + (has300 ? 4.0 : 0) - s.columnDouble(2)) < 1e-9);
            QCOMPARE(row->lossRides, int(s.columnInt(3)));
            QVERIFY(qAbs(row->lossKilo - s.columnDouble(4)) < 1e-9);
            ++i;
        }
        QCOMPARE(i, p.years.size());
    }

    // Completed routes and prefectures first visited, per year; a classification and a category alone.
    void yearsAndGroups() {
        const Network net = tabi::network::loadNetwork(*m_ref);
        const QVector<Ride> rides = loadRides(*m_per);
        const GroupLists lists = loadGroupLists(*m_ref);
        const Progress p = computeProgress(net, rides, lists, {}, ProgressPeriod::Year, 1);
        QCOMPARE(p.years.size(), 3);
        // 東海道線 complete on 2019-04-01, lost in 2020, complete again in 2021; 甲～乙 complete in 2020.
        QCOMPARE(p.years[0].completed, QStringList());
        QCOMPARE(p.years[1].completed, QStringList{QStringLiteral("本線")});
        QCOMPARE(p.years[2].completed, QStringList{QStringLiteral("東海道線")});
        QCOMPARE(p.completions.size(), 2);
        QCOMPARE(p.years[0].prefectures, (QStringList{QStringLiteral("東京都"), QStringLiteral("神奈川県")}));
        QCOMPARE(p.years[1].prefectures, QStringList{QStringLiteral("大阪府")});
        QCOMPARE(p.years[2].prefectures, QStringList{QStringLiteral("福岡県")});
        const Progress jr = computeProgress(net, rides, lists, {ProgressGroup::Classification, QStringLiteral("1"), {}},
                                            ProgressPeriod::Year, 1);
        QVERIFY(qAbs(jr.total - (6.8 + 22.0 - 10.6 + 10.6 + 4.5)) < 1e-9);
        QCOMPARE(jr.routeKilo, 28.8);
        const Progress cat = computeProgress(net, rides, lists, {ProgressGroup::Category, QStringLiteral("21"), {}},
                                             ProgressPeriod::Month, 1);
        QCOMPARE(cat.total, 5.0);
        QCOMPARE(cat.routeKilo, 8.0);
        QCOMPARE(cat.points.size(), 8); // 2020-07 to 2021-02
        QCOMPARE(cat.points.first().label, QStringLiteral("2020-07"));
    }

    void pictures() {
        const Progress p = computeProgress(tabi::network::loadNetwork(*m_ref), loadRides(*m_per),
                                           loadGroupLists(*m_ref), {}, ProgressPeriod::Month, 1);
        for (bool cumulative : {true, false}) {
            const QImage png = QImage::fromData(progressPng(p, {cumulative, {}}, QSize(800, 450)), "PNG");
            QCOMPARE(png.size(), QSize(800, 450));
        }
        QVERIFY(progressSvg(p, {}, QSize(800, 450)).contains("<svg"));
        // Nothing to draw still draws the frame.
        QCOMPARE(QImage::fromData(progressPng(Progress{}, {}, QSize(300, 200)), "PNG").size(), QSize(300, 200));
        QCOMPARE(exportProgress({QStringLiteral("tabiroku"), QStringLiteral("--export-progress"),
                                 m_env->file(QStringLiteral("p.svg")), QStringLiteral("--monthly")}),
                 0);
        QVERIFY(QFile::exists(m_env->file(QStringLiteral("p.svg"))));
        QCOMPARE(exportProgress({QStringLiteral("tabiroku"), QStringLiteral("--export-progress"),
                                 m_env->file(QStringLiteral("p.jpg"))}),
                 2);
    }
};

QTEST_MAIN(TestProgress)
#include "test_progress.moc"
