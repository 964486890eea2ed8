#pragma once

#include <QList>
#include <QString>

class QPushButton;
class QWidget;

// Help file names and the help topic of every screen and dialog, in one place. The topics are pages of the
// manual built into the program (ui/help), shown by the help window.
namespace tabi {

// Where the manual is, as the settings dialog shows it (read-only).
inline constexpr char16_t kApplicationHelpFile[] = u"プログラムに内蔵（ヘルプ(H) → ヘルプ索引、各画面では F1 キー）";

void setApplicationHelpFile(const QString& fileName);
QString applicationHelpFile();

struct HelpTopic {
    QString screen; // class name
    QString topic;  // empty: the help button has no command
    QString file;
};

// The topic of a screen or dialog class; null for a class the table does not know.
const HelpTopic* helpTopicFor(const QString& screenClass);
// Every entry of the table.
const QList<HelpTopic>& helpTopics();

// Adds the help button "ﾍﾙﾌﾟ(&H)" (objectName BitBtnH) to a screen; it opens the screen's page of the manual.
// The caller places it in its layout.
QPushButton* addHelpButton(QWidget* screen, const QString& screenClass);

// Opens the manual on the page of the screen or dialog that widget belongs to (F1): the nearest ancestor whose
// class the table knows, else the start page.
void showHelpFor(QWidget* widget);
// F1 anywhere in the program (modal dialogs included) opens the page of the window it is pressed in.
void installHelpKey();

} // namespace tabi
