#include "data/searchtext.h"

namespace tabi::text {

QString searchFold(const QString& text) {
    const QString unified = text.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(unified.size());
    for (QChar c : unified) {
        if (c.isSpace())
            continue;
        const char16_t u = c.unicode();
        // Katakana ァ..ヶ and the iteration marks ヽヾ have their hiragana 0x60 below.
        if ((u >= 0x30A1 && u <= 0x30F6) || u == 0x30FD || u == 0x30FE)
            out += QChar(char16_t(u - 0x60));
        else
            out += c.toCaseFolded();
    }
    return out;
}

} // namespace tabi::text
