#include "netimport/netsource.h"

#include "data/error.h"
#include "data/fieldtext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QStringDecoder>

namespace tabi::net {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString& file, int line, const QString& what) {
    if (line > 0)
        throw Error(QStringLiteral("%1 の %2 行目: %3").arg(native(file)).arg(line).arg(what));
    throw Error(QStringLiteral("%1: %2").arg(native(file), what));
}

// Only a regular file is read (a FIFO would wait for ever, a link to a device never end), and only up to limit.
QByteArray readWhole(const QString& path, qint64 limit) {
    const QFileInfo info(path);
    if (!info.exists())
        fail(path, 0, QStringLiteral("ファイルがありません。"));
    if (!info.isFile())
        fail(path, 0, QStringLiteral("通常のファイルではありません。"));
    if (info.size() > limit)
        fail(path, 0,
             QStringLiteral("ファイルが大きすぎます（%1 バイト、上限 %2 バイト）。").arg(info.size()).arg(limit));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(path, 0, QStringLiteral("読めません（%1）。").arg(f.errorString()));
    QByteArray data = f.read(limit + 1);
    if (f.error() != QFileDevice::NoError)
        fail(path, 0, QStringLiteral("読めません（%1）。").arg(f.errorString()));
    if (data.size() > limit)
        fail(path, 0, QStringLiteral("ファイルが大きすぎます（上限 %1 バイト）。").arg(limit));
    return data;
}

// A file the import can do without (SOURCE_COMMIT, LICENSE.md): empty unless it is a regular file within limit.
QByteArray readOptional(const QString& path, qint64 limit) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > limit)
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(limit);
}

// A CSV file with a header row, read line by line from its bytes (CRLF or LF). The data set writes no quotes; a
// quoted field is still read whole. Fields may hold no control characters.
class CsvFile {
public:
    CsvFile(const QString& path, const QStringList& required, int maxRows = bounds::kRows)
        : m_path(path), m_maxRows(maxRows) {
        m_bytes = readWhole(path, bounds::kCsvBytes);
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        int lineNo = 0;
        QString header;
        if (!nextLine(header, lineNo) || header.trimmed().isEmpty())
            fail(path, 1, QStringLiteral("見出し行がありません。"));
        m_header = split(header);
        for (QString& h : m_header)
            h = h.trimmed();
        for (const QString& name : required)
            if (!m_header.contains(name))
                fail(path, 1, QStringLiteral("列「%1」がありません。").arg(name));
        m_bodyStart = m_pos;
    }

    int column(const QString& name) const { return m_header.indexOf(name); }
    const QString& path() const { return m_path; }

