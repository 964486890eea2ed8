#include "netmap/intervals.h"

#include <algorithm>
#include <utility>

namespace tabi::netmap {

void IntervalSet::add(double from, double to) {
    if (from > to)
        std::swap(from, to);
    if (!(from < to))
        return; // nothing ridden between equal posts
    QVector<Part> out;
    out.reserve(m_parts.size() + 1);
    Part merged{from, to};
    bool placed = false;
    for (const Part& p : m_parts) {
        if (p.to < merged.from) {
            out.append(p);
        } else if (p.from > merged.to) {
            if (!placed) {
                out.append(merged);
                placed = true;
            }
            out.append(p);
        } else {
            merged.from = std::min(merged.from, p.from);
            merged.to = std::max(merged.to, p.to);
        }
    }
    if (!placed)
        out.append(merged);
    m_parts = std::move(out);
}

void IntervalSet::subtract(double from, double to) {
    if (from > to)
        std::swap(from, to);
    if (!(from < to))
        return;
    QVector<Part> out;
    out.reserve(m_parts.size() + 1);
    for (const Part& p : m_parts) {
        if (p.to <= from || p.from >= to) {
            out.append(p);
            continue;
        }
        if (p.from < from)
            out.append({p.from, from});
        if (p.to > to)
            out.append({to, p.to});
    }
    m_parts = std::move(out);
}

namespace {
double lengthOf(const QVector<IntervalSet::Part>& parts) {
    double sum = 0;
    for (const IntervalSet::Part& p : parts)
        sum += p.to - p.from;
    return sum;
}
} // namespace

double IntervalSet::measure() const {
    return lengthOf(m_parts);
}

QVector<IntervalSet::Part> IntervalSet::partsWithin(double from, double to) const {
    if (from > to)
        std::swap(from, to);
    QVector<Part> out;
    for (const Part& p : m_parts) {
        const double a = std::max(p.from, from), b = std::min(p.to, to);
        if (a < b)
            out.append({a, b});
    }
    return out;
}

double IntervalSet::measureWithin(double from, double to) const {
    return lengthOf(partsWithin(from, to));
}

QVector<IntervalSet::Part> IntervalSet::gapsWithin(double from, double to) const {
    if (from > to)
        std::swap(from, to);
    QVector<Part> out;
    double at = from;
    for (const Part& p : partsWithin(from, to)) {
        if (p.from > at)
            out.append({at, p.from});
        at = p.to;
    }
    if (at < to)
        out.append({at, to});
    return out;
}

} // namespace tabi::netmap
