#include "database.h"

#include "error.h"
#include "rules.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <iterator>
#include <sqlite3.h>
#include <utility>

static void initSeedResource() { Q_INIT_RESOURCE(data); }

namespace tabi {

namespace paths {
namespace {
QString& overrideDir() {
    static QString dir;
    return dir;
}
} // namespace

QString dataDir() {
    if (!overrideDir().isEmpty())
        return overrideDir();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tabiroku");
}

void setDataDir(const QString& dir) { overrideDir() = dir; }

QString databaseFile(DbKind db) {
    return dataDir() + (db == DbKind::Reference ? QStringLiteral("/Tabiroku.db") : QStringLiteral("/JJ.db"));
}
} // namespace paths

QStringList absentDatabaseFiles(const QString& path) {
    QStringList absent;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        if (!QFileInfo::exists(path + QLatin1String(suffix)))
            absent << path + QLatin1String(suffix);
    return absent;
}

namespace {

QString refusalText(const QString& path, qint64 version, qint64 objects) {
    if (version == 0 && objects != 0)
        return QStringLiteral("%1 はこのプログラムのデータベースではありません（表の版が記録されていません）。")
            .arg(path);
    if (version > kSchemaVersion)
        return QStringLiteral("%1 はこのプログラムより新しい版で作られています（版 %2）。").arg(path).arg(version);
    return {};
}

bool queryInteger(sqlite3* db, const char* sql, qint64* value) {
    sqlite3_stmt* stmt = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW;
    if (ok)
        *value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return ok;
}

QByteArray fileUri(const QString& path) {
    return "file:" + QFile::encodeName(QFileInfo(path).absoluteFilePath()).toPercentEncoding("/");
}

// The version and the number of schema objects through a read-only connection that does not checkpoint when
// it closes. False when the file cannot be read as a database.
bool readVersion(const QByteArray& uri, qint64* version, qint64* objects) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                              nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, static_cast<int*>(nullptr));
        sqlite3_busy_timeout(db, 5000);
        ok = queryInteger(db, "PRAGMA user_version", version) &&
             queryInteger(db, "SELECT count(*) FROM sqlite_schema", objects);
    }
    sqlite3_close_v2(db);
    return ok;
}

} // namespace

QString refusalOfFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0)
        return {};
    qint64 version = 0, objects = 0;
    const QFileInfo wal(path + QStringLiteral("-wal"));
    bool read = false;
    if (!wal.exists() || wal.size() == 0) {
        // No frames waiting: the file alone is the whole database, read as a file that nothing else changes.
        read = readVersion(fileUri(path) + "?mode=ro&immutable=1", &version, &objects);
    } else if (QFileInfo::exists(path + QStringLiteral("-shm"))) {
        // Frames waiting: read through the shared index without writing to it (a reader's marks would change
        // it); an index that is not usable is rebuilt in memory.
        read = readVersion(fileUri(path) + "?mode=ro&readonly_shm=1", &version, &objects);
    } else {
        // Frames without an index (the files were copied, or the index removed): any reader would create one,
        // so the two files are read as a copy.
        QTemporaryDir scratch;
        const QString copy = scratch.filePath(QStringLiteral("check.db"));
        read = scratch.isValid() && QFile::copy(path, copy) &&
               QFile::copy(wal.filePath(), copy + QStringLiteral("-wal")) &&
               readVersion(fileUri(copy), &version, &objects);
    }
    return read ? refusalText(path, version, objects) : QString();
}

namespace {
BusyWaitHook g_busyWaitHook = nullptr;
} // namespace

BusyWaitHook setBusyWaitHook(BusyWaitHook hook) { return std::exchange(g_busyWaitHook, hook); }

// ---------------------------------------------------------------------------------------------------------------

Statement::Statement(Database& db, const QString& sql) : m_db(db) {
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db.handle(), utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT,
                                      &m_stmt, nullptr);
    db.endBusyWait(); // reading the schema may have waited too
    if (rc != SQLITE_OK)
        db.raise(rc, sql);
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

void Statement::bind(int index, const QVariant& value) {
    if (value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Bool:
        bindInt(index, value.toLongLong());
        break;
    default:
        bindText(index, value.toString());
    }
}

void Statement::bindText(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}
void Statement::bindDouble(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }
void Statement::bindInt(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }
void Statement::bindNull(int index) { sqlite3_bind_null(m_stmt, index); }
void Statement::bindUtf8(int index, QByteArrayView utf8, Bytes bytes) {
    if (!utf8.data())
        sqlite3_bind_null(m_stmt, index);
    else
        sqlite3_bind_text(m_stmt, index, utf8.data(), int(utf8.size()),
                          bytes == Bytes::Kept ? SQLITE_STATIC : SQLITE_TRANSIENT);
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    m_db.endBusyWait();
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_db.raise(rc);
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const { return sqlite3_column_count(m_stmt); }

QVariant Statement::column(int index) const {
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, index));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(columnText(index));
    }
}

