#include "ui/cursortablemodel.h"

#include "data/fieldtext.h"
#include "ui/command.h"
#include "ui/dbkit.h"

namespace tabi::ui {

namespace {
constexpr int kMaxBlocks = 32; // rows kept: a few screens of a large table either side of what is shown
}

CursorTableModel::CursorTableModel(TableCursor* cursor, QObject* parent) : QAbstractTableModel(parent) {
    setTableCursor(cursor);
}

CursorTableModel::~CursorTableModel() {
    if (m_cursor)
        m_cursor->removeObserver(this);
}

void CursorTableModel::setTableCursor(TableCursor* cursor) {
    if (cursor == m_cursor)
        return;
    beginResetModel();
    if (m_cursor)
        m_cursor->removeObserver(this);
    m_cursor = cursor;
    if (m_cursor)
        m_cursor->addObserver(this);
    readColumns();
    dropRows();
    endResetModel();
    Q_EMIT currentRowChanged(currentRow());
}

// Forgets every row read and the row count; they are read again on demand.
void CursorTableModel::dropRows() {
    m_blocks.clear();
    m_blockOrder.clear();
    m_rows = -1;
    m_current = -2;
}

void CursorTableModel::refreshColumns() {
    TableCursor* cursor = m_cursor;
    setTableCursor(nullptr);
    setTableCursor(cursor);
}

void CursorTableModel::readColumns() {
    m_columns.clear();
    m_fieldCount = m_cursor ? m_cursor->fieldCount() : 0;
    for (int f = 0; f < m_fieldCount; ++f)
        if (!m_cursor->fieldDef(f).hidden)
            m_columns.append(f);
}

void CursorTableModel::resetRows() {
    beginResetModel();
    // A cursor knows its fields once it has been opened.
    if (m_cursor && m_cursor->fieldCount() != m_fieldCount)
        readColumns();
    dropRows();
    endResetModel();
    Q_EMIT currentRowChanged(currentRow());
}

int CursorTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    if (m_rows < 0) {
        m_rows = 0;
        if (m_cursor && m_cursor->isOpen()) {
            try {
                m_rows = m_cursor->recordCount() + (m_cursor->state() == CursorState::Insert ? 1 : 0);
            } catch (const std::exception&) {
                // An engine that cannot count shows an empty grid; the next command reports the error.
            }
        }
    }
    return m_rows;
}

int CursorTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

int CursorTableModel::currentRow() const {
    if (!m_cursor || !m_cursor->isOpen())
        return -1;
    if (m_current == -2) {
        try {
            m_current = m_cursor->state() == CursorState::Insert ? m_cursor->insertPosition() : m_cursor->recNo();
        } catch (const std::exception&) {
            m_current = -1;
        }
    }
    return m_current;
}

// The cursor's row index of the record shown in a view row; -1 for the row of an unposted new record.
int CursorTableModel::recordIndexOfRow(int row) const {
    if (m_cursor && m_cursor->state() == CursorState::Insert) {
        const int insertAt = currentRow();
        if (row == insertAt)
            return -1;
        if (insertAt >= 0 && row > insertAt)
            return row - 1;
    }
    return row;
}

const CursorRow* CursorTableModel::fetchedRow(int record) const {
    if (!m_cursor || record < 0)
        return nullptr;
    if (m_cursor->generation() != m_cacheGeneration) {
        m_blocks.clear();
        m_blockOrder.clear();
        m_cacheGeneration = m_cursor->generation();
    }
    const int block = record / kBlockRows;
    auto it = m_blocks.find(block);
    if (it == m_blocks.end()) {
        QVector<CursorRow> rows;
        try {
            rows = m_cursor->fetchRows(block * kBlockRows, kBlockRows);
        } catch (const std::exception&) {
            return nullptr;
        }
        ++m_fetchCalls;
        m_rowsFetched += int(rows.size());
        it = m_blocks.insert(block, std::move(rows));
        m_blockOrder.append(block);
        if (m_blockOrder.size() > kMaxBlocks) {
            m_blocks.remove(m_blockOrder.takeFirst());
            it = m_blocks.find(block);
        }
    } else if (m_blockOrder.last() != block) {
        m_blockOrder.removeOne(block);
        m_blockOrder.append(block);
    }
    const int i = record - block * kBlockRows;
    return i < it->size() ? &it->at(i) : nullptr;
}

