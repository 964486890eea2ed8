#include "routes/distancepick.h"

#include "data/textcodec.h"

#include <cmath>

namespace tabi::routes {

QString formatDistance(double distance) {
    return QString::asprintf("%8.1f", distance);
}

QString sectionText(const QString& startName, const QString& endName, double distance, double routeKilo) {
    QString text = startName + QStringLiteral("～") + endName;
    if (!(routeKilo - kWholeRouteTolerance > distance))
        text += QStringLiteral("(全区間)");
    return text::cutToCp932Bytes(text, kSectionBytes);
}

void DistancePick::reset() {
    *this = DistancePick();
}

void DistancePick::kiten(const QString& name, double kilo) {
    m_startName = name;
    m_startKilo = kilo;
    m_hasStart = true;
    update();
}

void DistancePick::shuten(const QString& name, double kilo, double routeKilo) {
    m_endName = name;
    m_endKilo = kilo;
    m_hasEnd = true;
    m_routeKilo = routeKilo;
    update();
}

void DistancePick::pick(const QString& name, double kilo, double routeKilo) {
    if (!m_hasStart)
        kiten(name, kilo);
    else
        shuten(name, kilo, routeKilo);
}

void DistancePick::clear() {
    const double routeKilo = m_routeKilo;
    reset();
    m_routeKilo = routeKilo;
    m_distanceText = kClearedDistanceText;
}

void DistancePick::setAsLoss(bool asLoss) {
    m_asLoss = asLoss;
    update();
}

double DistancePick::rideKilo() const {
    if (!complete())
        return 0;
    return asLoss() ? m_endKilo - m_startKilo : m_distance;
}

void DistancePick::update() {
    if (!complete()) {
        // One station alone is no section: nothing shown is stored.
        m_distance = 0;
        m_section.clear();
        return;
    }
    const double signedDistance = m_endKilo - m_startKilo;
    m_distance = std::abs(signedDistance);
    m_section = sectionText(m_startName, m_endName, asLoss() ? signedDistance : m_distance, m_routeKilo);
    m_distanceText = formatDistance(asLoss() ? signedDistance : m_distance);
}

void PickCalendar::stepMonths(int months) {
    m_date = m_date.addMonths(months); // Qt cuts the day to the target month's length
}

void PickCalendar::stepYears(int years) {
    QDate from = m_date;
    if (from.month() == 2 && from.day() == 29)
        from = QDate(from.year(), 2, 28);
    m_date = from.addYears(years);
}

QString PickCalendar::monthCaption(const QDate& date) {
    return QStringLiteral("%1年%2月").arg(date.year()).arg(date.month());
}

QString PickCalendar::dateText(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace tabi::routes
