#include "supplied/network.h"

#include "data/database.h"
#include "data/error.h"
#include "data/schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <algorithm>
#include <charconv>
#include <cmath>

// The network is a resource of its own; a static library needs it named once to keep it.
static void initNetworkResource() {
    Q_INIT_RESOURCE(network);
}

static void initNetworkSourceResource() {
    Q_INIT_RESOURCE(network_source);
}

namespace tabi::supplied {

namespace {

const QByteArray kFormatLine = QByteArrayLiteral("tabiroku-network\t1");
constexpr double kKmStep = 1e4;  // ROSEN_SEN posts in 0.1 m
constexpr double kDegStep = 1e6; // positions in 1e-6 degree (about 0.1 m)

// The tables in the order they are written, with the fields written; empty fields: every field of the layout.
struct Section {
    const char* table;
    QStringList fields;
};
QList<Section> sections() {
    return {{"MASTER", {}},
            {"EKI", {}},
            {"EKI_ICHI", {}},
            {"EKI_ID", {}},
            {"NET_ROSEN", {}},
            {"NET_EKI", {}},
            {"BUNRUI", {QStringLiteral("BUNRUI_CD"), QStringLiteral("BUNRUI_KANJI")}},
            {"KUBUN", {QStringLiteral("KBN_CD"), QStringLiteral("KBN_KANJI")}},
            // Where and when the import ran is left out: the same copy of the data set gives the same file.
            {"NET_SOURCE", {QStringLiteral("SOURCE_COMMIT"), QStringLiteral("AUTHOR")}}};
}

bool tableExists(Database& db, const QString& name) {
    Statement s(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1"));
    s.bindText(1, name);
    return s.step();
}

void appendEscaped(QByteArray& out, QByteArrayView text) {
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

void appendReal(QByteArray& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

void appendInt(QByteArray& out, qint64 v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

void writeSection(Database& db, QByteArray& out, const TableDef& def, QStringList fields) {
    if (fields.isEmpty())
        for (const FieldDef& f : def.fields)
            fields << f.name;
    out += '#';
    out += def.name.toLatin1();
    for (const QString& f : std::as_const(fields))
        out += '\t' + f.toLatin1();
    out += '\n';
    if (!tableExists(db, def.name))
        return;
    QList<FieldType> types;
    for (const QString& f : std::as_const(fields))
        types << def.field(f).type;
    Statement s(db, QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY %3")
                        .arg(fields.join(QStringLiteral(", ")), def.name, def.key.join(QStringLiteral(", "))));
    while (s.step()) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                out += '\t';
            if (s.columnIsNull(i)) {
                out += "\\N";
                continue;
            }
            switch (types[i]) {
            case FieldType::Real:
                appendReal(out, s.columnDouble(i));
                break;
            case FieldType::Integer:
            case FieldType::SmallInt:
                appendInt(out, s.columnInt(i));
                break;
            case FieldType::Text:
            case FieldType::Timestamp:
                appendEscaped(out, s.columnUtf8(i));
                break;
            }
        }
        out += '\n';
    }
}

void writeTrack(Database& db, QByteArray& out) {
    out += "@ROSEN_SEN\n";
    if (!tableExists(db, QStringLiteral("ROSEN_SEN")))
        return;
    Statement s(db, QStringLiteral("SELECT ROSEN_CD, KILO, LATITUDE, LONGITUDE FROM ROSEN_SEN ORDER BY ROSEN_CD, SEQ"));
    QByteArray code;
    qint64 k = 0, a = 0, o = 0;
    while (s.step()) {
        const QByteArrayView c = s.columnUtf8(0);
        const qint64 k1 = std::llround(s.columnDouble(1) * kKmStep);
        const qint64 a1 = std::llround(s.columnDouble(2) * kDegStep);
        const qint64 o1 = std::llround(s.columnDouble(3) * kDegStep);
        if (c != code) {
            if (!code.isEmpty())
                out += '\n';
            code = c.toByteArray();
            appendEscaped(out, c);
            out += '\t';
            k = a = o = 0;
        } else {
            out += ' ';
        }
        appendInt(out, k1 - k);
        out += ',';
        appendInt(out, a1 - a);
        out += ',';
        appendInt(out, o1 - o);
        k = k1;
        a = a1;
        o = o1;
    }
    if (!code.isEmpty())
        out += '\n';
}

[[noreturn]] void damaged(int line, const QString& what) {
    throw Error(QStringLiteral("同梱の全国路線データが壊れています（%1 行目: %2）。").arg(line).arg(what));
}

QByteArray unescaped(QByteArrayView field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            const char e = field[++i];
            c = e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        }
        out += c;
    }
    return out;
}

// Lines of the text one after another, without copying.
class LineReader {
public:
    explicit LineReader(const QByteArray& text) : m_text(text) {}
    bool next(QByteArrayView& line) {
        if (m_pos >= m_text.size())
            return false;
        qsizetype end = m_text.indexOf('\n', m_pos);
        if (end < 0)
            end = m_text.size();
        line = QByteArrayView(m_text.constData() + m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_number;
        return true;
    }
    int number() const { return m_number; }

private:
    const QByteArray& m_text;
    qsizetype m_pos = 0;
    int m_number = 0;
};

QList<QByteArrayView> splitTabs(QByteArrayView line) {
    QList<QByteArrayView> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i)
        if (i == line.size() || line[i] == '\t') {
            out << line.sliced(start, i - start);
            start = i + 1;
        }
    return out;
}

template <typename T> bool parseNumber(QByteArrayView text, T& value) {
    const char* end = text.constData() + text.size();
    const auto r = std::from_chars(text.constData(), end, value);
    return r.ec == std::errc() && r.ptr == end;
}

QString today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

// "c07b… Sun May 31 21:52:26 2026 +0900": the day of the commit where it was made.
QDate commitDate(const QString& commit) {
    static const QStringList months{QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
                                    QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
                                    QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
                                    QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};
    const QStringList parts = commit.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 6)
        return {};
    const int month = int(months.indexOf(parts[2])) + 1;
    return QDate(parts[5].toInt(), month, parts[3].toInt());
}

} // namespace

