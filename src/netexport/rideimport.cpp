#include "netexport/rideimport.h"

#include "data/database.h"
#include "data/error.h"
#include "data/fieldtext.h"
#include "data/rules.h"
#include "netexport/cli.h"
#include "netmap/ridden.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <functional>

static void initNetexportResource() {
    Q_INIT_RESOURCE(netexport);
}

namespace tabi::netexport {

using namespace netmap;
using namespace tabi::network;

namespace {

// The remarks the ride check list writes itself; they say nothing about the ride.
const QString kNegativeRemark = QStringLiteral("乗車キロ＜０");
const QString kNoRouteRemark = QStringLiteral("当該鉄軌道路線なし");
const QString kOverlapRemark = QStringLiteral("既乗区間と重複");
constexpr int kTextWidth = 50; // JOSHA_KUKAN and BIKO, in characters

bool isBlank(QChar c) {
    return c.isSpace() || c == QChar(0x3000);
}

QString trimmed(const QString& text) {
    qsizetype a = 0, b = text.size();
    while (a < b && isBlank(text[a]))
        ++a;
    while (b > a && isBlank(text[b - 1]))
        --b;
    return text.mid(a, b - a);
}

// --- the comma-separated text --------------------------------------------------------------------------------------

struct Record {
    int line = 0;
    QStringList fields;
};

// Fields separated by commas, records by line ends (CR LF, LF or CR). A field that begins with a quotation mark
// runs to the next quotation mark followed by a comma or a line end; a doubled one inside stands for one, and a
// lone one inside is kept as it is (the check list writes values between quotation marks without doubling them).
// Returns an error text, empty when the text was read.
QString readRecords(const QString& text, QVector<Record>& out) {
    Record rec;
    QString field;
    bool quoted = false, inQuotes = false, fieldStarted = false;
    int line = 1;
    rec.line = 1;
    const qsizetype n = text.size();
    auto endField = [&]() -> QString {
        if (field.size() > kMaxFieldChars)
            return QStringLiteral("%1 行目の値が長すぎます(%2 文字まで)。").arg(rec.line).arg(kMaxFieldChars);
        rec.fields << (quoted ? field : field);
        if (rec.fields.size() > 64)
            return QStringLiteral("%1 行目の列が多すぎます(64 列まで)。").arg(rec.line);
        field.clear();
        quoted = false;
        fieldStarted = false;
        return {};
    };
    auto endRecord = [&]() -> QString {
        const bool blank = rec.fields.size() == 1 && rec.fields.first().isEmpty() && !quoted;
        if (QString e = endField(); !e.isEmpty())
            return e;
        if (!blank && !(rec.fields.size() == 1 && trimmed(rec.fields.first()).isEmpty())) {
            if (out.size() >= kMaxImportRows)
                return QStringLiteral("行が多すぎます(%1 行まで)。").arg(kMaxImportRows);
            out.append(rec);
        }
        rec = Record();
        rec.line = line;
        return {};
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                const QChar next = i + 1 < n ? text[i + 1] : QChar(u'\n');
                if (next == u'"') {
                    field += u'"';
                    ++i;
                } else if (next == u',' || next == u'\r' || next == u'\n') {
                    inQuotes = false;
                } else {
                    field += c;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            if (field.size() > kMaxFieldChars)
                return QStringLiteral("%1 行目の値が長すぎます(%2 文字まで)。").arg(rec.line).arg(kMaxFieldChars);
            continue;
        }
        if (c == u'"' && !fieldStarted) {
            inQuotes = quoted = fieldStarted = true;
        } else if (c == u',') {
            if (QString e = endField(); !e.isEmpty())
                return e;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            ++line;
            if (QString e = endRecord(); !e.isEmpty())
                return e;
        } else {
            field += c;
            fieldStarted = true;
            if (field.size() > kMaxFieldChars)
                return QStringLiteral("%1 行目の値が長すぎます(%2 文字まで)。").arg(rec.line).arg(kMaxFieldChars);
        }
    }
    if (inQuotes)
        return QStringLiteral("%1 行目で始まる引用符(\")が閉じていません。").arg(rec.line);
    return endRecord();
}

// --- values --------------------------------------------------------------------------------------------------------

// "yyyy-mm-dd", "yyyy/mm/dd" (the check list's form, months and days of one digit too), a time after a blank
// ignored. A null date when it is none of these or no real day.
QDate readDay(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T].*)?$"));
    const QRegularExpressionMatch m = re.match(trimmed(text));
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

bool readKilo(const QString& text, double& value) {
    const QString t = trimmed(text).normalized(QString::NormalizationForm_KC).remove(u',');
    bool ok = false;
    value = t.toDouble(&ok);
    return ok && std::isfinite(value) && std::abs(value) < 100000;
}

int editDistance(const QString& a, const QString& b) {
    QVector<int> prev(b.size() + 1), cur(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        prev[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        for (int j = 1; j <= b.size(); ++j)
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

// The few texts nearest to wanted, best first.
template <class Item, class Key, class Show>
QStringList nearest(const QString& wanted, const QVector<Item>& items, Key key, Show show, int count = 3) {
    QVector<QPair<int, int>> scored; // distance, index
    for (int i = 0; i < items.size(); ++i)
        scored.append({key(items[i]), i});
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList out;
    for (int i = 0; i < scored.size() && out.size() < count; ++i) {
        const QString s = show(items[scored[i].second]);
        if (!out.contains(s))
            out << s;
    }
    Q_UNUSED(wanted);
    return out;
}

// --- columns -------------------------------------------------------------------------------------------------------

enum Column { Date, RouteCol, Operator, Start, End, SectionCol, Kilo, Remark, ColumnCount };

int columnOfTitle(const QString& title) {
    static const QHash<QString, int> titles{
        {QStringLiteral("乗車年月日"), Date},     {QStringLiteral("路線"), RouteCol},
        {QStringLiteral("路線番号"), RouteCol},   {QStringLiteral("路線名称"), RouteCol},
        {QStringLiteral("路線名"), RouteCol},     {QStringLiteral("所属"), Operator},
        {QStringLiteral("起点"), Start},          {QStringLiteral("終点"), End},
        {QStringLiteral("乗車区間"), SectionCol}, {QStringLiteral("乗車キロ"), Kilo},
        {QStringLiteral("備考"), Remark}};
    return titles.value(trimmed(title), -1);
}

// The check list's line: a date with slashes, then a route code.
bool looksLikeCheckList(const Record& r) {
    static const QRegularExpression date(QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2}( .*)?$"));
    return r.fields.size() == 6 && date.match(r.fields[0]).hasMatch();
}

struct Fields {
    QString v[ColumnCount];
    bool has[ColumnCount] = {};
};

// --- matching ------------------------------------------------------------------------------------------------------

// The operator names riders write (rules/operator_names.txt): short name → the name the route master writes.
const QVector<std::pair<QString, QString>>& operatorNames() {
    static const QVector<std::pair<QString, QString>> names = [] {
        initNetexportResource();
        QVector<std::pair<QString, QString>> out;
        QFile f(QStringLiteral(":/netexport/operator_names.txt"));
        if (f.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
                if (line.trimmed().isEmpty() || line.startsWith(u'#'))
                    continue;
                const QStringList cells = line.split(u'|');
                if (cells.size() == 2)
                    out.append({cells[0].trimmed(), cells[1].trimmed()});
            }
        // A bare "JR" before a line's name stands for any JR company (operatorMatches tells them).
        out.append({QStringLiteral("JR"), QStringLiteral("JR")});
        // Longest first, so that a line name is split after the longest short name it begins with.
        std::stable_sort(out.begin(), out.end(),
                         [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
        return out;
    }();
    return names;
}

// An operator as written, in the route master's form where the table knows it: half-width letters, no "株式会社".
QString canonicalOperator(const QString& written) {
    QString op = trimmed(written).normalized(QString::NormalizationForm_KC);
    op.remove(QStringLiteral("株式会社"));
    op.remove(QStringLiteral("(株)"));
    op = trimmed(op);
    for (const auto& [shortName, full] : operatorNames())
        if (op == shortName)
            return full;
    return op;
}

bool isJrOperator(const QString& routeOperator) {
    return routeOperator.endsWith(QStringLiteral("旅客鉄道"));
}

// Whether the operator written (canonical) names the route's operator: the same name, one holding the other, or a
// bare "JR" for any JR company.
bool operatorMatches(const QString& routeOperator, const QString& written) {
    if (written.isEmpty() || routeOperator.isEmpty())
        return false;
    if (written == QLatin1String("JR"))
        return isJrOperator(routeOperator);
    return routeOperator == written || routeOperator.contains(written) || written.contains(routeOperator);
}

struct Matcher {
    const Network& network;
    const QHash<QString, RouteNames>& names;
    QHash<QString, QVector<int>> routesByName;

    Matcher(const Network& n, const QHash<QString, RouteNames>& nm) : network(n), names(nm) {
        for (int i = 0; i < n.routes.size(); ++i)
            routesByName[n.routes[i].name].append(i);
    }

    QString operatorOf(const Route& r) const { return names.value(r.code).operatorName; }

    QString describe(const Route& r) const {
        const QString op = operatorOf(r);
        return op.isEmpty() ? QStringLiteral("%1 %2").arg(r.code, r.name)
                            : QStringLiteral("%1 %2(%3)").arg(r.code, r.name, op);
    }

    // Routes a name with an operator's short name before it stands for ("小田急小田原線", "JR山手線"): the routes of
    // the rest of the name whose operator that is.
    QVector<int> byPrefixedName(const QString& value) const {
        const QString v = value.normalized(QString::NormalizationForm_KC);
        for (const auto& [shortName, full] : operatorNames()) {
            if (!v.startsWith(shortName) || v.size() <= shortName.size())
                continue;
            QVector<int> found;
            for (int i : routesByName.value(trimmed(v.mid(shortName.size()))))
                if (operatorMatches(operatorOf(network.routes[i]), full))
                    found << i;
            if (!found.isEmpty())
                return found;
        }
        return {};
    }

    // The route a 路線 value names, or null with the reason and the candidates.
    // fits tells whether a route holds the row's stations: of several routes of one name, the one that does.
    const Route* route(const QString& value, const QString& operatorName, const std::function<bool(const Route&)>& fits,
                       QString& why, QStringList& candidates) const {
        const QString v = trimmed(value);
        if (v.isEmpty()) {
            why = QStringLiteral("路線がありません。");
            return nullptr;
        }
        if (const Route* r = network.route(v))
            return r;
        QVector<int> found = routesByName.value(v);
        if (found.isEmpty())
            found = byPrefixedName(v);
        const QString op = trimmed(operatorName);
        if (found.size() > 1 && !op.isEmpty()) {
            const QString canonical = canonicalOperator(op);
            QVector<int> same;
            for (int i : found)
                if (operatorOf(network.routes[i]) == canonical)
                    same << i;
            if (same.isEmpty())
                for (int i : found)
                    if (operatorMatches(operatorOf(network.routes[i]), canonical))
                        same << i;
            if (!same.isEmpty())
                found = same;
        }
        if (found.size() > 1) {
            QVector<int> holding;
            for (int i : found)
                if (fits(network.routes[i]))
                    holding << i;
            if (holding.size() == 1)
                found = holding;
        }
        if (found.size() == 1)
            return &network.routes[found.first()];
        if (found.size() > 1) {
            why = op.isEmpty() ? QStringLiteral("路線「%1」は %2 件あります。所属か路線番号で区別してください。")
                                     .arg(v)
                                     .arg(found.size())
                               : QStringLiteral("所属「%1」の路線「%2」は %3 件あります。路線番号で区別してください。")
                                     .arg(op, v)
                                     .arg(found.size());
            for (int i : found)
                candidates << describe(network.routes[i]);
            return nullptr;
        }
        why = QStringLiteral("路線「%1」が見つかりません。").arg(v);
        candidates = nearest(
            v, network.routes,
            [&](const Route& r) { return std::min(editDistance(v, r.name), editDistance(v, r.code)); },
            [&](const Route& r) { return describe(r); });
        return nullptr;
    }
};

// The station of a name on the route, as written or without a trailing "駅"; empty when there is none.
QString stationName(const Route& route, const QString& value) {
    const QString v = trimmed(value);
    if (route.stationsByName.contains(v))
        return v;
    if (v.endsWith(u'駅') && route.stationsByName.contains(v.chopped(1)))
        return v.chopped(1);
    return {};
}

QStringList nearestStations(const Route& route, const QString& value) {
    return nearest(
        value, route.stations, [&](const Station& s) { return editDistance(value, s.name); },
        [](const Station& s) { return s.name; });
}

bool sameParts(const QVector<IntervalSet::Part>& a, const QVector<IntervalSet::Part>& b) {
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (std::abs(a[i].from - b[i].from) > kKiloEpsilon || std::abs(a[i].to - b[i].to) > kKiloEpsilon)
            return false;
    return true;
}

QString kiloText(double v) {
    return QString::number(v, 'f', 1);
}

// What the rows of one route meet: the stretches ridden so far and the ride of each day.
struct RouteState {
    IntervalSet ridden;
    QHash<QString, Ride> storedByDay;
    QHash<QString, int> plannedByDay; // index into ImportPlan::rides
};

} // namespace

int ImportPlan::count(RowOutcome outcome) const {
    return int(std::count_if(rows.cbegin(), rows.cend(), [&](const ImportRow& r) { return r.outcome == outcome; }));
}

int ImportPlan::noted() const {
    return int(std::count_if(rows.cbegin(), rows.cend(), [](const ImportRow& r) { return !r.notes.isEmpty(); }));
}

QString encodingName(text::Encoding e) {
    switch (e) {
    case text::Encoding::Cp932:
        return QStringLiteral("シフトJIS(CP932)");
    case text::Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case text::Encoding::Utf16LE:
    case text::Encoding::Utf16BE:
        return QStringLiteral("UTF-16");
    }
    return {};
}

ImportPlan planImport(const QByteArray& bytes, const Network& network, const QHash<QString, RouteNames>& names,
                      const QVector<Ride>& stored) {
    ImportPlan plan;
    if (bytes.size() > kMaxImportBytes) {
        plan.fileError = QStringLiteral("ファイルが大きすぎます(%1 MB まで)。").arg(kMaxImportBytes / 1024 / 1024);
        return plan;
    }
    const text::DecodedText decoded = text::decode(bytes);
    plan.encoding = decoded.encoding;
    QVector<Record> records;
    if (QString e = readRecords(decoded.text, records); !e.isEmpty()) {
        plan.fileError = e;
        return plan;
    }
    if (records.isEmpty()) {
        plan.fileError = QStringLiteral("乗車の行がありません。");
        return plan;
    }

    // Which column holds what.
    int at[ColumnCount];
    std::fill(std::begin(at), std::end(at), -1);
    int first = 0;
    if (looksLikeCheckList(records.first())) {
        plan.checkListShape = true;
        at[Date] = 0;
        at[RouteCol] = 1;
        at[Operator] = 2;
        at[SectionCol] = 3;
        at[Kilo] = 4;
        at[Remark] = 5;
    } else {
        const QStringList& header = records.first().fields;
        for (int i = 0; i < header.size(); ++i) {
            const int c = columnOfTitle(header[i]);
            if (c < 0) {
                if (!trimmed(header[i]).isEmpty())
                    plan.ignoredColumns << trimmed(header[i]);
            } else if (at[c] < 0) {
                at[c] = i;
            } else {
                plan.fileError = QStringLiteral("1 行目に列「%1」が二つあります。").arg(trimmed(header[i]));
                return plan;
            }
        }
        QStringList missing;
        if (at[Date] < 0)
            missing << QStringLiteral("乗車年月日");
        if (at[RouteCol] < 0)
            missing << QStringLiteral("路線");
        if (at[SectionCol] < 0 && (at[Start] < 0 || at[End] < 0))
            missing << QStringLiteral("起点・終点(または乗車区間)");
        if (!missing.isEmpty()) {
            plan.fileError = QStringLiteral("1 行目に列の名前 %1 がありません。1 行目には列の名前(乗車年月日、路線、"
                                            "所属、起点、終点、乗車キロ、備考)を書いてください。")
                                 .arg(missing.join(QStringLiteral("、")));
            return plan;
        }
        first = 1;
    }

    const Matcher matcher(network, names);
    QHash<QString, QVector<Ride>> storedByRoute;
    for (const Ride& r : stored)
        storedByRoute[r.code].append(r);
    QHash<QString, RouteState> states;
    auto stateOf = [&](const Route& route) -> RouteState& {
        auto it = states.find(route.code);
        if (it == states.end()) {
            RouteState s;
            const QVector<Ride> rides = storedByRoute.value(route.code);
            s.ridden = riddenStretches(route, rides);
            for (const Ride& r : rides)
                s.storedByDay.insert(r.day, r);
            it = states.insert(route.code, s);
        }
        return *it;
    };

    // Rows are read first; those with a day are then matched in the order of their days, so that what is new on
    // a route is counted on the first day it was ridden.
    struct Pending {
        int row;
        Fields f;
        QDate day;
    };
    QVector<Pending> pending;
    for (int i = first; i < records.size(); ++i) {
        const Record& rec = records[i];
        ImportRow row;
        row.line = rec.line;
        row.text = rec.fields.join(u',');
        Fields f;
        for (int c = 0; c < ColumnCount; ++c)
            if (at[c] >= 0 && at[c] < rec.fields.size()) {
                f.v[c] = rec.fields[at[c]];
                f.has[c] = true;
            }
        const QDate day = readDay(f.v[Date]);
        if (!day.isValid()) {
            row.reason = trimmed(f.v[Date]).isEmpty()
                             ? QStringLiteral("乗車年月日がありません。")
                             : QStringLiteral("乗車年月日「%1」が日付として読めません(yyyy-mm-dd の形の実在する日)。")
                                   .arg(trimmed(f.v[Date]));
        }
        plan.rows.append(row);
        if (day.isValid())
            pending.append({int(plan.rows.size()) - 1, f, day});
    }
    std::stable_sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) { return a.day < b.day; });

    for (const Pending& p : pending) {
        ImportRow& row = plan.rows[p.row];
        const Fields& f = p.f;
        auto reject = [&](const QString& why, const QStringList& candidates = {}) {
            row.outcome = RowOutcome::Error;
            row.reason = why;
            row.candidates = candidates;
        };
        QString why;
        QStringList candidates;
        const bool bySection =
            at[SectionCol] >= 0 && (at[Start] < 0 || (trimmed(f.v[Start]).isEmpty() && trimmed(f.v[End]).isEmpty()));
        auto fits = [&](const Route& r) {
            if (!bySection)
                return !stationName(r, f.v[Start]).isEmpty() && !stationName(r, f.v[End]).isEmpty();
            QString text = trimmed(f.v[SectionCol]);
            const QString head = r.name + u'(';
            if (plan.checkListShape && text.startsWith(head) && text.endsWith(u')'))
                text = text.mid(head.size()).chopped(1);
            return resolveSection(&r, text).found();
        };
        const Route* route = matcher.route(f.v[RouteCol], f.v[Operator], fits, why, candidates);
        if (!route) {
            reject(why, candidates);
            continue;
        }

        // The section: from 起点 and 終点, or a section text as the picker writes it.
        QString section, startName, endName;
        bool singleStretch = true, fromEnds = false;
        if (bySection) {
            section = trimmed(f.v[SectionCol]);
            if (plan.checkListShape) {
                // "route name(section)" as the check list writes it.
                const QString head = route->name + u'(';
                if (section.startsWith(head))
                    section = section.mid(head.size());
                else if (section.startsWith(QStringLiteral("■■■■(")))
                    section = section.mid(5);
                if (section.endsWith(u')'))
                    section.chop(1);
            }
            const QStringList pieces = section.split(QChar(0x3001));
            singleStretch = pieces.size() == 1;
            QString firstPiece = pieces.first();
            firstPiece.remove(QStringLiteral("(全区間)"));
            const QStringList ends = firstPiece.split(QChar(0xFF5E));
            if (ends.size() == 2) {
                startName = stationName(*route, ends[0]);
                endName = stationName(*route, ends[1]);
            }
        } else {
            startName = stationName(*route, f.v[Start]);
            endName = stationName(*route, f.v[End]);
            if (startName.isEmpty() || endName.isEmpty()) {
                const QString bad = trimmed(startName.isEmpty() ? f.v[Start] : f.v[End]);
                reject(bad.isEmpty()
                           ? QStringLiteral("%1がありません。")
                                 .arg(startName.isEmpty() ? QStringLiteral("起点") : QStringLiteral("終点"))
                           : QStringLiteral("駅「%1」は路線 %2 にありません。").arg(bad, matcher.describe(*route)),
                       nearestStations(*route, bad));
                continue;
            }
            section = startName + QChar(0xFF5E) + endName;
            fromEnds = true;
        }

        double given = 0;
        const bool hasKilo = !trimmed(f.v[Kilo]).isEmpty();
        if (hasKilo && !readKilo(f.v[Kilo], given)) {
            reject(QStringLiteral("乗車キロ「%1」が数として読めません。").arg(trimmed(f.v[Kilo])));
            continue;
        }
        const Section sec = resolveSection(route, section, hasKilo ? given : 0);
        if (!sec.found()) {
            // The first name of the text the route does not know, for the candidates.
            QString unknown = section;
            for (const QString& piece : section.split(QRegularExpression(QStringLiteral("[～〜、]"))))
                if (!trimmed(piece).isEmpty() && stationName(*route, piece).isEmpty()) {
                    unknown = trimmed(piece);
                    break;
                }
            reject(QStringLiteral("乗車区間「%1」の駅「%2」は路線 %3 にありません。")
                       .arg(section, unknown, matcher.describe(*route)),
                   nearestStations(*route, unknown));
            continue;
        }
        // A stretch over the whole route given by its two ends is marked as the picker marks it; a section
        // text is kept as written.
        double lo = 0, hi = 0;
        routeSpan(*route, lo, hi);
        if (fromEnds && sec.status == SectionStatus::Stretch && singleStretch && sec.from <= lo + kWholeRouteMargin &&
            sec.to >= hi - kWholeRouteMargin && hi > lo && !section.endsWith(QStringLiteral("(全区間)")))
            section += QStringLiteral("(全区間)");

        QString remark = trimmed(f.v[Remark]);
        if (plan.checkListShape && (remark == kNegativeRemark || remark == kNoRouteRemark || remark == kOverlapRemark))
            remark.clear();
        if (characterCount(section) > kTextWidth) {
            reject(QStringLiteral("乗車区間「%1」が長すぎます(%2 文字まで)。").arg(section).arg(kTextWidth));
            continue;
        }
        if (characterCount(remark) > kTextWidth) {
            reject(QStringLiteral("備考が長すぎます(%1 文字まで)。").arg(kTextWidth));
            continue;
        }
        if (forbiddenCharacterAt(remark) >= 0 || forbiddenCharacterAt(section) >= 0) {
            reject(QStringLiteral("乗車区間か備考に使えない文字(改行や制御文字)があります。"));
            continue;
        }

        RouteState& state = stateOf(*route);
        double posts = 0, fresh = 0;
        for (const IntervalSet::Part& part : sec.parts) {
            const Overlap o = overlapOf(state.ridden, part.from, part.to);
            posts += o.whole;
            fresh += o.fresh;
        }
        double kilo = 0;
        if (hasKilo) {
            kilo = given;
            if (std::abs(std::abs(given) - posts) > kKiloTolerance && std::abs(given - fresh) > kKiloTolerance)
                row.notes
                    << QStringLiteral(
                           "乗車キロ %1 は駅のキロ程による %2 km と %3 km を超えて違います(%1 のまま取り込みます)。")
                           .arg(trimmed(f.v[Kilo]), kiloText(posts), kiloText(kKiloTolerance));
        } else {
            Overlap o;
            o.whole = posts;
            o.fresh = fresh;
            kilo = overlapKilo(o, OverlapChoice::NewOnly);
            if (o.nothingNew() && posts > kKiloEpsilon)
                row.notes << QStringLiteral("すでに乗った区間なので 0 km として取り込みます。");
            else if (o.overlaps())
                row.notes << QStringLiteral("すでに乗った区間と重なるので、新しい %1 km を取り込みます(区間は %2 km)。")
                                 .arg(kiloText(kilo), kiloText(posts));
        }

        const QString dayText = p.day.toString(QStringLiteral("yyyy-MM-dd"));
        // A ride of this route on this day already: the same one, or a second section joined into it.
        const auto plannedIt = state.plannedByDay.constFind(dayText);
        const auto storedIt = state.storedByDay.constFind(dayText);
        if (plannedIt != state.plannedByDay.cend() || storedIt != state.storedByDay.cend()) {
            const bool inFile = plannedIt != state.plannedByDay.cend();
            Ride existing;
            if (inFile) {
                const PlannedRide& pr = plan.rides[*plannedIt];
                existing = {pr.code, pr.day, pr.section, pr.kilo};
            } else {
                existing = *storedIt;
            }
            const Section was = resolveSection(route, existing.section, existing.kilo);
            const QString where = inFile ? QStringLiteral("この取り込みの先の行") : QStringLiteral("登録済みの乗車");
            if (was.found() && sameParts(was.parts, sec.parts)) {
                row.outcome = RowOutcome::Duplicate;
                row.notes.clear(); // what it would have added says nothing about a row left out
                row.reason = QStringLiteral("%1 %2 の同じ区間の乗車が%3にあります。")
                                 .arg(dayText, matcher.describe(*route), where);
                continue;
            }
            const Station* a = startName.isEmpty() ? nullptr : &route->stations[route->stationsByName.value(startName)];
            const Station* b = endName.isEmpty() ? nullptr : &route->stations[route->stationsByName.value(endName)];
            if (!singleStretch || !a || !b) {
                reject(QStringLiteral("%1 %2 の乗車が%3にあり、区間をつなげられません。")
                           .arg(dayText, matcher.describe(*route), where));
                continue;
            }
            const SameDayMerge m = mergeSameDay(*route, existing, startName, a->kilo, endName, b->kilo, kilo);
            if (!m.ok()) {
                reject(QStringLiteral("%1 %2 の乗車が%3にあります: %4")
                           .arg(dayText, matcher.describe(*route), where, m.why));
                continue;
            }
            int target = inFile ? *plannedIt : -1;
            if (!inFile) {
                PlannedRide pr;
                pr.code = route->code;
                pr.day = dayText;
                pr.stored = true;
                plan.rides.append(pr);
                target = int(plan.rides.size()) - 1;
                state.plannedByDay.insert(dayText, target);
            }
            PlannedRide& pr = plan.rides[target];
            pr.section = m.section;
            pr.kilo = m.kilo;
            if (pr.remark.isEmpty())
                pr.remark = remark;
            row.outcome = RowOutcome::Merge;
            row.reason =
                QStringLiteral("%1の同じ日の乗車につなげます: %2(%3 km)").arg(where, m.section, kiloText(m.kilo));
        } else {
            PlannedRide pr;
            pr.code = route->code;
            pr.day = dayText;
            pr.section = section;
            pr.kilo = kilo;
            pr.remark = remark;
            plan.rides.append(pr);
            state.plannedByDay.insert(dayText, int(plan.rides.size()) - 1);
            row.outcome = RowOutcome::Insert;
        }
        row.code = route->code;
        row.day = dayText;
        row.section = section;
        row.kilo = kilo;
        row.remark = remark;
        for (const IntervalSet::Part& part : sec.parts) {
            if (kilo < 0)
                state.ridden.subtract(part.from, part.to);
            else
                state.ridden.add(part.from, part.to);
        }
    }
    return plan;
}

ImportPlan planImportFile(const QString& path, const Network& network, const QHash<QString, RouteNames>& names,
                          const QVector<Ride>& stored) {
    ImportPlan plan;
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        plan.fileError = QStringLiteral("ファイル %1 がありません。").arg(path);
        return plan;
    }
    if (!info.isFile()) {
        plan.fileError = QStringLiteral("%1 はファイルではありません。").arg(path);
        return plan;
    }
    if (info.size() > kMaxImportBytes) {
        plan.fileError =
            QStringLiteral("ファイル %1 が大きすぎます(%2 MB まで)。").arg(path).arg(kMaxImportBytes / 1024 / 1024);
        return plan;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        plan.fileError = QStringLiteral("ファイル %1 を読めません。\n%2").arg(path, file.errorString());
        return plan;
    }
    const QByteArray bytes = file.read(kMaxImportBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        plan.fileError = QStringLiteral("ファイル %1 を読めません。\n%2").arg(path, file.errorString());
        return plan;
    }
    plan = planImport(bytes, network, names, stored);
    if (!plan.fileError.isEmpty())
        plan.fileError = QStringLiteral("%1: %2").arg(path, plan.fileError);
    return plan;
}

void applyImport(Database& personal, const ImportPlan& plan) {
    if (plan.rides.isEmpty())
        return;
    Transaction tx(personal);
    Statement insert(personal, QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO, BIKO) "
                                              "VALUES (?, ?, ?, ?, ?)"));
    Statement update(personal,
                     QStringLiteral("UPDATE JOSHA SET JOSHA_KUKAN = ?, JOSHA_KILO = ?, BIKO = coalesce(BIKO, ?) "
                                    "WHERE ROSEN_CD = ? AND JOSHA_DATE = ?"));
    for (const PlannedRide& r : plan.rides) {
        const QString stamp = rules::dayTimestamp(QDate::fromString(r.day, QStringLiteral("yyyy-MM-dd")));
        const QVariant remark = r.remark.isEmpty() ? QVariant() : QVariant(r.remark);
        if (r.stored) {
            StatementScope s(update);
            update.bindText(1, r.section);
            update.bindDouble(2, r.kilo);
            update.bind(3, remark);
            update.bindText(4, r.code);
            update.bindText(5, stamp);
            update.step();
        } else {
            StatementScope s(insert);
            insert.bindText(1, r.code);
            insert.bindText(2, stamp);
            insert.bindText(3, r.section);
            insert.bindDouble(4, r.kilo);
            insert.bind(5, remark);
            insert.step();
        }
    }
    tx.commit();
    personal.noteWrite();
}

