#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

// One Access (Jet) database file, opened read-only through libmdb: its user tables, their columns and their
// rows as the raw bytes of each column. Nothing here writes to the file.
namespace tabi::jet {

// Column kinds of the Jet format that the program's layouts can take in.
enum class ColumnKind { Byte, Int16, Int32, Single, Double, DateTime, Text, Memo, Other };

struct ColumnInfo {
    QString name;
    ColumnKind kind = ColumnKind::Other;
    QString typeName; // as Access names it, for reports
    int size = 0;     // bytes in the row (text: two per character in Jet4)
};

struct TableInfo {
    QString name;
    qint64 rows = 0; // as the table's definition counts them
    QList<ColumnInfo> columns;
};

// One column value of the current row: no value (null; empty text reads the same), or the bytes the row holds
// for it. Memo values stored outside the row arrive as text already (libmdb reads their pages).
struct RawValue {
    bool isNull = true;
    QByteArrayView bytes;
    QString memoText;
    bool memoAsText = false;
};

class JetFile {
public:
    // Throws tabi::Error when the file cannot be opened or is no Access database libmdb can read.
    explicit JetFile(const QString& path);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    const QString& path() const { return m_path; }
    bool isJet3() const;
    QString formatName() const; // "Access 97 (Jet 3)", "Access 2000-2003 (Jet 4)", ...
    const QList<TableInfo>& tables() const { return m_tables; }
    const TableInfo* table(const QString& name) const; // case-insensitive; nullptr when absent

    // Calls row(values) for every row of the table in stored order, values[i] being the column columns[i] (an
    // index into the table's columns). row returns false to stop. Throws tabi::Error when the rows read are fewer
    // or more than the table's definition counts (a damaged or truncated file). Returns the rows read.
    qint64 readRows(const QString& tableName, const QList<int>& columns,
                    const std::function<bool(const QList<RawValue>&)>& row);

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    QString m_path;
    QList<TableInfo> m_tables;
};

} // namespace tabi::jet
