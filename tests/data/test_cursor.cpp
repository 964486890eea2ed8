#include "data/cursor.h"
#include "data/error.h"
#include "data/stepcursor.h"
#include "support/errorof.h"
#include "support/tempdatabases.h"

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>
#include <sqlite3.h>
#include <unistd.h>

using namespace tabi;
using tabi::test::errorOf;
using tabi::test::kindOf;

namespace {

// Observes a cursor and counts what it was told.
struct Recorder : CursorObserver {
    int data = 0, moved = 0, state = 0, field = 0;
    void cursorEvent(CursorEvent e, int) override {
        switch (e) {
        case CursorEvent::DataChanged: ++data; break;
        case CursorEvent::RecordChanged: ++moved; break;
        case CursorEvent::StateChanged: ++state; break;
        case CursorEvent::FieldChanged: ++field; break;
        }
    }
};

void addRoute(TableCursor& m, const QString& code, const QVariant& kbn, double kilo, const QString& haishi = {}) {
    m.append();
    m.setText(QStringLiteral("ROSEN_CD"), code);
    m.setValue(QStringLiteral("KBN_CD"), kbn);
    m.setFloat(QStringLiteral("KILO"), kilo);
    m.setText(QStringLiteral("HAISHI_DATE"), haishi);
    m.post();
}

QStringList walk(TableCursor& c, const QString& field) {
    QStringList out;
    c.first();
    while (!c.eof()) {
        out << c.asString(field);
        c.next();
    }
    return out;
}

} // namespace

