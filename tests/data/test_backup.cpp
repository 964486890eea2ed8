#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "support/errorof.h"
#include "support/tempdatabases.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>
#include <sqlite3.h>
#include <unistd.h>

using namespace tabi;

namespace {

QString dayName(const QDate& day) {
    return QStringLiteral("JJ-%1.db").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

int ridesIn(const QString& file) {
    auto db = Database::openFile(file, DbKind::Personal);
    return db->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The file and its journal files, as they lie.
QMap<QString, QByteArray> filesOf(const QString& path) {
    QMap<QString, QByteArray> files;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            files.insert(QLatin1String(suffix), bytesOf(path + QLatin1String(suffix)));
    return files;
}

// A database in WAL mode whose last writes wait in the journal, as a writer that crashed leaves it: the closing
// checkpoint is switched off.
void writeWithFramesLeft(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE JOSHA (ROSEN_CD TEXT)", nullptr, nullptr, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, static_cast<int*>(nullptr));
    sqlite3_close(db);
}

} // namespace

class TestBackup : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(/*withPersonal=*/true); }
    void cleanup() { closeDatabases(); }

    // One copy a day, taken while the record is open elsewhere, the newest seven kept, nothing else touched.
    void oneCopyADayNewestSevenKept() {
        const QString folder = backup::folderFor(m_per->path());
        QCOMPARE(folder, QFileInfo(m_per->path()).absolutePath() + QStringLiteral("/backups"));
        QVERIFY(QDir().mkpath(folder));
        QFile other(folder + QStringLiteral("/notes.txt"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("mine");
        other.close();

        m_per->exec(
            QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE) VALUES ('101001', '2024-01-01 00:00:00')"));
        const QDate first(2024, 3, 1);
        QCOMPARE(backup::dailyCopy(m_per->path(), first), folder + QLatin1Char('/') + dayName(first));
        QCOMPARE(ridesIn(folder + QLatin1Char('/') + dayName(first)), 1);

        // Later the same day: the morning's copy stays as it is.
        m_per->exec(
            QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE) VALUES ('101001', '2024-01-02 00:00:00')"));
        QCOMPARE(backup::dailyCopy(m_per->path(), first), QString());
        QCOMPARE(ridesIn(folder + QLatin1Char('/') + dayName(first)), 1);

        for (int d = 1; d <= 9; ++d)
            backup::dailyCopy(m_per->path(), first.addDays(d));
        QStringList expected;
        for (int d = 3; d <= 9; ++d)
            expected << dayName(first.addDays(d));
        QCOMPARE(QDir(folder).entryList({QStringLiteral("JJ-*")}, QDir::Files, QDir::Name), expected);
        QCOMPARE(ridesIn(folder + QLatin1Char('/') + dayName(first.addDays(9))), 2);
        QVERIFY(QFile::exists(folder + QStringLiteral("/notes.txt")));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 8); // no temporary files left behind
    }

    // The copy is taken before any screen opens the record: it leaves no journal files beside it.
    void leavesNoFilesBesideTheRecord() {
        const QString path = m_per->path();
        m_per.reset();
        QCOMPARE(QDir(m_env->path()).entryList({QStringLiteral("JJ.db*")}, QDir::Files),
                 QStringList{QStringLiteral("JJ.db")});
        QVERIFY(!backup::dailyCopy(path, QDate(2024, 3, 1)).isEmpty());
        QCOMPARE(QDir(m_env->path()).entryList({QStringLiteral("JJ.db*")}, QDir::Files),
                 QStringList{QStringLiteral("JJ.db")});
    }

    // A record the program will refuse (a newer version, another program's file), with writes still in its
    // journal: the start-up copy neither copies nor touches it, and opening it (as either database) leaves the
    // file, its -wal and its -shm byte for byte as they were. Without the shared index, or with an empty
    // journal, the same.
    void refusedFileIsNeitherCopiedNorChanged_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("leave"); // which journal file is taken away before
        QTest::newRow("newer version") << "INSERT INTO JOSHA VALUES (hex(randomblob(30000))); PRAGMA user_version = 99"
                                       << "";
        QTest::newRow("foreign schema") << "CREATE TABLE notes (t TEXT); INSERT INTO notes VALUES ('mine')"
                                        << "";
        QTest::newRow("newer version, no -shm") << "PRAGMA user_version = 99"
                                                << "-shm";
        QTest::newRow("foreign schema, no -wal") << "CREATE TABLE notes (t TEXT)"
                                                 << "-wal";
    }
    void refusedFileIsNeitherCopiedNorChanged() {
        QFETCH(QString, sql);
        QFETCH(QString, leave);
        const QString dir = m_env->file(QStringLiteral("refused"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/JJ.db");
        writeWithFramesLeft(path, sql);
        if (!leave.isEmpty()) {
            if (leave == QLatin1String("-wal")) { // frames checkpointed first, so the refusal is in the file
                sqlite3* db = nullptr;
                sqlite3_open(QFile::encodeName(path).constData(), &db);
                sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
                sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, static_cast<int*>(nullptr));
                sqlite3_close(db);
            }
            QVERIFY(QFile::remove(path + leave));
        }
        const QMap<QString, QByteArray> before = filesOf(path);
        QVERIFY(before.contains(QString()));
        QCOMPARE(!before.value(QStringLiteral("-wal")).isEmpty(), leave != QLatin1String("-wal")); // frames wait
        QCOMPARE(before.contains(QStringLiteral("-shm")), leave != QLatin1String("-shm"));

        QVERIFY(!refusalOfFile(path).isEmpty());
        QCOMPARE(backup::dailyCopy(path, QDate(2024, 3, 1)), QString());
        QVERIFY(!QFileInfo::exists(backup::folderFor(path)));
        for (DbKind kind : {DbKind::Personal, DbKind::Reference})
            QCOMPARE(test::kindOf([&] { Database::openFile(path, kind); }), ErrorKind::NotADatabase);
        QCOMPARE(filesOf(path), before);
    }

    // The record of an older layout is still copied and opened (and then gains the newer tables).
    void olderRecordIsCopied() {
        const QString path = m_per->path();
        m_per->exec(QStringLiteral("DROP TABLE TOSHI; PRAGMA user_version = 1"));
        QCOMPARE(refusalOfFile(path), QString());
        QVERIFY(!backup::dailyCopy(path, QDate(2024, 3, 1)).isEmpty());
        m_per.reset();
        m_per = Database::openFile(path, DbKind::Personal);
        QCOMPARE(m_per->scalar(QStringLiteral("PRAGMA user_version")).toInt(), kSchemaVersion);
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM TOSHI")).toInt(), 0);
    }

    // Copies dated ahead by a clock that was once wrong never push out today's copy: it stays, the oldest others
    // by name go, and the copies dated ahead are named.
    void copiesDatedAheadKeepTodaysCopy() {
        const QString folder = backup::folderFor(m_per->path());
        QVERIFY(QDir().mkpath(folder));
        QStringList ahead;
        for (int d = 1; d <= 7; ++d)
            ahead << dayName(QDate(2027, 6, d));
        for (const QString& name : std::as_const(ahead))
            QVERIFY(QFile::copy(m_per->path(), folder + QLatin1Char('/') + name));
        const QDate today(2026, 12, 10);
        QCOMPARE(backup::dailyCopy(m_per->path(), today), folder + QLatin1Char('/') + dayName(today));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), QStringList{dayName(today)} + ahead.mid(1));
        QCOMPARE(backup::copiesDatedAfter(m_per->path(), today), ahead.mid(1));

