#pragma once

#include "network/network.h"
#include "network/projection.h"

#include <initializer_list>

// Small networks built in memory: each station is given by name, post, prefecture and position.
namespace tabi::test {

struct StationSpec {
    const char* name;
    double kilo;
    int ken;
    double lat, lon;
};

inline network::Route makeRoute(const char* code, double length, std::initializer_list<StationSpec> stations,
                                bool abolished = false, const char* category = "11") {
    network::Route r;
    r.code = QString::fromUtf8(code);
    r.name = QStringLiteral("路線") + r.code;
    r.category = QString::fromUtf8(category);
    r.length = length;
    r.abolished = abolished;
    for (const StationSpec& s : stations) {
        network::Station st;
        st.name = QString::fromUtf8(s.name);
        st.kilo = s.kilo;
        st.ken = s.ken;
        st.lat = s.lat;
        st.lon = s.lon;
        st.positioned = network::insideMapArea(s.lat, s.lon);
        if (st.positioned)
            st.xy = network::project(s.lat, s.lon);
        r.stations.append(st);
    }
    return r;
}

inline network::Network makeNetwork(std::initializer_list<network::Route> routes) {
    network::Network n;
    for (const network::Route& r : routes)
        n.routes.append(r);
    network::finishNetwork(n);
    return n;
}

} // namespace tabi::test
