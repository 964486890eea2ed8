// The conversions of raw Jet column bytes, without any Access file.
#include "mdbimport/jetvalues.h"

#include <QTest>
#include <cmath>
#include <cstring>

using namespace tabi;

namespace {

QByteArray leDouble(double d) {
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &d, 8); // the test machines are little-endian, as Jet files are
    return b;
}

} // namespace

class TestJetValues : public QObject {
    Q_OBJECT
private slots:
    void oleDays_data() {
        QTest::addColumn<double>("day");
        QTest::addColumn<QString>("expected");
        QTest::newRow("epoch") << 0.0 << "1899-12-30 00:00:00";
        QTest::newRow("negative zero") << -0.0 << "1899-12-30 00:00:00";
        QTest::newRow("time of day only") << 0.5 << "1899-12-30 12:00:00";
        QTest::newRow("day before epoch at noon") << -1.5 << "1899-12-29 12:00:00";
        QTest::newRow("fraction counts forward before the epoch") << -0.25 << "1899-12-30 06:00:00";
        QTest::newRow("first railway") << -9938.0 << "1872-10-14 00:00:00";
        QTest::newRow("1900-01-01") << 2.0 << "1900-01-01 00:00:00";
        QTest::newRow("leap day 2000") << 36585.0 << "2000-02-29 00:00:00";
        QTest::newRow("evening with seconds") << 43708.0 + (14 * 3600 + 5 * 60 + 30) / 86400.0 << "2019-08-31 14:05:30";
        QTest::newRow("rounds up to the next day") << 1.0 - 1e-9 << "1899-12-31 00:00:00";
        QTest::newRow("rounds up before the epoch") << -1.0 - (1.0 - 1e-9) << "1899-12-30 00:00:00";
        QTest::newRow("year 100") << -657434.0 << "0100-01-01 00:00:00";
        QTest::newRow("year 9999") << 2958465.0 << "9999-12-31 00:00:00";
    }
    void oleDays() {
        QFETCH(double, day);
        QFETCH(QString, expected);
        QCOMPARE(jet::oleDayToTimestamp(day).value_or(QStringLiteral("(none)")), expected);
    }

    void oleDaysOutOfRange() {
        for (double d : {-657436.0, 2958466.0, 1e300, std::nan(""), double(INFINITY)})
            QVERIFY2(!jet::oleDayToTimestamp(d), qPrintable(QString::number(d)));
    }

    // Doubles come back bit for bit, the sign of zero included; singles widen exactly.
    void reals() {
        for (double d : {0.1, 1e-7, 81.00000000000001, -2.1000000000000014, 12.345678901234, -0.0}) {
            const auto r = jet::readReal(leDouble(d));
            QVERIFY(r);
            QVERIFY2(std::memcmp(&*r, &d, 8) == 0, qPrintable(QString::number(d, 'g', 17)));
        }
        const float f = 0.1f;
        QByteArray single(4, '\0');
        std::memcpy(single.data(), &f, 4);
        QCOMPARE(*jet::readReal(single), double(0.1f));
        QVERIFY(!jet::readReal(QByteArray(5, '\0')));
    }

    void integers() {
        QCOMPARE(*jet::readInteger(QByteArray("\xff", 1)), 255); // Jet's byte is unsigned
        QCOMPARE(*jet::readInteger(QByteArray("\xa8\x61", 2)), 25000);
        QCOMPARE(*jet::readInteger(QByteArray("\xff\xff", 2)), -1);
        QCOMPARE(*jet::readInteger(QByteArray("\x00\x00\x00\x80", 4)), qint64(INT32_MIN));
        QVERIFY(!jet::readInteger(QByteArray(3, '\0')));
    }

    void jet4Texts_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("utf-16") << QByteArray("\x4a\x00\x52\x00\x17\x53\x77\x6d\x53\x90", 10) << "JR北海道";
        QTest::newRow("half-width kana") << QByteArray("\x84\xff\x9e\xff", 4) << "ﾄﾞ";
        QTest::newRow("wave dash and circled one") << QByteArray("\x5e\xff\x60\x24", 4) << "～①";
        QTest::newRow("surrogate pair") << QByteArray("\x42\xd8\xb7\xdf", 4) << "𠮷";
        QTest::newRow("line break") << QByteArray("\x41\x00\x0d\x00\x0a\x00\x42\x00", 8) << "A\r\nB";
        QTest::newRow("compressed") << QByteArray("\xff\xfe\x41\x30\x31", 5) << "A01";
        QTest::newRow("compressed, runs switched by zero bytes")
            << QByteArray("\xff\xfe\x41\x00\x42\x30\x5e\xff\x00\x43", 10) << "Aあ～C";
        QTest::newRow("compressed, Latin-1 byte") << QByteArray("\xff\xfe\xe9", 3) << "é";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void jet4Texts() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(jet::jet4Text(bytes).value_or(QStringLiteral("(none)")), expected);
    }

    void jet4TextBroken() {
        QVERIFY(!jet::jet4Text(QByteArray("\x41\x00\x42", 3)));
        QVERIFY(!jet::jet4Text(QByteArray("\xff\xfe\x41\x00\x42", 5))); // a half UTF-16 unit at the end
    }

    // Jet3 text in the Windows form of the Japanese code page, where glibc's SHIFT-JIS differs.
    void jet3Texts() {
        QCOMPARE(jet::jet3Text(QByteArray("\x81\x60", 2)), QStringLiteral("～"));
        QCOMPARE(jet::jet3Text(QByteArray("\x87\x40", 2)), QStringLiteral("①"));
        QCOMPARE(jet::jet3Text(QByteArray("\xc4\xde\x95\x94", 4)), QStringLiteral("ﾄﾞ部"));
        QCOMPARE(jet::jet3Text(QByteArray("\x5c\x7e", 2)), QStringLiteral("\\~"));
    }
};

QTEST_GUILESS_MAIN(TestJetValues)
#include "test_jetvalues.moc"
