#pragma once

#include "database.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <vector>

namespace tabi {

// Writes many rows, several rows per statement: a loop over a whole table then pays the engine's start and end of
// a statement once per batch instead of once per row. The statement for n rows is head, n times the row's
// parameter list joined by ", ", then tail: an INSERT's VALUES list, or the VALUES list an UPDATE ... FROM joins.
// Rows are written in the order they are added; the last rows go when finish() runs (a row not ended is not
// written). A failing row throws from endRow() or finish(), naming the table and field as any write does; the
// rows of its batch are then not written either, so the caller's transaction is to be rolled back.
class BatchWriter {
public:
    BatchWriter(Database& db, const QString& head, const QString& row, const QString& tail, int rowsPerStatement = 64);
    // Appends rows to a table: INSERT INTO table (columns) VALUES (?, ...), ...
    static BatchWriter insertInto(Database& db, const QString& table, const QStringList& columns,
                                  int rowsPerStatement = 64);
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    // The values of the next row, one per parameter in order; a text view without data and null() are no value.
    // Texts are taken as stored (UTF-8): text() keeps the caller's bytes, which must stay as they are until
    // finish(); copy() takes a copy of bytes the caller changes meanwhile.
    void text(QByteArrayView utf8) { set({utf8.data() ? Kind::Text : Kind::Null, utf8, 0}); }
    void copy(QByteArrayView utf8);
    void integer(qint64 n) { set({Kind::Integer, {}, 0, n}); }
    void real(double d) { set({Kind::Real, {}, d}); }
    void null() { set({}); }
    void endRow(); // writes a batch once it is full
    void finish(); // writes the rows still waiting

private:
    enum class Kind : quint8 { Null, Text, Copied, Integer, Real };
    struct Value {
        Kind kind = Kind::Null;
        QByteArrayView text;
        double real = 0;
        qint64 integer = 0; // Copied: where the text starts in m_copies
        qsizetype copiedSize = 0;
    };
    void set(const Value& v);
    void bindRow(Statement& s, int firstParameter, const Value* row);
    void written(); // the rows waiting are gone, written or not: a failure dooms the transaction

    Database& m_db;
    int m_columns;
    int m_rowsPerStatement;
    QString m_singleSql;
    QString m_batchSql;
    std::vector<Value> m_values; // the rows waiting, column by column
    QByteArray m_copies;         // the copied texts of the rows waiting
    size_t m_filled = 0;         // values set so far
    size_t m_rowStart = 0;       // where the row being set begins
};

} // namespace tabi
