#include "../netroute/graphfixture.h"
#include "records/itinerary.h"
#include "routes/journeyscreen.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "ui/dbcontrols.h"
#include "ui/dbctrlgrid.h"
#include "ui/dbnavigator.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

using namespace tabi;
using records::TRFORM;
using Nav = ui::DBNavigator;

namespace {

// Itinerary A has three legs entered out of station order, B one, C none.
void buildFixture(Database& per) {
    per.exec(QStringLiteral(
        "INSERT INTO RYOTEIM (RYOTEI_CD, RYOTEI_NAME, RYOTEI_DATE) VALUES"
        "  ('A', '北へ', '2024-05-01 00:00:00'), ('B', '西へ', '2024-06-01 00:00:00'), ('C', '未定', NULL);"
        "INSERT INTO RYOTEID (RYOTEI_CD, HATSU_TIME, HATSU_EKI, UNCHIN, RYOKIN) VALUES"
        "  ('A', '1899-12-30 09:05:00', '三', 0, 1200), ('B', NULL, '乙', 250, NULL),"
        "  ('A', '1899-12-30 10:00:00', '一', 1234567, NULL), ('A', NULL, '二', NULL, 0);"));
}

// Typed text, Japanese included (key clicks of QtTest take ASCII only).
void typeText(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

QStringList legStations(TRFORM& s) {
    QStringList out;
    for (int row = 0; row < s.legGrid()->cursorModel()->rowCount(); ++row)
        out << s.legGrid()->cursorModel()->fieldText(row, s.legs().fieldIndex(QStringLiteral("HATSU_EKI")));
    return out;
}

} // namespace

class TestItinerary : public QObject, public test::TempDatabases {
    Q_OBJECT
    std::unique_ptr<test::DialogAnswerer> m_dialogs;

    int count(const char* sql) { return m_per->scalar(QString::fromUtf8(sql)).toInt(); }

private Q_SLOTS:
    void init() {
        openDatabases(/*withPersonal=*/true);
        m_dialogs = std::make_unique<test::DialogAnswerer>();
        buildFixture(*m_per);
    }
    void cleanup() {
        m_dialogs.reset();
        closeDatabases();
    }

