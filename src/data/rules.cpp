#include "data/rules.h"

namespace tabi::rules {

bool inGroup(const QString& code, const QString& groupCode) {
    return code.startsWith(groupCode);
}

QString dayTimestamp(const QDate& day) {
    if (!day.isValid())
        return QString();
    return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

QString dateText(const QString& storedTimestamp) {
    if (storedTimestamp.isEmpty())
        return QString();
    return storedTimestamp.left(10);
}

QDate parseDate(const QString& text) {
    const QString t = text.trimmed();
    // Exactly "yyyy-mm-dd", optionally followed by the time part of a stored timestamp.
    if (t.size() < 10 || (t.size() > 10 && t.at(10) != u' ' && t.at(10) != u'T'))
        return QDate();
    for (int i = 0; i < 10; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? t.at(i) != u'-' : (t.at(i) < u'0' || t.at(i) > u'9'))
            return QDate();
    }
    // QDate rejects days that do not exist ("2024-02-30", "2023-02-29").
    const QDate date(t.left(4).toInt(), t.mid(5, 2).toInt(), t.mid(8, 2).toInt());
    return date.isValid() ? date : QDate();
}

bool isAbolished(const QString& abolitionDateText) {
    return abolitionDateText.startsWith(QLatin1StringView("19")) ||
           abolitionDateText.startsWith(QLatin1StringView("20"));
}

double ratio(double routeKilo, double riddenKilo) {
    if (routeKilo == 0.0)
        return 100.0;
    const double r = riddenKilo / routeKilo * 100.0;
    // Do not let a visible shortfall round up to "100.00" on screen.
    if (r > 99.99 && r < 100.0 && routeKilo - riddenKilo > 0.05)
        return 99.99;
    return r;
}

bool isComplete(double storedRatio) {
    return storedRatio > 99.99999;
}

} // namespace tabi::rules
