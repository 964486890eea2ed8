#pragma once

#include "data/cursor.h"
#include "ui/cursortablemodel.h"
#include "ui/dbkit.h"

#include <QHash>
#include <QTableView>

namespace tabi::ui {

class GridDelegate;

// A grid over a table cursor: one row per record, one column per field that is not hidden. The grid's current
// row and the cursor's current record follow each other. Per-grid options decide editing, the title row, the
// row indicator, lines, Tab between cells, the delete question and the dropping of an unchanged new row.
class DBGrid : public QTableView, public BoundControl {
    Q_OBJECT
public:
    enum Option {
        Editing = 0x1,        // cells can be edited; Insert, Ctrl+Delete and Down past the last row act on records
        Titles = 0x2,         // the title row with the fields' display labels
        Indicator = 0x4,      // the row indicator column: current, being edited, being inserted
        ColLines = 0x8,       // lines between columns
        RowLines = 0x10,      // lines between rows
        Tabs = 0x20,          // Tab moves between cells instead of leaving the grid
        ConfirmDelete = 0x40, // Ctrl+Delete asks first
        CancelOnExit = 0x80,  // leaving the grid drops an unchanged new row
        RowSelect = 0x100,    // the whole current row is highlighted
    };
    Q_DECLARE_FLAGS(Options, Option)
    static constexpr int kDefaultOptions =
        Editing | Titles | Indicator | ColLines | RowLines | Tabs | ConfirmDelete | CancelOnExit;

    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setTableCursor(TableCursor* cursor);
    TableCursor* tableCursor() const { return m_model->tableCursor(); }
    CursorTableModel* cursorModel() const { return m_model; }

    void setOptions(Options options);
    Options options() const { return m_options; }
    void setOption(Option option, bool on = true);
    bool testOption(Option option) const { return m_options.testFlag(option); }

    // A read-only grid: no editing, the button-face colour. It still takes the focus by Tab, so that its rows can be
    // browsed from the keyboard (Tab then leaves it for the next control).
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    // Column widths from the fields' widths in characters of this grid's font (and the titles when shown).
    void resetColumnWidths();
    // Widens the field's column, where needed, so that sample shows whole (a mark the screen writes); kept
    // across later resets of the widths.
    void fitColumnTo(const QString& fieldName, const QString& sample);
    int charWidth() const;

    // The last column takes the width the others leave, so the columns fill the grid exactly and nothing scrolls
    // sideways.
    void setLastColumnFills(bool fills);

    // Makes the grid's current row the cursor's (after the cursor moved while the grid was not told).
    void followCursor();

    void flushPending() override;
    void detachCursor() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    void applyOptions();
    void alignTopRow();
    void fillLastColumn();
    void showCursorRow(int row);
    void startEdit();
    friend class GridDelegate;

    CursorTableModel* m_model;
    GridDelegate* m_delegate;
    Options m_options = Options(kDefaultOptions);
    bool m_readOnly = false;
    bool m_following = false;
    bool m_lastColumnFills = false;
    int m_column = 0;
    QList<int> m_widths;
    QHash<QString, QString> m_fitSamples;
};

} // namespace tabi::ui

Q_DECLARE_OPERATORS_FOR_FLAGS(tabi::ui::DBGrid::Options)
