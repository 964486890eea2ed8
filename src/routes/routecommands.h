#pragma once

#include "data/cursor.h"

// The commands the route master screen and the ride record screen share: both keep one remembered route in
// section "Form" and record rides through the station distance picker in the same way. The remembered code and
// the jump serve the other record screens (ropeways, places) too, with their own key and code field.
namespace tabi::routes {

class CodeJumpDialog;
class TEKI2;

inline const QString kCodeForMove = QStringLiteral("CodeForMove");
inline const QString kRouteCode = QStringLiteral("ROSEN_CD");

// Finish a pending edit of the route, then stand on the first route at or after code; linked cursors follow.
void positionOnCode(TableCursor& routes, const QString& code);
// Activation: the code remembered under key of section "Form" ("Failure" when absent) goes into the jump
// dialog's code field, and the cursor is positioned on what that field then holds.
void positionOnRemembered(TableCursor& routes, CodeJumpDialog& jump, const QString& key = kCodeForMove);
// "移動(&M)": the jump dialog starts from the current code and leaves the chosen (or the same) code.
void moveWithJump(TableCursor& routes, CodeJumpDialog& jump, const QString& codeField = kRouteCode);
// "区間(&K)": the picker for the current route; on "代入(&S)" a new ride is inserted and left in insert state.
// When the route already has a ride that day, the user joins the new section to it (the row is left in edit
// state) or picks another day. A route without stations is said so instead. False when nothing was recorded.
bool recordRide(TableCursor& routes, TableCursor& rides, TEKI2& picker);
// "終了(&E)": the current route code becomes the remembered one.
void rememberRoute(TableCursor& routes);
// The same for any record screen: its current code under key, also put into its jump dialog's code field.
void rememberCode(TableCursor& records, const QString& codeField, const QString& key, CodeJumpDialog& jump);

} // namespace tabi::routes
