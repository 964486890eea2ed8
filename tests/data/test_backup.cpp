#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "support/errorof.h"
#include "support/tempdatabases.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>
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
        QCOMPARE(QDir(m_env->path()).entryList({QStringLiteral("JJ.db*")}, QDir::Files), QStringList{QStringLiteral("JJ.db")});
        QVERIFY(!backup::dailyCopy(path, QDate(2024, 3, 1)).isEmpty());
        QCOMPARE(QDir(m_env->path()).entryList({QStringLiteral("JJ.db*")}, QDir::Files), QStringList{QStringLiteral("JJ.db")});
    }

    void nothingToCopyBeforeTheFirstRecord() {
        const QString missing = m_env->file(QStringLiteral("none/JJ.db"));
        QCOMPARE(backup::dailyCopy(missing, QDate(2024, 3, 1)), QString());
        QVERIFY(!QFileInfo::exists(m_env->file(QStringLiteral("none"))));
    }

    // A copy that cannot be finished leaves no part of itself and names the reason.
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
        QCOMPARE(QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("JJ.db")});
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
