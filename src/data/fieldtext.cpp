#include "fieldtext.h"

#include "error.h"

namespace tabi {

int characterCount(const QString& text) {
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++n)
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    return n;
}

qsizetype forbiddenCharacterAt(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029)
            return i;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return i;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return i;
        }
    }
    return -1;
}

void checkSingleLineText(const QString& tableName, const FieldDef& field, const QString& text) {
    const qsizetype at = forbiddenCharacterAt(text);
    if (at < 0)
        return;
    const QChar c = text.at(at);
    const QString title = fieldCaption(field);
    const QString code = QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    QString what;
    switch (c.unicode()) {
    case u'\t':
        what = QStringLiteral("タブ (%1)").arg(code);
        break;
    case u'\n':
    case u'\r':
    case 0x2028:
    case 0x2029:
        what = QStringLiteral("改行 (%1)").arg(code);
        break;
    default:
        what = c.isSurrogate() ? QStringLiteral("対になっていないサロゲート (%1)").arg(code)
                               : QStringLiteral("制御文字 (%1)").arg(code);
        break;
    }
    throw Error(QStringLiteral("使えない文字: %1の%2には、改行・タブなどの制御文字は入りません"
                               "（%3 文字目が%4です）。入力は書き込まれていません。")
                    .arg(tableCaption(tableName), title)
                    .arg(characterCount(text.left(at)) + 1)
                    .arg(what),
                ErrorKind::BadCharacter);
}

} // namespace tabi