QString Statement::columnText(int index) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, index)) : QString();
}
double Statement::columnDouble(int index) const { return sqlite3_column_double(m_stmt, index); }
qint64 Statement::columnInt(int index) const { return sqlite3_column_int64(m_stmt, index); }
bool Statement::columnIsNull(int index) const { return sqlite3_column_type(m_stmt, index) == SQLITE_NULL; }
QByteArrayView Statement::columnUtf8(int index) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, index)) : QByteArrayView();
}

// ---------------------------------------------------------------------------------------------------------------

Database::Database(const QString& path, DbKind db) : m_path(path), m_kind(db) {}

Database::~Database() {
    qDeleteAll(m_cache);
    sqlite3_close_v2(m_db);
}

qint64 Database::dataVersion() { return scalar(QStringLiteral("PRAGMA data_version")).toLongLong(); }

std::shared_ptr<Database> Database::open(DbKind db) { return openFile(paths::databaseFile(db), db); }

std::shared_ptr<Database> Database::openFile(const QString& path, DbKind db) {
    std::shared_ptr<Database> d(new Database(path, db));
    const QFileInfo info(path);
    // Whatever this attempt creates (the file itself, its journal files) goes again when the attempt fails.
    const QStringList created = absentDatabaseFiles(path);
    if (!info.exists() && !QDir().mkpath(info.absolutePath()))
        throw Error(QStringLiteral("データベースのフォルダー %1 を作成できません。").arg(info.absolutePath()),
                    ErrorKind::CannotOpen);
    try {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &d->m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            d->raise(rc, path);
        sqlite3_extended_result_codes(d->m_db, 1);
        sqlite3_busy_handler(d->m_db, &Database::busyHandler, d.get());
        // The riding ratio rule, for statements that work out a whole list at once. Empty values count 0, as
        // everywhere else the ratio is taken.
        const int fn = sqlite3_create_function_v2(
            d->m_db, "riding_ratio", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
            [](sqlite3_context* c, int, sqlite3_value** v) {
                sqlite3_result_double(c, rules::ratio(sqlite3_value_double(v[0]), sqlite3_value_double(v[1])));
            },
            nullptr, nullptr, nullptr);
        if (fn != SQLITE_OK)
            d->raise(fn, path);

        // A file this program refuses stays exactly as it was: it is judged before this connection reads it
        // (a connection that reads a file whose frames wait in the journal changes it when it closes).
        const QString refusal = info.isFile() ? refusalOfFile(path) : QString();
        if (!refusal.isEmpty())
            throw Error(refusal, ErrorKind::NotADatabase);

        // Read again here, before anything that writes, the journal mode included; a file refused now (changed
        // since) is closed without a checkpoint.
        const qint64 version = d->scalar(QStringLiteral("PRAGMA user_version")).toLongLong();
        const qint64 objects =
            version == 0 ? d->scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema")).toLongLong() : 0;
        const QString late = refusalText(path, version, objects);
        if (!late.isEmpty()) {
            sqlite3_db_config(d->m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, static_cast<int*>(nullptr));
            throw Error(late, ErrorKind::NotADatabase);
        }
        // WAL lets readers and one writer of other connections proceed side by side; FULL syncs every commit.
        // Reads map the file instead of copying pages through the small default page cache on every window.
        // A step that rewrites a whole work table inside one transaction keeps its changed pages in a page cache
        // large enough for them (up to 64 MB, taken only as pages are used), instead of spilling them into the
        // journal and reading them back from there.
        d->exec(QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=OFF; "
                               "PRAGMA mmap_size=268435456; PRAGMA cache_size=-65536"));
        if (version == 0)
            d->createSchema();
        else if (version < kSchemaVersion)
            d->upgradeSchema();
    } catch (const Error&) {
        d.reset(); // closes the connection first
        for (const QString& f : std::as_const(created))
            QFile::remove(f);
        throw;
    }
    return d;
}

void Database::createSchema() {
    Transaction tx(*this);
    for (const QString& sql : schemaStatements(m_kind))
        exec(sql);
    if (m_kind == DbKind::Reference) {
        initSeedResource();
        QFile seed(QStringLiteral(":/seed/reference.sql"));
        if (!seed.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("同梱の参照データを読めません。"));
        exec(QString::fromUtf8(seed.readAll()));
    }
    exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
    tx.commit();
}

