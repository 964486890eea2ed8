#include "cursor.h"

#include "error.h"
#include "formats.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace tabi {

namespace {
constexpr int kFirstBatch = 32;
constexpr int kMaxBatch = 1024;

QString quoted(const QString& identifier) {
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

QString placeholders(int n) {
    QStringList p;
    for (int i = 0; i < n; ++i)
        p << QStringLiteral("?");
    return p.join(QStringLiteral(", "));
}

int digits(const QString& t, int from, int count) {
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "yyyy-mm-dd HH:MM:SS" naming a real day and time: the stored form, taken as it is without a date parser.
bool isStoredTimestamp(const QString& t) {
    if (t.size() != 19 || t[4] != u'-' || t[7] != u'-' || t[10] != u' ' || t[13] != u':' || t[16] != u':')
        return false;
    const int y = digits(t, 0, 4), mo = digits(t, 5, 2), d = digits(t, 8, 2);
    const int h = digits(t, 11, 2), mi = digits(t, 14, 2), sec = digits(t, 17, 2);
    return y >= 0 && mo >= 0 && d >= 0 && h >= 0 && h < 24 && mi >= 0 && mi < 60 && sec >= 0 && sec < 60 &&
           QDate::isValid(y, mo, d);
}

QString fieldTitle(const FieldDef& f) {
    return fieldCaption(f);
}
} // namespace

TableCursor::TableCursor(std::shared_ptr<Database> db, const QString& tableName, const QString& indexFieldNames)
    : m_db(std::move(db)), m_tableName(tableName), m_indexNames(indexFieldNames) {}

TableCursor::~TableCursor() {
    if (m_master)
        m_master->m_details.removeAll(this);
    for (TableCursor* d : std::as_const(m_details))
        d->m_master = nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// configuration

void TableCursor::setTableName(const QString& name) {
    if (isOpen())
        throw Error(QStringLiteral("表 %1 を開いたまま表の名前は変えられません。").arg(m_tableName));
    m_tableName = name;
}

void TableCursor::setFieldNames(const QStringList& names) {
    if (isOpen())
        throw Error(QStringLiteral("表 %1 を開いたままフィールドは変えられません。").arg(m_tableName));
    m_declaredNames = names;
    m_fields.clear();
}

void TableCursor::setIndexFieldNames(const QString& names) {
    const QStringList fields = names.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (!isOpen()) {
        // Checked at open(): the table name may still change before then.
        m_indexNames = names;
        m_indexIsStored = false;
        return;
    }
    ensureFresh();
    checkBrowse();
    const CursorRow current = m_pos >= 0 ? m_buf[m_pos] : CursorRow{};
    resolveOrder(fields); // throws before changing anything when a name is wrong
    m_indexNames = names;
    m_indexIsStored = false;
    buildQueries();
    if (!(current.rowid && rereadCurrent(current.rowid, &current)))
        loadFirst();
    ++m_generation;
    notify(CursorEvent::DataChanged);
}

void TableCursor::setIndexName(const QString& name) {
    if (isOpen())
        throw Error(QStringLiteral("表 %1 を開いたまま索引は変えられません。").arg(m_tableName));
    m_indexNames = name;
    m_indexIsStored = true;
}

QString TableCursor::indexFieldNames() const {
    QStringList names;
    for (int f : m_orderFields)
        names << m_fields[f].name;
    return names.join(QLatin1Char(';'));
}

void TableCursor::setMasterSource(TableCursor* master, const QString& linkField) {
    if (isOpen())
        throw Error(QStringLiteral("表 %1 を開いたまま主表との関係は変えられません。").arg(m_tableName));
    if (m_master)
        m_master->m_details.removeAll(this);
    m_master = master;
    m_linkName = linkField;
    if (m_master)
        m_master->m_details.append(this);
}

// ---------------------------------------------------------------------------------------------------------------
// lifecycle

void TableCursor::open() {
    if (isOpen())
        return;
    m_def = findTable(m_tableName);
    if (!m_def)
        throw Error(QStringLiteral("表 %1 はありません。").arg(m_tableName));
    initFields();
    QStringList order;
    if (m_indexIsStored) {
        for (const IndexDef& ix : m_def->indexes)
            if (ix.name.compare(m_indexNames, Qt::CaseInsensitive) == 0)
                order = ix.fields;
        Statement probe(*m_db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'index' AND name = ?"));
        probe.bindText(1, m_indexNames.isEmpty() ? QString()
                                                 : physicalIndexName(*m_def, IndexDef{m_indexNames, order, false}));
        if (order.isEmpty() || !probe.step())
            throw Error(QStringLiteral("表 %1 に索引 %2 はありません。").arg(m_tableName, m_indexNames));
    } else {
        order = m_indexNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    m_linkField = -1;
    m_masterLinkField = -1;
    if (m_master) {
        m_linkField = fieldIndex(m_linkName);
        m_masterLinkField = m_master->fieldIndex(m_linkName);
    }
    resolveOrder(order);
    buildQueries();
    // A row is the same record while its rowid and its key are: SQLite hands the rowid of a deleted last row to
    // the next new one, so the rowid alone may name another record by now.
    m_identityFields.clear();
    for (const QString& k : m_def->key)
        m_identityFields << fieldIndex(k);
    if (m_identityFields.isEmpty())
        for (int i = 0; i < m_fields.size(); ++i)
            m_identityFields << i;
    m_identityWhere.clear();
    for (int f : std::as_const(m_identityFields))
        m_identityWhere += QStringLiteral(" AND %1 IS ?").arg(quoted(m_fields[f].name));
    m_insertStatements.clear();
    m_updateStatements.clear();
    if (m_fields.size() > 64)
        throw Error(QStringLiteral("表 %1 のフィールドが多すぎます。").arg(m_tableName));
    m_state = CursorState::Browse;
    m_stale = false;
    loadFirst();
    dataChanged();
}

// The declared fields: those named by setFieldNames (plus what positioning needs), else every field of the table.
// A cursor switched to another table keeps its declared fields; each must exist there.
void TableCursor::initFields() {
    if (m_fields.isEmpty() && !m_declaredNames.isEmpty()) {
        // Fields positioning needs come along, hidden, when the declaration leaves them out.
        QStringList needed = m_def->key;
        if (!m_indexIsStored)
            needed += m_indexNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const IndexDef& ix : m_def->indexes)
            if (m_indexIsStored && ix.name.compare(m_indexNames, Qt::CaseInsensitive) == 0)
                needed += ix.fields;
        if (m_master)
            needed << m_linkName;
        QStringList present;
        for (const QString& n : std::as_const(m_declaredNames)) {
            m_fields << m_def->field(n);
            present << n;
        }
        for (const QString& name : std::as_const(needed)) {
            const QString n = name.trimmed();
            if (present.contains(n, Qt::CaseInsensitive))
                continue;
            present << n;
            FieldDef f = m_def->field(n);
            f.hidden = true;
            m_fields << f;
        }
    } else if (m_fields.isEmpty()) {
        m_fields = QVector<FieldDef>(m_def->fields.begin(), m_def->fields.end());
    } else {
        // A cursor switched to another table keeps its declared fields; each must exist there.
        for (const FieldDef& f : std::as_const(m_fields))
            if (m_def->fieldIndex(f.name) < 0)
                throw Error(QStringLiteral("表 %1 にフィールド %2 はありません。").arg(m_tableName, f.name));
    }
}

void TableCursor::close() {
    if (!isOpen())
        return;
    m_state = CursorState::Inactive;
    m_modified = false;
    setEmpty();
    dataChanged();
}

void TableCursor::reopen() {
    close();
    open();
}

void TableCursor::refresh() {
    beginMove();
    if (m_pos >= 0) {
        const CursorRow current = m_buf[m_pos];
        if (!rereadCurrent(current.rowid, &current)) {
            // The record went away through another connection: stand on its successor.
            if (!fetchBeside(current, -1, true) && !loadLast())
                setEmpty();
        }
    } else {
        loadFirst();
    }
    dataChanged();
}

void TableCursor::requireOpen() const {
    if (!isOpen())
        throw Error(QStringLiteral("表 %1 が開かれていません。").arg(m_tableName));
}

// ---------------------------------------------------------------------------------------------------------------
// order and queries

void TableCursor::resolveOrder(const QStringList& fields) {
    QVector<int> orderFields;
    for (const QString& name : fields)
        orderFields << fieldIndex(name.trimmed()); // throws before anything changes
    // Equal index values come in key order; without a unique key, in rowid order.
    const bool uniqueKey = m_def->keyUnique && !m_def->key.isEmpty();
    if (uniqueKey) {
        for (const QString& k : m_def->key) {
            const int f = fieldIndex(k);
            if (!orderFields.contains(f))
                orderFields << f;
        }
    }
    m_orderFields = std::move(orderFields);
    m_orderFieldCols.clear();
    m_orderColumns.clear();
    m_orderColField.clear();
    m_orderForm.clear();
    auto add = [&](int field, const QString& sql, KeyForm form) {
        m_orderColumns << sql;
        m_orderColField << field;
        m_orderForm << form;
    };
    for (int f : std::as_const(m_orderFields)) {
        const FieldDef& def = m_def->field(m_fields[f].name);
        m_orderFieldCols << int(m_orderColumns.size());
        const bool textual = def.type == FieldType::Text || def.type == FieldType::Timestamp;
        // A text field with a generated order column (ifnull(value, '')) sorts through its index; any other field
        // that may be empty sorts by (is not null, ifnull(value, 0 or '')), so that empty values come first as the
        // engine sorts them and keyset positioning never compares with a NULL.
        const bool generated = textual && !def.notNull &&
                               std::any_of(m_def->indexes.begin(), m_def->indexes.end(),
                                           [&](const IndexDef& ix) { return ix.fields.contains(def.name); });
        if (def.notNull) {
            add(f, quoted(def.name), KeyForm::Plain);
        } else if (generated) {
            add(f, quoted(orderColumn(*m_def, def.name)), KeyForm::EmptyForNull);
        } else {
            add(f, QStringLiteral("(%1 IS NOT NULL)").arg(quoted(def.name)), KeyForm::NullFlag);
            add(f,
                QStringLiteral("ifnull(%1, %2)")
                    .arg(quoted(def.name), textual ? QStringLiteral("''") : QStringLiteral("0")),
                KeyForm::ZeroForNull);
        }
    }
    if (!uniqueKey)
        add(-1, QStringLiteral("rowid"), KeyForm::Rowid);
    m_keysetStart =
        (m_linkField >= 0 && !m_orderFields.isEmpty() && m_orderFields[0] == m_linkField) ? orderColumnsOf(1) : 0;
}

int TableCursor::orderColumnsOf(int fieldCount) const {
    if (fieldCount < m_orderFieldCols.size())
        return m_orderFieldCols[fieldCount];
    // Every field's columns, without the rowid that breaks ties.
    return int(m_orderColumns.size()) - (!m_orderForm.isEmpty() && m_orderForm.last() == KeyForm::Rowid ? 1 : 0);
}

void TableCursor::buildQueries() {
    QStringList cols{QStringLiteral("rowid")};
    for (const FieldDef& f : std::as_const(m_fields))
        cols << quoted(f.name);
    m_selectList = QStringLiteral("SELECT %1 FROM %2").arg(cols.join(QStringLiteral(", ")), quoted(m_tableName));
    m_orderAsc = QStringLiteral(" ORDER BY ") + m_orderColumns.join(QStringLiteral(", "));
    QStringList desc;
    for (const QString& c : std::as_const(m_orderColumns))
        desc << c + QStringLiteral(" DESC");
    m_orderDesc = QStringLiteral(" ORDER BY ") + desc.join(QStringLiteral(", "));
}

// WHERE clause of the linked set, optionally with a row-value comparison on keysetCols order columns.
// keysetOp may be ">", "<", ">=" (from m_keysetStart) or "=" / ">=" prefixed by '^' (from the first column).
QString TableCursor::whereClause(const QString& keysetOp, int keysetCols) const {
    QStringList parts;
    if (m_master)
        parts << quoted(m_fields[m_linkField].name) + QStringLiteral(" = ?");
    if (!keysetOp.isEmpty()) {
        const bool fromFirst = keysetOp.startsWith(QLatin1Char('^'));
        const int start = fromFirst ? 0 : m_keysetStart;
        const QString op = fromFirst ? keysetOp.mid(1) : keysetOp;
        parts << QStringLiteral("(%1) %2 (%3)")
                     .arg(m_orderColumns.mid(start, keysetCols).join(QStringLiteral(", ")), op,
                          placeholders(keysetCols));
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

int TableCursor::bindFilter(Statement& s) const {
    if (!m_master)
        return 1;
    const QVariant v = const_cast<TableCursor*>(this)->masterValue();
    s.bind(1, v);
    return 2;
}

QVariant TableCursor::keyValue(const CursorRow& row, int orderPos) const {
    const int field = m_orderColField[orderPos];
    const KeyForm form = m_orderForm[orderPos];
    if (form == KeyForm::Rowid)
        return row.rowid;
    const QVariant& v = row.values[field];
    switch (form) {
    case KeyForm::EmptyForNull:
        return v.isNull() ? QVariant(QString(QLatin1String(""))) : v;
    case KeyForm::NullFlag:
        return qint64(v.isNull() ? 0 : 1);
    case KeyForm::ZeroForNull:
        if (!v.isNull())
            return v;
        return m_fields[field].type == FieldType::Text || m_fields[field].type == FieldType::Timestamp
                   ? QVariant(QString(QLatin1String("")))
                   : QVariant(qint64(0));
    default:
        return v;
    }
}

// Binds the key columns of the first `count` index fields for the given values (a find); returns the next index.
int TableCursor::bindFieldKeys(Statement& s, int p, const QVariantList& values, int count) const {
    CursorRow probe;
    probe.values.resize(m_fields.size());
    for (int i = 0; i < count; ++i)
        probe.values[m_orderFields[i]] = toStorage(m_orderFields[i], values[i]);
    for (int c = 0; c < orderColumnsOf(count); ++c)
        s.bind(p++, keyValue(probe, c));
    return p;
}

void TableCursor::bindKeyset(Statement& s, int first, const CursorRow& row) const {
    for (int i = m_keysetStart; i < m_orderColumns.size(); ++i)
        s.bind(first++, keyValue(row, i));
}

// Reads the statement's current row. A text equal to the one in the same field of `previous` (the row read
// just before) shares that text instead of decoding and allocating it again: rows read in index order repeat
// their leading codes and days many times over.
CursorRow TableCursor::readRow(Statement& s, const CursorRow* previous) const {
    CursorRow r;
    r.rowid = s.columnInt(0);
    r.values.resize(m_fields.size());
    sqlite3_stmt* st = s.handle();
    for (int i = 0; i < m_fields.size(); ++i) {
        const int c = i + 1;
        if (sqlite3_column_type(st, c) == SQLITE_NULL)
            continue;
        switch (m_fields[i].type) {
        case FieldType::Real:
            r.values[i] = sqlite3_column_double(st, c);
            break;
        case FieldType::Integer:
        case FieldType::SmallInt:
            r.values[i] = qint64(sqlite3_column_int64(st, c));
            break;
        default: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            const QUtf8StringView text(p, sqlite3_column_bytes(st, c));
            if (previous) {
                const QVariant& before = previous->values[i];
                if (before.typeId() == QMetaType::QString) {
                    const QString& t = *static_cast<const QString*>(before.constData());
                    if (t.size() <= text.size() && QAnyStringView::equal(text, t)) {
                        r.values[i] = before;
                        break;
                    }
                }
            }
            r.values[i] = text.toString();
        }
        }
    }
    return r;
}

int TableCursor::readRows(Statement& s, QVector<CursorRow>& out, int limit) const {
    StatementScope scope(s);
    int n = 0;
    out.reserve(out.size() + std::min(limit, kMaxBatch));
    while (n < limit && s.step()) {
        out.append(readRow(s, out.isEmpty() ? nullptr : &out.last()));
        ++n;
    }
    return n;
}

void TableCursor::setEmpty() {
    m_buf.clear();
    m_pos = -1;
    m_bufFromStart = m_bufToEnd = true;
    m_bufStartIndex = 0;
    m_bof = m_eof = true;
}

bool TableCursor::loadFirst() {
    m_batch = kFirstBatch;
    Statement& s = m_db->cached(m_selectList + whereClause({}, 0) + m_orderAsc + QStringLiteral(" LIMIT ?"));
    const int p = bindFilter(s);
    s.bindInt(p, m_batch);
    m_buf.clear();
    const int n = readRows(s, m_buf, m_batch);
    if (n == 0) {
        setEmpty();
        return false;
    }
    m_pos = 0;
    m_bufFromStart = true;
    m_bufToEnd = n < m_batch;
    m_bufStartIndex = 0;
    m_bof = true;
    m_eof = false;
    return true;
}

bool TableCursor::loadLast() {
    m_batch = kFirstBatch;
    Statement& s = m_db->cached(m_selectList + whereClause({}, 0) + m_orderDesc + QStringLiteral(" LIMIT ?"));
    const int p = bindFilter(s);
    s.bindInt(p, m_batch);
    QVector<CursorRow> rows;
    const int n = readRows(s, rows, m_batch);
    if (n == 0) {
        setEmpty();
        return false;
    }
    std::reverse(rows.begin(), rows.end());
    m_buf = std::move(rows);
    m_pos = int(m_buf.size()) - 1;
    m_bufToEnd = true;
    m_bufFromStart = n < m_batch;
    m_bufStartIndex = m_bufFromStart ? 0 : -1;
    m_bof = false;
    m_eof = true;
    return true;
}

// Replaces the window with the rows following (forward) or preceding `row`, whose index in the set is rowIndex
// (-1 when unknown); false, with the window untouched, when there are none.
bool TableCursor::fetchBeside(const CursorRow& row, qint64 rowIndex, bool forward) {
    const int cols = int(m_orderColumns.size()) - m_keysetStart;
    if (cols <= 0)
        return false;
    Statement& s = m_db->cached(m_selectList + whereClause(forward ? QStringLiteral(">") : QStringLiteral("<"), cols) +
                                (forward ? m_orderAsc : m_orderDesc) + QStringLiteral(" LIMIT ?"));
    const int p = bindFilter(s);
    bindKeyset(s, p, row);
    s.bindInt(p + cols, m_batch);
    QVector<CursorRow> rows;
    const int n = readRows(s, rows, m_batch);
    if (n == 0)
        return false;
    const bool reachedEnd = n < m_batch;
    if (forward) {
        m_buf = std::move(rows);
        m_pos = 0;
        m_bufStartIndex = rowIndex >= 0 ? rowIndex + 1 : -1;
        m_bufFromStart = false;
        m_bufToEnd = reachedEnd;
    } else {
        std::reverse(rows.begin(), rows.end());
        m_buf = std::move(rows);
        m_pos = int(m_buf.size()) - 1;
        m_bufToEnd = false;
        m_bufFromStart = reachedEnd;
        m_bufStartIndex = reachedEnd ? 0 : (rowIndex >= 0 ? rowIndex - n : -1);
    }
    m_batch = std::min(m_batch * 2, kMaxBatch);
    return true;
}

qint64 TableCursor::indexInWindow(int pos) const {
    return m_bufStartIndex >= 0 ? m_bufStartIndex + pos : -1;
}

// Stands on the stored row with this rowid; when `expected` is given, only if it is still that record.
bool TableCursor::rereadCurrent(qint64 rowid, const CursorRow* expected) {
    Statement& s = m_db->cached(m_selectList + QStringLiteral(" WHERE rowid = ?"));
    s.bindInt(1, rowid);
    QVector<CursorRow> rows;
    if (readRows(s, rows, 1) == 0)
        return false;
    if (expected && !sameRecord(rows[0], *expected))
        return false;
    // A re-read row may have left the linked set (its link field changed): then the set starts over.
    if (m_master && rows[0].values[m_linkField] != masterValue())
        return false;
    m_buf = std::move(rows);
    m_pos = 0;
    m_bufFromStart = m_bufToEnd = false;
    m_bufStartIndex = -1;
    m_bof = m_eof = false;
    return true;
}

bool TableCursor::sameRecord(const CursorRow& a, const CursorRow& b) const {
    if (a.rowid != b.rowid)
        return false;
    for (int f : m_identityFields)
        if (a.values[f] != b.values[f])
            return false;
    return true;
}

int TableCursor::bindIdentity(Statement& s, int p, const CursorRow& row) const {
    s.bindInt(p++, row.rowid);
    for (int f : m_identityFields)
        s.bind(p++, row.values[f]);
    return p;
}

void TableCursor::raiseChangedByOther(bool deleting) const {
    throw Error(QStringLiteral("%1の行は、この画面で読んだ後にほかの画面で変更または削除されたため、%2できません。"
                               "編集を取り消してから「データ更新」で今の内容を表示してください。")
                    .arg(tableCaption(m_tableName), deleting ? QStringLiteral("削除") : QStringLiteral("更新")),
                ErrorKind::ChangedByOther);
}

// ---------------------------------------------------------------------------------------------------------------
// navigation

void TableCursor::ensureFresh() {
    if (m_stale) {
        m_stale = false;
        if (isOpen())
            loadFirst();
    }
}

// Moving away from a record being inserted or edited posts it when something was changed, else drops it.
void TableCursor::checkBrowse() {
    if (m_state == CursorState::Edit || m_state == CursorState::Insert) {
        if (m_modified) {
            post();
        } else {
            const bool inserting = m_state == CursorState::Insert;
            m_state = CursorState::Browse;
            m_insertPos = -1;
            notify(CursorEvent::StateChanged);
            notify(CursorEvent::DataChanged);
            if (inserting)
                for (TableCursor* d : std::as_const(m_details))
                    d->masterMoved();
        }
    }
}

// Every move starts on an open, current set, leaving the record being edited first (posted or dropped).
void TableCursor::beginMove() {
    requireOpen();
    ensureFresh();
    checkBrowse();
}

void TableCursor::first() {
    beginMove();
    if (m_bufFromStart && !m_buf.isEmpty()) {
        m_pos = 0;
        m_bof = true;
        m_eof = false;
    } else {
        loadFirst();
    }
    recordMoved();
}

void TableCursor::last() {
    beginMove();
    if (m_bufToEnd && !m_buf.isEmpty()) {
        m_pos = int(m_buf.size()) - 1;
        m_eof = true;
        m_bof = false;
    } else {
        loadLast();
    }
    recordMoved();
}

void TableCursor::next() {
    beginMove();
    if (m_buf.isEmpty()) {
        m_bof = m_eof = true;
        return;
    }
    if (m_pos + 1 < m_buf.size()) {
        ++m_pos;
    } else if (m_bufToEnd || !fetchBeside(m_buf[m_pos], indexInWindow(m_pos), true)) {
        // Past the last record: the record stays current; only the flags change, and the controls hear of it.
        m_bufToEnd = true;
        const bool changed = !m_eof || m_bof;
        m_eof = true;
        m_bof = false;
        if (changed)
            notify(CursorEvent::StateChanged);
        return;
    }
    m_bof = m_eof = false;
    recordMoved();
}

void TableCursor::prior() {
    beginMove();
    if (m_buf.isEmpty()) {
        m_bof = m_eof = true;
        return;
    }
    if (m_pos > 0) {
        --m_pos;
    } else if (m_bufFromStart || !fetchBeside(m_buf[m_pos], indexInWindow(m_pos), false)) {
        m_bufFromStart = true;
        if (m_bufStartIndex < 0)
            m_bufStartIndex = 0;
        const bool changed = !m_bof || m_eof;
        m_bof = true;
        m_eof = false;
        if (changed)
            notify(CursorEvent::StateChanged);
        return;
    }
    m_bof = m_eof = false;
    recordMoved();
}

int TableCursor::moveBy(int distance) {
    int moved = 0;
    while (moved < distance) {
        next();
        if (m_eof)
            break;
        ++moved;
    }
    while (moved > distance) {
        prior();
        if (m_bof)
            break;
        --moved;
    }
    return moved;
}

bool TableCursor::eof() {
    ensureFresh();
    return m_eof;
}

bool TableCursor::bof() {
    ensureFresh();
    return m_bof;
}

bool TableCursor::isEmpty() {
    ensureFresh();
    return m_buf.isEmpty() && m_state != CursorState::Insert;
}

bool TableCursor::findNearest(const QVariantList& values) {
    beginMove();
    const int k = std::min<int>(values.size(), m_orderFields.size());
    // One row only: a look-up is often followed by no move at all; the first next() reads a window.
    m_batch = 1;
    Statement& s = m_db->cached(m_selectList + whereClause(QStringLiteral("^>="), orderColumnsOf(k)) + m_orderAsc +
                                QStringLiteral(" LIMIT ?"));
    const int p = bindFieldKeys(s, bindFilter(s), values, k);
    s.bindInt(p, m_batch);
    QVector<CursorRow> rows;
    const int n = readRows(s, rows, m_batch);
    if (n == 0) {
        // Every key is smaller: stand on the last record with the end-of-data flag set.
        loadLast();
        recordMoved();
        return false;
    }
    m_buf = std::move(rows);
    m_pos = 0;
    m_bufFromStart = false;
    m_bufToEnd = false;
    m_bufStartIndex = -1;
    m_bof = m_eof = false;
    m_batch = kFirstBatch;
    recordMoved();
    return true;
}

bool TableCursor::findKey(const QVariantList& values) {
    requireOpen();
    ensureFresh();
    const int k = std::min<int>(values.size(), m_orderFields.size());
    Statement& s = m_db->cached(m_selectList + whereClause(QStringLiteral("^="), orderColumnsOf(k)) + m_orderAsc +
                                QStringLiteral(" LIMIT 1"));
    bindFieldKeys(s, bindFilter(s), values, k);
    QVector<CursorRow> rows;
    if (readRows(s, rows, 1) == 0)
        return false;
    checkBrowse();
    m_buf = std::move(rows);
    m_pos = 0;
    m_bufFromStart = m_bufToEnd = false;
    m_bufStartIndex = -1;
    m_bof = m_eof = false;
    recordMoved();
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// editing

QVariant TableCursor::masterValue() {
    if (!m_master || !m_master->isOpen())
        return QVariant();
    return m_master->raw(m_masterLinkField);
}

void TableCursor::insert() {
    beginInsert(false);
}

void TableCursor::append() {
    beginInsert(true);
}

// The new record is set up completely before observers hear of it: a grid asks where it shows at once.
void TableCursor::beginInsert(bool atEnd) {
    beginMove();
    m_edit = CursorRow{0, QVector<QVariant>(m_fields.size())};
    if (m_master)
        m_edit.values[m_linkField] = masterValue();
    m_changed = 0;
    m_modified = false;
    m_insertAppend = atEnd;
    m_insertPos = -1;
    m_state = CursorState::Insert;
    notify(CursorEvent::StateChanged);
    notify(CursorEvent::DataChanged);
    // A new record has no details yet: linked cursors show none until it is posted or dropped.
    for (TableCursor* d : std::as_const(m_details))
        d->masterMoved();
}

void TableCursor::edit() {
    requireOpen();
    ensureFresh();
    if (m_state == CursorState::Edit || m_state == CursorState::Insert)
        return;
    if (m_buf.isEmpty()) {
        insert();
        return;
    }
    m_edit = m_buf[m_pos];
    m_editOrigin = m_buf[m_pos];
    m_changed = 0;
    m_modified = false;
    m_state = CursorState::Edit;
    notify(CursorEvent::StateChanged);
}

void TableCursor::post() {
    requireOpen();
    if (m_state == CursorState::Browse)
        return;
    if (m_state == CursorState::Edit && !m_modified) {
        m_state = CursorState::Browse;
        notify(CursorEvent::StateChanged);
        return;
    }
    qint64 rowid = 0;
    const bool inserting = m_state == CursorState::Insert;
    // Statements are looked up by the set of fields they write, so a loop of posts builds no SQL text.
    quint64 mask = 0;
    for (int i = 0; i < m_fields.size(); ++i)
        if (inserting ? !m_edit.values[i].isNull() : bool(m_changed & (quint64(1) << i)))
            mask |= quint64(1) << i;
    QHash<quint64, Statement*>& stmts = inserting ? m_insertStatements : m_updateStatements;
    Statement* st = stmts.value(mask);
    if (!st) {
        QStringList cols;
        for (int i = 0; i < m_fields.size(); ++i)
            if (mask & (quint64(1) << i))
                cols << quoted(m_fields[i].name) + (inserting ? QString() : QStringLiteral(" = ?"));
        // Fields left empty are not named, so the database's own defaults apply to them.
        QString sql;
        if (!inserting)
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                      .arg(quoted(m_tableName), cols.join(QStringLiteral(", ")), m_identityWhere);
        else if (cols.isEmpty())
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_tableName));
        else
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoted(m_tableName), cols.join(QStringLiteral(", ")), placeholders(int(cols.size())));
        st = &m_db->cached(sql);
        stmts.insert(mask, st);
    }
    {
        StatementScope scope(*st);
        int p = 1;
        for (int i = 0; i < m_fields.size(); ++i)
            if (mask & (quint64(1) << i))
                st->bind(p++, m_edit.values[i]);
        if (!inserting)
            bindIdentity(*st, p, m_editOrigin);
        st->step();
    }
    if (inserting) {
        rowid = sqlite3_last_insert_rowid(m_db->handle());
    } else {
        rowid = m_edit.rowid;
        if (sqlite3_changes(m_db->handle()) == 0)
            raiseChangedByOther(false);
    }
    m_db->noteWrite();
    m_state = CursorState::Browse;
    m_modified = false;
    m_insertPos = -1;
    invalidateCounts();

    // What was written is what is stored, unless the database filled in a default for an empty field.
    bool defaultsApplied = false;
    if (inserting)
        for (int i = 0; i < m_fields.size(); ++i)
            if (!(mask & (quint64(1) << i)) && !m_fields[i].defaultSql.isEmpty())
                defaultsApplied = true;
    CursorRow written = std::move(m_edit); // the edit buffer is set up afresh by the next edit or insert
    written.rowid = rowid;
    bool keysKept = !inserting && m_pos >= 0 && m_buf[m_pos].rowid == rowid;
    for (int i = 0; keysKept && i < m_orderFields.size(); ++i)
        keysKept = m_buf[m_pos].values[m_orderFields[i]] == written.values[m_orderFields[i]];
    if (keysKept) {
        // The record keeps its place: the window stays valid and a following next() reads no rows. The window's
        // size stays too, so that a loop editing every record keeps reading large windows.
        m_buf[m_pos] = std::move(written);
    } else {
        if (defaultsApplied || (m_master && written.values[m_linkField] != masterValue())) {
            if (!rereadCurrent(rowid))
                loadFirst(); // the row left the linked set (its link value changed)
        } else {
            // The window's storage is kept: a loop appending rows allocates no new window for each.
            m_buf.clear();
            m_buf.append(std::move(written));
            m_pos = 0;
            m_bufFromStart = m_bufToEnd = false;
            m_bufStartIndex = -1;
            m_bof = m_eof = false;
        }
        m_batch = kFirstBatch;
    }
    ++m_generation;
    notify(CursorEvent::StateChanged);
    notify(CursorEvent::DataChanged);
    for (TableCursor* d : std::as_const(m_details))
        d->masterMoved();
}

void TableCursor::cancel() {
    if (m_state != CursorState::Edit && m_state != CursorState::Insert)
        return;
    const bool linkChanged =
        m_state == CursorState::Insert || std::any_of(m_details.begin(), m_details.end(),
                                                      [&](TableCursor* d) { return isChanged(d->m_masterLinkField); });
    m_state = CursorState::Browse;
    m_modified = false;
    m_insertPos = -1;
    notify(CursorEvent::StateChanged);
    notify(CursorEvent::DataChanged);
    if (linkChanged)
        for (TableCursor* d : std::as_const(m_details))
            d->masterMoved();
}

void TableCursor::remove() {
    requireOpen();
    ensureFresh();
    if (m_state == CursorState::Insert) {
        cancel();
        return;
    }
    if (m_buf.isEmpty())
        throw Error(QStringLiteral("表 %1 に削除する行がありません。").arg(m_tableName));
    const CursorRow gone = m_state == CursorState::Edit ? m_editOrigin : m_buf[m_pos];
    Statement& s =
        m_db->cached(QStringLiteral("DELETE FROM %1 WHERE rowid = ?%2").arg(quoted(m_tableName), m_identityWhere));
    {
        StatementScope scope(s);
        bindIdentity(s, 1, gone);
        s.step(); // a failure leaves an edit pending, with what was typed
    }
    if (sqlite3_changes(m_db->handle()) == 0)
        raiseChangedByOther(true);
    if (m_state == CursorState::Edit) {
        m_state = CursorState::Browse;
        m_modified = false;
        notify(CursorEvent::StateChanged);
    }
    m_db->noteWrite();
    invalidateCounts();
    const qint64 goneIndex = indexInWindow(m_pos);
    m_buf.removeAt(m_pos);
    // The successor of the deleted record now has the deleted record's index.
    if (m_pos < m_buf.size()) {
        m_bof = m_eof = false;
    } else if (!m_bufToEnd &&
               fetchBeside(m_buf.isEmpty() ? gone : m_buf.last(), goneIndex >= 0 ? goneIndex - 1 : -1, true)) {
        m_bof = m_eof = false;
    } else if (!m_buf.isEmpty()) {
        m_pos = int(m_buf.size()) - 1;
        m_bufToEnd = true;
        m_bof = m_eof = false;
    } else if (!loadLast()) {
        setEmpty();
    } else {
        m_eof = false;
    }
    dataChanged();
}

// ---------------------------------------------------------------------------------------------------------------
// fields

void TableCursor::ensureFields() {
    if (m_fields.isEmpty() && !isOpen()) {
        m_def = findTable(m_tableName);
        if (m_def)
            initFields();
    }
}

const FieldDef& TableCursor::fieldDef(int field) const {
    return const_cast<TableCursor*>(this)->fieldDef(field);
}

FieldDef& TableCursor::fieldDef(int field) {
    ensureFields();
    if (field < 0 || field >= m_fields.size())
        throw Error(QStringLiteral("表 %1 のフィールド番号 %2 は範囲外です。").arg(m_tableName).arg(field));
    return m_fields[field];
}

int TableCursor::findField(const QString& name) const {
    const_cast<TableCursor*>(this)->ensureFields();
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TableCursor::fieldIndex(const QString& name) const {
    const int i = findField(name);
    if (i < 0)
        throw Error(QStringLiteral("表 %1 にフィールド %2 はありません。").arg(m_tableName, name));
    return i;
}

const QVariant& TableCursor::raw(int field) {
    static const QVariant null;
    ensureFresh();
    if (m_state == CursorState::Edit || m_state == CursorState::Insert)
        return m_edit.values[field];
    if (m_pos < 0)
        return null;
    return m_buf[m_pos].values[field];
}

QVariant TableCursor::value(int field) {
    return raw(field);
}
bool TableCursor::isNull(int field) {
    return raw(field).isNull();
}

QString TableCursor::asString(int field) {
    const QVariant& v = raw(field);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double)
        return fmt::formatNumber(v.toDouble(), {});
    return v.toString();
}

QString TableCursor::displayText(int field) {
    const QVariant& v = raw(field);
    if (v.isNull())
        return QString();
    const FieldDef& f = m_fields[field];
    switch (f.type) {
    case FieldType::Real:
        return fmt::formatNumber(v.toDouble(), f.format); // an empty format gives plain digits, never an exponent
    case FieldType::Integer:
    case FieldType::SmallInt:
        return f.format.isEmpty() ? QString::number(v.toLongLong())
                                  : fmt::formatNumber(double(v.toLongLong()), f.format);
    case FieldType::Timestamp:
        return fmt::formatTimestamp(v.toString(), f.format);
    default:
        return v.toString();
    }
}

double TableCursor::asFloat(int field) {
    return raw(field).toDouble();
}
qint64 TableCursor::asInteger(int field) {
    const QVariant& v = raw(field);
    return v.typeId() == QMetaType::Double ? qint64(v.toDouble()) : v.toLongLong();
}

QDate TableCursor::asDate(int field) {
    const QVariant& v = raw(field);
    if (v.isNull())
        return {};
    return QDate::fromString(v.toString().left(10), QStringLiteral("yyyy-MM-dd"));
}

void TableCursor::requireEditing(int field) const {
    if (m_state != CursorState::Edit && m_state != CursorState::Insert)
        throw Error(QStringLiteral("表 %1 は編集中ではないため、フィールド %2 に書き込めません。")
                        .arg(m_tableName, m_fields.value(field).name));
    if (field < 0 || field >= m_fields.size())
        throw Error(QStringLiteral("表 %1 のフィールド番号 %2 は範囲外です。").arg(m_tableName).arg(field));
}

// Converts a value to what the field stores, or throws an error naming the field.
QVariant TableCursor::toStorage(int field, const QVariant& value) const {
    if (!value.isValid() || value.isNull())
        return QVariant();
    const FieldDef& f = m_fields[field];
    const bool isText = value.typeId() == QMetaType::QString;
    switch (f.type) {
    case FieldType::Text:
        return isText ? value : QVariant(value.toString());
    case FieldType::Real: {
        if (!isText) {
            const double d = value.toDouble();
            if (!std::isfinite(d))
                throw Error(QStringLiteral("%1の%2には有限の数値しか入りません（「%3」）。")
                                .arg(tableCaption(m_tableName), fieldTitle(f), value.toString()),
                            ErrorKind::NotANumber);
            return d;
        }
        const QString t = value.toString().trimmed();
        if (t.isEmpty())
            return QVariant();
        const std::optional<double> d = fmt::parseNumber(t);
        if (!d)
            throw Error(QStringLiteral("%1の%2には数値を入力してください（「%3」は数値ではありません）。")
                            .arg(tableCaption(m_tableName), fieldTitle(f), value.toString()),
                        ErrorKind::NotANumber);
        return *d;
    }
    case FieldType::Integer:
    case FieldType::SmallInt: {
        if (!isText) {
            if (value.typeId() == QMetaType::Double) {
                const double d = value.toDouble();
                if (!std::isfinite(d))
                    throw Error(QStringLiteral("%1の%2には整数しか入りません（「%3」）。")
                                    .arg(tableCaption(m_tableName), fieldTitle(f), value.toString()),
                                ErrorKind::NotANumber);
                return qint64(std::llround(d));
            }
            return value.toLongLong();
        }
        const QString t = value.toString().trimmed();
        if (t.isEmpty())
            return QVariant();
        const std::optional<qint64> n = fmt::parseInteger(t);
        if (!n)
            throw Error(QStringLiteral("%1の%2には整数を入力してください（「%3」は整数ではありません）。")
                            .arg(tableCaption(m_tableName), fieldTitle(f), value.toString()),
                        ErrorKind::NotANumber);
        return *n;
    }
    case FieldType::Timestamp: {
        switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate().isValid() ? value.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00"))
                                            : QVariant();
        case QMetaType::QDateTime:
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case QMetaType::QTime:
            return QStringLiteral("1899-12-30 ") + value.toTime().toString(QStringLiteral("HH:mm:ss"));
        default:
            break;
        }
        // A timestamp in the stored form (what a copy from another table hands over) is taken as it is.
        if (isText && isStoredTimestamp(*static_cast<const QString*>(value.constData())))
            return value;
        const QString t = value.toString().trimmed();
        if (t.isEmpty())
            return QVariant();
        if (isStoredTimestamp(t))
            return t;
        // Accepted forms: yyyy-mm-dd, yyyy/mm/dd, yyyy-mm-dd HH:MM:SS, and HH:MM for a time of day.
        QString d = t;
        d.replace(QLatin1Char('/'), QLatin1Char('-'));
        const QDateTime full = QDateTime::fromString(d, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (full.isValid())
            return full.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QDate day = QDate::fromString(d, QStringLiteral("yyyy-M-d"));
        if (day.isValid())
            return day.toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
        if (f.format.startsWith(QLatin1String("HH"))) {
            const QTime time = QTime::fromString(t, QStringLiteral("H:mm"));
            if (time.isValid())
                return QStringLiteral("1899-12-30 ") + time.toString(QStringLiteral("HH:mm:ss"));
            // A time of day field: the rule is the clock's, not the calendar's.
            throw Error(QStringLiteral("%1の%2には時刻を 00:00～23:59 の範囲で HH:MM の形で入力してください"
                                       "（「%3」は時刻として読めません）。")
                            .arg(tableCaption(m_tableName), fieldTitle(f), t),
                        ErrorKind::NotADate);
        }
        throw Error(QStringLiteral("%1の%2には実在する日付を yyyy-mm-dd "
                                   "の形で入力してください（「%3」は日付として読めません）。")
                        .arg(tableCaption(m_tableName), fieldTitle(f), t),
                    ErrorKind::NotADate);
    }
    }
    return value;
}

void TableCursor::setValue(int field, const QVariant& value) {
    requireEditing(field);
    m_edit.values[field] = toStorage(field, value);
    m_changed |= quint64(1) << field;
    m_modified = true;
    notify(CursorEvent::FieldChanged, field);
    for (TableCursor* d : std::as_const(m_details))
        if (d->m_masterLinkField == field)
            d->masterMoved();
}

void TableCursor::setText(int field, const QString& text) {
    setValue(field, text.isEmpty() ? QVariant() : QVariant(text));
}
void TableCursor::setFloat(int field, double value) {
    setValue(field, value);
}
void TableCursor::setInteger(int field, qint64 value) {
    setValue(field, value);
}
void TableCursor::setDate(int field, const QDate& day) {
    setValue(field, day.isValid() ? QVariant(day) : QVariant());
}
void TableCursor::setNull(int field) {
    setValue(field, QVariant());
}

// ---------------------------------------------------------------------------------------------------------------
// observers and master-detail

void TableCursor::addObserver(CursorObserver* observer) {
    if (!m_observers.contains(observer))
        m_observers.append(observer);
}

void TableCursor::removeObserver(CursorObserver* observer) {
    m_observers.removeAll(observer);
}

void TableCursor::disableControls() {
    ++m_disabled;
}

void TableCursor::enableControls() {
    if (m_disabled > 0 && --m_disabled == 0 && m_pendingNotify) {
        m_pendingNotify = false;
        notify(CursorEvent::DataChanged);
    }
}

void TableCursor::notify(CursorEvent event, int field) {
    if (m_observers.isEmpty())
        return;
    if (m_disabled > 0) {
        m_pendingNotify = true;
        return;
    }
    const auto observers = m_observers; // an observer may detach itself while being told
    for (CursorObserver* o : observers)
        o->cursorEvent(event, field);
}

// Rows or their contents changed: bound controls re-read, and linked cursors read their set again.
void TableCursor::dataChanged() {
    invalidateCounts();
    ++m_generation;
    notify(CursorEvent::DataChanged);
    for (TableCursor* d : std::as_const(m_details))
        d->masterMoved();
}

void TableCursor::recordMoved() {
    notify(CursorEvent::RecordChanged);
    for (TableCursor* d : std::as_const(m_details))
        d->masterMoved();
}

// The master stands elsewhere: a pending change is posted (or dropped when unchanged) and the linked set is
// read again the next time anything asks for it.
void TableCursor::masterMoved() {
    if (!isOpen())
        return;
    checkBrowse();
    m_stale = true;
    dataChanged();
}

void TableCursor::invalidateCounts() {
    m_count = -1;
    m_insertPos = -1;
}

// ---------------------------------------------------------------------------------------------------------------
// row access for grids

int TableCursor::recordCount() {
    if (!isOpen())
        return 0;
    ensureFresh();
    if (m_count < 0) {
        if (m_bufFromStart && m_bufToEnd) {
            m_count = m_buf.size();
        } else {
            Statement& s =
                m_db->cached(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(m_tableName)) + whereClause({}, 0));
            StatementScope scope(s);
            bindFilter(s);
            m_count = s.step() ? s.columnInt(0) : 0;
        }
    }
    return int(m_count);
}

int TableCursor::recNo() {
    if (!isOpen())
        return -1;
    ensureFresh();
    if (m_pos < 0)
        return -1;
    if (m_bufStartIndex < 0) {
        const int cols = int(m_orderColumns.size()) - m_keysetStart;
        qint64 before = 0;
        if (cols > 0) {
            Statement& s = m_db->cached(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(m_tableName)) +
                                        whereClause(QStringLiteral("<"), cols));
            StatementScope scope(s);
            bindKeyset(s, bindFilter(s), m_buf[m_pos]);
            before = s.step() ? s.columnInt(0) : 0;
        }
        m_bufStartIndex = before - m_pos;
    }
    return int(m_bufStartIndex + m_pos);
}

int TableCursor::insertPosition() {
    if (m_state != CursorState::Insert)
        return -1;
    if (m_insertPos < 0)
        m_insertPos = m_insertAppend ? recordCount() : std::max(0, recNo());
    return m_insertPos;
}

QVector<CursorRow> TableCursor::fetchRows(int offset, int limit) {
    QVector<CursorRow> rows;
    if (!isOpen() || limit <= 0)
        return rows;
    ensureFresh();
    Statement& s = m_db->cached(m_selectList + whereClause({}, 0) + m_orderAsc + QStringLiteral(" LIMIT ? OFFSET ?"));
    const int p = bindFilter(s);
    s.bindInt(p, limit);
    s.bindInt(p + 1, offset);
    readRows(s, rows, limit);
    return rows;
}

void TableCursor::moveToRow(int row) {
    requireOpen();
    ensureFresh();
    const int current = recNo();
    if (row == current || row < 0)
        return;
    checkBrowse();
    if (m_bufStartIndex >= 0 && row >= m_bufStartIndex && row < m_bufStartIndex + m_buf.size()) {
        m_pos = int(row - m_bufStartIndex);
    } else {
        const int start = std::max(0, row - kFirstBatch / 2);
        QVector<CursorRow> rows = fetchRows(start, kFirstBatch * 2);
        if (rows.isEmpty() || row - start >= rows.size())
            return;
        m_buf = std::move(rows);
        m_pos = row - start;
        m_bufStartIndex = start;
        m_bufFromStart = start == 0;
        m_bufToEnd = false;
    }
    m_bof = m_eof = false;
    recordMoved();
}

} // namespace tabi
