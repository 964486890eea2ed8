#include "app/locale.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>

namespace tabi {

void prepareJapaneseLocale() {
    // The C library's locale is taken from the environment as it was; Qt sets it again from the environment
    // when the application starts, and a Japanese locale that the system lacks then leaves this one in place.
    std::setlocale(LC_ALL, "");
    // Qt reads its system locale from these variables.
    qputenv("LC_ALL", "ja_JP.UTF-8");
    qputenv("LANGUAGE", "ja_JP:ja");
}

void installJapaneseTranslations(QApplication& app) {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    auto* translator = new QTranslator(&app);
    if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace tabi
