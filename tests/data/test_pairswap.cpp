// The pair of databases replaced as a pair: the journal a start finishes or rolls back, the import lock, the
// shared hold of the windows and the leftovers of killed imports.
#include "data/database.h"
#include "data/pairswap.h"
#include "support/tempenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tabi;

namespace {

// A database of the kind with one row in a table of its own, telling which generation it is.
void makeDatabase(const QString& path, DbKind kind, const QString& mark) {
    QFile::remove(path);
    auto db = Database::openFile(path, kind);
    db->exec(QStringLiteral("CREATE TABLE IF NOT EXISTS GEN (MARK TEXT)"));
    db->exec(QStringLiteral("DELETE FROM GEN"));
    db->exec(QStringLiteral("INSERT INTO GEN VALUES ('%1')").arg(mark));
    db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

QString markOf(DbKind kind) {
    const QString path = paths::databaseFile(kind);
    if (!QFileInfo::exists(path))
        return QStringLiteral("(none)");
    auto db = Database::openFile(path, kind);
    return db->scalar(QStringLiteral("SELECT MARK FROM GEN")).toString();
}

void damage(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(3000, 'x'));
}

} // namespace

class TestPairSwap : public QObject {
    Q_OBJECT
private slots:
    // A journal left between the two replacements: the pair ends up whole, all new or all old, and the start
    // says which; where neither is possible it says so and keeps the journal.
    void recoveryFinishesOrRollsBack_data() {
        QTest::addColumn<QString>("state");    // what is left of the files the journal names
        QTest::addColumn<QString>("expected"); // both marks afterwards, or "fails"
        QTest::addColumn<QString>("message");
        QTest::newRow("new files whole: finished") << "whole"
                                                   << "new"
                                                   << "最後まで行いました";
        QTest::newRow("a new file damaged: rolled back") << "fresh damaged"
                                                         << "old"
                                                         << "取り込む前の状態に戻しました";
        QTest::newRow("a new file gone: rolled back") << "fresh gone"
                                                      << "old"
                                                      << "取り込む前の状態に戻しました";
        QTest::newRow("first import, new file gone: nothing stays") << "fresh gone, no copies"
                                                                    << "(none)"
                                                                    << "取り込む前の状態に戻しました";
        QTest::newRow("neither way") << "fresh gone, copy damaged"
                                     << "fails"
                                     << "控え";
    }
    void recoveryFinishesOrRollsBack() {
        QFETCH(QString, state);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        test::TempEnv env;
        const QString work = env.file(QStringLiteral("import-test"));
        QDir().mkpath(work);
        QDir().mkpath(env.file(QStringLiteral("backups")));
        QList<pairswap::Replacement> pair;
        for (DbKind kind : {DbKind::Reference, DbKind::Personal}) {
            const QString name = QFileInfo(paths::databaseFile(kind)).fileName();
            pairswap::Replacement r{kind, work + QLatin1Char('/') + name, paths::databaseFile(kind),
                                    env.file(QStringLiteral("backups/before-") + name)};
            makeDatabase(r.fresh, kind, QStringLiteral("new"));
            makeDatabase(r.backup, kind, QStringLiteral("old"));
            if (state.contains(QLatin1String("no copies"))) {
                QFile::remove(r.backup);
                r.backup.clear();
            }
            pair << r;
        }
        // Killed after the reference database was replaced, before the personal one.
        pairswap::installDatabase(pair[0].fresh, pair[0].target);
        if (!pair[1].backup.isEmpty())
            pairswap::installDatabase(pair[1].backup, pair[1].target);
        pairswap::writeJournal(pair, work);
        if (state.startsWith(QLatin1String("fresh damaged")))
            damage(pair[1].fresh);
        if (state.startsWith(QLatin1String("fresh gone")))
            QFile::remove(pair[1].fresh);
        if (state.contains(QLatin1String("copy damaged")))
            damage(pair[0].backup);

        QString said;
        bool failed = false;
        try {
            said = pairswap::recoverInterrupted();
        } catch (const Error& e) {
            said = e.message();
            failed = true;
        }
        QVERIFY2(said.contains(message), qPrintable(said));
        if (expected == QLatin1String("fails")) {
            QVERIFY(failed);
            QVERIFY(QFileInfo::exists(pairswap::journalFile())); // tried again at the next start
            return;
        }
        QVERIFY(!failed);
        QCOMPARE(markOf(DbKind::Reference), expected);
        QCOMPARE(markOf(DbKind::Personal), expected);
        QVERIFY(!QFileInfo::exists(pairswap::journalFile()));
        QVERIFY(!QFileInfo::exists(work));
        QCOMPARE(pairswap::recoverInterrupted(), QString()); // nothing left to do
    }

