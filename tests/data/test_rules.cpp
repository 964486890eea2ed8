#include "data/database.h"
#include "data/rules.h"

#include <QTemporaryDir>

#include <QTest>

using namespace tabi::rules;

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void ratio_data();
    void ratio();
    void ratioInStatements_data() { ratio_data(); }
    void ratioInStatements();
    void ratioInStatementsCountsEmptyAsZero();
    void isComplete_data();
    void isComplete();
    void isAbolished_data();
    void isAbolished();
    void parseDate_data();
    void parseDate();
    void timestamps_data();
    void timestamps();
    void inGroup_data();
    void inGroup();
};

// clang-format off
void TestRules::ratio_data() {
    QTest::addColumn<double>("routeKilo");
    QTest::addColumn<double>("riddenKilo");
    QTest::addColumn<double>("expected");

    QTest::newRow("no route kilometres") << 0.0 << 0.0 << 100.0;
    QTest::newRow("no route kilometres, rides on abolished routes") << 0.0 << 12.3 << 100.0;
    QTest::newRow("half") << 200.0 << 100.0 << 50.0;
    QTest::newRow("nothing ridden") << 45.6 << 0.0 << 0.0;
    QTest::newRow("complete") << 45.6 << 45.6 << 100.0;
    QTest::newRow("0.06 km short is capped") << 1000.0 << 999.94 << 99.99;
    QTest::newRow("0.04 km short stays") << 1000.0 << 999.96 << 99.996;
    QTest::newRow("at 99.99 no cap needed") << 1000.0 << 999.9 << 99.99;
    QTest::newRow("large network, 0.4 km short") << 10000.0 << 9999.6 << 99.99;
    QTest::newRow("over 100 stored as computed") << 100.0 << 104.5 << 104.5;
    QTest::newRow("negative rides") << 100.0 << -10.0 << -10.0;
}
// clang-format on

void TestRules::ratio() {
    QFETCH(double, routeKilo);
    QFETCH(double, riddenKilo);
    QFETCH(double, expected);
    QCOMPARE(tabi::rules::ratio(routeKilo, riddenKilo), expected);
}

namespace {
// The ratio as a statement of a database connection works it out.
QVariant ratioByStatement(const QVariant& routeKilo, const QVariant& riddenKilo) {
    QTemporaryDir dir;
    auto db = tabi::Database::openFile(dir.filePath(QStringLiteral("JJ.db")), tabi::DbKind::Personal);
    tabi::Statement s(*db, QStringLiteral("SELECT riding_ratio(?1, ?2)"));
    s.bind(1, routeKilo);
    s.bind(2, riddenKilo);
    s.step();
    const QVariant out = s.column(0);
    s.reset();
    return out;
}
} // namespace

// Statements that work out a whole list at once apply the same rule, to the last bit.
void TestRules::ratioInStatements() {
    QFETCH(double, routeKilo);
    QFETCH(double, riddenKilo);
    QCOMPARE(ratioByStatement(routeKilo, riddenKilo).toDouble(), tabi::rules::ratio(routeKilo, riddenKilo));
}

void TestRules::ratioInStatementsCountsEmptyAsZero() {
    QCOMPARE(ratioByStatement(QVariant(), 5.0).toDouble(), 100.0);
    QCOMPARE(ratioByStatement(10.0, QVariant()).toDouble(), 0.0);
}

// clang-format off
void TestRules::isComplete_data() {
    QTest::addColumn<double>("ratio");
    QTest::addColumn<bool>("complete");
    QTest::newRow("100") << 100.0 << true;
    QTest::newRow("above 100") << 104.0 << true;
    QTest::newRow("just above threshold") << 99.999995 << true;
    QTest::newRow("exactly threshold") << 99.99999 << false;
    QTest::newRow("99.996 shows 100.00 but is not complete") << 99.996 << false;
    QTest::newRow("capped") << 99.99 << false;
    QTest::newRow("zero") << 0.0 << false;
}
// clang-format on

void TestRules::isComplete() {
    QFETCH(double, ratio);
    QFETCH(bool, complete);
    QCOMPARE(tabi::rules::isComplete(ratio), complete);
}

// clang-format off
void TestRules::isAbolished_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("abolished");
    QTest::newRow("1987") << "1987-03-31" << true;
    QTest::newRow("1987 timestamp") << "1987-04-01 00:00:00" << true;
    QTest::newRow("2005") << "2005-04-01" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("null") << QString() << false;
    QTest::newRow("22nd century") << "2105-01-01" << false;
    QTest::newRow("18xx") << "1899-12-31" << false;
    QTest::newRow("free text") << "廃止予定" << false;
}
// clang-format on

void TestRules::isAbolished() {
    QFETCH(QString, date);
    QFETCH(bool, abolished);
    QCOMPARE(tabi::rules::isAbolished(date), abolished);
}

// clang-format off
void TestRules::parseDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("plain") << "2024-02-29" << QDate(2024, 2, 29);
    QTest::newRow("stored timestamp") << "1987-03-31 00:00:00" << QDate(1987, 3, 31);
    QTest::newRow("ISO timestamp") << "1987-03-31T00:00:00" << QDate(1987, 3, 31);
    QTest::newRow("surrounding blanks") << " 2024-01-05 " << QDate(2024, 1, 5);
    QTest::newRow("30 February") << "2024-02-30" << QDate();
    QTest::newRow("29 February, common year") << "2023-02-29" << QDate();
    QTest::newRow("month 13") << "2024-13-01" << QDate();
    QTest::newRow("day 0") << "2024-01-00" << QDate();
    QTest::newRow("one-digit month") << "2024-1-05" << QDate();
    QTest::newRow("slashes") << "2024/01/05" << QDate();
    QTest::newRow("trailing junk") << "2024-01-05x" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("null") << QString() << QDate();
}
// clang-format on

void TestRules::parseDate() {
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(tabi::rules::parseDate(text), date);
}

// clang-format off
void TestRules::timestamps_data() {
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("dateText");
    QTest::newRow("leap day") << QDate(2024, 2, 29) << "2024-02-29 00:00:00" << "2024-02-29";
    QTest::newRow("zero-padded") << QDate(1987, 4, 1) << "1987-04-01 00:00:00" << "1987-04-01";
    QTest::newRow("null") << QDate() << QString() << QString();
}
// clang-format on

void TestRules::timestamps() {
    QFETCH(QDate, day);
    QFETCH(QString, stored);
    QFETCH(QString, dateText);
    const QString ts = dayTimestamp(day);
    QCOMPARE(ts, stored);
    QCOMPARE(ts.isNull(), stored.isNull());
    QCOMPARE(tabi::rules::dateText(ts), dateText);
    QCOMPARE(tabi::rules::parseDate(ts), day);
}

// clang-format off
void TestRules::inGroup_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("member");
    QTest::newRow("classification") << "A01001" << "A01" << true;
    QTest::newRow("other classification") << "A02001" << "A01" << false;
    QTest::newRow("large classification") << "A01001" << "A" << true;
    QTest::newRow("category in large category") << "12" << "1" << true;
    QTest::newRow("code shorter than group") << "A0" << "A01" << false;
    QTest::newRow("letter case counts") << "a01001" << "A01" << false;
    QTest::newRow("empty group covers all") << "A01001" << "" << true;
}
// clang-format on

void TestRules::inGroup() {
    QFETCH(QString, code);
    QFETCH(QString, group);
    QFETCH(bool, member);
    QCOMPARE(tabi::rules::inGroup(code, group), member);
}

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
