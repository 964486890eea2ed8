#include "records/registration.h"

namespace tabi::records {

void registerCardScreens() {}

} // namespace tabi::records
