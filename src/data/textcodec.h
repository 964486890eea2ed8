#pragma once

#include <QByteArray>
#include <QString>

// CP932 (Windows-31J) and BOM-selected text files.
namespace tabi::text {

enum class Encoding { Cp932, Utf8, Utf16LE, Utf16BE };

// Characters CP932 cannot hold become "?".
QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);
// The longest prefix whose CP932 form fits in maxBytes, never splitting a double-byte character.
QString cutToCp932Bytes(const QString& text, int maxBytes);

struct DecodedText {
    QString text;
    Encoding encoding = Encoding::Cp932;
    bool hadBom = false;
};
// A BOM selects UTF-8, UTF-16LE or UTF-16BE; without one the bytes are CP932.
DecodedText decode(const QByteArray& bytes);
QByteArray encode(const QString& text, Encoding encoding, bool withBom);

} // namespace tabi::text
