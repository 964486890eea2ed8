#include "ui/fonts.h"

#include <QStringList>

namespace tabi::ui {

QString uiFontFamily() {
    return QStringLiteral("Noto Sans CJK JP");
}

QFont uiFont(int pixelSize) {
    QFont font(uiFontFamily());
    // Without an explicit fallback the font matcher may pick Chinese glyph forms for kanji.
    font.setFamilies(QStringList{uiFontFamily(), QStringLiteral("Noto Sans JP"), QStringLiteral("IPAexGothic")});
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace tabi::ui
