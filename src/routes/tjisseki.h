#pragma once

#include "ui/screen.h"
#include "data/cursor.h"

#include <memory>

class QPushButton;

namespace tabi::ui {
class DBGrid;
class DBNavigator;
} // namespace tabi::ui

namespace tabi::routes {

class TCode_I2;
class TEKI2;

// The ride record screen "鉄道・軌道 乗車実績": one route with a read-only header and its rides in an editable grid.
class TJisseki : public Screen {
    Q_OBJECT
public:
    explicit TJisseki(QWidget* parent = nullptr);
    ~TJisseki() override;

    void activated() override;
    void moveCommand();   // "移動(&M)"
    void rideCommand();   // "区間(&K)"
    void finishCommand(); // "終了(&E)"

    TableCursor& routes() { return m_routes; }
    TableCursor& rides() { return m_josha; }
    TCode_I2* jumpDialog() const { return m_jump; }
    TEKI2* picker() const { return m_picker; }
    ui::DBNavigator* ridesNavigator() const { return m_navRides; }
    ui::DBGrid* ridesGrid() const { return m_grid; }

private:
    std::shared_ptr<Database> m_ref;
    std::shared_ptr<Database> m_per;
    TableCursor m_routes;
    TableCursor m_josha;
    TableCursor m_kubun;
    TCode_I2* m_jump = nullptr;
    TEKI2* m_picker = nullptr;
    ui::DBNavigator* m_navRides = nullptr;
    ui::DBGrid* m_grid = nullptr;
};

} // namespace tabi::routes
