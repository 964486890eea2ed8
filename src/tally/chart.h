#pragma once

#include "data/database.h"

#include <QImage>
#include <QList>
#include <memory>

// The operator bar chart: route kilometres of the first six classifications as red bars, ridden kilometres as
// lime bars laid over them, 20 km to a pixel.
namespace tabi::tally {

struct ChartBar {
    double routeKilo = 0;
    double riddenKilo = 0;
};

constexpr int kChartWidth = 433;
constexpr int kChartHeight = 248;
constexpr int kChartRows = 6;

// Length in whole pixels of a bar of so many kilometres (truncated toward zero).
int barLength(double kilo);
// Length of the ridden bar: one pixel short of the route bar while more than 0.05 km remain unridden, so that
// a sliver of red stays visible.
int riddenBarLength(double routeKilo, double riddenKilo);

// Route and ridden kilometres of the first six rows of BUNRUI in code order (fewer when the table has fewer).
QList<ChartBar> readChartBars(const std::shared_ptr<Database>& ref);

// The whole image, drawn from scratch: white background, dotted 1,000 km lines, and per row a shadow, the route
// bar and the ridden bar. Rows beyond the list draw nothing.
QImage chartImage(const QList<ChartBar>& bars);

} // namespace tabi::tally
