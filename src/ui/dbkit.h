#pragma once

#include "data/cursor.h"
#include "data/schema.h"
#include "ui/command.h"

#include <QString>
#include <QVariant>

class QWidget;

// Pieces shared by every data-bound control: how a stored value reads as text, how wide a field is, the
// pending-edit registry through which controls hand their typed text to the cursor before it posts, and the
// scopes that suspend the controls' refreshing during long loops.
namespace tabi::ui {

// A stored value as the grid and edit fields show it, through the field's display format (null gives "").
// The same rules as TableCursor::displayText, for rows read with fetchRows.
QString formatFieldValue(const FieldDef& field, const QVariant& value);
// The text an editor starts from: numbers in plain form (no grouping, full precision) so that an unchanged
// cell writes back the same value; dates and text as displayed.
QString editFieldValue(const FieldDef& field, const QVariant& value);
bool isNumericField(const FieldDef& field);
// Column width in characters: the declared display width, else the text size, else a default for the type.
int fieldWidthChars(const FieldDef& field);

// A control that may hold typed text not yet written to its cursor's field.
class BoundControl {
public:
    virtual ~BoundControl() = default;
    // Writes pending text into the cursor's field; throws tabi::Error when the text does not convert.
    virtual void flushPending() = 0;
    // The cursor is going away: stop observing it and forget it.
    virtual void detachCursor() = 0;
};

void registerBoundControl(TableCursor* cursor, BoundControl* control);
void unregisterBoundControl(TableCursor* cursor, BoundControl* control);

// Writes the pending text of every control bound to the cursor into its fields (throws tabi::Error on a
// conversion error). The navigator does this before each of its commands; a screen that posts or moves the
// cursor by its own code while a bound field may still have focus calls it first.
void updateRecord(TableCursor& cursor);
// Unbinds every control from the cursor. A screen whose cursors die before its widgets (cursors as members,
// widgets as children) calls this for each cursor in its destructor.
void detachControls(TableCursor& cursor);

// Standard confirmation before deleting the current record; true for Yes.
bool confirmDelete(QWidget* parent);

// Read-only look of edit fields and grids: the button-face colour as background, or the normal one again.
void setButtonFaceLook(QWidget* widget, bool buttonFace);

// Suspends the refreshing of every control bound to the cursors for the scope's length (nests).
class SuspendControls {
public:
    explicit SuspendControls(TableCursor& cursor) : m_cursors{&cursor} { cursor.disableControls(); }
    SuspendControls(std::initializer_list<TableCursor*> cursors) : m_cursors(cursors) {
        for (TableCursor* c : m_cursors)
            c->disableControls();
    }
    ~SuspendControls() {
        for (auto it = m_cursors.rbegin(); it != m_cursors.rend(); ++it)
            (*it)->enableControls();
    }
    SuspendControls(const SuspendControls&) = delete;
    SuspendControls& operator=(const SuspendControls&) = delete;

private:
    QList<TableCursor*> m_cursors;
};

// A long loop over cursors: the wait cursor and suspended controls for the scope's length.
class BusyLoop {
public:
    explicit BusyLoop(TableCursor& cursor) : m_suspend(cursor) {}
    BusyLoop(std::initializer_list<TableCursor*> cursors) : m_suspend(cursors) {}

private:
    WaitCursor m_wait;
    SuspendControls m_suspend;
};

} // namespace tabi::ui
