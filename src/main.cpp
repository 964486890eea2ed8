#include "app/locale.h"
#include "app/mainform.h"
#include "app/startup.h"
#include "photos/registration.h"
#include "records/registration.h"
#include "routes/registration.h"
#include "tally/screens.h"
#include "ui/fonts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    tabi::prepareJapaneseLocale();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabiroku"));
    // Ties the windows to the menu entry tabiroku.desktop (its name and icon in task bars, the Wayland app id).
    QApplication::setDesktopFileName(QStringLiteral("tabiroku"));
    QApplication::setFont(tabi::ui::uiFont(13));
    tabi::installJapaneseTranslations(app);

    // Each subsystem registers the screens of its commands here (tabi::registerScreen) and its start-up
    // dialogs (tabi::registerStartupDialog); the settings dialog is the shell's own.

    tabi::routes::registerScreens();
    tabi::tally::registerScreens();
    tabi::records::registerScreens();
    tabi::photos::registerScreens();
    std::unique_ptr<tabi::TMainForm> mainForm = tabi::startUp();
    if (!mainForm)
        return 1;
    mainForm->showMaximized();
    return app.exec();
}
