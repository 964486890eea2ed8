#pragma once

#include "data/cursor.h"
#include "ui/dbkit.h"

#include <QWidget>
#include <functional>

class QToolButton;

namespace tabi::ui {

// A row of up to ten buttons acting on one cursor: first, prior, next, last, insert, delete, edit, post, cancel,
// refresh. Each button is 36 pixels wide; the navigator is as wide as its visible buttons. Buttons are enabled by
// the cursor's state, and every press runs as a command, so an engine error is shown and the record stays as it was.
//
// The buttons have keys that work while the focus is anywhere inside the navigator's key scope (the part of the
// screen whose fields it edits): Ctrl+Home first, Ctrl+PgUp prior, Ctrl+PgDn next, Ctrl+End last, Ctrl+Ins insert,
// Ctrl+Del delete, Ctrl+Enter post, Esc cancel. Where scopes nest (a group of detail fields inside a record card),
// the innermost scope around the focus decides. A key acts only for a visible button of an enabled, visible
// navigator; Esc acts only when no control inside the scope took it first (a field dropping its typed text).
class DBNavigator : public QWidget, public CursorObserver, public BoundControl {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int kButtonCount = 10;
    static constexpr int kButtonWidth = 36;
    static constexpr int kDefaultHeight = 25; // a screen may make it taller
    enum VisibleSet : int {
        AllButtons = 0x3ff,
        MoveButtons = 0x00f, // first to last
        EditButtons = 0x3f0, // insert to refresh
    };

    explicit DBNavigator(QWidget* parent = nullptr);
    ~DBNavigator() override;

    void setTableCursor(TableCursor* cursor);
    TableCursor* tableCursor() const { return m_cursor; }

    // Bit i stands for Button i; see VisibleSet for the usual sets. The width follows.
    void setVisibleButtons(int buttons);
    int visibleButtons() const { return m_visible; }

    // The button's hint ("最初の行", ...) and its key ("Ctrl+Home"); a button's tooltip and status tip show both.
    static QString hint(Button button);
    static QString keyText(Button button);
    // The widget inside which the navigator's keys work (none until set). Replaces an earlier scope.
    void setKeyScope(QWidget* scope);
    QWidget* keyScope() const { return m_scope; }
    // The navigator whose scope holds widget most closely (within its window), or null.
    static DBNavigator* forWidget(const QWidget* widget);
    // Runs the key's button when key and modifiers are one of the navigator keys and the button is shown; true
    // when the key belongs to the navigator (whether or not the button could act).
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);

    // Ask before deleting (on by default).
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }
    // Runs, after the confirmation, instead of the cursor's own delete: a record whose dependent rows go with it.
    // An empty handler restores the plain delete.
    void setDeleteHandler(std::function<void(TableCursor&)> handler) { m_deleteHandler = std::move(handler); }

    QToolButton* button(Button button) const { return m_buttons[button]; }
    // Runs the button's action as if it were pressed (whether or not it is enabled); false when it failed.
    bool click(Button button);

    // Enabled states from the cursor (called on every cursor event).
    void updateButtons();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    void cursorEvent(CursorEvent event, int field) override;
    void flushPending() override {}
    void detachCursor() override;

Q_SIGNALS:
    // After a button's action ran (successfully or not).
    void clicked(tabi::ui::DBNavigator::Button button);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutButtons();
    void act(Button button);

    TableCursor* m_cursor = nullptr;
    QToolButton* m_buttons[kButtonCount] = {};
    int m_visible = AllButtons;
    QWidget* m_scope = nullptr;
    bool m_confirmDelete = true;
    std::function<void(TableCursor&)> m_deleteHandler;
};

} // namespace tabi::ui
