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

    // Each showing: flag clear, kilometres 0, names and section text empty, distance "     0.0".
    void reset();
    // Start station: its name and kilometre post. Distance and section text stay as they were.
    void kiten(const QString& name, double kilo);
    // End station: distance end - start with its sign, then the section text and the distance text.
    void shuten(const QString& name, double kilo, double routeKilo);
    // A double-click on a station row: start while no start name is shown, end afterwards.
    void pick(const QString& name, double kilo, double routeKilo);
    // "消去(&Z)".
    void clear();
    void setAccepted(bool accepted) { m_accepted = accepted; }

    bool accepted() const { return m_accepted; }
    const QString& startName() const { return m_startName; }
    const QString& endName() const { return m_endName; }
    double startKilo() const { return m_startKilo; }
    double endKilo() const { return m_endKilo; }
    double distance() const { return m_distance; }
    // What the ride gets: end kilometre minus start kilometre at the time of reading.
    double rideKilo() const { return m_endKilo - m_startKilo; }
    const QString& distanceText() const { return m_distanceText; }
    const QString& section() const { return m_section; }

private:
    bool m_accepted = false;
    QString m_startName;
    QString m_endName;
    double m_startKilo = 0;
    double m_endKilo = 0;
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
