#include "ui/statusmessage.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>

namespace tabi::ui {

namespace {

QStatusBar* statusBarOf(QWidget* w) {
    auto* main = qobject_cast<QMainWindow*>(w);
    // findChild, not statusBar(): the latter would give a window without one a new status bar.
    return main ? main->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace

void showStatusMessage(QWidget* from, const QString& text) {
    QStatusBar* bar = nullptr;
    // A screen's window is the main window; a dialog is a window of its own whose owner chain leads there.
    for (QWidget* w = from ? from->window() : nullptr; w && !bar;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        bar = statusBarOf(w);
    if (!bar)
        for (QWidget* top : QApplication::topLevelWidgets())
            if ((bar = statusBarOf(top)))
                break;
    if (bar)
        bar->showMessage(text, kStatusMessageMilliseconds);
}

} // namespace tabi::ui
