#pragma once

#include "error.h"
#include "schema.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace tabi {

// Where the two database files live: the application data folder, unless a test points elsewhere.
namespace paths {
QString dataDir();
void setDataDir(const QString& dir); // empty restores the default
QString databaseFile(DbKind db);     // Tabiroku.db / JJ.db in dataDir()
} // namespace paths

// The files an attempt to open the database at path may create that do not exist yet (the file itself and its
// journal files), so that a failed attempt can take them away again.
QStringList absentDatabaseFiles(const QString& path);

// Why the program would refuse the database file at path: written by a newer version of the program, or a
// database of another program. Empty when it would open it, or when the file cannot be read as a database at
// all (opening it then says why). Read without changing a byte of the file or of its -wal and -shm files: no
// checkpoint, no marks in the shared index, nothing created beside it.
QString refusalOfFile(const QString& path);

class Database;

// Told when a statement begins to wait for another connection's lock (true) and when that statement has ended,
// however it ended (false): once per statement, however often the engine retries meanwhile. The widget kit shows
// the wait cursor with it; the data layer itself knows no widgets. Returns the previous hook; nullptr for none.
using BusyWaitHook = void (*)(bool waiting);
BusyWaitHook setBusyWaitHook(BusyWaitHook hook);

// A prepared statement owned by its connection. Reset after every use so that no read transaction
// stays open between commands (another connection's write must never wait on an idle cursor).
class Statement {
public:
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based; QString, double, integers, null
    void bindText(int index, const QString& value);
    void bindDouble(int index, double value);
    void bindInt(int index, qint64 value);
    void bindNull(int index);
    // Text as the engine stores it (UTF-8); a view without data binds null. A loop copying text from one statement
    // to another hands it over without decoding it. Unless copied, the bytes must stay as they are until the
    // statement is reset.
    enum class Bytes { Copied, Kept };
    void bindUtf8(int index, QByteArrayView utf8, Bytes bytes = Bytes::Copied);
    bool step(); // true while a row is available; throws tabi::Error on failure
    void reset();
    int columnCount() const;
    QVariant column(int index) const; // 0-based
    QString columnText(int index) const;
    double columnDouble(int index) const;
    qint64 columnInt(int index) const;
    bool columnIsNull(int index) const;
    // The column's text as stored (UTF-8), valid until the next step or reset; a null value gives a view without
    // data. Nothing is decoded or allocated.
    QByteArrayView columnUtf8(int index) const;
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    Database& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Resets a statement when the scope ends, whatever happens.
class StatementScope {
public:
    explicit StatementScope(Statement& s) : m_s(s) {}
    ~StatementScope() { m_s.reset(); }
    Statement* operator->() { return &m_s; }
    Statement& operator*() { return m_s; }

private:
    Statement& m_s;
};

// One connection to one database file. WAL journal with synchronous=FULL: a write is on disk when it
// returns. Every statement commits at once unless a Transaction is open on the connection.
class Database {
public:
    // Opens the file of the given database in paths::dataDir(); a missing file is created with every table
    // (and, for the reference database, filled with the supplied data). Throws tabi::Error.
    static std::shared_ptr<Database> open(DbKind db);
    static std::shared_ptr<Database> openFile(const QString& path, DbKind db);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    DbKind kind() const { return m_kind; }
    const QString& path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    // Runs statements that return no rows; lines are joined with line breaks.
    void exec(const QString& sql);
    void execLines(const QStringList& lines) { exec(lines.join(QLatin1Char('\n'))); }
    // How long a write waits for another connection's lock before it fails with a "locked" message (5 s unless
    // set); the hook above hears of the wait.
    void setBusyTimeout(int milliseconds);
    // After a statement returns: ends a wait the busy handler announced.
    void endBusyWait() {
        if (m_waiting)
            announceWaitEnd();
    }

    // A single value of a one-row query (tests, checks).
    QVariant scalar(const QString& sql);
    // Changes with every commit another connection makes to the file (PRAGMA data_version): a screen compares it
    // to tell whether to read again.
    qint64 dataVersion();
    // Every row of a query as text, one line per row, fields ended by '|' (comparisons in tests and benchmarks).
    QString dump(const QString& sql);

    // A cached prepared statement for this connection.
    Statement& cached(const QString& sql);

    // The change counter of this connection's writes, so cursors can tell when their caches are stale.
    quint64 writeGeneration() const { return m_writeGeneration; }
    void noteWrite() { ++m_writeGeneration; }

    // Turns the engine's last error into a message naming the table, the field and the rule, and its kind.
    [[noreturn]] void raise(int rc, const QString& context = {}) const;
    QString describeError(int rc, const QString& engineMessage) const;
    static ErrorKind errorKind(int rc, const QString& engineMessage, int systemErrno = 0);

private:
    Database(const QString& path, DbKind db);
    void createSchema();
    void upgradeSchema();
    static int busyHandler(void* self, int attempts);
    void announceWaitEnd();

    sqlite3* m_db = nullptr;
    QString m_path;
    DbKind m_kind;
    QHash<QString, Statement*> m_cache;
    quint64 m_writeGeneration = 0;
    int m_transactionDepth = 0;
    bool m_rollbackOnly = false; // an inner scope failed: the outer transaction may only roll back
    int m_busyTimeout = 5000;    // milliseconds
    qint64 m_waitStarted = 0;    // steady clock, milliseconds: when the current run of retries began
    bool m_waiting = false;      // the hook was told of a wait that has not ended yet
    friend class Transaction;
};

// All or nothing: BEGIN IMMEDIATE now, COMMIT on commit(), ROLLBACK when destroyed uncommitted.
// Nested scopes join the outer transaction; an inner scope destroyed uncommitted dooms the outer one, whose
// commit() then rolls everything back and throws.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();

private:
    Database& m_db;
    bool m_outer = false;
    bool m_done = false;
};

} // namespace tabi
