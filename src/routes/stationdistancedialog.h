#pragma once

#include "data/cursor.h"
#include "netmap/intervals.h"
#include "netmap/network.h"
#include "routes/distancepick.h"

#include <QDialog>
#include <memory>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tabi::ui {
class DBGrid;
class DBNavigator;
} // namespace tabi::ui

namespace tabi::routes {

// TEKI2 "駅間キロ程算出": lists a route's stations, takes a start and an end station and a day, and hands the
// result back as plain values. It writes nothing to any database.
//
// Owner's use: setRouteCode(code); if (dialog.run(), dialog.accepted()) read section(), rideKilo() and date().
//
// Both stations must be picked, in either order; the section text names them in the order travelled. An end
// before the start is recorded as travelled unless the user chooses to record the loss of an abolished section.
// With the personal database set, the stations already ridden are marked and a section that overlaps earlier
// rides is recorded with its new kilometres only, the whole section or 0 km, as the user chooses.
class TEKI2 : public QDialog {
    Q_OBJECT
public:
    explicit TEKI2(std::shared_ptr<Database> reference, QWidget* parent = nullptr);
    ~TEKI2() override;

    // The rides to mark and to measure overlaps against (JOSHA); without it neither is done.
    void setPersonal(std::shared_ptr<Database> personal) { m_personal = std::move(personal); }

    // EditC: the route whose stations are listed at the next showing.
    void setRouteCode(const QString& code);
    QString routeCode() const;

    // FormActivate (reset the pick, position on the route, show the date), then the modal run through the seam.
    int run();
    void activate();
    // Shown again with the pick as it was, the focus in the date field (the owner asks for another date).
    int runForAnotherDate();

    // The result.
    bool accepted() const { return m_pick.accepted(); }
    QString section() const { return m_pick.section(); }
    double startKilo() const { return m_pick.startKilo(); }
    double endKilo() const { return m_pick.endKilo(); }
    // The ride's kilometres as the user chose them: the section travelled, its new part only, 0, or a loss.
    double rideKilo() const { return m_rideKilo; }
    QDate date() const { return m_calendar.date(); }
    // The route as the map reads it, and what its rides cover (empty without the personal database).
    const netmap::Route& route() const { return m_route; }
    const netmap::IntervalSet& ridden() const { return m_ridden; }
    const DistancePick& pick() const { return m_pick; }

    // Commands.
    void kiten();          // "起点(&F)"
    void shuten();         // "終点(&T)"
    void pickCurrentRow(); // double-click on a station row
    void clearPick();      // "消去(&Z)"
    void substitute();     // "代入(&S)"
    void cancel();         // "取消(&C)"
    void stepMonths(int months);
    void stepYears(int years);
    void selectDate(const QDate& date);
    // The date typed into EditYMD, taken when it is confirmed (Tab, Enter, "代入(&S)"). False, after a message
    // naming it, when it is no date.
    bool applyTypedDate();
    // Moves the station list to the first station whose name or kana begins with text.
    bool findStation(const QString& text);

    TableCursor& routeCursor() { return m_routes; }
    TableCursor& stationCursor() { return m_stations; }
    ui::DBGrid* grid() const { return m_grid; }
    QCalendarWidget* calendar() const { return m_calendarWidget; }
    QLineEdit* distanceField() const { return m_editKilo; }
    QLineEdit* startField() const { return m_editKiten; }
    QLineEdit* endField() const { return m_editShuten; }
    QLineEdit* monthField() const { return m_editYM; }
    QLineEdit* dateField() const { return m_editYMD; }
    QPushButton* substituteButton() const { return m_btnS; }
    QLabel* infoLabel() const { return m_info; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadRoute();
    void showPick();
    void showDate();
    QString stationName();
    double stationKilo();
    double routeKilo();

    TableCursor m_routes;
    TableCursor m_stations;
    DistancePick m_pick;
    PickCalendar m_calendar;
    std::shared_ptr<Database> m_personal;
    netmap::Route m_route;
    netmap::IntervalSet m_ridden;
    QVector<bool> m_riddenStations;
    QStringList m_stationKana; // EKI_KANA beside m_route.stations, folded for the type-ahead
    double m_rideKilo = 0;

    QLineEdit* m_editC = nullptr;
    QLineEdit* m_editKilo = nullptr;
    QLineEdit* m_editKiten = nullptr;
    QLineEdit* m_editShuten = nullptr;
    QLineEdit* m_editYM = nullptr;
    QLineEdit* m_editYMD = nullptr;
    ui::DBNavigator* m_navigator = nullptr;
    ui::DBGrid* m_grid = nullptr;
    QCalendarWidget* m_calendarWidget = nullptr;
    QPushButton* m_btnS = nullptr;
    QLabel* m_info = nullptr;
};

} // namespace tabi::routes