    // Calls f(fields, lineNumber) for each data row; a row with the wrong number of fields is an error, and so is a
    // file with more rows than its bound or none at all.
    template <typename F> void rows(F&& f, const std::function<void(qint64, qint64)>& progress = {}) {
        m_pos = m_bodyStart;
        int lineNo = 1, rows = 0;
        QString line;
        while (nextLine(line, lineNo)) {
            if (line.isEmpty())
                continue;
            if (++rows > m_maxRows)
                fail(m_path, lineNo, QStringLiteral("行が多すぎます（上限 %1 行）。").arg(m_maxRows));
            const QStringList fields = split(line);
            if (fields.size() != m_header.size())
                fail(m_path, lineNo,
                     QStringLiteral("列の数が %1 です（見出しは %2 列）。").arg(fields.size()).arg(m_header.size()));
            for (const QString& field : fields) {
                const qsizetype at = forbiddenCharacterAt(field);
                if (at >= 0)
                    fail(m_path, lineNo,
                         QStringLiteral("制御文字など、使えない文字（U+%1）があります。")
                             .arg(QString::number(field.at(at).unicode(), 16)
                                      .toUpper()
                                      .rightJustified(4, QLatin1Char('0'))));
            }
            f(fields, lineNo);
            if (progress && rows % 1000 == 0)
                progress(m_pos, m_bytes.size());
        }
        if (rows == 0)
            fail(m_path, 0, QStringLiteral("データの行がありません。"));
        if (progress)
            progress(m_bytes.size(), m_bytes.size());
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
    // The next line without its line break (LF or CRLF); false at the end.
    bool nextLine(QString& line, int& lineNo) {
        if (m_pos >= m_bytes.size())
            return false;
        qsizetype end = m_bytes.indexOf('\n', m_pos);
        if (end < 0)
            end = m_bytes.size();
        qsizetype stop = end;
        if (stop > m_pos && m_bytes.at(stop - 1) == '\r')
            --stop;
        ++lineNo;
        const QByteArrayView bytes(m_bytes.constData() + m_pos, stop - m_pos);
        m_pos = end + 1;
        auto toUtf16 = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        line = toUtf16(bytes);
        if (toUtf16.hasError())
            fail(m_path, lineNo, QStringLiteral("UTF-8 として読めない文字があります。"));
        return true;
    }

    QString m_path;
    int m_maxRows;
    QByteArray m_bytes;
    qsizetype m_pos = 0, m_bodyStart = 0;
    QStringList m_header;
};

// Codes must name one row each: a second row with the same code would silently take the first one's place.
class UniqueCodes {
public:
    explicit UniqueCodes(const QString& what) : m_what(what) {}
    void add(const CsvFile& csv, int line, int code) {
        const auto it = m_lines.constFind(code);
        if (it != m_lines.constEnd())
            fail(csv.path(), line,
                 QStringLiteral("%1 %2 は %3 行目にもあります（同じコードの行が二つあります）。")
                     .arg(m_what)
                     .arg(code)
                     .arg(*it));
        m_lines.insert(code, line);
    }

private:
    QString m_what;
    QHash<int, int> m_lines;
};

// Cuts a name to what the route master's fields hold (characters counted as the database counts them), with a
// line in the report naming file and line.
QString fitName(const QString& name, int width, const QString& path, int line, QStringList& report) {
    if (characterCount(name) <= width)
        return name;
    QString cut;
    int n = 0;
    for (qsizetype i = 0; i < name.size() && n < width; ++i, ++n) {
        cut += name[i];
        if (name[i].isHighSurrogate() && i + 1 < name.size())
            cut += name[++i];
    }
    report << QStringLiteral("%1 の %2 行目: 名前「%3」は %4 文字を超えるので、「%5」に切りました。")
                  .arg(native(path))
                  .arg(line)
                  .arg(name)
                  .arg(width)
                  .arg(cut);
    return cut;
}

// The width of the names of the route master and the station table.
constexpr int kNameWidth = 50;

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

SourceLayout resolveSource(const QString& folder, bool withAbolished, bool straightLines) {
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!QFileInfo(root).isDir())
        throw Error(QStringLiteral("フォルダ %1 がありません。").arg(native(root)));
    const QString want = withAbolished ? QStringLiteral("extra") : QStringLiteral("main");
    SourceLayout s;
    s.root = root;
    s.withAbolished = withAbolished;
    s.straightLines = straightLines;
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
    // Without the track geometry every length and post would be measured straight between stations: far off the
    // real ones, and a later import of a complete copy would take them for changes of the user's. Only on request.
    const QFileInfo own(s.polylineDir);
    const QString geometry = own.exists() || s.fallbackPolylineDir.isEmpty() ? s.polylineDir : s.fallbackPolylineDir;
    const QFileInfo g(geometry);
    QString problem;
    if (!g.exists())
        problem = QStringLiteral("線路の形のフォルダ %1 がありません").arg(native(geometry));
    else if (!g.isDir())
        problem = QStringLiteral("線路の形の %1 はフォルダではありません").arg(native(geometry));
    else if (!g.isReadable() || !g.isExecutable() || !QDir(geometry).isReadable())
        problem = QStringLiteral("線路の形のフォルダ %1 を読めません").arg(native(geometry));
    if (!problem.isEmpty()) {
        if (!straightLines)
            throw Error(problem + QStringLiteral("。このままでは路線の長さと駅のキロ程がすべて駅の間の直線で測られる"
                                                 "ため、取り込みませんでした。完全な駅データを用意するか、直線で測る"
                                                 "ことを指定してください（取り込みの画面では「駅の間を直線で測って取り"
                                                 "込む」、コマンドラインでは --straight-lines）。"));
        s.polylineDir.clear();
        s.fallbackPolylineDir.clear();
    }
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
    auto phase = [&layout](const QString& what) -> std::function<void(qint64, qint64)> {
        if (!layout.progress)
            return {};
        return [&layout, what](qint64 done, qint64 total) { layout.progress(what, done, total); };
    };
    {
        const QByteArray commit = readOptional(layout.root + QStringLiteral("/SOURCE_COMMIT"), 4096);
        src.sourceCommit =
            QString::fromUtf8(commit.left(commit.indexOf('\n') < 0 ? commit.size() : commit.indexOf('\n'))).trimmed();
        if (forbiddenCharacterAt(src.sourceCommit) >= 0)
            src.sourceCommit.clear();
        for (const QString& dir : {layout.root, QFileInfo(layout.companyCsv).absolutePath() + QStringLiteral("/..")}) {
            if (!src.author.isEmpty())
                break;
            const QByteArray licence = readOptional(dir + QStringLiteral("/LICENSE.md"), 65536);
            for (const QString& line : QString::fromUtf8(licence).split(QLatin1Char('\n')))
                if (line.trimmed().startsWith(QStringLiteral("@author")))
                    src.author = line.trimmed().mid(7).trimmed();
            if (forbiddenCharacterAt(src.author) >= 0)
                src.author.clear();
        }
    }
    {
        CsvFile csv(layout.companyCsv, {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("name_formal"),
                                        QStringLiteral("name_short"), QStringLiteral("type")});
        const int cCode = csv.column(QStringLiteral("code")), cName = csv.column(QStringLiteral("name")),
                  cFormal = csv.column(QStringLiteral("name_formal")),
                  cShort = csv.column(QStringLiteral("name_short")), cType = csv.column(QStringLiteral("type"));
        UniqueCodes codes(QStringLiteral("事業者コード"));
        csv.rows(
            [&](const QStringList& f, int line) {
                Company c;
                c.code = toInt(csv, line, QStringLiteral("code"), f[cCode]);
                codes.add(csv, line, c.code);
                const QString formal = nullable(f[cFormal]);
                c.name = plainCompanyName(formal.isEmpty() ? f[cName] : formal);
                c.shortName = nullable(f[cShort]);
                c.listedName = nullable(f[cName]);
                c.type = toInt(csv, line, QStringLiteral("type"), f[cType]);
                src.companies.insert(c.code, c);
            },
            phase(QStringLiteral("事業者の一覧を読んでいます")));
    }
    {
        const QString path = layout.lineDir + QStringLiteral("/line.csv");
        CsvFile csv(path,
                    {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("name_kana"),
                     QStringLiteral("name_formal"), QStringLiteral("company_code"), QStringLiteral("closed"),
                     QStringLiteral("closed_date")},
                    bounds::kLines);
        const int cCode = csv.column(QStringLiteral("code")), cName = csv.column(QStringLiteral("name")),
                  cKana = csv.column(QStringLiteral("name_kana")), cFormal = csv.column(QStringLiteral("name_formal")),
                  cCompany = csv.column(QStringLiteral("company_code")), cClosed = csv.column(QStringLiteral("closed")),
                  cClosedDate = csv.column(QStringLiteral("closed_date"));
        UniqueCodes codes(QStringLiteral("路線コード"));
        csv.rows(
            [&](const QStringList& f, int line) {
                Line l;
                l.code = toInt(csv, line, QStringLiteral("code"), f[cCode]);
                codes.add(csv, line, l.code);
                l.name = fitName(f[cName].trimmed(), kNameWidth, path, line, src.report);
                l.formalName = nullable(f[cFormal]);
                l.kana = fitName(nullable(f[cKana]), kNameWidth, path, line, src.report);
                l.fileLine = line;
                const QString company = nullable(f[cCompany]);
                l.companyCode = company.isEmpty() ? -1 : toInt(csv, line, QStringLiteral("company_code"), company);
                l.closed = nullable(f[cClosed]) == QLatin1String("1") ||
                           nullable(f[cClosed]).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
                l.closedDate = toDate(csv, line, QStringLiteral("closed_date"), f[cClosedDate]);
                if (l.name.isEmpty())
                    fail(path, line, QStringLiteral("路線名が空です。"));
                src.lines << l;
            },
            phase(QStringLiteral("路線の一覧を読んでいます")));
    }
    {
        const QString path = layout.lineDir + QStringLiteral("/station.csv");
        CsvFile csv(path, {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("original_name"),
                           QStringLiteral("name_kana"), QStringLiteral("lat"), QStringLiteral("lng"),
                           QStringLiteral("prefecture"), QStringLiteral("closed"), QStringLiteral("open_date"),
                           QStringLiteral("closed_date")});
        const int cCode = csv.column(QStringLiteral("code")), cName = csv.column(QStringLiteral("name")),
                  cOrig = csv.column(QStringLiteral("original_name")), cKana = csv.column(QStringLiteral("name_kana")),
                  cLat = csv.column(QStringLiteral("lat")), cLng = csv.column(QStringLiteral("lng")),
                  cPref = csv.column(QStringLiteral("prefecture")), cClosed = csv.column(QStringLiteral("closed")),
                  cOpen = csv.column(QStringLiteral("open_date")),
                  cClosedDate = csv.column(QStringLiteral("closed_date"));
        UniqueCodes codes(QStringLiteral("駅コード"));
        csv.rows(
            [&](const QStringList& f, int line) {
                Station s;
                s.code = toInt(csv, line, QStringLiteral("code"), f[cCode]);
                codes.add(csv, line, s.code);
                s.name = fitName(plainStationName(f[cName].trimmed(), nullable(f[cOrig])), kNameWidth, path, line,
                                 src.report);
                if (s.name.isEmpty())
                    fail(path, line, QStringLiteral("駅名が空です。"));
                s.kana = fitName(nullable(f[cKana]), kNameWidth, path, line, src.report);
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
            },
            phase(QStringLiteral("駅の一覧を読んでいます")));
    }
    {
        const QString path = layout.lineDir + QStringLiteral("/register.csv");
        CsvFile csv(path, {QStringLiteral("station_code"), QStringLiteral("line_code"), QStringLiteral("index")});
        const int cStation = csv.column(QStringLiteral("station_code")),
                  cLine = csv.column(QStringLiteral("line_code")), cIndex = csv.column(QStringLiteral("index"));
        QHash<int, QList<std::pair<int, int>>> byLine;
        csv.rows(
            [&](const QStringList& f, int line) {
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
                auto& onLine = byLine[lineCode];
                if (onLine.size() >= bounds::kStationsPerLine)
                    fail(path, line,
                         QStringLiteral("路線コード %1 の駅が多すぎます（上限 %2 駅）。")
                             .arg(lineCode)
                             .arg(bounds::kStationsPerLine));
                onLine.append({index, station});
            },
            phase(QStringLiteral("駅の並びを読んでいます")));
        for (auto it = byLine.begin(); it != byLine.end(); ++it) {
            auto list = it.value();
            std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            QList<int> codes;
            for (const auto& p : list)
                codes << p.second;
            src.order.insert(it.key(), codes);
        }
    }
    if (src.order.isEmpty())
        fail(layout.lineDir + QStringLiteral("/register.csv"), 0,
             QStringLiteral("使える行がありません（どの駅も station.csv にありません）。"));
    src.layout.lineTotal = src.lines.size();
    *src.layout.tracksRead = 0;
    return src;
}

QList<Track> readTracks(const SourceLayout& layout, int lineCode) {
    if (layout.progress && layout.lineTotal > 0)
        layout.progress(QStringLiteral("線路の形を読んでいます"), ++*layout.tracksRead, layout.lineTotal);
    if (layout.polylineDir.isEmpty())
        return {}; // measured straight, as the user asked
    QString path = layout.polylineDir + QStringLiteral("/%1.json").arg(lineCode);
    if (!QFileInfo::exists(path) && !layout.fallbackPolylineDir.isEmpty())
        path = layout.fallbackPolylineDir + QStringLiteral("/%1.json").arg(lineCode);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {};
    const QByteArray bytes = readWhole(path, bounds::kPolylineBytes);
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
    qint64 points = 0;
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
            points += coords.size();
            if (points > bounds::kPointsPerLine)
                fail(path, 0, QStringLiteral("点が多すぎます（上限 %1 点）。").arg(bounds::kPointsPerLine));
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