// An older file keeps every row it has and gets the tables that later versions added.
void Database::upgradeSchema() {
    Transaction tx(*this);
    QList<const TableDef*> missing;
    for (const TableDef& t : tables(m_kind)) {
        Statement s(*this, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1"));
        s.bindText(1, t.name);
        if (!s.step())
            missing << &t;
    }
    for (const TableDef* t : std::as_const(missing))
        for (const QString& sql : tableStatements(*t))
            exec(sql);
    exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
    tx.commit();
}

void Database::exec(const QString& sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    endBusyWait();
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        raise(rc);
    noteWrite();
}

void Database::setBusyTimeout(int milliseconds) { m_busyTimeout = std::max(0, milliseconds); }

// Waits as the engine's own busy timeout does (short sleeps growing to 100 ms, until the timeout has passed),
// and tells the hook once when a statement starts waiting.
int Database::busyHandler(void* self, int attempts) {
    auto* d = static_cast<Database*>(self);
    const qint64 now = QDeadlineTimer::current().deadline();
    if (attempts == 0) {
        d->m_waitStarted = now;
        if (!d->m_waiting) {
            d->m_waiting = true;
            if (g_busyWaitHook)
                g_busyWaitHook(true);
        }
    }
    const qint64 left = d->m_busyTimeout - (now - d->m_waitStarted);
    if (left <= 0)
        return 0;
    static constexpr int kDelays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    const int delay = attempts < int(std::size(kDelays)) ? kDelays[attempts] : 100;
    sqlite3_sleep(int(std::min<qint64>(delay, left)));
    return 1;
}

void Database::announceWaitEnd() {
    m_waiting = false;
    if (g_busyWaitHook)
        g_busyWaitHook(false);
}

QVariant Database::scalar(const QString& sql) {
    Statement s(*this, sql);
    return s.step() ? s.column(0) : QVariant();
}

QString Database::dump(const QString& sql) {
    QString out;
    Statement s(*this, sql);
    while (s.step()) {
        for (int i = 0; i < s.columnCount(); ++i)
            out += s.columnText(i) + QLatin1Char('|');
        out += QLatin1Char('\n');
    }
    return out;
}

Statement& Database::cached(const QString& sql) {
    auto it = m_cache.constFind(sql);
    if (it != m_cache.constEnd())
        return **it;
    auto* s = new Statement(*this, sql);
    m_cache.insert(sql, s);
    return *s;
}

namespace {
QString fieldTitle(const QString& tableName, const QString& fieldName) {
    return fieldCaption(tableName, fieldName);
}
} // namespace

ErrorKind Database::errorKind(int rc, const QString& engine, int systemErrno) {
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        if (engine.startsWith(QLatin1String("UNIQUE constraint failed")))
            return ErrorKind::DuplicateKey;
        if (engine.startsWith(QLatin1String("NOT NULL constraint failed")))
            return ErrorKind::Required;
        if (engine.startsWith(QLatin1String("CHECK constraint failed"))) {
            const QString rule = engine.section(QLatin1Char(':'), -1);
            if (rule.startsWith(QLatin1String("len")))
                return ErrorKind::TooLong;
            if (rule.startsWith(QLatin1String("int")))
                return ErrorKind::OutOfRange;
            return ErrorKind::NotADate;
        }
        return ErrorKind::Other;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ErrorKind::Locked;
    case SQLITE_CANTOPEN:
        return ErrorKind::CannotOpen;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return ErrorKind::NotADatabase;
    case SQLITE_READONLY:
        return ErrorKind::ReadOnly;
    case SQLITE_FULL:
        return ErrorKind::DiskFull;
    case SQLITE_IOERR:
        // A full disk often reaches the engine as a failed write or a shared-memory file that cannot grow.
        return systemErrno == ENOSPC ? ErrorKind::DiskFull : ErrorKind::Other;
    case SQLITE_MISMATCH:
    case SQLITE_ERROR:
        return engine.startsWith(QLatin1String("cannot store")) ? ErrorKind::WrongType : ErrorKind::Other;
    default:
        return ErrorKind::Other;
    }
}

