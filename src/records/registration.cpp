#include "records/registration.h"

namespace tabi::records {

void registerScreens() {
    registerCardScreens();
    registerEditorScreens();
}

} // namespace tabi::records
