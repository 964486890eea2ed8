#include "data/cursor.h"
#include "data/textcodec.h"
#include "support/dialogseam.h"
#include "support/errorof.h"
#include "support/files.h"
#include "support/tempdatabases.h"
#include "tally/checklists.h"
#include "tally/checkscreens.h"
#include "tally/screens.h"
#include "ui/dbgrid.h"
#include "ui/screens.h"

#include "data/settingsfile.h"
#include "ui/checklistscreen.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

using namespace tabi;
using tabi::test::readAll;

namespace {

const QByteArray
    kNoRouteCp932("\x93\x96\x8a\x59\x93\x53\x8b\x4f\x93\xb9\x98\x48\x90\xfc\x82\xc8\x82\xb5"); // 当該鉄軌道路線なし

// The routes and rides of the edge cases, one route per case.
void buildFixture(Database& ref, Database& per) {
    ref.exec(
        QStringLiteral("DELETE FROM MASTER;"
                       "INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, SHOZOKU, KITEN, SHUTEN, KILO, HAISHI_DATE) VALUES"
                       " ('A00001', 'L1', 'Op1', 'a', 'b', 12.3, NULL),"
                       " ('A00002', 'L2', 'Op2', 'a', 'b', 12.3, NULL),"
                       " ('A00003', 'L3', 'Op3', 'a', 'b', 1000.0, NULL),"
                       " ('A00004', 'L4', 'Op4', 'a', 'b', 10.0, NULL),"
                       " ('A00005', 'L5', 'Op5', 'a', 'b', 0, NULL),"
                       " ('A00006', 'L6', 'Op6', 'a', 'b', 5.0, '2005-03-01 00:00:00'),"
                       " ('A00007', 'L7', 'Op7', 'a', 'b', 7.5, NULL),"
                       " ('A00008', '一二三四五六七八九十一二三四五六七八九十', 'Op8', '起点駅の名前です', "
                       "'終点駅の名前です', 1.0, NULL)"));
    per.exec(QStringLiteral("DELETE FROM JOSHA;"
                            "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES"
                            " ('A00001', '2019-04-01 00:00:00', 's1', 10.0),"
                            " ('A00001', '2019-04-02 00:00:00', 's2', 2.3),"
                            " ('A00002', '2019-04-03 00:00:00', 's3', 12.25),"
                            " ('A00003', '2019-04-04 00:00:00', 's4', 999.97),"
                            " ('A00004', '2019-04-05 00:00:00', 's5', 10.5),"
                            " ('A00006', '2019-04-06 00:00:00', 's6', 5.0)"));
}

QPushButton* button(QWidget* w, const char* name) {
    auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name));
    if (!b)
        qFatal("no button %s", name);
    return b;
}

QStringList buttonNames(QWidget* w) {
    QStringList out;
    for (QPushButton* b : w->findChildren<QPushButton*>())
        out << b->objectName() + QLatin1Char('=') + b->text() + (b->isEnabled() ? QString() : QStringLiteral("(off)"));
    return out;
}

QStringList columnTitles(ui::DBGrid* grid) {
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    return titles;
}

void click(QWidget* screen, std::initializer_list<const char*> names) {
    for (const char* n : names)
        button(screen, n)->click();
}

} // namespace

class TestChecklists : public QObject, public test::TempDatabases {
    Q_OBJECT

    QString list(const QString& sql) { return m_ref->dump(sql); }
    int rows(const QString& table) {
        return m_ref->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table)).toInt();
    }

