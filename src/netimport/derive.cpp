// From the data set's lines to the routes of the route master: cutting, classifying, and the kilometre posts
// measured along the track.
#include "netimport/netimport.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>

namespace tabi::net {

namespace {

constexpr double kFarOffKm = 1.0;     // a station farther than this from every track is measured straight
constexpr double kJumpKm = 5.0;       // a step in the station order this long may be a jump to a branch
constexpr double kDetourFactor = 3.0; // a track path this much longer than the straight line is doubted

// ---- track graph of one data-set line ----

struct Edge {
    int track = 0;
    int from = 0, to = 0; // node numbers
    double length = 0;
};

struct Projection {
    int track = -1;
    int step = 0;
    double t = 0;
    double along = 0; // km from the track's first point
    double off = std::numeric_limits<double>::infinity();
};

class TrackGraph {
public:
    explicit TrackGraph(QList<Track> tracks) : m_tracks(std::move(tracks)) {
        QHash<qint64, int> nodes;
        auto node = [&](const GeoPoint& p) {
            const qint64 key = qint64(std::llround(p.lat * 1e5)) * 100000000LL + qint64(std::llround(p.lon * 1e5));
            auto it = nodes.find(key);
            if (it != nodes.end())
                return it.value();
            const int n = nodes.size();
            nodes.insert(key, n);
            return n;
        };
        for (int i = 0; i < m_tracks.size(); ++i) {
            const Track& t = m_tracks[i];
            QVector<double> cum(t.size(), 0.0);
            for (int k = 1; k < t.size(); ++k)
                cum[k] = cum[k - 1] + stepKm(t[k - 1], t[k]);
            m_cum << cum;
            m_edges.append({i, node(t.first()), node(t.last()), cum.last()});
            Box box{t.first().lat, t.first().lat, t.first().lon, t.first().lon};
            for (const GeoPoint& g : t) {
                box.south = std::min(box.south, g.lat);
                box.north = std::max(box.north, g.lat);
                box.west = std::min(box.west, g.lon);
                box.east = std::max(box.east, g.lon);
            }
            m_boxes << box;
        }
        m_nodeCount = nodes.size();
        m_adjacent.resize(m_nodeCount);
        for (int e = 0; e < m_edges.size(); ++e) {
            m_adjacent[m_edges[e].from].append(e);
            m_adjacent[m_edges[e].to].append(e);
        }
    }

    bool isEmpty() const { return m_tracks.isEmpty(); }

    Projection project(const GeoPoint& p) const {
        Projection best;
        const LocalScale scale(p.lat);
        for (int i = 0; i < m_tracks.size(); ++i) {
            const Track& t = m_tracks[i];
            // A track whose bounding box lies farther than the best distance so far cannot be nearer.
            const Box& box = m_boxes[i];
            const double dy = std::max({0.0, box.south - p.lat, p.lat - box.north}) * scale.kmPerDegLat;
            const double dx = std::max({0.0, box.west - p.lon, p.lon - box.east}) * scale.kmPerDegLon;
            if (std::sqrt(dx * dx + dy * dy) > best.off)
                continue;
            for (int k = 1; k < t.size(); ++k) {
                const StepProjection sp = projectOnStep(p, t[k - 1], t[k], scale);
                if (sp.offKm < best.off) {
                    best.off = sp.offKm;
                    best.track = i;
                    best.step = k;
                    best.t = sp.t;
                    best.along = m_cum[i][k - 1] + sp.t * (m_cum[i][k] - m_cum[i][k - 1]);
                }
            }
        }
        return best;
    }

