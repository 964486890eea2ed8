#include "routes/registration.h"

#include "data/database.h"
#include "routes/codejumpdialog.h"
#include "routes/journeyscreen.h"
#include "routes/tjisseki.h"
#include "routes/tmaster.h"
#include "ui/screens.h"

namespace tabi::routes {

void registerScreens() {
    registerScreen(QStringLiteral("ActionMotoDataRosen"), [](QWidget* parent) { return new TMaster(parent); });
    registerScreen(QStringLiteral("ActionMotoDataJiseki"), [](QWidget* parent) { return new TJisseki(parent); });
    registerScreen(QStringLiteral("ActionMotoDataJourney"), [](QWidget* parent) { return new TJourney(parent); });
    registerStartupDialog(QStringLiteral("TCode_I4"), [](QWidget* mainForm) {
        auto* dialog = new TCode_I4(Database::open(DbKind::Reference), mainForm);
        dialog->hide();
        return dialog;
    });
}

} // namespace tabi::routes
