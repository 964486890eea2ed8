#include "support/dialogseam.h"
#include "ui/dbcontrols.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"
#include "uifixture.h"

#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::ui;
using tabi::test::RideTable;

class TestDBControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void editShowsTheCurrentRecord() {
        RideTable t(3);
        DBEdit kukan(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"));
        DBEdit kilo(t.cursor.get(), QStringLiteral("JOSHA_KILO"));
        DBText text;
        text.bind(t.cursor.get(), QStringLiteral("JOSHA_DATE"));
        QCOMPARE(kukan.text(), QStringLiteral("区間1"));
        QCOMPARE(kilo.text(), QStringLiteral("0.1"));
        QCOMPARE(text.text(), QStringLiteral("2024-01-01"));
        t.cursor->last();
        QCOMPARE(kukan.text(), QStringLiteral("区間3"));
        t.cursor->insert();
        QCOMPARE(kukan.text(), QString());
        QCOMPARE(text.text(), QString());
        t.cursor->cancel();
        QCOMPARE(kilo.text(), QStringLiteral("0.3"));
        t.cursor->close();
        QCOMPARE(kukan.text(), QString());
    }

    void typingWritesTheFieldWithinItsSize() {
        RideTable t(2);
        DBEdit kukan(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"));
        kukan.clear();
        QTest::keyClicks(&kukan, QString(60, QLatin1Char('x')));
        QCOMPARE(kukan.text().size(), 50);
        // Text reaches the field while typing, so a post from anywhere stores it.
        QCOMPARE(t.cursor->state(), CursorState::Edit);
        QCOMPARE(t.cursor->asString("JOSHA_KUKAN"), QString(50, QLatin1Char('x')));
        t.cursor->post();
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT JOSHA_KUKAN FROM JOSHA WHERE ROSEN_CD = '100001'")).toString(),
                 QString(50, QLatin1Char('x')));
    }

