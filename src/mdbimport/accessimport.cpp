#include "accessimport.h"

#include "jetfile.h"
#include "jetvalues.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariant>
#include <optional>
#include <sqlite3.h>

namespace tabi::mdbimport {

namespace {

// Refused rows listed in a failure report; the rest are counted.
constexpr int kListedProblems = 100;

bool takes(FieldType type, jet::ColumnKind kind) {
    using K = jet::ColumnKind;
    switch (type) {
    case FieldType::Text:
        return kind == K::Text || kind == K::Memo;
    case FieldType::Real:
        return kind == K::Double || kind == K::Single || kind == K::Byte || kind == K::Int16 || kind == K::Int32;
    case FieldType::Integer:
    case FieldType::SmallInt:
        return kind == K::Byte || kind == K::Int16 || kind == K::Int32;
    case FieldType::Timestamp:
        return kind == K::DateTime;
    }
    return false;
}

QString typeText(FieldType type) {
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("テキスト");
    case FieldType::Real:
        return QStringLiteral("倍精度の数値");
    case FieldType::Integer:
        return QStringLiteral("整数");
    case FieldType::SmallInt:
        return QStringLiteral("整数 (16 ビット)");
    case FieldType::Timestamp:
        return QStringLiteral("日付/時刻");
    }
    return {};
}

QString dbName(DbKind kind) {
    return kind == DbKind::Reference ? QStringLiteral("参照データベース") : QStringLiteral("個人データベース");
}

FileSurvey surveyFile(const jet::JetFile& file, DbKind kind) {
    FileSurvey s;
    s.path = file.path();
    s.format = file.formatName();
    s.kind = kind;
    const QStringList known = accessTables(kind);
    for (const QString& name : known) {
        const TableDef* def = findTable(name);
        const jet::TableInfo* t = file.table(name);
        if (!t) {
            s.missingTables << name;
            continue;
        }
        TableMatch m;
        m.def = def;
        m.accessName = t->name;
        m.rows = t->rows;
        for (const FieldDef& f : def->fields) {
            int found = -1;
            for (int c = 0; c < t->columns.size(); ++c)
                if (t->columns[c].name.compare(f.name, Qt::CaseInsensitive) == 0)
                    found = c;
            if (found < 0) {
                s.missingColumns << def->name + QLatin1Char('.') + f.name;
            } else if (!takes(f.type, t->columns[found].kind)) {
                s.typeMismatches << QStringLiteral("%1.%2: Access では%3、このプログラムでは%4です")
                                        .arg(def->name, f.name, t->columns[found].typeName, typeText(f.type));
            }
            m.sourceColumns << found;
        }
        for (const jet::ColumnInfo& c : t->columns)
            if (def->fieldIndex(c.name) < 0)
                s.unknownColumns << QStringLiteral("%1.%2（%3）").arg(t->name, c.name, c.typeName);
        s.tables << m;
    }
    for (const jet::TableInfo& t : file.tables()) {
        s.allTables << t.name;
        bool ours = false;
        for (const QString& name : known)
            ours = ours || t.name.compare(name, Qt::CaseInsensitive) == 0;
        if (!ours)
            s.unknownTables << QStringLiteral("%1（%2 行）").arg(t.name).arg(t.rows);
    }
    return s;
}

// Rides in the current personal database, read without creating or changing it: 0 when there is none yet, -1
// when it cannot be read (then nobody can tell what would be replaced).
qint64 currentRideCount() {
    const QString path = paths::databaseFile(DbKind::Personal);
    if (!QFileInfo::exists(path))
        return 0;
    const QStringList created = absentDatabaseFiles(path);
    sqlite3* db = nullptr;
    qint64 rides = -1;
    // Read and write (never create), as the daily copy does, so that this last connection takes away the journal
    // files its reading makes.
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM \"JOSHA\"", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            rides = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close_v2(db);
    for (const QString& f : created)
        if (!f.endsWith(QLatin1String("-wal")) || QFileInfo(f).size() == 0)
            QFile::remove(f);
    return rides;
}

QString listLines(const QString& title, const QStringList& items) {
    if (items.isEmpty())
        return {};
    QString out = title + QLatin1Char('\n');
    for (const QString& i : items)
        out += QStringLiteral("　%1\n").arg(i);
    return out;
}

QString leftOutText(const Survey& s) {
    QString out;
    QStringList notCarried, empty;
    for (const FileSurvey* f : {&s.reference, &s.personal}) {
        for (const QString& t : f->unknownTables)
            notCarried << QStringLiteral("表 %1: このプログラムの表ではありません").arg(t);
        for (const QString& c : f->unknownColumns)
            notCarried << QStringLiteral("列 %1: このプログラムの表にない列です").arg(c);
        for (const QString& t : f->missingTables)
            empty << QStringLiteral("表 %1（%2）").arg(t, dbName(f->kind));
        for (const QString& c : f->missingColumns)
            empty << QStringLiteral("列 %1").arg(c);
    }
    out += listLines(QStringLiteral("取り込まないもの（Access のファイルはそのまま残ります）:"), notCarried);
    out += listLines(QStringLiteral("Access のファイルにないため空のままになるもの:"), empty);
    return out;
}

// The tables of the program that no Access file holds (added by later versions): the import leaves them empty.
QStringList programOnlyTables(DbKind kind) {
    QStringList out;
    const QStringList access = accessTables(kind);
    for (const TableDef& t : tables(kind))
        if (!access.contains(t.name))
            out << t.name;
    return out;
}

struct Problem {
    QString table;
    QString where; // key values, or the row number of a table without a key
    QString what;
};

struct Copier {
    jet::JetFile& file;
    Database& db;
    const Options& options;
    qint64& done;
    qint64 total;
    QList<Problem>& problems;
    qint64& problemCount;

