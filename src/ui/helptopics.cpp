#include "ui/helptopics.h"

#include "ui/helpwindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QPushButton>
#include <QWidget>

namespace tabi {

namespace {

QString& helpFileName() {
    static QString name = QString::fromUtf16(kApplicationHelpFile);
    return name;
}

const QString kRelativeChm = QStringLiteral("..\\HELP\\tabiroku.chm");
const QString kAbsoluteChm = QStringLiteral("C:\\TABIROKU\\HELP\\tabiroku.chm");

} // namespace

void setApplicationHelpFile(const QString& fileName) {
    helpFileName() = fileName;
}

QString applicationHelpFile() {
    return helpFileName();
}

const QList<HelpTopic>& helpTopics() {
    static const QList<HelpTopic> topics{
        {QStringLiteral("TMaster"), QStringLiteral("rosen.htm"), kRelativeChm},
        {QStringLiteral("TJisseki"), QStringLiteral("josha.htm"), kAbsoluteChm},
        {QStringLiteral("THyoji"), QStringLiteral("bunrui.htm"), kAbsoluteChm},
        {QStringLiteral("THyojiU"), QStringLiteral("kubun.htm"), kRelativeChm},
        {QStringLiteral("THYOJI2"), QStringLiteral("toshi.htm"), kRelativeChm},
        {QStringLiteral("TFSAKUDO"), QStringLiteral("sakudo.htm"), kRelativeChm},
        {QStringLiteral("TBunrui"), QStringLiteral("bunruim.htm"), kAbsoluteChm},
        {QStringLiteral("TKubun"), QStringLiteral("kubunm.htm"), kAbsoluteChm},
        {QStringLiteral("TTOSHI"), QStringLiteral("toshim.htm"), kAbsoluteChm},
        {QStringLiteral("TConfig"), QStringLiteral("config.htm"), kRelativeChm},
        // The screens and dialogs below had no page before the manual was written; they have one now.
        {QStringLiteral("TF_Others2"), QStringLiteral("others.htm"), kRelativeChm},
        {QStringLiteral("TOTHERS"), QStringLiteral("othersm.htm"), kRelativeChm},
        {QStringLiteral("TRFORM"), QStringLiteral("ryotei.htm"), kRelativeChm},
        {QStringLiteral("TMijo"), QStringLiteral("mijo.htm"), kRelativeChm},
        {QStringLiteral("TCJosha"), QStringLiteral("check.htm"), kRelativeChm},
        {QStringLiteral("TJoshaChizu"), QStringLiteral("chizu.htm"), kRelativeChm},
        {QStringLiteral("TFiles"), QStringLiteral("files.htm"), kRelativeChm},
        {QStringLiteral("TAboutBox"), QStringLiteral("about.htm"), kRelativeChm},
        {QStringLiteral("TCode_I2"), QStringLiteral("jump.htm"), kRelativeChm},
        {QStringLiteral("TCode_I3"), QStringLiteral("jump.htm"), kRelativeChm},
        {QStringLiteral("TCode_I4"), QStringLiteral("jump.htm"), kRelativeChm},
        {QStringLiteral("TEKI2"), QStringLiteral("ekikan.htm"), kRelativeChm},
        {QStringLiteral("TGraph"), QStringLiteral("graph.htm"), kRelativeChm},
        {QStringLiteral("TPhoto"), QStringLiteral("photo.htm"), kRelativeChm},
        {QStringLiteral("TSenkei"), QStringLiteral("senkei.htm"), kRelativeChm},
        {QStringLiteral("TMDIChild"), QStringLiteral("memo.htm"), kRelativeChm},
        {QStringLiteral("TGuide"), QStringLiteral("index.htm"), kRelativeChm},
        {QStringLiteral("TJourney"), QStringLiteral("journey.htm"), kRelativeChm},
        {QStringLiteral("TJoshaSuii"), QStringLiteral("suii.htm"), kRelativeChm},
    };
    return topics;
}

const HelpTopic* helpTopicFor(const QString& screenClass) {
    for (const HelpTopic& t : helpTopics())
        if (t.screen == screenClass)
            return &t;
    return nullptr;
}

QPushButton* addHelpButton(QWidget* screen, const QString& screenClass) {
    auto* button = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ(&H)"), screen);
    button->setObjectName(QStringLiteral("BitBtnH"));
    QString topic;
    if (const HelpTopic* t = helpTopicFor(screenClass)) {
        topic = t->topic;
        button->setProperty("helpTopic", t->topic);
        button->setProperty("helpFile", t->file);
    }
    QObject::connect(button, &QPushButton::clicked, button, [topic] { showHelp(topic); });
    return button;
}

void showHelpFor(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        QString cls = w->property("screenClass").toString();
        if (cls.isEmpty())
            cls = QString::fromLatin1(w->metaObject()->className()).section(QStringLiteral("::"), -1);
        if (const HelpTopic* t = helpTopicFor(cls)) {
            showHelp(t->topic);
            return;
        }
    }
    showHelp(kStartTopic);
}

namespace {
class HelpKeyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1 ||
            static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier)
            return false;
        // Every widget on the way up sees the key too: only the first (the one with the focus) acts.
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        if (watched != target && !(target == nullptr && watched->isWidgetType()))
            return false;
        showHelpFor(target ? target : static_cast<QWidget*>(watched));
        return true;
    }
};
} // namespace

void installHelpKey() {
    static HelpKeyFilter* filter = nullptr;
    if (!filter && qApp) {
        filter = new HelpKeyFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

} // namespace tabi
