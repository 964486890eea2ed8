#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Display pictures of numbers and dates, as the table layouts name them.
namespace tabi::fmt {

// Number pictures: "#,##0.0", "##,##0.0", "0.0", "##0.00", "0.000", "##,##0", "###,###", "0.000000", "#,###".
// '0' always shows a digit, '#' only a significant one, ',' groups thousands, '.' is the decimal point.
// Rounds half away from zero; negatives get a leading '-'; "###,###" shows zero as empty text.
// An empty picture gives the shortest plain form of the number, in digits without an exponent.
QString formatNumber(double value, QStringView picture);

// Stored timestamps are text "yyyy-mm-dd HH:MM:SS". Pictures "yyyy-mm-dd"/"YYYY-MM-DD" give the date part,
// "HH:MM" the hours and minutes; an empty picture gives the date part when the time is 00:00:00, else
// the whole text. Empty (null) gives empty text.
QString formatTimestamp(const QString& stored, QStringView picture);

// A number typed by the user: an optional sign, digits in which ',' may only separate groups of three
// ("1,234.5", never "1,2,3"), an optional '.' with decimals and an optional exponent; full-width characters
// count as their plain forms and blanks around are ignored. Nothing when the text is no finite number
// ("nan", "inf", "1e999", "12km").
std::optional<double> parseNumber(QStringView text);
// The same for whole numbers: no decimals, no exponent; nothing outside the 64-bit range.
std::optional<qint64> parseInteger(QStringView text);

} // namespace tabi::fmt
