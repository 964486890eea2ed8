#pragma once

#include "netexport/progress.h"
#include "ui/screen.h"

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QRadioButton;
class QTableView;

namespace tabi {
class Database;
}

namespace tabi::tally {

// The year-by-year figures of the progress: 年(度), 新規キロ, 廃止キロ, 累計キロ, 乗車率, 完乗路線, 初めての都道府県.
class ProgressYearModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(QVector<netexport::YearRow> rows, int startMonth);
    const QVector<netexport::YearRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVector<netexport::YearRow> m_rows;
    int m_startMonth = 1;
};

// The chart, painted by the library as the exported pictures are.
class ProgressChart : public QWidget {
    Q_OBJECT
public:
    explicit ProgressChart(QWidget* parent = nullptr);
    void setProgress(const netexport::Progress* progress, const netexport::ChartOptions& options);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const netexport::Progress* m_progress = nullptr;
    netexport::ChartOptions m_options;
};

// "乗車の推移": ridden kilometres and share over time for all routes, a classification or a category, with the
// year-by-year table under the chart.
class TJoshaSuii : public Screen {
    Q_OBJECT
public:
    explicit TJoshaSuii(QWidget* parent = nullptr);
    ~TJoshaSuii() override;

    void activated() override; // reads again when another connection changed the databases or the year setting

    // Commands (buttons and tests).
    void recompute();
    void reload();
    void exportPicture(const QString& format); // "png" or "svg"

    const netexport::Progress& progress() const { return m_progress; }
    ProgressYearModel* model() const { return m_model; }
    ProgressChart* chart() const { return m_chart; }
    QComboBox* groupList() const { return m_group; }
    QRadioButton* monthlyButton() const { return m_monthly; }
    QRadioButton* perPeriodButton() const { return m_perPeriod; }

private:
    int startMonth() const;

    std::shared_ptr<Database> m_ref, m_per;
    qint64 m_refVersion = -1, m_perVersion = -1;
    int m_startMonth = 1;
    tabi::network::Network m_network;
    QVector<netmap::Ride> m_rides;
    netexport::GroupLists m_lists;
    netexport::Progress m_progress;
    netexport::ChartOptions m_options;

    ProgressChart* m_chart = nullptr;
    QComboBox* m_group = nullptr;
    QRadioButton* m_yearly = nullptr;
    QRadioButton* m_monthly = nullptr;
    QRadioButton* m_cumulative = nullptr;
    QRadioButton* m_perPeriod = nullptr;
    QLabel* m_summary = nullptr;
    ProgressYearModel* m_model = nullptr;
    QTableView* m_grid = nullptr;
};

} // namespace tabi::tally
