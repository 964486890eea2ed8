#pragma once

namespace tabi::routes {

// Registers the route and ride screens for their menu commands, and the jump-to-place dialog created at start.
void registerScreens();

} // namespace tabi::routes
