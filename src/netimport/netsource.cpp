#include "netimport/netsource.h"

#include "data/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

namespace tabi::net {

namespace {

constexpr qint64 kMaxCsvBytes = 64 * 1024 * 1024;      // the whole data set's largest file is about 2 MB
constexpr qint64 kMaxPolylineBytes = 32 * 1024 * 1024; // its largest polyline is under 1 MB

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString& file, int line, const QString& what) {
    if (line > 0)
        throw Error(QStringLiteral("%1 の %2 行目: %3").arg(native(file)).arg(line).arg(what));
    throw Error(QStringLiteral("%1: %2").arg(native(file), what));
}

QByteArray readWhole(const QString& path, qint64 limit) {
    QFile f(path);
    if (!f.exists())
        fail(path, 0, QStringLiteral("ファイルがありません。"));
    if (!QFileInfo(path).isFile())
        fail(path, 0, QStringLiteral("通常のファイルではありません。"));
    if (f.size() > limit)
        fail(path, 0, QStringLiteral("ファイルが大きすぎます（%1 バイト）。").arg(f.size()));
    if (!f.open(QIODevice::ReadOnly))
        fail(path, 0, QStringLiteral("読めません（%1）。").arg(f.errorString()));
    QByteArray data = f.read(limit + 1);
    if (f.error() != QFileDevice::NoError)
        fail(path, 0, QStringLiteral("読めません（%1）。").arg(f.errorString()));
    return data;
}

// A CSV file with a header row. The data set writes no quotes; a quoted field is still read whole.
class CsvFile {
public:
    CsvFile(const QString& path, const QStringList& required) : m_path(path) {
        QByteArray bytes = readWhole(path, kMaxCsvBytes);
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        const QString text = QString::fromUtf8(bytes);
        if (text.contains(QChar::ReplacementCharacter))
            fail(path, 0, QStringLiteral("UTF-8 として読めない文字があります。"));
        m_lines = text.split(QLatin1Char('\n'));
        if (m_lines.isEmpty() || m_lines.first().trimmed().isEmpty())
            fail(path, 1, QStringLiteral("見出し行がありません。"));
        m_header = split(m_lines.first());
        for (const QString& name : required)
            if (!m_header.contains(name))
                fail(path, 1, QStringLiteral("列「%1」がありません。").arg(name));
    }

    int column(const QString& name) const { return m_header.indexOf(name); }
    const QString& path() const { return m_path; }

    // Calls f(fields, lineNumber) for each data row; a row with the wrong number of fields is an error.
    template <typename F> void rows(F&& f) const {
        for (int i = 1; i < m_lines.size(); ++i) {
            QString line = m_lines[i];
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.isEmpty())
                continue;
            const QStringList fields = split(line);
            if (fields.size() != m_header.size())
                fail(m_path, i + 1,
                     QStringLiteral("列の数が %1 です（見出しは %2 列）。").arg(fields.size()).arg(m_header.size()));
            f(fields, i + 1);
        }
    }

    static QStringList split(const QString& line) {
        QStringList out;
        QString cur;
        bool quoted = false;
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (quoted) {
                if (c == QLatin1Char('"')) {
                    if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                        cur += c;
                        ++i;
                    } else {
                        quoted = false;
                    }
                } else {
                    cur += c;
                }
            } else if (c == QLatin1Char('"')) {
                quoted = true;
            } else if (c == QLatin1Char(',')) {
                out << cur;
                cur.clear();
            } else {
                cur += c;
            }
        }
        out << cur;
        return out;
    }

private:
    QString m_path;
    QStringList m_lines;
    QStringList m_header;
};

QString nullable(const QString& s) {
    return s == QLatin1String("NULL") ? QString() : s.trimmed();
}

int toInt(const CsvFile& csv, int line, const QString& field, const QString& text) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok)
        fail(csv.path(), line, QStringLiteral("「%1」の値「%2」は整数ではありません。").arg(field, text));
    return v;
}

double toDouble(const CsvFile& csv, int line, const QString& field, const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        fail(csv.path(), line, QStringLiteral("「%1」の値「%2」は数値ではありません。").arg(field, text));
    return v;
}

QString toDate(const CsvFile& csv, int line, const QString& field, const QString& text) {
    const QString t = nullable(text);
    if (t.isEmpty())
        return {};
    if (!QDate::fromString(t, QStringLiteral("yyyy-MM-dd")).isValid())
        fail(csv.path(), line, QStringLiteral("「%1」の値「%2」は日付ではありません。").arg(field, text));
    return t;
}

