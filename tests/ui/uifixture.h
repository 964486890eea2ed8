#pragma once

// Small fixture shared by the widget kit tests: a temporary environment with the personal database and rides in
// JOSHA, read through a cursor in key order.

#include "data/cursor.h"
#include "data/database.h"
#include "support/tempenv.h"

#include <memory>

namespace tabi::test {

struct RideTable {
    TempEnv env;
    std::shared_ptr<Database> db = Database::open(DbKind::Personal);
    std::unique_ptr<TableCursor> cursor;

    // Rides 100001.. on 2024-01-01, section "区間n", n/10 km.
    explicit RideTable(int rows) {
        if (rows > 0) {
            Transaction tx(*db);
            db->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
                     QString::number(rows) +
                     QStringLiteral(") INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                                    "SELECT printf('%06d', 100000 + i), '2024-01-01 00:00:00', '区間' || i, i / 10.0 "
                                    "FROM n"));
            tx.commit();
        }
        cursor = std::make_unique<TableCursor>(db, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"));
        cursor->open();
    }
    ~RideTable() { cursor.reset(); }

    int count() { return db->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(); }
    int field(const char* name) { return cursor->fieldIndex(QString::fromLatin1(name)); }
};

} // namespace tabi::test
