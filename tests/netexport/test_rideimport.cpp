#include "data/csvexport.h"
#include "data/cursor.h"
#include "data/textcodec.h"
#include "netexport/rideimport.h"
#include "netfixture.h"
#include "support/tempdatabases.h"
#include "tally/checklists.h"

#include <QFile>
#include <QtTest>

using namespace tabi;
using namespace tabi::netexport;
using namespace tabi::netmap;

Q_DECLARE_METATYPE(tabi::netexport::RowOutcome)

namespace {

const QByteArray kHeader = "乗車年月日,路線,所属,起点,終点,乗車キロ,備考\r\n";

ImportPlan plan(const QByteArray& bytes, const QVector<Ride>& stored = {}) {
    static const Network net = test::fixtureNetwork();
    return planImport(bytes, net, test::fixtureNames(), stored);
}

QString rows(Database& per) {
    return per.dump(QStringLiteral("SELECT ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO, ifnull(BIKO, '') FROM JOSHA "
                                   "ORDER BY JOSHA_DATE, ROSEN_CD"));
}

} // namespace

class TestRideImport : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    // One row after the header, each kind a file may hold.
    void rowKinds_data() {
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<bool>("cp932");
        QTest::addColumn<RowOutcome>("outcome");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("section");
        QTest::addColumn<double>("kilo");
        QTest::addColumn<int>("notes");
        QTest::addColumn<QString>("firstCandidate");
        const auto I = RowOutcome::Insert, E = RowOutcome::Error;
        QTest::newRow("code") << QByteArray("2020-01-01,100001,,東京,品川,,") << false << I << "100001"
                              << "東京～品川" << 6.8 << 0 << "";
        QTest::newRow("name, whole route marked")
            << QByteArray("2020-01-01,東海道線,,東京,横浜,,") << false << I << "100001"
            << "東京～横浜(全区間)" << 28.8 << 0 << "";
        QTest::newRow("name told apart by operator")
            << QByteArray("2020-01-01,本線,乙鉄道,丙,丁,,") << false << I << "200002"
            << "丙～丁(全区間)" << 3.0 << 0 << "";
        QTest::newRow("name of two routes, told apart by stations")
            << QByteArray("2020-01-01,本線,,甲,乙,,") << false << I << "200001"
            << "甲～乙(全区間)" << 5.0 << 0 << "";
        QTest::newRow("name of two routes") << QByteArray("2020-01-01,本線,,甲,丁,,") << false << E << ""
                                            << "" << 0.0 << 0 << "200001 本線(甲鉄道)";
        QTest::newRow("unknown route") << QByteArray("2020-01-01,東海道腺,,東京,品川,,") << false << E << ""
                                       << "" << 0.0 << 0 << "100001 東海道線(JR東日本)";
        QTest::newRow("unknown station") << QByteArray("2020-01-01,100001,,東京,横濱,,") << false << E << ""
                                         << "" << 0.0 << 0 << "横浜";
        QTest::newRow("reversed section") << QByteArray("2020-01-01,100001,,横浜,川崎,,") << false << I << "100001"
                                          << "横浜～川崎" << 10.6 << 0 << "";
        QTest::newRow("station with 駅") << QByteArray("2020-01-01,100001,,東京駅,品川駅,,") << false << I << "100001"
                                         << "東京～品川" << 6.8 << 0 << "";
        QTest::newRow("km within 0.5") << QByteArray("2020-01-01,100001,,東京,品川,7.2,") << false << I << "100001"
                                       << "東京～品川" << 7.2 << 0 << "";
        QTest::newRow("km mismatch kept, noted")
            << QByteArray("2020-01-01,100001,,東京,品川,8.0,") << false << I << "100001"
            << "東京～品川" << 8.0 << 1 << "";
        QTest::newRow("bad km") << QByteArray("2020-01-01,100001,,東京,品川,八,") << false << E << ""
                                << "" << 0.0 << 0 << "";
        QTest::newRow("CP932") << QByteArray("2020-01-01,東海道線,,品川,川崎,,旅行") << true << I << "100001"
                               << "品川～川崎" << 11.4 << 0 << "";
        QTest::newRow("slashes") << QByteArray("2020/1/2,100001,,東京,品川,,") << false << I << "100001"
                                 << "東京～品川" << 6.8 << 0 << "";
        QTest::newRow("bad date") << QByteArray("2020-02-30,100001,,東京,品川,,") << false << E << ""
                                  << "" << 0.0 << 0 << "";
        QTest::newRow("no date") << QByteArray(",100001,,東京,品川,,") << false << E << ""
                                 << "" << 0.0 << 0 << "";
        QTest::newRow("remark too long") << QByteArray("2020-01-01,100001,,東京,品川,,") + QByteArray(51, 'x') << false
                                         << E << ""
                                         << "" << 0.0 << 0 << "";
    }

    void rowKinds() {
        QFETCH(QByteArray, row);
        QFETCH(bool, cp932);
        QFETCH(RowOutcome, outcome);
        QFETCH(QString, code);
        QFETCH(QString, section);
        QFETCH(double, kilo);
        QFETCH(int, notes);
        QFETCH(QString, firstCandidate);
        QByteArray bytes = kHeader + row + "\r\n";
        if (cp932)
            bytes = text::toCp932(QString::fromUtf8(bytes));
        const ImportPlan p = plan(bytes);
        QVERIFY2(p.fileError.isEmpty(), qPrintable(p.fileError));
        QCOMPARE(p.encoding, cp932 ? text::Encoding::Cp932 : text::Encoding::Utf8);
        QCOMPARE(p.rows.size(), 1);
        const ImportRow& r = p.rows.first();
        QVERIFY2(r.outcome == outcome, qPrintable(r.reason));
        QCOMPARE(r.line, 2);
        if (outcome == RowOutcome::Error) {
            QVERIFY(!r.reason.isEmpty());
            QVERIFY(p.rides.isEmpty());
            QCOMPARE(r.candidates.value(0), firstCandidate);
            return;
        }
        QCOMPARE(r.code, code);
        QCOMPARE(r.section, section);
        QVERIFY(qAbs(r.kilo - kilo) < 1e-9);
        QCOMPARE(r.notes.size(), notes);
        QCOMPARE(p.rides.size(), 1);
    }

    // Operators as riders write them: the short name or the company's name in 所属, half-width or full-width, and
    // before the line's name in 路線. Here the two routes named 本線 belong to a JR company and a private railway.
    void operatorNames_data() {
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<QString>("code"); // empty: the row is refused
        QTest::newRow("JR group name in 所属") << QByteArray("2020-01-01,本線,JR東日本,甲,乙,,") << "200001";
        QTest::newRow("full-width, 株式会社") << QByteArray("2020-01-01,本線,ＪＲ東日本株式会社,甲,乙,,") << "200001";
        // The operator chooses the route before its stations do: 甲 and 乙 are not on 小田急's 本線.
        QTest::newRow("short name in 所属") << QByteArray("2020-01-01,本線,小田急,甲,乙,,") << "";
        QTest::newRow("short name before the line") << QByteArray("2020-01-01,小田急本線,,丙,丁,,") << "200002";
        QTest::newRow("JR before the line") << QByteArray("2020-01-01,ＪＲ本線,,甲,乙,,") << "200001";
        QTest::newRow("another operator before the line") << QByteArray("2020-01-01,京王本線,,丙,丁,,") << "";
    }

    void operatorNames() {
        QFETCH(QByteArray, row);
        QFETCH(QString, code);
        QHash<QString, RouteNames> names = test::fixtureNames();
        names[QStringLiteral("200001")].operatorName = QStringLiteral("東日本旅客鉄道");
        names[QStringLiteral("200002")].operatorName = QStringLiteral("小田急電鉄");
        const ImportPlan p = planImport(kHeader + row + "\r\n", test::fixtureNetwork(), names, {});
        QCOMPARE(p.rows.size(), 1);
        const ImportRow& r = p.rows.first();
        if (code.isEmpty()) {
            QCOMPARE(r.outcome, RowOutcome::Error);
        } else {
            QVERIFY2(r.outcome == RowOutcome::Insert, qPrintable(r.reason));
            QCOMPARE(r.code, code);
        }
    }

    // Columns in another order, a section column, an unused column; the overlap and same-day rules of the picker.
    void rulesOfThePicker() {
        const QByteArray file = "備考,乗車区間,乗車年月日,路線,メモ\n"
                                ",東京～川崎,2020-01-01,100001,x\n"
                                "重なり,品川～横浜,2020-02-01,100001,\n"
                                ",川崎～横浜,2020-02-02,100001,\n"
                                ",甲～乙,2020-03-01,200001,\n"
                                ",甲～乙,2020-03-01,200001,\n"
                                ",東京～品川,2019-12-31,100001,\n"; // earlier in time: counted first
        const ImportPlan p = plan(file);
        QVERIFY2(p.fileError.isEmpty(), qPrintable(p.fileError));
        QCOMPARE(p.ignoredColumns, QStringList{QStringLiteral("メモ")});
        QCOMPARE(p.rows.size(), 6);
        // 東京～品川 came first, so 東京～川崎 adds 11.4 only; 品川～横浜 then adds 10.6; 川崎～横浜 adds nothing.
        QCOMPARE(p.rows[0].kilo, 18.2 - 6.8);
        QCOMPARE(p.rows[0].notes.size(), 1);
        QVERIFY(qAbs(p.rows[1].kilo - 10.6) < 1e-9);
        QCOMPARE(p.rows[1].remark, QStringLiteral("重なり"));
        QCOMPARE(p.rows[2].kilo, 0.0);
        QCOMPARE(p.rows[4].outcome, RowOutcome::Duplicate);
        QCOMPARE(p.rides.size(), 5);
        // A second section of a day joins the day's stored ride.
        const ImportPlan joined = plan(kHeader + "2020-05-01,100001,,品川,川崎,,\r\n",
                                       {test::ride("100001", "2020-05-01", "東京～品川", 6.8)});
        QCOMPARE(joined.rows.first().outcome, RowOutcome::Merge);
        QCOMPARE(joined.rides.size(), 1);
        QVERIFY(joined.rides.first().stored);
        QCOMPARE(joined.rides.first().section, QStringLiteral("東京～川崎"));
        QVERIFY(qAbs(joined.rides.first().kilo - 18.2) < 1e-9);
        // The same ride stored already is left out.
        QCOMPARE(plan(kHeader + "2020-05-01,100001,,東京,品川,,\r\n",
                      {test::ride("100001", "2020-05-01", "東京～品川", 6.8)})
                     .rows.first()
                     .outcome,
                 RowOutcome::Duplicate);
    }

    void fileErrors_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("contains");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("乗車の行がありません");
        QTest::newRow("no header") << QByteArray("2020-01-01,100001,東京,品川\n") << QStringLiteral("乗車年月日");
        QTest::newRow("no stations") << QByteArray("乗車年月日,路線\n2020-01-01,100001\n") << QStringLiteral("起点");
        QTest::newRow("open quote") << QByteArray("乗車年月日,路線,起点,終点\n\"2020-01-01,100001,東京,品川\n")
                                    << QStringLiteral("引用符");
        QTest::newRow("column twice") << QByteArray("乗車年月日,路線,起点,終点,起点\n") << QStringLiteral("二つ");
        QTest::newRow("long value") << QByteArray("乗車年月日,路線,起点,終点\n") + QByteArray(2000, 'a')
                                    << QStringLiteral("長すぎ");
    }

    void fileErrors() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, contains);
        const ImportPlan p = plan(bytes);
        QVERIFY2(p.fileError.contains(contains), qPrintable(p.fileError));
        QVERIFY(p.rides.isEmpty());
    }

    // The command line: a dry run writes nothing; otherwise the good rows go in and the exit code says whether
    // some were left out.
    void commandLine() {
        openDatabases(true);
        test::storeNetwork(*m_ref, test::fixtureNetwork(), test::fixtureNames());
        const QString csv = m_env->file(QStringLiteral("rides.csv"));
        auto write = [&](const QByteArray& bytes) {
            QFile f(csv);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write(kHeader + "2020-01-01,100001,,東京,品川,,\r\n2020-01-02,東海道線,,品川,新横浜,,\r\n"
                        "2020-13-01,100001,,東京,品川,,\r\n2020-01-03,本線,甲鉄道,甲,乙,5,\r\n");
        const QStringList base{QStringLiteral("tabiroku"), QStringLiteral("--import-rides"), csv};
        QCOMPARE(importRides(base + QStringList{QStringLiteral("--dry-run")}), 1);
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(), 0);
        QCOMPARE(importRides(base), 1);
        QCOMPARE(rows(*m_per), QStringLiteral("100001|2020-01-01 00:00:00|東京～品川|6.8||\n"
                                              "200001|2020-01-03 00:00:00|甲～乙(全区間)|5.0||\n"));
        // Again: both are stored already.
        QCOMPARE(importRides(base), 1);
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(), 2);
        write(kHeader + "2021-01-01,100001,,川崎,横浜,,\r\n");
        QCOMPARE(importRides(base), 0);
        QCOMPARE(importRides({QStringLiteral("tabiroku"), QStringLiteral("--import-rides")}), 2);
        QCOMPARE(importRides(base + QStringList{QStringLiteral("--force")}), 2);
        QCOMPARE(importRides({QStringLiteral("tabiroku"), QStringLiteral("--import-rides"),
                              m_env->file(QStringLiteral("none.csv"))}),
                 1);
        closeDatabases();
    }

    // The ride check list's CSV, read back into an empty record, gives the same rides.
    void checkListRoundTrip() {
        openDatabases(true);
        test::storeNetwork(*m_ref, test::fixtureNetwork(), test::fixtureNames());
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO, BIKO) VALUES "
                                   "('100001', '2019-04-01 00:00:00', '東京～横浜(全区間)', 28.8, NULL), "
                                   "('100001', '2019-05-01 00:00:00', '横浜～川崎', -10.6, NULL), "
                                   "('100001', '2019-06-01 00:00:00', '品川～東京', 3.1, NULL), "
                                   "('200002', '2019-06-01 00:00:00', '丙～丁、丁～丙', 3.0, NULL), "
                                   "('200001', '2020-01-01 00:00:00', '甲～乙', 0, NULL)"));
        const QString before = rows(*m_per);
        tally::clearRideCheckList(m_ref);
        tally::copyRidesToCheckList(m_ref, m_per);
        tally::completeRideCheckList(m_ref);
        const QString csv = m_env->file(QStringLiteral("check.csv"));
        {
            TableCursor list(m_ref, QStringLiteral("CFM_JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"));
            list.open();
            csv::writeFile(list, csv);
        }
        m_per->exec(QStringLiteral("DELETE FROM JOSHA"));
        QCOMPARE(importRides({QStringLiteral("tabiroku"), QStringLiteral("--import-rides"), csv}), 0);
        QCOMPARE(rows(*m_per), before);
        closeDatabases();
    }
};

QTEST_GUILESS_MAIN(TestRideImport)
#include "test_rideimport.moc"
