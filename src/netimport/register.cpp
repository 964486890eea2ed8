#include "netimport/register.h"

#include "data/error.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace tabi::net {

QString RegisterRow::where() const {
    return QStringLiteral("%1 の %2 行目（%3 %4）").arg(file).arg(fileLine).arg(operatorName, name);
}

QString PostAnchor::where() const {
    return QStringLiteral("%1 の %2 行目（%3 %4 %5）").arg(file).arg(fileLine).arg(operatorName, route, station);
}

const QStringList& Register::categories() {
    static const QStringList names{QStringLiteral("新幹線"),     QStringLiteral("幹線"),
                                   QStringLiteral("地方交通線"), QStringLiteral("大手民鉄"),
                                   QStringLiteral("中小民鉄"),   QStringLiteral("鋼索鉄道"),
                                   QStringLiteral("地下鉄"),     QStringLiteral("第三セクター"),
                                   QStringLiteral("並行在来線"), QStringLiteral("路面電車")};
    return names;
}

namespace {

// The rows of a "|"-separated table: blank lines and "#" comments skipped, each row's cells trimmed. row(cells,
// line) reads one; a row with another number of cells, or one row() refuses by throwing RowFault, ends the reading
// with an error naming the table, the file and the line.
struct RowFault {
    QString what;
};

template <typename Row>
void forEachRow(const QString& text, const QString& table, const QString& fileName, int cells, Row row) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        try {
            QStringList f = line.split(QLatin1Char('|'));
            if (f.size() != cells)
                throw RowFault{QStringLiteral("欄の数が %1 です（%2 のはずです）。").arg(f.size()).arg(cells)};
            for (QString& c : f)
                c = c.trimmed();
            row(f, i + 1);
        } catch (const RowFault& fault) {
            throw Error(QStringLiteral("%1 %2 の %3 行目: %4").arg(table, fileName).arg(i + 1).arg(fault.what));
        }
    }
}

[[noreturn]] void fail(const QString& what) {
    throw RowFault{what};
}

} // namespace

void Register::parse(const QString& text, const QString& fileName) {
    static const QRegularExpression date(QStringLiteral("^\\d{4}(-\\d{2}(-\\d{2})?)?$"));
    static const QRegularExpression fullDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    static const QRegularExpression kmText(QStringLiteral("^\\d{1,4}(\\.\\d{1,2})?$"));
    QSet<QString> keys;
    for (const RegisterRow& r : std::as_const(rows))
        keys.insert(r.operatorName + QLatin1Char('|') + r.name);
    forEachRow(text, QStringLiteral("路線の登録簿"), fileName, 12, [&](const QStringList& f, int line) {
        RegisterRow r;
        r.operatorName = f[0];
        r.name = f[1];
        r.kana = f[2];
        r.start = f[3];
        r.end = f[4];
        if (!f[5].isEmpty())
            for (const QString& v : f[5].split(QLatin1Char(','))) {
                const QString name = v.trimmed();
                if (name.startsWith(QLatin1Char('-')))
                    r.passes << name.mid(1).trimmed();
                else
                    r.via << name;
            }
        r.category = f[6];
        r.asOf = f[8];
        r.closed = f[9];
        r.source = f[11];
        r.file = fileName;
        r.fileLine = line;
        if (r.operatorName.isEmpty() || r.name.isEmpty())
            fail(QStringLiteral("事業者と路線名は空にできません。"));
        if (r.start.isEmpty() != r.end.isEmpty())
            fail(QStringLiteral("起点と終点は両方書くか、両方空けます。"));
        if (r.via.contains(QString()) || r.passes.contains(QString()))
            fail(QStringLiteral("経由駅に空の名前があります。"));
        if (!categories().contains(r.category))
            fail(QStringLiteral("区分「%1」は使えません。").arg(r.category));
        if (!f[7].isEmpty()) {
            if (!kmText.match(f[7]).hasMatch() || f[7].toDouble() <= 0)
                fail(QStringLiteral("キロ程「%1」が数ではありません。").arg(f[7]));
            r.km = f[7].toDouble();
        }
        if (!r.asOf.isEmpty() && !date.match(r.asOf).hasMatch())
            fail(QStringLiteral("時点「%1」は yyyy、yyyy-mm、yyyy-mm-dd のどれかです。").arg(r.asOf));
        if (!r.closed.isEmpty() && !fullDate.match(r.closed).hasMatch())
            fail(QStringLiteral("廃止日「%1」は yyyy-mm-dd です。").arg(r.closed));
        if (!f[10].isEmpty())
            for (const QString& c : f[10].split(QLatin1Char(','))) {
                bool ok = false;
                const int code = c.trimmed().toInt(&ok);
                if (!ok || code <= 0)
                    fail(QStringLiteral("路線コード「%1」が数ではありません。").arg(c.trimmed()));
                r.lines << code;
            }
        if (r.wholeLine() && r.lines.size() != 1)
            fail(QStringLiteral("起点と終点が空の行は、駅データの路線をちょうど 1 つ書きます。"));
        const QString key = r.operatorName + QLatin1Char('|') + r.name;
        if (keys.contains(key))
            fail(QStringLiteral("%1 %2 は既に登録されています。").arg(r.operatorName, r.name));
        keys.insert(key);
        rows << r;
    });
}

