#pragma once

#include <QDate>
#include <QString>

// The shared rules of codes, dates, abolition and riding ratios.
namespace tabi::rules {

// A code belongs to a group when its first group.size() characters equal the group code.
bool inGroup(const QString& code, const QString& groupCode);

// Stored timestamp text of the day at 00:00:00: "yyyy-mm-dd 00:00:00"; a null date gives empty text (null).
QString dayTimestamp(const QDate& day);
// The "yyyy-mm-dd" part of a stored timestamp; empty text for null.
QString dateText(const QString& storedTimestamp);
// Parses "yyyy-mm-dd" (or a stored timestamp); invalid or empty gives a null QDate.
QDate parseDate(const QString& text);

// A route is abolished when its abolition date, written "yyyy-mm-dd", begins with "19" or "20".
bool isAbolished(const QString& abolitionDateText);

// Riding ratio in percent: route kilometres exactly 0 give 100; otherwise ridden / route * 100, unrounded;
// a result above 99.99 and below 100 becomes 99.99 when more than 0.05 km remain unridden.
double ratio(double routeKilo, double riddenKilo);
// A group is complete when its stored ratio is above 99.99999.
bool isComplete(double storedRatio);

} // namespace tabi::rules
