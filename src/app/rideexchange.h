#pragma once

#include "netexport/rideimport.h"
#include "netmap/coverage.h"

#include <QAbstractTableModel>
#include <QDialog>

class QCheckBox;
class QDateEdit;
class QRadioButton;
class QWidget;

namespace tabi {

// "乗車記録の取り込み (CSV)...": asks for the file, shows what would be imported and every row that would not,
// and writes the rides only once the user confirms. Every question goes through the dialog seam. True when
// rides were written (the open screens then have something to read again).
bool importRidesFromCsv(QWidget* parent);

// "乗車記録の書き出し (GeoJSON・KML・GPX)...": asks what to write and for which period (TRideExportDialog), then
// for the file, and writes either the rides of the period in the form the file's name ends with or the network
// with each route's ridden share over the period (GeoJSON). Ends with what was written for which period, and
// for rides the count of those written and of those that could not be placed.
void exportRidesToFile(QWidget* parent);

// The first step of the export: what to write and the period. Refuses a start after the end and stays open.
// The last choice is kept in the settings file (restore / remember).
class TRideExportDialog : public QDialog {
    Q_OBJECT
public:
    enum class Content { Rides, Network };

    explicit TRideExportDialog(QWidget* parent = nullptr);

    Content content() const;
    void setContent(Content content);
    bool hasPeriod() const;
    QDate from() const;
    QDate to() const;
    void setPeriod(bool on, const QDate& from, const QDate& to);
    // The period as the exports take it: both bounds "yyyy-mm-dd", or none.
    netmap::Filter filter() const;

    // The choice stored by the last export, where there is one; otherwise the rides of this year so far.
    void restore();
    // Stores the choice. Throws tabi::Error when the settings file cannot be written.
    void remember() const;

    void accept() override;

private:
    void updateDates();

    QRadioButton* m_rides;
    QRadioButton* m_network;
    QCheckBox* m_period;
    QDateEdit* m_from;
    QDateEdit* m_to;
};

// The rows of a planned import: 行, 結果, 内容, 理由・注意, 候補.
class ImportRowModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setPlan(const netexport::ImportPlan* plan);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVector<const netexport::ImportRow*> m_rows; // rows left out first, then those with notes, then the rest
};

// The preview: the summary, the rows, and "取り込む(&I)" (disabled when nothing would be written).
class TRideImportPreview : public QDialog {
    Q_OBJECT
public:
    TRideImportPreview(const netexport::ImportPlan& plan, QWidget* parent = nullptr);
    ImportRowModel* model() const { return m_model; }

private:
    ImportRowModel* m_model;
};

} // namespace tabi