bool isDataFolder(const QString& dir) {
    return QFileInfo::exists(dir + QStringLiteral("/line.csv")) &&
           QFileInfo::exists(dir + QStringLiteral("/station.csv")) &&
           QFileInfo::exists(dir + QStringLiteral("/register.csv"));
}

} // namespace

SourceLayout resolveSource(const QString& folder, bool withAbolished) {
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!QFileInfo(root).isDir())
        throw Error(QStringLiteral("フォルダ %1 がありません。").arg(native(root)));
    const QString want = withAbolished ? QStringLiteral("extra") : QStringLiteral("main");
    SourceLayout s;
    s.root = root;
    s.withAbolished = withAbolished;
    QString base; // the folder holding main/ and extra/
    if (isDataFolder(root)) {
        s.lineDir = root;
        base = QFileInfo(root).absolutePath();
    } else {
        for (const QString& b : {root + QStringLiteral("/out"), root}) {
            if (isDataFolder(b + QLatin1Char('/') + want)) {
                s.lineDir = b + QLatin1Char('/') + want;
                base = b;
                break;
            }
        }
    }
    if (s.lineDir.isEmpty())
        throw Error(QStringLiteral("%1 に駅データ（%2/line.csv, station.csv, register.csv）が見つかりません。")
                        .arg(native(root), want));
    // company.csv: src/ of the clone's root or of the folder beside main/extra, or anywhere above.
    for (QString dir = s.lineDir; !dir.isEmpty();) {
        const QString c = dir + QStringLiteral("/src/company.csv");
        if (QFileInfo::exists(c)) {
            s.companyCsv = c;
            break;
        }
        const QString up = QFileInfo(dir).absolutePath();
        if (up == dir)
            break;
        dir = up;
    }
    if (s.companyCsv.isEmpty())
        throw Error(QStringLiteral("%1 の近くに事業者の一覧 src/company.csv が見つかりません。").arg(native(root)));
    s.polylineDir = s.lineDir + QStringLiteral("/polyline");
    const QString mainPolyline = base + QStringLiteral("/main/polyline");
    if (mainPolyline != s.polylineDir && QFileInfo(mainPolyline).isDir())
        s.fallbackPolylineDir = mainPolyline;
    return s;
}

QString plainStationName(const QString& name, const QString& originalName) {
    static const QRegularExpression tail(QStringLiteral("\\s*[(（][^()（）]*[)）]\\s*$"));
    if (!tail.match(name).hasMatch())
        return name;
    if (!originalName.isEmpty() && !originalName.contains(QLatin1Char('(')) && !originalName.contains(QChar(0xFF08)))
        return originalName;
    QString plain = name;
    plain.remove(tail);
    return plain.isEmpty() ? name : plain;
}

QString plainCompanyName(const QString& formal) {
    QString s = formal;
    s.remove(QStringLiteral("株式会社"));
    return s.trimmed();
}