class TestCursor : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases(/*withPersonal=*/true);
        m_ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI; DELETE FROM KUBUN"));
    }
    void cleanup() { closeDatabases(); }

    void createsSchemaOnceAndKeepsExistingFiles() {
        QCOMPARE(m_ref->scalar(QStringLiteral("PRAGMA user_version")).toInt(), kSchemaVersion);
        QCOMPARE(m_per->scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        m_per->exec(QStringLiteral("INSERT INTO TOSHI (NEN, BIKO) VALUES (2020, 'kept')"));
        auto again = Database::open(DbKind::Personal);
        QCOMPARE(again->scalar(QStringLiteral("SELECT BIKO FROM TOSHI WHERE NEN = 2020")).toString(), QStringLiteral("kept"));
        // Stored indexes asked for by name exist in the file.
        QVERIFY(m_ref->scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name IN "
                                             "('BUNRUI3_BUNRUI_CD', 'BUNRUI4_BUNRUI_CD')"))
                    .toInt() == 2);
    }

    // A reference file of the first layout version keeps its rows and gains the tables added since.
    void olderFileGainsNewTables() {
        m_ref->exec(QStringLiteral("INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI) VALUES ('101001', 'kept'); "
                                   "DROP TABLE EKI_ICHI; DROP TABLE ROSEN_SEN; PRAGMA user_version = 1"));
        auto again = Database::open(DbKind::Reference);
        QCOMPARE(again->scalar(QStringLiteral("PRAGMA user_version")).toInt(), kSchemaVersion);
        QCOMPARE(again->scalar(QStringLiteral("SELECT ROSEN_KANJI FROM MASTER WHERE ROSEN_CD = '101001'")).toString(),
                 QStringLiteral("kept"));
        again->exec(QStringLiteral("INSERT INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD) "
                                   "VALUES ('101001', 0.0, 35.68, 139.76, 13)"));
        QCOMPARE(again->scalar(QStringLiteral("SELECT count(*) FROM ROSEN_SEN")).toInt(), 0);
    }

    void foreignFileIsRefused() {
        QFile f(m_env->file(QStringLiteral("other.db")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a database at all, just some text that fills the first page........");
        f.close();
        const QString msg = errorOf([&] { Database::openFile(f.fileName(), DbKind::Personal); });
        QVERIFY2(msg.contains(QStringLiteral("other.db")), qPrintable(msg));
    }

    void refusedWritesNameTheField_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expect");
        QTest::addColumn<int>("kind");
        QTest::newRow("text one too long") << "JOSHA" << "JOSHA_KUKAN" << QVariant(QString(51, QChar(0x3042)))
                                           << "50 文字まで" << int(ErrorKind::TooLong);
        QTest::newRow("impossible date") << "JOSHA"
                                         << "JOSHA_DATE" << QVariant(QStringLiteral("2024-02-30"))
                                         << "乗車実績の「乗車年月日」" << int(ErrorKind::NotADate);
        QTest::newRow("not a number") << "JOSHA"
                                      << "JOSHA_KILO" << QVariant(QStringLiteral("12km")) << "乗車実績の「乗車キロ」"
                                      << int(ErrorKind::NotANumber);
        QTest::newRow("small integer range") << "MASTER" << "VOLT1" << QVariant(40000) << "-32768～32767"
                                             << int(ErrorKind::OutOfRange);
    }
    void refusedWritesNameTheField() {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, expect);
        QFETCH(int, kind);
        TableCursor c(table == QLatin1String("JOSHA") ? m_per : m_ref, table, QStringLiteral("ROSEN_CD"));
        c.open();
        c.append();
        c.setText(QStringLiteral("ROSEN_CD"), QStringLiteral("101001"));
        if (table == QLatin1String("JOSHA") && field != QLatin1String("JOSHA_DATE"))
            c.setText(QStringLiteral("JOSHA_DATE"), QStringLiteral("2024-01-01"));
        auto write = [&] {
            c.setValue(field, value);
            c.post();
        };
        const QString msg = errorOf(write);
        QVERIFY2(msg.contains(expect) && msg.contains(fieldCaption(table, field)) && !msg.contains(field),
                 qPrintable(msg));
        QCOMPARE(int(kindOf(write)), kind);
        // The record stays in insert state with what the user typed, and nothing was stored.
        QCOMPARE(c.state(), CursorState::Insert);
        QCOMPARE(c.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("101001"));
        QCOMPARE(c.database().scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt(), 0);
    }

    void duplicateKeyIsRefusedAndRowStaysInEdit() {
        TableCursor j(m_per, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        j.open();
        for (int i = 0; i < 2; ++i) {
            j.append();
            j.setText(QStringLiteral("ROSEN_CD"), QStringLiteral("101001"));
            j.setDate(QStringLiteral("JOSHA_DATE"), QDate(2024, 5, 1));
            j.setFloat(QStringLiteral("JOSHA_KILO"), 10.0 + i);
            if (i == 0)
                j.post();
        }
        const QString msg = errorOf([&] { j.post(); });
        QVERIFY2(msg.contains(QStringLiteral("キーの重複")) && msg.contains(QStringLiteral("「乗車年月日」")) &&
                     msg.contains(QStringLiteral("乗車実績")) && !msg.contains(QStringLiteral("JOSHA")),
                 qPrintable(msg));
        QCOMPARE(kindOf([&] { j.post(); }), ErrorKind::DuplicateKey);
        QCOMPARE(j.state(), CursorState::Insert);
        QCOMPARE(j.asFloat(QStringLiteral("JOSHA_KILO")), 11.0);
        // The engine also refuses a bad timestamp written around the cursor.
        const QString raw = errorOf([&] {
            m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE) VALUES ('1', '2024-02-30 00:00:00')"));
        });
        QVERIFY2(raw.contains(QStringLiteral("「乗車年月日」")), qPrintable(raw));
    }

    void emptyTextToDateStoresNull() {
        TableCursor m(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        m.open();
        addRoute(m, QStringLiteral("101001"), QStringLiteral("11"), 5.0, QStringLiteral("1987-03-31"));
        QCOMPARE(m.displayText(QStringLiteral("HAISHI_DATE")), QStringLiteral("1987-03-31"));
        m.edit();
        m.setText(QStringLiteral("HAISHI_DATE"), QString());
        m.post();
        QVERIFY(m_ref->scalar(QStringLiteral("SELECT HAISHI_DATE IS NULL FROM MASTER")).toBool());
        QCOMPARE(m.displayText(QStringLiteral("HAISHI_DATE")), QString());
        QVERIFY(m.asDate(QStringLiteral("HAISHI_DATE")).isNull());
    }

    void navigationFlagsAndKeyOrder() {
        TableCursor m(m_ref, QStringLiteral("MASTER"), QStringLiteral("KBN_CD;ROSEN_CD"));
        m.open();
        QVERIFY(m.eof() && m.bof() && m.isEmpty());
        m.next();
        QVERIFY(m.eof());
        // Equal categories come in route-code order; a route without a category sorts first.
        addRoute(m, QStringLiteral("103002"), QStringLiteral("12"), 1);
        addRoute(m, QStringLiteral("101001"), QStringLiteral("12"), 1);
        addRoute(m, QStringLiteral("102001"), QVariant(), 1);
        addRoute(m, QStringLiteral("101002"), QStringLiteral("11"), 1);
        QCOMPARE(walk(m, QStringLiteral("ROSEN_CD")),
                 QStringList({"102001", "101002", "101001", "103002"}));
        QVERIFY(m.eof());
        m.first();
        QVERIFY(m.bof() && !m.eof());
        m.prior();
        QVERIFY(m.bof());
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("102001"));
        // Moving past an end clears the flag of the other end, as on a one-record set.
        TableCursor one(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        one.open();
        one.findKey({QStringLiteral("103002")});
        one.next();
        QVERIFY(one.eof() && !one.bof());
        one.first();
        one.prior();
        QVERIFY(one.bof() && !one.eof());
        m.last();
        QVERIFY(m.eof());
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("103002"));
        QCOMPARE(m.moveBy(-2), -2);
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("101002"));
        // Changing the index order keeps the current record.
        m.setIndexFieldNames(QStringLiteral("ROSEN_CD"));
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("101002"));
        m.next();
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("102001"));
    }

    void findNearestWithShorterKey_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("lands");
        QTest::addColumn<bool>("found");
        QTest::newRow("classification with routes") << "102" << "102001" << true;
        QTest::newRow("classification without routes") << "103" << "105001" << true;
        QTest::newRow("exact key") << "101002" << "101002" << true;
        QTest::newRow("after every key") << "9" << "" << false;
    }
    void findNearestWithShorterKey() {
        QFETCH(QString, key);
        QFETCH(QString, lands);
        QFETCH(bool, found);
        TableCursor m(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        m.open();
        for (const char* c : {"101001", "101002", "102001", "102002", "105001"})
            addRoute(m, QString::fromLatin1(c), QStringLiteral("11"), 1);
        QCOMPARE(m.findNearest({key}), found);
        if (found)
            QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), lands);
        else
            QVERIFY(m.eof());
        QCOMPARE(m.findKey({QStringLiteral("102002")}), true);
        QCOMPARE(m.findKey({QStringLiteral("102003")}), false);
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("102002"));
    }

    void moveAwayPostsChangedAndDropsUnchanged() {
        TableCursor t(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        t.open();
        for (int y : {2001, 2002, 2003}) {
            t.append();
            t.setInteger(QStringLiteral("NEN"), y);
            t.post();
        }
        t.first();
        t.edit();
        t.setInteger(QStringLiteral("JOSHA_NO"), 7);
        t.next(); // posts
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT JOSHA_NO FROM TOSHI WHERE NEN = 2001")).toInt(), 7);
        QCOMPARE(t.asInteger(QStringLiteral("NEN")), 2002);
        t.insert();
        t.next(); // an untouched new record is dropped, then the move goes on from 2002
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toInt(), 3);
        QCOMPARE(t.state(), CursorState::Browse);
        QCOMPARE(t.asInteger(QStringLiteral("NEN")), 2003);
        t.edit();
        t.setText(QStringLiteral("BIKO"), QStringLiteral("x"));
        t.cancel();
        QCOMPARE(t.asString(QStringLiteral("BIKO")), QString());
        t.remove(); // the last record: its predecessor becomes current
        QCOMPARE(t.asInteger(QStringLiteral("NEN")), 2002);
        QCOMPARE(t.recordCount(), 2);
    }

    void detailFollowsMaster() {
        TableCursor m(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        TableCursor e(m_ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD"));
        e.setMasterSource(&m, QStringLiteral("ROSEN_CD"));
        m.open();
        e.open();
        addRoute(m, QStringLiteral("101001"), QStringLiteral("11"), 10);
        addRoute(m, QStringLiteral("101002"), QStringLiteral("11"), 10);
        m.first();
        // A master without details: the detail is empty at once, and an insert takes the master's value.
        QVERIFY(e.eof() && e.isEmpty());
        Recorder rec;
        e.addObserver(&rec);
        for (double k : {3.5, 0.0, 1.2}) { // entered out of order, read by kilometre
            e.append();
            e.setFloat(QStringLiteral("KILO"), k);
            e.setText(QStringLiteral("EKI_KANJI"), QString::number(k));
            e.post();
        }
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM EKI WHERE ROSEN_CD = '101001'")).toInt(), 3);
        QCOMPARE(walk(e, QStringLiteral("KILO")), QStringList({"0", "1.2", "3.5"}));
        m.next();
        QVERIFY(rec.data > 0);
        QVERIFY(e.eof());
        QCOMPARE(e.recordCount(), 0);
        m.prior();
        QCOMPARE(e.recordCount(), 3);
        QCOMPARE(e.asFloat(QStringLiteral("KILO")), 0.0);
        e.removeObserver(&rec);
    }

    void walksAcrossWindowsBothWays() {
        TableCursor t(m_ref, QStringLiteral("TMP_JOSHA_KUBUN"), QStringLiteral("KBN_CD"));
        t.open();
        {
            Transaction tx(*m_ref);
            for (int i = 0; i < 3000; ++i) {
                t.append();
                t.setText(0, QStringLiteral("%1").arg(i % 7, 2, 10, QLatin1Char('0')));
                t.setText(1, QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')));
                t.post();
            }
            tx.commit();
        }
        // Equal KBN_CD values come in insertion (rowid) order.
        QStringList forward;
        int n = 0;
        QString lastKey;
        t.first();
        while (!t.eof()) {
            const QString key = t.asString(0) + t.asString(1);
            QVERIFY2(key > lastKey, qPrintable(key));
            QCOMPARE(t.recNo(), n);
            lastKey = key;
            ++n;
            t.next();
        }
        QCOMPARE(n, 3000);
        QCOMPARE(t.recordCount(), 3000);
        int back = 0;
        t.last();
        while (!t.bof()) {
            ++back;
            t.prior();
        }
        QCOMPARE(back, 3000);
        t.moveToRow(2500);
        QCOMPARE(t.recNo(), 2500);
        const auto rows = t.fetchRows(2500, 1);
        QCOMPARE(rows.first().values[1].toString(), t.asString(1));
        // Deleting at the edges of a read window keeps the position right: the successor takes the index.
        t.first();
        for (int k : {31, 95, 96, 1500}) {
            while (t.recNo() < k)
                t.next();
            t.remove();
            QCOMPARE(t.recNo(), k);
            QCOMPARE(t.fetchRows(k, 1).first().rowid, t.fetchRows(t.recNo(), 1).first().rowid);
            QCOMPARE(t.asString(1), t.fetchRows(k, 1).first().values[1].toString());
        }
        t.last();
        t.remove();
        QCOMPARE(t.recNo(), t.recordCount() - 1);
    }

    void idleCursorNeverBlocksAnotherConnection() {
        TableCursor reader(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        reader.open();
        {
            Transaction tx(*m_per);
            for (int y = 1900; y < 2000; ++y)
                m_per->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (%1)").arg(y));
            tx.commit();
        }
        reader.reopen();
        reader.next();
        auto other = Database::open(DbKind::Personal);
        TableCursor writer(other, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        writer.open();
        writer.append();
        writer.setInteger(QStringLiteral("NEN"), 2050);
        writer.post(); // would fail with "database is locked" if the reader held its statement open
        reader.refresh();
        reader.last();
        QCOMPARE(reader.asInteger(QStringLiteral("NEN")), 2050);
    }

    void twoCursorsEmptyOneWorkTable() {
        auto second = Database::open(DbKind::Reference);
        TableCursor a(m_ref, QStringLiteral("TMP_JOSHA_KUBUN"), QStringLiteral("KBN_CD"));
        a.open();
        a.append();
        a.setText(QStringLiteral("KBN_CD"), QStringLiteral("11"));
        a.post();
        second->exec(QStringLiteral("DELETE FROM \"TMP_JOSHA_KUBUN\""));
        a.reopen();
        QVERIFY(a.isEmpty());
    }

    void transactionIsAllOrNothing() {
        TableCursor t(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        t.open();
        try {
            Transaction tx(*m_per);
            t.append();
            t.setInteger(QStringLiteral("NEN"), 1999);
            t.post();
            t.append();
            t.setInteger(QStringLiteral("NEN"), 1999);
            t.post(); // duplicate: throws
            tx.commit();
        } catch (const Error&) {
        }
        t.cancel();
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toInt(), 0);
    }

    void lockedDatabaseIsReportedAndNothingLost() {
        auto other = Database::open(DbKind::Personal);
        other->exec(QStringLiteral("BEGIN IMMEDIATE"));
        m_per->setBusyTimeout(50);
        TableCursor t(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        t.open();
        t.append();
        t.setInteger(QStringLiteral("NEN"), 2024);
        const QString msg = errorOf([&] { t.post(); });
        QVERIFY2(msg.contains(QStringLiteral("ロック")), qPrintable(msg));
        QCOMPARE(t.state(), CursorState::Insert);
        other->exec(QStringLiteral("ROLLBACK"));
        t.post();
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toInt(), 1);
    }

    void switchTableAndStoredIndex() {
        // One cursor serves the classification table and its group tables in turn.
        TableCursor b(m_ref, QStringLiteral("BUNRUI"), QStringLiteral("BUNRUI_CD"));
        b.open();
        const int rows = b.recordCount();
        b.close();
        b.setTableName(QStringLiteral("BUNRUI2"));
        b.open();
        QCOMPARE(b.recordCount(), m_ref->scalar(QStringLiteral("SELECT count(*) FROM BUNRUI2")).toInt());
        QVERIFY(rows > 0);
        QVERIFY(!errorOf([&] { b.setTableName(QStringLiteral("BUNRUI3")); }).isEmpty());
        // A stored index asked for by name; an unknown name is refused with the table named.
        TableCursor total(m_ref, QStringLiteral("BUNRUI3"));
        total.setIndexName(QStringLiteral("BUNRUI_CD"));
        total.open();
        QCOMPARE(total.recordCount(), 1);
        TableCursor bad(m_ref, QStringLiteral("BUNRUI3"));
        bad.setIndexName(QStringLiteral("NO_SUCH"));
        QVERIFY(errorOf([&] { bad.open(); }).contains(QStringLiteral("BUNRUI3")));
    }

    void fieldMetadataBeforeOpen() {
        TableCursor j(m_per, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD"));
        j.fieldDef(j.fieldIndex(QStringLiteral("BIKO"))).label = QStringLiteral("メモ");
        j.open();
        QCOMPARE(j.fieldDef(j.fieldIndex(QStringLiteral("BIKO"))).label, QStringLiteral("メモ"));
        QVERIFY(!errorOf([&] { j.fieldDef(99); }).isEmpty());
    }

    void declaredFieldsOnly() {
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO, BIKO) VALUES "
                                   "('101001', '2020-01-02 00:00:00', 3.5, 'x'), ('101001', '2020-01-01 00:00:00', 1.5, 'y')"));
        TableCursor j(m_per, QStringLiteral("JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"));
        j.setFieldNames({QStringLiteral("JOSHA_KILO")});
        j.open();
        // The order and key fields come along, hidden, so positioning still works.
        QCOMPARE(j.fieldCount(), 3);
        QCOMPARE(j.findField(QStringLiteral("BIKO")), -1);
        QVERIFY(j.fieldDef(j.fieldIndex(QStringLiteral("ROSEN_CD"))).hidden);
        QCOMPARE(j.asFloat(QStringLiteral("JOSHA_KILO")), 1.5);
        j.edit();
        j.setFloat(QStringLiteral("JOSHA_KILO"), 2.5);
        j.next();
        QCOMPARE(j.asFloat(QStringLiteral("JOSHA_KILO")), 3.5);
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT BIKO || JOSHA_KILO FROM JOSHA WHERE JOSHA_DATE LIKE '2020-01-01%'")).toString(),
                 QStringLiteral("y2.5"));
    }

    // A loop editing every record of a table larger than several windows visits each record once and writes
    // each; texts repeated from row to row, or differing only in a last character, read back as stored.
    void editLoopOverManyWindows() {
        Transaction tx(*m_per);
        Statement ins(*m_per, QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                                             "VALUES (?, ?, ?, ?)"));
        const QStringList sections{QStringLiteral("駅"), QStringLiteral("駅"), QStringLiteral("駅前"),
                                   QStringLiteral("駅"), QStringLiteral("駅後")};
        const int n = 3000;
        for (int i = 0; i < n; ++i) {
            StatementScope scope(ins);
            ins.bindText(1, QStringLiteral("1%1").arg(i / 100, 5, 10, QLatin1Char('0')));
            ins.bindText(2, QDate(2000, 1, 1).addDays(i % 100).toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
            ins.bindText(3, sections[i % sections.size()]);
            ins.bindDouble(4, i);
            ins.step();
        }
        tx.commit();
        TableCursor j(m_per, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        j.open();
        const int section = j.fieldIndex(QStringLiteral("JOSHA_KUKAN"));
        const int kilo = j.fieldIndex(QStringLiteral("JOSHA_KILO"));
        const int remark = j.fieldIndex(QStringLiteral("BIKO"));
        int visited = 0;
        bool asStored = true;
        forEachRecord(j, [&] {
            const int i = int(j.asFloat(kilo));
            asStored = asStored && i == visited && j.asString(section) == sections[i % sections.size()];
            j.edit();
            j.setText(remark, j.asString(section) + QString::number(i));
            ++visited;
        });
        QVERIFY(asStored);
        QCOMPARE(visited, n);
        QCOMPARE(m_per
                     ->scalar(QStringLiteral("SELECT count(*) FROM JOSHA WHERE BIKO = JOSHA_KUKAN || "
                                             "CAST(CAST(JOSHA_KILO AS INTEGER) AS TEXT)"))
                     .toInt(),
                 n);
    }

    void observersSuspended() {
        TableCursor t(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        Recorder rec;
        t.addObserver(&rec);
        t.open();
        const int before = rec.data;
        t.disableControls();
        for (int y : {1, 2, 3}) {
            t.append();
            t.setInteger(0, y);
            t.post();
        }
        t.first();
        t.next();
        QCOMPARE(rec.data, before);
        QCOMPARE(rec.moved, 0);
        t.enableControls();
        QCOMPARE(rec.data, before + 1);
    }

    // Another connection deletes the newest ride and records a new one, which takes the same rowid. A cursor
    // still standing on the deleted ride must not edit, delete or show the new one in its place.
    void staleCursorNeverTouchesAnotherRecord() {
        auto addRide = [&](Database& db, const QString& code, const QString& day, double kilo) {
            db.exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES ('%1', '%2 00:00:00', %3)")
                        .arg(code, day)
                        .arg(kilo));
        };
        addRide(*m_per, QStringLiteral("101001"), QStringLiteral("2024-01-01"), 1);
        addRide(*m_per, QStringLiteral("101001"), QStringLiteral("2024-01-03"), 3);
        addRide(*m_per, QStringLiteral("101001"), QStringLiteral("2024-01-02"), 2); // newest rowid
        TableCursor j(m_per, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        j.open();
        j.next();
        QCOMPARE(j.displayText(QStringLiteral("JOSHA_DATE")), QStringLiteral("2024-01-02"));
        const qint64 staleRowid = m_per->scalar(QStringLiteral("SELECT max(rowid) FROM JOSHA")).toLongLong();

        auto other = Database::open(DbKind::Personal);
        other->exec(QStringLiteral("DELETE FROM JOSHA WHERE JOSHA_DATE LIKE '2024-01-02%'"));
        addRide(*other, QStringLiteral("999999"), QStringLiteral("2030-05-05"), 9);
        QCOMPARE(other->scalar(QStringLiteral("SELECT rowid FROM JOSHA WHERE ROSEN_CD = '999999'")).toLongLong(), staleRowid);
        const QString newRide = QStringLiteral("SELECT BIKO, JOSHA_KILO FROM JOSHA WHERE ROSEN_CD = '999999'");
        const QString before = other->dump(newRide);

        j.edit();
        j.setText(QStringLiteral("BIKO"), QStringLiteral("stale"));
        Error refused(QString{});
        try {
            j.post();
        } catch (const Error& e) {
            refused = e;
        }
        QCOMPARE(refused.kind(), ErrorKind::ChangedByOther);
        QVERIFY2(refused.message().contains(QStringLiteral("ほかの画面")), qPrintable(refused.message()));
        QCOMPARE(j.state(), CursorState::Edit);
        QCOMPARE(j.asString(QStringLiteral("BIKO")), QStringLiteral("stale"));
        QCOMPARE(kindOf([&] { j.remove(); }), ErrorKind::ChangedByOther);
        QCOMPARE(j.state(), CursorState::Edit);
        QCOMPARE(other->dump(newRide), before);
        QCOMPARE(other->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(), 3);

        // A refresh shows what is stored now: the successor of the vanished ride, not the stranger with its rowid.
        j.cancel();
        j.refresh();
        QCOMPARE(j.displayText(QStringLiteral("JOSHA_DATE")), QStringLiteral("2024-01-03"));
        QCOMPARE(j.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("101001"));
    }

    void masterInInsertHasNoDetails() {
        m_per->exec(QStringLiteral("INSERT INTO RYOTEIM (RYOTEI_CD) VALUES ('A0000001');"
                                   "INSERT INTO RYOTEID (RYOTEI_CD, HATSU_EKI) VALUES ('A0000001', 'x'), ('A0000001', 'y')"));
        TableCursor m(m_per, QStringLiteral("RYOTEIM"), QStringLiteral("RYOTEI_CD"));
        TableCursor d(m_per, QStringLiteral("RYOTEID"), QStringLiteral("RYOTEI_CD"));
        d.setMasterSource(&m, QStringLiteral("RYOTEI_CD"));
        m.open();
        d.open();
        QCOMPARE(d.recordCount(), 2);
        m.insert();
        QVERIFY(d.isEmpty() && d.eof());
        QCOMPARE(d.recordCount(), 0);
        m.cancel();
        QCOMPARE(d.recordCount(), 2);
        m.append();
        QCOMPARE(d.recordCount(), 0);
        m.first(); // an unchanged new record is dropped by the move
        QCOMPARE(d.recordCount(), 2);
    }

    // A detail of a table without a key, led by its link, pages by rowid across several windows.
    void keylessDetailPagesThroughEveryRow() {
        m_per->exec(QStringLiteral("INSERT INTO RYOTEIM (RYOTEI_CD) VALUES ('A'), ('B');"
                                   "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 79) "
                                   "INSERT INTO RYOTEID (RYOTEI_CD, HATSU_EKI) SELECT 'A', printf('%02d', i) FROM n"));
        TableCursor m(m_per, QStringLiteral("RYOTEIM"), QStringLiteral("RYOTEI_CD"));
        TableCursor d(m_per, QStringLiteral("RYOTEID"), QStringLiteral("RYOTEI_CD"));
        d.setMasterSource(&m, QStringLiteral("RYOTEI_CD"));
        m.open();
        d.open();
        const QStringList rows = walk(d, QStringLiteral("HATSU_EKI"));
        QCOMPARE(rows.size(), 80);
        QCOMPARE(rows.last(), QStringLiteral("79"));
        QVERIFY(d.findKey({QStringLiteral("A")}));
    }

    void failedDeleteKeepsTheEdit() {
        TableCursor t(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        t.open();
        t.append();
        t.setInteger(QStringLiteral("NEN"), 2024);
        t.post();
        t.edit();
        t.setText(QStringLiteral("BIKO"), QStringLiteral("pending"));
        auto other = Database::open(DbKind::Personal);
        other->exec(QStringLiteral("BEGIN IMMEDIATE"));
        m_per->setBusyTimeout(20);
        QCOMPARE(kindOf([&] { t.remove(); }), ErrorKind::Locked);
        other->exec(QStringLiteral("ROLLBACK"));
        QCOMPARE(t.state(), CursorState::Edit);
        QCOMPARE(t.asString(QStringLiteral("BIKO")), QStringLiteral("pending"));
        t.post();
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT BIKO FROM TOSHI")).toString(), QStringLiteral("pending"));
    }

    void numberInput_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("stored"); // null: refused
        const QVariant refused;
        QTest::newRow("plain") << "JOSHA_KILO" << "12.5" << QVariant(12.5);
        QTest::newRow("thousands") << "JOSHA_KILO" << "1,234.5" << QVariant(1234.5);
        QTest::newRow("millions") << "JOSHA_KILO" << "-12,345,678" << QVariant(-12345678.0);
        QTest::newRow("full-width digits") << "JOSHA_KILO" << "１，２３４．５" << QVariant(1234.5);
        QTest::newRow("nan") << "JOSHA_KILO" << "nan" << refused;
        QTest::newRow("NaN") << "JOSHA_KILO" << "NaN" << refused;
        QTest::newRow("inf") << "JOSHA_KILO" << "inf" << refused;
        QTest::newRow("-inf") << "JOSHA_KILO" << "-inf" << refused;
        QTest::newRow("infinity") << "JOSHA_KILO" << "Infinity" << refused;
        QTest::newRow("overflow") << "JOSHA_KILO" << "1e999" << refused;
        QTest::newRow("commas anywhere") << "JOSHA_KILO" << "1,2,3" << refused;
        QTest::newRow("comma as decimal") << "JOSHA_KILO" << "1234,5" << refused;
        QTest::newRow("leading comma") << "JOSHA_KILO" << ",123" << refused;
        QTest::newRow("comma in decimals") << "JOSHA_KILO" << "1.234,5" << refused;
        QTest::newRow("integer thousands") << "JOSHA_NO" << "1,234" << QVariant(qint64(1234));
        QTest::newRow("integer commas anywhere") << "JOSHA_NO" << "1,2,3" << refused;
        QTest::newRow("integer inf") << "JOSHA_NO" << "inf" << refused;
    }
    void numberInput() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QVariant, stored);
        const bool ride = field == QLatin1String("JOSHA_KILO");
        TableCursor c(m_per, ride ? QStringLiteral("JOSHA") : QStringLiteral("TOSHI"));
        c.open();
        c.append();
        Error error(QString{});
        try {
            c.setText(field, text);
        } catch (const Error& e) {
            error = e;
        }
        if (stored.isNull()) {
            QCOMPARE(error.kind(), ErrorKind::NotANumber);
            QVERIFY2(error.message().contains(
                         fieldCaption(ride ? QStringLiteral("JOSHA") : QStringLiteral("TOSHI"), field)) &&
                         error.message().contains(text),
                     qPrintable(error.message()));
            QVERIFY(c.isNull(field));
        } else {
            QVERIFY2(error.message().isEmpty(), qPrintable(error.message()));
            QCOMPARE(c.value(field), stored);
        }
    }

    // A real field without a display format shows plain digits, never an exponent.
    void plainDigitsWithoutFormat() {
        TableCursor o(m_ref, QStringLiteral("OTHERS"), QStringLiteral("OTHERS_CD"));
        o.open();
        QVERIFY(o.fieldDef(o.fieldIndex(QStringLiteral("HEIGHT"))).format.isEmpty());
        o.append();
        for (const auto& [value, text] : {std::pair{100000.0, "100000"}, std::pair{0.0001, "0.0001"},
                                          std::pair{-2.5e-7, "-0.00000025"}, std::pair{1e22, "10000000000000000000000"}}) {
            o.setFloat(QStringLiteral("HEIGHT"), value);
            QCOMPARE(o.displayText(QStringLiteral("HEIGHT")), QString::fromLatin1(text));
            QCOMPARE(o.asString(QStringLiteral("HEIGHT")), QString::fromLatin1(text));
        }
    }

    // Orders on fields that may be empty page through every row, empty ones first, numbers by value.
    void orderOnNullableField() {
        TableCursor m(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        m.open();
        const int n = 90; // several read windows
        for (int i = 0; i < n; ++i) {
            m.append();
            m.setText(QStringLiteral("ROSEN_CD"), QStringLiteral("1%1").arg(i, 5, 10, QLatin1Char('0')));
            if (i % 3) {
                m.setFloat(QStringLiteral("KILO"), (i * 7) % 100);
                m.setText(QStringLiteral("SHOZOKU"), QStringLiteral("S%1").arg((i * 7) % 100, 2, 10, QLatin1Char('0')));
            }
            m.post();
        }
        for (const QString& field : {QStringLiteral("KILO"), QStringLiteral("SHOZOKU")}) {
            m.setIndexFieldNames(field);
            QStringList forward = walk(m, field);
            QCOMPARE(forward.size(), n);
            QStringList backward;
            m.last();
            while (!m.bof()) {
                backward.prepend(m.asString(field));
                m.prior();
            }
            QCOMPARE(backward, forward);
            QCOMPARE(forward.mid(0, n / 3), QStringList(n / 3, QString()));
            QCOMPARE(forward.at(n / 3), field == QLatin1String("KILO") ? QStringLiteral("1") : QStringLiteral("S01"));
            QCOMPARE(forward.at(n / 3 + 1), field == QLatin1String("KILO") ? QStringLiteral("2") : QStringLiteral("S02"));
            QVERIFY(m.findNearest({QVariant()}));
            QVERIFY(m.isNull(field));
            QVERIFY(m.findKey({QStringLiteral("50")}) || field == QLatin1String("SHOZOKU"));
        }

        // A refused order leaves the previous one in force; a link cannot change under an open cursor.
        m.setIndexFieldNames(QStringLiteral("ROSEN_CD"));
        m.next();
        QCOMPARE(kindOf([&] { m.setIndexFieldNames(QStringLiteral("NO_SUCH_FIELD")); }), ErrorKind::Other);
        QVERIFY(!errorOf([&] { m.setIndexFieldNames(QStringLiteral("NO_SUCH_FIELD")); }).isEmpty());
        QCOMPARE(m.indexFieldNames(), QStringLiteral("ROSEN_CD"));
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("100001"));
        m.next();
        QCOMPARE(m.asString(QStringLiteral("ROSEN_CD")), QStringLiteral("100002"));
        TableCursor e(m_ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD"));
        e.open();
        QVERIFY(!errorOf([&] { e.setMasterSource(&m, QStringLiteral("ROSEN_CD")); }).isEmpty());
        QCOMPARE(e.masterSource(), nullptr);
        e.next();
    }

    void nestedTransactionFailureRollsBackTheOuter() {
        Transaction outer(*m_per);
        m_per->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (1990)"));
        try {
            Transaction inner(*m_per);
            m_per->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (1991)"));
            throw Error(QStringLiteral("inner step failed"));
        } catch (const Error&) {
        }
        QVERIFY(!errorOf([&] { outer.commit(); }).isEmpty());
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toInt(), 0);
    }

    // A file the program refuses is left exactly as it was, without files beside it.
    void refusedFileStaysAsItWas_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("foreign database") << "CREATE TABLE notes (t TEXT); INSERT INTO notes VALUES ('mine')";
        QTest::newRow("newer version") << "CREATE TABLE TOSHI (NEN INTEGER); PRAGMA user_version = 99";
        QTest::newRow("not a database") << "";
    }
    void refusedFileStaysAsItWas() {
        QFETCH(QString, setup);
        const QString dir = m_env->file(QStringLiteral("refused"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/JJ.db");
        if (setup.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
        } else {
            sqlite3* raw = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
            QCOMPARE(sqlite3_exec(raw, setup.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(raw);
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        Error error(QString{});
        try {
            Database::openFile(path, DbKind::Personal);
        } catch (const Error& e) {
            error = e;
        }
        QCOMPARE(error.kind(), ErrorKind::NotADatabase);
        QVERIFY2(error.message().contains(path), qPrintable(error.message()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("JJ.db")});
    }

    // A disk without room: opening a database says so and leaves no stray files. Needs a small filesystem,
    // which only root can mount.
    void fullDiskIsNamedAndLeavesNothing() {
        const QString mount = m_env->file(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mount));
        if (::geteuid() != 0 || QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                                           QStringLiteral("-o"), QStringLiteral("size=256k"),
                                                                           QStringLiteral("tmpfs"), mount}) != 0)
            QSKIP("a small filesystem needs root");
        auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mount}); });
        // An existing record made while there was room, then the disk fills up.
        QFile::copy(m_per->path(), mount + QStringLiteral("/JJ.db"));
        {
            QFile fill(mount + QStringLiteral("/fill"));
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
        }
        const QStringList before = QDir(mount).entryList(QDir::Files);
        for (const QString& name : {QStringLiteral("JJ.db"), QStringLiteral("new.db")}) {
            Error error(QString{});
            try {
                Database::openFile(mount + QLatin1Char('/') + name, DbKind::Personal);
            } catch (const Error& e) {
                error = e;
            }
            QCOMPARE(error.kind(), ErrorKind::DiskFull);
            QVERIFY2(error.message().contains(QStringLiteral("ディスクがいっぱい")), qPrintable(error.message()));
            QCOMPARE(QDir(mount).entryList(QDir::Files), before);
        }
    }

    // A text cut to a field's width counts characters, whether it is cut as text or in the engine's bytes, and
    // never splits a character (U+20BB7 is two UTF-16 units and four UTF-8 bytes).
    void cutToWidth_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        const QString wide = QString::fromUcs4(U"\U00020BB7");
        QTest::newRow("shorter") << "abc" << 5 << "abc";
        QTest::newRow("exactly") << "abc" << 3 << "abc";
        QTest::newRow("longer") << "abcdef" << 3 << "abc";
        QTest::newRow("kana") << "あいう" << 2 << "あい";
        QTest::newRow("bytes fit, characters do not") << "あい" << 1 << "あ";
        QTest::newRow("wide character kept whole") << wide + wide + u'a' << 1 << wide;
        QTest::newRow("wide character after the cut") << u'a' + wide << 1 << "a";
        QTest::newRow("wide characters fit") << wide + wide << 2 << wide + wide;
        QTest::newRow("width 0") << "abc" << 0 << "";
        QTest::newRow("empty") << "" << 3 << "";
    }
    void cutToWidth() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QCOMPARE(firstCharacters(text, width), expected);
        const QByteArray utf8 = text.toUtf8();
        QCOMPARE(QString::fromUtf8(firstCharactersUtf8(utf8, width)), expected);
    }

    // Texts handed between statements as stored keep null apart from empty, and their bytes.
    void textsAsStored() {
        m_per->exec(QStringLiteral("DELETE FROM JOSHA"));
        Statement write(*m_per, QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, BIKO) "
                                               "VALUES (?1, '2020-01-01 00:00:00', ?2, ?3)"));
        const QByteArray section = QStringLiteral("東京～𠮷野").toUtf8();
        write.bindUtf8(1, QByteArrayView("A1"), Statement::Bytes::Kept);
        write.bindUtf8(2, section);
        write.bindUtf8(3, QByteArrayView());
        write.step();
        write.reset();
        Statement read(*m_per, QStringLiteral("SELECT ROSEN_CD, JOSHA_KUKAN, BIKO, '' FROM JOSHA"));
        QVERIFY(read.step());
        QCOMPARE(read.columnUtf8(0), QByteArrayView("A1"));
        QCOMPARE(read.columnUtf8(1), QByteArrayView(section));
        QVERIFY(read.columnUtf8(2).isNull());
        QVERIFY(!read.columnUtf8(3).isNull() && read.columnUtf8(3).isEmpty());
        read.reset();
    }
};

QTEST_GUILESS_MAIN(TestCursor)
#include "test_cursor.moc"
