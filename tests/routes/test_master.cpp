#include "data/settingsfile.h"
#include "photos/photopage.h"
#include "routes/codejumpdialog.h"
#include "routes/linediagrampage.h"
#include "routes/stationdistancedialog.h"
#include "routes/tmaster.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace tabi;
using routes::TMaster;

// The route master screen over the supplied reference data: page states, remembered route, rides via the picker.
class TestMaster : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempEnv> m_env;

    static QPushButton* button(TMaster& m, const char* name) {
        return m.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static QString code(TMaster& m) { return m.routes().asString(QStringLiteral("ROSEN_CD")); }

private Q_SLOTS:
    void init() { m_env = std::make_unique<test::TempEnv>(); }
    void cleanup() { m_env.reset(); }

    void pageStates_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("rideButton");
        QTest::newRow("基本情報") << int(TMaster::PageBasic) << int(TMaster::DBN_all) << false;
        QTest::newRow("開通区間") << int(TMaster::PageOpenings) << int(TMaster::DBN_4) << false;
        QTest::newRow("駅設置状況") << int(TMaster::PageStations) << int(TMaster::DBN_4) << false;
        QTest::newRow("乗車実績") << int(TMaster::PageRides) << int(TMaster::DBN_4) << true;
        QTest::newRow("写真") << int(TMaster::PagePhoto) << int(TMaster::DBN_none) << false;
        QTest::newRow("線形") << int(TMaster::PageLine) << int(TMaster::DBN_none) << false;
    }
    void pageStates() {
        QFETCH(int, page);
        QFETCH(int, state);
        QFETCH(bool, rideButton);
        TMaster m;
        QCOMPARE(m.navState(), TMaster::DBN_all); // the first page is shown on opening
        m.showPage(TMaster::PagePhoto);           // from a locked page, so every page re-applies its state
        m.showPage(TMaster::Page(page));
        QCOMPARE(int(m.navState()), state);
        QCOMPARE(button(m, "BitBtnK")->isEnabled(), rideButton);
        QCOMPARE(button(m, "BitBtnM")->isEnabled(), state != TMaster::DBN_none);
        QCOMPARE(m.routeNavigator()->isEnabled(), state != TMaster::DBN_none);
        QCOMPARE(m.routeNavigator()->width(), state == TMaster::DBN_all ? 360 : 144);
        auto* codeEdit = m.findChild<QLineEdit*>(QStringLiteral("EditROSEN_CD"));
        QCOMPARE(codeEdit->isReadOnly(), state != TMaster::DBN_all);
        QVERIFY(!button(m, "BitBtnH")->isVisible() && !button(m, "BitBtnH")->isEnabled());
    }

    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages, round the end too, also inside the main window's document area
    // (which would otherwise take them to switch windows).
    void ctrlTabTurnsPages() {
        test::DialogAnswerer answers;
        QMdiArea area;
        auto* m = new TMaster;
        area.addSubWindow(m);
        area.addSubWindow(new QWidget);
        area.show();
        area.setActiveSubWindow(area.subWindowList().first());
        QApplication::setActiveWindow(&area);
        QVERIFY(QTest::qWaitForWindowActive(&area));
        m->findChild<QLineEdit*>(QStringLiteral("EditROSEN_CD"))->setFocus();
        auto* pages = m->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers mods) {
            QTest::keyClick(QApplication::focusWidget(), key, mods);
        };
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pages->currentIndex(), int(TMaster::PageOpenings));
        QVERIFY(m->isAncestorOf(QApplication::focusWidget()));
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(pages->currentIndex(), int(TMaster::PageLine));
        QCOMPARE(area.activeSubWindow()->widget(), static_cast<QWidget*>(m));
    }

    void activationLandsOnRememberedRoute() {
        TMaster m;
        m.activated(); // no remembered code: the first route at or after "Failure" is the last route
        m.routes().last();
        const QString last = code(m);
        m.routes().first();
        m.activated();
        QCOMPARE(code(m), last);

        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("102001"));
        m.activated();
        QCOMPARE(code(m), QStringLiteral("102001"));
        QVERIFY(m.stations().recordCount() > 10); // the linked cursors follow
        m.routes().next();
        m.activated(); // coming back from another window: the remembered route again
        QCOMPARE(code(m), QStringLiteral("102001"));
        // A code between routes lands on the next one; "終了(&E)" remembers the route shown.
        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("1020"));
        m.activated();
        QCOMPARE(code(m), QStringLiteral("102001"));
        m.routes().next();
        const QString shown = code(m);
        m.finishCommand();
        QCOMPARE(settings::readString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QString()), shown);
    }

    void rideFromPickerStaysInInsertUntilCancelled() {
        test::DialogAnswerer answers;
        TMaster m;
        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("102001"));
        m.activated();
        m.showPage(TMaster::PageRides);
        answers.answerChoice(1); // the end before the start, chosen as the loss of a section
        answers.onExec([](QDialog& d) {
            auto* picker = qobject_cast<routes::TEKI2*>(&d);
            if (!picker)
                return int(QDialog::Rejected);
            picker->stationCursor().last(); // end before start: a negative ride
            picker->kiten();
            picker->stationCursor().first();
            picker->shuten();
            picker->selectDate(QDate(2024, 2, 29));
            picker->substitute();
            return int(QDialog::Accepted);
        });
        m.rideCommand();
        QCOMPARE(m.rides().state(), CursorState::Insert);
        QCOMPARE(m.rides().asString(QStringLiteral("ROSEN_CD")), QStringLiteral("102001"));
        QCOMPARE(m.rides().displayText(QStringLiteral("JOSHA_DATE")), QStringLiteral("2024-02-29"));
        QVERIFY(qAbs(m.rides().asFloat(QStringLiteral("JOSHA_KILO")) + 20.6) < 1e-9);
        QVERIFY(m.rides().asString(QStringLiteral("JOSHA_KUKAN")).contains(QStringLiteral("～")));
        QCOMPARE(m.ridesGrid()->model()->rowCount(), 1);
        QVERIFY(m.ridesNavigator()->click(ui::DBNavigator::Cancel)); // "編集の取り消し" discards it
        QCOMPARE(m.rides().recordCount(), 0);
        QCOMPARE(m.rides().database().scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(), 0);

        // Cancelling the picker inserts nothing.
        answers.onExec([](QDialog&) { return int(QDialog::Rejected); });
        m.rideCommand();
        QCOMPARE(m.rides().state(), CursorState::Browse);
    }

    // A second ride of the route on one day joins that day's ride, or goes to another day; no key error.
    void secondRideOnTheSameDay() {
        test::DialogAnswerer answers;
        TMaster m;
        m.routes().findKey({QStringLiteral("102001")});
        m.showPage(TMaster::PageRides);
        QList<double> posts;
        QStringList names;
        // Each showing picks the stations at rows from and to; a showing for another date only sets the date.
        auto pick = [&](int from, int to) {
            answers.onExec([&, from, to](QDialog& d) {
                auto* picker = qobject_cast<routes::TEKI2*>(&d);
                if (picker->startField()->text().isEmpty()) {
                    picker->stationCursor().moveToRow(from);
                    picker->kiten();
                    picker->stationCursor().moveToRow(to);
                    picker->shuten();
                    picker->selectDate(QDate(2023, 5, 5));
                } else {
                    picker->selectDate(QDate(2023, 5, 6));
                }
                if (posts.isEmpty())
                    for (const netmap::Station& s : picker->route().stations) {
                        posts << s.kilo;
                        names << s.name;
                    }
                picker->substitute();
                return d.result();
            });
        };
        pick(0, 1);
        m.rideCommand();
        QVERIFY(posts.size() >= 3);
        // Left unposted: the next 区間 stores it first, so that its day and stretch count.

        pick(1, 2); // continues the day's ride: Enter joins it
        m.rideCommand();
        QCOMPARE(m.rides().state(), CursorState::Edit);
        QCOMPARE(m.rides().asString(QStringLiteral("JOSHA_KUKAN")).left(names[0].size() + 1 + names[2].size()),
                 names[0] + QStringLiteral("～") + names[2]);
        QVERIFY(qAbs(m.rides().asFloat(QStringLiteral("JOSHA_KILO")) - (posts[2] - posts[0])) < 1e-9);
        QVERIFY(m.ridesNavigator()->click(ui::DBNavigator::Post));
        QCOMPARE(m.rides().recordCount(), 1);

        // 0 to 2 again: nothing new (Enter: the new kilometres, none), the same day (日付を変える), and once more
        // nothing new on the other day.
        answers.answerChoice(0);
        answers.answerChoice(1);
        answers.answerChoice(0);
        pick(0, 2);
        m.rideCommand();
        QCOMPARE(m.rides().state(), CursorState::Insert);
        QCOMPARE(m.rides().displayText(QStringLiteral("JOSHA_DATE")), QStringLiteral("2023-05-06"));
        QCOMPARE(m.rides().asFloat(QStringLiteral("JOSHA_KILO")), 0.0);
        QVERIFY(m.ridesNavigator()->click(ui::DBNavigator::Post));
        QCOMPARE(m.rides().recordCount(), 2);
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
    }

    void photoAndLinePagesShowTheCurrentRoute() {
        test::DialogAnswerer answers;
        TMaster m;
        m.routes().findKey({QStringLiteral("102001")});
        m.showPage(TMaster::PageLine);
        QCOMPARE(m.linePage()->codeForToga(), QStringLiteral("102001"));
        m.linePage()->draw();
        QVERIFY(m.linePage()->diagram().pictureWidth() > 806 / 2);
        m.showPage(TMaster::PagePhoto);
        QCOMPARE(m.photoPage()->series().code(), QStringLiteral("102001"));
        QVERIFY(!m.photoPage()->series().imageVisible()); // no photo folder set: "画像なし"
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
    }

    void moveCommandUsesJumpDialog() {
        test::DialogAnswerer answers;
        TMaster m;
        m.routes().first();
        answers.onExec([](QDialog& d) {
            auto* jump = qobject_cast<routes::CodeJumpDialog*>(&d);
            jump->setCode(QStringLiteral("6"));
            jump->acceptCurrent();
            return int(QDialog::Accepted);
        });
        m.moveCommand();
        QVERIFY(code(m).startsWith(QLatin1Char('6')));
    }
};

QTEST_MAIN(TestMaster)
#include "test_master.moc"