    void note(const TableDef& t, const QString& where, const QString& what) {
        ++problemCount;
        if (problems.size() < kListedProblems)
            problems << Problem{t.name, where, what};
    }

    void progress(const QString& table) {
        if (options.progress && !options.progress(done, total, table))
            throw Error(QStringLiteral("取り込みを中止しました。データベースは元のままです。"));
    }

    // The value of one column as the field stores it; an error text instead when it cannot be.
    static std::optional<QVariant> convert(const FieldDef& f, jet::ColumnKind kind, const jet::RawValue& v, bool jet3,
                                           QString& error) {
        if (v.isNull)
            return QVariant();
        using K = jet::ColumnKind;
        switch (f.type) {
        case FieldType::Text: {
            std::optional<QString> s;
            if (v.memoAsText)
                s = v.memoText;
            else if (jet3)
                s = jet::jet3Text(v.bytes);
            else
                s = jet::jet4Text(v.bytes);
            if (!s) {
                error = QStringLiteral("文字の並びが壊れています");
                return std::nullopt;
            }
            if (!s->isValidUtf16()) {
                error = QStringLiteral("対になっていないサロゲート（文字の片割れ）があります");
                return std::nullopt;
            }
            // Empty text is stored as null, as the program writes it.
            return s->isEmpty() ? QVariant() : QVariant(*s);
        }
        case FieldType::Real: {
            std::optional<double> d;
            if (kind == K::Double || kind == K::Single)
                d = jet::readReal(v.bytes);
            else if (const auto i = jet::readInteger(v.bytes))
                d = double(*i);
            if (!d) {
                error = QStringLiteral("数値の大きさ (%1 バイト) が合いません").arg(v.bytes.size());
                return std::nullopt;
            }
            return QVariant(*d);
        }
        case FieldType::Integer:
        case FieldType::SmallInt: {
            const auto i = jet::readInteger(v.bytes);
            if (!i) {
                error = QStringLiteral("整数の大きさ (%1 バイト) が合いません").arg(v.bytes.size());
                return std::nullopt;
            }
            return QVariant(*i);
        }
        case FieldType::Timestamp: {
            const auto d = jet::readReal(v.bytes);
            const auto ts = d ? jet::oleDayToTimestamp(*d) : std::nullopt;
            if (!ts) {
                error = d ? QStringLiteral("日付 (日数 %1) が 100 年～9999 年の範囲にありません").arg(*d, 0, 'g', 17)
                          : QStringLiteral("日付の大きさ (%1 バイト) が合いません").arg(v.bytes.size());
                return std::nullopt;
            }
            return QVariant(*ts);
        }
        }
        return std::nullopt;
    }

    static QString keyText(const TableDef& t, const QList<int>& fieldOf, const QList<QVariant>& values, qint64 rowNo) {
        if (t.key.isEmpty())
            return QStringLiteral("%1 行目").arg(rowNo);
        QStringList parts;
        for (const QString& k : t.key) {
            const int fi = t.fieldIndex(k);
            const int vi = fieldOf.indexOf(fi);
            const QVariant v = vi >= 0 ? values[vi] : QVariant();
            QString text = v.isNull() ? QStringLiteral("(空)") : v.toString();
            if (v.typeId() == QMetaType::Double)
                text = QString::number(v.toDouble(), 'g', 17);
            parts << QStringLiteral("%1=%2").arg(k, text);
        }
        return QStringLiteral("キー %1").arg(parts.join(QStringLiteral(", ")));
    }

