#include "pairswap.h"

#include "atomicfile.h"
#include "backup.h"
#include "database.h"
#include "error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace tabi::pairswap {

namespace {

int g_failInstall = 0; // tests: the nth installDatabase from now and every later one fail
int g_openFd = -1;     // this process's shared hold on the data folder

QString kindName(DbKind kind) {
    return kind == DbKind::Reference ? QStringLiteral("参照データベース") : QStringLiteral("個人データベース");
}

// The engine's own check of a database file; false when it cannot be opened or is damaged.
bool isWhole(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false;
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            ok = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok") == 0;
        sqlite3_finalize(s);
    }
    sqlite3_close_v2(db);
    return ok;
}

// Opens the data folder itself (no file is made for the lock); -1 when it cannot be opened.
int openDataDir() {
    QDir().mkpath(paths::dataDir());
    return ::open(QFile::encodeName(paths::dataDir()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

struct Journal {
    QList<Replacement> pair;
    QString workDir;
};

std::optional<Journal> readJournal(QString& problem) {
    QFile f(journalFile());
    if (!f.exists())
        return std::nullopt;
    if (!f.open(QIODevice::ReadOnly) || f.size() > 65536) {
        problem = QStringLiteral("取り込みの記録 %1 を読めません。").arg(journalFile());
        return Journal{};
    }
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    Journal j;
    j.workDir = root.value(QStringLiteral("work")).toString();
    for (const QJsonValue& v : root.value(QStringLiteral("pair")).toArray()) {
        const QJsonObject o = v.toObject();
        Replacement r;
        r.kind = o.value(QStringLiteral("kind")).toString() == QLatin1String("personal") ? DbKind::Personal
                                                                                         : DbKind::Reference;
        r.fresh = o.value(QStringLiteral("fresh")).toString();
        r.target = o.value(QStringLiteral("target")).toString();
        r.backup = o.value(QStringLiteral("backup")).toString();
        j.pair << r;
    }
    // Only the two databases of this folder are ever replaced by a journal.
    bool sound = j.pair.size() == 2;
    for (const Replacement& r : std::as_const(j.pair))
        sound = sound && r.target == paths::databaseFile(r.kind);
    if (!sound)
        problem = QStringLiteral("取り込みの記録 %1 の内容が正しくありません。").arg(journalFile());
    return j;
}

void removeTarget(const QString& target) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(target + QLatin1String(suffix));
}

} // namespace

void injectInstallFailure(int nth) {
    g_failInstall = nth;
}

void installDatabase(const QString& source, const QString& target) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    auto fail = [&](sqlite3* where, const QString& what) {
        const QString engine = QString::fromUtf8(where ? sqlite3_errmsg(where) : "");
        const int rc = where ? sqlite3_extended_errcode(where) : SQLITE_ERROR;
        const int sys = where ? sqlite3_system_errno(where) : 0;
        sqlite3_close_v2(to);
        sqlite3_close_v2(from);
        const ErrorKind kind = Database::errorKind(rc, engine, sys);
        throw Error(
            QStringLiteral("%1 を置き換えられませんでした（%2: %3）。")
                .arg(target, what, kind == ErrorKind::DiskFull ? QStringLiteral("ディスクがいっぱいです") : engine),
            kind);
    };
    if (g_failInstall > 1)
        --g_failInstall;
    else if (g_failInstall == 1)
        throw Error(
            QStringLiteral("%1 を置き換えられませんでした（書き込めません: ディスクがいっぱいです）。").arg(target),
            ErrorKind::DiskFull);
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &from, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail(from, QStringLiteral("取り込んだデータベースを開けません"));
    if (sqlite3_open_v2(QFile::encodeName(target).constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        fail(to, QStringLiteral("開けません"));
    sqlite3_busy_timeout(to, 5000);
    sqlite3_busy_timeout(from, 5000);
    sqlite3_exec(to, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b)
        fail(to, QStringLiteral("書き込みを始められません"));
    const int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        fail(sqlite3_errcode(to) != SQLITE_OK ? to : from, QStringLiteral("書き込めません"));
    // The new pages are in the target's journal; fold them into the file itself.
    sqlite3_exec(to, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close_v2(from);
    if (sqlite3_close(to) != SQLITE_OK)
        fail(to, QStringLiteral("閉じられません"));
}

QString journalFile() {
    return paths::dataDir() + QStringLiteral("/import-journal.json");
}

void writeJournal(const QList<Replacement>& pair, const QString& workDir) {
    QJsonArray list;
    for (const Replacement& r : pair)
        list.append(QJsonObject{{QStringLiteral("kind"),
                                 r.kind == DbKind::Personal ? QStringLiteral("personal") : QStringLiteral("reference")},
                                {QStringLiteral("fresh"), r.fresh},
                                {QStringLiteral("target"), r.target},
                                {QStringLiteral("backup"), r.backup}});
    const QJsonObject root{{QStringLiteral("work"), workDir}, {QStringLiteral("pair"), list}};
    files::replaceFile(journalFile(), QJsonDocument(root).toJson(), QStringLiteral("取り込みの記録"));
}

void finishJournal() {
    QString problem;
    const std::optional<Journal> j = readJournal(problem);
    QFile::remove(journalFile());
    if (j && !j->workDir.isEmpty() && QFileInfo(j->workDir).absolutePath() == QDir(paths::dataDir()).absolutePath())
        QDir(j->workDir).removeRecursively();
}

QString recoverInterrupted() {
    QString problem;
    const std::optional<Journal> j = readJournal(problem);
    if (!j)
        return {};
    if (!problem.isEmpty())
        throw Error(problem +
                    QStringLiteral("\n取り込む前のデータベースの控えは %1 にあります。")
                        .arg(QDir::toNativeSeparators(backup::folderFor(paths::databaseFile(DbKind::Personal)))));
    bool freshWhole = true;
    for (const Replacement& r : j->pair)
        freshWhole = freshWhole && isWhole(r.fresh);
    QStringList copies;
    for (const Replacement& r : j->pair)
        if (!r.backup.isEmpty())
            copies << QDir::toNativeSeparators(r.backup);
    try {
        if (freshWhole) {
            // The import had carried every row; only the replacement was cut short.
            for (const Replacement& r : j->pair)
                installDatabase(r.fresh, r.target);
            finishJournal();
            return QStringLiteral("前回の Access データベースの取り込みが途中で終わっていたため、参照データベースと"
                                  "個人データベースの置き換えを最後まで行いました。");
        }
        for (const Replacement& r : j->pair) {
            if (!r.backup.isEmpty()) {
                if (!isWhole(r.backup))
                    throw Error(QStringLiteral("%1の控え %2 が壊れています。").arg(kindName(r.kind), r.backup));
                installDatabase(r.backup, r.target);
            } else {
                removeTarget(r.target);
            }
        }
        finishJournal();
        return QStringLiteral("前回の Access データベースの取り込みが途中で終わっていたため、参照データベースと"
                              "個人データベースを取り込む前の状態に戻しました。");
    } catch (const Error& e) {
        throw Error(QStringLiteral("前回の Access データベースの取り込みが途中で終わっていますが、"
                                   "データベースの組を揃えられませんでした。\n%1\n"
                                   "プログラムを終えて、取り込む前の控え（%2）を元の場所へ戻してください。")
                        .arg(e.message(), copies.join(QStringLiteral("、"))),
                    e.kind());
    }
}

QStringList removeLeftovers() {
    QStringList removed;
    QString journalWork;
    {
        QString problem;
        if (const std::optional<Journal> j = readJournal(problem))
            journalWork = j->workDir;
    }
    QDir data(paths::dataDir());
    for (const QFileInfo& fi : data.entryInfoList({QStringLiteral("import-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (fi.absoluteFilePath() == QFileInfo(journalWork).absoluteFilePath())
            continue;
        if (QDir(fi.absoluteFilePath()).removeRecursively())
            removed << fi.absoluteFilePath();
    }
    // Parts of the copies made before an import (the daily copies clear their own parts).
    QDir backups(backup::folderFor(paths::databaseFile(DbKind::Personal)));
    for (const QFileInfo& fi : backups.entryInfoList({QStringLiteral("*-before-import-*.part")}, QDir::Files))
        if (QFile::remove(fi.absoluteFilePath()))
            removed << fi.absoluteFilePath();
    return removed;
}

bool holdOpen() {
    if (g_openFd >= 0)
        return true;
    const int fd = openDataDir();
    if (fd < 0)
        return true; // no folder to share: opening the databases will say why
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    g_openFd = fd;
    return true;
}

void releaseOpen() {
    if (g_openFd >= 0)
        ::close(g_openFd);
    g_openFd = -1;
}

ImportLock::ImportLock(bool exclusive) {
    const QString dir = paths::dataDir();
    if (!QDir().mkpath(dir))
        throw Error(QStringLiteral("データベースのフォルダー %1 を作成できません。").arg(dir), ErrorKind::CannotOpen);
    m_file = std::make_unique<QLockFile>(dir + QStringLiteral("/import.lock"));
    // Only a lock of a process that no longer runs is taken over, however old.
    m_file->setStaleLockTime(0);
    if (!m_file->tryLock(0)) {
        qint64 pid = 0;
        QString host, app;
        m_file->getLockInfo(&pid, &host, &app);
        throw Error(QStringLiteral("ほかの取り込み（プロセス %1）が実行中のため、取り込めません。"
                                   "終わってから、もう一度取り込んでください。データベースは元のままです。")
                        .arg(pid),
                    ErrorKind::Locked);
    }
    if (exclusive) {
        m_openFd = openDataDir();
        if (m_openFd >= 0 && ::flock(m_openFd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_openFd);
            m_openFd = -1;
            m_file->unlock();
            throw Error(QStringLiteral("タビロクのウィンドウがデータベースを開いているため、取り込めません。"
                                       "開いているタビロクをすべて終えてから、もう一度取り込んでください。"
                                       "データベースは元のままです。"),
                        ErrorKind::Locked);
        }
    }
}

ImportLock::~ImportLock() {
    if (m_openFd >= 0)
        ::close(m_openFd);
    if (m_file)
        m_file->unlock();
}

std::unique_ptr<ImportLock> ImportLock::tryTake() {
    std::unique_ptr<ImportLock> lock(new ImportLock);
    QDir().mkpath(paths::dataDir());
    lock->m_file = std::make_unique<QLockFile>(paths::dataDir() + QStringLiteral("/import.lock"));
    lock->m_file->setStaleLockTime(0);
    if (!lock->m_file->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace tabi::pairswap
