#pragma once

#include "data/cursor.h"
#include "data/error.h"
#include "ui/command.h"

#include <QString>
#include <QWidget>
#include <exception>
#include <initializer_list>
#include <vector>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

// Pieces shared by the tally and check list screens: the navigator bar, the command column and the scopes a
// step runs in.
namespace tabi::ui {

// A command button of the column: 89 × 33 pixels, 16-pixel caption, added to column.
QPushButton* commandButton(QWidget* parent, QVBoxLayout* column, const char* name, const QString& caption);
// "一括実行(&A)" above the first of steps, which runs them in their order as if pressed one after the other, and
// below the last a line saying that order (order: the steps' names joined, e.g. "全零→路線→乗車→割合→日付").
QPushButton* addRunAll(QWidget* parent, QVBoxLayout* column, const QList<QPushButton*>& steps, const QString& order);

// The screen's root layout, topped by a navigator (objectName DBNavigator) over cursor with the move buttons
// only. topBar, when given, receives the bar's layout (navigator, stretch) so that a screen can add to its right.
QVBoxLayout* rootWithNavigator(QWidget* screen, TableCursor& cursor, QHBoxLayout** topBar = nullptr);

// Runs a command without the wait cursor, showing an error like every other command.
template <class F> bool runQuietly(QWidget* owner, F&& f) {
    try {
        f();
        return true;
    } catch (const Error& e) {
        showCommandError(owner, e.message());
    } catch (const std::exception& e) {
        showCommandError(owner, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

// Hides a widget for the scope's length; shown again however the scope ends.
class HiddenWhile {
public:
    explicit HiddenWhile(QWidget* w) : m_w(w) { m_w->hide(); }
    ~HiddenWhile() { m_w->show(); }
    HiddenWhile(const HiddenWhile&) = delete;
    HiddenWhile& operator=(const HiddenWhile&) = delete;

private:
    QWidget* m_w;
};

// A step works through cursors of its own; the screen's cursors show the stored tables again however the step
// ends (completed or undone), from their first rows or, for toLast, from the last. A cursor that cannot be
// reopened is left to the next command to report.
class ReopenOnExit {
public:
    ReopenOnExit(std::initializer_list<TableCursor*> cursors, TableCursor* toLast = nullptr)
        : m_cursors(cursors), m_toLast(toLast) {}
    ~ReopenOnExit() {
        try {
            for (TableCursor* c : m_cursors) {
                c->reopen();
                if (c == m_toLast)
                    c->last();
            }
        } catch (const Error&) {
        }
    }
    ReopenOnExit(const ReopenOnExit&) = delete;
    ReopenOnExit& operator=(const ReopenOnExit&) = delete;

private:
    std::vector<TableCursor*> m_cursors;
    TableCursor* m_toLast;
};

} // namespace tabi::ui