    // A journal that names files other than the two databases is not followed.
    void foreignJournalIsRefused() {
        test::TempEnv env;
        pairswap::Replacement r{DbKind::Reference, env.file(QStringLiteral("x.db")), env.file(QStringLiteral("y.db")),
                                QString()};
        pairswap::writeJournal({r, r}, env.file(QStringLiteral("import-x")));
        QVERIFY_THROWS_EXCEPTION(Error, pairswap::recoverInterrupted());
        QVERIFY(!QFileInfo::exists(env.file(QStringLiteral("y.db"))));
    }

    // One import at a time; the Access import (exclusive) not while a window holds the folder, and no window
    // starts while it runs.
    void locks() {
        test::TempEnv env;
        {
            pairswap::ImportLock first(false);
            QVERIFY_THROWS_EXCEPTION(Error, pairswap::ImportLock(false));
            QVERIFY(!pairswap::ImportLock::tryTake());
        }
        QVERIFY(pairswap::ImportLock::tryTake());
        QVERIFY(pairswap::holdOpen());
        try {
            pairswap::ImportLock exclusive(true);
            QFAIL("an import that replaces the databases went ahead under an open window");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("開いているため")), qPrintable(e.message()));
        }
        pairswap::ImportLock shared(false); // the network import works in a transaction: it may
        pairswap::releaseOpen();
        {
            QVERIFY_THROWS_EXCEPTION(Error, pairswap::ImportLock(true)); // the shared one above holds the lock file
        }
    }

    void windowWaitsForAnExclusiveImport() {
        test::TempEnv env;
        {
            pairswap::ImportLock exclusive(true);
            QVERIFY(!pairswap::holdOpen());
        }
        QVERIFY(pairswap::holdOpen());
        pairswap::releaseOpen();
    }

    // Work folders and parts of copies that killed imports left go; the folder a journal still needs stays, and
    // so does everything else.
    void leftoversOfKilledImports() {
        test::TempEnv env;
        const QStringList made = {QStringLiteral("import-AbC123/JJ.db"), QStringLiteral("import-zz/Tabiroku.db"),
                                  QStringLiteral("backups/JJ-before-import-2025-01-02-093000.db.part"),
                                  QStringLiteral("backups/Tabiroku-before-import-2025-01-02-093000.db.part")};
        const QStringList kept = {QStringLiteral("import-journaled/JJ.db"),
                                  QStringLiteral("backups/JJ-before-import-2025-01-02-093000.db"),
                                  QStringLiteral("backups/JJ-2025-01-02.db"), QStringLiteral("important/x.txt")};
        for (const QString& f : made + kept) {
            QDir().mkpath(QFileInfo(env.file(f)).absolutePath());
            QFile file(env.file(f));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        pairswap::Replacement r{DbKind::Reference, env.file(QStringLiteral("import-journaled/JJ.db")),
                                paths::databaseFile(DbKind::Reference), QString()};
        pairswap::Replacement p = r;
        p.kind = DbKind::Personal;
        p.target = paths::databaseFile(DbKind::Personal);
        pairswap::writeJournal({r, p}, env.file(QStringLiteral("import-journaled")));
        const QStringList removed = pairswap::removeLeftovers();
        QCOMPARE(removed.size(), 4);
        for (const QString& f : made)
            QVERIFY2(!QFileInfo::exists(env.file(f)), qPrintable(f));
        for (const QString& f : kept)
            QVERIFY2(QFileInfo::exists(env.file(f)), qPrintable(f));
    }
};

QTEST_GUILESS_MAIN(TestPairSwap)
#include "test_pairswap.moc"