    void eachItineraryShowsOnlyItsLegsInEntryOrder() {
        TRFORM s;
        QAbstractItemModelTester tester(s.legGrid()->cursorModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(s.windowTitle(), QStringLiteral("旅程管理(簡易)"));
        QCOMPARE(s.legGrid()->panelCount(), 4);
        QCOMPARE(s.legGrid()->panelSize(), QSize(932, 94));
        QCOMPARE(s.edit(QStringLiteral("DBEditCode"))->text(), QStringLiteral("A"));
        QCOMPARE(legStations(s), QStringList({"三", "一", "二"}));
        s.itineraryNavigator()->click(Nav::Next);
        QCOMPARE(s.edit(QStringLiteral("DBEditName"))->text(), QStringLiteral("西へ"));
        QCOMPARE(legStations(s), QStringList({"乙"}));
        QCOMPARE(s.edit(QStringLiteral("DBEdit5"))->text(), QStringLiteral("乙"));
        // Without legs: four empty panels, and the live panel shows nothing.
        s.itineraryNavigator()->click(Nav::Next);
        for (int slot = 0; slot < 4; ++slot)
            QCOMPARE(s.legGrid()->rowOfPanel(slot), -1);
        QCOMPARE(s.edit(QStringLiteral("DBEdit5"))->text(), QString());
        s.itineraryNavigator()->click(Nav::First);
        QCOMPARE(legStations(s), QStringList({"三", "一", "二"}));
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
    }

    void fieldsShowTimesAndFaresInTheirFormats_data() {
        QTest::addColumn<int>("leg");
        QTest::addColumn<QString>("departs");
        QTest::addColumn<QString>("fare");
        QTest::addColumn<QString>("charge");
        QTest::newRow("fare 0 shows empty") << 0 << "09:05"
                                            << ""
                                            << "1,200";
        QTest::newRow("grouped thousands") << 1 << "10:00"
                                           << "1,234,567"
                                           << "";
        QTest::newRow("charge 0, no time") << 2 << ""
                                           << ""
                                           << "";
    }
    void fieldsShowTimesAndFaresInTheirFormats() {
        QFETCH(int, leg);
        QFETCH(QString, departs);
        QFETCH(QString, fare);
        QFETCH(QString, charge);
        TRFORM s;
        s.legs().moveBy(leg);
        QCOMPARE(s.edit(QStringLiteral("DBEdit3"))->displayText(),
                 departs.isEmpty() ? QStringLiteral("__:__") : departs);
        QCOMPARE(s.edit(QStringLiteral("DBEdit3"))->text().remove(QLatin1Char(':')),
                 QString(departs).remove(QLatin1Char(':')));
        QCOMPARE(s.edit(QStringLiteral("DBEdit9"))->text(), fare);
        QCOMPARE(s.edit(QStringLiteral("DBEdit10"))->text(), charge);
    }

    void newLegTakesTheItineraryCode() {
        TRFORM s;
        s.itineraryNavigator()->click(Nav::Last); // C, without legs
        QVERIFY(s.legNavigator()->click(Nav::Insert));
        typeText(s.edit(QStringLiteral("DBEdit5")), QStringLiteral("東京"));
        ui::DBEdit* fare = s.edit(QStringLiteral("DBEdit9"));
        QTest::keyClicks(fare, QStringLiteral("1,980"));
        QVERIFY(s.legNavigator()->click(Nav::Post));
        QCOMPARE(m_per->dump(QStringLiteral("SELECT RYOTEI_CD, HATSU_EKI, UNCHIN, HATSU_DATE, CHAKU_DATE FROM RYOTEID "
                                            "WHERE RYOTEI_CD = 'C'")),
                 QStringLiteral("C|東京|1980|||\n"));
        QCOMPARE(fare->text(), QStringLiteral("1,980"));
        QCOMPARE(s.legGrid()->rowOfPanel(0), 0);
    }

    // A click on the post button while a typed fare is still pending in its focused field stores the fare.
    void postButtonTakesTheFocusedFieldsText() {
        TRFORM s;
        s.show();
        QApplication::setActiveWindow(&s);
        QVERIFY(QTest::qWaitForWindowActive(&s));
        ui::DBEdit* fare = s.edit(QStringLiteral("DBEdit9"));
        fare->setFocus();
        fare->selectAll();
        QTest::keyClicks(fare, QStringLiteral("12000"));
        QVERIFY(fare->link().isPending());
        QTest::mouseClick(s.legNavigator()->button(Nav::Post), Qt::LeftButton);
        QCOMPARE(count("SELECT UNCHIN FROM RYOTEID WHERE HATSU_EKI = '三'"), 12000);
        QCOMPARE(s.legs().state(), CursorState::Browse);
    }

    // What is typed through the time mask, and what is stored (empty: refused, nothing stored).
    void timesGoThroughTheMask_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("four digits") << "0930"
                                     << "1899-12-30 09:30:00";
        QTest::newRow("hour digit, separator") << "9:30"
                                               << "1899-12-30 09:30:00";
        QTest::newRow("blank first digit") << " 930"
                                           << "1899-12-30 09:30:00";
        QTest::newRow("late evening") << "2359"
                                      << "1899-12-30 23:59:00";
        QTest::newRow("minutes missing") << "93"
                                         << "";
        QTest::newRow("one minute digit") << "9:3"
                                          << "";
        QTest::newRow("no such time") << "2561"
                                      << "";
    }
    void timesGoThroughTheMask() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        TRFORM s;
        ui::DBEdit* departs = s.edit(QStringLiteral("DBEdit3"));
        QCOMPARE(departs->editMask(), QStringLiteral("!90:00;1;_"));
        departs->clear();
        departs->setCursorPosition(0);
        QTest::keyClicks(departs, typed);
        QCOMPARE(s.legs().state(), CursorState::Edit);
        const bool posted = s.legNavigator()->click(Nav::Post);
        const QString now =
            m_per->scalar(QStringLiteral("SELECT ifnull(HATSU_TIME, '') FROM RYOTEID WHERE HATSU_EKI = '三'"))
                .toString();
        if (stored.isEmpty()) {
            QVERIFY(!posted);
            QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
            QVERIFY2(m_dialogs->requests().back().text.contains(QStringLiteral("旅程の行程の「発時刻」")),
                     qPrintable(m_dialogs->requests().back().text));
            QCOMPARE(now, QStringLiteral("1899-12-30 09:05:00"));
            QCOMPARE(s.legs().state(), CursorState::Edit); // still there to be completed
        } else {
            QVERIFY(posted);
            QCOMPARE(now, stored);
            QCOMPARE(departs->text(), stored.mid(11, 5));
        }
    }

