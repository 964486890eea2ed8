#include "ui/command.h"

#include "data/database.h"
#include "ui/dialogs.h"

#include <QGuiApplication>

namespace tabi::ui {

QString applicationTitle() {
    return QStringLiteral("タビロク");
}

void showCommandError(QWidget* owner, const QString& text) {
    // The wait cursor must not stay up over the box.
    const bool waiting = QGuiApplication::overrideCursor() != nullptr;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    critical(owner, applicationTitle(), text);
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
}

void busyWaitCursor(bool waiting) {
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void installBusyWaitCursor() {
    setBusyWaitHook(&busyWaitCursor);
}

WaitCursor::WaitCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QGuiApplication::restoreOverrideCursor();
}

} // namespace tabi::ui
