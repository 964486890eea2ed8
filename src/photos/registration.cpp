#include "photos/registration.h"

#include "photos/tfiles.h"
#include "ui/screens.h"

namespace tabi::photos {

void registerScreens() {
    registerScreen(QStringLiteral("ActionOmakeFiles"), [](QWidget* parent) { return new TFiles(parent); });
}

} // namespace tabi::photos
