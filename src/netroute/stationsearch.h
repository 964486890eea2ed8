#pragma once

#include "network/network.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Finding a station of the whole network by what the user types: its name or its reading.
namespace tabi::netroute {

// The form in which names and readings are compared: compatibility forms folded (half-width kana and full-width
// letters), hiragana as katakana, letters in lower case, blanks removed.
QString searchKey(const QString& text);

struct StationMatch {
    int node = -1;
    QString name;
    QString kana;
    QString routes; // the names of the routes it is on, "・" between them, to tell same-name stations apart
};

class StationIndex {
public:
    explicit StationIndex(const network::Network& network);

    // Stations whose name or reading begins with the text, then those that contain it; in each group exact
    // names first, then shorter names. At most limit.
    QVector<StationMatch> find(const QString& text, int limit = 50) const;
    // Stations named exactly so (several when two places share a name). "名前@路線" keeps those on that route
    // (its name or code).
    QVector<StationMatch> named(const QString& text) const;
    StationMatch match(int node) const;

private:
    const network::Network& m_net;
    QVector<QString> m_nameKeys, m_kanaKeys;
    QVector<QString> m_otherKeys; // the other names of a place, each after a line break
};

} // namespace tabi::netroute
