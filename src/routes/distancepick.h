#pragma once

#include <QDate>
#include <QString>

// The computation behind the station distance picker: which stations were taken as start and end, the signed
// distance between them, the section text handed to the ride, and the calendar's date. No widgets, no cursors:
// the dialog feeds it the station under the grid cursor and shows what it holds.
namespace tabi::routes {

// A ride covering the route's length within this margin is marked "(全区間)".
constexpr double kWholeRouteTolerance = 0.04;
// JOSHA_KUKAN holds at most this many bytes of CP932.
constexpr int kSectionBytes = 50;

// "%8.1f": right-aligned in eight characters, one decimal.
QString formatDistance(double distance);
// start + "～" + end, with "(全区間)" when the distance reaches the route's length less the tolerance, cut to
// 50 bytes of CP932.
QString sectionText(const QString& startName, const QString& endName, double distance, double routeKilo);

class DistancePick {
public:
    static inline const QString kOpenDistanceText = QStringLiteral("     0.0");
    static inline const QString kClearedDistanceText = QStringLiteral("   0.0");

    // Each showing: flag clear, nothing picked, names and section text empty, distance "     0.0".
    void reset();
    // The route's length, against which a section is found to be the whole route.
    void setRouteKilo(double routeKilo) { m_routeKilo = routeKilo; }
    // Start station: its name and kilometre post.
    void kiten(const QString& name, double kilo);
    // End station.
    void shuten(const QString& name, double kilo, double routeKilo);
    // A double-click on a station row: start while no start is picked, end afterwards.
    void pick(const QString& name, double kilo, double routeKilo);
    // "消去(&Z)".
    void clear();
    void setAccepted(bool accepted) { m_accepted = accepted; }
    // An end before the start on the route is recorded as travelled (positive) unless it is set to record the
    // loss of an abolished section (negative kilometres, the text without "(全区間)").
    void setAsLoss(bool asLoss);

    bool accepted() const { return m_accepted; }
    bool hasStart() const { return m_hasStart; }
    bool hasEnd() const { return m_hasEnd; }
    // Both stations picked, in whichever order: only then is there a section.
    bool complete() const { return m_hasStart && m_hasEnd; }
    // The end lies before the start in the order of the posts.
    bool reversed() const { return complete() && m_endKilo < m_startKilo; }
    bool asLoss() const { return m_asLoss && reversed(); }
    const QString& startName() const { return m_startName; }
    const QString& endName() const { return m_endName; }
    double startKilo() const { return m_startKilo; }
    double endKilo() const { return m_endKilo; }
    // The section's length as travelled; 0 until both stations are picked.
    double distance() const { return m_distance; }
    // What the ride gets before any overlap is taken off: the length as travelled, or end minus start for a loss.
    double rideKilo() const;
    const QString& distanceText() const { return m_distanceText; }
    // start "～" end in the order travelled, with "(全区間)" when the section reaches the route's length; empty
    // until both stations are picked.
    const QString& section() const { return m_section; }

private:
    void update();

    bool m_accepted = false;
    bool m_hasStart = false;
    bool m_hasEnd = false;
    bool m_asLoss = false;
    QString m_startName;
    QString m_endName;
    double m_startKilo = 0;
    double m_endKilo = 0;
    double m_routeKilo = 0;
    double m_distance = 0;
    QString m_distanceText = kOpenDistanceText;
    QString m_section;
};

// The picker's month calendar. Keeps its date between showings; steps by month or year.
class PickCalendar {
public:
    explicit PickCalendar(const QDate& date = QDate::currentDate()) : m_date(date) {}

    const QDate& date() const { return m_date; }
    void setDate(const QDate& date) { m_date = date; }
    // Keeps the day, cut to the last day of a shorter target month.
    void stepMonths(int months);
    // Keeps month and day; 29 February first becomes 28 February.
    void stepYears(int years);

    // "2024年5月" and "2024-05-03".
    QString monthCaption() const { return monthCaption(m_date); }
    QString dateText() const { return dateText(m_date); }
    static QString monthCaption(const QDate& date);
    static QString dateText(const QDate& date);

private:
    QDate m_date;
};

} // namespace tabi::routes