    // The shortest way along the tracks from a to b, as points; empty when the tracks do not join them.
    QVector<GeoPoint> path(const Projection& a, const Projection& b) const {
        const double inf = std::numeric_limits<double>::infinity();
        double direct = inf;
        if (a.track == b.track)
            direct = std::abs(b.along - a.along);
        // Dijkstra from a's two track ends.
        QVector<double> dist(m_nodeCount, inf);
        QVector<int> viaEdge(m_nodeCount, -1); // edge by which the node was reached; -1 = from a's own track
        const Edge& ea = m_edges[a.track];
        using Item = std::pair<double, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        auto relax = [&](int n, double d, int via) {
            if (d < dist[n]) {
                dist[n] = d;
                viaEdge[n] = via;
                queue.push({d, n});
            }
        };
        relax(ea.from, a.along, -1);
        relax(ea.to, ea.length - a.along, -2);
        while (!queue.empty()) {
            const auto [d, n] = queue.top();
            queue.pop();
            if (d > dist[n])
                continue;
            for (int e : m_adjacent[n]) {
                const Edge& edge = m_edges[e];
                relax(edge.from == n ? edge.to : edge.from, d + edge.length, e);
            }
        }
        const Edge& eb = m_edges[b.track];
        const double viaFrom = dist[eb.from] + b.along;
        const double viaTo = dist[eb.to] + (eb.length - b.along);
        const double best = std::min({direct, viaFrom, viaTo});
        if (!std::isfinite(best))
            return {};
        if (best == direct)
            return along(a.track, a, b);
        // Walk back from the node where b's track was entered. A track whose two ends meet (a ring) has one
        // node for both, so the ends are told apart by how they were reached, not by the node.
        const bool entryAtFrom = best == viaFrom;
        const int entry = entryAtFrom ? eb.from : eb.to;
        QList<std::pair<int, int>> hops; // (edge, node at its far end from a)
        int n = entry;
        while (viaEdge[n] >= 0) {
            const int e = viaEdge[n];
            hops.prepend({e, n});
            n = m_edges[e].from == n ? m_edges[e].to : m_edges[e].from;
        }
        // n is now one of a's track ends: -1 marks the first, -2 the last.
        QVector<GeoPoint> points = along(a.track, a, endOf(a.track, viaEdge[n] == -1 ? 0 : 1));
        for (const auto& [e, far] : hops) {
            const Track& t = m_tracks[m_edges[e].track];
            const bool forward = m_edges[e].to == far;
            for (int k = 1; k < t.size(); ++k)
                points << (forward ? t[k] : t[t.size() - 1 - k]);
        }
        const QVector<GeoPoint> tail = along(b.track, endOf(b.track, entryAtFrom ? 0 : 1), b);
        for (int k = 1; k < tail.size(); ++k)
            points << tail[k];
        return points;
    }

private:
    Projection endOf(int track, int end) const {
        Projection p;
        p.track = track;
        const Track& t = m_tracks[track];
        if (end == 0) {
            p.step = 1;
            p.t = 0;
            p.along = 0;
        } else {
            p.step = t.size() - 1;
            p.t = 1;
            p.along = m_cum[track].last();
        }
        p.off = 0;
        return p;
    }

    static GeoPoint pointAt(const Track& t, const Projection& p) {
        const GeoPoint& a = t[p.step - 1];
        const GeoPoint& b = t[p.step];
        return {a.lat + p.t * (b.lat - a.lat), a.lon + p.t * (b.lon - a.lon)};
    }

    // Points along one track from projection a to projection b, either way.
    QVector<GeoPoint> along(int track, const Projection& a, const Projection& b) const {
        const Track& t = m_tracks[track];
        QVector<GeoPoint> points{pointAt(t, a)};
        if (b.along >= a.along) {
            for (int k = a.step; k < b.step; ++k)
                points << t[k];
        } else {
            for (int k = a.step - 1; k >= b.step; --k)
                points << t[k];
        }
        points << pointAt(t, b);
        return points;
    }

    struct Box {
        double south, north, west, east;
    };
    QList<Track> m_tracks;
    QList<Box> m_boxes;
    QList<QVector<double>> m_cum;
    QList<Edge> m_edges;
    QVector<QList<int>> m_adjacent;
    int m_nodeCount = 0;
};

double polylineKm(const QVector<GeoPoint>& points) {
    double km = 0;
    for (int k = 1; k < points.size(); ++k)
        km += stepKm(points[k - 1], points[k]);
    return km;
}

// ---- pieces: runs of stations of one data-set line that become one route ----

struct Piece {
    const Line* line = nullptr;
    QList<int> stations; // station codes in travelling order
    QString name;        // route name
    int company = 0;
    bool abolished = false;
    QString haishi;
    bool serviceRoute = false; // a tram service (系統) that may repeat other lines' track
    // Filled by measure():
    QList<double> km;
    QVector<GeoPoint> track;
    QVector<double> trackKm;
};

QString stripNotes(QString name) {
    static const QRegularExpression tail(QStringLiteral("[(（][^()（）]*[)）]\\s*$"));
    for (int i = 0; i < 3 && tail.match(name).hasMatch(); ++i)
        name.remove(tail);
    return name.trimmed();
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
            if (name.startsWith(p)) {
                const QString rest = name.mid(p.size());
                if (!rest.isEmpty() && !rest.startsWith(QChar(0x7DDA)) && !rest.startsWith(QLatin1Char('(')) &&
                    !rest.startsWith(QChar(0xFF08))) {
                    name = rest;
                    again = true;
                    break;
                }
            }
        }
    }
    return name;
}

