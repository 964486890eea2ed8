#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Daily copies of the personal record: a lifetime of rides lives in one file.
namespace tabi::backup {

// The folder of the copies: "backups" beside the database file.
QString folderFor(const QString& databasePath);

// Copies the database (through the engine's online backup, so a connection may have it open meanwhile) to
// backups/<name>-yyyy-mm-dd.db when no copy of that day exists yet, then keeps `keep` daily copies: that day's,
// and the newest others by name (copies dated after that day, made while the clock was ahead, count among them
// and never push that day's copy out). The copy is written under a temporary name and renamed when complete.
// A file the program would refuse to open is neither read nor copied (see refusalOfFile). Returns the copy
// written; empty when there was nothing to do (no database yet, that day's copy exists, a refused file).
// Throws tabi::Error naming the reason, leaving no part of a copy behind.
QString dailyCopy(const QString& databasePath, const QDate& day, int keep = 7);

// The names of the daily copies dated after day, oldest first.
QStringList copiesDatedAfter(const QString& databasePath, const QDate& day);

// Copies the database as it is now to target (a new file; folders are made as needed), written under a
// temporary name and renamed when complete, like the daily copies. Throws tabi::Error naming the reason, leaving
// no part of the copy behind.
void copyTo(const QString& databasePath, const QString& target);

} // namespace tabi::backup