    qint64 copy(const TableMatch& m) {
        const TableDef& t = *m.def;
        QList<int> fieldOf; // per carried column: the field index
        QList<int> columns; // per carried column: the Access column
        QList<jet::ColumnKind> kinds;
        QStringList names, marks;
        const jet::TableInfo* info = file.table(m.accessName);
        for (int fi = 0; fi < t.fields.size(); ++fi) {
            if (m.sourceColumns[fi] < 0)
                continue;
            fieldOf << fi;
            columns << m.sourceColumns[fi];
            kinds << info->columns[m.sourceColumns[fi]].kind;
            names << QLatin1Char('"') + t.fields[fi].name + QLatin1Char('"');
            marks << QStringLiteral("?%1").arg(names.size());
        }
        if (columns.isEmpty())
            return 0;
        Statement insert(db, QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                 .arg(t.name, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        const bool jet3 = file.isJet3();
        qint64 rowNo = 0, carried = 0;
        QList<QVariant> values(columns.size());
        progress(t.name);
        file.readRows(m.accessName, columns, [&](const QList<jet::RawValue>& raw) {
            ++rowNo;
            QStringList errors;
            for (qsizetype i = 0; i < raw.size(); ++i) {
                QString error;
                const FieldDef& f = t.fields[fieldOf[i]];
                const auto v = convert(f, kinds[i], raw[i], jet3, error);
                values[i] = v.value_or(QVariant());
                if (!v)
                    errors << QStringLiteral("%1（%2）: %3").arg(fieldCaption(f), f.name, error);
            }
            if (!errors.isEmpty()) {
                for (const QString& e : errors)
                    note(t, keyText(t, fieldOf, values, rowNo), e);
            } else {
                for (qsizetype i = 0; i < values.size(); ++i)
                    insert.bind(int(i) + 1, values[i]);
                try {
                    insert.step();
                    ++carried;
                } catch (const Error& e) {
                    insert.reset();
                    switch (e.kind()) {
                    case ErrorKind::DuplicateKey:
                    case ErrorKind::TooLong:
                    case ErrorKind::OutOfRange:
                    case ErrorKind::NotADate:
                    case ErrorKind::Required:
                    case ErrorKind::WrongType:
                        note(t, keyText(t, fieldOf, values, rowNo), e.message().section(QLatin1Char('\n'), 0, 0));
                        break;
                    default:
                        throw; // the disk, the engine: the import as a whole fails
                    }
                }
                insert.reset();
            }
            if (++done % 512 == 0)
                progress(t.name);
            return true;
        });
        progress(t.name);
        return carried;
    }
};

// Puts the database at source in place of the one at target, through the engine's online backup: one write
// transaction on the target, so that it holds either all of the old pages or all of the new ones, whatever
// fails on the way, and connections other screens hold to it stay valid.
void install(const QString& source, const QString& target) {
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

} // namespace

QStringList accessTables(DbKind db) {
    if (db == DbKind::Reference)
        return {QStringLiteral("MASTER"),   QStringLiteral("EKI"),       QStringLiteral("KAITSU"),
                QStringLiteral("KUBUN"),    QStringLiteral("BUNRUI"),    QStringLiteral("BUNRUI4"),
                QStringLiteral("SAKUDO"),   QStringLiteral("OTHERS"),    QStringLiteral("VER"),
                QStringLiteral("BUNRUI2"),  QStringLiteral("BUNRUI3"),   QStringLiteral("KUBUN2"),
                QStringLiteral("KUBUN3"),   QStringLiteral("TOSHI2"),    QStringLiteral("TMP_JOSHA_KUBUN"),
                QStringLiteral("CFM_MIJO"), QStringLiteral("CFM_JOSHA"), QStringLiteral("CFM_FILES")};
    return {QStringLiteral("JOSHA"), QStringLiteral("SAKUDOJ"), QStringLiteral("OTHERSJ"),
            QStringLiteral("TOSHI"), QStringLiteral("RYOTEIM"), QStringLiteral("RYOTEID")};
}

qint64 FileSurvey::totalRows() const {
    qint64 n = 0;
    for (const TableMatch& m : tables)
        n += m.rows;
    return n;
}

QStringList Survey::blockers() const {
    QStringList out;
    auto has = [](const FileSurvey& f, const char* name) {
        return f.allTables.contains(QLatin1String(name), Qt::CaseInsensitive);
    };
    const bool refOk = has(reference, "MASTER"), perOk = has(personal, "JOSHA");
    if (!refOk && !perOk && has(reference, "JOSHA") && has(personal, "MASTER")) {
        out << QStringLiteral("参照データベースと個人データベースのファイルが逆です（%1 に乗車実績 JOSHA、%2 に路線 "
                              "MASTER があります）。")
                   .arg(reference.path, personal.path);
    } else {
        if (!refOk)
            out << QStringLiteral(
                       "%1 には路線の表 MASTER がありません（参照データベース Tabiroku.mdb ではありません）。")
                       .arg(reference.path);
        if (!perOk)
            out << QStringLiteral("%1 には乗車実績の表 JOSHA がありません（個人データベース JJ.MDB ではありません）。")
                       .arg(personal.path);
    }
    for (const FileSurvey* f : {&reference, &personal})
        for (const QString& m : f->typeMismatches)
            out << QStringLiteral("%1 の列の型が合いません: %2").arg(f->path, m);
    return out;
}

QString Survey::text() const {
    QString out;
    for (const FileSurvey* f : {&reference, &personal}) {
        out += QStringLiteral("%1: %2（%3）\n").arg(dbName(f->kind), f->path, f->format);
        QStringList counts;
        for (const TableMatch& m : f->tables)
            counts << QStringLiteral("%1 %2 行").arg(m.def->name).arg(m.rows);
        out += QStringLiteral("　%1\n").arg(counts.isEmpty() ? QStringLiteral("取り込める表はありません")
                                                             : counts.join(QStringLiteral("、")));
    }
    out += leftOutText(*this);
    QStringList programOnly = programOnlyTables(DbKind::Reference) + programOnlyTables(DbKind::Personal);
    if (!programOnly.isEmpty())
        out += QStringLiteral("Access の表にはない %1 は空になります（取り込みのあとで作り直してください）。\n")
                   .arg(programOnly.join(QStringLiteral("、")));
    if (currentRides > 0)
        out += QStringLiteral("現在の個人データベースには乗車実績が %1 "
                              "件あります。取り込むと置き換わります（元のデータベースは控えを残します）。\n")
                   .arg(currentRides);
    else if (currentRides < 0)
        out += QStringLiteral(
            "現在の個人データベースを読めません。取り込むと置き換わります（元のデータベースは控えを残します）。\n");
    else if (QFileInfo::exists(paths::databaseFile(DbKind::Reference)) ||
             QFileInfo::exists(paths::databaseFile(DbKind::Personal)))
        out +=
            QStringLiteral("現在のデータベースは取り込む記録で置き換わります（元のデータベースは控えを残します）。\n");
    const QStringList b = blockers();
    out += listLines(QStringLiteral("取り込めません:"), b);
    return out;
}

Survey surveyFiles(const QString& referenceMdb, const QString& personalMdb) {
    Survey s;
    {
        jet::JetFile ref(referenceMdb);
        s.reference = surveyFile(ref, DbKind::Reference);
    }
    {
        jet::JetFile per(personalMdb);
        s.personal = surveyFile(per, DbKind::Personal);
    }
    s.currentRides = currentRideCount();
    return s;
}

QString Result::text() const {
    QString out = QStringLiteral("Access のデータベースを取り込みました。\n");
    for (const FileSurvey* f : {&survey.reference, &survey.personal}) {
        out += QStringLiteral("%1: %2 → %3\n").arg(dbName(f->kind), f->path, paths::databaseFile(f->kind));
        out += QStringLiteral("　%1\n").arg(counts[f->kind == DbKind::Reference ? 0 : 1].join(QStringLiteral("、")));
    }
    out += listLines(QStringLiteral("取り込む前のデータベースの控え:"), backups);
    out += leftOutText(survey);
    return out;
}

Result importFiles(const QString& referenceMdb, const QString& personalMdb, const Options& options) {
    Result result;
    result.survey = surveyFiles(referenceMdb, personalMdb);
    const Survey& survey = result.survey;
    const QStringList blockers = survey.blockers();
    if (!blockers.isEmpty())
        throw Error(QStringLiteral("取り込めません。データベースは元のままです。\n") +
                    blockers.join(QLatin1Char('\n')));
    if (survey.needsConfirmation() && !options.replaceRides)
        throw Error(
            survey.currentRides > 0
                ? QStringLiteral("現在の個人データベース %1 には乗車実績が %2 件あります。置き換えるには確認が必要です"
                                 "（コマンドラインでは --replace を付けます）。データベースは元のままです。")
                      .arg(paths::databaseFile(DbKind::Personal))
                      .arg(survey.currentRides)
                : QStringLiteral("現在の個人データベース %1 を読めないため、置き換えてよいか確認が必要です"
                                 "（コマンドラインでは --replace を付けます）。データベースは元のままです。")
                      .arg(paths::databaseFile(DbKind::Personal)));

    // The new files are made beside the current ones (the same disk), in a folder that goes when this ends.
    const QString dataDir = paths::dataDir();
    const bool madeDataDir = !QFileInfo::exists(dataDir);
    if (!QDir().mkpath(dataDir))
        throw Error(QStringLiteral("データベースのフォルダー %1 を作成できません。").arg(dataDir),
                    ErrorKind::CannotOpen);
    struct DataDirGuard {
        QString dir;
        bool made;
        bool keep = false;
        ~DataDirGuard() {
            if (made && !keep)
                QDir().rmdir(dir);
        }
    } dataDirGuard{dataDir, madeDataDir};
    QTemporaryDir work(dataDir + QStringLiteral("/import-XXXXXX"));
    if (!work.isValid())
        throw Error(QStringLiteral("作業用のフォルダーを %1 に作れません（%2）。").arg(dataDir, work.errorString()),
                    ErrorKind::CannotOpen);

    const qint64 total = survey.reference.totalRows() + survey.personal.totalRows();
    qint64 done = 0, problemCount = 0;
    QList<Problem> problems;
    QString newFiles[2];
    for (const FileSurvey* f : {&survey.reference, &survey.personal}) {
        const int slot = f->kind == DbKind::Reference ? 0 : 1;
        newFiles[slot] = work.filePath(QFileInfo(paths::databaseFile(f->kind)).fileName());
        jet::JetFile file(f->path);
        auto db = Database::openFile(newFiles[slot], f->kind);
        {
            Transaction tx(*db);
            // A new reference database starts with the supplied data; what comes in replaces all of it.
            for (const TableDef& t : tables(f->kind))
                db->exec(QStringLiteral("DELETE FROM \"%1\"").arg(t.name));
            Copier copier{file, *db, options, done, total, problems, problemCount};
            for (const TableMatch& m : f->tables) {
                const qint64 carried = copier.copy(m);
                result.counts[slot] << QStringLiteral("%1 %2 行").arg(m.def->name).arg(carried);
            }
            tx.commit();
        }
        db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    if (problemCount > 0) {
        QString text =
            QStringLiteral("取り込めない行が %1 件あったため、取り込みませんでした。データベースは元のままです。\n"
                           "Access で直してから、もう一度取り込んでください。\n")
                .arg(problemCount);
        for (const Problem& p : problems)
            text += QStringLiteral("%1（Access の表 %2）%3: %4\n").arg(tableCaption(p.table), p.table, p.where, p.what);
        if (problemCount > problems.size())
            text += QStringLiteral("ほか %1 件\n").arg(problemCount - problems.size());
        throw Error(text.trimmed());
    }

    // The current databases are copied aside first; only then is anything replaced.
    const QDateTime now = options.now.isValid() ? options.now : QDateTime::currentDateTime();
    QString copies[2];
    for (DbKind kind : {DbKind::Reference, DbKind::Personal}) {
        const QString current = paths::databaseFile(kind);
        if (!QFileInfo::exists(current))
            continue;
        // Named apart from the daily copies, whose pruning leaves these alone.
        const QString stem = QStringLiteral("%1/%2-before-import-%3")
                                 .arg(backup::folderFor(current), QFileInfo(current).completeBaseName(),
                                      now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
        QString copy = stem + QStringLiteral(".db");
        for (int n = 2; QFileInfo::exists(copy); ++n)
            copy = QStringLiteral("%1-%2.db").arg(stem).arg(n);
        backup::copyTo(current, copy);
        copies[kind == DbKind::Reference ? 0 : 1] = copy;
        result.backups << copy;
    }
    const QString refCurrent = paths::databaseFile(DbKind::Reference);
    const bool refExisted = QFileInfo::exists(refCurrent);
    const QStringList refCreated = absentDatabaseFiles(refCurrent);
    install(newFiles[0], refCurrent);
    try {
        install(newFiles[1], paths::databaseFile(DbKind::Personal));
    } catch (const Error& e) {
        // The pair belongs together: the reference database goes back to what it was.
        QString undo = QStringLiteral("\n取り込みは行われず、データベースは元のままです。");
        try {
            if (refExisted) {
                install(copies[0], refCurrent);
            } else {
                for (const QString& f : refCreated)
                    QFile::remove(f);
            }
        } catch (const Error& e2) {
            undo = QStringLiteral("\n参照データベースを元に戻せませんでした: %1\n控え %2 から戻してください。")
                       .arg(e2.message(), copies[0]);
        }
        throw Error(e.message() + undo, e.kind());
    }
    dataDirGuard.keep = true;
    return result;
}

} // namespace tabi::mdbimport
