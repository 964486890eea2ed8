#include "routes/routecommands.h"

#include "data/settingsfile.h"
#include "routes/codejumpdialog.h"
#include "routes/stationdistancedialog.h"
#include "ui/dbkit.h"

namespace tabi::routes {

namespace {
const QString kForm = QStringLiteral("Form");
const QString kCodeForMove = QStringLiteral("CodeForMove");
QString currentCode(TableCursor& routes) { return routes.asString(QStringLiteral("ROSEN_CD")); }
} // namespace

void positionOnCode(TableCursor& routes, const QString& code) {
    ui::updateRecord(routes);
    routes.findNearest({code});
}

void positionOnRemembered(TableCursor& routes, TCode_I2& jump) {
    jump.setCode(settings::readString(kForm, kCodeForMove, QStringLiteral("Failure")));
    positionOnCode(routes, jump.code());
}

void moveWithJump(TableCursor& routes, TCode_I2& jump) {
    jump.setCode(currentCode(routes));
    jump.run();
    positionOnCode(routes, jump.code());
}

bool recordRide(TableCursor& routes, TableCursor& rides, TEKI2& picker) {
    picker.setRouteCode(currentCode(routes));
    picker.run();
    if (!picker.accepted())
        return false;
    ui::updateRecord(rides);
    rides.insert();
    rides.setText(QStringLiteral("JOSHA_KUKAN"), picker.section());
    rides.setFloat(QStringLiteral("JOSHA_KILO"), picker.endKilo() - picker.startKilo());
    rides.setDate(QStringLiteral("JOSHA_DATE"), picker.date());
    return true;
}

void rememberRoute(TableCursor& routes) { settings::writeString(kForm, kCodeForMove, currentCode(routes)); }

} // namespace tabi::routes
