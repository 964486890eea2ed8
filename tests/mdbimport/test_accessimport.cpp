// The import of the Access fixture pairs (Access 2000 and 2002-2003 formats) against their expected contents, the
// refusals and failures that must leave the current databases as they were.
#include "mdbimport/accessimport.h"

#include "data/database.h"
#include "data/pairswap.h"
#include "support/tempenv.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabi;

namespace {

const QString kFixtures = QStringLiteral(TABIROKU_MDB_FIXTURES);

bool haveFixtures() {
    return QFileInfo::exists(kFixtures + QStringLiteral("/Tabiroku.mdb"));
}
#define REQUIRE_FIXTURES()                                                                                             \
    if (!haveFixtures())                                                                                               \
    QSKIP("The Access fixtures (../shared/data/mdb beside the source tree) are not here.")

QString fixture(const QString& sub, const QString& name) {
    return sub.isEmpty() ? kFixtures + QLatin1Char('/') + name
                         : kFixtures + QLatin1Char('/') + sub + QLatin1Char('/') + name;
}

// Contents and modification time: what must not change about a file.
QString fingerprint(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(absent)");
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()) +
           QLatin1Char(' ') + QFileInfo(path).lastModified().toString(Qt::ISODateWithMs);
}

// Every file below the folder with its contents, so that nothing added, removed or changed goes unseen.
QStringList folderState(const QString& dir) {
    QStringList out;
    QDir d(dir);
    for (const QFileInfo& fi : d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
        if (fi.isDir())
            out << fi.fileName() + QStringLiteral("/") << folderState(fi.filePath());
        else
            out << fi.fileName() + QLatin1Char(' ') + fingerprint(fi.filePath());
    }
    return out;
}

QString quoted(const QString& s) {
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// Every row of every table in the expected file, compared value for value with what the database holds: texts
// exactly (empty text may be stored as null), doubles bit for bit, integers, timestamps as stored text.
QStringList differences(const QString& expectedJson, DbKind kind) {
    QStringList out;
    QFile f(expectedJson);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + expectedJson};
    const QJsonObject expected = QJsonDocument::fromJson(f.readAll()).object();
    QStringList layoutTables = mdbimport::accessTables(kind), jsonTables = expected.keys();
    layoutTables.sort();
    jsonTables.sort();
    if (layoutTables != jsonTables)
        out << QStringLiteral("tables: %1 vs %2").arg(layoutTables.join(','), jsonTables.join(','));
    auto db = Database::open(kind);
    for (const QString& name : expected.keys()) {
        const TableDef* t = findTable(name);
        if (!t) {
            out << name + QStringLiteral(": no such table");
            continue;
        }
        QStringList cols, order;
        for (const FieldDef& fd : t->fields)
            cols << quoted(fd.name);
        if (t->key.isEmpty() || !t->keyUnique)
            order << QStringLiteral("rowid"); // stored order
        else
            for (const QString& k : t->key)
                order << quoted(k);
        Statement s(*db,
                    QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(cols.join(','), quoted(name), order.join(',')));
        const QJsonArray rows = expected.value(name).toArray();
        qsizetype i = 0;
        bool more = s.step();
        for (; more && i < rows.size(); more = s.step(), ++i) {
            const QJsonObject row = rows[i].toObject();
            for (int c = 0; c < t->fields.size(); ++c) {
                const FieldDef& fd = t->fields[c];
                const QJsonValue want = row.value(fd.name);
                const QString where = QStringLiteral("%1 row %2 %3").arg(name).arg(i).arg(fd.name);
                const int type = sqlite3_column_type(s.handle(), c);
                if (want.isNull() || want.isUndefined() || (want.isString() && want.toString().isEmpty())) {
                    if (type != SQLITE_NULL && !(type == SQLITE_TEXT && s.columnText(c).isEmpty()))
                        out << where + QStringLiteral(": expected null, got ") + s.columnText(c);
                    continue;
                }
                switch (fd.type) {
                case FieldType::Text:
                case FieldType::Timestamp:
                    if (type != SQLITE_TEXT || s.columnText(c) != want.toString())
                        out << where + QStringLiteral(": expected %1, got %2").arg(want.toString(), s.columnText(c));
                    break;
                case FieldType::Real: {
                    const double a = s.columnDouble(c), e = want.toDouble();
                    if (type != SQLITE_FLOAT || std::memcmp(&a, &e, sizeof a) != 0)
                        out << where + QStringLiteral(": expected %1, got %2").arg(e, 0, 'g', 17).arg(a, 0, 'g', 17);
                    break;
                }
                case FieldType::Integer:
                case FieldType::SmallInt:
                    if (type != SQLITE_INTEGER || s.columnInt(c) != want.toInteger())
                        out << where +
                                   QStringLiteral(": expected %1, got %2").arg(want.toInteger()).arg(s.columnText(c));
                    break;
                }
            }
        }
        for (; more; more = s.step())
            ++i;
        if (i != rows.size())
            out << QStringLiteral("%1: %2 rows, expected %3").arg(name).arg(i).arg(rows.size());
    }
    return out;
}