Source readSource(const SourceLayout& layout) {
    Source src;
    src.layout = layout;
    {
        QFile commit(layout.root + QStringLiteral("/SOURCE_COMMIT"));
        if (commit.size() < 4096 && commit.open(QIODevice::ReadOnly))
            src.sourceCommit = QString::fromUtf8(commit.readLine()).trimmed();
        for (const QString& dir : {layout.root, QFileInfo(layout.companyCsv).absolutePath() + QStringLiteral("/..")}) {
            QFile licence(dir + QStringLiteral("/LICENSE.md"));
            if (!src.author.isEmpty() || licence.size() > 65536 || !licence.open(QIODevice::ReadOnly))
                continue;
            for (const QString& line : QString::fromUtf8(licence.readAll()).split(QLatin1Char('\n')))
                if (line.trimmed().startsWith(QStringLiteral("@author")))
                    src.author = line.trimmed().mid(7).trimmed();
        }
    }
    {
        const CsvFile csv(layout.companyCsv,
                          {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("name_formal"),
                           QStringLiteral("name_short"), QStringLiteral("type")});
        const int cCode = csv.column(QStringLiteral("code")), cName = csv.column(QStringLiteral("name")),
                  cFormal = csv.column(QStringLiteral("name_formal")),
                  cShort = csv.column(QStringLiteral("name_short")), cType = csv.column(QStringLiteral("type"));
        csv.rows([&](const QStringList& f, int line) {
            Company c;
            c.code = toInt(csv, line, QStringLiteral("code"), f[cCode]);
            const QString formal = nullable(f[cFormal]);
            c.name = plainCompanyName(formal.isEmpty() ? f[cName] : formal);
            c.shortName = nullable(f[cShort]);
            c.listedName = nullable(f[cName]);
            c.type = toInt(csv, line, QStringLiteral("type"), f[cType]);
            src.companies.insert(c.code, c);
        });
    }
    {
        const QString path = layout.lineDir + QStringLiteral("/line.csv");
        const CsvFile csv(path, {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("name_kana"),
                                 QStringLiteral("name_formal"), QStringLiteral("company_code"),
                                 QStringLiteral("closed"), QStringLiteral("closed_date")});
        const int cCode = csv.column(QStringLiteral("code")), cName = csv.column(QStringLiteral("name")),
                  cKana = csv.column(QStringLiteral("name_kana")), cFormal = csv.column(QStringLiteral("name_formal")),
                  cCompany = csv.column(QStringLiteral("company_code")), cClosed = csv.column(QStringLiteral("closed")),
                  cClosedDate = csv.column(QStringLiteral("closed_date"));
        csv.rows([&](const QStringList& f, int line) {
            Line l;
            l.code = toInt(csv, line, QStringLiteral("code"), f[cCode]);
            l.name = f[cName].trimmed();
            l.formalName = nullable(f[cFormal]);
            l.kana = nullable(f[cKana]);
            l.fileLine = line;
            const QString company = nullable(f[cCompany]);
            l.companyCode = company.isEmpty() ? -1 : toInt(csv, line, QStringLiteral("company_code"), company);
            l.closed = nullable(f[cClosed]) == QLatin1String("1") ||
                       nullable(f[cClosed]).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            l.closedDate = toDate(csv, line, QStringLiteral("closed_date"), f[cClosedDate]);
            if (l.name.isEmpty())
                fail(path, line, QStringLiteral("路線名が空です。"));
            src.lines << l;
        });
    }
    {
        const QString path = layout.lineDir + QStringLiteral("/station.csv");
        const CsvFile csv(path, {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("original_name"),
                                 QStringLiteral("name_kana"), QStringLiteral("lat"), QStringLiteral("lng"),
                                 QStringLiteral("prefecture"), QStringLiteral("closed"), QStringLiteral("open_date"),
                                 QStringLiteral("closed_date")});
        const int cCode = csv.column(QStringLiteral("code")), cName = csv.column(QStringLiteral("name")),
                  cOrig = csv.column(QStringLiteral("original_name")), cKana = csv.column(QStringLiteral("name_kana")),
                  cLat = csv.column(QStringLiteral("lat")), cLng = csv.column(QStringLiteral("lng")),
                  cPref = csv.column(QStringLiteral("prefecture")), cClosed = csv.column(QStringLiteral("closed")),
                  cOpen = csv.column(QStringLiteral("open_date")),
                  cClosedDate = csv.column(QStringLiteral("closed_date"));
        csv.rows([&](const QStringList& f, int line) {
            Station s;
            s.code = toInt(csv, line, QStringLiteral("code"), f[cCode]);
            s.name = plainStationName(f[cName].trimmed(), nullable(f[cOrig]));
            if (s.name.isEmpty())
                fail(path, line, QStringLiteral("駅名が空です。"));
            s.kana = nullable(f[cKana]);
            s.pos.lat = toDouble(csv, line, QStringLiteral("lat"), f[cLat]);
            s.pos.lon = toDouble(csv, line, QStringLiteral("lng"), f[cLng]);
            if (s.pos.lat < 20 || s.pos.lat > 46 || s.pos.lon < 122 || s.pos.lon > 154)
                fail(path, line, QStringLiteral("位置 %1, %2 は日本の外です。").arg(f[cLat], f[cLng]));
            const QString pref = nullable(f[cPref]);
            s.prefecture = pref.isEmpty() ? 0 : toInt(csv, line, QStringLiteral("prefecture"), pref);
            if (s.prefecture < 0 || s.prefecture > 47)
                s.prefecture = 0;
            s.closed = nullable(f[cClosed]) == QLatin1String("1");
            s.openDate = toDate(csv, line, QStringLiteral("open_date"), f[cOpen]);
            s.closedDate = toDate(csv, line, QStringLiteral("closed_date"), f[cClosedDate]);
            src.stations.insert(s.code, s);
        });
    }
    {
        const QString path = layout.lineDir + QStringLiteral("/register.csv");
        const CsvFile csv(path, {QStringLiteral("station_code"), QStringLiteral("line_code"), QStringLiteral("index")});
        const int cStation = csv.column(QStringLiteral("station_code")),
                  cLine = csv.column(QStringLiteral("line_code")), cIndex = csv.column(QStringLiteral("index"));
        QHash<int, QList<std::pair<int, int>>> byLine;
        csv.rows([&](const QStringList& f, int line) {
            const int station = toInt(csv, line, QStringLiteral("station_code"), f[cStation]);
            const int lineCode = toInt(csv, line, QStringLiteral("line_code"), f[cLine]);
            const int index = toInt(csv, line, QStringLiteral("index"), f[cIndex]);
            if (!src.stations.contains(station)) {
                src.report << QStringLiteral("%1 の %2 行目: 駅コード %3 は station.csv にないので飛ばしました。")
                                  .arg(native(path))
                                  .arg(line)
                                  .arg(station);
                return;
            }
            byLine[lineCode].append({index, station});
        });
        for (auto it = byLine.begin(); it != byLine.end(); ++it) {
            auto list = it.value();
            std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            QList<int> codes;
            for (const auto& p : list)
                codes << p.second;
            src.order.insert(it.key(), codes);
        }
    }
    return src;
}

