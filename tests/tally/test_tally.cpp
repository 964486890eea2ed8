#include "data/cursor.h"
#include "data/error.h"
#include "support/tempdatabases.h"
#include "tally/tally.h"

#include <QtTest>

using namespace tabi;

namespace {

// Routes, classifications, categories and rides chosen so that one full tally meets every rule:
// 101: an abolished route (1987) whose ride still counts, a 0 km ride after the last positive one -> above 100 %
// 102: 999.94 of 1,000.0 km -> capped at 99.99, no date
// 103: no routes, a negative ride after the last positive one -> 100 %, dated by the positive ride
// 104: no routes, +5 and -5 -> ridden 0 but dated; must not date its large classification
// 105: nothing at all
// 201: 999.96 of 1,000.0 km -> 99.996 (shown "100.00"), no date
// 202: two routes ridden whole on the same latest day
// 301: its large classification does not exist; 999001 belongs to no classification
// Categories: 22 is not in KUBUN, 31 has no large category, rides on routes missing from MASTER tag "00".
void buildFixture(Database& ref, Database& per) {
    ref.exec(QStringLiteral(
        "DELETE FROM MASTER; DELETE FROM BUNRUI; DELETE FROM BUNRUI2; DELETE FROM BUNRUI3;"
        "DELETE FROM KUBUN; DELETE FROM KUBUN2; DELETE FROM KUBUN3; DELETE FROM TMP_JOSHA_KUBUN;"
        "INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES ('101','a'),('102','b'),('103','c'),('104','d'),"
        "  ('105','e'),('201','f'),('202','g'),('301','h');"
        "INSERT INTO BUNRUI2 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('1','A'),('2','B');"
        "INSERT INTO BUNRUI3 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('9','T');"
        "INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES ('00','x'),('11','y'),('12','z'),('21','w'),('31','v');"
        "INSERT INTO KUBUN2 (KBN_CD, KBN_KANJI) VALUES ('0','X'),('1','Y'),('2','Z');"
        "INSERT INTO KUBUN3 (KBN_CD, KBN_KANJI) VALUES ('9','T');"
        "INSERT INTO MASTER (ROSEN_CD, KBN_CD, KILO, HAISHI_DATE) VALUES"
        "  ('101001','11',100.0,NULL),('101002','11',50.0,'1987-04-01 00:00:00'),('101003','12',25.0,NULL),"
        "  ('102001','21',1000.0,NULL),('201001','21',1000.0,NULL),('202001','22',10.0,NULL),"
        "  ('202002','12',5.0,NULL),('301001','31',7.0,NULL);"));
    per.exec(QStringLiteral("DELETE FROM JOSHA;"
                            "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES"
                            "  ('101001','2020-05-01 00:00:00',100.0),('101002','2019-01-01 00:00:00',50.0),"
                            "  ('101003','2022-01-01 00:00:00',0.0),('102001','2018-01-01 00:00:00',999.94),"
                            "  ('103001','2015-03-03 00:00:00',5.0),('103001','2016-06-06 00:00:00',-2.0),"
                            "  ('104001','2029-09-09 00:00:00',5.0),('104001','2029-10-10 00:00:00',-5.0),"
                            "  ('201001','2017-07-07 00:00:00',999.96),('202001','2023-02-01 00:00:00',10.0),"
                            "  ('202002','2023-02-01 00:00:00',5.0),('202001','2010-01-01 00:00:00',3.0),"
                            "  ('202001','2011-01-01 00:00:00',-3.0),('301001','2011-01-01 00:00:00',7.0),"
                            "  ('999001','2024-01-01 00:00:00',3.0);"));
}

struct Result {
    double kilo = 0, ridden = 0, ratio = 0;
    QString date;
    QString shownRatio;
};

Result result(const std::shared_ptr<Database>& ref, const QString& table, const QString& code) {
    const QString codeField =
        table.startsWith(QLatin1String("KUBUN")) ? QStringLiteral("KBN_CD") : QStringLiteral("BUNRUI_CD");
    TableCursor c(ref, table, codeField);
    c.open();
    if (!c.findKey({code}))
        return {-1, -1, -1, QStringLiteral("missing"), {}};
    return {c.asFloat(QStringLiteral("TOTAL_KILO")), c.asFloat(QStringLiteral("TOTAL_JOSHA_KILO")),
            c.asFloat(QStringLiteral("JOSHA_RATIO")), c.displayText(QStringLiteral("KANJO_DATE")),
            c.displayText(QStringLiteral("JOSHA_RATIO"))};
}

// Every stored value of the result, work and count tables, for before/after comparisons.
QString snapshot(Database& ref, Database& per) {
    QString out;
    auto dump = [&](Database& db, const QString& sql) { out += db.dump(sql); };
    for (const char* t : {"BUNRUI", "BUNRUI2", "BUNRUI3", "KUBUN", "KUBUN2", "KUBUN3"})
        dump(ref, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(t)));
    dump(ref, QStringLiteral("SELECT * FROM TMP_JOSHA_KUBUN ORDER BY ROSEN_CD, JOSHA_DATE"));
    dump(ref, QStringLiteral("SELECT * FROM TOSHI2"));
    dump(per, QStringLiteral("SELECT * FROM TOSHI ORDER BY NEN"));
    return out;
}