qint64 rides(const QString& path) {
    auto db = Database::openFile(path, DbKind::Personal);
    return db->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong();
}

QByteArray oleDay(const QDate& d) {
    const double day = double(QDate(1899, 12, 30).daysTo(d));
    return QByteArray(reinterpret_cast<const char*>(&day), 8);
}

// A copy of the personal fixture with bytes replaced in place (each pattern where it occurs; the copy is refused,
// returning empty, when a pattern is missing, so that a changed fixture skips rather than tests nothing).
QString patchedPersonal(const QString& dir, const QList<std::pair<QByteArray, QByteArray>>& patches) {
    QFile in(fixture({}, QStringLiteral("JJ.mdb")));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    for (const auto& [from, to] : patches) {
        if (!bytes.contains(from))
            return {};
        bytes.replace(from, to);
    }
    const QString path = dir + QStringLiteral("/patched.mdb");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray ucs2(const char* name) {
    const QString s = QString::fromLatin1(name);
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// Two rides spoilt: one moved onto the day of another ride of its route (a duplicate key), one given a day number
// no date has. Each day occurs once in the file, in its ride's row.
QString spoiltPersonal(const QString& dir) {
    const double huge = 1e300;
    return patchedPersonal(dir, {{oleDay(QDate(2011, 7, 9)), oleDay(QDate(2007, 6, 30))},
                                 {oleDay(QDate(2015, 12, 29)), QByteArray(reinterpret_cast<const char*>(&huge), 8)}});
}

} // namespace

class TestAccessImport : public QObject {
    Q_OBJECT
private slots:
    void importMatchesExpected_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("Access 2000") << QString();
        QTest::newRow("Access 2002-2003") << QStringLiteral("v2003");
    }
    void importMatchesExpected() {
        REQUIRE_FIXTURES();
        QFETCH(QString, format);
        test::TempEnv env;
        const QString ref = fixture(format, QStringLiteral("Tabiroku.mdb")),
                      per = fixture(format, QStringLiteral("JJ.mdb"));
        const QString refBefore = fingerprint(ref), perBefore = fingerprint(per);

        const mdbimport::Result result = mdbimport::importFiles(ref, per);
        QVERIFY(result.backups.isEmpty()); // nothing was there to copy
        for (const mdbimport::FileSurvey* f : {&result.survey.reference, &result.survey.personal}) {
            QCOMPARE(f->unknownTables, QStringList());
            QCOMPARE(f->unknownColumns, QStringList());
            QCOMPARE(f->missingTables, QStringList());
            QCOMPARE(f->missingColumns, QStringList());
        }
        for (DbKind kind : {DbKind::Reference, DbKind::Personal}) {
            const QString json = kFixtures + (kind == DbKind::Reference ? QStringLiteral("/Tabiroku.expected.json")
                                                                        : QStringLiteral("/JJ.expected.json"));
            const QStringList diff = differences(json, kind);
            QVERIFY2(diff.isEmpty(), qPrintable(diff.mid(0, 20).join('\n')));
        }
        // The Access files are read, never written.
        QCOMPARE(fingerprint(ref), refBefore);
        QCOMPARE(fingerprint(per), perBefore);
        // Nothing of the work stays beside the databases.
        QCOMPARE(QDir(env.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }

    // A table and a column of no layout (here: renamed in the file) are listed and left alone; the layout's table and
    // column they stood for stay empty, and everything else comes over.
    void unknownTablesAndColumnsAreListed() {
        REQUIRE_FIXTURES();
        test::TempEnv env;
        QTemporaryDir files;
        const QString per =
            patchedPersonal(files.path(), {{ucs2("RYOTEIM"), ucs2("RYOTEIX")}, {ucs2("CHAKU_EKI"), ucs2("CHAKU_EKX")}});
        if (per.isEmpty())
            QSKIP("The personal fixture no longer holds the names this case renames.");
        const mdbimport::Result r = mdbimport::importFiles(fixture({}, QStringLiteral("Tabiroku.mdb")), per);
        QCOMPARE(r.survey.personal.unknownTables, QStringList{QStringLiteral("RYOTEIX（2 行）")});
        QCOMPARE(r.survey.personal.unknownColumns, QStringList{QStringLiteral("RYOTEID.CHAKU_EKX（テキスト型）")});
        QCOMPARE(r.survey.personal.missingTables, QStringList{QStringLiteral("RYOTEIM")});
        QCOMPARE(r.survey.personal.missingColumns, QStringList{QStringLiteral("RYOTEID.CHAKU_EKI")});
        QVERIFY(r.text().contains(QStringLiteral("RYOTEIX")) && r.text().contains(QStringLiteral("RYOTEID.CHAKU_EKI")));
        auto db = Database::open(DbKind::Personal);
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM RYOTEIM")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM RYOTEID")).toInt(), 8);
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(CHAKU_EKI) FROM RYOTEID")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(), 150);
    }

    // A personal database with rides is replaced only when the user says so; its state before goes to backups.
    void secondImportNeedsConfirmation() {
        REQUIRE_FIXTURES();
        test::TempEnv env;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::importFiles(ref, per);
        {
            auto db = Database::open(DbKind::Personal);
            db->exec(QStringLiteral(
                "INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES ('A01001', '2025-01-01 00:00:00', 1.5)"));
        }
        const QStringList before = folderState(env.path());
        QString refused;
        try {
            mdbimport::importFiles(ref, per);
        } catch (const Error& e) {
            refused = e.message();
        }
        QVERIFY2(refused.contains(QStringLiteral("151 件")) && refused.contains(QStringLiteral("--replace")),
                 qPrintable(refused));
        QCOMPARE(folderState(env.path()), before);

        mdbimport::Options confirmed;
        confirmed.replaceRides = true;
        confirmed.now = QDateTime(QDate(2025, 1, 2), QTime(9, 30));
        const mdbimport::Result result = mdbimport::importFiles(ref, per, confirmed);
        QCOMPARE(rides(paths::databaseFile(DbKind::Personal)), 150);
        QCOMPARE(result.backups.size(), 2);
        const QString copy = env.path() + QStringLiteral("/backups/JJ-before-import-2025-01-02-093000.db");
        QVERIFY2(result.backups.contains(copy), qPrintable(result.backups.join(' ')));
        QCOMPARE(rides(copy), 151);
        QVERIFY(QFileInfo::exists(env.path() + QStringLiteral("/backups/Tabiroku-before-import-2025-01-02-093000.db")));
    }

    void failedImportLeavesDatabases_data() {
        QTest::addColumn<QString>("which"); // the file that is broken: "reference" or "personal"
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // part of what the user reads
        QTest::newRow("truncated at a page") << "reference"
                                             << "cut:262144"
                                             << "Tabiroku-cut.mdb";
        QTest::newRow("truncated mid-page") << "personal"
                                            << "cut:100000"
                                            << "途中で切れて";
        QTest::newRow("not an Access file") << "reference"
                                            << "text"
                                            << "Access のデータベースファイルとして読めません";
        QTest::newRow("empty file") << "personal"
                                    << "empty"
                                    << "読めません";
        QTest::newRow("missing file") << "reference"
                                      << "missing"
                                      << "見つかりません";
        QTest::newRow("swapped files") << "both"
                                       << "swapped"
                                       << "ファイルが逆です";
        QTest::newRow("refused rows")
            << "personal"
            << "spoilt"
            << "乗車実績（Access の表 JOSHA）キー ROSEN_CD=A01001, JOSHA_DATE=2007-06-30 00:00:00";
    }
    void failedImportLeavesDatabases() {
        REQUIRE_FIXTURES();
        QFETCH(QString, which);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        test::TempEnv env;
        QTemporaryDir files;
        QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::importFiles(ref, per); // the current databases to keep
        {
            auto db = Database::open(DbKind::Personal);
            db->exec(QStringLiteral("DELETE FROM JOSHA WHERE ROSEN_CD = 'A01001'"));
        }
        QString& broken = which == QLatin1String("reference") ? ref : per;
        const QString source = broken;
        if (kind.startsWith(QLatin1String("cut:"))) {
            QFile in(source);
            QVERIFY(in.open(QIODevice::ReadOnly));
            broken = files.filePath(QFileInfo(source).completeBaseName() + QStringLiteral("-cut.mdb"));
            QFile out(broken);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(in.read(kind.mid(4).toLongLong()));
        } else if (kind == QLatin1String("text") || kind == QLatin1String("empty")) {
            broken = files.filePath(QStringLiteral("note.mdb"));
            QFile out(broken);
            QVERIFY(out.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("text"))
                out.write(QByteArray(8192, 'x').prepend("これは Access のファイルではありません\n"));
        } else if (kind == QLatin1String("missing")) {
            broken = files.filePath(QStringLiteral("none.mdb"));
        } else if (kind == QLatin1String("swapped")) {
            std::swap(ref, per);
        } else if (kind == QLatin1String("spoilt")) {
            broken = spoiltPersonal(files.path());
            if (broken.isEmpty())
                QSKIP("The personal fixture no longer holds the rides this case spoils.");
        }

        const QStringList before = folderState(env.path());
        mdbimport::Options options;
        options.replaceRides = true;
        QString error;
        try {
            mdbimport::importFiles(ref, per, options);
        } catch (const Error& e) {
            error = e.message();
        }
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(folderState(env.path()), before);
        if (kind == QLatin1String("spoilt")) {
            // Both refused rows are named, with the field whose value cannot be stored.
            QVERIFY2(error.contains(QStringLiteral("件あったため")) &&
                         error.contains(QStringLiteral("「乗車年月日」（JOSHA_DATE）")) &&
                         error.contains(QStringLiteral("ROSEN_CD=A01001")),
                     qPrintable(error));
        }
    }
    // A kill at every step of the replacement leaves a pair that belongs together once the next start has run:
    // all old before the journal, all new after it (the new files were whole).
    void killAtEveryStep_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("becomesNew");
        QTest::newRow("after the copies") << int(mdbimport::Step::Copied) << false;
        QTest::newRow("after the journal") << int(mdbimport::Step::Journal) << true;
        QTest::newRow("between the two replacements") << int(mdbimport::Step::Reference) << true;
        QTest::newRow("before the journal goes") << int(mdbimport::Step::Personal) << true;
    }
    void killAtEveryStep() {
        REQUIRE_FIXTURES();
        QFETCH(int, step);
        QFETCH(bool, becomesNew);
        test::TempEnv env;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::importFiles(ref, per);
        auto marks = [] {
            auto r = Database::open(DbKind::Reference);
            auto p = Database::open(DbKind::Personal);
            return QStringLiteral("%1/%2")
                .arg(r->scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toLongLong())
                .arg(p->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong());
        };
        const QString fresh = marks();
        {
            auto r = Database::open(DbKind::Reference);
            r->exec(QStringLiteral("DELETE FROM MASTER WHERE ROSEN_CD LIKE 'A%'"));
            auto p = Database::open(DbKind::Personal);
            p->exec(QStringLiteral("DELETE FROM JOSHA WHERE ROSEN_CD LIKE 'A%'"));
        }
        const QString old = marks();
        QVERIFY(old != fresh);

        const pid_t pid = ::fork();
        if (pid == 0) {
            mdbimport::Options options;
            options.replaceRides = true;
            options.afterStep = [step](mdbimport::Step s) {
                if (int(s) == step)
                    ::_exit(9); // as a kill would: nothing cleaned up
            };
            try {
                mdbimport::importFiles(ref, per, options);
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        QCOMPARE(WEXITSTATUS(status), 9);

        // The next start.
        const QString said = pairswap::recoverInterrupted();
        QCOMPARE(said.isEmpty(), !becomesNew);
        QCOMPARE(marks(), becomesNew ? fresh : old);
        QVERIFY(!QFileInfo::exists(pairswap::journalFile()));
        pairswap::removeLeftovers();
        const QStringList left = QDir(env.path()).entryList({QStringLiteral("import-*")}, QDir::Dirs);
        QCOMPARE(left, QStringList());
    }

    // The disk fills while the personal database is replaced, and the way back fails too: the journal stays and
    // the next start completes the pair.
    void failedRollbackIsCompletedAtTheNextStart() {
        REQUIRE_FIXTURES();
        test::TempEnv env;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::importFiles(ref, per);
        {
            auto p = Database::open(DbKind::Personal);
            p->exec(QStringLiteral("DELETE FROM JOSHA WHERE ROSEN_CD LIKE 'A%'"));
        }
        mdbimport::Options options;
        options.replaceRides = true;
        // The personal database fails, and so does the way back of the reference one.
        options.afterStep = [](mdbimport::Step s) {
            if (s == mdbimport::Step::Reference)
                pairswap::injectInstallFailure(1);
        };
        QString error;
        try {
            mdbimport::importFiles(ref, per, options);
        } catch (const Error& e) {
            error = e.message();
        }
        pairswap::injectInstallFailure(0);
        QVERIFY2(error.contains(QStringLiteral("次にタビロクを起動したときに")), qPrintable(error));
        QVERIFY(QFileInfo::exists(pairswap::journalFile()));
        QVERIFY2(pairswap::recoverInterrupted().contains(QStringLiteral("最後まで行いました")), "not completed");
        QCOMPARE(rides(paths::databaseFile(DbKind::Personal)), 150);
    }

    // The disk fills while the reference database is replaced: nothing was replaced, and no journal stays to
    // finish it at the next start.
    void failedFirstReplacementLeavesNothingToFinish() {
        REQUIRE_FIXTURES();
        test::TempEnv env;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::importFiles(ref, per);
        {
            auto p = Database::open(DbKind::Personal);
            p->exec(QStringLiteral("DELETE FROM JOSHA WHERE ROSEN_CD LIKE 'A%'"));
        }
        const qint64 kept = rides(paths::databaseFile(DbKind::Personal));
        mdbimport::Options options;
        options.replaceRides = true;
        options.afterStep = [](mdbimport::Step s) {
            if (s == mdbimport::Step::Journal)
                pairswap::injectInstallFailure(1);
        };
        QVERIFY_THROWS_EXCEPTION(Error, mdbimport::importFiles(ref, per, options));
        pairswap::injectInstallFailure(0);
        QVERIFY(!QFileInfo::exists(pairswap::journalFile()));
        QCOMPARE(pairswap::recoverInterrupted(), QString());
        QCOMPARE(rides(paths::databaseFile(DbKind::Personal)), kept);
        QCOMPARE(QDir(env.path()).entryList({QStringLiteral("import-*")}, QDir::Dirs), QStringList());
    }

    // One import at a time, none under an open window; the refused one changes nothing.
    void refusedWhileAnotherHoldsTheDatabases_data() {
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("message");
        QTest::newRow("another import") << false << "ほかの取り込み";
        QTest::newRow("a window of the program") << true << "開いているため";
    }
    void refusedWhileAnotherHoldsTheDatabases() {
        REQUIRE_FIXTURES();
        QFETCH(bool, window);
        QFETCH(QString, message);
        test::TempEnv env;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::importFiles(ref, per);
        const QStringList before = folderState(env.path());
        std::unique_ptr<pairswap::ImportLock> other;
        if (window)
            QVERIFY(pairswap::holdOpen());
        else
            other = std::make_unique<pairswap::ImportLock>(false);
        mdbimport::Options options;
        options.replaceRides = true;
        QString error;
        try {
            mdbimport::importFiles(ref, per, options);
        } catch (const Error& e) {
            error = e.message();
        }
        pairswap::releaseOpen();
        other.reset();
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(folderState(env.path()), before);
    }

    // Two imports in the same second keep both pairs of copies.
    void copiesOfTheSameSecondDoNotClash() {
        REQUIRE_FIXTURES();
        test::TempEnv env;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb")), per = fixture({}, QStringLiteral("JJ.mdb"));
        mdbimport::Options options;
        options.replaceRides = true;
        options.now = QDateTime(QDate(2025, 1, 2), QTime(9, 30));
        mdbimport::importFiles(ref, per, options);
        const QStringList first = mdbimport::importFiles(ref, per, options).backups;
        const QStringList second = mdbimport::importFiles(ref, per, options).backups;
        QCOMPARE(first.size(), 2);
        QCOMPARE(second.size(), 2);
        for (const QString& f : second)
            QVERIFY2(!first.contains(f) && QFileInfo::exists(f), qPrintable(f));
    }

    // Values the program could never have stored: listed before the import, which needs the user's word.
    void unusualValuesNeedConfirmation_data() {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("listed");
        QTest::newRow("a code of other characters") << QByteArray("\xff\xfe"
                                                                  "A01001")
                                                    << QByteArray("\xff\xfe\xc4"
                                                                  "01001")
                                                    << QStringLiteral("フィールド ROSEN_CD: 「Ä01001」");
        QTest::newRow("a ride in 2301") << oleDay(QDate(2011, 7, 9)) << oleDay(QDate(2301, 3, 1))
                                        << QStringLiteral("フィールド JOSHA_DATE: 「2301-03-01");
        QTest::newRow("a ride in 1799") << oleDay(QDate(2011, 7, 9)) << oleDay(QDate(1799, 12, 31))
                                        << QStringLiteral("フィールド JOSHA_DATE: 「1799-12-31");
    }
    void unusualValuesNeedConfirmation() {
        REQUIRE_FIXTURES();
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, listed);
        test::TempEnv env;
        QTemporaryDir files;
        const QString ref = fixture({}, QStringLiteral("Tabiroku.mdb"));
        const QString per = patchedPersonal(files.path(), {{from, to}});
        if (per.isEmpty())
            QSKIP("The personal fixture no longer holds the value this case changes.");
        const mdbimport::Survey survey = mdbimport::surveyFiles(ref, per);
        QVERIFY(survey.hasUnusualValues());
        QVERIFY2(survey.text().contains(listed), qPrintable(survey.text()));
        QString error;
        try {
            mdbimport::importFiles(ref, per);
        } catch (const Error& e) {
            error = e.message();
        }
        QVERIFY2(error.contains(QStringLiteral("--accept-unusual")) && error.contains(listed), qPrintable(error));
        QVERIFY(!QFileInfo::exists(paths::databaseFile(DbKind::Personal)));
        mdbimport::Options options;
        options.acceptUnusual = true;
        mdbimport::importFiles(ref, per, options);
        QCOMPARE(rides(paths::databaseFile(DbKind::Personal)), 150);
    }
};

QTEST_GUILESS_MAIN(TestAccessImport)
#include "test_accessimport.moc"