QVariant CursorTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_cursor || index.row() >= rowCount() || index.column() >= m_columns.size())
        return {};
    if (m_override) {
        QVariant laid = m_override(index.row(), index.column(), role);
        if (laid.isValid())
            return laid;
    }
    const int field = m_columns[index.column()];
    const FieldDef& def = m_cursor->fieldDef(field);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (index.row() == currentRow()) {
            try {
                return role == Qt::DisplayRole ? m_cursor->displayText(field)
                                               : editFieldValue(def, m_cursor->value(field));
            } catch (const std::exception&) {
                return QString();
            }
        }
        const CursorRow* row = fetchedRow(recordIndexOfRow(index.row()));
        if (!row || field >= row->values.size())
            return QString();
        return role == Qt::DisplayRole ? formatFieldValue(def, row->values[field])
                                       : editFieldValue(def, row->values[field]);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (isNumericField(def) ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

void CursorTableModel::setCellOverride(CellOverride cellOverride) {
    m_override = std::move(cellOverride);
    refreshCells();
}

void CursorTableModel::refreshCells() {
    const int rows = rowCount(), columns = columnCount();
    if (rows > 0 && columns > 0)
        Q_EMIT dataChanged(index(0, 0), index(rows - 1, columns - 1));
}

QString CursorTableModel::fieldText(int row, int field) const {
    if (!m_cursor || field < 0 || field >= m_cursor->fieldCount() || row < 0 || row >= rowCount())
        return QString();
    if (row == currentRow()) {
        try {
            return m_cursor->displayText(field);
        } catch (const std::exception&) {
            return QString();
        }
    }
    const CursorRow* r = fetchedRow(recordIndexOfRow(row));
    return r ? formatFieldValue(m_cursor->fieldDef(field), r->values.value(field)) : QString();
}

bool CursorTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !m_cursor)
        return false;
    return runCommand(m_errorOwner.data(), [&] { writeCell(index, value.toString()); });
}

void CursorTableModel::writeCell(const QModelIndex& index, const QString& text) {
    const int field = fieldOfColumn(index.column());
    if (!m_cursor || field < 0)
        return;
    if (index.row() != currentRow())
        moveToRow(index.row());
    // An editor closed without a change writes nothing, so browsing through cells never starts an edit.
    const FieldDef& def = m_cursor->fieldDef(field);
    if (text == editFieldValue(def, m_cursor->value(field)))
        return;
    if (def.type == FieldType::Text)
        checkSingleLineText(m_cursor->tableName(), def, text);
    m_cursor->edit();
    m_cursor->setText(field, text);
}

void CursorTableModel::moveToRow(int row) {
    if (!m_cursor || !m_cursor->isOpen())
        return;
    const int current = currentRow();
    if (row < 0 || row == current || row >= rowCount())
        return;
    const int target = recordIndexOfRow(row);
    const CursorState state = m_cursor->state();
    if (state == CursorState::Insert || state == CursorState::Edit) {
        if (!m_cursor->isModified()) {
            m_cursor->cancel(); // rows after an unchanged new row move up by one: target already says so
        } else {
            // Posting may move the record being written elsewhere in the order: find the target by its key.
            QVariantList key;
            if (const CursorRow* r = fetchedRow(target))
                for (const QString& name : m_cursor->indexFieldNames().split(QLatin1Char(';'), Qt::SkipEmptyParts))
                    key << r->values.value(m_cursor->fieldIndex(name));
            m_cursor->post();
            if (!key.isEmpty() && m_cursor->findKey(key))
                return;
        }
    }
    m_cursor->moveToRow(target);
}

QVariant CursorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_cursor)
        return {};
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
            return m_cursor->fieldDef(m_columns[section]).displayLabel();
        return {};
    }
    if (role != Qt::DisplayRole || section != currentRow())
        return {};
    switch (m_cursor->state()) {
    case CursorState::Edit:
        return QStringLiteral("I");
    case CursorState::Insert:
        return QStringLiteral("*");
    case CursorState::Browse:
        return QStringLiteral("▶");
    case CursorState::Inactive:
        break;
    }
    return {};
}

Qt::ItemFlags CursorTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_editable)
        f |= Qt::ItemIsEditable;
    return f;
}

void CursorTableModel::cursorEvent(CursorEvent event, int field) {
    const auto rowChanged = [this](int row) {
        if (row >= 0 && row < rowCount()) {
            if (!m_columns.isEmpty())
                Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
            Q_EMIT headerDataChanged(Qt::Vertical, row, row);
        }
    };
    switch (event) {
    case CursorEvent::DataChanged:
        resetRows();
        break;
    case CursorEvent::RecordChanged:
    case CursorEvent::StateChanged: {
        const int old = m_current;
        m_current = -2;
        const int now = currentRow();
        rowChanged(old);
        if (now != old)
            rowChanged(now);
        if (event == CursorEvent::RecordChanged)
            Q_EMIT currentRowChanged(now);
        break;
    }
    case CursorEvent::FieldChanged: {
        const int row = currentRow();
        const int column = columnOfField(field);
        if (row >= 0 && row < rowCount() && column >= 0)
            Q_EMIT dataChanged(index(row, column), index(row, column));
        break;
    }
    }
}

} // namespace tabi::ui
