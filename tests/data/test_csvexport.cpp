#include "data/csvexport.h"
#include "data/cursor.h"
#include "support/errorof.h"
#include "support/files.h"
#include "support/tempdatabases.h"

#include <QFile>
#include <QtTest>

using namespace tabi;
using tabi::test::readAll;

// The bytes of the list files: number and date forms, quoting, encoding, line ends, and a failed write.
class TestCsvExport : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(); }
    void cleanup() { closeDatabases(); }

    void floatForms_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 3.0 << "3";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("half") << 12.5 << "12.5";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("third") << 1.0 / 3.0 << "0.333333333333333";
        QTest::newRow("negative ride") << -3.2 << "-3.2";
        QTest::newRow("no grouping") << 1234.5 << "1234.5";
        QTest::newRow("sum with noise") << 0.1 + 0.2 << "0.3";
        QTest::newRow("rounds up to a new digit") << 99999.99999999999 << "100000";
        QTest::newRow("one millionth") << 1e-6 << "1E-6";
        QTest::newRow("smallest fixed") << 0.00001 << "0.00001";
        QTest::newRow("below fixed") << 0.0000099 << "9.9E-6";
        QTest::newRow("remainder of a subtraction") << -2.220446049250313e-15 << "-2.22044604925031E-15";
        QTest::newRow("15 integer digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("16 integer digits") << 1234567890123456.0 << "1.23456789012346E15";
        QTest::newRow("1E15") << 1e15 << "1E15";
    }
    void floatForms() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(csv::floatText(value), text);
    }

    void timestampForms_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight") << "2019-04-01 00:00:00"
                                  << "2019/04/01";
        QTest::newRow("morning") << "2019-04-01 09:05:00"
                                 << "2019/04/01 9:05:00";
        QTest::newRow("afternoon") << "2019-12-31 13:05:07"
                                   << "2019/12/31 13:05:07";
        QTest::newRow("null") << ""
                              << "";
    }
    void timestampForms() {
        QFETCH(QString, stored);
        QFETCH(QString, text);
        QCOMPARE(csv::timestampText(stored), text);
    }

    // Every column type, nulls, text that holds a comma or quotation mark, and characters CP932 lacks.
    void wholeFile() {
        m_ref->exec(QStringLiteral(
            "INSERT INTO CFM_JOSHA (JOSHA_DATE, ROSEN_CD, SHOZOKU, JOSHA_KUKAN, JOSHA_KILO, BIKO) VALUES"
            " ('2019-04-01 00:00:00', 'X12345', 'A,\"B\"', 'あ～■', 12.5, NULL),"
            " ('2020-01-02 10:30:00', 'Y1', NULL, 'é😀 ', -3.2, ' '),"
            " ('2021-05-06 00:00:00', 'Z1', '', 'x', NULL, 'z');"
            "INSERT INTO CFM_FILES (FILE_NAME, WIDTH, HEIGHT, ROSEN_CD) VALUES ('BAD.JPG', 0, 0, 'BAD.JP');"));
        TableCursor rides(m_ref, QStringLiteral("CFM_JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"));
        rides.open();
        rides.last();
        const QString file = m_env->file(QStringLiteral("rides.csv"));
        csv::writeFile(rides, file);
        QCOMPARE(rides.recNo(), 0);
        QCOMPARE(readAll(file),
                 QByteArray("\"2019/04/01\",\"X12345\",\"A,\"B\"\",\"\x82\xA0\x81\x60\x81\xA1\",12.5,\"\"\r\n"
                            "\"2020/01/02 10:30:00\",\"Y1\",\"\",\"?? \",-3.2,\" \"\r\n"
                            "\"2021/05/06\",\"Z1\",\"\",\"x\",,\"z\"\r\n"));
        TableCursor files(m_ref, QStringLiteral("CFM_FILES"), QStringLiteral("FILE_NAME"));
        files.open();
        csv::writeFile(files, file); // replaces the earlier file
        QCOMPARE(readAll(file), QByteArray("\"BAD.JPG\",0,0,\"BAD.JP\",\"\",\"\",\"\"\r\n"));
    }

    void emptyListGivesAnEmptyFile() {
        const QString file = m_env->file(QStringLiteral("empty.csv"));
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        TableCursor list(m_ref, QStringLiteral("CFM_MIJO"), QStringLiteral("ROSEN_CD"));
        list.open();
        csv::writeFile(list, file);
        QCOMPARE(readAll(file), QByteArray());
    }

    void failedWriteLeavesTheEarlierFile_data() {
        QTest::addColumn<QString>("target"); // relative to the test folder
        QTest::newRow("folder missing") << "missing/out.csv";
        QTest::newRow("a folder of that name") << "folder.csv";
    }
    void failedWriteLeavesTheEarlierFile() {
        QFETCH(QString, target);
        QDir(m_env->path()).mkpath(QStringLiteral("folder.csv"));
        m_ref->exec(QStringLiteral("INSERT INTO CFM_MIJO (ROSEN_CD) VALUES ('A')"));
        TableCursor list(m_ref, QStringLiteral("CFM_MIJO"), QStringLiteral("ROSEN_CD"));
        list.open();
        const QString file = m_env->file(target);
        const QString message = test::errorOf([&] { csv::writeFile(list, file); });
        QVERIFY2(message.contains(file), qPrintable(message));
        QVERIFY(!QFileInfo(file).isFile());
        QCOMPARE(QDir(m_env->path()).entryList({QStringLiteral("*.csv*")}, QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCsvExport)
#include "test_csvexport.moc"