QString suppliedFolderName() {
    return QStringLiteral("（プログラムに同梱の全国路線データ）");
}

QByteArray networkText(Database& db, const QHash<QString, QString>& operatorAliases) {
    QByteArray out = kFormatLine + '\n';
    for (const Section& s : sections()) {
        const TableDef* def = findTable(QString::fromLatin1(s.table));
        writeSection(db, out, *def, s.fields);
    }
    writeTrack(db, out);
    out += "@OPERATOR\n";
    QStringList variants = operatorAliases.keys();
    std::sort(variants.begin(), variants.end());
    for (const QString& v : std::as_const(variants)) {
        appendEscaped(out, v.toUtf8());
        out += '\t';
        appendEscaped(out, operatorAliases.value(v).toUtf8());
        out += '\n';
    }
    return out;
}

QHash<QString, QString> operatorAliasesOf(const QByteArray& text) {
    QHash<QString, QString> out;
    const qsizetype at = text.indexOf("\n@OPERATOR\n");
    if (at < 0)
        return out;
    QByteArrayView line;
    const QByteArray rest = text.mid(at + 11);
    LineReader restLines(rest);
    while (restLines.next(line)) {
        const QList<QByteArrayView> f = splitTabs(line);
        if (f.size() == 2)
            out.insert(QString::fromUtf8(unescaped(f[0])), QString::fromUtf8(unescaped(f[1])));
    }
    return out;
}

QByteArray packNetwork(const QByteArray& text) {
    return qCompress(text, 9);
}

QByteArray unpackNetwork(const QByteArray& packed) {
    const QByteArray text = packed.size() > 4 ? qUncompress(packed) : QByteArray();
    if (!text.startsWith(kFormatLine + '\n'))
        throw Error(QStringLiteral("同梱の全国路線データが壊れているか、このプログラムの形式ではありません。"));
    return text;
}

const QByteArray& builtInNetwork() {
    static const QByteArray text = [] {
        initNetworkResource();
        QFile f(QStringLiteral(":/supplied/network.tsv.qz"));
        if (!f.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("同梱の全国路線データがプログラムにありません。"));
        return unpackNetwork(f.readAll());
    }();
    return text;
}

NetworkInfo builtInSource() {
    static const NetworkInfo source = [] {
        initNetworkSourceResource();
        QFile f(QStringLiteral(":/supplied/SOURCE_COMMIT"));
        if (!f.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("同梱の全国路線データの出所がプログラムにありません。"));
        NetworkInfo info;
        info.commit = QString::fromUtf8(f.readLine(1024)).trimmed();
        info.date = commitDate(info.commit);
        const QString digest = QString::fromUtf8(f.readLine(1024)).trimmed();
        if (digest.startsWith(QLatin1String("network ")))
            info.digest = digest.mid(8);
        return info;
    }();
    return source;
}

