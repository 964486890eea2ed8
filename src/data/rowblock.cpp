#include "rowblock.h"

#include <algorithm>
#include <sqlite3.h>

namespace tabi {

RowBlock::RowBlock(Statement& query, qsizetype expectedRows) : m_columns(query.columnCount()) {
    // Room for every row at once: growing by steps would copy everything read so far again and again.
    m_cells.reserve(size_t(std::max<qsizetype>(expectedRows, 0)) * size_t(m_columns));
    m_bytes.reserve(std::max<qsizetype>(expectedRows, 0) * 32);
    StatementScope scope(query);
    sqlite3_stmt* st = query.handle();
    while (query.step()) {
        for (int c = 0; c < m_columns; ++c) {
            Cell cell;
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                cell.size = kNumber;
                cell.real = sqlite3_column_double(st, c);
                break;
            default: {
                const QByteArrayView t = query.columnUtf8(c);
                cell.at = m_bytes.size();
                cell.size = int(t.size());
                m_bytes.append(t);
            }
            }
            m_cells.push_back(cell);
        }
    }
}

} // namespace tabi