    void incompleteTimeIsRefusedWhenTheFieldIsLeft() {
        TRFORM s;
        s.show();
        QApplication::setActiveWindow(&s);
        QVERIFY(QTest::qWaitForWindowActive(&s));
        ui::DBEdit* departs = s.edit(QStringLiteral("DBEdit3"));
        departs->setFocus();
        departs->clear();
        departs->setCursorPosition(0);
        QTest::keyClicks(departs, QStringLiteral("12"));
        s.edit(QStringLiteral("DBEdit5"))->setFocus();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
        QTRY_VERIFY(departs->hasFocus()); // back to the field
        QCOMPARE(departs->displayText(), QStringLiteral("12:__"));
        QCOMPARE(s.legs().asString(QStringLiteral("HATSU_TIME")), QStringLiteral("1899-12-30 09:05:00"));
        // Escape drops it; a cleared field stores no time.
        QTest::keyClick(departs, Qt::Key_Escape);
        QCOMPARE(departs->displayText(), QStringLiteral("09:05"));
        departs->selectAll();
        QTest::keyClick(departs, Qt::Key_Delete);
        QVERIFY(s.legNavigator()->click(Nav::Post));
        QCOMPARE(count("SELECT count(*) FROM RYOTEID WHERE HATSU_EKI = '三' AND HATSU_TIME IS NULL"), 1);
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
    }

