#include "data/cursor.h"
#include "data/database.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "ui/command.h"
#include "ui/dbcontrols.h"
#include "ui/dbgrid.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QScopeGuard>
#include <QStatusBar>
#include <QThread>
#include <QtTest>
#include <sqlite3.h>

using namespace tabi;
using namespace tabi::ui;

namespace {

const QString kPair = QStringLiteral("𠮷"); // one character, two UTF-16 units

QString firstMessage(const test::DialogAnswerer& answers) {
    const auto boxes = answers.requests(DialogKind::Critical);
    return boxes.isEmpty() ? QString() : boxes.first().text;
}

// The stored value of one field of the one record the test made.
QString stored(Database& db, const QString& table, const QString& field) {
    return db.scalar(QStringLiteral("SELECT %1 FROM %2").arg(field, table)).toString();
}

} // namespace

// What the user pastes or types into bound fields and grid cells: characters a single-line field refuses, widths
// counted in characters, and the word in the status bar when a text is cut.
class TestFieldInput : public QObject, test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(true); }
    void cleanup() { closeDatabases(); }

    void pasteIntoAField_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("before"); // stored before; the paste goes in at position
        QTest::addColumn<int>("position");   // -1: the pasted text replaces everything
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected"); // stored afterwards
        QTest::addColumn<QString>("status");   // the status bar's word; empty when none
        QTest::addColumn<QString>("refusal");  // part of the error message; empty when none

        const auto row = [](const char* name, const char* table, const char* field, const QString& before, int position,
                            const QString& pasted, const QString& expected, const QString& status,
                            const QString& refusal) {
            QTest::newRow(name) << QString::fromLatin1(table) << QString::fromLatin1(field) << before << position
                                << pasted << expected << status << refusal;
        };
        const QString none;
        // Characters a single-line field refuses: nothing of the paste is stored, the message names the field.
        row("control characters in 路線番号", "SAKUDO", "ROSEN_CD", "900001", -1, QStringLiteral("a\x01\x07\x1b\tb"),
            "900001", none,
            QStringLiteral(
                "普通索道の「路線番号」には、改行・タブなどの制御文字は入りません（2 文字目が制御文字 (U+0001)"));
        row("CR LF in 事業者名", "SAKUDO", "JIGYOSHA", "元の名", -1, QStringLiteral("索道\r\n会社"), "元の名", none,
            QStringLiteral("普通索道の「事業者名」"));
        row("CR LF in 郵便番号", "OTHERS", "YUBIN", "100-0001", -1, QStringLiteral("100-\r\n0001"), "100-0001", none,
            QStringLiteral("5 文字目が改行 (U+000D)"));
        row("CR LF in 旅程コード", "RYOTEIM", "RYOTEI_CD", "R0000001", -1, QStringLiteral("R01\r\n"), "R0000001", none,
            QStringLiteral("旅程の「旅程コード」"));
        row("tab pasted in the middle", "SAKUDO", "KUKAN", "起点～終点", 2, QStringLiteral("\t"), "起点～終点", none,
            QStringLiteral("3 文字目がタブ (U+0009)"));
        row("DEL", "OTHERS", "TEL", "", -1, QStringLiteral("03\x7f"), "", none, QStringLiteral("U+007F"));

        // Widths count characters as the engine does, and a cut never splits a surrogate pair.
        const QString doryoku =
            QStringLiteral("「動力」 には 4 文字までしか入りません。入力を 4 文字に切り詰めました。");
        row("pairs within 動力", "SAKUDO", "DORYOKU", "", -1, "a" + kPair + kPair, "a" + kPair + kPair, none, none);
        row("four pairs fill 動力", "SAKUDO", "DORYOKU", "", -1, kPair.repeated(4), kPair.repeated(4), none, none);
        row("a fifth pair is cut whole", "SAKUDO", "DORYOKU", "", -1, kPair.repeated(5), kPair.repeated(4), doryoku,
            none);
        row("cut before a pair at the boundary", "SAKUDO", "DORYOKU", "", -1, "abc" + kPair + kPair, "abc" + kPair,
            doryoku, none);
        // As before, what is cut is the end of the inserted text; the text after the insertion point stays.
        row("a paste in the middle is cut", "SAKUDO", "DORYOKU", "ab", 1, "XYZ", "aXYb", doryoku, none);
        row("a paste between pairs", "SAKUDO", "DORYOKU", kPair + kPair, 2, "a" + kPair + "b",
            kPair + "a" + kPair + kPair, doryoku, none);

        // Over-long pastes are cut to the field's width with a word in the status bar.
        row("KEN 8", "SAKUDO", "KEN", "", -1, QStringLiteral("北海道上川郡東川町"), QStringLiteral("北海道上川郡東川"),
            QStringLiteral("「都道府県」 には 8 文字までしか入りません。入力を 8 文字に切り詰めました。"), none);
        row("BIKO 80", "OTHERS", "BIKO1", "", -1, QString(100, u'備'), QString(80, u'備'),
            QStringLiteral("「備考１」 には 80 文字まで"), none);
        row("発駅 30", "RYOTEID", "HATSU_EKI", "", -1, QString(31, u'駅'), QString(30, u'駅'),
            QStringLiteral("「発」 には 30 文字まで"), none);
        row("TEL 13", "OTHERS", "TEL", "", -1, "03-1234-5678-9999", "03-1234-5678-",
            QStringLiteral("「電話番号」 には 13 文字までしか入りません。入力を 13 文字に切り詰めました。"), none);
    }

    void pasteIntoAField() {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(int, position);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        QFETCH(QString, status);
        QFETCH(QString, refusal);

        const TableDef* def = findTable(table);
        QVERIFY(def);
        std::shared_ptr<Database> db = def->db == DbKind::Reference ? m_ref : m_per;
        db->exec(QStringLiteral("DELETE FROM %1").arg(table));
        TableCursor cursor(db, table, def->key.isEmpty() ? def->indexes.first().fields.first() : def->key.first());
        cursor.open();
        cursor.append();
        for (const QString& key : def->key.isEmpty() ? def->indexes.first().fields : def->key)
            if (key != field)
                cursor.setText(key, QStringLiteral("K1"));
        cursor.setText(field, before);
        cursor.post();

        test::DialogAnswerer answers;
        QMainWindow window;
        window.setStatusBar(new QStatusBar(&window));
        auto* edit = new DBEdit(&cursor, field);
        window.setCentralWidget(edit);
        window.show();
        edit->setFocus();
        if (position < 0)
            edit->selectAll();
        else
            edit->setCursorPosition(position);
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);

        const QString shown = window.statusBar()->currentMessage();
        QVERIFY2(status.isEmpty() ? shown.isEmpty() : shown.startsWith(status), qPrintable(shown));
        if (refusal.isEmpty()) {
            QCOMPARE(answers.count(DialogKind::Critical), 0);
            QCOMPARE(edit->text(), expected);
            cursor.post();
        } else {
            QVERIFY2(firstMessage(answers).contains(refusal), qPrintable(firstMessage(answers)));
            QVERIFY(!cursor.isModified());
            QCOMPARE(edit->text(), before); // the field shows what is stored again
            cursor.cancel();
        }
        QCOMPARE(stored(*db, table, field), expected);
        detachControls(cursor);
    }

    // A value stored before these rules (or by an import) keeps its tab: the record stays editable in its other
    // fields, and only what the user types is checked.
    void storedControlCharactersDoNotBlockOtherFields() {
        m_ref->exec(QStringLiteral(
            "DELETE FROM SAKUDO; INSERT INTO SAKUDO (ROSEN_CD, KUKAN) VALUES ('900001', 'a' || char(9) || 'b')"));
        TableCursor cursor(m_ref, QStringLiteral("SAKUDO"), QStringLiteral("ROSEN_CD"));
        cursor.open();
        test::DialogAnswerer answers;
        DBEdit kukan(&cursor, QStringLiteral("KUKAN"));
        DBEdit doryoku(&cursor, QStringLiteral("DORYOKU"));
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("電気"));
        QCoreApplication::sendEvent(&doryoku, &typed);
        cursor.post();
        QCOMPARE(answers.count(DialogKind::Critical), 0);
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT KUKAN, DORYOKU FROM SAKUDO")), QStringLiteral("a\tb|電気|\n"));
        detachControls(cursor);
    }

    void typingPastTheWidthSaysSoAndKeepsPairsWhole() {
        TableCursor cursor(m_ref, QStringLiteral("SAKUDO"), QStringLiteral("ROSEN_CD"));
        cursor.open();
        cursor.append();
        QMainWindow window;
        window.setStatusBar(new QStatusBar(&window));
        auto* edit = new DBEdit(&cursor, QStringLiteral("DORYOKU"));
        window.setCentralWidget(edit);
        window.show();
        QTest::keyClicks(edit, QStringLiteral("abc"));
        QVERIFY(window.statusBar()->currentMessage().isEmpty());
        // A character typed through an input method arrives as one text of two units.
        QKeyEvent pair(QEvent::KeyPress, 0, Qt::NoModifier, kPair);
        QCoreApplication::sendEvent(edit, &pair);
        QCOMPARE(edit->text(), "abc" + kPair);
        QKeyEvent more(QEvent::KeyPress, 0, Qt::NoModifier, kPair);
        QCoreApplication::sendEvent(edit, &more);
        QCOMPARE(edit->text(), "abc" + kPair);
        QCOMPARE(cursor.asString(QStringLiteral("DORYOKU")), "abc" + kPair);
        QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("4 文字に切り詰めました")));
        cursor.cancel();
        detachControls(cursor);
    }

    void comboBoxTextFollowsTheSameRules() {
        TableCursor cursor(m_ref, QStringLiteral("SAKUDO"), QStringLiteral("ROSEN_CD"));
        cursor.open();
        cursor.append();
        test::DialogAnswerer answers;
        QMainWindow window;
        window.setStatusBar(new QStatusBar(&window));
        auto* box = new DBComboBox;
        box->bind(&cursor, QStringLiteral("KEN"));
        window.setCentralWidget(box);
        window.show();
        QGuiApplication::clipboard()->setText(QStringLiteral("北海道上川郡東川町"));
        QTest::keyClick(box->lineEdit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(cursor.asString(QStringLiteral("KEN")), QStringLiteral("北海道上川郡東川"));
        QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("8 文字に切り詰めました")));
        box->lineEdit()->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("東京都\n"));
        QTest::keyClick(box->lineEdit(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(firstMessage(answers).contains(QStringLiteral("「都道府県」")));
        QCOMPARE(cursor.asString(QStringLiteral("KEN")), QStringLiteral("北海道上川郡東川"));
        cursor.cancel();
        detachControls(cursor);
    }

    void gridCellsCutAndRefuseLikeFields() {
        TableCursor cursor(m_ref, QStringLiteral("SAKUDO"), QStringLiteral("ROSEN_CD"));
        cursor.setFieldNames({QStringLiteral("ROSEN_CD"), QStringLiteral("DORYOKU")});
        cursor.open();
        cursor.append();
        cursor.setText(QStringLiteral("ROSEN_CD"), QStringLiteral("900001"));
        cursor.post();
        const int row = cursor.recNo();
        test::DialogAnswerer answers;
        QMainWindow window;
        window.setStatusBar(new QStatusBar(&window));
        auto* grid = new DBGrid;
        grid->setTableCursor(&cursor);
        window.setCentralWidget(grid);
        window.show();
        const QModelIndex cell = grid->model()->index(row, 1);

        grid->setCurrentIndex(cell);
        QTest::keyClick(grid, Qt::Key_Return);
        QTRY_VERIFY(grid->findChild<QLineEdit*>());
        QGuiApplication::clipboard()->setText(kPair.repeated(5));
        QTest::keyClick(grid->findChild<QLineEdit*>(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(grid->findChild<QLineEdit*>()->text(), kPair.repeated(4));
        QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("4 文字に切り詰めました")));
        QTest::keyClick(grid->findChild<QLineEdit*>(), Qt::Key_Return);
        QTRY_COMPARE(cursor.asString(QStringLiteral("DORYOKU")), kPair.repeated(4));
        cursor.post();
        QCOMPARE(stored(*m_ref, QStringLiteral("SAKUDO WHERE ROSEN_CD = '900001'"), QStringLiteral("DORYOKU")),
                 kPair.repeated(4));

        grid->setCurrentIndex(cell);
        QTest::keyClick(grid, Qt::Key_Return);
        QTRY_VERIFY(grid->findChild<QLineEdit*>());
        grid->findChild<QLineEdit*>()->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("a\tb"));
        QTest::keyClick(grid->findChild<QLineEdit*>(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(grid->findChild<QLineEdit*>(), Qt::Key_Return);
        QTRY_COMPARE(answers.count(DialogKind::Critical), 1);
        QVERIFY(firstMessage(answers).contains(QStringLiteral("普通索道の「動力」")));
        QVERIFY(!cursor.isModified());
        QCOMPARE(stored(*m_ref, QStringLiteral("SAKUDO WHERE ROSEN_CD = '900001'"), QStringLiteral("DORYOKU")),
                 kPair.repeated(4));
        detachControls(cursor);
    }

    // A write that waits for another connection's lock shows the wait cursor from its first retry until the
    // statement ends, failed or not, and leaves no cursor behind.
    void lockedWaitShowsTheWaitCursor() {
        installBusyWaitCursor();
        static QList<int> seen; // the override cursor's shape each time the hook ran, after it ran
        seen.clear();
        const BusyWaitHook previous = setBusyWaitHook([](bool waiting) {
            busyWaitCursor(waiting);
            seen << (QGuiApplication::overrideCursor() ? int(QGuiApplication::overrideCursor()->shape()) : -1);
        });
        auto restore = qScopeGuard([&] { setBusyWaitHook(previous); });

        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_per->path()).constData(), &other), SQLITE_OK);
        auto closeOther = qScopeGuard([&] { sqlite3_close(other); });
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        m_per->setBusyTimeout(200);
        TableCursor t(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN"));
        t.open();
        t.append();
        t.setInteger(QStringLiteral("NEN"), 2024);
        test::DialogAnswerer answers;
        QVERIFY(!runCommand(nullptr, [&] { t.post(); }));
        QCOMPARE(seen, (QList<int>{int(Qt::WaitCursor), int(Qt::WaitCursor)})); // runCommand's own cursor lies below
        QVERIFY(firstMessage(answers).contains(QStringLiteral("ロック")));
        QVERIFY(!QGuiApplication::overrideCursor());

        // Released during the wait: the post goes through and the cursor is restored after it.
        seen.clear();
        m_per->setBusyTimeout(5000);
        QThread* release = QThread::create([other] {
            QThread::msleep(100);
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        });
        release->start();
        t.post();
        release->wait();
        delete release;
        QCOMPARE(seen, (QList<int>{int(Qt::WaitCursor), -1}));
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toInt(), 1);
    }
};

QTEST_MAIN(TestFieldInput)
#include "test_fieldinput.moc"
