#include "data/formats.h"

#include <QTest>

class TestFormats : public QObject {
    Q_OBJECT

private slots:
    void formatNumber_data();
    void formatNumber();
    void formatTimestamp_data();
    void formatTimestamp();
};

// clang-format off
void TestFormats::formatNumber_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("expected");

    // Kilometre totals and route lengths.
    QTest::newRow("km total grouped") << 1234.56 << "#,##0.0" << "1,234.6";
    QTest::newRow("km total millions") << 27436.05 << "#,##0.0" << "27,436.1";
    QTest::newRow("km total zero") << 0.0 << "#,##0.0" << "0.0";
    QTest::newRow("km total below one") << 0.25 << "#,##0.0" << "0.3";
    QTest::newRow("km total negative") << -1234.5 << "#,##0.0" << "-1,234.5";
    QTest::newRow("route length") << 45.6 << "##,##0.0" << "45.6";
    QTest::newRow("route length grouped") << 12345.0 << "##,##0.0" << "12,345.0";
    QTest::newRow("six integer digits exceed the picture") << 123456.7 << "##,##0.0" << "123,456.7";

    // Half away from zero on the shortest decimal form, not on the binary value.
    QTest::newRow("0.05 rounds up") << 0.05 << "0.0" << "0.1";
    QTest::newRow("1.25 rounds up") << 1.25 << "0.0" << "1.3";
    QTest::newRow("1.35 rounds up") << 1.35 << "0.0" << "1.4";
    QTest::newRow("2.675 rounds up") << 2.675 << "0.00" << "2.68";
    QTest::newRow("1.005 rounds up") << 1.005 << "0.00" << "1.01";
    QTest::newRow("negative half away from zero") << -1.25 << "0.0" << "-1.3";
    QTest::newRow("below half") << 1.2499 << "0.0" << "1.2";
    QTest::newRow("sum with binary error") << 0.1 + 0.2 << "0.0" << "0.3";
    QTest::newRow("carry through nines") << 9.96 << "0.0" << "10.0";
    QTest::newRow("negative rounding to zero has no sign") << -0.04 << "0.0" << "0.0";
    QTest::newRow("negative zero") << -0.0 << "0.0" << "0.0";
    QTest::newRow("ride negative") << -20.0 << "0.0" << "-20.0";
    QTest::newRow("tiny value") << 1e-9 << "0.0" << "0.0";

    // Riding ratios.
    QTest::newRow("ratio 99.99") << 99.99 << "##0.00" << "99.99";
    QTest::newRow("ratio 99.994") << 99.994 << "##0.00" << "99.99";
    QTest::newRow("ratio 99.996 shows complete") << 99.996 << "##0.00" << "100.00";
    QTest::newRow("ratio 100") << 100.0 << "##0.00" << "100.00";
    QTest::newRow("ratio above 100") << 104.2857142857143 << "##0.00" << "104.29";
    QTest::newRow("ratio small") << 0.5 << "##0.00" << "0.50";
    QTest::newRow("ratio computed") << 999.94 / 1000.0 * 100.0 << "##0.00" << "99.99";

    // Gauge, voltages, fares, coordinates, memory.
    QTest::newRow("gauge") << 1.067 << "0.000" << "1.067";
    QTest::newRow("gauge integer") << 1.0 << "0.000" << "1.000";
    QTest::newRow("voltage") << 1500.0 << "##,##0" << "1,500";
    QTest::newRow("voltage zero") << 0.0 << "##,##0" << "0";
    QTest::newRow("fare") << 1340.0 << "###,###" << "1,340";
    QTest::newRow("fare below thousand") << 210.0 << "###,###" << "210";
    QTest::newRow("fare zero is empty") << 0.0 << "###,###" << "";
    QTest::newRow("fare million") << 1234567.0 << "###,###" << "1,234,567";
    QTest::newRow("latitude") << 35.681236 << "0.000000" << "35.681236";
    QTest::newRow("longitude rounded") << 139.7671249 << "0.000000" << "139.767125";
    QTest::newRow("memory KB") << 16384000.0 << "#,###" << "16,384,000";
    QTest::newRow("memory KB small") << 512.0 << "#,###" << "512";

    // Optional decimals and literal text around the picture.
    QTest::newRow("optional decimals dropped") << 2.5 << "0.##" << "2.5";
    QTest::newRow("optional decimals kept") << 2.567 << "0.0#" << "2.57";
    QTest::newRow("no integer digit") << 0.5 << "#.0" << ".5";
    QTest::newRow("literal suffix") << 1500.0 << "#,##0 KB" << "1,500 KB";

    // Without a picture: the shortest plain form.
    QTest::newRow("plain integer") << 42.0 << "" << "42";
    QTest::newRow("plain decimal") << 45.58 << "" << "45.58";
    QTest::newRow("plain negative") << -0.04 << "" << "-0.04";
    QTest::newRow("plain small") << 0.001 << "" << "0.001";
    QTest::newRow("plain large") << 16384000.0 << "" << "16384000";
    QTest::newRow("plain zero") << 0.0 << "" << "0";
    QTest::newRow("plain hundred thousand") << 100000.0 << "" << "100000";
    QTest::newRow("plain ten thousandth") << 0.0001 << "" << "0.0001";
    QTest::newRow("plain below a millionth") << -2.5e-7 << "" << "-0.00000025";
    QTest::newRow("plain beyond 21 digits") << 1e22 << "" << "10000000000000000000000";
}
// clang-format on

void TestFormats::formatNumber() {
    QFETCH(double, value);
    QFETCH(QString, picture);
    QFETCH(QString, expected);
    QCOMPARE(tabi::fmt::formatNumber(value, picture), expected);
}

// clang-format off
void TestFormats::formatTimestamp_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("expected");

    QTest::newRow("date lower case") << "2024-02-29 00:00:00" << "yyyy-mm-dd" << "2024-02-29";
    QTest::newRow("date upper case") << "1987-03-31 00:00:00" << "YYYY-MM-DD" << "1987-03-31";
    QTest::newRow("date of a timestamp with time") << "2024-02-29 13:05:00" << "yyyy-mm-dd" << "2024-02-29";
    QTest::newRow("time") << "1899-12-30 08:45:00" << "HH:MM" << "08:45";
    QTest::newRow("time of a bare date") << "2024-02-29" << "HH:MM" << "00:00";
    QTest::newRow("null") << QString() << "yyyy-mm-dd" << QString();
    QTest::newRow("null time") << QString() << "HH:MM" << QString();
    QTest::newRow("no picture, midnight") << "2024-02-29 00:00:00" << "" << "2024-02-29";
    QTest::newRow("no picture, with time") << "2024-02-29 13:05:09" << "" << "2024-02-29 13:05:09";
    QTest::newRow("slashes") << "2024-02-09 00:00:00" << "yyyy/mm/dd" << "2024/02/09";
}
// clang-format on

void TestFormats::formatTimestamp() {
    QFETCH(QString, stored);
    QFETCH(QString, picture);
    QFETCH(QString, expected);
    QCOMPARE(tabi::fmt::formatTimestamp(stored, picture), expected);
}

QTEST_GUILESS_MAIN(TestFormats)
#include "test_formats.moc"
