#include "records/mastereditors.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "tally/screens.h"
#include "tally/tally.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::records;
using Nav = ui::DBNavigator;

namespace {

void buildFixture(Database& ref, Database& per) {
    ref.exec(QStringLiteral(
        "DELETE FROM BUNRUI; DELETE FROM BUNRUI2; DELETE FROM BUNRUI3; DELETE FROM KUBUN; DELETE FROM KUBUN2;"
        "DELETE FROM KUBUN3; DELETE FROM BUNRUI4;"
        "INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI, TOTAL_KILO) VALUES ('102','b',5.0),('101','a',7.5);"
        "INSERT INTO BUNRUI2 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('1','A'),('2','B');"
        "INSERT INTO BUNRUI3 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('9','合');"
        "INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES ('11','y');"
        "INSERT INTO KUBUN2 (KBN_CD, KBN_KANJI) VALUES ('1','Y');"
        "INSERT INTO KUBUN3 (KBN_CD, KBN_KANJI) VALUES ('9','T');"
        "INSERT INTO BUNRUI4 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('Z01','温泉'),('A01','城');"));
    per.exec(QStringLiteral("DELETE FROM TOSHI; INSERT INTO TOSHI (NEN, JOSHA_NO, BIKO) VALUES (2021, 4, 'x');"));
}

// Typed text, Japanese included (key clicks of QtTest take ASCII only).
void typeText(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

QStringList column(QAbstractItemModel* m, int c) {
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, c).data().toString();
    return out;
}

QStringList titles(QAbstractItemModel* m) {
    QStringList out;
    for (int c = 0; c < m->columnCount(); ++c)
        out << m->headerData(c, Qt::Horizontal).toString();
    return out;
}

std::unique_ptr<MasterGridEditor> makeEditor(const QString& cls) {
    if (cls == QLatin1String("TBunrui"))
        return std::make_unique<TBunrui>();
    if (cls == QLatin1String("TKubun"))
        return std::make_unique<TKubun>();
    if (cls == QLatin1String("TTOSHI"))
        return std::make_unique<TTOSHI>();
    return std::make_unique<TOTHERS>();
}

} // namespace

class TestMasterEditors : public QObject, public test::TempDatabases {
    Q_OBJECT
    std::unique_ptr<test::DialogAnswerer> m_dialogs;

private Q_SLOTS:
    void init() {
        openDatabases(/*withPersonal=*/true);
        m_dialogs = std::make_unique<test::DialogAnswerer>();
        buildFixture(*m_ref, *m_per);
    }
    void cleanup() {
        m_dialogs.reset();
        closeDatabases();
    }

    void layoutAndDeclaredFields_data() {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("exitName");
        QTest::addColumn<QString>("levelBox");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("TBunrui") << "TBunrui"
                                 << "分類マスター登録/変更/削除"
                                 << "ExitBtn"
                                 << "ComboBoxB" << QStringList{"番号", "名称"} << QStringList{"101", "102"};
        QTest::newRow("TKubun") << "TKubun"
                                << "区分マスター登録/変更/削除"
                                << "BitBtnE"
                                << "ComboBoxK" << QStringList{"番号", "名称"} << QStringList{"11"};
        QTest::newRow("TTOSHI") << "TTOSHI"
                                << "年別マスター登録/変更/削除"
                                << "ExitBtn"
                                << "" << QStringList{"年", "備考"} << QStringList{"2021"};
        // In the order of the stored index.
        QTest::newRow("TOTHERS") << "TOTHERS"
                                 << "その他分類マスター登録/変更/削除"
                                 << "ExitBtn"
                                 << "" << QStringList{"番号", "名称"} << QStringList{"A01", "Z01"};
    }
    void layoutAndDeclaredFields() {
        QFETCH(QString, cls);
        QFETCH(QString, caption);
        QFETCH(QString, exitName);
        QFETCH(QString, levelBox);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, codes);
        auto e = makeEditor(cls);
        e->activated();
        QAbstractItemModelTester tester(e->grid()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(e->windowTitle(), caption);
        QVERIFY(e->findChild<QPushButton*>(exitName));
        auto* help = e->findChild<QPushButton*>(QStringLiteral("BitBtnH"));
        QVERIFY(help && !help->isHidden() && help->isEnabled()); // opens the manual's page
        QCOMPARE(e->navigator()->visibleButtons(), int(Nav::AllButtons));
        QCOMPARE(e->grid()->options(), ui::DBGrid::Options(ui::DBGrid::kDefaultOptions));
        QCOMPARE(bool(e->levelBox()), !levelBox.isEmpty());
        if (e->levelBox()) {
            QCOMPARE(e->levelBox()->objectName(), levelBox);
            QCOMPARE(e->levelBox()->currentText(), QStringLiteral("小分類"));
        }
        QCOMPARE(::titles(e->grid()->model()), titles);
        QCOMPARE(column(e->grid()->model(), 0), codes);
    }

