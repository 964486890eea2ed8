#pragma once

#include "data/cursor.h"
#include "routes/distancepick.h"

#include <QDialog>
#include <memory>

class QCalendarWidget;
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
// Owner's use: setRouteCode(code); if (dialog.run(), dialog.accepted()) read section(), startKilo(), endKilo()
// (the ride is endKilo() - startKilo()) and date().
class TEKI2 : public QDialog {
    Q_OBJECT
public:
    explicit TEKI2(std::shared_ptr<Database> reference, QWidget* parent = nullptr);
    ~TEKI2() override;

    // EditC: the route whose stations are listed at the next showing.
    void setRouteCode(const QString& code);
    QString routeCode() const;

    // FormActivate (reset the pick, position on the route, show the date), then the modal run through the seam.
    int run();
    void activate();

    // The result.
    bool accepted() const { return m_pick.accepted(); }
    QString section() const { return m_pick.section(); }
    double startKilo() const { return m_pick.startKilo(); }
    double endKilo() const { return m_pick.endKilo(); }
    QDate date() const { return m_calendar.date(); }
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

    TableCursor& routeCursor() { return m_routes; }
    TableCursor& stationCursor() { return m_stations; }
    ui::DBGrid* grid() const { return m_grid; }
    QCalendarWidget* calendar() const { return m_calendarWidget; }
    QLineEdit* distanceField() const { return m_editKilo; }
    QLineEdit* startField() const { return m_editKiten; }
    QLineEdit* endField() const { return m_editShuten; }
    QLineEdit* monthField() const { return m_editYM; }
    QLineEdit* dateField() const { return m_editYMD; }

private:
    void showPick();
    void showDate();
    QString stationName();
    double stationKilo();
    double routeKilo();

    TableCursor m_routes;
    TableCursor m_stations;
    DistancePick m_pick;
    PickCalendar m_calendar;

    QLineEdit* m_editC = nullptr;
    QLineEdit* m_editKilo = nullptr;
    QLineEdit* m_editKiten = nullptr;
    QLineEdit* m_editShuten = nullptr;
    QLineEdit* m_editYM = nullptr;
    QLineEdit* m_editYMD = nullptr;
    ui::DBNavigator* m_navigator = nullptr;
    ui::DBGrid* m_grid = nullptr;
    QCalendarWidget* m_calendarWidget = nullptr;
};

} // namespace tabi::routes
