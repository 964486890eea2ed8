#pragma once

namespace tabi::records {

// Registers the screens of the other-records commands (ropeways, places, itineraries, master editors).
void registerScreens();

// The record card screens (ropeways, other places) and the itinerary and master editor screens register
// themselves through these two, each beside its screens.
void registerCardScreens();
void registerEditorScreens();

} // namespace tabi::records
