#pragma once

namespace tabi::photos {

// Registers the screens of the photo commands (the photo folder audit).
void registerScreens();

} // namespace tabi::photos
