#pragma once

#include "data/cursor.h"

#include <QStringList>
#include <memory>

namespace tabi {

// A cursor opened at construction, for the length of one computation step. Loops over large tables declare only
// the fields they read, so that rows are read and converted for those alone.
class StepCursor : public TableCursor {
public:
    StepCursor(const std::shared_ptr<Database>& db, const QString& table, const QString& order,
               const QStringList& fields = {}, bool storedIndex = false)
        : TableCursor(db, table, storedIndex ? QString() : order) {
        if (!fields.isEmpty())
            setFieldNames(fields);
        if (storedIndex)
            setIndexName(order);
        open();
    }
};

// Visits every record from the first to the last.
template <class F> void forEachRecord(TableCursor& c, F&& visit) {
    c.first();
    while (!c.eof()) {
        visit();
        c.next();
    }
}

// The first n characters of text (code points: a surrogate pair is kept whole or dropped whole), as a text field
// of n characters holds it.
inline QString firstCharacters(const QString& text, int n) {
    qsizetype pos = 0;
    for (int count = 0; pos < text.size() && count < n; ++count)
        pos += (text.at(pos).isHighSurrogate() && pos + 1 < text.size() && text.at(pos + 1).isLowSurrogate()) ? 2 : 1;
    return pos >= text.size() ? text : text.left(pos);
}

// The same cut on text in the engine's own form (UTF-8): whole characters, a sequence is never split. Text of at
// most n bytes has at most n characters and is returned as it is.
inline QByteArrayView firstCharactersUtf8(QByteArrayView utf8, int n) {
    if (utf8.size() <= n)
        return utf8;
    qsizetype pos = 0;
    for (int count = 0; pos < utf8.size(); ++pos) {
        if ((uchar(utf8[pos]) & 0xC0) != 0x80 && count++ == n) // a character starts here
            break;
    }
    return utf8.first(pos);
}

// Writes text into a text field, cut to the field's width where it is longer.
inline void setCutText(TableCursor& c, int field, const QString& text) {
    const int size = c.fieldDef(field).size;
    c.setText(field, size > 0 ? firstCharacters(text, size) : text);
}

} // namespace tabi
