#pragma once

#include "ui/screen.h"

#include <functional>

class QCheckBox;
class QPushButton;

namespace tabi {

// The first steps for a newcomer: a document window (not modal, so the menus keep working from the keyboard)
// with buttons that open the screens it talks about. Shown at the first start and from the Help menu.
class TGuide : public Screen {
    Q_OBJECT
public:
    // open runs a main-window command by its name ("ActionMotoDataRosen", "ActionImportAccess", …).
    TGuide(std::function<void(const QString& command)> open, QWidget* parent = nullptr);

    // The buttons with the command each runs, for tests.
    QList<std::pair<QPushButton*, QString>> commandButtons() const { return m_buttons; }

private:
    QList<std::pair<QPushButton*, QString>> m_buttons;
    QCheckBox* m_dontShow;
};

// Settings section and key that say whether the guide opens at start ("0": it does not).
inline const QString kGuideSection = QStringLiteral("Guide");
inline const QString kGuideKey = QStringLiteral("ShowAtStart");

// True when the guide should open at this start: until the user ticks "次回から表示しない" (ticked by default, so
// it opens once unless the user keeps it).
bool guideWantedAtStart();

} // namespace tabi
