#pragma once

#include <QWidget>

namespace tabi {

// A document window of the main window. The shell calls activated() each time the screen becomes the active
// document window: when it opens and when the user comes to it from another document window, but not when
// one of the screen's own modal dialogs closes or when the whole program comes back to the foreground.
class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(QWidget* parent = nullptr);

    virtual void activated() {}

    // Closes the document window holding this screen, which destroys both.
    void closeScreen();
    // Ctrl+Tab (forward) and Ctrl+Shift+Tab: the next or previous page of the screen's pages.
    void turnPage(bool forward);
};

} // namespace tabi