void classificationSteps(const tally::Db& ref, const tally::Db& per) {
    tally::clearByClassification(ref);
    tally::routeKiloByClassification(ref);
    tally::riddenKiloByClassification(ref, per);
    tally::ratioByClassification(ref);
    tally::datesByClassification(ref, per);
}

void categorySteps(const tally::Db& ref, const tally::Db& per) {
    tally::clearByCategory(ref);
    tally::routeKiloByCategory(ref);
    tally::riddenKiloByCategory(ref, per);
    tally::ratioByCategory(ref);
    tally::datesByCategory(ref);
}

void addResultColumns() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("kilo");
    QTest::addColumn<double>("ridden");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("date");
}

void compareResult(const tally::Db& ref) {
    QFETCH(QString, table);
    QFETCH(QString, code);
    QFETCH(double, kilo);
    QFETCH(double, ridden);
    QFETCH(double, ratio);
    QFETCH(QString, shown);
    QFETCH(QString, date);
    const Result r = result(ref, table, code);
    QVERIFY2(qAbs(r.kilo - kilo) < 1e-9, qPrintable(QString::number(r.kilo, 'g', 17)));
    QVERIFY2(qAbs(r.ridden - ridden) < 1e-9, qPrintable(QString::number(r.ridden, 'g', 17)));
    QVERIFY2(qAbs(r.ratio - ratio) < 1e-9, qPrintable(QString::number(r.ratio, 'g', 17)));
    QCOMPARE(r.shownRatio, shown);
    QCOMPARE(r.date, date);
}

} // namespace

