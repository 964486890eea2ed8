#include "network/projection.h"

#include <cmath>

namespace tabi::network {

namespace {

constexpr double kEarthRadiusKm = 6371.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;

struct Conic {
    double n, f, rho0, lon0;
    Conic() {
        const double p1 = 30 * kRad, p2 = 40 * kRad, p0 = 36 * kRad;
        lon0 = 136 * kRad;
        n = std::log(std::cos(p1) / std::cos(p2)) / std::log(std::tan(kPi / 4 + p2 / 2) / std::tan(kPi / 4 + p1 / 2));
        f = std::cos(p1) * std::pow(std::tan(kPi / 4 + p1 / 2), n) / n;
        rho0 = kEarthRadiusKm * f / std::pow(std::tan(kPi / 4 + p0 / 2), n);
    }
};

const Conic& conic() {
    static const Conic c;
    return c;
}

} // namespace

QPointF project(double latitude, double longitude) {
    const Conic& c = conic();
    const double rho = kEarthRadiusKm * c.f / std::pow(std::tan(kPi / 4 + latitude * kRad / 2), c.n);
    const double theta = c.n * (longitude * kRad - c.lon0);
    return QPointF(rho * std::sin(theta), -(c.rho0 - rho * std::cos(theta)));
}

void unproject(const QPointF& xy, double& latitude, double& longitude) {
    const Conic& c = conic();
    const double x = xy.x(), y = c.rho0 + xy.y(); // y measured from the cone's apex
    const double rho = std::copysign(std::hypot(x, y), c.n);
    const double theta = std::atan2(x, y);
    latitude = (2 * std::atan(std::pow(kEarthRadiusKm * c.f / rho, 1 / c.n)) - kPi / 2) / kRad;
    longitude = (c.lon0 + theta / c.n) / kRad;
}

} // namespace tabi::network
