#include "records/registration.h"

namespace tabi::records {

void registerEditorScreens() {}

} // namespace tabi::records