class TestTally : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases(/*withPersonal=*/true);
        buildFixture(*m_ref, *m_per);
    }
    void cleanup() { closeDatabases(); }

    // --- tally by classification -----------------------------------------------------------------------------

    void classificationResults_data() {
        addResultColumns();
        const QString n;
        QTest::newRow("abolished route adds no km, its ride counts") << "BUNRUI"
                                                                     << "101" << 125.0 << 150.0 << 120.0 << "120.00"
                                                                     << "2020-05-01";
        QTest::newRow("999.94 of 1,000.0 capped, no date") << "BUNRUI"
                                                           << "102" << 1000.0 << 999.94 << 99.99 << "99.99" << n;
        QTest::newRow("no routes: 100, dated by the positive ride") << "BUNRUI"
                                                                    << "103" << 0.0 << 3.0 << 100.0 << "100.00"
                                                                    << "2015-03-03";
        QTest::newRow("ridden 0 but complete") << "BUNRUI"
                                               << "104" << 0.0 << 0.0 << 100.0 << "100.00"
                                               << "2029-09-09";
        QTest::newRow("nothing at all") << "BUNRUI"
                                        << "105" << 0.0 << 0.0 << 100.0 << "100.00" << n;
        QTest::newRow("999.96 of 1,000.0 shown 100.00, no date")
            << "BUNRUI"
            << "201" << 1000.0 << 999.96 << 999.96 / 1000.0 * 100.0 << "100.00" << n;
        QTest::newRow("two rides on the latest day") << "BUNRUI"
                                                     << "202" << 15.0 << 15.0 << 100.0 << "100.00"
                                                     << "2023-02-01";
        QTest::newRow("no large classification") << "BUNRUI"
                                                 << "301" << 7.0 << 7.0 << 100.0 << "100.00"
                                                 << "2011-01-01";
        QTest::newRow("large: member with ridden 0 does not date it")
            << "BUNRUI2"
            << "1" << 1125.0 << 1152.94 << 1152.94 / 1125.0 * 100.0 << "102.48"
            << "2020-05-01";
        QTest::newRow("large: 99.996 stays, no date")
            << "BUNRUI2"
            << "2" << 1015.0 << 1014.96 << 1014.96 / 1015.0 * 100.0 << "100.00" << n;
        QTest::newRow("total") << "BUNRUI3"
                               << "9" << 2140.0 << 2167.9 << 2167.9 / 2140.0 * 100.0 << "101.30"
                               << "2020-05-01";
    }
    void classificationResults() {
        classificationSteps(m_ref, m_per);
        compareResult(m_ref);
    }

    void ratioRightAfterClear_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("date");
        QTest::newRow("small with rides") << "BUNRUI"
                                          << "101"
                                          << "2020-05-01";
        QTest::newRow("small, only negative after") << "BUNRUI"
                                                    << "103"
                                                    << "2015-03-03";
        QTest::newRow("small 999.96") << "BUNRUI"
                                      << "201"
                                      << "2017-07-07";
        QTest::newRow("small without rides") << "BUNRUI"
                                             << "105"
                                             << "";
        QTest::newRow("large") << "BUNRUI2"
                               << "1"
                               << "";
        QTest::newRow("total") << "BUNRUI3"
                               << "9"
                               << "";
        QTest::newRow("category") << "KUBUN"
                                  << "11"
                                  << "2020-05-01";
        QTest::newRow("large category") << "KUBUN2"
                                        << "1"
                                        << "";
        QTest::newRow("category total") << "KUBUN3"
                                        << "9"
                                        << "";
    }
    void ratioRightAfterClear() {
        QFETCH(QString, table);
        QFETCH(QString, code);
        QFETCH(QString, date);
        classificationSteps(m_ref, m_per);
        categorySteps(m_ref, m_per);
        tally::clearByClassification(m_ref);
        tally::ratioByClassification(m_ref);
        tally::datesByClassification(m_ref, m_per);
        tally::clearByCategory(m_ref);
        tally::ratioByCategory(m_ref);
        tally::datesByCategory(m_ref);
        const Result r = result(m_ref, table, code);
        QCOMPARE(r.ratio, 100.0);
        QCOMPARE(r.kilo, 0.0);
        QCOMPARE(r.date, date);
    }

    void clearEmptiesEveryResult() {
        classificationSteps(m_ref, m_per);
        categorySteps(m_ref, m_per);
        tally::clearByClassification(m_ref);
        tally::clearByCategory(m_ref);
        for (const char* t : {"BUNRUI", "BUNRUI2", "BUNRUI3", "KUBUN", "KUBUN2", "KUBUN3"})
            QCOMPARE(
                m_ref
                    ->scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE TOTAL_KILO = 0 AND TOTAL_JOSHA_KILO = 0 "
                                            "AND JOSHA_RATIO = 0 AND KANJO_DATE IS NULL")
                                 .arg(QLatin1String(t)))
                    .toInt(),
                m_ref->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(t))).toInt());
    }

    // Pressing any step a second time changes nothing.
    void stepsTwiceSameResult() {
        classificationSteps(m_ref, m_per);
        categorySteps(m_ref, m_per);
        tally::tallyByYear(m_ref, m_per, 4);
        const QString once = snapshot(*m_ref, *m_per);
        tally::clearByClassification(m_ref);
        tally::clearByClassification(m_ref);
        tally::routeKiloByClassification(m_ref);
        tally::routeKiloByClassification(m_ref);
        tally::riddenKiloByClassification(m_ref, m_per);
        tally::riddenKiloByClassification(m_ref, m_per);
        tally::ratioByClassification(m_ref);
        tally::ratioByClassification(m_ref);
        tally::datesByClassification(m_ref, m_per);
        tally::datesByClassification(m_ref, m_per);
        tally::clearByCategory(m_ref);
        tally::clearByCategory(m_ref);
        tally::routeKiloByCategory(m_ref);
        tally::routeKiloByCategory(m_ref);
        tally::riddenKiloByCategory(m_ref, m_per);
        tally::riddenKiloByCategory(m_ref, m_per);
        tally::ratioByCategory(m_ref);
        tally::ratioByCategory(m_ref);
        tally::datesByCategory(m_ref);
        tally::datesByCategory(m_ref);
        tally::tallyByYear(m_ref, m_per, 4);
        tally::tallyByYear(m_ref, m_per, 4);
        QCOMPARE(snapshot(*m_ref, *m_per), once);
    }

    // --- tally by category ---------------------------------------------------------------------------------------

    void categoryResults_data() {
        addResultColumns();
        const QString n;
        QTest::newRow("abolished route") << "KUBUN"
                                         << "11" << 100.0 << 150.0 << 150.0 << "150.00"
                                         << "2020-05-01";
        QTest::newRow("0 km ride is no date") << "KUBUN"
                                              << "12" << 30.0 << 5.0 << 5.0 / 30.0 * 100.0 << "16.67" << n;
        QTest::newRow("capped") << "KUBUN"
                                << "21" << 2000.0 << 999.94 + 999.96 << 99.99 << "99.99" << n;
        QTest::newRow("rides on routes missing from MASTER") << "KUBUN"
                                                             << "00" << 0.0 << 6.0 << 100.0 << "100.00"
                                                             << "2029-09-09";
        QTest::newRow("no large category") << "KUBUN"
                                           << "31" << 7.0 << 7.0 << 100.0 << "100.00"
                                           << "2011-01-01";
        QTest::newRow("large of the untagged") << "KUBUN2"
                                               << "0" << 0.0 << 6.0 << 100.0 << "100.00"
                                               << "2029-09-09";
        QTest::newRow("large") << "KUBUN2"
                               << "1" << 130.0 << 155.0 << 155.0 / 130.0 * 100.0 << "119.23"
                               << "2020-05-01";
        QTest::newRow("large capped") << "KUBUN2"
                                      << "2" << 2000.0 << 999.94 + 999.96 << 99.99 << "99.99" << n;
        QTest::newRow("total") << "KUBUN3"
                               << "9" << 2130.0 << 2160.9 << 2160.9 / 2130.0 * 100.0 << "101.45"
                               << "2029-09-09";
    }
    void categoryResults() {
        categorySteps(m_ref, m_per);
        compareResult(m_ref);
    }

    void ridesAreTaggedWithTheirRoutesCategory() {
        tally::riddenKiloByCategory(m_ref, m_per);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM TMP_JOSHA_KUBUN")),
                 m_per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")));
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT group_concat(KBN_CD || ':' || ROSEN_CD, ' ') FROM "
                                             "(SELECT * FROM TMP_JOSHA_KUBUN WHERE JOSHA_DATE LIKE '2029%' "
                                             "OR ROSEN_CD IN ('101002','202001') ORDER BY ROSEN_CD, JOSHA_DATE)"))
                     .toString(),
                 QStringLiteral("11:101002 00:104001 00:104001 22:202001 22:202001 22:202001"));
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT JOSHA_DATE || ' ' || JOSHA_KILO FROM TMP_JOSHA_KUBUN "
                                             "WHERE ROSEN_CD = '103001' ORDER BY JOSHA_DATE DESC"))
                     .toString(),
                 QStringLiteral("2016-06-06 00:00:00 -2.0"));
    }

    // A route without a category leaves its rides "00", as a route missing from MASTER does; the copies of
    // one category keep the ride order.
    void ridesOfARouteWithoutCategoryStayUntagged() {
        m_ref->exec(QStringLiteral("INSERT INTO MASTER (ROSEN_CD, KILO) VALUES ('105001', 4.0)"));
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES "
                                   "('105001','2021-01-01 00:00:00',4.0)"));
        tally::riddenKiloByCategory(m_ref, m_per);
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT group_concat(ROSEN_CD, ' ') FROM (SELECT ROSEN_CD FROM "
                                             "TMP_JOSHA_KUBUN WHERE KBN_CD = '00' ORDER BY rowid)"))
                     .toString(),
                 QStringLiteral("103001 103001 104001 104001 105001 999001"));
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN"), QStringLiteral("00")).ridden,
                 5.0 - 2.0 + 5.0 - 5.0 + 4.0 + 3.0);
    }

    void routeStepZeroesOnlyTheCategoriesRidden() {
        categorySteps(m_ref, m_per);
        tally::routeKiloByCategory(m_ref);
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN"), QStringLiteral("11")).ridden, 0.0);
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN"), QStringLiteral("00")).ridden, 0.0);
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN2"), QStringLiteral("1")).ridden, 155.0);
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN3"), QStringLiteral("9")).ridden, 2160.9);
        // The classification tally keeps its ridden kilometres.
        classificationSteps(m_ref, m_per);
        tally::routeKiloByClassification(m_ref);
        QCOMPARE(result(m_ref, QStringLiteral("BUNRUI"), QStringLiteral("101")).ridden, 150.0);
    }

    void emptyRideTable() {
        categorySteps(m_ref, m_per);
        m_per->exec(QStringLiteral("DELETE FROM JOSHA"));
        tally::riddenKiloByCategory(m_ref, m_per);
        tally::riddenKiloByClassification(m_ref, m_per);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM TMP_JOSHA_KUBUN")).toInt(), 0);
        for (const char* t : {"BUNRUI", "BUNRUI2", "BUNRUI3", "KUBUN", "KUBUN2", "KUBUN3"})
            QCOMPARE(
                m_ref
                    ->scalar(
                        QStringLiteral("SELECT count(*) FROM %1 WHERE TOTAL_JOSHA_KILO <> 0").arg(QLatin1String(t)))
                    .toInt(),
                0);
    }

    // Step D reads the tagged rides of the last step J, not the ride table.
    void categoryDatesUseTheLastTagging() {
        categorySteps(m_ref, m_per);
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES "
                                   "('103001','2030-01-01 00:00:00',1.0)"));
        tally::datesByCategory(m_ref);
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN"), QStringLiteral("00")).date, QStringLiteral("2029-09-09"));
        tally::riddenKiloByCategory(m_ref, m_per);
        tally::datesByCategory(m_ref);
        QCOMPARE(result(m_ref, QStringLiteral("KUBUN"), QStringLiteral("00")).date, QStringLiteral("2030-01-01"));
    }

    // --- failures ----------------------------------------------------------------------------------------------------

    // A write refused part-way through a step leaves every table as before the step.
    void failedStepChangesNothing_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("personal");
        QTest::addColumn<QString>("trigger");
        const QString refuseSmall = QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON BUNRUI WHEN NEW.BUNRUI_CD = "
                                                   "'201' BEGIN SELECT RAISE(ABORT, 'refused'); END");
        const QString refuseTotal =
            QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON BUNRUI3 BEGIN SELECT RAISE(ABORT, 'refused'); END");
        QTest::newRow("classification Z") << 0 << false << refuseSmall;
        QTest::newRow("classification R, at the total") << 1 << false << refuseTotal;
        QTest::newRow("classification J") << 2 << false << refuseSmall;
        QTest::newRow("classification W") << 3 << false << refuseSmall;
        QTest::newRow("classification D, at the total") << 4 << false << refuseTotal;
        QTest::newRow("category R, in the large categories")
            << 5 << false
            << "CREATE TRIGGER refuse BEFORE UPDATE ON KUBUN2 WHEN NEW.KBN_CD = '2' BEGIN SELECT RAISE(ABORT, "
               "'refused'); END";
        QTest::newRow("category J, appending a tagged ride")
            << 6 << false
            << "CREATE TRIGGER refuse BEFORE INSERT ON TMP_JOSHA_KUBUN WHEN NEW.ROSEN_CD = '201001' "
               "BEGIN SELECT RAISE(ABORT, 'refused'); END";
        QTest::newRow("category J, a value the table refuses")
            << 6 << true << QString(); // a ride the tagged-ride table cannot hold, see below
        QTest::newRow("year C, at the total row")
            << 7 << false << "CREATE TRIGGER refuse BEFORE UPDATE ON TOSHI2 BEGIN SELECT RAISE(ABORT, 'refused'); END";
        QTest::newRow("year Z, at the total row")
            << 8 << false << "CREATE TRIGGER refuse BEFORE UPDATE ON TOSHI2 BEGIN SELECT RAISE(ABORT, 'refused'); END";
    }
    void failedStepChangesNothing() {
        QFETCH(int, step);
        QFETCH(bool, personal);
        QFETCH(QString, trigger);
        m_per->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (2020), (2021)"));
        classificationSteps(m_ref, m_per);
        categorySteps(m_ref, m_per);
        tally::tallyByYear(m_ref, m_per, 1);
        // Results that every step would change.
        m_ref->exec(
            QStringLiteral("UPDATE BUNRUI SET TOTAL_KILO = 1, TOTAL_JOSHA_KILO = 2, JOSHA_RATIO = 3, KANJO_DATE = NULL;"
                           "UPDATE BUNRUI2 SET TOTAL_KILO = 1, TOTAL_JOSHA_KILO = 2, JOSHA_RATIO = 3;"
                           "UPDATE KUBUN SET TOTAL_KILO = 1, TOTAL_JOSHA_KILO = 2, JOSHA_RATIO = 3;"
                           "UPDATE KUBUN2 SET TOTAL_KILO = 1, TOTAL_JOSHA_KILO = 2;"
                           "UPDATE TMP_JOSHA_KUBUN SET JOSHA_KILO = 1"));
        m_per->exec(QStringLiteral("UPDATE TOSHI SET JOSHA_NO = 77"));
        if (personal) // a ride whose route code is too long for the tagged-ride table
            m_per->exec(QStringLiteral("PRAGMA ignore_check_constraints = ON;"
                                       "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES "
                                       "('2020010', '2020-01-01 00:00:00', 1.0);"
                                       "PRAGMA ignore_check_constraints = OFF"));
        else
            m_ref->exec(trigger);
        const QString before = snapshot(*m_ref, *m_per);
        QString error;
        try {
            switch (step) {
            case 0:
                tally::clearByClassification(m_ref);
                break;
            case 1:
                tally::routeKiloByClassification(m_ref);
                break;
            case 2:
                tally::riddenKiloByClassification(m_ref, m_per);
                break;
            case 3:
                tally::ratioByClassification(m_ref);
                break;
            case 4:
                tally::datesByClassification(m_ref, m_per);
                break;
            case 5:
                tally::routeKiloByCategory(m_ref);
                break;
            case 6:
                tally::riddenKiloByCategory(m_ref, m_per);
                break;
            case 7:
                tally::tallyByYear(m_ref, m_per, 4);
                break;
            case 8:
                tally::clearByYear(m_ref, m_per);
                break;
            }
        } catch (const Error& e) {
            error = e.message();
        }
        QVERIFY2(!error.isEmpty(), "the step should have failed");
        QCOMPARE(snapshot(*m_ref, *m_per), before);
        // Both connections are usable again: nothing is left open.
        m_ref->exec(QStringLiteral("DROP TRIGGER IF EXISTS refuse"));
        m_per->exec(QStringLiteral("DELETE FROM JOSHA WHERE length(ROSEN_CD) > 6"));
        classificationSteps(m_ref, m_per);
        categorySteps(m_ref, m_per);
        tally::tallyByYear(m_ref, m_per, 4);
        QCOMPARE(result(m_ref, QStringLiteral("BUNRUI"), QStringLiteral("101")).date, QStringLiteral("2020-05-01"));
    }

    // --- tally by year -----------------------------------------------------------------------------------------------

    void yearRanges_data() {
        QTest::addColumn<int>("nen");
        QTest::addColumn<int>("startMonth");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("calendar") << 2021 << 1 << "2021-01-01"
                                  << "2021-12-31";
        QTest::newRow("fiscal") << 2020 << 4 << "2020-04-01"
                                << "2021-03-31";
        QTest::newRow("fiscal, any month but 1") << 2020 << -1 << "2020-04-01"
                                                 << "2021-03-31";
        QTest::newRow("number cut to four characters") << 20211 << 1 << "2021-01-01"
                                                       << "2021-12-31";
    }
    void yearRanges() {
        QFETCH(int, nen);
        QFETCH(int, startMonth);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QCOMPARE(tally::yearRangeStart(nen, startMonth), from);
        QCOMPARE(tally::yearRangeEnd(nen, startMonth), to);
    }

    void yearCounts_data() {
        QTest::addColumn<int>("startMonth");
        QTest::addColumn<int>("nen"); // 0: the total row
        QTest::addColumn<int>("newRides");
        QTest::addColumn<double>("newKilo");
        QTest::addColumn<int>("abolishedRides");
        QTest::addColumn<double>("abolishedKilo");
        QTest::newRow("calendar 2020: Feb ride") << 1 << 2020 << 1 << 1.0 << 0 << 0.0;
        QTest::newRow("calendar 2021: Mar 31 and Apr 1") << 1 << 2021 << 2 << 30.0 << 0 << 0.0;
        QTest::newRow("calendar 2022: 0 km is new, -12.3 abolished") << 1 << 2022 << 2 << 2.0 << 1 << -12.3;
        QTest::newRow("calendar total: unlisted years nowhere") << 1 << 0 << 5 << 33.0 << 1 << -12.3;
        QTest::newRow("fiscal 2020: Mar 31 2021") << 4 << 2020 << 1 << 10.0 << 0 << 0.0;
        QTest::newRow("fiscal 2021: Apr 1 2021") << 4 << 2021 << 1 << 20.0 << 0 << 0.0;
        QTest::newRow("fiscal 2022: through Mar 31 2023") << 4 << 2022 << 3 << 6.0 << 1 << -12.3;
        QTest::newRow("fiscal total: Feb 2020 before the first year") << 4 << 0 << 5 << 36.0 << 1 << -12.3;
    }
    void yearCounts() {
        QFETCH(int, startMonth);
        QFETCH(int, nen);
        QFETCH(int, newRides);
        QFETCH(double, newKilo);
        QFETCH(int, abolishedRides);
        QFETCH(double, abolishedKilo);
        m_per->exec(QStringLiteral(
            "DELETE FROM JOSHA; INSERT INTO TOSHI (NEN, BIKO) VALUES (2020, 'a'), (2021, NULL), (2022, NULL);"
            "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES"
            " ('101001','2021-03-31 00:00:00',10.0),('101001','2021-04-01 00:00:00',20.0),"
            " ('101001','2022-06-15 00:00:00',0.0),('101002','2022-07-01 00:00:00',-12.3),"
            " ('101001','2019-05-05 00:00:00',7.0),('101001','2020-02-02 00:00:00',1.0),"
            " ('101001','2023-03-31 00:00:00',4.0),('101001','2022-12-31 00:00:00',2.0)"));
        // Counts left from an earlier tally in the other mode are replaced.
        tally::tallyByYear(m_ref, m_per, startMonth == 1 ? 4 : 1);
        tally::tallyByYear(m_ref, m_per, startMonth);
        TableCursor c(nen ? m_per : m_ref, nen ? QStringLiteral("TOSHI") : QStringLiteral("TOSHI2"),
                      QStringLiteral("NEN"));
        c.open();
        if (nen)
            QVERIFY(c.findKey({nen}));
        QCOMPARE(c.asInteger(QStringLiteral("JOSHA_NO")), qint64(newRides));
        QCOMPARE(c.asFloat(QStringLiteral("JOSHA_KILO")), newKilo);
        QCOMPARE(c.asInteger(QStringLiteral("HAISHI_NO")), qint64(abolishedRides));
        QCOMPARE(c.asFloat(QStringLiteral("HAISHI_KILO")), abolishedKilo);
        QVERIFY(!c.isNull(QStringLiteral("HAISHI_KILO")));
        if (nen == 2020)
            QCOMPARE(c.asString(QStringLiteral("BIKO")), QStringLiteral("a"));
    }

    void yearClearAndEmptyRides() {
        m_per->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (2020), (2029)"));
        tally::tallyByYear(m_ref, m_per, 1);
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT JOSHA_NO FROM TOSHI WHERE NEN = 2029")).toInt(), 1);
        tally::clearByYear(m_ref, m_per);
        const QString zero = QStringLiteral("0 0.0 0 0.0");
        const QString row =
            QStringLiteral("SELECT JOSHA_NO || ' ' || JOSHA_KILO || ' ' || HAISHI_NO || ' ' || HAISHI_KILO FROM ");
        QCOMPARE(m_per->scalar(row + QStringLiteral("TOSHI WHERE NEN = 2029")).toString(), zero);
        QCOMPARE(m_ref->scalar(row + QStringLiteral("TOSHI2")).toString(), zero);
        tally::tallyByYear(m_ref, m_per, 1);
        m_per->exec(QStringLiteral("DELETE FROM JOSHA"));
        tally::tallyByYear(m_ref, m_per, 4);
        QCOMPARE(m_per->scalar(row + QStringLiteral("TOSHI WHERE NEN = 2020")).toString(), zero);
        QCOMPARE(m_ref->scalar(row + QStringLiteral("TOSHI2")).toString(), zero);
        // Without year rows only the total row is set.
        m_per->exec(QStringLiteral("DELETE FROM TOSHI"));
        tally::tallyByYear(m_ref, m_per, 1);
        QCOMPARE(m_ref->scalar(row + QStringLiteral("TOSHI2")).toString(), zero);
    }

    void statementsKeepTheirText() {
    }
};

QTEST_GUILESS_MAIN(TestTally)
#include "test_tally.moc"