void Register::parsePosts(const QString& text, const QString& fileName) {
    static const QRegularExpression kmText(QStringLiteral("^\\d{1,4}(\\.\\d{1,2})?$"));
    QSet<QString> keys;
    for (const PostAnchor& a : std::as_const(posts))
        keys.insert(a.operatorName + QLatin1Char('|') + a.route + QLatin1Char('|') + a.station);
    forEachRow(text, QStringLiteral("駅のキロ程の表"), fileName, 5, [&](const QStringList& f, int line) {
        PostAnchor a;
        a.operatorName = f[0];
        a.route = f[1];
        a.station = f[2];
        a.source = f[4];
        a.file = fileName;
        a.fileLine = line;
        if (a.operatorName.isEmpty() || a.route.isEmpty() || a.station.isEmpty())
            fail(QStringLiteral("事業者、路線名と駅名は空にできません。"));
        if (!kmText.match(f[3]).hasMatch())
            fail(QStringLiteral("キロ程「%1」が数ではありません。").arg(f[3]));
        a.km = f[3].toDouble();
        const QString key = a.operatorName + QLatin1Char('|') + a.route + QLatin1Char('|') + a.station;
        if (keys.contains(key))
            fail(QStringLiteral("%1 %2 の %3 は既に書かれています。").arg(a.operatorName, a.route, a.station));
        keys.insert(key);
        posts << a;
    });
}

namespace {

// Each *.txt of a folder in name order, bounded in size; read(text, name) takes it.
template <typename Read> void readFolder(const QString& folder, const QString& what, Read read) {
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("%1 %2 を読めません。").arg(what, name));
        if (f.size() > 16 * 1024 * 1024)
            throw Error(QStringLiteral("%1 %2 が大きすぎます。").arg(what, name));
        read(QString::fromUtf8(f.readAll()), name);
    }
}

} // namespace

Register Register::fromFolder(const QString& folder) {
    Register reg;
    readFolder(folder, QStringLiteral("路線の登録簿"),
               [&](const QString& text, const QString& name) { reg.parse(text, name); });
    readFolder(QDir(folder).filePath(QStringLiteral("posts")), QStringLiteral("駅のキロ程の表"),
               [&](const QString& text, const QString& name) { reg.parsePosts(text, name); });
    return reg;
}

const Register& Register::builtIn() {
    static const Register reg = fromFolder(QStringLiteral(":/netimport/register"));
    return reg;
}

} // namespace tabi::net
