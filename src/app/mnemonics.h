#pragma once

#include <QObject>
#include <functional>

class QAbstractButton;
class QKeyEvent;
class QMenu;
class QWidget;

namespace tabi {

// The visible, enabled button below root whose mnemonic ("割合(&W)") is Alt+key; null when there is none.
QAbstractButton* findMnemonicButton(QWidget* root, int key);

// A letter typed in an open menu, counting only the enabled items that carry it: one such item is chosen at
// once, several are highlighted in turn (Enter chooses); a letter that only disabled items carry does nothing.
// Returns false when no item carries the letter, so the menu goes on with the key as usual.
bool chooseMenuLetter(QMenu* menu, const QKeyEvent* event);

// Gives the active document window's own Alt+letter mnemonics priority over the main menu's: Qt would see two
// equal shortcuts in one window as ambiguous and fire neither. Installed on the application; while the frame
// is the active window and no popup is open, an Alt+letter that one of the active screen's buttons carries
// clicks that button and goes no further. Everything else (Alt alone, menu letters) passes on; F10 selects
// the menu bar as a lone Alt does. Letters typed in any open menu go through chooseMenuLetter.
class MnemonicRouter : public QObject {
    Q_OBJECT
public:
    // frame: the main window; activeScreen: the widget of the active document window, or null.
    MnemonicRouter(QWidget* frame, std::function<QWidget*()> activeScreen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractButton* target(const QKeyEvent* event) const;

    QWidget* m_frame;
    std::function<QWidget*()> m_activeScreen;
};

} // namespace tabi
