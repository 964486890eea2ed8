#pragma once

#include "netmap/network.h"
#include "netmap/projection.h"

#include <initializer_list>

// Small networks built in memory: each station is given by name, post, prefecture and position.
namespace tabi::test {

struct StationSpec {
    const char* name;
    double kilo;
    int ken;
    double lat, lon;
};

inline netmap::Route makeRoute(const char* code, double length, std::initializer_list<StationSpec> stations,
                               bool abolished = false, const char* category = "11") {
    netmap::Route r;
    r.code = QString::fromUtf8(code);
    r.name = QStringLiteral("路線") + r.code;
    r.category = QString::fromUtf8(category);
    r.length = length;
    r.abolished = abolished;
    for (const StationSpec& s : stations) {
        netmap::Station st;
        st.name = QString::fromUtf8(s.name);
        st.kilo = s.kilo;
        st.ken = s.ken;
        st.lat = s.lat;
        st.lon = s.lon;
        st.positioned = netmap::insideMapArea(s.lat, s.lon);
        if (st.positioned)
            st.xy = netmap::project(s.lat, s.lon);
        r.stations.append(st);
    }
    return r;
}

inline netmap::Network makeNetwork(std::initializer_list<netmap::Route> routes) {
    netmap::Network n;
    for (const netmap::Route& r : routes)
        n.routes.append(r);
    netmap::finishNetwork(n);
    return n;
}

} // namespace tabi::test