QString planSummary(const ImportPlan& plan) {
    if (!plan.fileError.isEmpty())
        return plan.fileError;
    QString s =
        QStringLiteral("%1 行を読みました(%2%3)。新しい乗車 %4 件、同じ日の乗車につなげる %5 件、取り込まない %6 件"
                       "(読み取れない %7 件、登録済み %8 件)。")
            .arg(plan.rows.size())
            .arg(encodingName(plan.encoding), plan.checkListShape ? QStringLiteral("、乗車実績確認の CSV") : QString())
            .arg(plan.count(RowOutcome::Insert))
            .arg(plan.count(RowOutcome::Merge))
            .arg(plan.leftOut())
            .arg(plan.count(RowOutcome::Error))
            .arg(plan.count(RowOutcome::Duplicate));
    if (plan.noted())
        s += QStringLiteral("注意 %1 件。").arg(plan.noted());
    if (!plan.ignoredColumns.isEmpty())
        s += QStringLiteral("使わない列: %1。").arg(plan.ignoredColumns.join(QStringLiteral("、")));
    return s;
}

QStringList planDetails(const ImportPlan& plan) {
    QStringList out;
    for (const ImportRow& r : plan.rows)
        if (r.outcome == RowOutcome::Error || r.outcome == RowOutcome::Duplicate) {
            QString l = QStringLiteral("%1 行目: 取り込みません: %2").arg(r.line).arg(r.reason);
            if (!r.candidates.isEmpty())
                l += QStringLiteral(" 候補: %1").arg(r.candidates.join(QStringLiteral("、")));
            out << l << QStringLiteral("    %1").arg(r.text);
        }
    for (const ImportRow& r : plan.rows) {
        if (r.outcome == RowOutcome::Merge)
            out << QStringLiteral("%1 行目: %2").arg(r.line).arg(r.reason);
        for (const QString& n : r.notes)
            out << QStringLiteral("%1 行目: 注意: %2").arg(r.line).arg(n);
    }
    return out;
}

int importRides(const QStringList& args) {
    const QString usage = QStringLiteral("使い方: tabiroku --import-rides FILE.csv [--dry-run]");
    const cli::Options o = cli::parse(args, usage, false, {QStringLiteral("--dry-run")});
    if (!o.error.isEmpty())
        return cli::fail(o.error, 2);
    const bool dryRun = o.flags.contains(QStringLiteral("--dry-run"));
    return cli::onRecord(
        [&](cli::Record& r) {
            const ImportPlan plan = planImportFile(o.file, r.data.network, routeNamesByCode(r.ref), r.data.rides);
            if (!plan.fileError.isEmpty())
                return cli::fail(plan.fileError);
            cli::say(planSummary(plan));
            for (const QString& l : planDetails(plan))
                cli::say(l);
            if (dryRun) {
                cli::say(QStringLiteral("--dry-run: 何も書き込んでいません。"));
            } else {
                applyImport(*r.per, plan);
                cli::say(QStringLiteral("乗車 %1 件を書き込みました。").arg(plan.rides.size()));
            }
            return plan.leftOut() == 0 ? 0 : 1;
        },
        cli::Reading::RouteStations, true);
}

int importRidesCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    return importRides(app.arguments());
}

} // namespace tabi::netexport
