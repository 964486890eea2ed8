#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

// The manual of the program: pages built into the program, shown in a window of their own with a contents
// list and a search over every page's text. One window serves the whole program.
namespace tabi {

struct HelpPage {
    QString topic; // file name of the page, as the help topic table names it ("rosen.htm")
    QString title;
};

// The pages in the order of the contents list (help/contents.txt).
const QList<HelpPage>& helpPages();
// True when the manual has a page for the topic.
bool hasHelpPage(const QString& topic);
// The page's text without markup, for the search.
QString helpPageText(const QString& topic);
// The topics whose title or text contain every word of query (upper and lower case, hiragana and katakana,
// half-width and full-width alike), in contents order.
QStringList searchHelp(const QString& query);

inline const QString kStartTopic = QStringLiteral("index.htm");

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    void showTopic(const QString& topic);
    QString currentTopic() const { return m_topic; }

protected:
    void keyPressEvent(QKeyEvent* event) override; // Esc closes the window

private:
    void filter(const QString& query);
    QLineEdit* m_search;
    QListWidget* m_contents;
    QTextBrowser* m_page;
    QString m_topic;
};

// Opens (or raises) the help window on a topic; the start page for an empty or unknown topic. Returns it.
HelpWindow* showHelp(const QString& topic);
// The help window when one is open, else null.
HelpWindow* openHelpWindow();

} // namespace tabi
