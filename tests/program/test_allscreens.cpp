// Every screen and dialog of the whole program, as the menus open them: captions, window buttons and the
// keyboard focus on opening. Screens registered by any subsystem are covered as they come.

#include "app/mainform.h"
#include "app/startup.h"
#include "photos/registration.h"
#include "records/registration.h"
#include "routes/registration.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"
#include "tally/screens.h"
#include "ui/screens.h"

#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>
#include <memory>

using namespace tabi;

namespace {

void registerEverything() {
    static bool done = false;
    if (done)
        return;
    done = true;
    routes::registerScreens();
    tally::registerScreens();
    records::registerScreens();
    photos::registerScreens();
}

// The first control below root that Tab would reach.
QWidget* firstInTabOrder(QWidget* root) {
    for (QWidget* w = root->nextInFocusChain(); w != root; w = w->nextInFocusChain())
        if (root->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(root) && (w->focusPolicy() & Qt::TabFocus))
            return w;
    return nullptr;
}

bool hasMinMaxButtons(const QWidget* w) {
    return w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
}

// Each dialog is known by its caption; the captions of the dialogs are unique but for the two route jumps.
const WindowLayout* dialogLayout(const QString& caption) {
    for (const WindowLayout& l : windowLayouts())
        if (l.dialog && l.caption == caption)
            return &l;
    return nullptr;
}

void checkDialog(QDialog* dialog) {
    const WindowLayout* layout = dialogLayout(dialog->windowTitle());
    QVERIFY2(layout,
             qPrintable(QStringLiteral("%1: caption %2")
                            .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle())));
    if (layout->fixedSize) {
        QVERIFY2(!hasMinMaxButtons(dialog), qPrintable(layout->className));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    }
}

} // namespace

class TestAllScreens : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnv> m_env;

private Q_SLOTS:
    void init() {
        registerEverything();
        m_env = std::make_unique<test::TempEnv>();
    }
    void cleanup() { m_env.reset(); }

    // Captions are the windows' own: no application name is added to any of them.
    void startUpWindows() {
        std::unique_ptr<TMainForm> form = startUp();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("タビロク"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        const QList<QDialog*> dialogs = form->findChildren<QDialog*>();
        QVERIFY(dialogs.size() >= 1);
        for (QDialog* d : dialogs)
            checkDialog(d);
    }

    void everyScreen_data() {
        QTest::addColumn<QString>("command");
        for (const WindowLayout& l : windowLayouts())
            if (!l.command.isEmpty() && (screenFactory(l.command) || l.command == QLatin1String("ActionConfig")))
                QTest::newRow(qPrintable(l.className)) << l.command;
    }

    void everyScreen() {
        QFETCH(QString, command);
        const WindowLayout* layout = layoutForCommand(command);
        test::DialogAnswerer answers;
        TMainForm form;
        form.resize(1600, 1000);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QWidget* screen = form.openScreen(command);
        QVERIFY2(screen, qPrintable(answers.requests().isEmpty() ? QString() : answers.requests().first().text));
        auto* frame = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
        QVERIFY(frame);
        QCOMPARE(frame->windowTitle(), layout->caption);
        QCOMPARE(screen->windowTitle(), layout->caption);
        // Only the windows that grow (the text window, the ride map) can be maximised.
        QCOMPARE(bool(frame->windowFlags() & Qt::WindowMaximizeButtonHint), !layout->fixedSize);

        QWidget* first = firstInTabOrder(screen);
        QVERIFY(first);
        QTRY_COMPARE(QApplication::focusWidget(), first);

        for (QDialog* d : screen->findChildren<QDialog*>())
            checkDialog(d);
    }
};

QTEST_MAIN(TestAllScreens)
#include "test_allscreens.moc"
