#pragma once

#include "netmap/exportmap.h"
#include "ui/screen.h"

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

namespace tabi {
class Database;
}

namespace tabi::tally {

// The per-prefecture figures as a grid: 都道府県, 路線キロ, 乗車キロ, 乗車率. Qt::UserRole gives the value a column
// sorts by (the JIS number for the name, so that sorting by it restores the customary order).
class PrefectureModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setFigures(QVector<netmap::PrefectureFigures> figures);
    const QVector<netmap::PrefectureFigures>& figures() const { return m_figures; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVector<netmap::PrefectureFigures> m_figures;
};

// The map itself: wheel and +/− zoom about the pointer (or the centre), a drag or the arrow keys pan, Home fits
// everything in. Station names appear once zoomed in far enough.
class MapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MapCanvas(QWidget* parent = nullptr);
    void setScene(const netmap::Scene* scene, const QRectF& fitBounds);
    void setMessage(const QString& text); // shown instead of the map when there is nothing to draw
    void setStyle(const netmap::MapStyle& style);
    const netmap::MapView& view() const { return m_view; }
    void setView(const netmap::MapView& view);
    void fitAll();
    void zoomBy(double factor); // about the centre
    void zoomAt(const QPointF& px, double factor);
    void panBy(const QPointF& pixels);

Q_SIGNALS:
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const netmap::Scene* m_scene = nullptr;
    QRectF m_fitBounds;
    netmap::MapView m_view;
    netmap::MapStyle m_style;
    QString m_message;
    bool m_dragging = false;
    QPointF m_dragFrom;
    bool m_moved = false; // zoomed or panned since the last fit
};

// "乗車地図": the network with what has been ridden, filtered by period, classification or category, with the
// figures per prefecture beside it.
class TJoshaChizu : public Screen {
    Q_OBJECT
public:
    explicit TJoshaChizu(QWidget* parent = nullptr);
    ~TJoshaChizu() override;

    void activated() override; // reads the databases again when another connection changed them

    // Commands (buttons and tests).
    void applyFilters();
    void exportPicture(const QString& format); // "png" or "svg"
    void exportCsv();
    void reload();

    MapCanvas* canvas() const { return m_canvas; }
    PrefectureModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    const netmap::Coverage& coverage() const { return m_coverage; }
    const netmap::MapData& data() const { return m_data; }
    netmap::Filter filter() const;

private:
    void fillGroupChoices();
    bool readFilter(netmap::Filter& filter, QString& error) const;

    std::shared_ptr<Database> m_ref, m_per;
    qint64 m_refVersion = -1, m_perVersion = -1;
    netmap::MapData m_data;
    netmap::Coverage m_coverage;
    netmap::Scene m_scene;
    netmap::Filter m_applied;

    MapCanvas* m_canvas = nullptr;
    QLabel* m_notDrawn = nullptr;
    QLabel* m_total = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QComboBox* m_year = nullptr;
    QComboBox* m_group = nullptr;
    QCheckBox* m_onlyLeft = nullptr;
    QCheckBox* m_abolished = nullptr;
    PrefectureModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
    QTableView* m_grid = nullptr;
};

} // namespace tabi::tally