QString Database::describeError(int rc, const QString& engine) const {
    static const QRegularExpression unique(QStringLiteral("^UNIQUE constraint failed: (\\w+)\\.(.*)$"));
    static const QRegularExpression notNull(QStringLiteral("^NOT NULL constraint failed: (\\w+)\\.(\\w+)$"));
    static const QRegularExpression checkRe(QStringLiteral("^CHECK constraint failed: (\\w+)\\.(\\w+):(\\w+)$"));
    static const QRegularExpression typeRe(QStringLiteral("^cannot store (\\w+) value in (\\w+) column (\\w+)\\.(\\w+)$"));
    QString what;
    QRegularExpressionMatch m;
    const ErrorKind kind = errorKind(rc, engine, m_db ? sqlite3_system_errno(m_db) : 0);
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        if ((m = unique.match(engine)).hasMatch()) {
            QStringList fields;
            for (QString f : m.captured(2).split(QStringLiteral(", "))) {
                f.remove(m.captured(1) + QLatin1Char('.'));
                fields << fieldTitle(m.captured(1), f);
            }
            what = QStringLiteral("キーの重複: %1に、%2が同じ行がすでにあります。")
                       .arg(tableCaption(m.captured(1)), fields.join(QStringLiteral("・")));
        } else if ((m = notNull.match(engine)).hasMatch()) {
            what = QStringLiteral("値がありません: %1の%2は空にできません。")
                       .arg(tableCaption(m.captured(1)), fieldTitle(m.captured(1), m.captured(2)));
        } else if ((m = checkRe.match(engine)).hasMatch()) {
            const QString field = fieldTitle(m.captured(1), m.captured(2));
            const QString rule = m.captured(3);
            if (rule.startsWith(QLatin1String("len")))
                what = QStringLiteral("長すぎる値: %1の%2には %3 文字までしか入りません。")
                           .arg(tableCaption(m.captured(1)), field, rule.mid(3));
            else if (rule == QLatin1String("int16"))
                what = QStringLiteral("範囲外の値: %1の%2は -32768～32767 の整数です。")
                           .arg(tableCaption(m.captured(1)), field);
            else if (rule == QLatin1String("int32"))
                what = QStringLiteral("範囲外の値: %1の%2は -2147483648～2147483647 の整数です。")
                           .arg(tableCaption(m.captured(1)), field);
            else
                what = QStringLiteral("日付の誤り: %1の%2には実在する日時 (yyyy-mm-dd HH:MM:SS) しか入りません。")
                           .arg(tableCaption(m.captured(1)), field);
        }
        break;
    case SQLITE_MISMATCH:
    case SQLITE_ERROR:
        if ((m = typeRe.match(engine)).hasMatch()) {
            const QString kindText = m.captured(2) == QLatin1String("TEXT") ? QStringLiteral("文字") : QStringLiteral("数値");
            what = QStringLiteral("型の誤り: %1の%2には%3しか入りません。")
                       .arg(tableCaption(m.captured(3)), fieldTitle(m.captured(3), m.captured(4)), kindText);
        }
        break;
    default:
        switch (kind) {
        case ErrorKind::Locked:
            what = QStringLiteral("データベース %1 はほかの処理が使用中です（ロックされています）。しばらくしてからやり直してください。")
                       .arg(m_path);
            break;
        case ErrorKind::CannotOpen:
            what = QStringLiteral("データベース %1 を開けません。").arg(m_path);
            break;
        case ErrorKind::NotADatabase:
            what = QStringLiteral("%1 はデータベースとして読めません（壊れているか、別の種類のファイルです）。").arg(m_path);
            break;
        case ErrorKind::ReadOnly:
            what = QStringLiteral("データベース %1 に書き込めません（読み取り専用です）。").arg(m_path);
            break;
        case ErrorKind::DiskFull:
            what = QStringLiteral("ディスクがいっぱいで、データベース %1 に書き込めません。空き領域を作ってからやり直してください。")
                       .arg(m_path);
            break;
        default:
            break;
        }
        break;
    }
    if (what.isEmpty())
        return QStringLiteral("データベースエラー: %1").arg(engine);
    return what; // named by captions; the engine's own wording names internal tables and fields
}

void Database::raise(int rc, const QString& context) const {
    QString engine = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (m_db)
        rc = sqlite3_extended_errcode(m_db);
    QString msg = describeError(rc, engine);
    if (!context.isEmpty() && (rc & 0xff) != SQLITE_CONSTRAINT)
        msg += QStringLiteral("\n%1").arg(context);
    throw Error(msg, errorKind(rc, engine, m_db ? sqlite3_system_errno(m_db) : 0));
}

// ---------------------------------------------------------------------------------------------------------------

Transaction::Transaction(Database& db) : m_db(db) {
    m_outer = db.m_transactionDepth == 0;
    if (m_outer) {
        db.exec(QStringLiteral("BEGIN IMMEDIATE"));
        db.m_rollbackOnly = false;
    }
    ++db.m_transactionDepth;
}

Transaction::~Transaction() {
    --m_db.m_transactionDepth;
    if (m_done)
        return;
    if (m_outer) {
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        m_db.m_rollbackOnly = false;
        m_db.noteWrite();
    } else {
        m_db.m_rollbackOnly = true;
    }
}

void Transaction::commit() {
    if (m_done)
        return;
    if (m_outer && m_db.m_rollbackOnly) {
        m_done = true;
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        m_db.m_rollbackOnly = false;
        m_db.noteWrite();
        throw Error(QStringLiteral("途中の処理が失敗したため、データベース %1 への変更はすべて取り消されました。").arg(m_db.path()));
    }
    if (m_outer)
        m_db.exec(QStringLiteral("COMMIT"));
    m_done = true;
}

} // namespace tabi
