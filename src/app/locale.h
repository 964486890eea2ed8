#pragma once

class QApplication;

namespace tabi {

// The program speaks Japanese whatever the environment says. Before the application object exists: the locale
// that Qt takes from the environment (dates, sizes and numbers in Qt's own dialogs) is made Japanese, while the C
// library keeps the character encoding it was started with.
void prepareJapaneseLocale();

// After the application object exists: the default locale is Japanese and Qt's own texts (dialog buttons, file
// dialogs) are translated.
void installJapaneseTranslations(QApplication& app);

} // namespace tabi
