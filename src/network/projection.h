#pragma once

#include <QPointF>

// The map projection: a Lambert conformal conic with standard parallels 30° and 40° N and central meridian
// 136° E, which keeps shapes and sizes true within a few percent from Okinawa to Hokkaido. Results are in
// kilometres, x eastwards and y southwards (the screen's directions), origin at 36° N 136° E.
namespace tabi::network {

QPointF project(double latitude, double longitude);
// The inverse, for showing where the pointer is.
void unproject(const QPointF& xy, double& latitude, double& longitude);

} // namespace tabi::network
