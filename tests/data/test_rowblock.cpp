#include "data/rowblock.h"
#include "support/tempdatabases.h"

#include <QtTest>

using namespace tabi;

// Rows held as read keep every kind of value apart: no value, an empty text, a text and a number.
class TestRowBlock : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(); }
    void cleanup() { closeDatabases(); }

    void valuesAsRead() {
        Statement query(*m_ref, QStringLiteral("SELECT * FROM (VALUES (NULL, '', '東京～𠮷野', 1.25), "
                                               "('a', 'b', 'c', 7), (NULL, NULL, NULL, NULL))"));
        const RowBlock rows(query, 1); // fewer expected than there are
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.isNull(0, 0) && rows.text(0, 0).isNull());
        QVERIFY(!rows.isNull(0, 1) && !rows.text(0, 1).isNull() && rows.text(0, 1).isEmpty());
        QCOMPARE(QString::fromUtf8(rows.text(0, 2)), QStringLiteral("東京～𠮷野"));
        QCOMPARE(rows.real(0, 3), 1.25);
        QCOMPARE(rows.text(1, 0), QByteArrayView("a"));
        QCOMPARE(rows.real(1, 3), 7.0);
        QVERIFY(rows.isNull(2, 3) && rows.real(2, 3) == 0.0);
        QCOMPARE(RowBlock(query).size(), 3); // the query was reset, so it reads from the start again
    }
};

QTEST_GUILESS_MAIN(TestRowBlock)
#include "test_rowblock.moc"
