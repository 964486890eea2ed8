#include "ui/screen.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QShortcut>
#include <QTabWidget>

namespace tabi {

Screen::Screen(QWidget* parent) : QWidget(parent) {
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages of a screen that has them; on a screen without pages they keep
    // switching between the document windows.
    const QKeySequence keys[] = {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)};
    for (int i = 0; i < 3; ++i) {
        auto* shortcut = new QShortcut(keys[i], this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, forward = i == 0] { turnPage(forward); });
    }
}

void Screen::turnPage(bool forward) {
    for (QTabWidget* pages : findChildren<QTabWidget*>()) {
        if (!pages->isVisible() || pages->count() < 2)
            continue;
        // Pages that are switched off are passed over.
        const int n = pages->count();
        int at = pages->currentIndex();
        for (int step = 0; step < n; ++step) {
            at = (at + (forward ? 1 : n - 1)) % n;
            if (pages->isTabEnabled(at) && pages->isTabVisible(at))
                break;
        }
        pages->setCurrentIndex(at);
        // The focus goes to the page's first control, so the keys act on what is now shown.
        if (QWidget* page = pages->currentWidget())
            for (QWidget* w : page->findChildren<QWidget*>())
                if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page) && w->isEnabled()) {
                    w->setFocus(Qt::TabFocusReason);
                    break;
                }
        return;
    }
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* area = qobject_cast<QMdiArea*>(w)) {
            if (forward)
                area->activateNextSubWindow();
            else
                area->activatePreviousSubWindow();
            return;
        }
}

void Screen::closeScreen() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

} // namespace tabi
