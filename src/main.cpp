#include "app/mainform.h"
#include "app/startup.h"
#include "photos/registration.h"
#include "records/registration.h"
#include "routes/registration.h"
#include "tally/screens.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabiroku"));
    // Ties the windows to the menu entry tabiroku.desktop (its name and icon in task bars, the Wayland app id).
    QApplication::setDesktopFileName(QStringLiteral("tabiroku"));
    QApplication::setFont(tabi::ui::uiFont(13));

    // Qt's own dialogs (file dialogs, message box buttons) speak the user's language.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

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
