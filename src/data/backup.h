#pragma once

#include <QDate>
#include <QString>

// Daily copies of the personal record: a lifetime of rides lives in one file.
namespace tabi::backup {

// The folder of the copies: "backups" beside the database file.
QString folderFor(const QString& databasePath);

// Copies the database (through the engine's online backup, so a connection may have it open meanwhile) to
// backups/<name>-yyyy-mm-dd.db when no copy of that day exists yet, then keeps the newest `keep` daily copies.
// The copy is written under a temporary name and renamed when complete. Returns the copy written; empty when
// there was nothing to do (no database yet, or that day's copy exists). Throws tabi::Error naming the reason,
// leaving no part of a copy behind.
QString dailyCopy(const QString& databasePath, const QDate& day, int keep = 7);

// Copies the database as it is now to target (a new file; folders are made as needed), written under a
// temporary name and renamed when complete, like the daily copies. Throws tabi::Error naming the reason, leaving
// no part of the copy behind.
void copyTo(const QString& databasePath, const QString& target);

} // namespace tabi::backup
