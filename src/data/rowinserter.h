#pragma once

#include "database.h"

#include <QByteArrayView>
#include <QStringList>
#include <vector>

namespace tabi {

// Appends many rows to one table, several rows per statement: a loop copying a whole table then pays the engine's
// start and end of a statement once per batch instead of once per row. Rows are written in the order they are
// added; the last rows go when finish() runs (a row not finished is not written). Texts are taken as stored
// (UTF-8) and must stay as they are until finish(). A failing row throws from add() or finish(), naming the
// table and field as any write does; the rows of its batch are then not written either, so the caller's
// transaction is to be rolled back.
class RowInserter {
public:
    RowInserter(Database& db, const QString& table, const QStringList& columns, int rowsPerStatement = 64);
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;

    // The values of the next row, one per column in order; a text view without data and null() are no value.
    void text(QByteArrayView utf8) { set({utf8.data() ? Kind::Text : Kind::Null, utf8, 0}); }
    void real(double d) { set({Kind::Real, {}, d}); }
    void null() { set({}); }
    void endRow(); // writes a batch once it is full
    void finish(); // writes the rows still waiting

private:
    enum class Kind : quint8 { Null, Text, Real };
    struct Value {
        Kind kind = Kind::Null;
        QByteArrayView text;
        double real = 0;
    };
    void set(const Value& v);
    void bindRow(Statement& s, int firstParameter, const Value* row);

    Database& m_db;
    int m_columns;
    int m_rowsPerStatement;
    QString m_singleSql;
    QString m_batchSql;
    std::vector<Value> m_values; // the rows waiting, column by column
    size_t m_filled = 0;         // values set so far
    size_t m_rowStart = 0;       // where the row being set begins
};

} // namespace tabi
