#include "app/mnemonics.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

namespace tabi {

QAbstractButton* findMnemonicButton(QWidget* root, int key) {
    if (!root)
        return nullptr;
    const QKeySequence wanted(QKeyCombination(Qt::AltModifier, Qt::Key(key)));
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || !button->isEnabled() || button->window() != root->window())
            continue;
        if (QKeySequence::mnemonic(button->text()) == wanted)
            return button;
    }
    return nullptr;
}

MnemonicRouter::MnemonicRouter(QWidget* frame, std::function<QWidget*()> activeScreen)
    : QObject(frame), m_frame(frame), m_activeScreen(std::move(activeScreen)) {}

QAbstractButton* MnemonicRouter::target(const QKeyEvent* event) const {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier)
        return nullptr;
    const int key = event->key();
    const bool letterOrDigit = (key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9);
    if (!letterOrDigit)
        return nullptr;
    if (QApplication::activeWindow() != m_frame || QApplication::activePopupWidget())
        return nullptr;
    return findMnemonicButton(m_activeScreen(), key);
}

bool MnemonicRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming the override keeps the key out of the shortcut map, so the menu bar's mnemonic cannot win
        // or make the key ambiguous; the key press that follows is handled below.
        if (target(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier &&
            QApplication::activeWindow() == m_frame && !QApplication::activePopupWidget()) {
            // F10 selects the menu bar as a lone Alt does; the menu bar's own Alt handling does the work.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
            QCoreApplication::sendEvent(watched, &press);
            QCoreApplication::sendEvent(watched, &release);
            return true;
        }
        if (QAbstractButton* button = target(static_cast<QKeyEvent*>(event))) {
            // Like a mouse click, the button takes the focus first, so a field being edited is left first.
            button->setFocus(Qt::ShortcutFocusReason);
            button->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tabi
