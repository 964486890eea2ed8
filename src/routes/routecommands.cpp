#include "routes/routecommands.h"

#include "data/rules.h"
#include "data/settingsfile.h"
#include "netmap/ridden.h"
#include "routes/codejumpdialog.h"
#include "routes/stationdistancedialog.h"
#include "ui/dbkit.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QScopeGuard>

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

namespace {

bool hasStations(Database& ref, const QString& code) {
    Statement s(ref, QStringLiteral("SELECT 1 FROM EKI WHERE ROSEN_CD = ? LIMIT 1"));
    StatementScope scope(s);
    s.bindText(1, code);
    return s.step();
}

// The route's ride of that day as stored, if there is one.
bool rideOfDay(Database& per, const QString& code, const QDate& day, netmap::Ride& ride) {
    Statement s(per, QStringLiteral("SELECT JOSHA_KUKAN, JOSHA_KILO FROM JOSHA WHERE ROSEN_CD = ? AND JOSHA_DATE = ?"));
    StatementScope scope(s);
    s.bindText(1, code);
    s.bindText(2, rules::dayTimestamp(day));
    if (!s.step())
        return false;
    ride = {code, rules::dateText(rules::dayTimestamp(day)), s.columnText(0), s.columnDouble(1)};
    return true;
}

// Stands the rides cursor (linked to one route) on the ride of day.
bool moveToDay(TableCursor& rides, const QDate& day) {
    for (rides.first(); !rides.eof(); rides.next())
        if (rides.asDate(QStringLiteral("JOSHA_DATE")) == day)
            return true;
    return false;
}

} // namespace

bool recordRide(TableCursor& routes, TableCursor& rides, TEKI2& picker) {
    const QString code = currentCode(routes);
    QWidget* owner = picker.parentWidget();
    // A question box closing just before the picker can leave no window of the program active (the window
    // manager's focus goes nowhere); the screen's window takes the keyboard back.
    const auto giveFocusBack = qScopeGuard([owner] {
        if (owner && !QApplication::activeWindow())
            owner->window()->activateWindow();
    });
    // A pending ride is stored first, so that the picker measures against it and its day is known (a new row
    // without any value is dropped, as leaving it would).
    ui::updateRecord(rides);
    if (rides.state() == CursorState::Insert || rides.state() == CursorState::Edit) {
        if (rides.isModified())
            rides.post();
        else
            rides.cancel();
    }
    if (!hasStations(routes.database(), code)) {
        ui::information(owner, picker.windowTitle(),
                        QStringLiteral("路線 %1 「%2」 には駅が登録されていないため、乗車区間を選べません。"
                                       "「駅設置状況」 のページで駅を登録してください。")
                            .arg(code, routes.asString(QStringLiteral("ROSEN_KANJI"))));
        return false;
    }
    picker.setRouteCode(code);
    picker.run();
    for (;;) {
        if (!picker.accepted())
            return false;
        const QDate day = picker.date();
        netmap::Ride existing;
        if (!rideOfDay(rides.database(), code, day, existing)) {
            rides.insert();
            rides.setText(QStringLiteral("JOSHA_KUKAN"), picker.section());
            rides.setFloat(QStringLiteral("JOSHA_KILO"), picker.rideKilo());
            rides.setDate(QStringLiteral("JOSHA_DATE"), day);
            return true;
        }
        // One ride a route and day: the new section joins that day's ride, or goes to another day.
        const QString dayText = PickCalendar::dateText(day);
        const int answer = ui::choose(
            owner, picker.windowTitle(),
            QStringLiteral("%1 には、この路線の乗車 「%2」 (%3 km) が既にあります。\n\n"
                           "その乗車に 「%4」 を加える(区間をつなぎ、乗車キロ %5 km を足す)か、日付を変えるかを"
                           "選んでください。")
                .arg(dayText, existing.section, QString::number(existing.kilo, 'f', 1), picker.section(),
                     QString::number(picker.rideKilo(), 'f', 1)),
            {QStringLiteral("この日の乗車に加える(&A)"), QStringLiteral("日付を変える(&D)")}, 0);
        if (answer < 0)
            return false;
        if (answer == 0) {
            const DistancePick& p = picker.pick();
            const netmap::SameDayMerge merge =
                picker.rideKilo() < 0
                    ? netmap::SameDayMerge{QString(), 0,
                                           QStringLiteral(
                                               "廃止区間の記録(マイナスの乗車キロ)は、ほかの乗車に加えられません。")}
                    : netmap::mergeSameDay(picker.route(), existing, p.startName(), p.startKilo(), p.endName(),
                                           p.endKilo(), picker.rideKilo());
            if (merge.ok()) {
                if (!moveToDay(rides, day))
                    return false;
                rides.edit();
                rides.setText(QStringLiteral("JOSHA_KUKAN"), merge.section);
                rides.setFloat(QStringLiteral("JOSHA_KILO"), merge.kilo);
                return true;
            }
            ui::information(owner, picker.windowTitle(), merge.why + QStringLiteral("\n別の日付を選んでください。"));
        }
        picker.runForAnotherDate();
    }
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
