#include "data/database.h"
#include "data/settingsfile.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "tally/screens.h"
#include "tally/tally.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"
#include "ui/screens.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <sqlite3.h>

using namespace tabi;

namespace {

void buildFixture(Database& ref, Database& per) {
    ref.exec(QStringLiteral(
        "DELETE FROM MASTER; DELETE FROM BUNRUI; DELETE FROM BUNRUI2; DELETE FROM BUNRUI3; DELETE FROM KUBUN;"
        "DELETE FROM KUBUN2; DELETE FROM KUBUN3;"
        "INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES ('101','a'),('102','b');"
        "INSERT INTO BUNRUI2 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('1','A');"
        "INSERT INTO BUNRUI3 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('9','T');"
        "INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES ('11','y'),('12','z');"
        "INSERT INTO KUBUN2 (KBN_CD, KBN_KANJI) VALUES ('1','Y');"
        "INSERT INTO KUBUN3 (KBN_CD, KBN_KANJI) VALUES ('9','T');"
        "INSERT INTO MASTER (ROSEN_CD, KBN_CD, KILO, HAISHI_DATE) VALUES"
        "  ('101001','11',2500.0,NULL),('101002','11',50.0,'1987-04-01 00:00:00'),('102001','12',2510.0,NULL);"));
    per.exec(QStringLiteral("DELETE FROM JOSHA; INSERT INTO TOSHI (NEN) VALUES (2020), (2021);"
                            "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES"
                            "  ('101001','2021-03-31 00:00:00',2499.0),('101002','2021-04-01 00:00:00',50.0),"
                            "  ('102001','2020-05-01 00:00:00',2500.5);"));
}

QStringList buttonNames(QWidget* w) {
    QStringList out;
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->window() == w) // not the buttons of the screen's own dialogs
            out << b->objectName() + QLatin1Char('=') + b->text() +
                       (b->isHidden() ? QStringLiteral("(hidden)") : QString());
    return out;
}

QPushButton* button(QWidget* w, const char* name) {
    auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name));
    if (!b)
        qFatal("no button %s", name);
    return b;
}

// Whether the wait cursor was up while the engine wrote a row: an SQL function called by a trigger looks.
QStringList g_cursorSeen;
void probeCursor(sqlite3_context* context, int, sqlite3_value**) {
    g_cursorSeen << (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor
                         ? QStringLiteral("wait")
                         : QStringLiteral("normal"));
    sqlite3_result_null(context);
}

int registerProbe(sqlite3* db, char**, const sqlite3_api_routines*) {
    return sqlite3_create_function(db, "probe_cursor", 0, SQLITE_UTF8, nullptr, &probeCursor, nullptr, nullptr);
}

QString cell(ui::DBGrid* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

} // namespace

class TestScreens : public QObject, public test::TempDatabases {
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

    void classificationScreenLayout() {
        tally::THyoji screen;
        QCOMPARE(screen.windowTitle(), QStringLiteral("分類ごとの集計"));
        QCOMPARE(buttonNames(&screen), QStringList({"BitBtnZ=全零(&Z)", "BitBtnR=路線(&R)", "BitBtnJ=乗車(&J)",
                                                    "BitBtnW=割合(&W)", "BitBtnD=日付(&D)", "BitBtnG1=旅客(&N)",
                                                    "BitBtnAll=一括実行(&A)", "BitBtnH=ﾍﾙﾌﾟ(&H)", "BitBtnE=終了(&E)"}));
        auto* nav = screen.findChild<ui::DBNavigator*>(QStringLiteral("DBNavigator"));
        QVERIFY(nav);
        QCOMPARE(nav->visibleButtons(), int(ui::DBNavigator::MoveButtons));
        ui::DBGrid* g1 = screen.grid(1);
        QCOMPARE(g1->objectName(), QStringLiteral("DBGrid1"));
        QVERIFY(g1->isReadOnly() && g1->testOption(ui::DBGrid::Titles));
        QVERIFY(screen.grid(2)->isReadOnly() && !screen.grid(2)->testOption(ui::DBGrid::Titles));
        QVERIFY(!screen.grid(3)->testOption(ui::DBGrid::Titles));
        QStringList titles;
        for (int c = 0; c < g1->model()->columnCount(); ++c)
            titles << g1->model()->headerData(c, Qt::Horizontal).toString().trimmed();
        QCOMPARE(titles, QStringList({"", "", "路線キロ", "乗車キロ", "乗車率", "完乗年月日"}));
        QVERIFY(!screen.findChild<QLabel*>(QStringLiteral("Panel1")));
    }

