#pragma once

#include "network/network.h"

#include <QVector>
#include <algorithm>
#include <utility>

namespace tabi::network {

// Walks the part of a track that lies between two posts, in the track's own order (the ride map and the exports
// cut a ridden stretch out of a route's line this way). For each piece of a segment inside the stretch it calls
// visit(i, ta, tb, newLine): the part of segment i (points i and i + 1) from fraction ta to fraction tb, where
// newLine says the piece does not carry on the previous one (the track left the stretch and came back, or the
// previous piece stopped short of its segment's end).
template <class Visit> void forEachTrackPiece(const QVector<TrackPoint>& t, double from, double to, Visit&& visit) {
    if (from > to)
        std::swap(from, to);
    bool continues = false; // the previous piece ends where the next segment starts
    for (int i = 0; i + 1 < t.size(); ++i) {
        const double k0 = t[i].kilo, k1 = t[i + 1].kilo;
        double ta, tb;
        if (k0 == k1) {
            if (k0 < from || k0 > to) {
                continues = false;
                continue;
            }
            ta = 0;
            tb = 1;
        } else {
            const double u = (from - k0) / (k1 - k0), v = (to - k0) / (k1 - k0);
            ta = std::max(0.0, std::min(u, v));
            tb = std::min(1.0, std::max(u, v));
            if (!(ta < tb)) {
                continues = false;
                continue;
            }
        }
        visit(i, ta, tb, !(continues && ta == 0));
        continues = tb == 1;
    }
}

} // namespace tabi::network