    void boundBeforeTheCursorOpens() {
        RideTable t(2);
        TableCursor later(t.db, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        DBEdit kukan(&later, QStringLiteral("JOSHA_KUKAN"));
        QCOMPARE(kukan.text(), QString());
        QTest::keyClicks(&kukan, QStringLiteral("x")); // a closed cursor takes nothing
        QCOMPARE(kukan.text(), QString());
        later.open();
        QCOMPARE(kukan.text(), QStringLiteral("区間1"));
        // The width of the field applies once the cursor knows it.
        kukan.selectAll();
        QTest::keyClicks(&kukan, QString(51, QLatin1Char('y')));
        QCOMPARE(kukan.text(), QString(50, QLatin1Char('y')));
        detachControls(later);
    }

    void numbersAndDatesAreWrittenWhenTheFieldIsLeft() {
        RideTable t(2);
        test::DialogAnswerer answers;
        DBEdit kilo(t.cursor.get(), QStringLiteral("JOSHA_KILO"));
        DBDateEdit day(t.cursor.get(), QStringLiteral("JOSHA_DATE"));
        QCOMPARE(day.maxLength(), 10);

        kilo.selectAll();
        QTest::keyClicks(&kilo, QStringLiteral("12.34"));
        QCOMPARE(t.cursor->state(), CursorState::Edit);
        QCOMPARE(t.cursor->asFloat("JOSHA_KILO"), 0.1); // not yet
        QTest::keyClick(&kilo, Qt::Key_Return);
        QCOMPARE(t.cursor->asFloat("JOSHA_KILO"), 12.34);
        QCOMPARE(kilo.text(), QStringLiteral("12.3")); // shown through the format again

        // Text that is no number: the error box, the typed text stays, the field keeps its value.
        kilo.selectAll();
        QTest::keyClicks(&kilo, QStringLiteral("1.2.3"));
        QTest::keyClick(&kilo, Qt::Key_Return);
        QCOMPARE(answers.count(DialogKind::Critical), 1);
        QCOMPARE(kilo.text(), QStringLiteral("1.2.3"));
        QCOMPARE(t.cursor->asFloat("JOSHA_KILO"), 12.34);
        // Escape drops it.
        QTest::keyClick(&kilo, Qt::Key_Escape);
        QCOMPARE(kilo.text(), QStringLiteral("12.3"));

        // Dates: a short form is stored as the day at 00:00:00; letters are not accepted.
        day.selectAll();
        QTest::keyClicks(&day, QStringLiteral("2024-3-5x"));
        QCOMPARE(day.text(), QStringLiteral("2024-3-5"));
        QTest::keyClick(&day, Qt::Key_Return);
        QCOMPARE(t.cursor->asString("JOSHA_DATE"), QStringLiteral("2024-03-05 00:00:00"));
        QCOMPARE(day.text(), QStringLiteral("2024-03-05"));
        t.cursor->post();

        // An empty date is null.
        t.cursor->last();
        day.selectAll();
        QTest::keyClick(&day, Qt::Key_Delete);
        QTest::keyClick(&day, Qt::Key_Return);
        QVERIFY(t.cursor->isNull("JOSHA_DATE"));
        QCOMPARE(t.cursor->displayText("JOSHA_DATE"), QString());
        t.cursor->cancel();
    }

    // The navigator's post writes what is still pending in a field that was never left.
    void navigatorPostTakesPendingText() {
        RideTable t(1);
        DBNavigator nav;
        nav.setTableCursor(t.cursor.get());
        DBEdit kilo(t.cursor.get(), QStringLiteral("JOSHA_KILO"));
        kilo.selectAll();
        QTest::keyClicks(&kilo, QStringLiteral("7.5"));
        QVERIFY(nav.click(DBNavigator::Post));
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT JOSHA_KILO FROM JOSHA")).toDouble(), 7.5);
        QCOMPARE(kilo.text(), QStringLiteral("7.5"));
    }

    // A masked field on a text field: what is typed, what reaches the field when it is left (null: refused).
    void maskedFieldsStoreWhatTheMaskAllows_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        QTest::newRow("literals stored") << "000-0000;1;_"
                                         << "1234567"
                                         << "123-4567"
                                         << "123-4567";
        QTest::newRow("literals dropped") << "000-0000;0;_"
                                          << "1234567"
                                          << "123-4567"
                                          << "1234567";
        QTest::newRow("required position blank") << "000-0000;1;_"
                                                 << "12345"
                                                 << "123-45__" << QString();
        QTest::newRow("nothing typed is empty") << "000-0000;1;_"
                                                << ""
                                                << "___-____"
                                                << "";
        QTest::newRow("separator closes a group, blanks in front") << "!99-00;1;*"
                                                                   << "7-05"
                                                                   << "*7-05"
                                                                   << "7-05";
        QTest::newRow("separator closes a group, blanks after") << "99-00;1;*"
                                                                << "7-05"
                                                                << "7*-05"
                                                                << "7-05";
        QTest::newRow("space for an optional position") << "!90:00;1;_"
                                                        << " 930"
                                                        << "_9:30"
                                                        << "9:30";
        QTest::newRow("letters") << "LL0;1;_"
                                 << "ab1"
                                 << "ab1"
                                 << "ab1";
    }
    void maskedFieldsStoreWhatTheMaskAllows() {
        QFETCH(QString, mask);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        RideTable t(1);
        test::DialogAnswerer answers;
        DBNavigator nav;
        nav.setTableCursor(t.cursor.get());
        DBEdit kukan(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"));
        kukan.setEditMask(mask);
        kukan.clear();
        kukan.setCursorPosition(0);
        QTest::keyClicks(&kukan, typed);
        if (!typed.isEmpty())
            QCOMPARE(t.cursor->asString("JOSHA_KUKAN"), QStringLiteral("区間1")); // not while typing
        else
            t.cursor->edit();
        kukan.link().userEdited(false); // an emptied field is pending as well
        QCOMPARE(kukan.displayText(), shown);
        const bool posted = nav.click(DBNavigator::Post);
        QCOMPARE(posted, !stored.isNull());
        QCOMPARE(answers.count(ui::DialogKind::Critical), stored.isNull() ? 1 : 0);
        if (stored.isNull()) {
            QVERIFY(answers.requests().back().text.contains(QStringLiteral("「乗車区間」")));
            QCOMPARE(t.cursor->state(), CursorState::Edit);
            QCOMPARE(kukan.displayText(), shown); // kept to be completed
        } else {
            QCOMPARE(t.db->scalar(QStringLiteral("SELECT ifnull(JOSHA_KUKAN, '') FROM JOSHA")).toString(), stored);
        }
        // The text put back into a field keeps its blanks where they were (the control grid does so).
        const QString before = kukan.displayText();
        kukan.setText(before);
        QCOMPARE(kukan.displayText(), before);
    }

    void readOnlyFieldsUseTheButtonFace() {
        RideTable t(1);
        DBEdit kilo(t.cursor.get(), QStringLiteral("JOSHA_KILO"));
        kilo.setReadOnly(true);
        QCOMPARE(kilo.palette().color(QPalette::Base), kilo.palette().color(QPalette::Button));
        QTest::keyClicks(&kilo, QStringLiteral("9"));
        QCOMPARE(t.cursor->state(), CursorState::Browse);
        kilo.setReadOnly(false);
        QCOMPARE(kilo.palette().color(QPalette::Base), QApplication::palette(&kilo).color(QPalette::Base));
    }

    void comboWritesChosenOrTypedText() {
        RideTable t(1);
        DBComboBox combo;
        combo.setItems({QStringLiteral("なし"), QStringLiteral("あり")});
        combo.bind(t.cursor.get(), QStringLiteral("BIKO"));
        QCOMPARE(combo.currentText(), QString());
        combo.setCurrentIndex(1);
        Q_EMIT combo.activated(1);
        QCOMPARE(t.cursor->asString("BIKO"), QStringLiteral("あり"));
        t.cursor->post();
        combo.lineEdit()->selectAll();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("free"));
        QCOMPARE(t.cursor->asString("BIKO"), QStringLiteral("free"));
        t.cursor->post();
        t.cursor->refresh();
        QCOMPARE(combo.currentText(), QStringLiteral("free"));
        QCOMPARE(combo.count(), 2);
    }