    void levelSwitchesOnAnExactText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("partial text") << "大"
                                      << "BUNRUI" << QStringList{"101", "102"};
        QTest::newRow("大分類") << "大分類"
                                << "BUNRUI2" << QStringList{"1", "2"};
        QTest::newRow("合計") << "合計"
                              << "BUNRUI3" << QStringList{"9"};
        QTest::newRow("other text") << "大分類x"
                                    << "BUNRUI2" << QStringList{"1", "2"};
    }
    void levelSwitchesOnAnExactText() {
        QFETCH(QString, typed);
        QFETCH(QString, table);
        QFETCH(QStringList, codes);
        TBunrui e;
        e.activated();
        QAbstractItemModelTester tester(e.grid()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        e.levelBox()->lineEdit()->clear();
        typeText(e.levelBox()->lineEdit(), typed);
        QCOMPARE(e.levelBox()->currentText(), typed); // nothing completes a partial text
        QCOMPARE(e.table().tableName(), table);
        QCOMPARE(column(e.grid()->model(), 0), codes);
        QCOMPARE(titles(e.grid()->model()), QStringList({"番号", "名称"}));
        QCOMPARE(e.table().recNo(), 0);
    }

    void activationReturnsToTheFirstLevelDroppingEdits() {
        TKubun e;
        e.activated();
        e.levelBox()->setCurrentIndex(1);
        QCOMPARE(e.table().tableName(), QStringLiteral("KUBUN2"));
        e.grid()->model()->setData(e.grid()->model()->index(0, 1), QStringLiteral("changed"));
        QCOMPARE(e.table().state(), CursorState::Edit);
        e.activated();
        QCOMPARE(e.levelBox()->currentText(), QStringLiteral("小分類"));
        QCOMPARE(e.table().tableName(), QStringLiteral("KUBUN"));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT KBN_KANJI FROM KUBUN2")).toString(), QStringLiteral("Y"));
    }

    // A row added or changed writes the declared fields only; the tally results stay unset or as they were.
    void rowsWriteTheDeclaredFieldsOnly() {
        TBunrui e;
        e.activated();
        QAbstractItemModel* m = e.grid()->model();
        m->setData(m->index(0, 1), QStringLiteral("改"));
        QVERIFY(e.navigator()->click(Nav::Insert));
        m->setData(m->index(e.grid()->cursorModel()->currentRow(), 0), QStringLiteral("103"));
        m->setData(m->index(e.grid()->cursorModel()->currentRow(), 1), QStringLiteral("c"));
        QVERIFY(e.navigator()->click(Nav::Post));
        QCOMPARE(m_ref->dump(
                     QStringLiteral("SELECT BUNRUI_CD, BUNRUI_KANJI, TOTAL_KILO, KANJO_DATE FROM BUNRUI ORDER BY 1")),
                 QStringLiteral("101|改|7.5||\n102|b|5.0||\n103|c|||\n"));
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
    }

    void refusedRowStaysInEdit_data() {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("named");
        QTest::newRow("duplicate classification") << "TOTHERS"
                                                  << "Z01"
                                                  << "その他分類マスターに、「番号」";
        QTest::newRow("year not a number") << "TTOSHI"
                                           << "20x1"
                                           << "年別マスターの「年」";
        QTest::newRow("duplicate year") << "TTOSHI"
                                        << "2021"
                                        << "年別マスターに、「年」";
        QTest::newRow("code too long") << "TKubun"
                                       << "123"
                                       << "区分マスターの「番号」";
    }
    void refusedRowStaysInEdit() {
        QFETCH(QString, cls);
        QFETCH(QString, code);
        QFETCH(QString, named);
        auto e = makeEditor(cls);
        e->activated();
        QVERIFY(e->navigator()->click(Nav::Insert));
        const int row = e->grid()->cursorModel()->currentRow();
        // A text that does not convert is refused as it is written, one that the table refuses when posted.
        const bool written = e->grid()->model()->setData(e->grid()->model()->index(row, 0), code);
        if (written)
            QVERIFY(!e->navigator()->click(Nav::Post));
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
        QVERIFY2(m_dialogs->requests().back().text.contains(named), qPrintable(m_dialogs->requests().back().text));
        QCOMPARE(e->table().state(), CursorState::Insert);
    }

    // Typing into an empty grid starts its first row with what was typed; Ctrl+Enter posts it.
    void typingIntoAnEmptyGridInsertsARow() {
        m_per->exec(QStringLiteral("DELETE FROM TOSHI"));
        TTOSHI e;
        e.show();
        QApplication::setActiveWindow(&e);
        QVERIFY(QTest::qWaitForWindowActive(&e));
        e.grid()->setFocus();
        QTRY_VERIFY(e.grid()->hasFocus());
        for (const char c : {'2', '0', '3', '0'}) // each to the focus: the cell editor opens on the first
            QTest::keyClick(QApplication::focusWidget(), c);
        QCOMPARE(e.table().state(), CursorState::Insert);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(m_per->dump(QStringLiteral("SELECT NEN FROM TOSHI")), QStringLiteral("2030|\n"));
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
    }

    void deleteAsksFirst() {
        TOTHERS e;
        m_dialogs->answerQuestion(false);
        e.navigator()->click(Nav::Delete);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM BUNRUI4")).toInt(), 2);
        e.navigator()->click(Nav::Delete);
        QCOMPARE(m_dialogs->count(ui::DialogKind::Question), 2);
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT BUNRUI_CD FROM BUNRUI4")), QStringLiteral("Z01|\n"));
    }

    void yearAddedAppearsInTheYearTally() {
        {
            TTOSHI e;
            e.activated();
            QVERIFY(e.navigator()->click(Nav::Insert));
            QAbstractItemModel* m = e.grid()->model();
            const int row = e.grid()->cursorModel()->currentRow();
            QVERIFY(m->setData(m->index(row, 0), QStringLiteral("2030")));
            QVERIFY(m->setData(m->index(row, 1), QStringLiteral("予定")));
            QVERIFY(e.navigator()->click(Nav::Post));
        }
        tally::THYOJI2 t;
        QVERIFY(t.years().findKey({2030}));
        for (const char* f : {"JOSHA_NO", "JOSHA_KILO", "HAISHI_NO", "HAISHI_KILO"})
            QVERIFY2(t.years().isNull(QString::fromLatin1(f)), f);
        QCOMPARE(t.years().asString(QStringLiteral("BIKO")), QStringLiteral("予定"));
        tally::tallyByYear(m_ref, m_per, 1);
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT JOSHA_NO FROM TOSHI WHERE NEN = 2030")).toInt(), 0);
    }
};

QTEST_MAIN(TestMasterEditors)
#include "test_mastereditors.moc"
