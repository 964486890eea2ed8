#include "app/locale.h"
#include "app/mainform.h"
#include "app/startup.h"
#include "app/suppliednetwork.h"
#include "mdbimport/commandline.h"
#include "netimport/netimport.h"
#include "netmap/exportmap.h"
#include "photos/registration.h"
#include "records/registration.h"
#include "routes/registration.h"
#include "supplied/commandline.h"
#include "tally/screens.h"
#include "ui/fonts.h"

#include <QApplication>

#include <cstring>

namespace {

// Command-line forms for scripted use. Each is recognised by its first argument before any application
// object exists, makes the (display-free) application object it needs, and returns the exit code.
using CommandLineForm = int (*)(int argc, char* argv[]);
struct CommandLineEntry {
    const char* option;
    CommandLineForm run;
};
constexpr CommandLineEntry kCommandLineForms[] = {
    // REFERENCE.mdb PERSONAL.mdb [--replace]
    {"--import-access", &tabi::mdbimport::runImportCommand},
    // DIR [--with-abolished]
    {"--import-network", &tabi::net::runImportNetworkCommand},
    // OUT.png|OUT.svg [--from yyyy-mm-dd] [--to yyyy-mm-dd]
    {"--export-map", &tabi::netmap::exportMapCommand},
    // OUT.csv [--from yyyy-mm-dd] [--to yyyy-mm-dd]
    {"--export-prefectures", &tabi::netmap::exportPrefecturesCommand},
    // OUT [--source-commit LINE] [--dataset DIR]: the supplied network, for scripts/make-network.sh only
    {"--write-supplied-network", &tabi::supplied::writeSuppliedNetworkCommand},
};

CommandLineForm commandLineForm(int argc, char* argv[]) {
    if (argc < 2)
        return nullptr;
    for (const CommandLineEntry& e : kCommandLineForms)
        if (e.option && std::strcmp(argv[1], e.option) == 0)
            return e.run;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const CommandLineForm form = commandLineForm(argc, argv))
        return form(argc, argv);
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
    // A first start makes the reference database with the supplied national network; an older one is offered it.
    tabi::prepareReferenceDatabase(nullptr);
    std::unique_ptr<tabi::TMainForm> mainForm = tabi::startUp();
    if (!mainForm)
        return 1;
    mainForm->showMaximized();
    return app.exec();
}
