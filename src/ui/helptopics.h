#pragma once

#include <QString>

class QPushButton;
class QWidget;

// Help file names and the help topic of every screen, in one place. No help is shown in this version: every
// help button exists hidden and disabled.
namespace tabi {

// The application help file, shown read-only by the settings dialog.
inline constexpr char16_t kApplicationHelpFile[] = u"C:\\TABIROKU\\HELP\\TABIROKU.HLP";

void setApplicationHelpFile(const QString& fileName);
QString applicationHelpFile();

struct HelpTopic {
    QString screen; // class name
    QString topic;  // empty: the help button has no command
    QString file;
};

// The topic of a screen class; a null result for a class without a help button.
const HelpTopic* helpTopicFor(const QString& screenClass);

// Adds the help button "ﾍﾙﾌﾟ(&H)" (objectName BitBtnH) to a screen, hidden and disabled as every help button is.
// The caller places it in its layout.
QPushButton* addHelpButton(QWidget* screen, const QString& screenClass);

// The help notice of the Help menu: the three lines shown instead of a help file.
QString helpNoticeText();

} // namespace tabi
