#pragma once

#include "data/cursor.h"
#include "routes/linediagram.h"

#include <QWidget>

class QLineEdit;
class QRadioButton;
class QScrollArea;
class QPushButton;

namespace tabi::routes {

class RasterView;

// The "線形" page of the route master screen: the current route drawn left to right on demand ("投画(&G)") at
// the scale chosen in "目盛選択". It reads the screen's route cursor and its second, linked stations cursor; the
// screen keeps the route from changing while the page is shown.
class LineDiagramPage : public QWidget {
    Q_OBJECT
public:
    LineDiagramPage(TableCursor& routes, TableCursor& drawingStations, QWidget* parent = nullptr);
    ~LineDiagramPage() override;

    // TabSheetSShow: take the current route code, select "通常", whiten the left half of the picture.
    void pageShown();
    // RB1 / RB2 / RB3: the scale of the next drawing; nothing is redrawn.
    void setScale(int scale);
    int scale() const { return m_scale; }
    // "投画(&G)": Memori, Sakuzu1, Sakuzu2.
    void draw();

    QString codeForToga() const; // EditCodeForToga
    const LineDiagram& diagram() const { return m_diagram; }
    RasterView* view() const { return m_view; }
    QRadioButton* scaleButton(int scale) const;
    QPushButton* drawButton() const { return m_draw; }

private:
    TableCursor& m_routes;
    TableCursor& m_stations;
    LineDiagram m_diagram;
    int m_scale = ScaleNormal;

    QLineEdit* m_code = nullptr;
    QScrollArea* m_scroll = nullptr;
    RasterView* m_view = nullptr;
    QRadioButton* m_rb[3] = {};
    QPushButton* m_draw = nullptr;
};

} // namespace tabi::routes
