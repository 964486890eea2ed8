#pragma once

#include <QString>

// Texts compared as a Japanese user reads them: kana in hiragana or katakana, half-width or full-width forms,
// and letter case all alike.
namespace tabi::text {

// The form in which two texts that read alike are equal: compatibility forms unified (half-width katakana to
// full-width, full-width letters and digits to ASCII), katakana to hiragana, case folded, blanks dropped.
QString searchFold(const QString& text);

} // namespace tabi::text
