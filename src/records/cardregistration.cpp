#include "records/cardscreens.h"
#include "records/registration.h"
#include "ui/screens.h"

namespace tabi::records {

void registerCardScreens() {
    registerScreen(QStringLiteral("ActionMotoSakudo"), [](QWidget* parent) { return new TFSAKUDO(parent); });
    registerScreen(QStringLiteral("ActionOmakeShikoku88"), [](QWidget* parent) { return new TF_Others2(parent); });
}

} // namespace tabi::records
