#pragma once

#include "data/cursor.h"
#include "ui/dbkit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <functional>

class QStandardItemModel;
class QTableView;

namespace tabi::ui {

class FieldWidthLimit;

// The link of one control to one field of a cursor: shows the field whenever the cursor moves or changes, starts
// an edit of the record when the user types, and writes the control's text to the field. Used by the bound
// controls below; a screen with a control of its own kind can use it the same way.
class FieldLink : public CursorObserver, public BoundControl {
public:
    // refresh shows the field's text in the control; pendingText reads what the user typed.
    FieldLink(QWidget* owner, std::function<void()> refresh, std::function<QString()> pendingText);
    ~FieldLink() override;
    FieldLink(const FieldLink&) = delete;
    FieldLink& operator=(const FieldLink&) = delete;

    // Throws tabi::Error when the cursor has no such field.
    void bind(TableCursor* cursor, const QString& fieldName);
    void unbind();
    TableCursor* cursor() const { return m_cursor; }
    int field() const { return m_field; }
    // nullptr until the cursor knows its fields (it has been opened once).
    const FieldDef* fieldDef() const {
        return m_cursor && m_field >= 0 && m_field < m_cursor->fieldCount() ? &m_cursor->fieldDef(m_field) : nullptr;
    }
    QString displayText() const;
    QString rawText() const;

    // The user changed the text: the record goes into edit state (false, and the control shows the field again,
    // when that is refused). Text fields are written at once, other types when the control commits.
    bool userEdited(bool writeNow);
    // Writes the typed text when there is any; errors are shown and leave the text pending. False on error.
    bool commit();
    // Writes text to the field now (starting an edit); throws tabi::Error.
    void write(const QString& text);
    // Drops the typed text and shows the field again.
    void revert();
    bool isPending() const { return m_pending; }

    void flushPending() override;
    void detachCursor() override;
    void cursorEvent(CursorEvent event, int field) override;

private:
    void store(const QString& text); // checks a text field's characters, starts an edit and writes; throws

    QWidget* m_owner;
    std::function<void()> m_refresh;
    std::function<QString()> m_pendingText;
    TableCursor* m_cursor = nullptr;
    int m_field = -1;
    bool m_pending = false;
    bool m_busy = false; // our own write: the events it causes do not overwrite the control
};

// An edit field on one field of the current record. Shows the display text; typing puts the record into edit
// state; the text reaches the field when the field is left, on Enter, or before the navigator posts or moves.
// Escape drops what was typed. Text fields take at most their size in characters (see FieldWidthLimit).
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);
    DBEdit(TableCursor* cursor, const QString& fieldName, QWidget* parent = nullptr);

    void bind(TableCursor* cursor, const QString& fieldName);
    FieldLink& link() { return m_link; }
    // Read-only edit fields are in the button-face colour.
    void setReadOnly(bool readOnly);
    // Paints as a picture (no focus frame, no text cursor): the control grid's panels of other records.
    void setPicture(bool picture) { m_picture = picture; }

    // An edit mask in the program's own notation, "picture;save literals;blank", e.g. "!90:00;1;_" for a time:
    // '0' a required digit, '9' an optional digit, '#' an optional digit or sign, 'L'/'l' a required/optional
    // letter, 'A'/'a' a required/optional letter or digit, 'C'/'c' a required/optional character, '\' takes
    // the next character literally, '!' puts the blanks of optional positions in front; other characters are
    // literals, stored with the text unless the second part is "0". A field left with no position filled is
    // empty (null); one left partly filled is refused with a message naming the field and keeps its text, so
    // the user can complete it or drop it with Escape. An empty mask removes it.
    void setEditMask(const QString& mask);
    QString editMask() const { return m_mask; }
    // The text the field would store: literals dropped when the mask says so; throws tabi::Error when a
    // required position is still blank.
    QString maskedText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    virtual void showField();

    FieldLink m_link;
    bool m_picture = false;

private:
    bool typeSeparator(QChar c);
    bool isMaskInput(int position) const;

    QString m_mask;
    QString m_qtMask;    // the same mask in QLineEdit's notation, one character per position
    QString m_literalAt; // per position: the literal, or a null character for an input position
    bool m_saveLiterals = true;
    bool m_leadingBlanks = false;
    QChar m_blank = QLatin1Char('_');
    FieldWidthLimit* m_width;
    bool m_refused = false; // the last write on editingFinished was refused
};

// A date field ("yyyy-mm-dd"; empty text is null): an edit field that accepts only digits and hyphens.
class DBDateEdit : public DBEdit {
    Q_OBJECT
public:
    explicit DBDateEdit(QWidget* parent = nullptr);
    DBDateEdit(TableCursor* cursor, const QString& fieldName, QWidget* parent = nullptr);
};

// A drop-down of fixed texts that also accepts typed text; the chosen or typed text is written to the field.
class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget* parent = nullptr);
    void bind(TableCursor* cursor, const QString& fieldName);
    void setItems(const QStringList& items);
    FieldLink& link() { return m_link; }
    // A locked box neither takes text nor opens its list.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void showField();
    FieldLink m_link;
    FieldWidthLimit* m_width;
    bool m_readOnly = false;
};

// A drop-down that writes a code field and offers the rows of a second cursor, several of its fields per row
// (for example the category code and name), in a list of a given width and number of rows. The box shows the
// display field of the row whose key equals the code; a code without a row shows empty.
class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget* parent = nullptr);
    ~DBLookupComboBox() override;

    void bind(TableCursor* cursor, const QString& fieldName);
    // keyField: the list field written to the code field; listFields: the columns of the drop-down;
    // displayColumn: which of them the closed box shows.
    void setListSource(TableCursor* list, const QString& keyField, const QStringList& listFields,
                       int displayColumn = 0);
    void setDropDown(int widthPixels, int rows);
    FieldLink& link() { return m_link; }
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    // Reads the list cursor's rows again (done by itself whenever the list cursor's rows change).
    void reloadList();

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct ListWatcher;
    void showField();
    void choose(int row);

    FieldLink m_link;
    TableCursor* m_list = nullptr;
    std::unique_ptr<ListWatcher> m_watcher;
    QString m_keyField;
    QStringList m_listFields;
    QStandardItemModel* m_items;
    QTableView* m_view;
    int m_dropDownWidth = 0;
    bool m_readOnly = false;
    bool m_showing = false;
};

// A read-only text of one field of the current record.
class DBText : public QLabel {
    Q_OBJECT
public:
    explicit DBText(QWidget* parent = nullptr);
    void bind(TableCursor* cursor, const QString& fieldName);
    FieldLink& link() { return m_link; }

private:
    FieldLink m_link;
};

} // namespace tabi::ui