QList<Track> readTracks(const SourceLayout& layout, int lineCode) {
    QString path = layout.polylineDir + QStringLiteral("/%1.json").arg(lineCode);
    if (!QFileInfo::exists(path) && !layout.fallbackPolylineDir.isEmpty())
        path = layout.fallbackPolylineDir + QStringLiteral("/%1.json").arg(lineCode);
    if (!QFileInfo::exists(path))
        return {};
    const QByteArray bytes = readWhole(path, kMaxPolylineBytes);
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError) {
        const int line = int(bytes.left(err.offset).count('\n')) + 1;
        fail(path, line, QStringLiteral("GeoJSON として読めません（%1）。").arg(err.errorString()));
    }
    const QJsonObject root = doc.object();
    QJsonArray features;
    if (root.value(QStringLiteral("type")).toString() == QLatin1String("FeatureCollection"))
        features = root.value(QStringLiteral("features")).toArray();
    else if (root.value(QStringLiteral("type")).toString() == QLatin1String("Feature"))
        features.append(root);
    else
        fail(path, 0, QStringLiteral("GeoJSON の FeatureCollection ではありません。"));
    QList<Track> tracks;
    for (const QJsonValue& fv : features) {
        const QJsonObject geometry = fv.toObject().value(QStringLiteral("geometry")).toObject();
        const QString type = geometry.value(QStringLiteral("type")).toString();
        QList<QJsonArray> strings;
        if (type == QLatin1String("LineString")) {
            strings << geometry.value(QStringLiteral("coordinates")).toArray();
        } else if (type == QLatin1String("MultiLineString")) {
            for (const QJsonValue& v : geometry.value(QStringLiteral("coordinates")).toArray())
                strings << v.toArray();
        } else {
            fail(path, 0,
                 QStringLiteral("線でない図形（%1）があります。")
                     .arg(type.isEmpty() ? QStringLiteral("種類なし") : type));
        }
        for (const QJsonArray& coords : strings) {
            Track t;
            t.reserve(coords.size());
            for (const QJsonValue& pv : coords) {
                const QJsonArray p = pv.toArray();
                if (p.size() < 2 || !p[0].isDouble() || !p[1].isDouble())
                    fail(path, 0, QStringLiteral("座標が数値の組ではありません。"));
                const GeoPoint g{p[1].toDouble(), p[0].toDouble()};
                if (g.lat < 20 || g.lat > 46 || g.lon < 122 || g.lon > 154)
                    fail(path, 0, QStringLiteral("座標 %1, %2 は日本の外です。").arg(g.lon).arg(g.lat));
                t << g;
            }
            if (t.size() >= 2)
                tracks << t;
        }
    }
    return tracks;
}

} // namespace tabi::net