QByteArray sourceFileText(const NetworkInfo& info) {
    return info.commit.toUtf8() + "\nnetwork " + info.digest.toLatin1() + '\n';
}

NetworkInfo infoOf(const QByteArray& text) {
    NetworkInfo info;
    LineReader lines(text);
    QByteArrayView line;
    QByteArray table;
    while (lines.next(line)) {
        if (line.startsWith('#') || line.startsWith('@')) {
            table = splitTabs(line).first().sliced(1).toByteArray();
            continue;
        }
        if (table == "MASTER")
            ++info.routes;
        else if (table == "EKI")
            ++info.stations;
        else if (table == "NET_SOURCE") {
            const QList<QByteArrayView> f = splitTabs(line);
            if (f.size() >= 2) {
                info.commit = f[0] == "\\N" ? QString() : QString::fromUtf8(unescaped(f[0]));
                info.author = f[1] == "\\N" ? QString() : QString::fromUtf8(unescaped(f[1]));
            }
        }
    }
    info.date = commitDate(info.commit);
    info.digest = QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(16));
    return info;
}

void layOutNetwork(Database& db, const QByteArray& text) {
    if (!text.startsWith(kFormatLine + '\n'))
        throw Error(QStringLiteral("同梱の全国路線データがこのプログラムの形式ではありません。"));
    const NetworkInfo info = infoOf(text);
    Transaction tx(db);
    for (const char* t : {"MASTER", "EKI", "EKI_ICHI", "EKI_ID", "ROSEN_SEN", "NET_ROSEN", "NET_EKI", "NET_SOURCE"})
        db.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(t)));

    LineReader lines(text);
    QByteArrayView line;
    lines.next(line);
    std::unique_ptr<Statement> insert;
    QList<FieldType> types;
    bool track = false;
    QByteArray scratch;
    while (lines.next(line)) {
        if (line.isEmpty())
            continue;
        if (line == "@OPERATOR")
            break; // no table: read by operatorAliasesOf
        if (line.startsWith('@')) {
            if (line != "@ROSEN_SEN")
                damaged(lines.number(), QStringLiteral("不明な節"));
            track = true;
            insert = std::make_unique<Statement>(
                db, QStringLiteral("INSERT INTO ROSEN_SEN (ROSEN_CD, SEQ, KILO, LATITUDE, LONGITUDE) "
                                   "VALUES (?1, ?2, ?3, ?4, ?5)"));
            continue;
        }
        if (line.startsWith('#')) {
            track = false;
            const QList<QByteArrayView> head = splitTabs(line);
            const QString name = QString::fromLatin1(head.first().sliced(1));
            const TableDef* def = findTable(name);
            if (!def || def->db != DbKind::Reference)
                damaged(lines.number(), name);
            QStringList fields;
            types.clear();
            for (qsizetype i = 1; i < head.size(); ++i) {
                const QString f = QString::fromLatin1(head[i]);
                if (def->fieldIndex(f) < 0)
                    damaged(lines.number(), name + QLatin1Char('.') + f);
                fields << f;
                types << def->field(f).type;
            }
            QStringList marks;
            for (int i = 0; i < fields.size(); ++i)
                marks << QStringLiteral("?%1").arg(i + 1);
            QString sql;
            if (name == QLatin1String("NET_SOURCE")) {
                // Where the network came from: this program, laid out today.
                fields << QStringLiteral("SOURCE_NO") << QStringLiteral("IMPORT_DATE") << QStringLiteral("FOLDER");
                marks << QStringLiteral("1") << QStringLiteral("'%1'").arg(today())
                      << QStringLiteral("'%1'").arg(suppliedFolderName());
            }
            // The classifications and categories of the sample stay as they are; the network adds those it lacks.
            const bool keepExisting = name == QLatin1String("BUNRUI") || name == QLatin1String("KUBUN");
            sql = QStringLiteral("INSERT %1INTO \"%2\" (%3) VALUES (%4)")
                      .arg(keepExisting ? QStringLiteral("OR IGNORE ") : QString(), name,
                           fields.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
            insert = std::make_unique<Statement>(db, sql);
            continue;
        }
        if (!insert)
            damaged(lines.number(), QStringLiteral("表の名前がありません"));
        if (track) {
            const qsizetype tab = line.indexOf('\t');
            if (tab <= 0)
                damaged(lines.number(), QStringLiteral("線形"));
            const QByteArray code = line.first(tab).toByteArray();
            qint64 k = 0, a = 0, o = 0;
            int seq = 0;
            QByteArrayView rest = line.sliced(tab + 1);
            while (!rest.isEmpty()) {
                qsizetype end = rest.indexOf(' ');
                if (end < 0)
                    end = rest.size();
                const QByteArrayView point = rest.first(end);
                rest = end < rest.size() ? rest.sliced(end + 1) : QByteArrayView();
                const qsizetype c1 = point.indexOf(',');
                const qsizetype c2 = c1 < 0 ? -1 : point.indexOf(',', c1 + 1);
                qint64 dk = 0, da = 0, dO = 0;
                if (c2 < 0 || !parseNumber(point.first(c1), dk) ||
                    !parseNumber(point.sliced(c1 + 1, c2 - c1 - 1), da) || !parseNumber(point.sliced(c2 + 1), dO))
                    damaged(lines.number(), QStringLiteral("線形の点"));
                k += dk;
                a += da;
                o += dO;
                insert->bindUtf8(1, code, Statement::Bytes::Kept);
                insert->bindInt(2, ++seq);
                insert->bindDouble(3, double(k) / kKmStep);
                insert->bindDouble(4, double(a) / kDegStep);
                insert->bindDouble(5, double(o) / kDegStep);
                insert->step();
                insert->reset();
            }
            continue;
        }
        const QList<QByteArrayView> values = splitTabs(line);
        if (values.size() != types.size())
            damaged(lines.number(), QStringLiteral("列の数"));
        for (int i = 0; i < values.size(); ++i) {
            const QByteArrayView v = values[i];
            if (v == "\\N") {
                insert->bindNull(i + 1);
                continue;
            }
            switch (types[i]) {
            case FieldType::Real: {
                double d = 0;
                if (!parseNumber(v, d))
                    damaged(lines.number(), QStringLiteral("数値"));
                insert->bindDouble(i + 1, d);
                break;
            }
            case FieldType::Integer:
            case FieldType::SmallInt: {
                qint64 n = 0;
                if (!parseNumber(v, n))
                    damaged(lines.number(), QStringLiteral("整数"));
                insert->bindInt(i + 1, n);
                break;
            }
            case FieldType::Text:
            case FieldType::Timestamp:
                if (v.contains('\\'))
                    insert->bindUtf8(i + 1, unescaped(v));
                else
                    insert->bindUtf8(i + 1, v, Statement::Bytes::Kept);
                break;
            }
        }
        insert->step();
        insert->reset();
    }
    insert.reset();

    // The date of the supplied data is the day of the data set's copy.
    if (info.date.isValid()) {
        Statement ver(db, QStringLiteral("UPDATE VER SET VER_DATE = ?1, BIKO = ?2"));
        ver.bindText(1, info.date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"));
        ver.bindText(2, QStringLiteral("全国路線（駅データ）"));
        ver.step();
    }
    Statement offer(db, QStringLiteral("INSERT OR REPLACE INTO NET_OFFER (SOURCE_COMMIT, ANSWER, ANSWER_DATE) "
                                       "VALUES (?1, '配置', ?2)"));
    offer.bindText(1, info.key());
    offer.bindText(2, today());
    offer.step();
    tx.commit();
}

void createReferenceWithNetwork(const QString& path, const QByteArray& text) {
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    const QString building = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".new");
    auto removeBuilding = [&] {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(building + QLatin1String(suffix));
    };
    removeBuilding(); // what an earlier start left when it was stopped
    try {
        {
            const std::shared_ptr<Database> db = Database::openFile(building, DbKind::Reference);
            layOutNetwork(*db, text);
            // One file, nothing left in the journal: the rename then moves the whole database.
            db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        if (QFileInfo::exists(path))
            throw Error(
                QStringLiteral("参照データベース %1 が作成中に現れました。").arg(QDir::toNativeSeparators(path)));
        if (!QFile::rename(building, path))
            throw Error(QStringLiteral("参照データベース %1 を作れません。").arg(QDir::toNativeSeparators(path)));
        QFile::remove(building + QStringLiteral("-wal"));
        QFile::remove(building + QStringLiteral("-shm"));
    } catch (...) {
        removeBuilding();
        throw;
    }
}

} // namespace tabi::supplied
