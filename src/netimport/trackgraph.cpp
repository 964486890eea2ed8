// The track graph of the whole data set: stations as nodes, an edge per consecutive pair of each line measured
// along that line's own polyline.
#include "netimport/trackgraph.h"

#include <QDir>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>

namespace tabi::net {

double polylineKm(const QVector<GeoPoint>& points) {
    double km = 0;
    for (int k = 1; k < points.size(); ++k)
        km += stepKm(points[k - 1], points[k]);
    return km;
}

namespace {

constexpr double kFarOffKm = 1.0;     // a station farther than this from every track is measured straight
constexpr double kDetourFactor = 3.0; // a track path this much longer than the straight line is doubted
// A step whose track is longer than the straight line by this much may run back past stations listed earlier.
constexpr double kBackSlackKm = 0.1;
constexpr double kPassKm = 0.3; // a station this near the track is passed by it
// A station passed by a track (kPassKm off it) lies within this much of the ellipse of the track's ends.
constexpr double kEllipseKm = 2 * kPassKm + 0.1;
// A step is split at a station it passes only where that station is listed this near the step in the order.
constexpr int kNearInOrder = 3;
// The track from a station is taken to run along one of its steps where a point this far along lies this
// near the step's track.
constexpr double kProbeKm = 1.0;
constexpr double kSameTrackKm = 0.03;
constexpr double kNearerShare = 0.95; // without track: an earlier station nearer than this share starts a branch

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

class LineTracks {
public:
    explicit LineTracks(QList<Track> tracks) : m_tracks(std::move(tracks)) {
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

QString where(const Source& src, const Line& line) {
    return QStringLiteral("%1/line.csv の %2 行目（%3）")
        .arg(QDir::toNativeSeparators(src.layout.lineDir))
        .arg(line.fileLine)
        .arg(line.name);
}

} // namespace

TrackGraph TrackGraph::build(const Source& src, QStringList& report, const QHash<int, QList<int>>& openOrders) {
    TrackGraph g;
    const auto station = [&src](int code) -> const Station& {
        static const Station none;
        const auto it = src.stations.constFind(code);
        return it == src.stations.constEnd() ? none : *it;
    };
    // Lines in service are measured on main/'s track wherever it has one, so that the routes in service come
    // out the same whether or not the abolished lines are read.
    SourceLayout openLayout = src.layout;
    if (!src.layout.fallbackPolylineDir.isEmpty())
        std::swap(openLayout.polylineDir, openLayout.fallbackPolylineDir);

    for (const Line& line : src.lines) {
        const QList<int> order = src.order.value(line.code);
        if (order.size() < 2)
            continue;
        auto isOpen = [&](int code) {
            const auto it = src.stations.constFind(code);
            return it != src.stations.constEnd() && !it->closed;
        };
        QList<int> openSeq;
        if (!line.closed)
            for (int c : openOrders.isEmpty() ? order : openOrders.value(line.code))
                if (isOpen(c))
                    openSeq << c;
        const bool anyClosed = line.closed || openSeq.size() != order.size() || !openOrders.isEmpty();
        const LineTracks tracks(readTracks(line.closed ? src.layout : openLayout, line.code));
        QHash<int, Projection> proj;
        auto projection = [&](int code) -> const Projection& {
            auto it = proj.find(code);
            if (it == proj.end()) {
                Projection p = tracks.isEmpty() ? Projection{} : tracks.project(station(code).pos);
                if (!tracks.isEmpty() && p.off > kFarOffKm) {
                    g.offTrack.insert((qint64(line.code) << 32) | quint32(code), p.off);
                    report << QStringLiteral("%1: 駅 %2 が線路から %3 km 離れているので、前後は直線で測りました。")
                                  .arg(where(src, line), station(code).name)
                                  .arg(p.off, 0, 'f', 1);
                    p.track = -1;
                }
                it = proj.insert(code, p);
            }
            return *it;
        };
        auto addEdge = [&](int a, int b, bool open) {
            const GeoPoint pa = station(a).pos, pb = station(b).pos;
            const double straight = stepKm(pa, pb);
            QVector<GeoPoint> way;
            const Projection& qa = projection(a);
            const Projection& qb = projection(b);
            if (qa.track >= 0 && qb.track >= 0)
                way = tracks.path(qa, qb);
            double km = way.isEmpty() ? straight : polylineKm(way);
            if (!way.isEmpty() && km > kDetourFactor * straight + 1.0) {
                report << QStringLiteral("%1: %2～%3 の線路が遠回り（%4 km）なので直線で測りました。")
                              .arg(where(src, line), station(a).name, station(b).name)
                              .arg(km, 0, 'f', 1);
                way.clear();
                km = straight;
            }
            if (way.size() < 2)
                way = {pa, pb};
            way.first() = pa;
            way.last() = pb;
            auto put = [&](int from, int to, double length, QVector<GeoPoint> track) {
                const int e = g.edges.size();
                g.edges.append({from, to, length, line.code, open, std::move(track)});
                g.adjacent[from].append(e);
                g.adjacent[to].append(e);
                return e;
            };
            // A step whose track passes another station of the line is two steps (千歳線's order goes 植苗,
            // 新千歳空港, 南千歳: the track from 植苗 to the airport passes 南千歳).
            QList<std::pair<double, int>> passed; // (km along the way, station)
            QVector<double> cum;
            if (way.size() > 2) {
                cum.resize(way.size());
                cum[0] = 0;
                for (int k = 1; k < way.size(); ++k)
                    cum[k] = cum[k - 1] + stepKm(way[k - 1], way[k]);
                const QList<int>& seq = open ? openSeq : order;
                const int ia = seq.indexOf(a), ib = seq.indexOf(b);
                for (int at = 0; at < seq.size(); ++at) {
                    const int s = seq[at];
                    if (s == a || s == b || (open && !isOpen(s)))
                        continue;
                    // A station listed far from the step elsewhere in the order is passed only where the line
                    // returns to its first station (a ring, 大江戸線's 6); elsewhere it lies beside the track (the
                    // one 新宿 of the data set is near 大江戸線's 都庁前～新宿西口, but its place is after 代々木).
                    if (ia >= 0 && ib >= 0 && at != 0 && std::min(std::abs(at - ia), std::abs(at - ib)) > kNearInOrder)
                        continue;
                    const GeoPoint p = station(s).pos;
                    if (stepKm(pa, p) + stepKm(p, pb) > km + kEllipseKm)
                        continue;
                    const LocalScale scale(p.lat);
                    for (int k = 1; k < way.size(); ++k) {
                        const StepProjection sp = projectOnStep(p, way[k - 1], way[k], scale);
                        if (sp.offKm <= kPassKm) {
                            const double along = cum[k - 1] + sp.t * (cum[k] - cum[k - 1]);
                            if (along > kPassKm && along < cum.last() - kPassKm)
                                passed.append({along, s});
                            break;
                        }
                    }
                }
            }
            if (passed.isEmpty())
                return QList<int>{put(a, b, km, way)};
            std::sort(passed.begin(), passed.end());
            passed.append({cum.last(), b});
            QList<int> made;
            int from = a;
            double fromAlong = 0;
            int k = 1;
            QVector<GeoPoint> piece{pa};
            for (const auto& [along, s] : std::as_const(passed)) {
                while (k < way.size() - 1 && cum[k] < along)
                    piece << way[k++];
                piece << station(s).pos;
                made << put(from, s, along - fromAlong, piece);
                piece = {station(s).pos};
                from = s;
                fromAlong = along;
            }
            return made;
        };
        auto branchPoint = [&](const QList<int>& seq, int i) -> int {
            const Projection& qa = projection(seq[i - 1]);
            const Projection& qb = projection(seq[i]);
            const double straight = stepKm(station(seq[i - 1]).pos, station(seq[i]).pos);
            const QVector<GeoPoint> way = qa.track >= 0 && qb.track >= 0 ? tracks.path(qa, qb) : QVector<GeoPoint>();
            if (way.size() < 2) {
                // No track joins the two: an earlier station nearer to this one than the station before, and
                // nearer to the station before than this one is, is where the branch left.
                int best = -1;
                double bestKm = straight;
                const GeoPoint from = station(seq[i - 1]).pos, to = station(seq[i]).pos;
                for (int j = 0; j + 1 < i; ++j) {
                    const GeoPoint p = station(seq[j]).pos;
                    const double d = stepKm(p, to);
                    if (d < bestKm * kNearerShare && stepKm(from, p) < straight) {
                        bestKm = d / kNearerShare;
                        best = j;
                    }
                }
                return straight > kBackSlackKm ? best : -1;
            }
            const double km = polylineKm(way);
            if (km <= straight + kBackSlackKm)
                return -1; // the track runs straight there: nothing to pass on the way back
            QVector<double> cum(way.size(), 0.0);
            for (int k = 1; k < way.size(); ++k)
                cum[k] = cum[k - 1] + stepKm(way[k - 1], way[k]);
            int best = -1;
            double bestAlong = -1;
            const GeoPoint from = station(seq[i - 1]).pos, to = station(seq[i]).pos;
            for (int j = 0; j + 1 < i; ++j) {
                const GeoPoint p = station(seq[j]).pos;
                if (stepKm(from, p) + stepKm(p, to) > km + kEllipseKm)
                    continue; // too far to lie on the way
                const LocalScale scale(p.lat);
                for (int k = 1; k < way.size(); ++k) {
                    const StepProjection sp = projectOnStep(p, way[k - 1], way[k], scale);
                    if (sp.offKm <= kPassKm) {
                        const double along = cum[k - 1] + sp.t * (cum[k] - cum[k - 1]);
                        // Near the way's ends is no passing: a station close beside the one before (吉原本町
                        // 0.3 km from 本吉原) lies by the start of every way from there.
                        if (along > bestAlong && along > 0.05 && along < km - 0.05) {
                            bestAlong = along;
                            best = j;
                        }
                        break;
                    }
                }
            }
            return best;
        };
        // A point some way along a track from its start, where tracks that part there are well apart.
        const auto probeAlong = [](const QVector<GeoPoint>& way, double length) {
            const double target = std::min(kProbeKm, length / 2);
            double at = 0;
            for (int k = 1; k < way.size(); ++k) {
                const double step = stepKm(way[k - 1], way[k]);
                if (at + step >= target) {
                    const double t = step > 0 ? (target - at) / step : 0;
                    return GeoPoint{way[k - 1].lat + t * (way[k].lat - way[k - 1].lat),
                                    way[k - 1].lon + t * (way[k].lon - way[k - 1].lon)};
                }
                at += step;
            }
            return way.last();
        };
        const auto onTrack = [](const GeoPoint& p, const QVector<GeoPoint>& track) {
            const LocalScale scale(p.lat);
            for (int k = 1; k < track.size(); ++k)
                if (projectOnStep(p, track[k - 1], track[k], scale).offKm <= kSameTrackKm)
                    return true;
            return false;
        };
        // Where the track from the branch's first station j back to the line first runs along one of j's own
        // steps, the branch leaves that step between stations (東海道本線's 美濃赤坂 branch leaves between
        // 大垣 and 垂井, its first station 荒尾 lies on the branch): the line goes on from that step's other end.
        auto junctionEnd = [&](int j, int to, const QList<int>& made) -> int {
            if (projection(j).track < 0 || projection(to).track < 0)
                return j;
            const QVector<GeoPoint> way = tracks.path(projection(j), projection(to));
            const double length = polylineKm(way);
            if (way.size() < 2 || length <= 0)
                return j;
            const GeoPoint probe = probeAlong(way, length);
            for (int e : made) {
                const GraphEdge& edge = g.edges[e];
                if ((edge.a == j || edge.b == j) && onTrack(probe, edge.track))
                    return g.other(e, j);
            }
            return j;
        };
        // Consecutive pairs of a sequence; a station far from the one before it but near an earlier one is a
        // branch listed inside the line's order, joined to that earlier station.
        auto edgesOf = [&](const QList<int>& seq, bool open, auto&& keep) {
            QList<int> made;
            for (int i = 1; i < seq.size(); ++i) {
                int from = seq[i - 1];
                if (i >= 2) {
                    // The track from the station before to this one runs back past a station listed earlier:
                    // this one is on a branch from there (鶴見線's 海芝浦 then 安善, 函館本線's branch stations
                    // after 駒ヶ岳). The branch starts at the earlier station nearest this one along the track.
                    const int back = branchPoint(seq, i);
                    if (back >= 0) {
                        const int start = junctionEnd(seq[back], seq[i], made);
                        if (open)
                            report << QStringLiteral(
                                          "%1: 駅の並びが %2 から %3 へ飛ぶので、%3 は %4 からの支線としました。")
                                          .arg(where(src, line), station(from).name, station(seq[i]).name,
                                               station(start).name);
                        from = start;
                    }
                }
                if (from == seq[i] || !keep(from, seq[i]))
                    continue;
                made << addEdge(from, seq[i], open);
            }
            return made;
        };
        if (!line.closed) {
            QList<int> made = edgesOf(openSeq, true, [](int, int) { return true; });
            // A station on a spur listed inline (千歳線's order goes 植苗, 新千歳空港, 南千歳): the track on from it
            // first runs back along the track that came in, so the line itself joins the stations either side.
            for (int k = 1, n = int(made.size()); k < n; ++k) {
                const GraphEdge in = g.edges[made[k - 1]], out = g.edges[made[k]];
                if (in.b != out.a || in.a == out.b || out.track.size() < 3 || in.track.size() < 3)
                    continue;
                QVector<GeoPoint> back(in.track.rbegin(), in.track.rend());
                if (!onTrack(probeAlong(out.track, out.km), back) || !onTrack(probeAlong(back, in.km), out.track))
                    continue;
                const Projection& qa = projection(in.a);
                const Projection& qc = projection(out.b);
                if (qa.track < 0 || qc.track < 0)
                    continue;
                const QVector<GeoPoint> way = tracks.path(qa, qc);
                if (way.size() >= 2 && polylineKm(way) < in.km + out.km - 2 * kPassKm)
                    made << addEdge(in.a, out.b, true);
            }
            // A ring (the data set lists it once round, without coming back to its first station): its track
            // joins the last station to the first much shorter than the way back along the line.
            if (openSeq.size() >= 3 && !tracks.isEmpty()) {
                const Projection& first = projection(openSeq.first());
                const Projection& last = projection(openSeq.last());
                double along = 0;
                for (int e : std::as_const(made))
                    along += g.edges[e].km;
                if (first.track >= 0 && last.track >= 0) {
                    const QVector<GeoPoint> way = tracks.path(last, first);
                    const double closing = polylineKm(way);
                    // ... and passes no other station of the line (a branch's end near the start is no ring).
                    bool passes = false;
                    for (int k = 1; k + 1 < openSeq.size() && !passes; ++k) {
                        const GeoPoint p = station(openSeq[k]).pos;
                        const LocalScale scale(p.lat);
                        for (int m = 1; m < way.size() && !passes; ++m)
                            passes = projectOnStep(p, way[m - 1], way[m], scale).offKm <= kPassKm;
                    }
                    if (closing > 0 && closing < 0.5 * along && !passes)
                        made << addEdge(openSeq.last(), openSeq.first(), true);
                }
            }
            // A station the line's order leaves at a dead end inside the line (函館本線's 駒ヶ岳 when the order
            // goes on with a branch; 成田線's 下総松崎 at the end of a branch listed last) joins the next station
            // along the track beyond it, where the track goes on and passes no other station on the way.
            if (!tracks.isEmpty() && openSeq.size() >= 3) {
                QHash<int, QList<int>> near;
                for (int e : std::as_const(made)) {
                    near[g.edges[e].a] << g.edges[e].b;
                    near[g.edges[e].b] << g.edges[e].a;
                }
                QList<int> ends = near.keys();
                std::sort(ends.begin(), ends.end()); // the same edges in every run
                for (int d : ends) {
                    if (near.value(d).size() != 1 || d == openSeq.first() || projection(d).track < 0)
                        continue;
                    const int back = near.value(d).first();
                    int best = -1;
                    double bestKm = std::numeric_limits<double>::infinity();
                    for (int s : std::as_const(openSeq)) {
                        if (s == d || s == back || near.value(d).contains(s) || projection(s).track < 0)
                            continue;
                        const double straight = stepKm(station(d).pos, station(s).pos);
                        if (straight >= bestKm)
                            continue;
                        const QVector<GeoPoint> way = tracks.path(projection(d), projection(s));
                        const double km = polylineKm(way);
                        if (way.size() < 2 || km >= bestKm || km > kDetourFactor * straight + 1.0)
                            continue;
                        bool clear = true;
                        for (int o : std::as_const(openSeq)) {
                            if (o == d || o == s)
                                continue;
                            const GeoPoint p = station(o).pos;
                            if (stepKm(station(d).pos, p) + stepKm(p, station(s).pos) > km + kEllipseKm)
                                continue;
                            const LocalScale scale(p.lat);
                            for (int m = 1; m < way.size() && clear; ++m)
                                clear = projectOnStep(p, way[m - 1], way[m], scale).offKm > kPassKm;
                            if (!clear)
                                break;
                        }
                        if (clear) {
                            best = s;
                            bestKm = km;
                        }
                    }
                    if (best >= 0) {
                        made << addEdge(d, best, true);
                        near[d] << best;
                        near[best] << d;
                    }
                }
            }
            g.lineOrder.insert(line.code, openSeq);
            g.lineEdges.insert(line.code, made);
        }
        if (anyClosed) {
            // Edges over closed stations (or of a closed line) serve abolished routes only.
            const QList<int> closedEdges =
                edgesOf(order, false, [&](int a, int b) { return line.closed || !isOpen(a) || !isOpen(b); });
            if (line.closed) {
                g.lineOrder.insert(line.code, order);
                g.lineEdges.insert(line.code, closedEdges);
            }
        }
    }
    return g;
}

} // namespace tabi::net