private Q_SLOTS:
    void init() {
        openDatabases(/*withPersonal=*/true);
        buildFixture(*m_ref, *m_per);
    }
    void cleanup() { closeDatabases(); }

    // --- unridden routes ---

    void unriddenRoutes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("ridden");
        QTest::addColumn<double>("unridden");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<bool>("kept"); // after the extract step
        QTest::newRow("fully ridden in two rides") << "A00001" << 12.3 << 0.0 << 100.0 << false;
        QTest::newRow("12.25 of 12.3") << "A00002" << 12.25 << 0.05 << 99.5934959349593 << true;
        QTest::newRow("999.97 of 1000, no cap") << "A00003" << 999.97 << 0.03 << 99.997 << true;
        QTest::newRow("more than the length") << "A00004" << 10.5 << -0.5 << 105.0 << true;
        QTest::newRow("length 0") << "A00005" << 0.0 << 0.0 << 100.0 << false;
        QTest::newRow("no rides") << "A00007" << 0.0 << 7.5 << 0.0 << true;
    }
    void unriddenRoutes() {
        QFETCH(QString, code);
        QFETCH(double, ridden);
        QFETCH(double, unridden);
        QFETCH(double, ratio);
        QFETCH(bool, kept);
        tally::clearUnriddenList(m_ref);
        tally::listRoutesInService(m_ref);
        tally::sumRiddenKiloOfList(m_ref, m_per);
        tally::unriddenKiloOfList(m_ref);
        tally::ratioOfList(m_ref);
        TableCursor c(m_ref, QStringLiteral("CFM_MIJO"), QStringLiteral("ROSEN_CD"));
        c.open();
        QVERIFY(c.findKey({code}));
        QVERIFY(qAbs(c.asFloat(QStringLiteral("JOSHA_KILO")) - ridden) < 1e-9);
        QVERIFY(qAbs(c.asFloat(QStringLiteral("MIJO_KILO")) - unridden) < 1e-9);
        QVERIFY2(qAbs(c.asFloat(QStringLiteral("JOSHA_RATIO")) - ratio) < 1e-9,
                 qPrintable(c.asString(QStringLiteral("JOSHA_RATIO"))));
        c.close();
        tally::dropCompletedRoutes(m_ref);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM CFM_MIJO WHERE ROSEN_CD = '%1'").arg(code)).toInt(),
                 kept ? 1 : 0);
    }

    void routesInServiceOnly() {
        tally::listRoutesInService(m_ref);
        QCOMPARE(list(QStringLiteral("SELECT group_concat(ROSEN_CD, ' ') FROM CFM_MIJO")),
                 QStringLiteral("A00001 A00002 A00003 A00004 A00005 A00007 A00008|\n"));
        // Defaults for the kilometres not set yet; the section text cut to the 30 characters of the field.
        QCOMPARE(list(QStringLiteral("SELECT ROSEN_KUKAN, KILO, JOSHA_KILO, MIJO_KILO FROM CFM_MIJO WHERE ROSEN_CD IN "
                                     "('A00001', 'A00008')")),
                 QStringLiteral(
                     "L1(a～b)|12.3|0.0||\n一二三四五六七八九十一二三四五六七八九十(起点駅の名前です～|1.0|0.0||\n"));
    }

    void extractBeforeRatioKeepsRowsWithoutRatio() {
        tally::listRoutesInService(m_ref);
        tally::sumRiddenKiloOfList(m_ref, m_per);
        tally::dropCompletedRoutes(m_ref);
        QCOMPARE(rows(QStringLiteral("CFM_MIJO")), 7);
    }

    // A fill step on a list that already holds its rows is refused by the key, names the row and changes nothing.
    void fillingTwiceIsRefused_data() {
        QTest::addColumn<bool>("rides");
        QTest::addColumn<QString>("named");
        QTest::newRow("unridden routes") << false << "路線番号 A00001";
        QTest::newRow("ride check") << true << "乗車年月日 2019-04-01・路線番号 A00001";
    }
    void fillingTwiceIsRefused() {
        QFETCH(bool, rides);
        QFETCH(QString, named);
        auto fill = [&] {
            if (rides)
                tally::copyRidesToCheckList(m_ref, m_per);
            else
                tally::listRoutesInService(m_ref);
        };
        const QString table = rides ? QStringLiteral("CFM_JOSHA") : QStringLiteral("CFM_MIJO");
        fill();
        const QString before = list(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(table));
        // One row gone: the others are still there, so the step is refused all the same and adds nothing back.
        m_ref->exec(QStringLiteral("DELETE FROM %1 WHERE ROSEN_CD = 'A00007' OR JOSHA_KILO = 5.0").arg(table));
        const QString reduced = list(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(table));
        QVERIFY(reduced != before);
        const QString message = test::errorOf(fill);
        QVERIFY2(message.contains(named) && message.contains(QStringLiteral("全消")), qPrintable(message));
        QCOMPARE(list(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(table)), reduced);
    }

    // --- ride check ---

    void rideRemarks_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("kilo");
        QTest::addColumn<QString>("afterCopy");
        QTest::addColumn<QString>("afterRoutes"); // SHOZOKU|JOSHA_KUKAN|BIKO
        QTest::newRow("zero") << "A00001" << 0.0 << ""
                              << "Op1|L1(s)||";
        QTest::newRow("negative") << "A00002" << -0.5 << "乗車キロ＜０"
                                  << "Op2|L2(s)|乗車キロ＜０|";
        QTest::newRow("negative, route missing") << "ZZZ999" << -0.5 << "乗車キロ＜０"
                                                 << "■■■■■■■■|■■■■(s)|当該鉄軌道路線なし|";
        QTest::newRow("route missing") << "ZZZ999" << 1.0 << ""
                                       << "■■■■■■■■|■■■■(s)|当該鉄軌道路線なし|";
    }
    void rideRemarks() {
        QFETCH(QString, code);
        QFETCH(double, kilo);
        QFETCH(QString, afterCopy);
        QFETCH(QString, afterRoutes);
        m_per->exec(QStringLiteral("DELETE FROM JOSHA; INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, "
                                   "JOSHA_KILO) VALUES ('%1', '2020-01-01 00:00:00', 's', %2)")
                        .arg(code)
                        .arg(kilo));
        tally::copyRidesToCheckList(m_ref, m_per);
        QCOMPARE(list(QStringLiteral("SELECT ifnull(BIKO, '') FROM CFM_JOSHA")), afterCopy + QLatin1String("|\n"));
        tally::completeRideCheckList(m_ref);
        QCOMPARE(list(QStringLiteral("SELECT SHOZOKU, JOSHA_KUKAN, BIKO FROM CFM_JOSHA")),
                 afterRoutes + QLatin1Char('\n'));
    }

    // A ride over a stretch that an earlier ride of its route covered is remarked, in date order as the ride map
    // plays the rides: a ride below 0 km gives its stretch back, and is remarked as below zero only.
    void rideOverlapRemarks() {
        m_ref->exec(QStringLiteral("DELETE FROM EKI; INSERT INTO EKI (ROSEN_CD, KILO, EKI_KANJI) VALUES "
                                   "('A00001', 0, '甲'), ('A00001', 10, '乙'), ('A00001', 20, '丙')"));
        m_per->exec(QStringLiteral("DELETE FROM JOSHA; INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, "
                                   "JOSHA_KILO) VALUES "
                                   "('A00001', '2020-01-01 00:00:00', '甲～乙', 10),"
                                   "('A00001', '2020-02-01 00:00:00', '乙～丙', 10),"
                                   "('A00001', '2020-03-01 00:00:00', '甲～丙(全区間)', 20),"
                                   "('A00001', '2020-04-01 00:00:00', '乙～甲', -10),"
                                   "('A00001', '2020-05-01 00:00:00', '甲～乙', 10),"
                                   "('A00001', '2020-06-01 00:00:00', '丙～乙', 0),"
                                   "('A00002', '2020-06-01 00:00:00', '甲～乙', 5),"
                                   "('A00002', '2020-07-01 00:00:00', '甲～乙', 5)"));
        tally::copyRidesToCheckList(m_ref, m_per);
        QCOMPARE(list(QStringLiteral("SELECT substr(JOSHA_DATE, 1, 7), ROSEN_CD, ifnull(BIKO, '-') FROM CFM_JOSHA "
                                     "ORDER BY JOSHA_DATE, ROSEN_CD")),
                 QStringLiteral("2020-01|A00001|-|\n"
                                "2020-02|A00001|-|\n"
                                "2020-03|A00001|既乗区間と重複|\n"
                                "2020-04|A00001|乗車キロ＜０|\n"
                                "2020-05|A00001|-|\n"
                                "2020-06|A00001|既乗区間と重複|\n"
                                "2020-06|A00002|-|\n" // a route without stations: nothing to compare
                                "2020-07|A00002|-|\n"));

        // A long record, its remarks worked out beside the writing of the rows: each row still gets its own.
        tally::clearRideCheckList(m_ref);
        m_per->exec(QStringLiteral("DELETE FROM JOSHA; WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                                   "WHERE i < 499) INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                                   "SELECT 'A00001', datetime('2000-01-01', '+' || i || ' days'), CASE i % 3 WHEN 0 "
                                   "THEN '乙～甲' WHEN 1 THEN '甲～乙' ELSE '乙～丙' END, CASE i % 3 WHEN 0 THEN -10 "
                                   "ELSE 10 END FROM n"));
        tally::copyRidesToCheckList(m_ref, m_per);
        // Day by day: 甲～乙 given back (167), 甲～乙 new again (167), 乙～丙 new on the third day (1) and ridden
        // before on every later one (165).
        QCOMPARE(list(QStringLiteral("SELECT ifnull(BIKO, '-'), count(*) FROM CFM_JOSHA GROUP BY BIKO ORDER BY BIKO")),
                 QStringLiteral("-|168|\n乗車キロ＜０|167|\n既乗区間と重複|165|\n"));
    }

    void rideCheckOrderAndWrapping() {
        tally::copyRidesToCheckList(m_ref, m_per);
        tally::completeRideCheckList(m_ref);
        tally::completeRideCheckList(m_ref); // each press wraps the section again
        QCOMPARE(list(QStringLiteral("SELECT JOSHA_DATE, ROSEN_CD, JOSHA_KUKAN FROM CFM_JOSHA "
                                     "ORDER BY JOSHA_DATE LIMIT 2")),
                 QStringLiteral("2019-04-01 00:00:00|A00001|L1(L1(s1))|\n2019-04-02 00:00:00|A00001|L1(L1(s2))|\n"));
    }

    void longRouteNameWithSectionIsCut() {
        const QString name(30, QChar(0x540D));    // 名 × 30
        const QString section(50, QChar(0x533A)); // 区 × 50
        m_ref->exec(QStringLiteral("UPDATE MASTER SET ROSEN_KANJI = '%1' WHERE ROSEN_CD = 'A00001'").arg(name));
        m_per->exec(
            QStringLiteral("DELETE FROM JOSHA; INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                           "VALUES ('A00001', '2020-01-01 00:00:00', '%1', 1)")
                .arg(section));
        tally::copyRidesToCheckList(m_ref, m_per);
        tally::completeRideCheckList(m_ref);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT JOSHA_KUKAN FROM CFM_JOSHA")).toString(),
                 name + u'(' + section.left(49));
    }

    // Rides stored in any order are listed by date, then route code as the engine orders codes (bytes), and
    // stored in that order. An empty section or operator is no value; cuts count characters.
    void rideCopyOrderAndTexts() {
        const QString wide = QString::fromUcs4(U"\U00020BB7");
        const QString longName = wide.repeated(40);
        const QString longOperator = QString(29, QChar(0x3042)) + wide + QChar(0x3044); // あ×29, then two more
        m_ref->exec(QStringLiteral("DELETE FROM MASTER; INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, SHOZOKU, KILO) "
                                   "VALUES ('A1', 'N', '', 1), ('A10', '%1', '%2', 1)")
                        .arg(longName, longOperator));
        m_per->exec(QStringLiteral("DELETE FROM JOSHA; INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, "
                                   "JOSHA_KILO) VALUES "
                                   "('B', '2020-01-01 00:00:00', 'b', 1),"
                                   "('路1', '2020-01-01 00:00:00', NULL, 1),"
                                   "('A10', '2020-01-01 00:00:00', '%1', 1),"
                                   "('A1', '2020-01-02 00:00:00', '', NULL),"
                                   "('A1', '2020-01-01 00:00:00', 'a', -1),"
                                   "('A2', '2019-12-31 00:00:00', 'c', 1)")
                        .arg(QString(45, QChar(0x304F)))); // く×45
        tally::copyRidesToCheckList(m_ref, m_per);
        QCOMPARE(list(QStringLiteral("SELECT substr(JOSHA_DATE, 1, 10), ROSEN_CD, ifnull(JOSHA_KUKAN, '-'), "
                                     "ifnull(JOSHA_KILO, '-'), ifnull(BIKO, '-') FROM CFM_JOSHA ORDER BY rowid")),
                 QStringLiteral("2019-12-31|A2|c|1.0|-|\n"
                                "2020-01-01|A1|a|-1.0|乗車キロ＜０|\n"
                                "2020-01-01|A10|%1|1.0|-|\n"
                                "2020-01-01|B|b|1.0|-|\n"
                                "2020-01-01|路1|-|1.0|-|\n"
                                "2020-01-02|A1|-|-|-|\n")
                     .arg(QString(45, QChar(0x304F))));
        tally::completeRideCheckList(m_ref);
        QCOMPARE(list(QStringLiteral("SELECT ROSEN_CD, ifnull(SHOZOKU, '-'), JOSHA_KUKAN, ifnull(BIKO, '-') "
                                     "FROM CFM_JOSHA WHERE ROSEN_CD IN ('A1', 'A10') ORDER BY rowid")),
                 QStringLiteral("A1|-|N(a)|乗車キロ＜０|\n"
                                "A10|%1|%2|-|\n"
                                "A1|-|N()|-|\n")
                     .arg(longOperator.left(31), longName + u'(' + QString(39, QChar(0x304F))));
    }

    // Many rows, more than one batch of writes and a rest: every row gets its own values, a found route keeps the
    // row's remark.
    void manyRidesAllCompleted() {
        QStringList values, expected;
        for (int i = 0; i < 150; ++i) {
            const bool found = i % 3 != 0, negative = i % 5 == 0;
            const QString code =
                found ? QStringLiteral("A00001") : QStringLiteral("ZZZ%1").arg(i, 3, 10, QLatin1Char('0'));
            const QString day = QDate(2020, 1, 1).addDays(i).toString(QStringLiteral("yyyy-MM-dd"));
            values << QStringLiteral("('%1', '%2 00:00:00', 's%3', %4)").arg(code, day).arg(i).arg(negative ? -1 : 1);
            expected << QStringList{day, found ? QStringLiteral("Op1") : QStringLiteral("■■■■■■■■"),
                                    (found ? QStringLiteral("L1") : QStringLiteral("■■■■")) +
                                        QStringLiteral("(s%1)").arg(i),
                                    !found     ? QString::fromUtf16(tally::kNoRouteRemark)
                                    : negative ? QString::fromUtf16(tally::kNegativeRideRemark)
                                               : QStringLiteral("-")}
                                .join(QLatin1Char('|')) +
                            QLatin1Char('|');
        }
        m_per->exec(QStringLiteral("DELETE FROM JOSHA; INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, "
                                   "JOSHA_KILO) VALUES ") +
                    values.join(QLatin1Char(',')));
        tally::copyRidesToCheckList(m_ref, m_per);
        tally::completeRideCheckList(m_ref);
        QCOMPARE(list(QStringLiteral("SELECT substr(JOSHA_DATE, 1, 10), SHOZOKU, JOSHA_KUKAN, ifnull(BIKO, '-') "
                                     "FROM CFM_JOSHA ORDER BY JOSHA_DATE"))
                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 expected);
    }

    void emptyTablesChangeNothing() {
        m_per->exec(QStringLiteral("DELETE FROM JOSHA"));
        tally::copyRidesToCheckList(m_ref, m_per);
        tally::completeRideCheckList(m_ref);
        QCOMPARE(rows(QStringLiteral("CFM_JOSHA")), 0);
        tally::sumRiddenKiloOfList(m_ref, m_per); // an empty list
        QCOMPARE(rows(QStringLiteral("CFM_MIJO")), 0);
    }

    // --- screens ---

    void unriddenScreen() {
        test::DialogAnswerer dialogs;
        tally::TMijo screen;
        QAbstractItemModelTester tester(screen.grid()->model());
        QCOMPARE(screen.windowTitle(), QStringLiteral("未乗路線一覧表示"));
        QCOMPARE(buttonNames(&screen), QStringList({"BitBtnC=CSV(&C)", "BitBtnZ=全消(&Z)", "BitBtnR=路線(&R)",
                                                    "BitBtnJ=乗車(&J)", "BitBtnM=未乗(&M)", "BitBtnW=割合(&W)",
                                                    "BitBtnX=抽出(&X)", "BitBtnAll=一括実行(&A)", "BitBtnE=終了(&E)"}));
        QCOMPARE(columnTitles(screen.grid()), QStringList({"路線番号", "所属", "路線区間(未乗区間ではない)", "路線キロ",
                                                           "乗車キロ", "未乗キロ", "乗車率"}));
        QVERIFY(screen.grid()->isReadOnly());
        click(&screen, {"BitBtnZ", "BitBtnR", "BitBtnJ", "BitBtnM", "BitBtnW", "BitBtnX"});
        QCOMPARE(dialogs.count(ui::DialogKind::Critical), 0);
        QCOMPARE(screen.list().recNo(), 0);
        QCOMPARE(screen.grid()->model()->rowCount(), 5);
        QCOMPARE(screen.grid()->model()->index(0, 6).data().toString(), QStringLiteral("99.59"));
        QCOMPARE(screen.grid()->model()->index(2, 5).data().toString(), QStringLiteral("-0.5"));

        // Export: a name without an extension gets ".CSV"; the file holds the rows as stored.
        const QString file = m_env->file(QStringLiteral("mijo"));
        dialogs.answerFile(file);
        button(&screen, "BitBtnC")->click();
        const ui::DialogRequest asked = dialogs.requests(ui::DialogKind::SaveFile).last();
        QCOMPARE(asked.title, QStringLiteral("表示中の一覧をCSVファイルに出力します"));
        QCOMPARE(asked.filter, QStringLiteral("CSV (カンマ区切り) (*.csv);;全てのファイル (*.*)"));
        QVERIFY(!asked.confirmOverwrite);
        QCOMPARE(
            readAll(file + QStringLiteral(".CSV")),
            QByteArray("\"A00002\",\"Op2\",\"L2(a\x81\x60"
                       "b)\",12.3,12.25,0.0500000000000007,99.5934959349593\r\n"
                       "\"A00003\",\"Op3\",\"L3(a\x81\x60"
                       "b)\",1000,999.97,0.0299999999999727,99.997\r\n"
                       "\"A00004\",\"Op4\",\"L4(a\x81\x60"
                       "b)\",10,10.5,-0.5,105\r\n"
                       "\"A00007\",\"Op7\",\"L7(a\x81\x60"
                       "b)\",7.5,0,7.5,0\r\n") +
                text::toCp932(QStringLiteral(
                    "\"A00008\",\"Op8\",\"一二三四五六七八九十一二三四五六七八九十(起点駅の名前です～\",1,0,1,0\r\n")));

        // Cancelling the dialog leaves the file alone; the clear step empties the grid.
        const QByteArray before = readAll(file + QStringLiteral(".CSV"));
        button(&screen, "BitBtnC")->click();
        QCOMPARE(readAll(file + QStringLiteral(".CSV")), before);
        button(&screen, "BitBtnZ")->click();
        QCOMPARE(screen.grid()->model()->rowCount(), 0);
        QVERIFY(screen.grid()->isVisibleTo(&screen));
    }

    void failedStepIsShownAndUndone() {
        test::DialogAnswerer dialogs;
        tally::TMijo screen;
        click(&screen, {"BitBtnR"});
        m_ref->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF JOSHA_KILO ON CFM_MIJO "
                                   "WHEN NEW.ROSEN_CD = 'A00004' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        click(&screen, {"BitBtnJ", "BitBtnR"});
        const QList<ui::DialogRequest> errors = dialogs.requests(ui::DialogKind::Critical);
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors[0].text.contains(QStringLiteral("refused")));
        QVERIFY(errors[1].text.contains(QStringLiteral("路線番号 A00001")));
        // Rows before the refused one were not left changed.
        QCOMPARE(list(QStringLiteral("SELECT sum(JOSHA_KILO) FROM CFM_MIJO")), QStringLiteral("0.0|\n"));
        QCOMPARE(screen.grid()->model()->rowCount(), 7);
        QVERIFY(screen.grid()->isVisibleTo(&screen));
        QVERIFY(!QApplication::overrideCursor());
    }

    void rideCheckScreen() {
        test::DialogAnswerer dialogs;
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('ZZZ999', '2018-01-01 00:00:00', 'x,\"y\"', -3.2)"));
        tally::TCJosha screen;
        QCOMPARE(screen.windowTitle(), QStringLiteral("乗車実績確認"));
        QCOMPARE(buttonNames(&screen),
                 QStringList({"BitBtnC=CSV(&C)", "BitBtnZ=全消(&Z)", "BitBtnJ=乗車(&J)", "BitBtnR=路線(&R)",
                              "BitBtnX=抽出(&X)(off)", "BitBtnAll=一括実行(&A)", "BitBtnE=終了(&E)"}));
        QCOMPARE(columnTitles(screen.grid()),
                 QStringList({"乗車年月日", "路線番号", "所属", "路線名称(乗車区間)", "乗車キロ", "備考"}));
        click(&screen, {"BitBtnZ", "BitBtnJ", "BitBtnR"});
        QCOMPARE(dialogs.count(ui::DialogKind::Critical), 0);
        QCOMPARE(screen.grid()->model()->index(0, 0).data().toString(), QStringLiteral("2018-01-01"));
        m_ref->exec(QStringLiteral("DELETE FROM CFM_JOSHA WHERE JOSHA_DATE > '2019-04-03 23'"));
        screen.list().reopen();
        // The marks of the missing route show whole in the operator column.
        QVERIFY(screen.grid()->columnWidth(2) >
                screen.grid()->fontMetrics().horizontalAdvance(QStringLiteral("■■■■■■■■")));
        const QString file = m_env->file(QStringLiteral("josha.csv"));
        dialogs.answerFile(file);
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(documents).isDir())
            documents = QDir::homePath();
        button(&screen, "BitBtnC")->click();
        // The save dialog opened in the documents folder; it opens next in the folder written to, while it exists.
        QCOMPARE(dialogs.requests(ui::DialogKind::SaveFile).first().text, documents);
        QCOMPARE(settings::readString(QStringLiteral("Path"), QStringLiteral("CsvPath"), QString()),
                 QFileInfo(file).absolutePath());
        QCOMPARE(ui::csvFolder(), QFileInfo(file).absolutePath());
        settings::writeString(QStringLiteral("Path"), QStringLiteral("CsvPath"), m_env->file(QStringLiteral("gone")));
        QCOMPARE(ui::csvFolder(), documents);
        QCOMPARE(readAll(file),
                 QByteArray("\"2018/01/01\",\"ZZZ999\",\"\x81\xa1\x81\xa1\x81\xa1\x81\xa1\x81\xa1\x81\xa1"
                            "\x81\xa1\x81\xa1\",\"\x81\xa1\x81\xa1\x81\xa1\x81\xa1(x,\"y\")\",-3.2,\"") +
                     kNoRouteCp932 +
                     QByteArray("\"\r\n"
                                "\"2019/04/01\",\"A00001\",\"Op1\",\"L1(s1)\",10,\"\"\r\n"
                                "\"2019/04/02\",\"A00001\",\"Op1\",\"L1(s2)\",2.3,\"\"\r\n"
                                "\"2019/04/03\",\"A00002\",\"Op2\",\"L2(s3)\",12.25,\"\"\r\n"));
        QCOMPARE(screen.list().recNo(), 0);
    }

    void registeredForTheMenuCommands() {
        tally::registerScreens();
        for (const char* command : {"ActionShukeiMijo", "ActionCheckJisseki"}) {
            ScreenFactory factory = screenFactory(QString::fromLatin1(command));
            QVERIFY(factory);
            std::unique_ptr<QWidget> screen(factory(nullptr));
            QVERIFY(qobject_cast<ui::CheckListScreen*>(screen.get()));
        }
    }
};

QTEST_MAIN(TestChecklists)
#include "test_checklists.moc"
