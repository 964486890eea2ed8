#pragma once

#include <QString>

namespace tabi::bench {

struct DatasetSize {
    int routes = 5000;
    int classifications = 60;
    int categories = 20;
    int stations = 50000;
    int rides = 100000;
    int years = 30;
    int firstYear = 1995;
};

// About the size of the whole national network once imported: 1,000 routes, 11,000 stations, 100,000 rides.
inline DatasetSize nationalNetwork() {
    DatasetSize s;
    s.routes = 1000;
    s.stations = 11000;
    return s;
}

// Creates Tabiroku.db and JJ.db in dir (replacing the supplied sample rows) with a large synthetic network and
// ride record: route codes = classification code + 3 digits, stations spread over the routes, rides spread over
// the years, a few abolished routes, a few rides on unknown routes and a few negative rides.
void generateDataset(const QString& dir, const DatasetSize& size = {});

} // namespace tabi::bench
