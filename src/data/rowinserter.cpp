#include "rowinserter.h"

#include "error.h"

#include <algorithm>

namespace tabi {

namespace {
QString valuesOfRow(int columns) {
    QStringList p;
    for (int i = 0; i < columns; ++i)
        p << QStringLiteral("?");
    return QLatin1Char('(') + p.join(QStringLiteral(", ")) + QLatin1Char(')');
}
} // namespace

RowInserter::RowInserter(Database& db, const QString& table, const QStringList& columns, int rowsPerStatement)
    : m_db(db), m_columns(int(columns.size())), m_rowsPerStatement(std::max(1, rowsPerStatement)) {
    QStringList quoted;
    for (const QString& c : columns)
        quoted << QLatin1Char('"') + c + QLatin1Char('"');
    const QString head =
        QStringLiteral("INSERT INTO \"%1\" (%2) VALUES ").arg(table, quoted.join(QStringLiteral(", ")));
    const QString row = valuesOfRow(m_columns);
    m_singleSql = head + row;
    QStringList rows;
    for (int i = 0; i < m_rowsPerStatement; ++i)
        rows << row;
    m_batchSql = head + rows.join(QStringLiteral(", "));
    m_values.resize(size_t(m_columns) * size_t(m_rowsPerStatement));
}

void RowInserter::set(const Value& v) {
    if (m_filled >= m_rowStart + size_t(m_columns))
        throw Error(QStringLiteral("表への書き込みで、1行の値の数が列の数を超えました。"));
    m_values[m_filled++] = v;
}

void RowInserter::bindRow(Statement& s, int firstParameter, const Value* row) {
    for (int c = 0; c < m_columns; ++c) {
        const Value& v = row[c];
        switch (v.kind) {
        case Kind::Text:
            s.bindUtf8(firstParameter + c, v.text, Statement::Bytes::Kept);
            break;
        case Kind::Real:
            s.bindDouble(firstParameter + c, v.real);
            break;
        case Kind::Null:
            s.bindNull(firstParameter + c);
            break;
        }
    }
}

void RowInserter::endRow() {
    // A row with fewer values leaves the rest empty.
    while (m_filled < m_rowStart + size_t(m_columns))
        m_values[m_filled++] = Value{};
    m_rowStart = m_filled;
    if (m_filled < m_values.size())
        return;
    Statement& s = m_db.cached(m_batchSql);
    StatementScope scope(s);
    for (int r = 0; r < m_rowsPerStatement; ++r)
        bindRow(s, 1 + r * m_columns, &m_values[size_t(r) * size_t(m_columns)]);
    m_filled = m_rowStart = 0; // the batch is gone whether it was written or not: a failure dooms the transaction
    s.step();
}

void RowInserter::finish() {
    const size_t rows = m_rowStart / size_t(m_columns); // a row not ended is not written
    m_filled = m_rowStart = 0;
    if (rows == 0)
        return;
    Statement& s = m_db.cached(m_singleSql);
    for (size_t r = 0; r < rows; ++r) {
        StatementScope scope(s);
        bindRow(s, 1, &m_values[r * size_t(m_columns)]);
        s.step();
    }
}

} // namespace tabi
