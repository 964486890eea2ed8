#include "batchwriter.h"

#include "error.h"

#include <QScopeGuard>
#include <algorithm>

namespace tabi {

BatchWriter::BatchWriter(Database& db, const QString& head, const QString& row, const QString& tail,
                         int rowsPerStatement)
    : m_db(db), m_columns(int(row.count(QLatin1Char('?')))), m_rowsPerStatement(std::max(1, rowsPerStatement)) {
    m_singleSql = head + row + tail;
    QStringList rows;
    for (int i = 0; i < m_rowsPerStatement; ++i)
        rows << row;
    m_batchSql = head + rows.join(QStringLiteral(", ")) + tail;
    m_values.resize(size_t(m_columns) * size_t(m_rowsPerStatement));
}

BatchWriter BatchWriter::insertInto(Database& db, const QString& table, const QStringList& columns,
                                    int rowsPerStatement) {
    QStringList quoted, parameters;
    for (const QString& c : columns) {
        quoted << QLatin1Char('"') + c + QLatin1Char('"');
        parameters << QStringLiteral("?");
    }
    return BatchWriter(
        db, QStringLiteral("INSERT INTO \"%1\" (%2) VALUES ").arg(table, quoted.join(QStringLiteral(", "))),
        QLatin1Char('(') + parameters.join(QStringLiteral(", ")) + QLatin1Char(')'), QString(), rowsPerStatement);
}

void BatchWriter::copy(QByteArrayView utf8) {
    if (!utf8.data()) {
        null();
        return;
    }
    set({Kind::Copied, {}, 0, m_copies.size(), utf8.size()});
    m_copies.append(utf8);
}

void BatchWriter::set(const Value& v) {
    if (m_filled >= m_rowStart + size_t(m_columns))
        throw Error(QStringLiteral("表への書き込みで、1行の値の数が列の数を超えました。"));
    m_values[m_filled++] = v;
}

void BatchWriter::bindRow(Statement& s, int firstParameter, const Value* row) {
    for (int c = 0; c < m_columns; ++c) {
        const Value& v = row[c];
        const int p = firstParameter + c;
        switch (v.kind) {
        case Kind::Text:
            s.bindUtf8(p, v.text, Statement::Bytes::Kept);
            break;
        case Kind::Copied: // where the copies are now: they may have moved as more were added
            s.bindUtf8(p, QByteArrayView(m_copies.constData() + v.integer, v.copiedSize), Statement::Bytes::Kept);
            break;
        case Kind::Integer:
            s.bindInt(p, v.integer);
            break;
        case Kind::Real:
            s.bindDouble(p, v.real);
            break;
        case Kind::Null:
            s.bindNull(p);
            break;
        }
    }
}

void BatchWriter::written() {
    m_filled = m_rowStart = 0;
    m_copies.resize(0); // keeps its room for the next batch
}

void BatchWriter::endRow() {
    // A row with fewer values leaves the rest empty.
    while (m_filled < m_rowStart + size_t(m_columns))
        m_values[m_filled++] = Value{};
    m_rowStart = m_filled;
    if (m_filled < m_values.size())
        return;
    const auto done = qScopeGuard([this] { written(); });
    Statement& s = m_db.cached(m_batchSql);
    StatementScope scope(s);
    for (int r = 0; r < m_rowsPerStatement; ++r)
        bindRow(s, 1 + r * m_columns, &m_values[size_t(r) * size_t(m_columns)]);
    s.step();
}

void BatchWriter::finish() {
    const size_t rows = m_rowStart / size_t(m_columns); // a row not ended is not written
    const auto done = qScopeGuard([this] { written(); });
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
