#pragma once

#include "database.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace tabi {

enum class CursorState { Inactive, Browse, Edit, Insert };

enum class CursorEvent {
    DataChanged,   // the set of rows or their contents changed (open, close, refresh, post, delete, master moved)
    RecordChanged, // another record became current
    StateChanged,  // browse / edit / insert
    FieldChanged,  // one field of the current record was written (field index given)
};

// Bound controls listen to their cursor through this interface; the cursor never knows about widgets.
class CursorObserver {
public:
    virtual ~CursorObserver() = default;
    virtual void cursorEvent(CursorEvent event, int field) = 0;
};

struct CursorRow {
    qint64 rowid = 0;
    QVector<QVariant> values; // per declared field: QString (text, timestamp), double, qint64, or null
};

// A table cursor: one table of one connection in one index order, standing on a current record.
// Rows are read in small windows by key (never the whole table at once) and no statement stays open
// between calls. Rows with equal index values come in key order (rowid for tables without a unique key).
class TableCursor {
public:
    explicit TableCursor(std::shared_ptr<Database> db, const QString& tableName = {}, const QString& indexFieldNames = {});
    ~TableCursor();
    TableCursor(const TableCursor&) = delete;
    TableCursor& operator=(const TableCursor&) = delete;

    // --- configuration ---
    void setTableName(const QString& name); // only while closed; the declared fields must exist in the new table
    const QString& tableName() const { return m_tableName; }
    // The fields this cursor declares, in this order (only while closed); the default is every field of the table.
    // Fields the index order, the key or the master link need are added, hidden, when missing. A loop that reads
    // a few fields of a wide table declares just those, so rows are read and converted for them alone.
    void setFieldNames(const QStringList& names);
    // "A;B": ascending by A, then B; empty values of a field that may be empty come first. On an open cursor
    // the current record stays current. A name the table lacks is refused and the previous order stays.
    void setIndexFieldNames(const QString& names);
    // An index stored in the database under this name (e.g. "BUNRUI_CD").
    void setIndexName(const QString& name);
    QString indexFieldNames() const;
    // Master-detail link: only the rows whose link field equals the master's current value, following every move
    // (none while the master stands on a new record). Only while closed.
    void setMasterSource(TableCursor* master, const QString& linkField);
    TableCursor* masterSource() const { return m_master; }
    Database& database() const { return *m_db; }
    const std::shared_ptr<Database>& databasePtr() const { return m_db; }

    // --- lifecycle ---
    void open();
    void close();  // an unposted insert or edit is dropped
    void reopen(); // close, open: first record, every committed change visible
    void refresh(); // re-read keeping the current record where it still exists (the same key), else its successor
    bool isOpen() const { return m_state != CursorState::Inactive; }
    CursorState state() const { return m_state; }

    // --- navigation ---
    void first();
    void prior();
    void next();
    void last();
    int moveBy(int distance); // returns the distance actually moved
    bool eof();
    bool bof();
    bool isEmpty();
    // First record whose leading index fields are >= values (fewer values than index fields compare a prefix).
    bool findNearest(const QVariantList& values);
    // The record whose leading index fields equal values; false (and no move) when there is none.
    bool findKey(const QVariantList& values);

    // --- editing ---
    void insert(); // a new empty record before the current one
    void append(); // a new empty record at the end
    void edit();   // no effect when already editing or inserting
    // Write the new or changed record; the cursor stays on it. Posts and deletes find the stored row by its rowid
    // and key as read: when another connection changed its key or deleted it meanwhile, they throw
    // (ErrorKind::ChangedByOther) and the record stays in edit.
    void post();
    void cancel();
    void remove(); // delete the current record, then stand on the next; on failure an edit stays pending
    bool isModified() const { return m_modified; }

    // --- fields ---
    int fieldCount() const { return int(m_fields.size()); }
    // Available before open() too (screens set labels, widths and formats first); throws for a bad index.
    const FieldDef& fieldDef(int field) const;
    FieldDef& fieldDef(int field);
    int fieldIndex(const QString& name) const;               // throws when the table has no such field
    int findField(const QString& name) const;                // -1 when absent

    QVariant value(int field);
    bool isNull(int field);
    QString asString(int field);   // raw text; numbers in plain form; null gives ""
    QString displayText(int field); // through the field's display format; null gives ""
    double asFloat(int field);     // null gives 0
    qint64 asInteger(int field);   // null gives 0
    QDate asDate(int field);       // null gives a null date
    void setValue(int field, const QVariant& value);
    void setText(int field, const QString& text); // empty text writes null; converted to the field's type
    void setFloat(int field, double value);
    void setInteger(int field, qint64 value);
    void setDate(int field, const QDate& day); // the day at 00:00:00; a null date writes null
    void setNull(int field);

    QVariant value(const QString& f) { return value(fieldIndex(f)); }
    bool isNull(const QString& f) { return isNull(fieldIndex(f)); }
    QString asString(const QString& f) { return asString(fieldIndex(f)); }
    QString displayText(const QString& f) { return displayText(fieldIndex(f)); }
    double asFloat(const QString& f) { return asFloat(fieldIndex(f)); }
    qint64 asInteger(const QString& f) { return asInteger(fieldIndex(f)); }
    QDate asDate(const QString& f) { return asDate(fieldIndex(f)); }
    void setValue(const QString& f, const QVariant& v) { setValue(fieldIndex(f), v); }
    void setText(const QString& f, const QString& t) { setText(fieldIndex(f), t); }
    void setFloat(const QString& f, double v) { setFloat(fieldIndex(f), v); }
    void setInteger(const QString& f, qint64 v) { setInteger(fieldIndex(f), v); }
    void setDate(const QString& f, const QDate& d) { setDate(fieldIndex(f), d); }
    void setNull(const QString& f) { setNull(fieldIndex(f)); }

