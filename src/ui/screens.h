#pragma once

#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

// The screen lifecycle shared by every subsystem: which class each menu command opens, at what size and place,
// and the factories through which the subsystems supply their screens without the main window knowing them.
namespace tabi {

struct WindowLayout {
    QString className;              // "TMaster", "TCode_I2", ...
    QString caption;                // window caption; empty where the window names itself
    QString command;                // objectName of the opening command; empty for dialogs opened by screens
    bool dialog = false;            // modal dialog (positioned on the desktop) rather than a document window
    QSize size;                     // screens: outer size; dialogs: client size unless outerSize is set
    bool outerSize = true;          // the size is the outer size (frame included)
    bool fixedSize = true;          // minimum size = maximum size
    std::optional<QPoint> position; // designed position; nullopt = chosen by the system
    bool centred = false;           // dialogs centred on the desktop
};

// Every screen and dialog with its designed size and position, in one place.
const QList<WindowLayout>& windowLayouts();
const WindowLayout* layoutForCommand(const QString& command);
const WindowLayout* layoutForClass(const QString& className);

// Gives a modal dialog its designed caption, client size and desktop position; a fixed-size dialog offers no
// minimise or maximise button. Does nothing for an unknown class. Call it before the dialog is first shown.
void placeDialog(QWidget* dialog, const QString& className);

// Gives the keyboard focus to the first control below root in Tab order (visible, enabled, taking the focus by
// Tab); returns it, or null when there is none.
QWidget* focusFirstControl(QWidget* root);

// Where a document window of that size goes when its place is left to the system: one caption height right of
// and below the previous such window, back to the top-left corner when it would not fit into the area.
// previous: the place given last (nullopt: none yet); caption: the height of a window caption.
QPoint cascadePosition(const std::optional<QPoint>& previous, const QSize& window, const QSize& area, int caption);

// Creates a new instance of a screen. parent is the main window, the owner; the shell moves the widget into a
// document window. A factory may throw tabi::Error (a table that cannot be opened): the screen then does not open.
using ScreenFactory = std::function<QWidget*(QWidget* parent)>;

// Called once at start by each subsystem (from main) for the commands whose screens it supplies. An empty
// factory removes the registration. A command without a factory does nothing when chosen.
void registerScreen(const QString& command, ScreenFactory factory);
ScreenFactory screenFactory(const QString& command);

// The one shared reference per screen class: the latest instance opened (null after it is destroyed).
QWidget* latestScreen(const QString& className);
template <class T> T* latestScreen(const QString& className) {
    return qobject_cast<T*>(latestScreen(className));
}
void setLatestScreen(const QString& className, QWidget* screen);

// A dialog that the program creates hidden at start and keeps until the end (the jump-to-place dialog). It is
// owned by the main window and found through latestScreen(className). Registered by its subsystem from main.
struct StartupDialog {
    QString className;
    std::function<QWidget*(QWidget* mainForm)> factory;
};
void registerStartupDialog(const QString& className, std::function<QWidget*(QWidget* mainForm)> factory);
const QList<StartupDialog>& startupDialogs();

} // namespace tabi
