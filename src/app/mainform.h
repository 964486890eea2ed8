#pragma once

#include <QMainWindow>
#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <optional>

class QAction;
class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QWidget;

namespace tabi {

struct WindowLayout;
class MnemonicRouter;

// The main window: a frame of document windows with the menus, tool bar and status bar of the program. It opens
// no table itself; every command that names a screen creates a new instance through the screen registry.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    QMdiArea* mdiArea() const { return m_mdiArea; }
    // The command (action) of that objectName, e.g. "FileNew1", "ActionMotoDataRosen".
    QAction* command(const QString& name) const;

    // Creates a new instance of the screen registered for a command and shows it at its designed place.
    // Returns null when no screen is registered or its creation failed (the error has been shown).
    QWidget* openScreen(const QString& command);
    // Wraps a widget in a document window sized and placed by layout (null: system-chosen, resizable).
    QMdiSubWindow* addDocument(QWidget* widget, const WindowLayout* layout);
    // A new generic text window with that caption.
    QMdiSubWindow* newTextDocument(const QString& caption);

    // The version dialog shown by HelpAbout1; it lives as long as the main window.
    void setAboutBox(QDialog* aboutBox);

    // Rebuilds the document window list at the foot of the Window menu (done whenever the menu opens).
    void refreshWindowMenu();

private:
    void createCommands();
    void createMenus();
    void createToolBar();
    QAction* addCommand(const char* name, const char* hint, const QString& shortcut = {}, const QString& icon = {});
    void connectCommands();

    QPoint documentPosition(QMdiSubWindow* frame, const WindowLayout* layout);
    void onSubWindowActivated(QMdiSubWindow* window);
    // After a menu command wrote to the databases: the active screen reads what changed, as on activation.
    void refreshActiveScreen();
    void updateWindowCommands();
    void updateEditCommands();
    void trackEditTarget(QWidget* now);

    void fileNew();
    void fileOpen();
    void tileHorizontally();
    void tileVertically();
    void minimizeAll();
    void arrangeIcons();
    void helpIndex();
    void helpAbout();

    QMdiArea* m_mdiArea = nullptr;
    QMenu* m_windowMenu = nullptr;
    QList<QAction*> m_windowListActions;
    QPointer<QMdiSubWindow> m_lastActive;
    std::optional<QPoint> m_lastCascade; // where the last document window placed by the system went
    QPointer<QDialog> m_aboutBox;
    QPointer<QWidget> m_editTarget;
    QMetaObject::Connection m_editTargetConnection;
    MnemonicRouter* m_mnemonics = nullptr;
    bool m_closing = false;
};

} // namespace tabi