    // --- bound controls ---
    void addObserver(CursorObserver* observer);
    void removeObserver(CursorObserver* observer);
    void disableControls(); // nested; bound controls get one DataChanged when the last enableControls() runs
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

    // --- row access for grids (does not move the cursor) ---
    int recordCount();    // rows in the (linked) set, not counting an unposted insert
    int recNo();          // 0-based index of the current record in the set; -1 when none
    int insertPosition(); // index at which an unposted new record shows; -1 when not inserting
    QVector<CursorRow> fetchRows(int offset, int limit);
    void moveToRow(int row);
    quint64 generation() const { return m_generation; } // changes whenever rows may have changed

private:
    struct Query;
    void requireOpen() const;
    void beginInsert(bool atEnd);
    void beginMove();
    void initFields();
    void ensureFields(); // field metadata of a cursor not yet opened
    void requireEditing(int field) const;
    void ensureFresh();
    void buildQueries();
    void resolveOrder(const QStringList& fields);
    int orderColumnsOf(int fieldCount) const; // order columns of the leading index fields
    int bindFieldKeys(Statement& s, int p, const QVariantList& values, int count) const;
    bool sameRecord(const CursorRow& a, const CursorRow& b) const;
    int bindIdentity(Statement& s, int p, const CursorRow& row) const;
    [[noreturn]] void raiseChangedByOther(bool deleting) const;
    QString whereClause(const QString& keysetOp, int keysetCols) const;
    int bindFilter(Statement& s) const;
    void bindKeyset(Statement& s, int first, const CursorRow& row) const;
    QVariant keyValue(const CursorRow& row, int orderPos) const;
    int readRows(Statement& s, QVector<CursorRow>& out, int limit) const;
    CursorRow readRow(Statement& s, const CursorRow* previous) const;
    bool loadFirst();
    bool loadLast();
    bool fetchBeside(const CursorRow& row, qint64 rowIndex, bool forward);
    qint64 indexInWindow(int pos) const;
    bool rereadCurrent(qint64 rowid, const CursorRow* expected = nullptr);
    void setEmpty();
    void checkBrowse();
    QVariant masterValue();
    QVariant toStorage(int field, const QVariant& value) const;
    const QVariant& raw(int field);
    void notify(CursorEvent event, int field = -1);
    void recordMoved();
    void dataChanged();
    void masterMoved();
    void invalidateCounts();

    std::shared_ptr<Database> m_db;
    QString m_tableName;
    const TableDef* m_def = nullptr;
    QVector<FieldDef> m_fields;
    QStringList m_declaredNames; // setFieldNames(); empty = every field
    QString m_indexNames;    // as set: field list or stored index name
    bool m_indexIsStored = false;
    // How an order column turns a row's field value into the value it compares.
    enum class KeyForm : quint8 { Plain, EmptyForNull, NullFlag, ZeroForNull, Rowid };
    QVector<int> m_orderFields;     // field indices of the index order followed by the remaining key fields
    QVector<int> m_orderFieldCols;  // per order field: its first order column
    QStringList m_orderColumns;     // SQL expressions ordered by, then "rowid" when the order is not unique
    QVector<int> m_orderColField;   // per order column: its field (-1 for rowid)
    QVector<KeyForm> m_orderForm;   // per order column
    int m_keysetStart = 0;          // first order column used for keyset positioning (after a leading link)
    QVector<int> m_identityFields;  // the key (every field when the table has none): what makes a row the same
    QString m_identityWhere;        // " AND f IS ?" for each of them

    QString m_selectList;
    QString m_orderAsc;
    QString m_orderDesc;

    TableCursor* m_master = nullptr;
    QString m_linkName;
    int m_linkField = -1;
    int m_masterLinkField = -1;
    QList<TableCursor*> m_details;
    bool m_stale = false;

    CursorState m_state = CursorState::Inactive;
    QVector<CursorRow> m_buf;
    int m_pos = -1;
    bool m_bufFromStart = false;
    bool m_bufToEnd = false;
    qint64 m_bufStartIndex = -1;
    int m_batch = 32;
    bool m_bof = true;
    bool m_eof = true;

    CursorRow m_edit;
    CursorRow m_editOrigin; // the record as read when its edit began
    quint64 m_changed = 0;  // one bit per field written since the edit began (at most 64 fields)
    bool isChanged(int field) const { return field >= 0 && field < 64 && (m_changed & (quint64(1) << field)); }
    bool m_modified = false;
    bool m_insertAppend = false;
    int m_insertPos = -1;

    QHash<quint64, Statement*> m_insertStatements; // by the set of fields written
    QHash<quint64, Statement*> m_updateStatements;
    qint64 m_count = -1;
    quint64 m_generation = 0;
    QList<CursorObserver*> m_observers;
    int m_disabled = 0;
    bool m_pendingNotify = false;
};

} // namespace tabi
