#include "accessimport.h"

#include "jetfile.h"
#include "jetvalues.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "data/pairswap.h"
#include "data/processguard.h"

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

// A code field (*_CD) holds half-width letters, digits and marks; the program's own input never makes anything else.
bool isUnusualCode(const FieldDef& f, const QVariant& v) {
    if (f.type != FieldType::Text || !f.name.endsWith(QLatin1String("_CD")) || v.isNull())
        return false;
    for (const QChar c : v.toString())
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return true;
    return false;
}

bool isUnusualDate(const FieldDef& f, const QVariant& v) {
    if (f.type != FieldType::Timestamp || v.isNull())
        return false;
    const int year = v.toString().left(4).toInt();
    return year < 1800 || year > 2200;
}

// Reads every row of the carried tables once and lists the values the program could never have stored.
void scanUnusual(jet::JetFile& file, FileSurvey& s) {
    const bool jet3 = file.isJet3();
    for (const TableMatch& m : std::as_const(s.tables)) {
        const TableDef& t = *m.def;
        const jet::TableInfo* info = file.table(m.accessName);
        QList<int> fieldOf, columns;
        QList<jet::ColumnKind> kinds;
        for (int fi = 0; fi < t.fields.size(); ++fi) {
            const FieldDef& f = t.fields[fi];
            const bool watched =
                f.type == FieldType::Timestamp || (f.type == FieldType::Text && f.name.endsWith(QLatin1String("_CD")));
            if (m.sourceColumns[fi] < 0 || !watched || !takes(f.type, info->columns[m.sourceColumns[fi]].kind))
                continue;
            fieldOf << fi;
            columns << m.sourceColumns[fi];
            kinds << info->columns[m.sourceColumns[fi]].kind;
        }
        if (columns.isEmpty())
            continue;
        qint64 rowNo = 0;
        file.readRows(m.accessName, columns, [&](const QList<jet::RawValue>& raw) {
            ++rowNo;
            for (qsizetype i = 0; i < raw.size(); ++i) {
                const FieldDef& f = t.fields[fieldOf[i]];
                QString error;
                const std::optional<QVariant> v = Copier::convert(f, kinds[i], raw[i], jet3, error);
                if (!v || !(isUnusualCode(f, *v) || isUnusualDate(f, *v)))
                    continue;
                ++s.unusualCount;
                if (s.unusual.size() < kListedProblems)
                    s.unusual << QStringLiteral("表 %1 %2 行目 フィールド %3: 「%4」")
                                     .arg(t.name)
                                     .arg(rowNo)
                                     .arg(f.name, v->toString());
            }
            return true;
        });
    }
}

QString unusualText(const Survey& s) {
    QString out;
    for (const FileSurvey* f : {&s.reference, &s.personal}) {
        if (f->unusualCount == 0)
            continue;
        out += QStringLiteral("%1 %2 の通常でない値（%3 件）:\n").arg(dbName(f->kind), f->path).arg(f->unusualCount);
        for (const QString& u : f->unusual)
            out += QStringLiteral("　%1\n").arg(u);
        if (f->unusualCount > f->unusual.size())
            out += QStringLiteral("　ほか %1 件\n").arg(f->unusualCount - f->unusual.size());
    }
    return out;
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
    if (hasUnusualValues())
        out += unusualText(*this) +
               QStringLiteral("（このプログラムでは入力できない値です。ファイルが壊れている可能性があります。"
                              "取り込むには確認が必要です。）\n");
    const QStringList b = blockers();
    out += listLines(QStringLiteral("取り込めません:"), b);
    return out;
}

Survey surveyFiles(const QString& referenceMdb, const QString& personalMdb) {
    Survey s;
    {
        guard::setSubject(referenceMdb);
        jet::JetFile ref(referenceMdb);
        s.reference = surveyFile(ref, DbKind::Reference);
        scanUnusual(ref, s.reference);
    }
    {
        guard::setSubject(personalMdb);
        jet::JetFile per(personalMdb);
        s.personal = surveyFile(per, DbKind::Personal);
        scanUnusual(per, s.personal);
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

void step(const Options& options, Step s) {
    if (options.afterStep)
        options.afterStep(s);
}

Result importFiles(const QString& referenceMdb, const QString& personalMdb, const Options& options) {
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
    // One import at a time, and none under a window that has the databases open.
    const pairswap::ImportLock lock(true);
    Result result;
    // An earlier import cut short is finished or rolled back before anything reads the databases.
    result.recovered = pairswap::recoverInterrupted();
    pairswap::removeLeftovers();

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
    if (survey.hasUnusualValues() && !options.acceptUnusual)
        throw Error(QStringLiteral("Access のファイルに、このプログラムでは入力できない値があります（ファイルが壊れて"
                                   "いる可能性があります）。\n%1取り込むには確認が必要です（コマンドラインでは "
                                   "--accept-unusual を付けます）。データベースは元のままです。")
                        .arg(unusualText(survey)));

    QTemporaryDir work(dataDir + QStringLiteral("/import-XXXXXX"));
    work.setAutoRemove(true);
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
        guard::setSubject(f->path);
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
    // From here the pair is replaced as a pair: the journal says what replaces what, so that a process killed in
    // between is finished or rolled back by the next start.
    QList<pairswap::Replacement> pair;
    for (DbKind kind : {DbKind::Reference, DbKind::Personal}) {
        const int slot = kind == DbKind::Reference ? 0 : 1;
        pair << pairswap::Replacement{kind, newFiles[slot], paths::databaseFile(kind), copies[slot]};
    }
    step(options, Step::Copied);
    pairswap::writeJournal(pair, work.path());
    work.setAutoRemove(false);
    step(options, Step::Journal);
    const QStringList refCreated = absentDatabaseFiles(pair[0].target);
    try {
        pairswap::installDatabase(pair[0].fresh, pair[0].target);
    } catch (const Error& e) {
        // Nothing was replaced (the replacement is one transaction): the journal must not finish it later.
        pairswap::finishJournal();
        throw Error(e.message() + QStringLiteral("\n取り込みは行われず、データベースは元のままです。"), e.kind());
    }
    step(options, Step::Reference);
    try {
        pairswap::installDatabase(pair[1].fresh, pair[1].target);
    } catch (const Error& e) {
        // The pair belongs together: the reference database goes back to what it was.
        QString undo = QStringLiteral("\n取り込みは行われず、データベースは元のままです。");
        try {
            if (!pair[0].backup.isEmpty()) {
                pairswap::installDatabase(pair[0].backup, pair[0].target);
            } else {
                for (const QString& f : refCreated)
                    QFile::remove(f);
            }
            pairswap::finishJournal();
        } catch (const Error& e2) {
            // The journal stays: the next start (or import) tries again to finish or roll back.
            undo = QStringLiteral("\n参照データベースを元に戻せませんでした: %1\n"
                                  "次にタビロクを起動したときに、取り込みを最後まで行うか元に戻します。"
                                  "それまでタビロクを起動しないでください（控え: %2）。")
                       .arg(e2.message(), pair[0].backup);
        }
        throw Error(e.message() + undo, e.kind());
    }
    step(options, Step::Personal);
    pairswap::finishJournal();
    dataDirGuard.keep = true;
    return result;
}

} // namespace tabi::mdbimport
