// Every screen family worked from the keyboard alone: the navigator keys act on the navigator whose part of the
// screen holds the focus, read-only grids take the focus by Tab, and the focus stays where a person expects it.

#include "data/database.h"
#include "records/cardscreens.h"
#include "records/itinerary.h"
#include "records/mastereditors.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"
#include "tally/checkscreens.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"

#include <QApplication>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace tabi;

namespace {

std::unique_ptr<Screen> makeScreen(const QString& name) {
    if (name == QLatin1String("TMijo"))
        return std::make_unique<tally::TMijo>();
    if (name == QLatin1String("TFSAKUDO"))
        return std::make_unique<records::TFSAKUDO>();
    if (name == QLatin1String("TRFORM"))
        return std::make_unique<records::TRFORM>();
    return std::make_unique<records::TBunrui>();
}

// "list", "records", "detail", "itineraries", "legs" or "table".
TableCursor& cursorOf(Screen& s, const QString& which) {
    if (auto* l = qobject_cast<ui::CheckListScreen*>(&s))
        return l->list();
    if (auto* c = qobject_cast<records::RecordCard*>(&s))
        return which == QLatin1String("detail") ? c->detail() : c->records();
    if (auto* t = qobject_cast<records::TRFORM*>(&s))
        return which == QLatin1String("legs") ? t->legs() : t->itineraries();
    return static_cast<records::MasterGridEditor&>(s).table();
}

QString stateName(CursorState s) {
    switch (s) {
    case CursorState::Browse:
        return QStringLiteral("Browse");
    case CursorState::Edit:
        return QStringLiteral("Edit");
    case CursorState::Insert:
        return QStringLiteral("Insert");
    case CursorState::Inactive:
        break;
    }
    return QStringLiteral("Inactive");
}

// Keys as written in the table: C+Home, C+End, C+PgUp, C+PgDn, C+Ins, C+Del, C+Enter, Esc, Tab, Down, or
// "t:text" for typed ASCII text. Each goes to the widget that has the focus at that moment.
void press(const QString& token) {
    static const QHash<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys{
        {QStringLiteral("C+Home"), {Qt::Key_Home, Qt::ControlModifier}},
        {QStringLiteral("C+End"), {Qt::Key_End, Qt::ControlModifier}},
        {QStringLiteral("C+PgUp"), {Qt::Key_PageUp, Qt::ControlModifier}},
        {QStringLiteral("C+PgDn"), {Qt::Key_PageDown, Qt::ControlModifier}},
        {QStringLiteral("C+Ins"), {Qt::Key_Insert, Qt::ControlModifier}},
        {QStringLiteral("C+Del"), {Qt::Key_Delete, Qt::ControlModifier}},
        {QStringLiteral("C+Enter"), {Qt::Key_Return, Qt::ControlModifier}},
        {QStringLiteral("Esc"), {Qt::Key_Escape, Qt::NoModifier}},
        {QStringLiteral("Tab"), {Qt::Key_Tab, Qt::NoModifier}},
        {QStringLiteral("Down"), {Qt::Key_Down, Qt::NoModifier}},
    };
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus, qPrintable(token));
    if (token.startsWith(QLatin1String("t:"))) {
        for (QChar c : token.mid(2)) // each to the focus of the moment: a grid's cell editor opens on the first
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        return;
    }
    QVERIFY2(keys.contains(token), qPrintable(token));
    const auto [key, mods] = keys.value(token);
    QTest::keyClick(focus, key, mods);
}

