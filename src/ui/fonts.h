#pragma once

#include <QFont>
#include <QString>

// The one place that names the typeface of every screen and dialog. The designed face is not available on
// this platform; a Japanese face with the same role (sans-serif UI text, Japanese glyph forms) stands in.
namespace tabi::ui {

QString uiFontFamily();
// The UI face at a size in pixels, as the screen layouts give their sizes.
QFont uiFont(int pixelSize);

} // namespace tabi::ui
