// The routes of the route master from the register and the track graph.
#include "netimport/routebuild.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>

namespace tabi::net {

namespace {

// Of two ways about as long between the same stations, the one cut into more steps (more stations) costs
// less when each step costs km + kSquare * km²: so the local service's stations win over the rapid's.
constexpr double kSquare = 0.1;
// A way through more stations replaces a step only when it is this close in length and stays this near the
// step's track: the same corridor, not a way round.
constexpr double kSameLengthShare = 0.05;
constexpr double kSameLengthKm = 0.3;
constexpr double kCorridorKm = 0.6;
// A closed station this near the track in service was a station on it, not on an old alignment beside it.
constexpr double kInlineKm = 0.3;
// A measured length this far from the register's figure is reported.
constexpr double kDoubtKm = 1.0;
constexpr double kDoubtShare = 0.05;
// A route's path avoids track that routes of its operator already run on (a branch row after its main line's
// row takes the branch, not the main line round to it): such track counts this many times its length.
constexpr double kCoveredFactor = 4.0;
// Two neighbouring stations of a route are its step where another line measures them at most this much longer.
constexpr double kNeighbourSlackKm = 1.0;
// An official station post whose stretch from the anchor before it is more than kAnchorFarKm off the measured
// track, more than kAnchorFarFactor times longer or shorter, and off by more than the whole route's official length
// is off its measured length, is not believed: a mistyped row, or a station of that name elsewhere on the route.
// A parallel line's fare distance stays inside the factor over a short stretch too (山陽新幹線 新尾道～三原 is 16.8 km
// of fares over 10.5 km of track, 上越新幹線 上毛高原～越後湯沢 47.6 over 32.2); where the data set draws a route
// short, the shortfall may sit on one stretch (木次線 出雲坂根～三井野原, 6.4 km over the switchback drawn as 1.3).
constexpr double kAnchorFarKm = 3.0;
constexpr double kAnchorFarFactor = 2.0;

// A point of a route where its measured post is set to an official one.
struct Anchor {
    int station = 0; // index in the route's stations
    double measured = 0;
    double official = 0;
};

using EdgeFilter = std::function<bool(int)>;

struct Path {
    QList<int> nodes; // station codes
    QList<int> edges; // edges[i] joins nodes[i] and nodes[i + 1]
    double km = 0;
};

QString stripNotes(QString name) {
    static const QRegularExpression tail(QStringLiteral("[(（][^()（）]*[)）]\\s*$"));
    for (int i = 0; i < 3 && tail.match(name).hasMatch(); ++i)
        name.remove(tail);
    return name.trimmed();
}

// A prefix may come off a line name only when what is left is a name of its own: "富士急行線" keeps its
// whole name rather than become 「行線」, "西武園線" rather than 「園線」.
bool nameOfItsOwn(const QString& rest) {
    static const QStringList words{QStringLiteral("鉄道線"), QStringLiteral("鐵道線"), QStringLiteral("電鉄線"),
                                   QStringLiteral("電車線"), QStringLiteral("急行線"), QStringLiteral("軌道線"),
                                   QStringLiteral("交通線")};
    if (rest.isEmpty() || rest.startsWith(QChar(0x7DDA)) || rest.startsWith(QLatin1Char('(')) ||
        rest.startsWith(QChar(0xFF08)))
        return false;
    if (rest.size() <= 2 && rest.endsWith(QChar(0x7DDA)))
        return false;
    return !words.contains(rest);
}

QString routeName(const Rules& rules, const Line& line, const Company* company) {
    QString name = stripNotes(line.name);
    // A line named by its operator alone ("津軽鉄道") takes its formal name ("津軽鉄道線").
    if (company && !line.formalName.isEmpty() &&
        (name == company->name || name == company->shortName || !name.contains(QChar(0x7DDA))))
        name = stripNotes(line.formalName);
    if (name.isEmpty())
        name = line.name;
    QStringList prefixes{QStringLiteral("JR")};
    // JR line names carry "JR" alone before the line's name; the company's short form ("JR東海") must not be
    // taken off, or "JR東海道本線" would lose the start of its own name.
    if (company && !company->shortName.startsWith(QStringLiteral("JR"))) {
        prefixes << company->shortName << company->name << rules.linePrefixes.value(company->name);
        if (company->name.endsWith(QStringLiteral("交通局"))) {
            const QString city = company->name.chopped(3); // 札幌市交通局 -> 札幌市
            prefixes << city + QStringLiteral("営地下鉄") << city + QStringLiteral("営") << city + QStringLiteral("電");
        }
    }
    prefixes.removeAll(QString());
    std::sort(prefixes.begin(), prefixes.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (bool again = true; again;) {
        again = false;
        for (const QString& p : std::as_const(prefixes)) {
            if (name.startsWith(p) && nameOfItsOwn(name.mid(p.size()))) {
                name = name.mid(p.size());
                again = true;
                break;
            }
        }
    }
    return name;
}

QString routeKana(const QString& kana) {
    QString k = stripNotes(kana);
    if (k.startsWith(QStringLiteral("じぇいあーる")))
        k = k.mid(6);
    return k;
}

QString regionOf(int prefecture) {
    if (prefecture == 1)
        return QStringLiteral("北海道");
    if (prefecture <= 7)
        return QStringLiteral("東北");
    if (prefecture <= 14)
        return QStringLiteral("関東");
    if (prefecture <= 23)
        return QStringLiteral("中部");
    if (prefecture <= 30)
        return QStringLiteral("関西");
    if (prefecture <= 35)
        return QStringLiteral("中国");
    if (prefecture <= 39)
        return QStringLiteral("四国");
    return QStringLiteral("九州");
}

QString lineKind(const Rules& rules, const QString& lineName) {
    for (const auto& [text, kind] : rules.lineKinds)
        if (lineName.contains(text))
            return kind;
    return {};
}

bool isJr(int company) {
    return company >= 1 && company <= 6;
}

bool isShinkansen(const Line& line) {
    return line.name.contains(QStringLiteral("新幹線"));
}

class Builder {
public:
    Builder(const Source& src, const TrackGraph& g, const Register& reg, const Rules& rules, QStringList& report)
        : m_src(src), m_g(g), m_reg(reg), m_rules(rules), m_report(report) {
        m_companies = src.companies;
        m_lines = src.lines;
        // Lines that name no company get an operator of their own, from the rule table or from their name.
        for (Line& line : m_lines) {
            if (line.companyCode >= 0)
                continue;
            Company c;
            c.code = -line.code;
            const auto known = rules.lineOperators.constFind(line.name);
            if (known != rules.lineOperators.constEnd()) {
                c.name = known->first;
            } else {
                // "大分交通宇佐参宮線" -> 大分交通: the name up to its first word for a railway company.
                c.name = stripNotes(line.formalName.isEmpty() ? line.name : line.formalName);
                static const QRegularExpression company(
                    QStringLiteral("^(.+?(?:電気鉄道|鉄道|電鉄|鐵道|軌道|交通|鉱業|炭礦|汽船))"));
                const QRegularExpressionMatch m = company.match(c.name);
                if (m.hasMatch())
                    c.name = m.captured(1);
                else if (c.name.endsWith(QChar(0x7DDA)) && c.name.size() > 2)
                    c.name.chop(1);
            }
            line.companyCode = c.code;
            m_companies.insert(c.code, c);
        }
        for (const Line& line : std::as_const(m_lines))
            m_lineByCode.insert(line.code, &line);
        // A register row's operator is a company of company.csv before an operator made up for a line that
        // names none (a closed line named after a company that still runs others); the same in every run.
        QList<int> codes = m_companies.keys();
        std::sort(codes.begin(), codes.end(), [](int a, int b) { return (a < 0) != (b < 0) ? a > 0 : a < b; });
        for (int code : std::as_const(codes)) {
            const Company& c = m_companies[code];
            for (const QString& n : {c.name, c.shortName, c.listedName, m_rules.operatorName.value(c.name)})
                if (!n.isEmpty() && !m_operators.contains(n))
                    m_operators.insert(n, code);
        }
        for (auto it = src.stations.cbegin(); it != src.stations.cend(); ++it)
            if (m_g.adjacent.contains(it.key())) {
                m_byName[it->name].append(it.key());
                if (const QString bare = stripNotes(it->name); bare != it->name)
                    m_byName[bare].append(it.key());
            }
        for (auto& codes : m_byName)
            std::sort(codes.begin(), codes.end());
        for (const PostAnchor& a : reg.posts)
            m_anchors[a.operatorName + QLatin1Char('|') + a.route].append(&a);
    }

    QList<DerivedRoute> run() {
        const bool withAbolished = m_src.layout.withAbolished;
        // Closed rows first: their track leaves the network in service whatever the data set says.
        for (const RegisterRow& row : m_reg.rows) {
            if (row.closed.isEmpty())
                continue;
            const int company = m_operators.value(row.operatorName, 0);
            if (!company)
                continue;
            // The track the data set still keeps in service for a closed route: only on the lines the row
            // names (a closed route whose line the data set no longer has removes nothing; a path found over
            // other lines would be their track, in service).
            Path open;
            QString why;
            const QSet<int> named(row.lines.begin(), row.lines.end());
            const EdgeFilter onNamed = [&](int e) { return m_g.edges[e].open && named.contains(m_g.edges[e].line); };
            const Line* whole = row.wholeLine() ? m_lineByCode.value(row.lines.first()) : nullptr;
            const bool found = row.wholeLine() ? whole && !whole->closed && linePath(whole->code, open, why)
                                               : !named.isEmpty() && legs(row, onNamed, open, why);
            if (found) {
                const QSet<int> nodes(open.nodes.begin(), open.nodes.end());
                for (int e : std::as_const(open.edges))
                    m_removed.insert(e);
                // Parallel services over the closed section go with it.
                for (int n : std::as_const(open.nodes))
                    for (int e : m_g.adjacent.value(n))
                        if (m_g.edges[e].open && nodes.contains(m_g.other(e, n)) &&
                            (n != open.nodes.first() && n != open.nodes.last()))
                            m_removed.insert(e);
            }
            if (!withAbolished)
                continue;
            Path all;
            if (!pathFor(row, company, false, all, why)) {
                m_report << QStringLiteral("%1: %2").arg(row.where(), why);
                continue;
            }
            addRegistered(row, company, all, false);
        }
        for (const RegisterRow& row : m_reg.rows) {
            if (!row.closed.isEmpty())
                continue;
            const int company = m_operators.value(row.operatorName, 0);
            if (!company) {
                m_report
                    << QStringLiteral("%1: 事業者「%2」が駅データにありません。").arg(row.where(), row.operatorName);
                continue;
            }
            Path p;
            QString why;
            if (!pathFor(row, company, true, p, why)) {
                m_report << QStringLiteral("%1: %2").arg(row.where(), why);
                continue;
            }
            if (!row.wholeLine())
                p = refine(p, filterFor(row, company, true, false));
            addRegistered(row, company, p, true);
        }
        // Lines the register does not cover: one line, one route, where no route runs on its track. Tram
        // services (系統) come after the lines, so that a service over another's track adds only its own part.
        QList<const Line*> order;
        for (const Line& line : std::as_const(m_lines))
            if (!line.name.contains(QStringLiteral("系統")))
                order << &line;
        for (const Line& line : std::as_const(m_lines))
            if (line.name.contains(QStringLiteral("系統")))
                order << &line;
        for (const Line* line : std::as_const(order)) {
            if (line->closed && !withAbolished)
                continue;
            if (m_rules.drop.contains(line->name))
                continue;
            if (!m_companies.contains(line->companyCode)) {
                m_report << QStringLiteral("%1: 事業者コード %2 が company.csv にないので飛ばしました。")
                                .arg(where(*line))
                                .arg(line->companyCode);
                continue;
            }
            if (m_src.order.value(line->code).size() < 2) {
                m_report << QStringLiteral("%1: 駅が 2 つ未満なので飛ばしました。").arg(where(*line));
                continue;
            }
            addLine(*line, !line->closed);
        }
        if (withAbolished)
            for (const Line& line : std::as_const(m_lines))
                if (!line.closed && m_companies.contains(line.companyCode) && !m_rules.drop.contains(line.name))
                    addClosedSections(line);
        // The official posts last: every decision above compares measured posts.
        for (auto it = m_plans.cbegin(); it != m_plans.cend(); ++it)
            applyAnchors(m_routes[it.key()], it.value());
        QSet<QString> rows;
        for (const RegisterRow& row : m_reg.rows)
            rows.insert(row.operatorName + QLatin1Char('|') + row.name);
        for (const PostAnchor& a : m_reg.posts)
            if (!rows.contains(a.operatorName + QLatin1Char('|') + a.route))
                m_report << QStringLiteral("%1: 登録簿にない路線なので使いませんでした。").arg(a.where());
        return m_routes;
    }

private:
    const Station& station(int code) const {
        static const Station none;
        const auto it = m_src.stations.constFind(code);
        return it == m_src.stations.constEnd() ? none : *it;
    }

    QString where(const Line& line) const {
        return QStringLiteral("%1/line.csv の %2 行目（%3）")
            .arg(QDir::toNativeSeparators(m_src.layout.lineDir))
            .arg(line.fileLine)
            .arg(line.name);
    }

    // The edges a row's route may run on: the operator's lines (for JR any JR company's, shinkansen rows on
    // shinkansen lines only, other rows on the others), and the lines the row names.
    EdgeFilter filterFor(const RegisterRow& row, int company, bool inService, bool hintsOnly = true) const {
        const bool jr = isJr(company);
        const bool shinkansen = row.category == QStringLiteral("新幹線");
        QSet<int> named(row.lines.begin(), row.lines.end());
        // The named lines alone first, where they join the terminals; refine() then looks beside them.
        const bool onlyNamed = hintsOnly && !named.isEmpty();
        return [this, jr, shinkansen, company, named, onlyNamed, inService](int e) {
            const GraphEdge& edge = m_g.edges[e];
            if (inService && (!edge.open || m_removed.contains(e)))
                return false;
            if (named.contains(edge.line))
                return true;
            if (onlyNamed)
                return false;
            const Line* line = m_lineByCode.value(edge.line);
            if (!line)
                return false;
            if (jr)
                return isJr(line->companyCode) && isShinkansen(*line) == shinkansen;
            return line->companyCode == company;
        };
    }

    // Shortest way from any of from to any of to over the edges the filter lets through, avoiding forbidden
    // stations; squared: each step costs km + kSquare * km². Stops beyond bound.
    bool shortest(const QList<int>& from, const QSet<int>& to, const EdgeFilter& ok, const QSet<int>& forbidden,
                  bool squared, double bound, Path& out) const {
        QHash<int, double> dist;
        QHash<int, int> via;
        using Item = std::pair<double, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        for (int f : from) {
            dist.insert(f, 0);
            via.insert(f, -1);
            queue.push({0, f});
        }
        int reached = -1;
        while (!queue.empty()) {
            const auto [d, n] = queue.top();
            queue.pop();
            if (d > dist.value(n))
                continue;
            if (d > bound)
                break;
            if (to.contains(n) && !(from.contains(n) && via.value(n) < 0)) {
                reached = n;
                break;
            }
            for (int e : m_g.adjacent.value(n)) {
                if (e == via.value(n) || !ok(e))
                    continue;
                const int m = m_g.other(e, n);
                if (forbidden.contains(m))
                    continue;
                const double km = m_g.edges[e].km;
                const double nd = d + (squared ? km + kSquare * km * km
                                               : (m_penalise && covered(e, true) ? kCoveredFactor : 1.0) * km);
                auto it = dist.find(m);
                if (it == dist.end() || nd < *it) {
                    dist.insert(m, nd);
                    via.insert(m, e);
                    queue.push({nd, m});
                }
            }
        }
        if (reached < 0)
            return false;
        out = {};
        for (int n = reached;;) {
            out.nodes.prepend(n);
            const int e = via.value(n);
            if (e < 0)
                break;
            out.edges.prepend(e);
            out.km += m_g.edges[e].km;
            n = m_g.other(e, n);
        }
        return true;
    }

    QList<int> candidates(const QString& name, const EdgeFilter& ok) const {
        QList<int> out;
        // The register writes the data set's names without their notes; a name with its note (成田空港（成田第
        // １ターミナル）) is found as well.
        const QList<int> codes = m_byName.contains(name) ? m_byName.value(name) : m_byName.value(stripNotes(name));
        for (int code : codes)
            for (int e : m_g.adjacent.value(code))
                if (ok(e)) {
                    out << code;
                    break;
                }
        return out;
    }

    // The row's path: start through the vias to end, never through a station twice (a ring returns to its
    // start once). A row naming one data-set line takes that line's order.
    bool pathFor(const RegisterRow& row, int company, bool inService, Path& out, QString& why) const {
        if (row.wholeLine())
            return linePath(row.lines.first(), out, why);
        if (!row.lines.isEmpty() && legs(row, filterFor(row, company, inService, true), out, why))
            return true;
        return legs(row, filterFor(row, company, inService, false), out, why);
    }

    bool linePath(int lineCode, Path& out, QString& why) const {
        const QList<int> order = m_g.lineOrder.value(lineCode);
        if (order.size() < 2) {
            why = QStringLiteral("駅データの路線 %1 がないか、駅が 2 つ未満です。").arg(lineCode);
            return false;
        }
        out = {};
        out.nodes = {order.first()};
        for (int e : m_g.lineEdges.value(lineCode)) {
            const GraphEdge& edge = m_g.edges[e];
            if (edge.a != out.nodes.last())
                break; // a branch listed after the line: not part of the line's own run
            out.nodes << edge.b;
            out.edges << e;
            out.km += edge.km;
        }
        return out.nodes.size() >= 2;
    }

    bool legs(const RegisterRow& row, const EdgeFilter& ok, Path& out, QString& why) const {
        m_penalise = true;
        const auto done = qScopeGuard([this] { m_penalise = false; });
        QStringList stops{row.start};
        stops << row.via << row.end;
        const bool ring = row.start == row.end;
        out = {};
        QList<int> from = candidates(row.start, ok);
        if (from.isEmpty()) {
            why = QStringLiteral("起点 %1 が駅データの路線の上にありません。").arg(row.start);
            return false;
        }
        if (ring && row.via.isEmpty()) {
            // A true ring the data set lists as one line: round in the line's own order from the start.
            for (int code : row.lines) {
                const QList<int> order = m_g.lineOrder.value(code);
                const int at = order.indexOf(from.value(0, -1));
                if (at < 0 || order.size() < 3)
                    continue;
                Path round;
                round.nodes = {order[at]};
                for (int k = 1; k <= order.size(); ++k) {
                    const int u = round.nodes.last(), v = order[(at + k) % order.size()];
                    int step = -1;
                    for (int e : m_g.adjacent.value(u))
                        if (m_g.other(e, u) == v && ok(e) && (step < 0 || m_g.edges[e].km < m_g.edges[step].km))
                            step = e;
                    if (step < 0) {
                        round = {};
                        break;
                    }
                    round.nodes << v;
                    round.edges << step;
                    round.km += m_g.edges[step].km;
                }
                if (!round.edges.isEmpty()) {
                    out = round;
                    return true;
                }
            }
            // Otherwise out to its farthest station, and back the other way.
            int best = -1;
            double bestKm = -1;
            for (int f : from) {
                // Plain Dijkstra over the whole reachable part.
                QHash<int, double> d{{f, 0}};
                using Item = std::pair<double, int>;
                std::priority_queue<Item, std::vector<Item>, std::greater<Item>> q;
                q.push({0, f});
                while (!q.empty()) {
                    const auto [dd, n] = q.top();
                    q.pop();
                    if (dd > d.value(n))
                        continue;
                    if (dd > bestKm) {
                        bestKm = dd;
                        best = n;
                    }
                    for (int e : m_g.adjacent.value(n))
                        if (ok(e)) {
                            const int m = m_g.other(e, n);
                            const double nd = dd + m_g.edges[e].km;
                            if (!d.contains(m) || nd < d.value(m)) {
                                d.insert(m, nd);
                                q.push({nd, m});
                            }
                        }
                }
                from = {f};
                break;
            }
            if (best < 0 || best == from.first()) {
                why = QStringLiteral("環状の路線 %1 の線路が見つかりません。").arg(row.name);
                return false;
            }
            stops = QStringList{row.start, QString(), row.end};
            Path a, b;
            if (!shortest(from, {best}, ok, {}, false, std::numeric_limits<double>::infinity(), a))
                return false;
            QSet<int> used(a.nodes.begin(), a.nodes.end());
            used.remove(a.nodes.first());
            used.remove(best);
            if (!shortest({best}, {a.nodes.first()}, ok, used, false, std::numeric_limits<double>::infinity(), b)) {
                why = QStringLiteral("環状の路線 %1 が一周しません。").arg(row.name);
                return false;
            }
            out = a;
            out.nodes.removeLast();
            out.nodes << b.nodes;
            out.edges << b.edges;
            out.km += b.km;
            return true;
        }
        for (int i = 1; i < stops.size(); ++i) {
            QList<int> targets;
            if (ring && i == stops.size() - 1)
                targets = {out.nodes.first()};
            else
                targets = candidates(stops[i], ok);
            if (targets.isEmpty()) {
                why = QStringLiteral("%1 %2 が駅データの路線の上にありません。")
                          .arg(i == stops.size() - 1 ? QStringLiteral("終点") : QStringLiteral("経由駅"), stops[i]);
                return false;
            }
            QSet<int> forbidden(out.nodes.begin(), out.nodes.end());
            if (!out.nodes.isEmpty()) {
                forbidden.remove(out.nodes.last());
                if (ring && i == stops.size() - 1)
                    forbidden.remove(out.nodes.first());
            }
            Path leg;
            if (!shortest(out.nodes.isEmpty() ? from : QList<int>{out.nodes.last()},
                          QSet<int>(targets.begin(), targets.end()), ok, forbidden, false,
                          std::numeric_limits<double>::infinity(), leg)) {
                why = QStringLiteral("%1 から %2 への線路が見つかりません。").arg(stops[i - 1], stops[i]);
                return false;
            }
            if (out.nodes.isEmpty())
                out = leg;
            else {
                out.nodes.removeLast();
                out.nodes << leg.nodes;
                out.edges << leg.edges;
                out.km += leg.km;
            }
        }
        return out.nodes.size() >= 2;
    }

    static double offPolyline(const GeoPoint& p, const QVector<GeoPoint>& line) {
        double best = std::numeric_limits<double>::infinity();
        const LocalScale scale(p.lat);
        for (int k = 1; k < line.size(); ++k)
            best = std::min(best, projectOnStep(p, line[k - 1], line[k], scale).offKm);
        return best;
    }

    // Each step replaced by the way through more stations along the same track, where there is one.
    Path refine(const Path& p, const EdgeFilter& ok) const {
        QSet<int> used(p.nodes.begin(), p.nodes.end());
        Path out;
        out.nodes = {p.nodes.first()};
        for (int i = 0; i < p.edges.size(); ++i) {
            const int e = p.edges[i];
            const GraphEdge& edge = m_g.edges[e];
            const int u = p.nodes[i], v = p.nodes[i + 1];
            const double k = edge.km;
            QSet<int> forbidden = used;
            forbidden.remove(u);
            forbidden.remove(v);
            Path alt;
            const auto notThis = [&](int x) { return x != e && ok(x); };
            bool take = shortest({u}, {v}, notThis, forbidden, true, k + kSquare * k * k - 1e-9, alt) &&
                        alt.nodes.size() > 2 && std::abs(alt.km - k) <= kSameLengthShare * k + kSameLengthKm;
            if (take) {
                const double tolerance = edge.track.size() > 2 ? kCorridorKm : std::max(kCorridorKm, 0.15 * k);
                for (int j = 1; j + 1 < alt.nodes.size() && take; ++j)
                    take = offPolyline(station(alt.nodes[j]).pos, edge.track) <= tolerance;
            }
            if (take) {
                for (int j = 1; j < alt.nodes.size(); ++j) {
                    out.nodes << alt.nodes[j];
                    used.insert(alt.nodes[j]);
                }
                out.edges << alt.edges;
                out.km += alt.km;
            } else {
                out.nodes << v;
                out.edges << e;
                out.km += k;
            }
        }
        return out;
    }

    // The route along the path: a station on every node but those passed (never the terminals).
    DerivedRoute assemble(const Path& p, const QStringList& passed = {}) const {
        DerivedRoute r;
        double at = 0;
        auto addStation = [&](int code, double km) {
            const Station& s = station(code);
            if (!passed.isEmpty() && code != p.nodes.first() && code != p.nodes.last() &&
                (passed.contains(s.name) || passed.contains(stripNotes(s.name))))
                return;
            r.stations.append({code, s.name, s.kana, s.openDate, s.closed, s.pos, s.prefecture, km});
        };
        addStation(p.nodes.first(), 0);
        r.track = {station(p.nodes.first()).pos};
        r.trackKm = {0.0};
        for (int i = 0; i < p.edges.size(); ++i) {
            const GraphEdge& edge = m_g.edges[p.edges[i]];
            const bool forward = edge.a == p.nodes[i];
            const int n = edge.track.size();
            double t = at;
            for (int k = 1; k < n; ++k) {
                const GeoPoint& a = edge.track[forward ? k - 1 : n - k];
                const GeoPoint& b = edge.track[forward ? k : n - 1 - k];
                t += stepKm(a, b);
                r.track << b;
                r.trackKm << t;
            }
            at += edge.km;
            r.trackKm.last() = at; // a step measured straight keeps its length
            addStation(p.nodes[i + 1], at);
        }
        return r;
    }

    void addRegistered(const RegisterRow& row, int company, const Path& p, bool inService) {
        DerivedRoute r = assemble(p, row.passes);
        for (const QString& name : row.passes)
            if (std::none_of(p.nodes.begin() + 1, p.nodes.end() - 1,
                             [&](int n) { return station(n).name == name || stripNotes(station(n).name) == name; }))
                m_report << QStringLiteral("%1: 通過するはずの駅 %2 を経路が通りません。").arg(row.where(), name);
        const Company c = m_companies.value(company);
        const Line* line = p.edges.isEmpty() ? nullptr : m_lineByCode.value(m_g.edges[p.edges.first()].line);
        r.lineCode = line ? line->code : 0;
        r.lineName = line ? line->name : QString();
        r.name = row.name;
        r.kana = row.kana;
        r.operatorName = m_rules.operatorName.value(c.name, c.name);
        r.companyCode = company;
        r.officialKm = row.km;
        r.haishiDate = inService ? QString() : row.closed;
        // The posts are scaled to the official length; a measured length far from it means the path or the
        // row is wrong, which the register's keepers want to know.
        if (row.km > 0 && row.category != QStringLiteral("新幹線") &&
            std::abs(r.length() - row.km) > std::max(kDoubtKm, kDoubtShare * row.km))
            m_report << QStringLiteral("%1: 線路で測った %2 km が公式のキロ程 %3 km と %4 % 違います（%5～%6）。")
                            .arg(row.where())
                            .arg(r.length(), 0, 'f', 1)
                            .arg(row.km, 0, 'f', 1)
                            .arg(std::abs(r.length() - row.km) / row.km * 100, 0, 'f', 0)
                            .arg(r.start(), r.end());
        classify(r, c, row.category, line ? line->name : QString());
        planAnchors(row, r);
        finish(r, inService);
    }

    // The official posts of the row's stations that can be believed, in route order, from the start at 0 to
    // the end at the official length; those that cannot are reported. Kept for the route about to be added.
    void planAnchors(const RegisterRow& row, const DerivedRoute& r) {
        const auto it = m_anchors.constFind(row.operatorName + QLatin1Char('|') + row.name);
        if (it == m_anchors.cend() || r.stations.size() < 2)
            return;
        const double measured = r.length();
        if (row.km <= 0 || measured <= 0) {
            m_report << QStringLiteral("%1: 公式のキロ程がないので、駅のキロ程を使いませんでした。").arg(row.where());
            return;
        }
        QList<const PostAnchor*> anchors = *it;
        std::stable_sort(anchors.begin(), anchors.end(),
                         [](const PostAnchor* a, const PostAnchor* b) { return a->km < b->km; });
        const int last = int(r.stations.size()) - 1;
        QList<Anchor> plan{{0, 0.0, 0.0}};
        for (const PostAnchor* a : std::as_const(anchors)) {
            // Where the route passes a station of that name more than once (a ring), the pass nearest the post.
            const double expected = a->km * measured / row.km;
            int at = -1;
            for (int i = 0; i <= last; ++i) {
                const DerivedStation& s = r.stations[i];
                if ((s.name == a->station || stripNotes(s.name) == stripNotes(a->station)) &&
                    (at < 0 || std::abs(s.km - expected) < std::abs(r.stations[at].km - expected)))
                    at = i;
            }
            if (at < 0) {
                m_report << QStringLiteral("%1: %2～%3 の駅にないので使いませんでした。")
                                .arg(a->where(), r.start(), r.end());
                continue;
            }
            if (at == 0 || at == last) {
                const double terminal = at == 0 ? 0.0 : row.km;
                if (std::abs(a->km - terminal) > 0.05)
                    m_report << QStringLiteral(
                                    "%1: %2 は%3なのでキロ程は %4 km のはずです（%5 km）。使いませんでした。")
                                    .arg(a->where(), r.stations[at].name,
                                         at == 0 ? QStringLiteral("起点") : QStringLiteral("終点"))
                                    .arg(terminal, 0, 'f', 1)
                                    .arg(a->km, 0, 'f', 1);
                continue;
            }
            const Anchor& prev = plan.last();
            if (at <= prev.station || a->km <= prev.official || a->km >= row.km) {
                m_report << QStringLiteral("%1: キロ程 %2 km が前の駅（%3 %4 km）や終点（%5 km）と順に並ばないので"
                                           "使いませんでした。")
                                .arg(a->where())
                                .arg(a->km, 0, 'f', 1)
                                .arg(r.stations[prev.station].name)
                                .arg(prev.official, 0, 'f', 1)
                                .arg(row.km, 0, 'f', 1);
                continue;
            }
            const double stretchMeasured = r.stations[at].km - prev.measured;
            const double stretchOfficial = a->km - prev.official;
            const double off = std::abs(stretchOfficial - stretchMeasured);
            if (off > kAnchorFarKm + std::abs(row.km - measured) &&
                (stretchOfficial > kAnchorFarFactor * stretchMeasured ||
                 stretchMeasured > kAnchorFarFactor * stretchOfficial)) {
                m_report << QStringLiteral("%1: %2～%3 が公式には %4 km、線路で測ると %5 km で、違いすぎるので"
                                           "使いませんでした。")
                                .arg(a->where(), r.stations[prev.station].name, r.stations[at].name)
                                .arg(stretchOfficial, 0, 'f', 1)
                                .arg(stretchMeasured, 0, 'f', 1);
                continue;
            }
            plan << Anchor{at, r.stations[at].km, a->km};
        }
        plan << Anchor{last, measured, row.km};
        if (plan.size() > 2)
            m_plans.insert(int(m_routes.size()), plan);
    }

    // The posts of the stations and of the track scaled piecewise between the anchors: an anchored station on its
    // official post, the others in proportion between the anchors on either side, the track alike.
    static void applyAnchors(DerivedRoute& r, const QList<Anchor>& plan) {
        auto between = [](const Anchor& a, const Anchor& b, double km) {
            const double span = b.measured - a.measured;
            return span > 1e-9 ? a.official + (km - a.measured) * (b.official - a.official) / span : a.official;
        };
        for (int j = 1; j < plan.size(); ++j) {
            const Anchor &a = plan[j - 1], &b = plan[j];
            for (int i = a.station + 1; i < b.station; ++i)
                r.stations[i].km = between(a, b, r.stations[i].km);
            r.stations[b.station].km = b.official;
        }
        int j = 1;
        for (double& km : r.trackKm) {
            while (j < plan.size() - 1 && km > plan[j].measured)
                ++j;
            km = between(plan[j - 1], plan[j], km);
        }
        r.trackKm.last() = plan.last().official;
    }

    void classify(DerivedRoute& r, const Company& company, const QString& category, const QString& lineName) {
        QHash<int, int> prefCount;
        for (const DerivedStation& s : std::as_const(r.stations))
            if (s.prefecture > 0)
                ++prefCount[s.prefecture];
        int pref = 13;
        int most = 0;
        for (auto it = prefCount.cbegin(); it != prefCount.cend(); ++it)
            if (it.value() > most || (it.value() == most && it.key() < pref)) {
                most = it.value();
                pref = it.key();
            }
        const QString region = regionOf(pref);
        if (company.type == 1 && isJr(company.code)) {
            r.bunrui = QStringLiteral("10%1").arg(company.code);
            static const char* const jrNames[] = {"",           "ＪＲ北海道", "ＪＲ東日本", "ＪＲ東海",
                                                  "ＪＲ西日本", "ＪＲ四国",   "ＪＲ九州"};
            r.bunruiName = QString::fromUtf8(jrNames[company.code]);
            if (!category.isEmpty())
                r.kbn = categoryCode(category);
            else if (r.name.endsWith(QStringLiteral("新幹線")))
                r.kbn = QStringLiteral("13");
            else
                r.kbn = QStringLiteral("12");
            return;
        }
        const QString kind = lineKind(m_rules, lineName);
        QString opKind = m_rules.operatorKind.value(company.name);
        if (company.code < 0)
            opKind = m_rules.lineOperators.value(lineName).second;
        if (opKind.isEmpty()) {
            if (company.type == 2)
                opKind = QStringLiteral("大手");
            else if (company.name.endsWith(QStringLiteral("交通局")) || company.name.contains(QStringLiteral("県営")) ||
                     company.name.contains(QStringLiteral("市営")))
                opKind = QStringLiteral("公営");
            else
                opKind = QStringLiteral("中小");
        }
        bool parallel = opKind == QStringLiteral("並行在来線");
        bool tram = kind == QStringLiteral("路面電車");
        if (!category.isEmpty()) {
            tram = category == QStringLiteral("路面電車");
            parallel = category == QStringLiteral("並行在来線");
            if (category == QStringLiteral("第三セクター") || parallel)
                opKind = QStringLiteral("三セク");
        }
        if (parallel)
            opKind = QStringLiteral("三セク");
        const ClassRule c =
            m_rules.classes.value((tram ? QStringLiteral("路面電車") : opKind) + QLatin1Char('|') + region);
        r.bunrui = c.code.isEmpty() ? QStringLiteral("601") : c.code;
        r.bunruiName = c.name;
        if (!category.isEmpty()) {
            r.kbn = categoryCode(category);
            return;
        }
        r.kbn = c.category.isEmpty() ? QStringLiteral("22") : c.category;
        if (kind == QStringLiteral("地下鉄"))
            r.kbn = QStringLiteral("31");
        else if (kind == QStringLiteral("鋼索鉄道"))
            r.kbn = QStringLiteral("23");
        else if (tram)
            r.kbn = QStringLiteral("51");
        else if (parallel)
            r.kbn = QStringLiteral("42");
        else if (opKind == QStringLiteral("公営"))
            r.kbn = QStringLiteral("22"); // a public operator's line that is neither subway nor tram
    }

    void finish(DerivedRoute& r, bool inService) {
        r.inService = inService;
        r.key = QStringList{r.operatorName, r.name, r.start(), r.end(),
                            r.haishiDate.isEmpty() && inService ? QString() : QStringLiteral("廃")}
                    .join(QLatin1Char('|'));
        // Two routes of one key (the same name between the same terminals) are told apart by their data line.
        if (m_keys.contains(r.key))
            r.key += QLatin1Char('|') + r.lineName;
        m_keys.insert(r.key);
        const int index = m_routes.size();
        auto& at = inService ? m_onRoute : m_onClosedRoute;
        for (const DerivedStation& s : std::as_const(r.stations))
            at[s.code].append({index, s.km});
        m_routeGroup << group(r.companyCode);
        m_routes << r;
    }

    // The JR companies count as one operator: their service lines run over each other's routes.
    static int group(int company) { return isJr(company) ? 1 : company; }

    // True when a route of the operator runs from a to b along about the edge's length: the edge's track is
    // counted already. Other operators' routes do not count: their stations share the data set's codes.
    bool covered(int edge, bool inService) const {
        const GraphEdge& e = m_g.edges[edge];
        const auto& at = inService ? m_onRoute : m_onClosedRoute;
        const Line* line = m_lineByCode.value(e.line);
        const int g = group(line ? line->companyCode : 0);
        const auto ra = at.value(e.a);
        if (ra.isEmpty())
            return false;
        // The register holds every JR route in service: a JR service's step between two stations of JR routes
        // runs on their track (湘南新宿ライン's 赤羽～池袋 over the freight tracks of 東北本線 and 山手線), even
        // where no single route holds both stations.
        if (inService && g == 1) {
            const auto rb = at.value(e.b);
            const auto jr = [this](const std::pair<int, double>& x) { return m_routeGroup[x.first] == 1; };
            if (std::any_of(ra.begin(), ra.end(), jr) && std::any_of(rb.begin(), rb.end(), jr))
                return true;
        }
        for (const auto& [r, kmB] : at.value(e.b)) {
            if (m_routeGroup[r] != g)
                continue;
            for (const auto& [r2, kmA] : ra) {
                if (r2 != r)
                    continue;
                const double step = std::abs(kmB - kmA);
                if (std::abs(step - e.km) <= 0.2 * e.km + 0.5)
                    return true;
                // Neighbours on the route that the line measures shorter or a little longer (a station the
                // line's track passes at a distance, so that two stations fall on one post): the same step.
                if (e.km <= step + kNeighbourSlackKm && neighbours(r, kmA, kmB))
                    return true;
            }
        }
        return false;
    }

    // True when no station of route r lies strictly between the posts a and b.
    bool neighbours(int r, double a, double b) const {
        const double lo = std::min(a, b), hi = std::max(a, b);
        const QList<DerivedStation>& stations = m_routes[r].stations;
        return std::none_of(stations.begin(), stations.end(),
                            [&](const DerivedStation& s) { return s.km > lo + 1e-9 && s.km < hi - 1e-9; });
    }

    // A data-set line as routes: its runs of edges that no route covers.
    void addLine(const Line& line, bool inService) {
        const QList<int> edges = m_g.lineEdges.value(line.code);
        QList<Path> runs;
        Path run;
        auto close = [&]() {
            if (!run.edges.isEmpty())
                runs << run;
            run = {};
        };
        bool partly = false;
        for (int e : edges) {
            const GraphEdge& edge = m_g.edges[e];
            const bool gone = inService && m_removed.contains(e);
            if (gone || covered(e, inService) || (!inService && covered(e, true))) {
                partly = true;
                close();
                continue;
            }
            if (!run.nodes.isEmpty() && run.nodes.last() != edge.a)
                close();
            if (run.nodes.isEmpty())
                run.nodes << edge.a;
            if (run.nodes.contains(edge.b)) { // a loop closes: the ring's last step returns to its start
                if (edge.b != run.nodes.first()) {
                    close();
                    continue;
                }
            }
            run.nodes << edge.b;
            run.edges << e;
            run.km += edge.km;
        }
        close();
        // Out to one station and straight back (a station beside another route's that the line's order visits
        // on the way) is no ring and no route: the station is on the route the register gives it.
        runs.removeIf([](const Path& p) { return p.nodes.size() <= 3 && p.nodes.first() == p.nodes.last(); });
        if (runs.isEmpty())
            return;
        const Company company = m_companies.value(line.companyCode);
        for (Path& p : runs) {
            // The data set lists some lines with the stations of through services beyond their own track.
            QStringList dropped;
            auto off = [&](int code) { return m_g.offTrack.contains((qint64(line.code) << 32) | quint32(code)); };
            while (p.edges.size() > 1 && off(p.nodes.first())) {
                dropped << station(p.nodes.takeFirst()).name;
                p.km -= m_g.edges[p.edges.takeFirst()].km;
            }
            while (p.edges.size() > 1 && off(p.nodes.last())) {
                dropped << station(p.nodes.takeLast()).name;
                p.km -= m_g.edges[p.edges.takeLast()].km;
            }
            if (!dropped.isEmpty())
                m_report << QStringLiteral("%1: 線路から離れた端の駅（%2）は他の路線の区間として除きました。")
                                .arg(where(line), dropped.join(QStringLiteral("、")));
            DerivedRoute r = assemble(p);
            r.lineCode = line.code;
            r.lineName = line.name;
            r.name = routeName(m_rules, line, &company);
            r.kana = routeKana(line.kana);
            r.operatorName = m_rules.operatorName.value(company.name, company.name);
            r.companyCode = line.companyCode;
            if (!inService) {
                r.haishiDate = line.closedDate;
                if (r.haishiDate.isEmpty())
                    for (const DerivedStation& s : std::as_const(r.stations))
                        r.haishiDate = std::max(r.haishiDate, station(s.code).closedDate);
                if (r.haishiDate.isEmpty())
                    m_report << QStringLiteral("%1: 廃止日がないので廃止路線 %2 の廃止日を空けました。")
                                    .arg(where(line), r.name);
            }
            classify(r, company, QString(), line.name);
            if (isJr(line.companyCode) && inService)
                m_report << QStringLiteral(
                                "%1: 登録簿にない JR の路線なので、%2（%3～%4）は測った長さのまま取り込みました。")
                                .arg(where(line), r.name, r.start(), r.end());
            else if (partly && inService)
                m_report << QStringLiteral("%1: 他の路線が通らない %2～%3 を路線 %4 としました。")
                                .arg(where(line), r.start(), r.end(), r.name);
            finish(r, inService);
        }
    }

    // Runs of closed stations on a line in service (an old alignment, a closed head or tail) as abolished
    // sections: never part of the route in service.
    void addClosedSections(const Line& line) {
        QList<int> closedEdges;
        for (int e = 0; e < m_g.edges.size(); ++e)
            if (m_g.edges[e].line == line.code && !m_g.edges[e].open)
                closedEdges << e;
        if (closedEdges.isEmpty())
            return;
        QList<Path> runs;
        Path run;
        for (int e : std::as_const(closedEdges)) {
            const GraphEdge& edge = m_g.edges[e];
            if (!run.nodes.isEmpty() && run.nodes.last() != edge.a) {
                runs << run;
                run = {};
            }
            if (run.nodes.isEmpty())
                run.nodes << edge.a;
            run.nodes << edge.b;
            run.edges << e;
            run.km += edge.km;
        }
        runs << run;
        const Company company = m_companies.value(line.companyCode);
        for (const Path& p : std::as_const(runs)) {
            const int a = p.nodes.first(), b = p.nodes.last();
            const bool aOpen = !station(a).closed, bOpen = !station(b).closed;
            if (aOpen && bOpen) {
                // A closed station between two in service on the same track is no section of its own.
                bool same = false;
                for (int e : m_g.adjacent.value(a)) {
                    if (!m_g.edges[e].open || m_g.other(e, a) != b)
                        continue;
                    bool onTrack = true;
                    for (int k = 1; k + 1 < p.nodes.size() && onTrack; ++k)
                        onTrack = offPolyline(station(p.nodes[k]).pos, m_g.edges[e].track) <= kInlineKm;
                    same = same || onTrack;
                }
                if (same)
                    continue;
            }
            bool onClosed = true;
            for (int i = 0; i < p.edges.size() && onClosed; ++i)
                onClosed = covered(p.edges[i], false);
            if (onClosed)
                continue;
            DerivedRoute r = assemble(p);
            r.lineCode = line.code;
            r.lineName = line.name;
            r.name = routeName(m_rules, line, &company);
            r.kana = routeKana(line.kana);
            r.operatorName = m_rules.operatorName.value(company.name, company.name);
            r.companyCode = line.companyCode;
            for (const DerivedStation& s : std::as_const(r.stations))
                r.haishiDate = std::max(r.haishiDate, station(s.code).closedDate);
            if (r.haishiDate.isEmpty())
                m_report << QStringLiteral("%1: 廃止日がないので廃止路線 %2 の廃止日を空けました。")
                                .arg(where(line), r.name);
            classify(r, company, QString(), line.name);
            finish(r, false);
        }
    }

    const Source& m_src;
    const TrackGraph& m_g;
    const Register& m_reg;
    const Rules& m_rules;
    QStringList& m_report;
    QHash<int, Company> m_companies;
    QList<Line> m_lines;
    QHash<int, const Line*> m_lineByCode;
    QHash<QString, int> m_operators;
    QHash<QString, QList<int>> m_byName;
    QSet<int> m_removed;
    QHash<int, QList<std::pair<int, double>>> m_onRoute, m_onClosedRoute; // station -> (route, post)
    QList<int> m_routeGroup;
    mutable bool m_penalise = false;
    QSet<QString> m_keys;
    QList<DerivedRoute> m_routes;
    QHash<QString, QList<const PostAnchor*>> m_anchors; // operator|route -> its official station posts
    QMap<int, QList<Anchor>> m_plans;                   // route index -> the anchors it is scaled on
};

const QStringList& codes() {
    static const QStringList c{QStringLiteral("13"), QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("21"),
                               QStringLiteral("22"), QStringLiteral("23"), QStringLiteral("31"), QStringLiteral("41"),
                               QStringLiteral("42"), QStringLiteral("51")};
    return c;
}

} // namespace

QString categoryCode(const QString& category) {
    const int i = Register::categories().indexOf(category);
    return i < 0 ? QString() : codes()[i];
}

QString categoryName(const QString& code) {
    const int i = codes().indexOf(code);
    return i < 0 ? code : Register::categories()[i];
}

QList<DerivedRoute> buildRoutes(const Source& source, const TrackGraph& graph, const Register& reg, const Rules& rules,
                                QStringList& report) {
    return Builder(source, graph, reg, rules, report).run();
}

} // namespace tabi::net
