#include "netimport/geo.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tabi::net {

namespace {

constexpr double kA = 6378.137;          // semi-major axis, km
constexpr double kE2 = 6.69437999014e-3; // first eccentricity squared
constexpr double kDeg = 3.14159265358979323846 / 180.0;

// Kilometres per degree of latitude and of longitude at a latitude.
void scales(double latDeg, double& kmPerDegLat, double& kmPerDegLon) {
    const double s = std::sin(latDeg * kDeg);
    const double w = std::sqrt(1.0 - kE2 * s * s);
    const double meridian = kA * (1.0 - kE2) / (w * w * w);
    const double primeVertical = kA / w;
    kmPerDegLat = meridian * kDeg;
    kmPerDegLon = primeVertical * std::cos(latDeg * kDeg) * kDeg;
}

// The scales on a grid of 0.01° of latitude over the country, interpolated: the same to a few parts in a
// billion, without a sine and cosine for each of the millions of steps an import measures.
constexpr double kGridFrom = 20.0, kGridTo = 50.0, kGridStep = 0.01;
struct ScaleGrid {
    std::vector<double> lat, lon;
    ScaleGrid() {
        const int n = int((kGridTo - kGridFrom) / kGridStep) + 2;
        lat.resize(n);
        lon.resize(n);
        for (int i = 0; i < n; ++i)
            scales(kGridFrom + i * kGridStep, lat[i], lon[i]);
    }
};

void fastScales(double latDeg, double& kmPerDegLat, double& kmPerDegLon) {
    static const ScaleGrid grid;
    const double x = (latDeg - kGridFrom) / kGridStep;
    if (!(x >= 0) || x >= double(grid.lat.size() - 1)) {
        scales(latDeg, kmPerDegLat, kmPerDegLon);
        return;
    }
    const int i = int(x);
    const double f = x - i;
    kmPerDegLat = grid.lat[i] + f * (grid.lat[i + 1] - grid.lat[i]);
    kmPerDegLon = grid.lon[i] + f * (grid.lon[i + 1] - grid.lon[i]);
}

} // namespace

double stepKm(const GeoPoint& a, const GeoPoint& b) {
    double ky = 0, kx = 0;
    fastScales((a.lat + b.lat) / 2, ky, kx);
    const double dy = (b.lat - a.lat) * ky;
    const double dx = (b.lon - a.lon) * kx;
    return std::sqrt(dx * dx + dy * dy);
}

LocalScale::LocalScale(double latDeg) {
    fastScales(latDeg, kmPerDegLat, kmPerDegLon);
}

StepProjection projectOnStep(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b) {
    return projectOnStep(p, a, b, LocalScale(p.lat));
}

StepProjection projectOnStep(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b, const LocalScale& scale) {
    const double ky = scale.kmPerDegLat, kx = scale.kmPerDegLon;
    const double bx = (b.lon - a.lon) * kx, by = (b.lat - a.lat) * ky;
    const double px = (p.lon - a.lon) * kx, py = (p.lat - a.lat) * ky;
    const double len2 = bx * bx + by * by;
    double t = len2 > 0 ? (px * bx + py * by) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = px - t * bx, dy = py - t * by;
    return {t, std::sqrt(dx * dx + dy * dy)};
}

QList<int> thinPolyline(const QVector<GeoPoint>& points, double toleranceKm) {
    const int n = points.size();
    if (n <= 2) {
        QList<int> all;
        for (int i = 0; i < n; ++i)
            all << i;
        return all;
    }
    QVector<char> keep(n, 0);
    keep[0] = keep[n - 1] = 1;
    QVector<std::pair<int, int>> stack{{0, n - 1}};
    while (!stack.isEmpty()) {
        const auto [first, last] = stack.takeLast();
        double worst = -1;
        int at = -1;
        for (int i = first + 1; i < last; ++i) {
            const double off = projectOnStep(points[i], points[first], points[last]).offKm;
            if (off > worst) {
                worst = off;
                at = i;
            }
        }
        if (at >= 0 && worst > toleranceKm) {
            keep[at] = 1;
            stack.append({first, at});
            stack.append({at, last});
        }
    }
    QList<int> kept;
    for (int i = 0; i < n; ++i)
        if (keep[i])
            kept << i;
    return kept;
}

} // namespace tabi::net