        // The next day the copy of the day before is the oldest other.
        backup::dailyCopy(m_per->path(), today.addDays(1));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 QStringList{dayName(today.addDays(1))} + ahead.mid(1));
        QCOMPARE(backup::copiesDatedAfter(m_per->path(), QDate(2027, 6, 6)), QStringList{dayName(QDate(2027, 6, 7))});
        QCOMPARE(backup::copiesDatedAfter(m_per->path(), QDate(2027, 6, 7)), QStringList());
    }

    void nothingToCopyBeforeTheFirstRecord() {
        const QString missing = m_env->file(QStringLiteral("none/JJ.db"));
        QCOMPARE(backup::dailyCopy(missing, QDate(2024, 3, 1)), QString());
        QVERIFY(!QFileInfo::exists(m_env->file(QStringLiteral("none"))));
    }

    // A copy that cannot be finished leaves no part of itself and names the reason.
    // A failed copy names the database it is of: the reference database is not the personal record.
    void failedCopyNamesItsDatabase_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("named");
        QTest::newRow("reference") << int(DbKind::Reference) << QStringLiteral("参照データベースの控え");
        QTest::newRow("personal") << int(DbKind::Personal) << QStringLiteral("個人記録の控え");
    }
    void failedCopyNamesItsDatabase() {
        QFETCH(int, kind);
        QFETCH(QString, named);
        const QString db = paths::databaseFile(DbKind(kind));
        Database::openFile(db, DbKind(kind)); // it exists
        // The backups "folder" is a file: the copy cannot be made.
        QFile blocker(backup::folderFor(db));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        try {
            backup::copyTo(
                db, backup::folderFor(db) +
                        QStringLiteral("/%1-before-import-2025-01-02-093000.db").arg(QFileInfo(db).completeBaseName()));
            QFAIL("copied");
        } catch (const Error& e) {
            QVERIFY2(e.message().startsWith(named), qPrintable(e.message()));
        }
    }

    void failedCopyLeavesNothing() {
        // A record that fits on the disk once but not twice.
        m_per->exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1999) "
                           "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, BIKO) "
                           "SELECT printf('%06d', 100000 + i), '2024-01-01 00:00:00', hex(zeroblob(20)) FROM n"));
        m_per->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        const qint64 size = QFileInfo(m_per->path()).size();
        const QString mount = m_env->file(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mount));
        const QString option = QStringLiteral("size=%1k").arg((size * 3 / 2) / 1024 + 4);
        if (::geteuid() != 0 || QProcess::execute(QStringLiteral("mount"),
                                                  {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                   option, QStringLiteral("tmpfs"), mount}) != 0)
            QSKIP("a small filesystem needs root");
        auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mount}); });
        const QString path = mount + QStringLiteral("/JJ.db");
        QVERIFY(QFile::copy(m_per->path(), path));
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();

        QCOMPARE(test::kindOf([&] { backup::dailyCopy(path, QDate(2024, 3, 1)); }), ErrorKind::DiskFull);
        QCOMPARE(QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("JJ.db")});
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), bytes);
        original.close();

        // No room at all, not even for the engine's shared-memory file while reading.
        {
            QFile fill(mount + QStringLiteral("/fill"));
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
        }
        QCOMPARE(test::kindOf([&] { backup::dailyCopy(path, QDate(2024, 3, 1)); }), ErrorKind::DiskFull);
        QStringList left = QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, QStringList({QStringLiteral("JJ.db"), QStringLiteral("fill")}));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