QString routeKana(const Line& line) {
    QString kana = stripNotes(line.kana);
    if (kana.startsWith(QStringLiteral("じぇいあーる")))
        kana = kana.mid(6);
    return kana;
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

int indexOfName(const Source& src, const QList<int>& stations, const QString& name, int from = 0) {
    for (int i = from; i < stations.size(); ++i)
        if (src.stations.value(stations[i]).name == name)
            return i;
    return -1;
}

QString where(const Source& src, const Line& line) {
    return QStringLiteral("%1/line.csv の %2 行目（%3）")
        .arg(QDir::toNativeSeparators(src.layout.lineDir))
        .arg(line.fileLine)
        .arg(line.name);
}

// Cuts a line's station order into pieces by the section, branch, jump, border and abolition rules.
QList<Piece> cutLine(const Source& src, const QHash<int, Company>& companies, const Rules& rules, const Line& line,
                     QStringList& report) {
    QList<int> order = src.order.value(line.code);
    const auto cit = companies.constFind(line.companyCode);
    const Company* company = cit != companies.constEnd() ? &*cit : nullptr;
    auto station = [&](int code) -> const Station& { return *src.stations.constFind(code); };

    if (auto it = rules.sections.find(line.name); it != rules.sections.end()) {
        const SectionRule& s = it.value();
        const int a = indexOfName(src, order, s.first);
        if (a < 0) {
            report
                << QStringLiteral("%1: 区間の始点 %2 がないので全体を取り込みました。").arg(where(src, line), s.first);
        } else {
            QList<int> cut;
            const int n = order.size();
            for (int k = 0; k <= n; ++k) {
                const int i = s.loop ? (a + k) % n : a + k;
                if (i >= n)
                    break;
                cut << order[i];
                if (k > 0 && station(order[i]).name == s.last)
                    break;
                if (!s.loop && k == n - 1)
                    break;
            }
            if (station(cut.last()).name != s.last || cut.size() < 2)
                report << QStringLiteral("%1: 区間の終点 %2 がないので全体を取り込みました。")
                              .arg(where(src, line), s.last);
            else
                order = cut;
        }
    }

    Piece base;
    base.line = &line;
    base.name = routeName(rules, line, company);
    base.company = line.companyCode;
    base.serviceRoute = line.name.contains(QStringLiteral("系統"));
    if (line.closed) {
        base.abolished = true;
        base.haishi = line.closedDate;
    }

    QList<Piece> pieces;
    // Branches listed inside the line's order.
    for (const BranchRule& b : rules.branches.value(line.name)) {
        const int first = indexOfName(src, order, b.first);
        const int last = first < 0 ? -1 : indexOfName(src, order, b.last, first);
        const int from = b.from.isEmpty() ? -2 : indexOfName(src, order, b.from);
        const int to = b.to.isEmpty() ? -2 : indexOfName(src, order, b.to);
        if (first < 0 || last < 0 || from == -1 || to == -1) {
            report
                << QStringLiteral("%1: 支線 %2 の駅が揃わないので切り分けませんでした。").arg(where(src, line), b.name);
            continue;
        }
        Piece branch = base;
        branch.name = b.name;
        if (from >= 0)
            branch.stations << order[from];
        branch.stations << order.mid(first, last - first + 1);
        if (to >= 0)
            branch.stations << order[to];
        pieces << branch;
        order = order.mid(0, first) + order.mid(last + 1);
    }

    // Jumps left in the order: a station far from the one before it but near an earlier one starts a new
    // piece from that earlier station.
    QList<QList<int>> runs{{}};
    for (int i = 0; i < order.size(); ++i) {
        QList<int>& run = runs.last();
        if (!run.isEmpty()) {
            const double step = stepKm(station(run.last()).pos, station(order[i]).pos);
            if (step > kJumpKm && run.size() >= 2) {
                int nearest = -1;
                double nearestKm = step / 3;
                for (int j = 0; j + 1 < run.size(); ++j) {
                    const double d = stepKm(station(run[j]).pos, station(order[i]).pos);
                    if (d < nearestKm) {
                        nearestKm = d;
                        nearest = j;
                    }
                }
                if (nearest >= 0) {
                    report << QStringLiteral("%1: 駅の並びが %2 から %3 へ飛ぶので、%4 からの別の路線にしました。")
                                  .arg(where(src, line), station(run.last()).name, station(order[i]).name,
                                       station(run[nearest]).name);
                    runs.append(QList<int>{run[nearest]});
                }
            }
        }
        runs.last() << order[i];
    }
    for (const QList<int>& run : std::as_const(runs)) {
        Piece p = base;
        p.stations = run;
        pieces << p;
    }

    // JR company borders.
    for (const BorderRule& border : rules.borders.value(line.name)) {
        QList<Piece> split;
        for (Piece& p : pieces) {
            const int at = indexOfName(src, p.stations, border.station);
            if (at <= 0 || at >= p.stations.size() - 1) {
                split << p;
                continue;
            }
            Piece before = p, after = p;
            before.stations = p.stations.mid(0, at + 1);
            after.stations = p.stations.mid(at);
            after.company = border.company;
            split << before << after;
        }
        pieces = split;
    }

    // Abolished runs at the head or tail of a line in service become abolished routes of their own.
    if (!line.closed) {
        QList<Piece> split;
        for (Piece& p : pieces) {
            auto closedRun = [&](bool head) {
                int n = 0;
                const int size = p.stations.size();
                while (n < size - 1 && station(p.stations[head ? n : size - 1 - n]).closed)
                    ++n;
                return n;
            };
            const int head = closedRun(true);
            const int tail = closedRun(false);
            auto latest = [&](const QList<int>& codes) {
                QString date;
                for (int c : codes)
                    date = std::max(date, station(c).closedDate);
                return date;
            };
            if (head + tail >= p.stations.size() - 1) {
                // Every station but one end is closed: the whole piece is an abolished section.
                if (head + tail > 0) {
                    p.abolished = true;
                    p.haishi = latest(p.stations);
                }
                split << p;
                continue;
            }
            if (head > 0) {
                Piece a = p;
                a.stations = p.stations.mid(0, head + 1);
                a.abolished = true;
                a.haishi = latest(p.stations.mid(0, head));
                split << a;
            }
            Piece main = p;
            main.stations = p.stations.mid(head, p.stations.size() - head - tail);
            split << main;
            if (tail > 0) {
                Piece z = p;
                z.stations = p.stations.mid(p.stations.size() - 1 - tail);
                z.abolished = true;
                z.haishi = latest(p.stations.mid(p.stations.size() - tail));
                split << z;
            }
        }
        pieces = split;
    }
    for (Piece& p : pieces)
        if (p.abolished && p.haishi.isEmpty()) {
            report << QStringLiteral("%1: 廃止日がないので廃止路線 %2 の廃止日を空けました。")
                          .arg(where(src, line), p.name);
        }
    return pieces;
}

// Posts of a piece's stations along its line's tracks (straight between stations where no track serves).
void measure(const Source& src, const TrackGraph& graph, Piece& p, QStringList& report) {
    QList<Projection> proj;
    proj.reserve(p.stations.size());
    for (int code : std::as_const(p.stations)) {
        const Station& s = src.stations[code];
        Projection pr = graph.isEmpty() ? Projection{} : graph.project(s.pos);
        if (!graph.isEmpty() && pr.off > kFarOffKm) {
            report << QStringLiteral("%1: 駅 %2 が線路から %3 km 離れているので、前後は直線で測りました。")
                          .arg(where(src, *p.line), s.name)
                          .arg(pr.off, 0, 'f', 1);
            pr.track = -1;
        }
        proj << pr;
    }
    p.km = {0.0};
    p.track = {src.stations[p.stations.first()].pos};
    p.trackKm = {0.0};
    for (int i = 1; i < p.stations.size(); ++i) {
        const GeoPoint a = src.stations[p.stations[i - 1]].pos;
        const GeoPoint b = src.stations[p.stations[i]].pos;
        const double straight = stepKm(a, b);
        QVector<GeoPoint> way;
        if (proj[i - 1].track >= 0 && proj[i].track >= 0)
            way = graph.path(proj[i - 1], proj[i]);
        double km = way.isEmpty() ? straight : polylineKm(way);
        if (!way.isEmpty() && km > kDetourFactor * straight + 1.0) {
            report << QStringLiteral("%1: %2～%3 の線路が遠回り（%4 km）なので直線で測りました。")
                          .arg(where(src, *p.line), src.stations[p.stations[i - 1]].name,
                               src.stations[p.stations[i]].name)
                          .arg(km, 0, 'f', 1);
            way.clear();
            km = straight;
        }
        if (way.isEmpty())
            way = {a, b};
        double at = p.trackKm.last();
        for (int k = 1; k < way.size(); ++k) {
            at += stepKm(way[k - 1], way[k]);
            p.track << way[k];
            p.trackKm << at;
        }
        p.km << p.km.last() + km;
        // The polyline's last point is the track point nearest the station; the post is the sum of the steps.
        p.trackKm.last() = p.km.last();
    }
}

// The data set lists some lines with the stations of through services beyond their own track; such head
// and tail runs lie off every track of the line and belong to other lines.
void trimThroughRuns(const Source& src, const TrackGraph& graph, Piece& p, QStringList& report) {
    auto off = [&](int code) { return graph.project(src.stations[code].pos).off > kFarOffKm; };
    QStringList dropped;
    while (p.stations.size() > 2 && off(p.stations.first()))
        dropped << src.stations[p.stations.takeFirst()].name;
    while (p.stations.size() > 2 && off(p.stations.last()))
        dropped << src.stations[p.stations.takeLast()].name;
    if (!dropped.isEmpty())
        report << QStringLiteral("%1: 線路から離れた端の駅（%2）は他の路線の区間として除きました。")
                      .arg(where(src, *p.line), dropped.join(QStringLiteral("、")));
}

void reverse(Piece& p) {
    std::reverse(p.stations.begin(), p.stations.end());
    const double total = p.km.last();
    std::reverse(p.km.begin(), p.km.end());
    for (double& k : p.km)
        k = total - k;
    std::reverse(p.track.begin(), p.track.end());
    std::reverse(p.trackKm.begin(), p.trackKm.end());
    for (double& k : p.trackKm)
        k = total - k;
}

// b continues a: b's stations after the shared one, its posts and track shifted by a's length.
void append(Piece& a, const Piece& b) {
    const double offset = a.km.last();
    for (int i = 1; i < b.stations.size(); ++i) {
        a.stations << b.stations[i];
        a.km << offset + b.km[i];
    }
    for (int k = 1; k < b.track.size(); ++k) {
        a.track << b.track[k];
        a.trackKm << offset + b.trackKm[k];
    }
}

} // namespace

