#include "records/registration.h"

#include "records/itinerary.h"
#include "records/mastereditors.h"
#include "ui/screens.h"

namespace tabi::records {

void registerEditorScreens() {
    registerScreen(QStringLiteral("ActionOmakeRyotei"), [](QWidget* parent) { return new TRFORM(parent); });
    registerScreen(QStringLiteral("ActionMasterBunrui"), [](QWidget* parent) { return new TBunrui(parent); });
    registerScreen(QStringLiteral("ActionMasterKubun"), [](QWidget* parent) { return new TKubun(parent); });
    registerScreen(QStringLiteral("ActionMasterToshi"), [](QWidget* parent) { return new TTOSHI(parent); });
    registerScreen(QStringLiteral("ActionMasterOthers"), [](QWidget* parent) { return new TOTHERS(parent); });
}

} // namespace tabi::records