    // 24:00 and 25:99 fill the mask but are no times: the message names the field and the clock's rule, and
    // cancelling (the legs' button, or Esc in the field and then again) gets out, after which the field can be
    // left without any further message.
    void impossibleTimeAndItsWayOut_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("24:00, cancel button") << "2400"
                                              << "button";
        QTest::newRow("25:99, cancel button") << "2599"
                                              << "button";
        QTest::newRow("24:00, Esc") << "2400"
                                    << "Esc";
    }
    void impossibleTimeAndItsWayOut() {
        QFETCH(QString, typed);
        QFETCH(QString, cancel);
        TRFORM s;
        s.show();
        QApplication::setActiveWindow(&s);
        QVERIFY(QTest::qWaitForWindowActive(&s));
        ui::DBEdit* arrives = s.edit(QStringLiteral("DBEdit4"));
        arrives->setFocus();
        QTRY_VERIFY(arrives->hasFocus());
        arrives->clear();
        arrives->setCursorPosition(0);
        QTest::keyClicks(arrives, typed);
        s.edit(QStringLiteral("DBEdit6"))->setFocus();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1); // once, not once per way of leaving
        const QString message = m_dialogs->requests(ui::DialogKind::Critical).back().text;
        QVERIFY2(message.contains(QStringLiteral("旅程の行程の「着時刻」")) &&
                     message.contains(QStringLiteral("00:00～23:59")) && !message.contains(QStringLiteral("日付")),
                 qPrintable(message));
        QTRY_VERIFY(arrives->hasFocus());
        QCOMPARE(s.legs().state(), CursorState::Edit);
        if (cancel == QLatin1String("button")) {
            QTest::mouseClick(s.legNavigator()->button(Nav::Cancel), Qt::LeftButton);
        } else {
            QTest::keyClick(arrives, Qt::Key_Escape); // the typed text
            QTest::keyClick(arrives, Qt::Key_Escape); // the edit
        }
        QCOMPARE(s.legs().state(), CursorState::Browse);
        QVERIFY(!arrives->link().isPending());
        s.edit(QStringLiteral("DBEdit6"))->setFocus();
        QTRY_VERIFY(s.edit(QStringLiteral("DBEdit6"))->hasFocus());
        QTest::qWait(20);
        QVERIFY(s.edit(QStringLiteral("DBEdit6"))->hasFocus());
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
        QCOMPARE(count("SELECT count(*) FROM RYOTEID WHERE CHAKU_TIME IS NOT NULL"), 0);
    }

    void legsWaitForANewItineraryToBeStored() {
        TRFORM s;
        QVERIFY(s.legNavigator()->isEnabled() && s.legGrid()->isEnabled());
        s.itineraryNavigator()->click(Nav::Insert);
        QVERIFY(!s.legNavigator()->isEnabled() && !s.legGrid()->isEnabled());
        QTest::keyClicks(s.edit(QStringLiteral("DBEditCode")), QStringLiteral("D"));
        QVERIFY(s.itineraryNavigator()->click(Nav::Post));
        QVERIFY(s.legNavigator()->isEnabled() && s.legGrid()->isEnabled());
        s.itineraryNavigator()->click(Nav::Insert);
        s.itineraryNavigator()->click(Nav::Cancel);
        QVERIFY(s.legNavigator()->isEnabled() && s.legGrid()->isEnabled());
    }

    // No itinerary at all: nothing to enter legs under, until one is stored; again none once the last is deleted.
    void legsNeedAStoredItinerary() {
        m_per->exec(QStringLiteral("DELETE FROM RYOTEID; DELETE FROM RYOTEIM;"));
        TRFORM s;
        QVERIFY(!s.legNavigator()->isEnabled() && !s.legGrid()->isEnabled());
        s.itineraryNavigator()->click(Nav::Insert);
        QTest::keyClicks(s.edit(QStringLiteral("DBEditCode")), QStringLiteral("N"));
        QVERIFY(!s.legGrid()->isEnabled());
        QVERIFY(s.itineraryNavigator()->click(Nav::Post));
        QVERIFY(s.legNavigator()->isEnabled() && s.legGrid()->isEnabled());
        QVERIFY(s.itineraryNavigator()->click(Nav::Delete));
        QCOMPARE(count("SELECT count(*) FROM RYOTEIM"), 0);
        QVERIFY(!s.legNavigator()->isEnabled() && !s.legGrid()->isEnabled());
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
    }

    // A changed code takes the legs along in the same transaction as the post; a refused post moves none.
    void changedCodeMovesTheLegs_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("legs"); // codes of RYOTEID afterwards, in rowid order
        QTest::newRow("post") << "Z"
                              << "post"
                              << "Z B Z Z";
        QTest::newRow("moving to the next posts") << "Z"
                                                  << "next"
                                                  << "Z B Z Z";
        QTest::newRow("code used twice") << "B"
                                         << "post"
                                         << "A B A A";
        QTest::newRow("emptied code") << ""
                                      << "post"
                                      << "A B A A";
    }
    void changedCodeMovesTheLegs() {
        QFETCH(QString, code);
        QFETCH(QString, how);
        QFETCH(QString, legs);
        TRFORM s;
        QCOMPARE(s.storedCode(), QStringLiteral("A"));
        QLineEdit* edit = s.edit(QStringLiteral("DBEditCode"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, code);
        const bool refused = code.isEmpty() || code == QLatin1String("B");
        QCOMPARE(s.itineraryNavigator()->click(how == QLatin1String("post") ? Nav::Post : Nav::Next), !refused);
        QCOMPARE(m_per->dump(QStringLiteral("SELECT RYOTEI_CD FROM RYOTEID ORDER BY rowid"))
                     .remove(QLatin1Char('|'))
                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                     .join(QLatin1Char(' ')),
                 legs);
        if (refused) {
            QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
            QCOMPARE(s.itineraries().state(), CursorState::Edit);
            QCOMPARE(s.storedCode(), QStringLiteral("A"));
            s.itineraryNavigator()->click(Nav::Cancel);
            QCOMPARE(legStations(s), QStringList({"三", "一", "二"}));
        } else if (how == QLatin1String("post")) {
            QCOMPARE(s.storedCode(), QStringLiteral("Z"));
            QCOMPARE(legStations(s), QStringList({"三", "一", "二"}));
        }
    }

    void deletingAnItineraryDeletesItsLegs() {
        TRFORM s;
        m_dialogs->answerQuestion(false);
        s.itineraryNavigator()->click(Nav::Delete);
        QCOMPARE(count("SELECT count(*) FROM RYOTEIM"), 3);
        QCOMPARE(count("SELECT count(*) FROM RYOTEID"), 4);
        s.itineraryNavigator()->click(Nav::Delete); // Yes
        QCOMPARE(m_dialogs->count(ui::DialogKind::Question), 2);
        QCOMPARE(m_dialogs->requests(ui::DialogKind::Question).back().text,
                 QStringLiteral("レコードを削除しますか?\nこの旅程の行程 3 件も一緒に削除されます。"));
        QCOMPARE(m_per->dump(QStringLiteral("SELECT RYOTEI_CD FROM RYOTEIM")), QStringLiteral("B|\nC|\n"));
        QCOMPARE(m_per->dump(QStringLiteral("SELECT RYOTEI_CD, HATSU_EKI FROM RYOTEID")), QStringLiteral("B|乙|\n"));
        QCOMPARE(legStations(s), QStringList({"乙"}));
        // A later itinerary with the same code starts without legs.
        s.itineraryNavigator()->click(Nav::Insert);
        QTest::keyClicks(s.edit(QStringLiteral("DBEditCode")), QStringLiteral("A"));
        QVERIFY(s.itineraryNavigator()->click(Nav::Post));
        QCOMPARE(s.itineraries().asString(QStringLiteral("RYOTEI_CD")), QStringLiteral("A"));
        QCOMPARE(s.legs().recordCount(), 0);
    }

    void deleteIsAllOrNothing() {
        TRFORM s;
        // The itinerary row cannot go: neither do its legs.
        m_per->exec(
            QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON RYOTEIM BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        QVERIFY(!s.itineraryNavigator()->click(Nav::Delete));
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
        QCOMPARE(count("SELECT count(*) FROM RYOTEID WHERE RYOTEI_CD = 'A'"), 3);
        QCOMPARE(s.itineraries().asString(QStringLiteral("RYOTEI_CD")), QStringLiteral("A"));
        QCOMPARE(s.legs().recordCount(), 3);
    }

    void refusedHeaderStaysInEdit_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("named");
        QTest::newRow("code used twice") << "B"
                                         << "2024-01-02"
                                         << "旅程に、「旅程コード」";
        QTest::newRow("no such day") << "D"
                                     << "2024-02-30"
                                     << "旅程の「年月日」";
    }
    void refusedHeaderStaysInEdit() {
        QFETCH(QString, code);
        QFETCH(QString, date);
        QFETCH(QString, named);
        TRFORM s;
        s.itineraryNavigator()->click(Nav::Insert);
        QTest::keyClicks(s.edit(QStringLiteral("DBEditCode")), code);
        QTest::keyClicks(s.edit(QStringLiteral("DBEditDate")), date);
        typeText(s.edit(QStringLiteral("DBEditName")), QStringLiteral("旅"));
        QVERIFY(!s.itineraryNavigator()->click(Nav::Post));
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
        QVERIFY2(m_dialogs->requests().back().text.contains(named), qPrintable(m_dialogs->requests().back().text));
        QCOMPARE(s.itineraries().state(), CursorState::Insert);
        QCOMPARE(s.edit(QStringLiteral("DBEditName"))->text(), QStringLiteral("旅"));
        QCOMPARE(count("SELECT count(*) FROM RYOTEIM"), 3);
    }

    // 乗車記録: the legs of the itinerary found over the network and shown in a journey screen, nothing stored
    // until that screen records them; an itinerary with a station the network lacks says so.
    void recordRidesFromTheItinerary() {
        test::writeFixtureNetwork(*m_ref);
        m_per->exec(QStringLiteral("INSERT INTO RYOTEIM (RYOTEI_CD, RYOTEI_DATE) VALUES ('J', '2024-07-01 00:00:00');"
                                   "INSERT INTO RYOTEID (RYOTEI_CD, HATSU_EKI, CHAKU_EKI) VALUES "
                                   "('J', '甲', '丙'), ('J', '丙', '己');"));
        TRFORM s;
        QVERIFY(s.itineraries().findKey({QStringLiteral("J")}));
        std::unique_ptr<QWidget> journey(s.recordRides());
        auto* screen = qobject_cast<routes::TJourney*>(journey.get());
        QVERIFY(screen);
        QStringList legs;
        for (const netroute::Leg& l : screen->journey().legs)
            legs << l.name + QLatin1Char(' ') + l.section();
        QCOMPARE(legs, (QStringList{"本線A 甲～丁", "連絡C 丁駅～己"}));
        QCOMPARE(count("SELECT count(*) FROM JOSHA"), 0);
        QVERIFY(screen->record());
        QCOMPARE(m_per->dump(QStringLiteral("SELECT ROSEN_CD, substr(JOSHA_DATE, 1, 10) FROM JOSHA ORDER BY 1")),
                 QStringLiteral("100001|2024-07-01|\n100007|2024-07-01|\n"));

        m_dialogs->clear();
        QVERIFY(s.itineraries().findKey({QStringLiteral("A")})); // stations 一, 二, 三 are not on the network
        QVERIFY(!s.recordRides());
        QCOMPARE(m_dialogs->count(ui::DialogKind::Information), 1);
    }
};

QTEST_MAIN(TestItinerary)
#include "test_itinerary.moc"
