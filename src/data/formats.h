#pragma once

#include <QString>
#include <QStringView>

// Display pictures of numbers and dates, as the table layouts name them.
namespace tabi::fmt {

// Number pictures: "#,##0.0", "##,##0.0", "0.0", "##0.00", "0.000", "##,##0", "###,###", "0.000000", "#,###".
// '0' always shows a digit, '#' only a significant one, ',' groups thousands, '.' is the decimal point.
// Rounds half away from zero; negatives get a leading '-'; "###,###" shows zero as empty text.
// An empty picture gives the shortest plain form of the number.
QString formatNumber(double value, QStringView picture);

// Stored timestamps are text "yyyy-mm-dd HH:MM:SS". Pictures "yyyy-mm-dd"/"YYYY-MM-DD" give the date part,
// "HH:MM" the hours and minutes; an empty picture gives the date part when the time is 00:00:00, else
// the whole text. Empty (null) gives empty text.
QString formatTimestamp(const QString& stored, QStringView picture);

} // namespace tabi::fmt
