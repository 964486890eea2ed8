#pragma once

#include <QVector>

namespace tabi::netmap {

// A set of stretches of one route, as kilometre posts: sorted, disjoint, no empty stretch.
class IntervalSet {
public:
    struct Part {
        double from, to;
        bool operator==(const Part&) const = default;
    };

    // Adds or takes off [from, to] (the two ends in either order).
    void add(double from, double to);
    void subtract(double from, double to);

    bool isEmpty() const { return m_parts.isEmpty(); }
    const QVector<Part>& parts() const { return m_parts; }
    double measure() const;
    // The length of the set inside [from, to].
    double measureWithin(double from, double to) const;
    // The stretches of [from, to] outside the set.
    QVector<Part> gapsWithin(double from, double to) const;
    // The set cut to [from, to].
    QVector<Part> partsWithin(double from, double to) const;

private:
    QVector<Part> m_parts;
};

} // namespace tabi::netmap
