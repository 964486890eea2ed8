#pragma once

#include "database.h"

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace tabi {

// Every row of a query, held as read: texts as stored (UTF-8) one after the other in a single block of bytes,
// numbers beside them. A step that must visit a whole table in another order than it reads it (sorted, or grouped
// anew) keeps the rows this way instead of allocating a value and a text for each of them.
class RowBlock {
public:
    // Reads every row the query gives; expectedRows (say, from a count) makes room for them at once.
    RowBlock(Statement& query, qsizetype expectedRows = 0);

    qsizetype size() const { return m_columns ? qsizetype(m_cells.size()) / m_columns : 0; }
    // A text without data is no value (null).
    QByteArrayView text(qsizetype row, int column) const {
        const Cell& c = cell(row, column);
        return c.size < 0 ? QByteArrayView() : QByteArrayView(m_bytes.constData() + c.at, c.size);
    }
    double real(qsizetype row, int column) const { return cell(row, column).real; } // no value gives 0
    bool isNull(qsizetype row, int column) const { return cell(row, column).size == kNull; }

private:
    static constexpr int kNull = -1;
    static constexpr int kNumber = -2;
    struct Cell {
        qsizetype at = 0; // text: where it starts in m_bytes
        int size = kNull; // text: its size in bytes; else kNull or kNumber
        double real = 0;
    };
    const Cell& cell(qsizetype row, int column) const { return m_cells[size_t(row * m_columns + column)]; }

    int m_columns = 0;
    std::vector<Cell> m_cells; // row by row
    QByteArray m_bytes;
};

} // namespace tabi