    void lookupWritesTheCodeOfTheChosenRow() {
        test::TempEnv env;
        auto ref = Database::open(DbKind::Reference);
        TableCursor kubun(ref, QStringLiteral("KUBUN"), QStringLiteral("KBN_CD"));
        kubun.open();
        QVERIFY(kubun.recordCount() >= 3);
        TableCursor master(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"));
        master.open();
        QVERIFY(!master.isEmpty());
        DBLookupComboBox box;
        box.bind(&master, QStringLiteral("KBN_CD"));
        box.setListSource(&kubun, QStringLiteral("KBN_CD"), {QStringLiteral("KBN_CD"), QStringLiteral("KBN_KANJI")});
        box.setDropDown(280, 8);
        QCOMPARE(box.count(), kubun.recordCount());
        QCOMPARE(box.maxVisibleItems(), 8);
        QCOMPARE(box.model()->columnCount(), 2);
        if (!master.asString("KBN_CD").isEmpty())
            QCOMPARE(box.currentText(), master.asString("KBN_CD"));

        kubun.moveToRow(2);
        const QString code = kubun.asString("KBN_CD");
        const QString name = kubun.displayText("KBN_KANJI");
        QCOMPARE(box.model()->index(2, 1).data().toString(), name);
        box.setCurrentIndex(2);
        Q_EMIT box.activated(2);
        QCOMPARE(master.state(), CursorState::Edit);
        QCOMPARE(master.asString("KBN_CD"), code);
        QCOMPARE(box.currentText(), code);
        master.cancel();

        // A code without a row in the list shows empty.
        master.edit();
        master.setText(QStringLiteral("KBN_CD"), QStringLiteral("ZZ"));
        QCOMPARE(box.currentIndex(), -1);
        master.cancel();

        box.showPopup();
        QVERIFY(box.view()->parentWidget()->width() >= 280);
        box.hidePopup();

        // With more rows than that, the list shows exactly eight of them.
        while (kubun.recordCount() < 12) {
            kubun.append();
            kubun.setText(QStringLiteral("KBN_CD"), QStringLiteral("Z") + QChar(u'A' + kubun.recordCount()));
            kubun.post();
        }
        box.show();
        box.showPopup();
        auto* view = qobject_cast<QTableView*>(box.view());
        QTRY_VERIFY(view->isVisible());
        const int rowHeight = view->rowHeight(0);
        QCOMPARE(view->viewport()->height() / rowHeight, 8);
        box.hidePopup();
    }

    void busyLoopShowsTheWaitCursorAndHoldsControls() {
        RideTable t(5);
        DBEdit kukan(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"));
        {
            BusyLoop busy(*t.cursor);
            QVERIFY(QGuiApplication::overrideCursor());
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            t.cursor->last();
            QCOMPARE(kukan.text(), QStringLiteral("区間1"));
        }
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(kukan.text(), QStringLiteral("区間5"));
    }

    void suspendedControlsShowTheEndOnly() {
        RideTable t(20);
        DBEdit kukan(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"));
        {
            SuspendControls suspend(*t.cursor);
            t.cursor->last();
            QCOMPARE(kukan.text(), QStringLiteral("区間1"));
        }
        QCOMPARE(kukan.text(), QStringLiteral("区間20"));
    }

    // Cursors declared as members die before a screen's child widgets: detaching first keeps that safe.
    void controlsOutliveTheirCursorWhenDetached() {
        RideTable t(2);
        auto* window = new QWidget;
        auto* edit = new DBEdit(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"), window);
        auto* grid = new DBGrid(window);
        grid->setTableCursor(t.cursor.get());
        auto* nav = new DBNavigator(window);
        nav->setTableCursor(t.cursor.get());
        TableCursor list(t.db, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        list.open();
        auto* lookup = new DBLookupComboBox(window);
        lookup->setListSource(&list, QStringLiteral("ROSEN_CD"), {QStringLiteral("ROSEN_CD")});
        QCOMPARE(lookup->count(), 2);
        detachControls(*t.cursor);
        t.cursor.reset();
        detachControls(list);
        list.close();
        QCOMPARE(lookup->count(), 0);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(grid->model()->rowCount(), 0);
        QVERIFY(!nav->button(DBNavigator::First)->isEnabled());
        delete window;
    }
};

QTEST_MAIN(TestDBControls)
#include "test_dbcontrols.moc"