QList<DerivedRoute> deriveRoutes(const Source& src, const Rules& rules, QStringList& report) {
    QList<Piece> pieces;
    // Lines that name no company get an operator of their own, from the rule table or from their name.
    QHash<int, Company> companies = src.companies;
    QList<Line> lines = src.lines;
    for (Line& line : lines) {
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
        companies.insert(c.code, c);
    }
    for (const Line& line : std::as_const(lines)) {
        if (rules.drop.contains(line.name))
            continue;
        if (!companies.contains(line.companyCode)) {
            report << QStringLiteral("%1: 事業者コード %2 が company.csv にないので飛ばしました。")
                          .arg(where(src, line))
                          .arg(line.companyCode);
            continue;
        }
        if (src.order.value(line.code).size() < 2) {
            report << QStringLiteral("%1: 駅が 2 つ未満なので飛ばしました。").arg(where(src, line));
            continue;
        }
        QList<Piece> cut = cutLine(src, companies, rules, line, report);
        const TrackGraph graph(readTracks(src.layout, line.code));
        if (graph.isEmpty())
            report << QStringLiteral("%1: 線路の形（polyline）がないので、駅の間を直線で測りました。")
                          .arg(where(src, line));
        for (Piece& p : cut) {
            if (!graph.isEmpty())
                trimThroughRuns(src, graph, p, report);
            if (p.stations.size() < 2)
                continue;
            measure(src, graph, p, report);
            pieces << p;
        }
    }

    // Tram services (系統) run over each other's track: keep only the runs no other line of the operator
    // has covered already.
    {
        QHash<int, QSet<QString>> edges; // company -> "a|b" (names, sorted)
        auto edgeKey = [&](int a, int b) {
            QString x = src.stations[a].name, y = src.stations[b].name;
            if (y < x)
                std::swap(x, y);
            return x + QLatin1Char('|') + y;
        };
        for (const Piece& p : std::as_const(pieces))
            if (!p.serviceRoute)
                for (int i = 1; i < p.stations.size(); ++i)
                    edges[p.company].insert(edgeKey(p.stations[i - 1], p.stations[i]));
        QList<Piece> kept;
        for (Piece& p : pieces) {
            if (!p.serviceRoute) {
                kept << p;
                continue;
            }
            int i = 1;
            bool anyCovered = false;
            while (i < p.stations.size()) {
                while (i < p.stations.size() && edges[p.company].contains(edgeKey(p.stations[i - 1], p.stations[i]))) {
                    anyCovered = true;
                    ++i;
                }
                const int start = i - 1;
                while (i < p.stations.size() && !edges[p.company].contains(edgeKey(p.stations[i - 1], p.stations[i]))) {
                    edges[p.company].insert(edgeKey(p.stations[i - 1], p.stations[i]));
                    ++i;
                }
                const int end = i - 1;
                if (end > start) {
                    Piece run = p;
                    run.stations = p.stations.mid(start, end - start + 1);
                    run.km.clear();
                    for (int k = start; k <= end; ++k)
                        run.km << p.km[k] - p.km[start];
                    run.track.clear();
                    run.trackKm.clear();
                    for (int k = 0; k < p.track.size(); ++k)
                        if (p.trackKm[k] >= p.km[start] - 1e-9 && p.trackKm[k] <= p.km[end] + 1e-9) {
                            run.track << p.track[k];
                            run.trackKm << p.trackKm[k] - p.km[start];
                        }
                    if (run.track.size() < 2) {
                        run.track = {src.stations[run.stations.first()].pos, src.stations[run.stations.last()].pos};
                        run.trackKm = {0.0, run.km.last()};
                    }
                    kept << run;
                }
            }
            if (anyCovered)
                report << QStringLiteral("%1: 他の路線と重なる区間を除きました。").arg(where(src, *p.line));
        }
        pieces = kept;
    }

    // Pieces of one route (same operator, name and state) that meet end to end are joined, as long as no
    // third piece also ends at the joint (a fork stays apart).
    for (bool joined = true; joined;) {
        joined = false;
        for (int i = 0; i < pieces.size() && !joined; ++i) {
            for (int j = 0; j < pieces.size() && !joined; ++j) {
                if (i == j)
                    continue;
                Piece& a = pieces[i];
                Piece& b = pieces[j];
                if (a.company != b.company || a.name != b.name || a.abolished != b.abolished || a.haishi != b.haishi)
                    continue;
                const QString aEnd = src.stations[a.stations.last()].name;
                const QString bStart = src.stations[b.stations.first()].name;
                const QString bEnd = src.stations[b.stations.last()].name;
                if (aEnd != bStart && aEnd != bEnd)
                    continue;
                if (src.stations[a.stations.first()].name == aEnd)
                    continue; // a loop
                int ends = 0;
                for (const Piece& c : std::as_const(pieces))
                    if (c.company == a.company && c.name == a.name && c.abolished == a.abolished &&
                        (src.stations[c.stations.first()].name == aEnd || src.stations[c.stations.last()].name == aEnd))
                        ++ends;
                if (ends != 2)
                    continue;
                Piece next = b;
                if (aEnd != bStart)
                    reverse(next);
                append(a, next);
                pieces.removeAt(j);
                joined = true;
            }
        }
    }

    QList<DerivedRoute> routes;
    QHash<QString, int> keys;
    for (const Piece& p : std::as_const(pieces)) {
        const Company company = companies.value(p.company);
        DerivedRoute r;
        r.lineCode = p.line->code;
        r.lineName = p.line->name;
        r.name = p.name;
        r.kana = routeKana(*p.line);
        r.operatorName = rules.operatorName.value(company.name, company.name);
        r.companyCode = p.company;
        r.haishiDate = p.abolished ? p.haishi : QString();
        for (int i = 0; i < p.stations.size(); ++i) {
            const Station& s = src.stations[p.stations[i]];
            r.stations.append({s.name, s.kana, s.openDate, s.closed, s.pos, s.prefecture, p.km[i]});
        }
        r.track = p.track;
        r.trackKm = p.trackKm;

        // Classification and category.
        const QString kind = lineKind(rules, p.line->name);
        QHash<int, int> prefCount;
        for (const DerivedStation& s : std::as_const(r.stations))
            if (s.prefecture > 0)
                ++prefCount[s.prefecture];
        int pref = 13;
        int most = 0;
        for (auto it = prefCount.begin(); it != prefCount.end(); ++it)
            if (it.value() > most || (it.value() == most && it.key() < pref)) {
                most = it.value();
                pref = it.key();
            }
        const QString region = regionOf(pref);
        if (company.type == 1 && p.company >= 1 && p.company <= 6) {
            r.bunrui = QStringLiteral("10%1").arg(p.company);
            static const char* const jrNames[] = {"",           "ＪＲ北海道", "ＪＲ東日本", "ＪＲ東海",
                                                  "ＪＲ西日本", "ＪＲ四国",   "ＪＲ九州"};
            r.bunruiName = QString::fromUtf8(jrNames[p.company]);
            if (r.name.endsWith(QStringLiteral("新幹線"))) {
                r.kbn = QStringLiteral("13");
            } else {
                QString base = r.name;
                base.remove(QRegularExpression(QStringLiteral("（.*）$")));
                const QString cat = rules.jrCategory.value(base);
                if (cat.isEmpty())
                    report << QStringLiteral("%1: JR の路線表にない %2 は地方交通線としました。")
                                  .arg(where(src, *p.line), base);
                r.kbn = cat == QStringLiteral("幹線") ? QStringLiteral("11") : QStringLiteral("12");
            }
        } else {
            QString opKind = rules.operatorKind.value(company.name);
            if (p.company < 0)
                opKind = rules.lineOperators.value(p.line->name).second;
            if (opKind.isEmpty()) {
                if (company.type == 2)
                    opKind = QStringLiteral("大手");
                else if (company.name.endsWith(QStringLiteral("交通局")) ||
                         company.name.contains(QStringLiteral("県営")) || company.name.contains(QStringLiteral("市営")))
                    opKind = QStringLiteral("公営");
                else
                    opKind = QStringLiteral("中小");
            }
            const bool parallel = opKind == QStringLiteral("並行在来線");
            if (parallel)
                opKind = QStringLiteral("三セク");
            const QString classKind = kind == QStringLiteral("路面電車") ? kind : opKind;
            const ClassRule c = rules.classes.value(classKind + QLatin1Char('|') + region);
            r.bunrui = c.code.isEmpty() ? QStringLiteral("601") : c.code;
            r.bunruiName = c.name;
            r.kbn = c.category.isEmpty() ? QStringLiteral("22") : c.category;
            if (kind == QStringLiteral("地下鉄"))
                r.kbn = QStringLiteral("31");
            else if (kind == QStringLiteral("鋼索鉄道"))
                r.kbn = QStringLiteral("23");
            else if (kind == QStringLiteral("路面電車"))
                r.kbn = QStringLiteral("51");
            else if (parallel)
                r.kbn = QStringLiteral("42");
            else if (opKind == QStringLiteral("公営"))
                r.kbn = QStringLiteral("31");
        }
        if (auto it = rules.official.find(r.name); it != rules.official.end()) {
            const OfficialRule& o = it.value();
            if ((o.start == r.start() && o.end == r.end()) || (o.start == r.end() && o.end == r.start()))
                r.officialKm = o.km;
        }
        r.key = QStringList{r.operatorName, r.name, r.start(), r.end(),
                            r.haishiDate.isEmpty() ? QString() : QStringLiteral("廃")}
                    .join(QLatin1Char('|'));
        // Two routes of one key (the same name between the same terminals) are told apart by their data line.
        if (keys.contains(r.key))
            r.key += QLatin1Char('|') + r.lineName;
        keys.insert(r.key, routes.size());
        routes << r;
    }
    return routes;
}

} // namespace tabi::net
