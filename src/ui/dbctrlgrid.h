#pragma once

#include "data/cursor.h"
#include "ui/cursortablemodel.h"
#include "ui/dbkit.h"

#include <QAbstractScrollArea>

namespace tabi::ui {

class CtrlGridPanel;

// A control grid: one panel of bound controls repeated for each record of a cursor, a fixed number of panels
// shown at once. The screen places its bound controls (DBEdit, DBText, DBComboBox on the grid's cursor) on
// panel(); that panel is live and stands on the current record, the others are pictures of the same panel
// showing their own records. Clicking another panel makes its record current; the scroll bar scrolls records.
class DBCtrlGrid : public QAbstractScrollArea, public BoundControl {
    Q_OBJECT
public:
    explicit DBCtrlGrid(QWidget* parent = nullptr);
    ~DBCtrlGrid() override;

    void setTableCursor(TableCursor* cursor);
    TableCursor* tableCursor() const { return m_model->tableCursor(); }
    CursorTableModel* cursorModel() const { return m_model; }

    // Panels shown at once, and the size of one panel; the grid's viewport is that many panels high.
    void setPanelCount(int panels);
    int panelCount() const { return m_panels; }
    void setPanelSize(const QSize& size);
    QSize panelSize() const { return m_panelSize; }

    // The panel on which the screen places its bound controls.
    QWidget* panel() const;
    int topRow() const { return m_top; }
    // The record shown in a panel slot (0 = top); -1 when the slot is empty.
    int rowOfPanel(int slot) const;
    // Makes the record shown in a slot current (posting or dropping a record being edited first).
    bool selectPanel(int slot);

    QSize sizeHint() const override;

    void flushPending() override {}
    void detachCursor() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void follow();
    void paintRecord(QPainter& painter, int row, const QPoint& at);

    CursorTableModel* m_model;
    CtrlGridPanel* m_panel;
    int m_panels = 4;
    QSize m_panelSize{200, 60};
    int m_top = 0;
    bool m_following = false;
};

} // namespace tabi::ui
