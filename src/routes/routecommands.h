#pragma once

#include "data/cursor.h"

// The commands the route master screen and the ride record screen share: both keep one remembered route in
// section "Form" and record rides through the station distance picker in the same way.
namespace tabi::routes {

class TCode_I2;
class TEKI2;

// Finish a pending edit of the route, then stand on the first route at or after code; linked cursors follow.
void positionOnCode(TableCursor& routes, const QString& code);
// Activation: the remembered code ("Failure" when absent) goes into the jump dialog's code field, and the
// route cursor is positioned on what that field then holds.
void positionOnRemembered(TableCursor& routes, TCode_I2& jump);
// "移動(&M)": the jump dialog starts from the current code and leaves the chosen (or the same) code.
void moveWithJump(TableCursor& routes, TCode_I2& jump);
// "区間(&K)": the picker for the current route; on "代入(&S)" a new ride is inserted and left in insert state.
// False when the picker was closed any other way.
bool recordRide(TableCursor& routes, TableCursor& rides, TEKI2& picker);
// "終了(&E)": the current route code becomes the remembered one.
void rememberRoute(TableCursor& routes);

} // namespace tabi::routes