// The object name of the focused control, or of the nearest named widget above it (a grid's cell editor).
QString focusName() {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return QStringLiteral("(none)");
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempEnv> m_env;
    std::unique_ptr<test::DialogAnswerer> m_dialogs;

private Q_SLOTS:
    void init() {
        m_env = std::make_unique<test::TempEnv>();
        m_dialogs = std::make_unique<test::DialogAnswerer>();
        auto ref = Database::open(DbKind::Reference);
        ref->exec(QStringLiteral("DELETE FROM CFM_MIJO; INSERT INTO CFM_MIJO (ROSEN_CD, SHOZOKU) VALUES "
                                 "('101001', 'a'), ('101002', 'b'), ('101003', 'c');"
                                 "DELETE FROM BUNRUI; INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES "
                                 "('101', 'x'), ('102', 'y'), ('103', 'z');"));
        auto per = Database::open(DbKind::Personal);
        per->exec(
            QStringLiteral("INSERT INTO RYOTEIM (RYOTEI_CD, RYOTEI_NAME) VALUES ('A', '北へ'), ('B', '西へ');"
                           "INSERT INTO RYOTEID (RYOTEI_CD, HATSU_EKI) VALUES ('A', '一'), ('A', '二'), ('B', '乙');"));
    }
    void cleanup() {
        m_dialogs.reset();
        m_env.reset();
    }

    // Keys pressed one after another, starting with the focus on a named control; then the state of one cursor
    // ("row state") and the control that has the focus.
    void walk_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("cursor");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("focusAfter");
        // List screens: a read-only grid, a four-button navigator.
        QTest::newRow("list: last, prior") << "TMijo"
                                           << "DBGrid1"
                                           << "C+End C+PgUp"
                                           << "list"
                                           << "1 Browse"
                                           << "DBGrid1";
        QTest::newRow("list: first from a button") << "TMijo"
                                                   << "BitBtnE"
                                                   << "C+End C+Home"
                                                   << "list"
                                                   << "0 Browse"
                                                   << "BitBtnE";
        QTest::newRow("list: no insert button, no insert") << "TMijo"
                                                           << "DBGrid1"
                                                           << "C+Ins C+Del"
                                                           << "list"
                                                           << "0 Browse"
                                                           << "DBGrid1";
        QTest::newRow("list: rows by arrow") << "TMijo"
                                             << "DBGrid1"
                                             << "Down Down"
                                             << "list"
                                             << "2 Browse"
                                             << "DBGrid1";
        // Record cards: the header navigator from the header and the page, the first-ride navigator from its group.
        QTest::newRow("card: next from a header field") << "TFSAKUDO"
                                                        << "EditJIGYOSHA"
                                                        << "C+PgDn C+PgDn"
                                                        << "records"
                                                        << "2 Browse"
                                                        << "EditJIGYOSHA";
        QTest::newRow("card: last from the page") << "TFSAKUDO"
                                                  << "EditBIKO1"
                                                  << "C+End C+Home"
                                                  << "records"
                                                  << "0 Browse"
                                                  << "EditBIKO1";
        QTest::newRow("card: typing, Esc drops the text, Esc the edit") << "TFSAKUDO"
                                                                        << "EditBIKO1"
                                                                        << "t:x Esc Esc"
                                                                        << "records"
                                                                        << "0 Browse"
                                                                        << "EditBIKO1";
        QTest::newRow("card: insert in the group") << "TFSAKUDO"
                                                   << "EditBIKO"
                                                   << "C+Ins"
                                                   << "detail"
                                                   << "-1 Insert"
                                                   << "EditBIKO";
        QTest::newRow("card: group keys leave the record") << "TFSAKUDO"
                                                           << "EditBIKO"
                                                           << "C+Ins C+PgDn"
                                                           << "records"
                                                           << "0 Browse"
                                                           << "EditBIKO";
        QTest::newRow("card: post in the group") << "TFSAKUDO"
                                                 << "EditJOSHA_DATE"
                                                 << "C+Ins t:2024-05-06 C+Enter"
                                                 << "detail"
                                                 << "0 Browse"
                                                 << "EditJOSHA_DATE";
        QTest::newRow("card: Esc cancels the group's insert") << "TFSAKUDO"
                                                              << "EditBIKO"
                                                              << "C+Ins t:x Esc Esc"
                                                              << "detail"
                                                              << "-1 Browse"
                                                              << "EditBIKO";
        // Itinerary: the header navigator from the header, the legs' navigator from the legs.
        QTest::newRow("itinerary: next itinerary") << "TRFORM"
                                                   << "DBEditName"
                                                   << "C+PgDn"
                                                   << "itineraries"
                                                   << "1 Browse"
                                                   << "DBEditName";
        QTest::newRow("itinerary: next leg") << "TRFORM"
                                             << "DBEdit5"
                                             << "C+PgDn"
                                             << "legs"
                                             << "1 Browse"
                                             << "DBEdit5";
        QTest::newRow("itinerary: leg keys leave the itinerary") << "TRFORM"
                                                                 << "DBEdit5"
                                                                 << "C+End"
                                                                 << "itineraries"
                                                                 << "0 Browse"
                                                                 << "DBEdit5";
        QTest::newRow("itinerary: insert, type, post a leg") << "TRFORM"
                                                             << "DBEdit5"
                                                             << "C+Ins t:x C+Enter"
                                                             << "legs"
                                                             << "2 Browse"
                                                             << "DBEdit5";
        QTest::newRow("itinerary: new itinerary") << "TRFORM"
                                                  << "DBEditCode"
                                                  << "C+Ins"
                                                  << "itineraries"
                                                  << "-1 Insert"
                                                  << "DBEditCode";
        QTest::newRow("itinerary: Esc with nothing to cancel") << "TRFORM"
                                                               << "DBEditCode"
                                                               << "Esc"
                                                               << "itineraries"
                                                               << "0 Browse"
                                                               << "DBEditCode";
        // Master editors: an editable grid under a ten-button navigator.
        QTest::newRow("editor: last") << "TBunrui"
                                      << "DBGrid1"
                                      << "C+End"
                                      << "table"
                                      << "2 Browse"
                                      << "DBGrid1";
        QTest::newRow("editor: insert, Esc") << "TBunrui"
                                             << "DBGrid1"
                                             << "C+Ins Esc"
                                             << "table"
                                             << "0 Browse"
                                             << "DBGrid1";
        QTest::newRow("editor: delete asks, then deletes") << "TBunrui"
                                                           << "DBGrid1"
                                                           << "C+Del"
                                                           << "table"
                                                           << "0 Browse"
                                                           << "DBGrid1";
        QTest::newRow("editor: post from the cell editor") << "TBunrui"
                                                           << "DBGrid1"
                                                           << "C+Ins t:1 C+Enter"
                                                           << "table"
                                                           << "0 Browse"
                                                           << "DBGrid1";
    }
    void walk() {
        QFETCH(QString, screen);
        QFETCH(QString, focus);
        QFETCH(QString, keys);
        QFETCH(QString, cursor);
        QFETCH(QString, expected);
        QFETCH(QString, focusAfter);
        std::unique_ptr<Screen> s = makeScreen(screen);
        s->show();
        QApplication::setActiveWindow(s.get());
        QVERIFY(QTest::qWaitForWindowActive(s.get()));
        auto* start = s->findChild<QWidget*>(focus);
        QVERIFY(start);
        start->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(start->hasFocus());
        const int rows = cursorOf(*s, cursor).recordCount();
        for (const QString& key : keys.split(QLatin1Char(' ')))
            press(key);
        TableCursor& c = cursorOf(*s, cursor);
        QCOMPARE(
            QStringLiteral("%1 %2").arg(c.state() == CursorState::Insert ? -1 : c.recNo()).arg(stateName(c.state())),
            expected);
        QCOMPARE(focusName(), focusAfter);
        // Deleting asked first; posting a new row stored it; nothing else changed the number of rows.
        int added = keys.contains(QLatin1String("C+Enter")) ? 1 : 0;
        if (keys.contains(QLatin1String("C+Del")) && cursor == QLatin1String("table")) {
            QCOMPARE(m_dialogs->count(ui::DialogKind::Question), 1);
            added = -1;
        }
        QCOMPARE(c.recordCount(), rows + added);
        QCOMPARE(m_dialogs->count(ui::DialogKind::Critical), 0);
    }

    void readOnlyGridsTakeTheFocusByTab() {
        tally::TMijo s;
        s.show();
        QApplication::setActiveWindow(&s);
        QVERIFY(QTest::qWaitForWindowActive(&s));
        QVERIFY(s.grid()->focusPolicy() & Qt::TabFocus);
        // Tab from the last button comes round to the grid.
        auto* exit = s.findChild<QWidget*>(QStringLiteral("BitBtnE"));
        exit->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 12 && !s.grid()->hasFocus(); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(s.grid()->hasFocus());
        // Tab leaves it again rather than moving between its cells.
        QTest::keyClick(s.grid(), Qt::Key_Tab);
        QVERIFY(!s.grid()->hasFocus());
    }

    void hintsNameTheirKeys() {
        records::TRFORM s;
        const QStringList expected{
            "最初の行 (Ctrl+Home)", "前の行 (Ctrl+PgUp)",  "次の行 (Ctrl+PgDn)", "最後の行 (Ctrl+End)",
            "行の挿入 (Ctrl+Ins)",  "行の削除 (Ctrl+Del)", "行の編集",           "行の登録 (Ctrl+Enter)",
            "編集の取り消し (Esc)", "データ更新"};
        for (ui::DBNavigator* nav : {s.itineraryNavigator(), s.legNavigator()})
            for (int i = 0; i < ui::DBNavigator::kButtonCount; ++i) {
                QCOMPARE(nav->button(ui::DBNavigator::Button(i))->toolTip(), expected[i]);
                QCOMPARE(nav->button(ui::DBNavigator::Button(i))->statusTip(), expected[i]);
            }
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
