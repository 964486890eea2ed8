#include "app/guide.h"
#include "app/locale.h"
#include "app/mainform.h"
#include "app/startup.h"
#include "app/suppliednetwork.h"
#include "data/database.h"
#include "data/error.h"
#include "mdbimport/commandline.h"
#include "netexport/progress.h"
#include "netexport/rideexport.h"
#include "netexport/rideimport.h"
#include "netimport/netimport.h"
#include "netmap/exportmap.h"
#include "photos/registration.h"
#include "records/registration.h"
#include "routes/journeycommand.h"
#include "routes/registration.h"
#include "supplied/commandline.h"
#include "supplied/network.h"
#include "tally/screens.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Command-line forms for scripted use. Each is recognised by its first argument before any application
// object exists, makes the (display-free) application object it needs, and returns the exit code.
using CommandLineForm = int (*)(int argc, char* argv[]);
struct CommandLineEntry {
    const char* option;
    CommandLineForm run;
    const char* usage; // the arguments after the option and what the form does, for --help
};
constexpr CommandLineEntry kCommandLineForms[] = {
    {"--import-access", &tabi::mdbimport::runImportCommand,
     "REFERENCE.mdb PERSONAL.mdb [--replace] [--accept-unusual] [--survey]   Accessデータベースの取り込み"},
    {"--import-network", &tabi::net::runImportNetworkCommand,
     "DIR [--with-abolished] [--straight-lines] [--preview]   全国路線データの取り込み"},
    {"--export-map", &tabi::netmap::exportMapCommand,
     "OUT.png|OUT.svg [--from yyyy-mm-dd] [--to yyyy-mm-dd]   乗車地図の書き出し"},
    {"--export-prefectures", &tabi::netmap::exportPrefecturesCommand,
     "OUT.csv [--from yyyy-mm-dd] [--to yyyy-mm-dd]   都道府県別の乗車率の書き出し"},
    {"--route", &tabi::routes::routeCommand,
     "FROM TO [--via STATION]... [--no-shinkansen] [--avoid ROUTE]... [--date yyyy-mm-dd --record]   "
     "乗車経路の検索と記録"},
    {"--export-rides", &tabi::netexport::exportRidesCommand,
     "OUT.geojson|OUT.kml|OUT.gpx [--from yyyy-mm-dd] [--to yyyy-mm-dd]   乗車区間の地図データの書き出し"},
    {"--export-network", &tabi::netexport::exportNetworkCommand,
     "OUT.geojson [--from yyyy-mm-dd] [--to yyyy-mm-dd]   路線網と路線ごとの乗車率の書き出し"},
    {"--import-rides", &tabi::netexport::importRidesCommand, "FILE.csv [--dry-run]   乗車記録の取り込み (CSV)"},
    {"--export-progress", &tabi::netexport::exportProgressCommand,
     "OUT.png|OUT.svg [--monthly] [--per-period]   乗車の推移のグラフの書き出し"},
    // OUT [--source-commit LINE] [--dataset DIR]: the supplied network, for scripts/make-network.sh only
    {"--write-supplied-network", &tabi::supplied::writeSuppliedNetworkCommand, nullptr},
};

CommandLineForm commandLineForm(int argc, char* argv[]) {
    if (argc < 2)
        return nullptr;
    for (const CommandLineEntry& e : kCommandLineForms)
        if (e.option && std::strcmp(argv[1], e.option) == 0)
            return e.run;
    return nullptr;
}

void printUsage() {
    std::string text = "使い方: tabiroku [オプション]\n"
                       "  (オプションなし)   タビロクの画面を開きます\n"
                       "  --help   この一覧を表示します\n"
                       "  --version   バージョンを表示します\n";
    for (const CommandLineEntry& e : kCommandLineForms)
        if (e.usage) // the forms without a usage text serve the project's scripts only
            text += std::string("  ") + e.option + " " + e.usage + "\n";
    std::fputs(text.c_str(), stdout);
}

// The options of Qt's own that a window start accepts (-platform xcb, -reverse …): 1 when the option takes a value,
// 0 when it stands alone, -1 for an option Qt does not know either.
int toolkitOption(const char* arg) {
    if (arg[0] == '-' && arg[1] == '-')
        ++arg; // Qt takes --platform as -platform
    static const char* const withValue[] = {"-platform",      "-platformpluginpath",
                                            "-platformtheme", "-plugin",
                                            "-style",         "-stylesheet",
                                            "-session",       "-display",
                                            "-geometry",      "-qwindowgeometry",
                                            "-qwindowicon",   "-qwindowtitle",
                                            "-name",          "-title",
                                            "-visual"};
    static const char* const alone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    for (const char* k : withValue)
        if (std::strcmp(arg, k) == 0)
            return 1;
    for (const char* k : alone)
        if (std::strcmp(arg, k) == 0)
            return 0;
    return -1;
}

// --help, --version and a mistaken option are answered without a display; -1 lets the window start.
int answerWithoutWindow(int argc, char* argv[]) {
    if (argc < 2)
        return -1;
    const char* first = argv[1];
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) {
        printUsage();
        return 0;
    }
    if (std::strcmp(first, "--version") == 0) {
        std::printf("タビロク %s\n", TABIROKU_VERSION);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-')
            continue;
        if (const int takes = toolkitOption(arg); takes >= 0) {
            i += takes;
            continue;
        }
        std::fprintf(stderr, "tabiroku: 不明なオプション %s です。使い方は tabiroku --help で表示されます。\n", arg);
        return 2;
    }
    return -1;
}

} // namespace

// The command-line forms that read the network. On a machine where the window never started they find the supplied
// network there all the same, laid out as the window's first start lays it out.
bool readsNetwork(const char* option) {
    for (const char* o : {"--import-network", "--export-map", "--export-prefectures", "--route", "--export-rides",
                          "--export-network", "--import-rides", "--export-progress"})
        if (std::strcmp(option, o) == 0)
            return true;
    return false;
}

int layOutSuppliedNetworkIfAbsent(int argc, char* argv[]) {
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], "--data-dir") == 0)
            return 0; // a child of the window: the window has made its databases
    QCoreApplication app(argc, argv);
    const QString path = tabi::paths::databaseFile(tabi::DbKind::Reference);
    if (QFileInfo::exists(path))
        return 0;
    try {
        QDir().mkpath(QFileInfo(path).absolutePath());
        tabi::supplied::createReferenceWithNetwork(path, tabi::supplied::builtInNetwork());
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("参照データベース %1 を、同梱の全国路線データで作りました。")
                         .arg(path)
                         .toLocal8Bit()
                         .constData());
    } catch (const tabi::Error& e) {
        std::fprintf(stderr, "tabiroku: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

int main(int argc, char* argv[]) {
    if (const CommandLineForm form = commandLineForm(argc, argv)) {
        if (readsNetwork(argv[1]))
            if (const int code = layOutSuppliedNetworkIfAbsent(argc, argv); code != 0)
                return code;
        return form(argc, argv);
    }
    if (const int code = answerWithoutWindow(argc, argv); code >= 0)
        return code;
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
    if (tabi::guideWantedAtStart())
        mainForm->openScreen(QStringLiteral("ActionGuide"));
    return app.exec();
}
