#pragma once

#include "netexport/rideimport.h"

#include <QAbstractTableModel>
#include <QDialog>

class QWidget;

namespace tabi {

// "乗車記録の取り込み (CSV)...": asks for the file, shows what would be imported and every row that would not,
// and writes the rides only once the user confirms. Every question goes through the dialog seam.
void importRidesFromCsv(QWidget* parent);

// "乗車記録の書き出し (GeoJSON・KML・GPX)...": asks for the file and writes every ride in the form its name ends
// with; ends with the count of rides written and of those that could not be placed.
void exportRidesToFile(QWidget* parent);

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
