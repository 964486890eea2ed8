#include "app/mnemonics.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>

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

bool chooseMenuLetter(QMenu* menu, const QKeyEvent* event) {
    if (!menu || (event->modifiers() & ~(Qt::ShiftModifier | Qt::AltModifier | Qt::KeypadModifier)))
        return false;
    const QString text = event->text();
    if (text.size() != 1 || !text.at(0).isLetterOrNumber())
        return false;
    const QKeySequence wanted(QKeyCombination(Qt::AltModifier, Qt::Key(text.at(0).toUpper().unicode())));
    bool carried = false;
    QList<QAction*> enabled;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible() || QKeySequence::mnemonic(a->text()) != wanted)
            continue;
        carried = true;
        if (a->isEnabled())
            enabled << a;
    }
    if (!carried)
        return false;
    if (enabled.size() == 1) {
        // Chosen as Enter chooses the highlighted item: the menus close first, a submenu opens instead.
        menu->setActiveAction(enabled.first());
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &enter);
    } else if (!enabled.isEmpty()) {
        const qsizetype current = enabled.indexOf(menu->activeAction());
        menu->setActiveAction(enabled.at((current + 1) % enabled.size()));
    }
    return true;
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
        if (auto* menu = qobject_cast<QMenu*>(watched))
            return chooseMenuLetter(menu, key) || QObject::eventFilter(watched, event);
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
