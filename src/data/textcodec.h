#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// CP932 (Windows-31J) and BOM-selected text files.
namespace tabi::text {

enum class Encoding { Cp932, Utf8, Utf16LE, Utf16BE };

// Characters CP932 cannot hold become "?". The single bytes CP932 leaves undefined (0x80, 0xA0, 0xFD-0xFF) read as
// the characters Windows gives them (U+0080, U+F8F0-U+F8F3) and are written back from them, so they survive.
QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);
// The longest prefix whose CP932 form fits in maxBytes, never splitting a double-byte character.
QString cutToCp932Bytes(const QString& text, int maxBytes);

// The characters of text that the encoding cannot hold (each once, in order of appearance): those CP932 would
// write as "?". Unicode encodings hold every character.
QStringList unencodableCharacters(const QString& text, Encoding encoding);

struct Detection {
    Encoding encoding = Encoding::Cp932;
    int bomSize = 0;
    bool known = true; // false: zero bytes in no UTF-16 pattern, not text in any of these encodings
};
// What a text file holds. A byte-order mark decides. Without one: zero bytes mostly at odd (even) offsets are
// UTF-16LE (BE); bytes that are UTF-8 by their structure are UTF-8 (Japanese in UTF-8 is three-byte sequences,
// and a stray invalid byte among more of them does not change that; two-byte sequences alone count only as
// accented Latin letters, since half-width katakana in CP932 form them too); anything else is CP932. Bytes that
// tell nothing (ASCII only, empty) give plainDefault.
Detection detectEncoding(QByteArrayView bytes, Encoding plainDefault);
// The bytes as text in this encoding, without looking for a byte-order mark.
QString decodeAs(QByteArrayView bytes, Encoding encoding);

struct DecodedText {
    QString text;
    Encoding encoding = Encoding::Cp932;
    bool hadBom = false;
};
// detectEncoding, ASCII counting as CP932, then the text after the byte-order mark.
DecodedText decode(const QByteArray& bytes);
QByteArray encode(const QString& text, Encoding encoding, bool withBom);

} // namespace tabi::text
