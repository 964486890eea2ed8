#pragma once

#include "data/error.h"

#include <QAbstractButton>
#include <QString>
#include <exception>
#include <type_traits>
#include <utility>

class QWidget;

// Every command of a screen runs through runCommand: it shows the wait cursor for the command's length, and an
// engine, file or decoder error ends the command and is shown in the standard error box with its own text.
// The screen stays open; whatever the command wrote before the error stays written.
namespace tabi::ui {

// The application title "タビロク": the main window's caption and the caption of the program's message boxes.
// Windows carry their own captions only: no application name is appended to them.
QString applicationTitle();

// Shows the standard critical box for a failed command, captioned with the application title.
void showCommandError(QWidget* owner, const QString& text);

// Keeps the wait cursor up while alive; restored on every way out, exceptions included. Nests.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Shows the wait cursor while a statement of any connection waits for another connection's lock, from the
// first retry until the statement has ended, whatever command (or none) runs it. Installed once by the main window.
void installBusyWaitCursor();
// The hook installBusyWaitCursor installs (true: a wait begins; false: it has ended).
void busyWaitCursor(bool waiting);

// Runs f; returns false when it ended by an error (already shown).
template <class F> bool runCommand(QWidget* owner, F&& f) {
    try {
        WaitCursor wait;
        std::forward<F>(f)();
        return true;
    } catch (const Error& error) {
        showCommandError(owner, error.message());
    } catch (const std::exception& error) {
        showCommandError(owner, QString::fromLocal8Bit(error.what()));
    }
    return false;
}

// Connects a button's click to a command handler that runs through runCommand with owner as the box's parent.
template <class F> QMetaObject::Connection connectCommand(QAbstractButton* button, QWidget* owner, F handler) {
    return QObject::connect(button, &QAbstractButton::clicked, owner,
                            [owner, handler = std::move(handler)]() mutable { runCommand(owner, handler); });
}

} // namespace tabi::ui
