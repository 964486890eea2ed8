#pragma once

#include "data/schema.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Bringing a record kept in the Access database pair (the reference file and the personal file) into the
// program's two databases, every table of their layouts row for row.
namespace tabi::mdbimport {

// One table of the program's layouts as an Access file holds it.
struct TableMatch {
    const TableDef* def = nullptr;
    QString accessName;       // as the file spells it
    qint64 rows = 0;          // as the file's table definition counts them
    QList<int> sourceColumns; // per field of def: the Access column, -1 when the file has none of that name
};

// What one Access file holds, measured against the layouts of one of the program's databases.
struct FileSurvey {
    QString path;
    QString format;
    DbKind kind = DbKind::Reference;
    QList<TableMatch> tables;   // carried
    QStringList missingTables;  // layouts the file lacks: their tables stay empty
    QStringList missingColumns; // "TABLE.FIELD" the file lacks: left empty in every row
    QStringList unknownTables;  // "NAME（n 行）": tables of no layout, not carried
    QStringList unknownColumns; // "TABLE.COLUMN（型）": columns of no layout, not carried
    QStringList typeMismatches; // known columns of a type their field cannot take: the import is refused
    QStringList allTables;      // every user table of the file, as it spells them
    // Values the program itself could never have stored (a code of characters no code is made of, a date
    // outside 1800-2200): a sign of a damaged file. Listed before the import, which then needs the user's word.
    QStringList unusual;
    qint64 unusualCount = 0;
    qint64 totalRows() const;
};

struct Survey {
    FileSurvey reference, personal;
    qint64 currentRides = 0; // rides in the current personal database; -1 when it cannot be read
    // Why the import cannot go ahead (wrong or swapped files, columns of the wrong type); empty when it can.
    QStringList blockers() const;
    // The current personal database holds rides (or cannot be read), so replacing it needs the user's word.
    bool needsConfirmation() const { return currentRides != 0; }
    bool hasUnusualValues() const { return reference.unusualCount + personal.unusualCount > 0; }
    // What was found, for the user to read before the import (several lines).
    QString text() const;
};

// Opens both files read-only, measures them against the layouts and looks through their rows for unusual values.
// Throws tabi::Error when a file cannot be
// read as an Access database.
Survey surveyFiles(const QString& referenceMdb, const QString& personalMdb);

// The steps of the replacement, for tests that stop the import between them.
enum class Step { Copied, Journal, Reference, Personal };

struct Options {
    // Replace a current personal database that holds rides (the user has confirmed).
    bool replaceRides = false;
    // Carry values the program could never have stored (Survey::hasUnusualValues; the user has confirmed).
    bool acceptUnusual = false;
    // Called now and then with the rows carried so far, the rows in all, and the table being read; returning
    // false stops the import, which then changes nothing.
    std::function<bool(qint64 done, qint64 total, const QString& table)> progress;
    // Names the copies of the current databases; the current time when invalid.
    QDateTime now;
    // Tests: called after each step of the replacement.
    std::function<void(Step)> afterStep;
};

struct Result {
    Survey survey;
    QStringList counts[2]; // "TABLE n 行" per carried table, of the reference and of the personal database
    QStringList backups;   // copies of the databases as they were before
    QString recovered;     // what was done about an earlier import cut short (see pairswap); empty for nothing
    QString text() const;
};

// Carries both files into new database files and, only when every row of every table has been carried, puts
// them in place of the current databases (paths::databaseFile) after copying those to the backups folder. Runs
// alone: refused while another import runs or a window of the program holds the databases open.
// Throws tabi::Error saying what failed, every refused row with its table, key and field included; the current
// databases then stay as they were.
Result importFiles(const QString& referenceMdb, const QString& personalMdb, const Options& options = {});

// The Access tables of the layouts of one database, in the order they are carried.
QStringList accessTables(DbKind db);

} // namespace tabi::mdbimport
