// The first-start guide: a document window whose buttons open the screens it names and leave the main menu's
// letters alone, shown at start until the user says otherwise.
#include "app/guide.h"
#include "app/mainform.h"
#include "data/settingsfile.h"
#include "support/tempenv.h"
#include "ui/helpwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QtTest>
#include <memory>

using namespace tabi;

namespace {
QChar mnemonic(const QString& caption) {
    const int amp = caption.indexOf(QLatin1Char('&'));
    return amp >= 0 && amp + 1 < caption.size() ? caption.at(amp + 1).toUpper() : QChar();
}
} // namespace

class TestGuide : public QObject {
    Q_OBJECT
private slots:
    // No key of the guide is a letter of the main menu, and no two of its keys are the same.
    void keysLeaveTheMenuAlone() {
        test::TempEnv env;
        TGuide guide(nullptr);
        QSet<QChar> seen;
        for (QAbstractButton* b : guide.findChildren<QAbstractButton*>()) {
            const QChar key = mnemonic(b->text());
            QVERIFY2(!key.isNull(), qPrintable(b->text()));
            QVERIFY2(!QStringLiteral("FEDMSUWH").contains(key), qPrintable(b->text()));
            QVERIFY2(!seen.contains(key), qPrintable(b->text()));
            seen.insert(key);
        }
    }

    // Each button runs its command; the help button opens the start page.
    void buttonsRunTheirCommands() {
        test::TempEnv env;
        QStringList ran;
        TGuide guide([&](const QString& c) { ran << c; });
        for (const auto& [button, command] : guide.commandButtons())
            if (!command.isEmpty() && button->isEnabled())
                button->click();
        QVERIFY(ran.contains(QStringLiteral("ActionImportAccess")));
        const auto help = guide.commandButtons().last();
        QVERIFY(help.second.isEmpty());
        help.first->click();
        QVERIFY(openHelpWindow());
        QCOMPARE(openHelpWindow()->currentTopic(), kStartTopic);
        openHelpWindow()->close();
    }

    // Shown once by default: opening it stores "not at start"; unticking the box asks for it again.
    void shownOnceUnlessKept() {
        test::TempEnv env;
        QVERIFY(guideWantedAtStart());
        TMainForm form;
        form.command(QStringLiteral("ActionGuide"))->trigger();
        auto* guide = qobject_cast<TGuide*>(form.mdiArea()->currentSubWindow()->widget());
        QVERIFY(guide);
        QVERIFY(!guideWantedAtStart());
        auto* box = guide->findChild<QCheckBox*>(QStringLiteral("GuideDontShow"));
        QVERIFY(box && box->isChecked());
        box->setChecked(false);
        QVERIFY(guideWantedAtStart());
        QCOMPARE(form.command(QStringLiteral("ActionGuide"))->text(), QStringLiteral("はじめに(&G)"));
    }
};

QTEST_MAIN(TestGuide)
#include "test_guide.moc"
