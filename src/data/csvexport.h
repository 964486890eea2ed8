#pragma once

#include "data/schema.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tabi {

class TableCursor;

// The comma-separated file of a list: one line per row in the cursor's order, every declared field in order, no
// header line, CR LF after every line, CP932 without a byte-order mark. Numbers are written bare, every other
// value (text, timestamps) between double quotation marks exactly as stored, nothing escaped.
namespace csv {

// A floating-point value as the file writes it: at most 15 significant digits, no trailing zeros, no grouping,
// fixed notation while the value has at most 15 integer digits and a magnitude of 0.00001 or more, otherwise
// mantissa, "E" and exponent ("1E-6", "-2.22044604925031E-15").
QString floatText(double value);

// A stored timestamp "yyyy-mm-dd HH:MM:SS" as "yyyy/mm/dd", followed by a blank and "H:MM:SS" when the time of
// day is not midnight.
QString timestampText(const QString& stored);

// The line of the cursor's current record, without its CR LF.
QString lineOf(TableCursor& cursor);

// A value of a list that lives in no table, with the column type that decides how it is written.
struct Value {
    FieldType type;
    QVariant value; // null: an empty value
};
// The line of such values, by the same rules as a record's line, without its CR LF.
QString lineOfValues(const QList<Value>& values);

// Writes every record of the open cursor, from its first to its last, to fileName, and leaves the cursor on its
// first record. The bytes go to a temporary file beside the target that replaces it only once complete, so a
// failure (folder missing, no permission, disk full) leaves an earlier file as it was; it throws tabi::Error
// naming the file and the reason.
void writeFile(TableCursor& cursor, const QString& fileName);
// Writes lines built by lineOfValues, each ended by CR LF, in the same encoding and through the same checked
// replacement as writeFile.
void writeLines(const QStringList& lines, const QString& fileName);

} // namespace csv
} // namespace tabi
