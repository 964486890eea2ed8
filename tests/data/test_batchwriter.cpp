#include "data/batchwriter.h"
#include "data/error.h"
#include "support/errorof.h"
#include "support/tempdatabases.h"

#include <QtTest>

using namespace tabi;

class TestBatchWriter : public QObject, public test::TempDatabases {
    Q_OBJECT

    QString rides() {
        return m_per->dump(QStringLiteral("SELECT ROSEN_CD, ifnull(JOSHA_KUKAN, '-'), ifnull(JOSHA_KILO, '-') "
                                          "FROM JOSHA ORDER BY rowid"));
    }

private Q_SLOTS:
    void init() {
        openDatabases(/*withPersonal=*/true);
        m_per->exec(QStringLiteral("DELETE FROM JOSHA"));
    }
    void cleanup() { closeDatabases(); }

    // Every row is written once, in order, whether it falls in a full batch or among the last ones; a row not
    // ended is not written, and a short row leaves the rest empty.
    void rowsInBatchesAndAfter_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("perStatement");
        QTest::newRow("fewer than a batch") << 2 << 3;
        QTest::newRow("exactly a batch") << 3 << 3;
        QTest::newRow("batches and a rest") << 7 << 3;
        QTest::newRow("one per statement") << 2 << 1;
    }
    void rowsInBatchesAndAfter() {
        QFETCH(int, rows);
        QFETCH(int, perStatement);
        QList<QByteArray> codes, dates;
        QString expected;
        for (int i = 0; i < rows; ++i) {
            codes << QByteArray::number(i + 1);
            dates << QByteArrayLiteral("2020-01-01 00:00:00");
            expected += QStringLiteral("%1|%2|%3|\n")
                            .arg(i + 1)
                            .arg(i % 2 ? QStringLiteral("区間") : QStringLiteral("-"))
                            .arg(i % 3 ? QStringLiteral("1.5") : QStringLiteral("-"));
        }
        const QByteArray section = QStringLiteral("区間").toUtf8();
        BatchWriter write = BatchWriter::insertInto(*m_per, QStringLiteral("JOSHA"),
                                                    {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"),
                                                     QStringLiteral("JOSHA_KUKAN"), QStringLiteral("JOSHA_KILO")},
                                                    perStatement);
        for (int i = 0; i < rows; ++i) {
            write.text(codes[i]);
            write.text(dates[i]);
            write.text(i % 2 ? QByteArrayView(section) : QByteArrayView());
            if (i % 3)
                write.real(1.5);
            write.endRow(); // the kilometres left out of every third row
        }
        write.text("never");
        write.finish();
        QCOMPARE(rides(), expected);
    }

    // Copied texts stay as they were handed over while the caller's buffer changes, from batch to batch; the same
    // writer form updates rows joined to the VALUES list by their rowid.
    void copiedTextsAndUpdates() {
        QByteArray buffer;
        {
            BatchWriter write = BatchWriter::insertInto(
                *m_per, QStringLiteral("JOSHA"),
                {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"), QStringLiteral("JOSHA_KUKAN")}, 2);
            for (int i = 1; i <= 5; ++i) {
                buffer = QByteArray::number(i);
                write.copy(buffer);
                write.text("2020-01-01 00:00:00");
                buffer = QStringLiteral("区間%1").arg(i).toUtf8();
                write.copy(buffer);
                buffer.fill('x');
                write.endRow();
            }
            write.finish();
        }
        QCOMPARE(rides(), QStringLiteral("1|区間1|-|\n2|区間2|-|\n3|区間3|-|\n4|区間4|-|\n5|区間5|-|\n"));
        BatchWriter update(*m_per, QStringLiteral("UPDATE JOSHA SET JOSHA_KILO = v.column2 FROM (VALUES "),
                           QStringLiteral("(?, ?)"), QStringLiteral(") AS v WHERE JOSHA.rowid = v.column1"), 2);
        for (qint64 rowid = 1; rowid <= 3; ++rowid) {
            update.integer(rowid);
            update.real(rowid * 1.5);
            update.endRow();
        }
        update.finish();
        QCOMPARE(rides(), QStringLiteral("1|区間1|1.5|\n2|区間2|3.0|\n3|区間3|4.5|\n4|区間4|-|\n5|区間5|-|\n"));
    }

    // A row the table refuses is named like any other write, and the transaction keeps none of the rows.
    void refusedRowNamesTheField() {
        const QByteArray tooLong(51, 'x');
        {
            Transaction tx(*m_per);
            BatchWriter write = BatchWriter::insertInto(
                *m_per, QStringLiteral("JOSHA"),
                {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"), QStringLiteral("BIKO")}, 2);
            const QString message = test::errorOf([&] {
                for (const QByteArray& remark : {QByteArray("ok"), tooLong}) {
                    write.text(remark == tooLong ? "B" : "A");
                    write.text("2020-01-01 00:00:00");
                    write.text(remark);
                    write.endRow();
                }
            });
            QVERIFY2(message.contains(QStringLiteral("「備考」")) && message.contains(QStringLiteral("50")),
                     qPrintable(message));
            // More values than columns is a fault of the caller, said as such.
            QVERIFY(test::errorOf([&] {
                        write.text("A");
                        write.text("2020-01-01 00:00:00");
                        write.null();
                        write.null();
                    }).contains(QStringLiteral("列の数")));
        }
        QCOMPARE(rides(), QString());
    }
};

QTEST_GUILESS_MAIN(TestBatchWriter)
#include "test_batchwriter.moc"
