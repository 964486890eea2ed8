#pragma once

#include "data/cursor.h"
#include "routes/plandrawing.h"

#include <QDialog>
#include <memory>

class QLineEdit;
class QRadioButton;
class QScrollArea;

namespace tabi::routes {

class RasterView;

// TSenkei "路線図(平面)表示": the route drawn from top to bottom. Redraws at once when a scale is chosen; every
// showing starts again at "通常". Owner's use: setRouteCode(code); run().
class TSenkei : public QDialog {
    Q_OBJECT
public:
    explicit TSenkei(std::shared_ptr<Database> reference, QWidget* parent = nullptr);
    ~TSenkei() override;

    void setRouteCode(const QString& code); // EditC
    QString routeCode() const;

    // FormActivate ("通常", draw), then the modal run through the dialog seam.
    int run();
    void activate();
    // RB1 / RB2 / RB3: set the scale and draw.
    void setScale(int scale);
    int scale() const { return m_scale; }
    // Memori, then Sakuzu.
    void draw();

    const PlanDrawing& drawing() const { return m_plan; }
    RasterView* view() const { return m_view; }
    QRadioButton* scaleButton(int scale) const;

private:
    TableCursor m_routes;
    TableCursor m_stations;
    PlanDrawing m_plan;
    int m_scale = ScaleNormal;

    QLineEdit* m_editC = nullptr;
    QScrollArea* m_scroll = nullptr;
    RasterView* m_view = nullptr;
    QRadioButton* m_rb1 = nullptr;
    QRadioButton* m_rb2 = nullptr;
    QRadioButton* m_rb3 = nullptr;
};

// The three scale buttons of the "目盛選択" group, with their captions and hints.
struct ScaleChoice {
    const char* name;
    const char* caption;
    const char* hint;
    int scale;
};
extern const ScaleChoice kScaleChoices[3];

} // namespace tabi::routes
