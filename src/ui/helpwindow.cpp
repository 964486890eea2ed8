#include "ui/helpwindow.h"

#include "ui/fonts.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

// Resources of a static library are registered by name from the code that uses them.
static void initHelpResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    (void)done;
}

namespace tabi {

namespace {

QString pagePath(const QString& topic) {
    initHelpResources();
    return QStringLiteral(":/help/") + topic;
}

// Search text folded so that a rider's spelling finds the page: full-width and half-width forms alike (NFKC),
// katakana as hiragana, letters in lower case.
QString fold(const QString& text) {
    QString s = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar& c : s)
        if (c.unicode() >= 0x30A1 && c.unicode() <= 0x30F6)
            c = QChar(c.unicode() - 0x60);
    return s;
}

} // namespace

const QList<HelpPage>& helpPages() {
    initHelpResources();
    static const QList<HelpPage> pages = [] {
        QList<HelpPage> list;
        QFile f(QStringLiteral(":/help/contents.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return list;
        for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            const QString t = line.trimmed();
            if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
                continue;
            const int bar = t.indexOf(QLatin1Char('|'));
            if (bar > 0)
                list.append({t.left(bar).trimmed(), t.mid(bar + 1).trimmed()});
        }
        return list;
    }();
    return pages;
}

bool hasHelpPage(const QString& topic) {
    if (topic.isEmpty() || !QFile::exists(pagePath(topic)))
        return false;
    for (const HelpPage& p : helpPages())
        if (p.topic == topic)
            return true;
    return false;
}

QString helpPageText(const QString& topic) {
    QFile f(pagePath(topic));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(f.readAll()));
    return doc.toPlainText();
}

QStringList searchHelp(const QString& query) {
    const QStringList words = fold(query).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QStringList found;
    for (const HelpPage& p : helpPages()) {
        const QString text = fold(p.title + QLatin1Char('\n') + helpPageText(p.topic));
        bool all = true;
        for (const QString& w : words)
            all = all && text.contains(w);
        if (all)
            found << p.topic;
    }
    return found;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1000, 720);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("HelpSearch"));
    m_search->setPlaceholderText(QStringLiteral("ヘルプを検索"));
    m_search->setClearButtonEnabled(true);
    auto* searchLabel = new QLabel(QStringLiteral("検索(&S):"), this);
    searchLabel->setBuddy(m_search);
    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("HelpContents"));
    auto* contentsLabel = new QLabel(QStringLiteral("目次(&C):"), this);
    contentsLabel->setBuddy(m_contents);
    m_page = new QTextBrowser(this);
    m_page->setObjectName(QStringLiteral("HelpPage"));
    m_page->setOpenLinks(true);
    m_page->setOpenExternalLinks(true);
    m_page->setFont(ui::uiFont(15));

    auto* side = new QVBoxLayout;
    side->addWidget(searchLabel);
    side->addWidget(m_search);
    side->addWidget(contentsLabel);
    side->addWidget(m_contents, 1);
    auto* sideWidget = new QWidget(this);
    sideWidget->setLayout(side);
    sideWidget->setFixedWidth(280);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(sideWidget);
    layout->addWidget(m_page, 1);

    for (const HelpPage& p : helpPages()) {
        auto* item = new QListWidgetItem(p.title, m_contents);
        item->setData(Qt::UserRole, p.topic);
    }
    connect(m_search, &QLineEdit::textChanged, this, &HelpWindow::filter);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        for (int i = 0; i < m_contents->count(); ++i)
            if (!m_contents->item(i)->isHidden()) {
                showTopic(m_contents->item(i)->data(Qt::UserRole).toString());
                m_page->find(m_search->text().split(QLatin1Char(' ')).value(0));
                return;
            }
    });
    connect(m_contents, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            showTopic(item->data(Qt::UserRole).toString());
    });
    connect(m_page, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        const QString topic = url.fileName();
        if (topic.isEmpty() || topic == m_topic)
            return;
        m_topic = topic;
        for (int i = 0; i < m_contents->count(); ++i)
            if (m_contents->item(i)->data(Qt::UserRole).toString() == topic) {
                const QSignalBlocker block(m_contents);
                m_contents->setCurrentRow(i);
                setWindowTitle(QStringLiteral("タビロク ヘルプ － %1").arg(m_contents->item(i)->text()));
            }
    });
}

void HelpWindow::showTopic(const QString& topic) {
    const QString shown = hasHelpPage(topic) ? topic : kStartTopic;
    if (shown != m_topic || m_page->source().isEmpty()) {
        m_topic = shown;
        m_page->setSource(QUrl(QStringLiteral("qrc") + pagePath(shown)));
    }
    for (int i = 0; i < m_contents->count(); ++i)
        if (m_contents->item(i)->data(Qt::UserRole).toString() == shown) {
            const QSignalBlocker block(m_contents);
            m_contents->setCurrentRow(i);
            setWindowTitle(QStringLiteral("タビロク ヘルプ － %1").arg(m_contents->item(i)->text()));
        }
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpWindow::filter(const QString& query) {
    const QStringList found = query.trimmed().isEmpty() ? QStringList() : searchHelp(query);
    for (int i = 0; i < m_contents->count(); ++i) {
        QListWidgetItem* item = m_contents->item(i);
        item->setHidden(!query.trimmed().isEmpty() && !found.contains(item->data(Qt::UserRole).toString()));
    }
}

namespace {
QPointer<HelpWindow>& theWindow() {
    static QPointer<HelpWindow> window;
    return window;
}
} // namespace

HelpWindow* showHelp(const QString& topic) {
    QPointer<HelpWindow>& w = theWindow();
    if (!w)
        w = new HelpWindow;
    w->showTopic(topic);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

HelpWindow* openHelpWindow() {
    return theWindow();
}

} // namespace tabi
