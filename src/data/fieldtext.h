#pragma once

#include "schema.h"

#include <QString>

// What a text field may hold, counted as the database counts it. Text fields are single lines of characters
// (code points: a surrogate pair is one character). Bound controls check what the user typed or pasted with
// these rules before it reaches a cursor; program code that copies stored text does not, so values stored before
// the rule existed still copy.
namespace tabi {

// Characters of text as the engine's length() counts them: a surrogate pair is one character.
int characterCount(const QString& text);

// The position (UTF-16 index) of the first unit a single-line text field refuses: a control character (C0 with
// tab, line feed and carriage return, DEL, C1), a line or paragraph separator, or half of a surrogate pair
// without its other half. -1 when there is none.
qsizetype forbiddenCharacterAt(const QString& text);

// Throws tabi::Error (ErrorKind::BadCharacter) naming the table, the field and the character when text holds one
// that the field refuses.
void checkSingleLineText(const QString& tableName, const FieldDef& field, const QString& text);

} // namespace tabi
