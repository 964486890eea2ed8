#pragma once

#include "ui/screen.h"
#include "data/cursor.h"

#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;

namespace tabi::ui {
class DBComboBox;
class DBEdit;
class DBGrid;
class DBLookupComboBox;
class DBNavigator;
} // namespace tabi::ui

namespace tabi::photos {
class PhotoPage;
}

namespace tabi::routes {

class LineDiagramPage;
class TCode_I2;
class TEKI2;
class TSenkei;

// The route master screen "鉄道・軌道": one route with its openings, stations, rides, photos and line diagram.
// Rides are recorded through the station distance picker ("区間(&K)") on the rides page.
class TMaster : public Screen {
    Q_OBJECT
public:
    enum NavState { DBN_all, DBN_4, DBN_none };
    enum Page { PageBasic, PageOpenings, PageStations, PageRides, PagePhoto, PageLine };

    explicit TMaster(QWidget* parent = nullptr);
    ~TMaster() override;

    // Positions on the route remembered in section "Form" ("Failure" when absent).
    void activated() override;
    // Leaving the screen keeps its place: the current route (as 終了 does) and the page shown.
    void deactivated() override;

    // Finish a pending edit of the route, then stand on the first route at or after code; every linked cursor follows.
    void positionOn(const QString& code);
    void moveCommand();   // "移動(&M)"
    void rideCommand();   // "区間(&K)"
    void finishCommand(); // "終了(&E)"
    void planCommand();   // "線形(&S)"

    void showPage(Page page);
    NavState navState() const { return m_navState; }

    TableCursor& routes() { return m_routes; }
    TableCursor& openings() { return m_kaitsu; }
    TableCursor& stations() { return m_eki; }
    TableCursor& drawingStations() { return m_ekiDraw; }
    TableCursor& rides() { return m_josha; }
    TCode_I2* jumpDialog() const { return m_jump; }
    TEKI2* picker() const { return m_picker; }
    TSenkei* planDialog() const { return m_plan; }
    ui::DBNavigator* routeNavigator() const { return m_navigator; }
    ui::DBNavigator* ridesNavigator() const { return m_navRides; }
    ui::DBGrid* ridesGrid() const { return m_gridRides; }
    QTabWidget* pages() const { return m_pages; }
    photos::PhotoPage* photoPage() const { return m_photoPage; }
    LineDiagramPage* linePage() const { return m_linePage; }

private:
    void setNavState(NavState state);
    void pageChanged(int index);
    QWidget* buildBasicPage();
    QWidget* buildGridPage(const QString& objectName, TableCursor& cursor, ui::DBNavigator*& navigator,
                           ui::DBGrid*& grid, const QString& kiloEditName);

    std::shared_ptr<Database> m_ref;
    std::shared_ptr<Database> m_per;
    TableCursor m_routes;
    TableCursor m_kubun;     // the category of the current route
    TableCursor m_kubunList; // rows offered by the category chooser
    TableCursor m_kaitsu;
    TableCursor m_eki;
    TableCursor m_ekiDraw;
    TableCursor m_josha;

    TCode_I2* m_jump = nullptr;
    TEKI2* m_picker = nullptr;
    TSenkei* m_plan = nullptr;

    NavState m_navState = DBN_4;
    ui::DBNavigator* m_navigator = nullptr;
    QList<ui::DBEdit*> m_headerEdits;
    ui::DBLookupComboBox* m_kbn = nullptr;
    QTabWidget* m_pages = nullptr;
    bool m_pageRestored = false; // the remembered page is shown once, at the first activation
    ui::DBNavigator* m_navOpenings = nullptr;
    ui::DBNavigator* m_navStations = nullptr;
    ui::DBNavigator* m_navRides = nullptr;
    ui::DBGrid* m_gridOpenings = nullptr;
    ui::DBGrid* m_gridStations = nullptr;
    ui::DBGrid* m_gridRides = nullptr;
    QPushButton* m_btnM = nullptr;
    QPushButton* m_btnK = nullptr;
    QPushButton* m_btnE = nullptr;
    QPushButton* m_btnSK = nullptr;
    photos::PhotoPage* m_photoPage = nullptr;
    LineDiagramPage* m_linePage = nullptr;
};

} // namespace tabi::routes
