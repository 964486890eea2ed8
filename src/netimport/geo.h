#pragma once

#include <QList>
#include <QVector>

// Distances on the WGS84 ellipsoid for the short steps of a track, and the thinning of a polyline.
namespace tabi::net {

struct GeoPoint {
    double lat = 0;
    double lon = 0;
};

// Length in kilometres of the step between two nearby points: the flat approximation with the ellipsoid's
// radii of curvature at the middle latitude, within a few millimetres for steps of some kilometres.
double stepKm(const GeoPoint& a, const GeoPoint& b);

// Where a point falls on the step a–b: the fraction along it (0..1) and the distance from it in kilometres.
struct StepProjection {
    double t = 0;
    double offKm = 0;
};
StepProjection projectOnStep(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b);

// Kilometres per degree of latitude and of longitude at a latitude, for many projections of one point.
struct LocalScale {
    double kmPerDegLat = 0;
    double kmPerDegLon = 0;
    explicit LocalScale(double latDeg);
};
StepProjection projectOnStep(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b, const LocalScale& scale);

// Douglas–Peucker thinning: the indices of the points kept (first and last always) so that no dropped point
// lies farther than toleranceKm from the thinned line.
QList<int> thinPolyline(const QVector<GeoPoint>& points, double toleranceKm);

} // namespace tabi::net
