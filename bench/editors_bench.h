#pragma once

#include <QString>

// Times the itinerary screen and the code-table editors on the data set in dir: opening the itinerary screen over
// 5,000 itineraries of 10 legs each, moving to the next itinerary with its legs following, and switching the level
// of the classification editor.
void runEditorsBench(const QString& dir);
