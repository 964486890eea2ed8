#include "netroute/stationsearch.h"

#include <algorithm>

namespace tabi::netroute {

using network::Network;
using network::Node;

QString searchKey(const QString& text) {
    QString s = text.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(s.size());
    for (QChar c : std::as_const(s)) {
        const char16_t u = c.unicode();
        if (c.isSpace())
            continue;
        if (u >= 0x3041 && u <= 0x3096)
            out.append(QChar(char16_t(u + 0x60))); // hiragana -> katakana
        else
            out.append(c.toLower());
    }
    return out;
}

StationIndex::StationIndex(const Network& network) : m_net(network) {
    m_nameKeys.reserve(network.nodes.size());
    m_kanaKeys.reserve(network.nodes.size());
    for (const Node& n : network.nodes) {
        m_nameKeys.append(searchKey(n.name));
        m_kanaKeys.append(searchKey(n.kana));
        // A place known by another name on some route (joined by its station code) is found by that name too.
        QString others;
        for (const network::StopRef& s : n.stops) {
            const QString key = searchKey(network.routes[s.route].stations[s.station].name);
            if (key != m_nameKeys.last() && !others.split(QLatin1Char('\n')).contains(key))
                others += QLatin1Char('\n') + key;
        }
        m_otherKeys.append(others);
    }
}

StationMatch StationIndex::match(int node) const {
    StationMatch m;
    if (node < 0 || node >= m_net.nodes.size())
        return m;
    const Node& n = m_net.nodes[node];
    m.node = node;
    m.name = n.name;
    m.kana = n.kana;
    QStringList names;
    for (const network::StopRef& s : n.stops) {
        const QString& routeName = m_net.routes[s.route].name;
        if (!names.contains(routeName))
            names.append(routeName);
    }
    m.routes = names.join(QChar(0x30FB));
    return m;
}

QVector<StationMatch> StationIndex::find(const QString& text, int limit) const {
    const QString key = searchKey(text);
    QVector<StationMatch> out;
    if (key.isEmpty() || limit <= 0)
        return out;
    // rank: 0 exact name, 1 name or reading begins with the text, 2 contains it
    struct Hit {
        int rank, length, node;
    };
    QVector<Hit> hits;
    for (int i = 0; i < m_nameKeys.size(); ++i) {
        const QString& name = m_nameKeys[i];
        const QString& kana = m_kanaKeys[i];
        int rank;
        if (name == key || kana == key)
            rank = 0;
        else if (name.startsWith(key) || kana.startsWith(key))
            rank = 1;
        else if (name.contains(key) || kana.contains(key) || m_otherKeys[i].contains(key))
            rank = 2;
        else
            continue;
        hits.append({rank, int(name.size()), i});
    }
    const qsizetype n = std::min<qsizetype>(limit, hits.size());
    std::partial_sort(hits.begin(), hits.begin() + n, hits.end(), [](const Hit& a, const Hit& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.length != b.length ? a.length < b.length : a.node < b.node;
    });
    for (qsizetype i = 0; i < n; ++i)
        out.append(match(hits[i].node));
    return out;
}

QVector<StationMatch> StationIndex::named(const QString& text) const {
    QString name = text.trimmed(), route;
    const qsizetype at = name.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        route = name.mid(at + 1).trimmed();
        name = name.left(at).trimmed();
    }
    const QString key = searchKey(name);
    QVector<StationMatch> out;
    if (key.isEmpty())
        return out;
    for (int i = 0; i < m_nameKeys.size(); ++i) {
        if (m_nameKeys[i] != key)
            continue;
        if (!route.isEmpty()) {
            const auto& stops = m_net.nodes[i].stops;
            const bool onRoute = std::any_of(stops.cbegin(), stops.cend(), [&](const network::StopRef& s) {
                return m_net.routes[s.route].name == route || m_net.routes[s.route].code == route;
            });
            if (!onRoute)
                continue;
        }
        out.append(match(i));
    }
    return out;
}

} // namespace tabi::netroute
