#pragma once

#include <QString>

class QWidget;

namespace tabi::ui {

// Shows a short message in the status bar of the main window that holds from: the window itself, the window of
// a dialog's owner, or else the program's main window. Nothing happens when there is no status bar.
void showStatusMessage(QWidget* from, const QString& text);

// How long a message stays before the status bar clears it (a hint shown meanwhile replaces it at once).
constexpr int kStatusMessageMilliseconds = 10000;

} // namespace tabi::ui
