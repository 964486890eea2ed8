#include "routes/registration.h"

#include "ui/screens.h"
#include "data/database.h"
#include "routes/codejumpdialog.h"
#include "routes/tjisseki.h"
#include "routes/tmaster.h"

namespace tabi::routes {

void registerScreens() {
    registerScreen(QStringLiteral("ActionMotoDataRosen"), [](QWidget* parent) { return new TMaster(parent); });
    registerScreen(QStringLiteral("ActionMotoDataJiseki"), [](QWidget* parent) { return new TJisseki(parent); });
    registerStartupDialog(QStringLiteral("TCode_I4"), [](QWidget* mainForm) {
        auto* dialog = new TCode_I4(Database::open(DbKind::Reference), mainForm);
        dialog->hide();
        return dialog;
    });
}

} // namespace tabi::routes