    void stepsThroughTheButtons() {
        tally::THyoji screen;
        for (const char* b : {"BitBtnZ", "BitBtnR", "BitBtnJ", "BitBtnW", "BitBtnD"})
            button(&screen, b)->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
        // The grids show the new values from their first rows.
        QCOMPARE(screen.smallGroups().recNo(), 0);
        QCOMPARE(cell(screen.grid(1), 0, 2), QStringLiteral("2,500.0"));
        QCOMPARE(cell(screen.grid(1), 0, 3), QStringLiteral("2,549.0"));
        QCOMPARE(cell(screen.grid(1), 0, 5), QStringLiteral("2021-04-01"));
        QCOMPARE(cell(screen.grid(1), 1, 4), QStringLiteral("99.62"));
        QCOMPARE(cell(screen.grid(3), 0, 2), QStringLiteral("5,010.0"));
        button(&screen, "BitBtnZ")->click();
        QCOMPARE(cell(screen.grid(1), 0, 2), QStringLiteral("0.0"));
        QCOMPARE(cell(screen.grid(1), 0, 5), QString());
    }

    void failedStepIsShownAndUndone() {
        tally::THyoji screen;
        button(&screen, "BitBtnR")->click();
        m_ref->exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON BUNRUI2 BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        for (const char* b : {"BitBtnZ", "BitBtnJ"})
            button(&screen, b)->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 2);
        QVERIFY(m_dialogs->requests(ui::DialogKind::Critical).at(0).text.contains(QStringLiteral("refused")));
        QCOMPARE(cell(screen.grid(1), 0, 2), QStringLiteral("2,500.0"));
        QCOMPARE(cell(screen.grid(1), 0, 3), QString()); // never tallied, and the failed steps left it so
        QCOMPARE(screen.grid(1)->isVisibleTo(&screen), true);
    }

    void waitCursorExceptForClearing_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("seen");
        QTest::newRow("classification Z") << "THyoji"
                                          << "BUNRUI2"
                                          << "BitBtnZ"
                                          << "normal";
        QTest::newRow("classification R") << "THyoji"
                                          << "BUNRUI2"
                                          << "BitBtnR"
                                          << "wait";
        QTest::newRow("classification D") << "THyoji"
                                          << "BUNRUI2"
                                          << "BitBtnD"
                                          << "wait";
        QTest::newRow("category Z") << "THyojiU"
                                    << "KUBUN2"
                                    << "BitBtnZ"
                                    << "normal";
        QTest::newRow("category J") << "THyojiU"
                                    << "KUBUN2"
                                    << "BitBtnJ"
                                    << "wait";
        QTest::newRow("year Z") << "THYOJI2"
                                << "TOSHI2"
                                << "BitBtnZ"
                                << "normal";
        QTest::newRow("year C") << "THYOJI2"
                                << "TOSHI2"
                                << "BitBtnC"
                                << "wait";
    }
    void waitCursorExceptForClearing() {
        QFETCH(QString, screen);
        QFETCH(QString, table);
        QFETCH(QString, button);
        QFETCH(QString, seen);
        // Every connection opened from now on knows the probe; the screen opens its own.
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&registerProbe));
        std::unique_ptr<QWidget> w(screen == QLatin1String("THyoji")    ? static_cast<QWidget*>(new tally::THyoji)
                                   : screen == QLatin1String("THyojiU") ? static_cast<QWidget*>(new tally::THyojiU)
                                                                        : static_cast<QWidget*>(new tally::THYOJI2));
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&registerProbe));
        m_ref->exec(
            QStringLiteral("CREATE TRIGGER probe AFTER UPDATE ON %1 BEGIN SELECT probe_cursor(); END").arg(table));
        g_cursorSeen.clear();
        w->findChild<QPushButton*>(button)->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
        QVERIFY(!g_cursorSeen.isEmpty());
        QCOMPARE(g_cursorSeen.last(), seen);
        QVERIFY(!QApplication::overrideCursor());
    }

    void chartShowsTheStoredValues() {
        tally::THyoji screen;
        for (const char* b : {"BitBtnR", "BitBtnJ"})
            button(&screen, b)->click();
        QImage drawn;
        QString panel;
        m_dialogs->onExec([&](QDialog& d) {
            auto* graph = qobject_cast<tally::TGraph*>(&d);
            if (!graph)
                return 0;
            graph->redraw();
            drawn = graph->image();
            auto* east = graph->findChild<QLabel*>(QStringLiteral("PanelE"));
            panel = east->text() + east->palette().color(QPalette::Window).name() +
                    east->palette().color(QPalette::WindowText).name();
            return int(QDialog::Accepted);
        });
        button(&screen, "BitBtnG1")->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Exec), 1);
        QCOMPARE(drawn.size(), QSize(433, 248));
        // Row 1: 2,500.0 / 2,549.0 km (ridden beyond the route); row 2: 2,510.0 / 2,500.5 km -> R = 124.
        QCOMPARE(QColor(drawn.pixel(126, 20)).name(), QStringLiteral("#00ff00"));
        QCOMPARE(QColor(drawn.pixel(123, 60)).name(), QStringLiteral("#00ff00"));
        QCOMPARE(QColor(drawn.pixel(124, 60)).name(), QStringLiteral("#ff0000"));
        QCOMPARE(panel, QStringLiteral("東日本#378640#ffffff"));
    }

    void categoryScreen() {
        tally::THyojiU screen;
        QCOMPARE(screen.windowTitle(), QStringLiteral("区分ごとの集計"));
        QCOMPARE(buttonNames(&screen),
                 QStringList({"BitBtnZ=全零(&Z)", "BitBtnR=路線(&R)", "BitBtnJ=乗車(&J)", "BitBtnW=割合(&W)",
                              "BitBtnD=日付(&D)", "BitBtnAll=一括実行(&A)", "BitBtnH=ﾍﾙﾌﾟ(&H)", "BitBtnE=終了(&E)"}));
        auto* panel = screen.findChild<QLabel*>(QStringLiteral("Panel1"));
        QVERIFY(panel);
        QCOMPARE(panel->text(), QStringLiteral("ただいま計算中．．"));
        QCOMPARE(screen.grid(1)->parentWidget(), panel);
        for (const char* b : {"BitBtnZ", "BitBtnR", "BitBtnJ", "BitBtnW", "BitBtnD"})
            button(&screen, b)->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
        QVERIFY(screen.grid(1)->isVisibleTo(&screen));
        QCOMPARE(cell(screen.grid(1), 0, 3), QStringLiteral("2,549.0"));
        QCOMPARE(cell(screen.grid(1), 0, 5), QStringLiteral("2021-04-01"));
        QCOMPARE(cell(screen.grid(2), 0, 2), QStringLiteral("5,010.0"));
    }

    void yearScreenReadsTheRangeAtEveryActivation_data() {
        QTest::addColumn<QString>("stored"); // empty: no key
        QTest::addColumn<bool>("calendar");
        QTest::newRow("absent") << QString() << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("4") << "4" << false;
        QTest::newRow("7") << "7" << false;
        QTest::newRow("-1") << "-1" << true;
    }
    void yearScreenReadsTheRangeAtEveryActivation() {
        QFETCH(QString, stored);
        QFETCH(bool, calendar);
        tally::THYOJI2 screen;
        screen.fiscalButton()->setChecked(calendar); // the opposite of what the stored value selects
        if (!stored.isEmpty())
            settings::writeString(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), stored);
        screen.activated();
        QCOMPARE(screen.calendarButton()->isChecked(), calendar);
        QCOMPARE(screen.fiscalButton()->isChecked(), !calendar);
    }

    void yearScreenTallies() {
        tally::THYOJI2 screen;
        QCOMPARE(screen.windowTitle(), QStringLiteral("年(年度)別の集計"));
        QCOMPARE(buttonNames(&screen), QStringList({"BitBtnZ=全零(&Z)", "BitBtnC=集計(&C)", "BitBtnAll=一括実行(&A)",
                                                    "BitBtnY=年の追加(&Y)", "BitBtnH=ﾍﾙﾌﾟ(&H)", "BitBtnE=終了(&E)"}));
        QCOMPARE(screen.calendarButton()->text(), QStringLiteral("1～12月"));
        QCOMPARE(screen.fiscalButton()->text(), QStringLiteral("4～3月"));
        // The range and its choices are in the size of the buttons beside them.
        for (QWidget* w :
             {static_cast<QWidget*>(screen.findChild<QGroupBox*>(QStringLiteral("GroupBoxS"))),
              static_cast<QWidget*>(screen.calendarButton()), static_cast<QWidget*>(screen.fiscalButton())})
            QCOMPARE(w->font().pixelSize(), 16);
        screen.resize(900, 570);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        for (QRadioButton* r : {screen.calendarButton(), screen.fiscalButton()}) // captions not cut off
            QVERIFY2(r->width() >= r->sizeHint().width(), qPrintable(r->text()));
        QCOMPARE(screen.grid(1)->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("年(度)"));
        screen.activated();
        screen.fiscalButton()->setChecked(true);
        button(&screen, "BitBtnC")->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
        QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), 4);
        QCOMPARE(screen.years().asInteger(QStringLiteral("NEN")), 2021); // on the last row
        QCOMPARE(cell(screen.grid(1), 0, 1), QStringLiteral("2"));       // 2020-05-01 and 2021-03-31
        QCOMPARE(cell(screen.grid(1), 1, 2), QStringLiteral("50.0"));
        QCOMPARE(cell(screen.grid(2), 0, 1), QStringLiteral("3"));
        QVERIFY(screen.grid(1)->isVisibleTo(&screen));
        button(&screen, "BitBtnZ")->click();
        QCOMPARE(cell(screen.grid(1), 0, 1), QStringLiteral("0"));
        QCOMPARE(cell(screen.grid(2), 0, 2), QStringLiteral("0.0"));
        // A failed tally leaves the stored range alone.
        screen.calendarButton()->setChecked(true);
        m_per->exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON TOSHI BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        button(&screen, "BitBtnC")->click();
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 1);
        QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), 4);
    }

    // 一括実行 leaves the same tables as pressing the steps one after the other, on every tally screen.
    void runAllEqualsTheStepsInTurn() {
        auto snapshot = [&] {
            QStringList rows;
            for (const char* sql :
                 {"SELECT * FROM BUNRUI", "SELECT * FROM BUNRUI2", "SELECT * FROM BUNRUI3", "SELECT * FROM KUBUN",
                  "SELECT * FROM KUBUN2", "SELECT * FROM KUBUN3", "SELECT * FROM TOSHI2"}) {
                Statement st(*m_ref, QString::fromLatin1(sql) + QStringLiteral(" ORDER BY 1"));
                while (st.step())
                    for (int c = 0; c < st.columnCount(); ++c)
                        rows << st.columnText(c);
            }
            Statement st(*m_per, QStringLiteral("SELECT * FROM TOSHI ORDER BY 1"));
            while (st.step())
                for (int c = 0; c < st.columnCount(); ++c)
                    rows << st.columnText(c);
            return rows;
        };
        tally::THyoji byClass;
        tally::THyojiU byCategory;
        tally::THYOJI2 byYear;
        for (const char* step : {"BitBtnZ", "BitBtnR", "BitBtnJ", "BitBtnW", "BitBtnD"}) {
            button(&byClass, step)->click();
            button(&byCategory, step)->click();
        }
        button(&byYear, "BitBtnZ")->click();
        button(&byYear, "BitBtnC")->click();
        const QStringList stepByStep = snapshot();
        for (QWidget* w : std::initializer_list<QWidget*>{&byClass, &byCategory, &byYear})
            button(w, "BitBtnZ")->click();
        QVERIFY(snapshot() != stepByStep);
        for (QWidget* w : std::initializer_list<QWidget*>{&byClass, &byCategory, &byYear})
            button(w, "BitBtnAll")->click();
        QCOMPARE(snapshot(), stepByStep);
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
        // The order is written under the buttons.
        QVERIFY(byClass.findChild<QLabel*>(QStringLiteral("LabelOrder"))
                    ->text()
                    .contains(QStringLiteral("全零→路線→乗車→割合→日付")));
    }

    // The years with rides come into the year table once, calendar or fiscal; the screen says when none is there.
    void yearsWithRidesAdded_data() {
        QTest::addColumn<int>("startMonth");
        QTest::addColumn<QList<int>>("years");
        QTest::newRow("calendar") << 1 << QList<int>{2020, 2021};
        QTest::newRow("fiscal") << 4 << QList<int>{2019, 2021};
    }
    void yearsWithRidesAdded() {
        QFETCH(int, startMonth);
        QFETCH(QList<int>, years);
        m_per->exec(QStringLiteral("DELETE FROM TOSHI; DELETE FROM JOSHA; INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, "
                                   "JOSHA_KILO) VALUES ('101001','2020-03-31 00:00:00',1.0),"
                                   "('101001','2021-04-01 00:00:00',2.0),('102001','2021-05-01 00:00:00',3.0)"));
        QVERIFY(!tally::anyListedYearHasRides(m_per, startMonth));
        QCOMPARE(tally::addYearsWithRides(m_per, startMonth), int(years.size()));
        QCOMPARE(tally::addYearsWithRides(m_per, startMonth), 0); // nothing twice
        QList<int> stored;
        Statement st(*m_per, QStringLiteral("SELECT NEN FROM TOSHI ORDER BY NEN"));
        while (st.step())
            stored << int(st.columnInt(0));
        QCOMPARE(stored, years);
        QVERIFY(tally::anyListedYearHasRides(m_per, startMonth));
    }

    // Every large category's subtotal names what it covers, and what no subtotal covers is said.
    void categorySubtotalsSayWhatTheyCover() {
        m_ref->exec(QStringLiteral("INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES ('51','路面')"));
        QCOMPARE(tally::categoryCoverText(*m_ref),
                 QStringLiteral("小計の内訳：Y＝y・z。どの小計にも入らない区分：路面。"));
    }

    void registeredForTheMenuCommands() {
        tally::registerScreens();
        for (const char* command : {"ActionShukeiBunrui", "ActionShukeiKubun", "ActionShukeiToshi"}) {
            ScreenFactory factory = screenFactory(QString::fromLatin1(command));
            QVERIFY(factory);
            std::unique_ptr<QWidget> screen(factory(nullptr));
            QVERIFY(qobject_cast<Screen*>(screen.get()));
        }
    }
};

QTEST_MAIN(TestScreens)
#include "test_screens.moc"
