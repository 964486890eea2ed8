#pragma once

#include "data/cursor.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <functional>

class QWidget;

namespace tabi::ui {

// The records of a table cursor as a table: one row per record in the cursor's order, one column per field that
// is not hidden, in declared order. Rows are read in blocks as they are shown and cached until the cursor's rows
// change, so a large table costs only what is on screen. The current record's row shows the cursor's own values
// (its edit buffer while editing); an unposted new record shows as an extra row where it will be inserted.
class CursorTableModel : public QAbstractTableModel, public CursorObserver {
    Q_OBJECT
public:
    explicit CursorTableModel(TableCursor* cursor = nullptr, QObject* parent = nullptr);
    ~CursorTableModel() override;

    void setTableCursor(TableCursor* cursor);
    TableCursor* tableCursor() const { return m_cursor; }
    // Columns again from the cursor's fields (after a screen changed labels or hidden flags).
    void refreshColumns();
    int fieldOfColumn(int column) const { return m_columns.value(column, -1); }
    int columnOfField(int field) const { return int(m_columns.indexOf(field)); }

    void setEditable(bool editable) { m_editable = editable; }
    bool isEditable() const { return m_editable; }
    // What a screen lays over the cells (a colour for some rows, one text made of several fields): asked first for
    // every role; an invalid result leaves the cell as the cursor shows it.
    using CellOverride = std::function<QVariant(int row, int column, int role)>;
    void setCellOverride(CellOverride cellOverride);
    // Every cell shown again (after what the override lays over them changed).
    void refreshCells();
    // Parent of the error box shown when a cell edit does not convert.
    void setErrorOwner(QWidget* owner) { m_errorOwner = owner; }

    // The row of the cursor's current record (the new row while inserting); -1 when there is none.
    int currentRow() const;
    // Makes the record shown in a row current. A record being inserted or edited is posted first when it was
    // changed and dropped when it was not. Throws tabi::Error.
    void moveToRow(int row);
    // Display text of any field of the cursor (hidden ones too) as a row shows it; "" past the rows.
    QString fieldText(int row, int field) const;
    // Writes a cell's text through the cursor (starting an edit when needed). Throws tabi::Error.
    void writeCell(const QModelIndex& index, const QString& text);

    static constexpr int kBlockRows = 128;
    int fetchCalls() const { return m_fetchCalls; }
    int rowsFetched() const { return m_rowsFetched; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void cursorEvent(CursorEvent event, int field) override;

Q_SIGNALS:
    // The cursor's current record shows in another row (or the rows were read again).
    void currentRowChanged(int row);

private:
    void resetRows();
    void readColumns();
    void dropRows();
    const CursorRow* fetchedRow(int row) const;
    int recordIndexOfRow(int row) const;

    TableCursor* m_cursor = nullptr;
    QList<int> m_columns;
    int m_fieldCount = 0;
    bool m_editable = false;
    CellOverride m_override;
    QPointer<QWidget> m_errorOwner;

    mutable int m_rows = -1;
    mutable int m_current = -2; // -2: not yet asked of the cursor
    mutable quint64 m_cacheGeneration = 0;
    mutable QHash<int, QVector<CursorRow>> m_blocks;
    mutable QList<int> m_blockOrder; // least recently read first
    mutable int m_fetchCalls = 0;
    mutable int m_rowsFetched = 0;
};

} // namespace tabi::ui
