#include "ui/helptopics.h"

#include <QList>
#include <QPushButton>

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

const HelpTopic* helpTopicFor(const QString& screenClass) {
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
        {QStringLiteral("TF_Others2"), QString(), QString()},
        {QStringLiteral("TOTHERS"), QString(), QString()},
    };
    for (const HelpTopic& t : topics)
        if (t.screen == screenClass)
            return &t;
    return nullptr;
}

QPushButton* addHelpButton(QWidget* screen, const QString& screenClass) {
    auto* button = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ(&H)"), screen);
    button->setObjectName(QStringLiteral("BitBtnH"));
    if (const HelpTopic* t = helpTopicFor(screenClass)) {
        button->setProperty("helpTopic", t->topic);
        button->setProperty("helpFile", t->file);
    }
    // Nothing makes the button visible or enabled, so it needs no command: there is no help viewer here.
    button->setEnabled(false);
    button->setVisible(false);
    return button;
}

QString helpNoticeText() {
    return QStringLiteral("ヘルプファイルは未作成です\n不明点は以下に問い合わせてください\nEmail: 宛先アドレス準備中");
}

} // namespace tabi
