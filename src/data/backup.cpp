#include "backup.h"

#include "database.h"
#include "error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <sqlite3.h>
#include <unistd.h>

namespace tabi::backup {

namespace {

// The reason a copy failed, as the user should read it, naming the database the copy is of.
[[noreturn]] void refuse(const QString& target, const QString& reason, ErrorKind kind) {
    const bool reference = QFileInfo(target).fileName().startsWith(
        QFileInfo(paths::databaseFile(DbKind::Reference)).completeBaseName() + QLatin1Char('-'), Qt::CaseInsensitive);
    if (reference)
        throw Error(
            QStringLiteral("参照データベースの控え %1 を作れませんでした（%2）。参照データベースそのものは無事です。")
                .arg(target, reason),
            kind);
    throw Error(
        QStringLiteral("個人記録の控え %1 を作れませんでした（%2）。記録そのものは無事です。").arg(target, reason),
        kind);
}

// Page by page through the engine, into a file without a journal (a failed copy is simply thrown away).
void copyDatabase(const QString& source, const QString& part, const QString& target) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    auto closeBoth = [&] {
        sqlite3_close_v2(to);
        sqlite3_close_v2(from);
    };
    // Read and write (never create), though nothing is written: as the last connection it removes the journal files
    // its reading made, which a read-only one would leave behind. A file that cannot be written is opened read-only.
    int rc = sqlite3_open_v2(QFile::encodeName(source).constData(), &from, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_open_v2(QFile::encodeName(part).constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(from, 5000);
        // Source pages are read from the mapped file; the copy is synced once, below, before it gets its name.
        sqlite3_exec(from, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
        rc = sqlite3_exec(to, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE", nullptr,
                          nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const QString engine = QString::fromUtf8(sqlite3_errmsg(to ? to : from));
        const int err = sqlite3_extended_errcode(to ? to : from), sys = sqlite3_system_errno(to ? to : from);
        closeBoth();
        const ErrorKind kind = Database::errorKind(err, engine, sys);
        refuse(target, kind == ErrorKind::DiskFull ? QStringLiteral("ディスクがいっぱいです") : engine, kind);
    }
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) {
        const QString engine = QString::fromUtf8(sqlite3_errmsg(to));
        closeBoth();
        refuse(target, engine, ErrorKind::Other);
    }
    rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        // The destination holds the reason (a write that failed); the source one a read that failed.
        sqlite3* failed = sqlite3_errcode(to) != SQLITE_OK ? to : from;
        const QString engine = QString::fromUtf8(sqlite3_errmsg(failed));
        const ErrorKind kind = Database::errorKind(rc, engine, sqlite3_system_errno(failed));
        closeBoth();
        refuse(target, kind == ErrorKind::DiskFull ? QStringLiteral("ディスクがいっぱいです") : engine, kind);
    }
    rc = sqlite3_close(to);
    to = nullptr;
    sqlite3_close_v2(from);
    if (rc != SQLITE_OK)
        refuse(target, QString::fromUtf8(sqlite3_errstr(rc)), ErrorKind::Other);
    // On the disk before it gets its name.
    QFile f(part);
    if (!f.open(QIODevice::ReadWrite) || ::fsync(f.handle()) != 0)
        refuse(target, f.errorString(), errno == ENOSPC ? ErrorKind::DiskFull : ErrorKind::Other);
}

// The daily copies of the database (and the parts of failed ones) in its folder, by name.
QRegularExpression dailyPattern(const QString& base) {
    return QRegularExpression(
        QStringLiteral("^%1-(\\d{4}-\\d{2}-\\d{2})\\.db(\\.part)?$").arg(QRegularExpression::escape(base)));
}

} // namespace

QString folderFor(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/backups");
}

QString dailyCopy(const QString& databasePath, const QDate& day, int keep) {
    const QFileInfo source(databasePath);
    if (!source.isFile())
        return {};
    // Opening it will say why it is refused; reading it here would change it (see refusalOfFile).
    if (!refusalOfFile(databasePath).isEmpty())
        return {};
    const QString folder = folderFor(databasePath);
    const QString base = source.completeBaseName();
    const QString target = QStringLiteral("%1/%2-%3.db").arg(folder, base, day.toString(QStringLiteral("yyyy-MM-dd")));
    QString written;
    if (!QFileInfo::exists(target)) {
        const bool newFolder = !QFileInfo::exists(folder);
        try {
            copyTo(databasePath, target);
        } catch (const Error&) {
            // Nothing of the attempt stays, the folder made for it included.
            if (newFolder)
                QDir().rmdir(folder);
            throw;
        }
        written = target;
    }

    // That day's copy stays, and the newest others by name (the names sort like the days they carry), so that a
    // copy dated ahead by a wrong clock never pushes out the current one. Parts of earlier failed copies go.
    const QRegularExpression daily = dailyPattern(base);
    const QString today = QFileInfo(target).fileName();
    QStringList others;
    bool hasToday = false;
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch m = daily.match(name);
        if (!m.hasMatch())
            continue;
        if (m.capturedLength(2) > 0)
            dir.remove(name);
        else if (name == today)
            hasToday = true;
        else
            others << name;
    }
    const qsizetype room = std::max<qsizetype>(0, keep - (hasToday ? 1 : 0));
    for (qsizetype i = 0; i + room < others.size(); ++i)
        dir.remove(others[i]);
    return written;
}

QStringList copiesDatedAfter(const QString& databasePath, const QDate& day) {
    const QRegularExpression daily = dailyPattern(QFileInfo(databasePath).completeBaseName());
    const QString dayText = day.toString(QStringLiteral("yyyy-MM-dd"));
    QStringList later;
    for (const QString& name : QDir(folderFor(databasePath)).entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch m = daily.match(name);
        if (m.hasMatch() && m.capturedLength(2) == 0 && m.captured(1) > dayText)
            later << name;
    }
    return later;
}

void copyTo(const QString& databasePath, const QString& target) {
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        refuse(target, QStringLiteral("フォルダー %1 を作成できません").arg(folder), ErrorKind::CannotOpen);
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    const QStringList created = absentDatabaseFiles(databasePath);
    try {
        copyDatabase(databasePath, part, target);
        if (QFileInfo::exists(target) || !QFile::rename(part, target))
            refuse(target, QStringLiteral("名前を付けられません"), ErrorKind::Other);
    } catch (const Error&) {
        // Nothing of the attempt stays: the part and the journal files the reading made.
        QFile::remove(part);
        for (const QString& f : created)
            QFile::remove(f);
        throw;
    }
}

} // namespace tabi::backup
