#include "routes/routecommands.h"

#include "data/settingsfile.h"
#include "routes/codejumpdialog.h"
#include "routes/stationdistancedialog.h"
#include "ui/dbkit.h"

namespace tabi::routes {

namespace {
const QString kForm = QStringLiteral("Form");
QString currentCode(TableCursor& routes) {
    return routes.asString(kRouteCode);
}
} // namespace

void positionOnCode(TableCursor& routes, const QString& code) {
    ui::updateRecord(routes);
    routes.findNearest({code});
}

void positionOnRemembered(TableCursor& routes, CodeJumpDialog& jump, const QString& key) {
    jump.setCode(settings::readString(kForm, key, QStringLiteral("Failure")));
    positionOnCode(routes, jump.code());
}

void moveWithJump(TableCursor& routes, CodeJumpDialog& jump, const QString& codeField) {
    jump.setCode(routes.asString(codeField));
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

void rememberRoute(TableCursor& routes) {
    settings::writeString(kForm, kCodeForMove, currentCode(routes));
}

void rememberCode(TableCursor& records, const QString& codeField, const QString& key, CodeJumpDialog& jump) {
    const QString code = records.asString(codeField);
    settings::writeString(kForm, key, code);
    jump.setCode(code);
}

} // namespace tabi::routes
