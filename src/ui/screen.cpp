#include "ui/screen.h"

#include <QMdiSubWindow>

namespace tabi {

Screen::Screen(QWidget* parent) : QWidget(parent) {}

void Screen::closeScreen() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

} // namespace tabi
