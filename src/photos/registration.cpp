#include "photos/registration.h"

namespace tabi::photos {

void registerScreens() {}

} // namespace tabi::photos
