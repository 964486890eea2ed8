#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The table layouts of both databases, declared once. Cursors take their field metadata from here
// and the schema (keys, widths, types, defaults, indexes) is generated from the same declarations.
namespace tabi {

enum class DbKind { Reference, Personal };

enum class FieldType { Text, Real, Integer, SmallInt, Timestamp };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;          // characters, for text fields
    QString label;         // grid title or caption; the field name when empty
    QString hint;          // the title in full, shown as a tooltip where the title is short
    int displayWidth = 0;  // characters; 0 = as wide as the text size (or a type default)
    QString format;        // display picture ("#,##0.0", "yyyy-mm-dd", ...)
    bool hidden = false;   // not shown as a grid column
    QString defaultSql;    // default supplied by the database (SQL expression), empty for none
    bool notNull = false;  // key and link fields

    QString displayLabel() const { return label.isEmpty() ? name : label; }
};

struct IndexDef {
    QString name;       // stored index name as the program asks for it; empty for an order index
    QStringList fields; // ascending
    bool unique = false;
};

struct TableDef {
    QString name;
    DbKind db = DbKind::Reference;
    QList<FieldDef> fields;
    QStringList key;         // primary key fields; empty when the table declares none
    bool keyUnique = true;   // false: a declared but non-unique key (rows told apart by rowid)
    QList<IndexDef> indexes; // stored indexes and the index orders cursors use

    int fieldIndex(const QString& fieldName) const; // -1 when absent
    const FieldDef& field(const QString& fieldName) const;
};

// Every table of one database, in creation order.
const QList<TableDef>& tables(DbKind db);
// The declaration of a table by name (case-insensitive); nullptr when unknown.
const TableDef* findTable(const QString& name);
// How messages name a table and a field to the user: the table by what it holds ("乗車実績"), the field by its
// full caption in corner brackets (「乗車年月日」, 「発時刻」); internal names only where no caption exists.
QString tableCaption(const QString& tableName);
QString fieldCaption(const FieldDef& field);
QString fieldCaption(const QString& tableName, const QString& fieldName);

// Physical name of a stored or order index in SQLite (index names are global there, so they are prefixed).
QString physicalIndexName(const TableDef& table, const IndexDef& index);

// The column an index order sorts by: the field itself, or for a field that may be null a generated
// column holding ifnull(field, '') so that keyset positioning never meets a NULL.
QString orderColumn(const TableDef& table, const QString& fieldName);

// DDL of one database: CREATE TABLE ... STRICT with CHECK constraints, and CREATE INDEX statements.
QStringList schemaStatements(DbKind db);
// The same for one table (its CREATE TABLE and its indexes).
QStringList tableStatements(const TableDef& table);

// Bumped when a layout changes; stored as PRAGMA user_version. A file of an older version gets the tables
// it lacks when it is opened (version 2 added the network tables EKI_ICHI and ROSEN_SEN).
constexpr int kSchemaVersion = 3;

} // namespace tabi
