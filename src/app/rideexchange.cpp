#include "app/rideexchange.h"

#include "data/database.h"
#include "data/error.h"
#include "netexport/rideexport.h"
#include "ui/dialogs.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tabi {

using namespace netexport;

namespace {

enum { ColLine, ColOutcome, ColRow, ColReason, ColCandidates, Columns };

QString outcomeText(RowOutcome o) {
    switch (o) {
    case RowOutcome::Insert:
        return QStringLiteral("新規");
    case RowOutcome::Merge:
        return QStringLiteral("同じ日に追加");
    case RowOutcome::Duplicate:
        return QStringLiteral("登録済み");
    case RowOutcome::Error:
        return QStringLiteral("取り込めません");
    }
    return {};
}

} // namespace

void ImportRowModel::setPlan(const ImportPlan* plan) {
    beginResetModel();
    m_rows.clear();
    if (plan) {
        for (const ImportRow& r : plan->rows)
            if (r.outcome == RowOutcome::Error || r.outcome == RowOutcome::Duplicate)
                m_rows << &r;
        for (const ImportRow& r : plan->rows)
            if (!(r.outcome == RowOutcome::Error || r.outcome == RowOutcome::Duplicate) &&
                (!r.notes.isEmpty() || r.outcome == RowOutcome::Merge))
                m_rows << &r;
        for (const ImportRow& r : plan->rows)
            if (r.outcome == RowOutcome::Insert && r.notes.isEmpty())
                m_rows << &r;
    }
    endResetModel();
}

int ImportRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ImportRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant ImportRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ImportRow& r = *m_rows[index.row()];
    if (role == Qt::ForegroundRole && index.column() == ColOutcome && r.outcome == RowOutcome::Error)
        return QColor(0xC6, 0x28, 0x28);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case ColLine:
        return r.line;
    case ColOutcome:
        return outcomeText(r.outcome);
    case ColRow:
        if (r.outcome == RowOutcome::Insert || r.outcome == RowOutcome::Merge)
            return QStringLiteral("%1 %2 %3 %4 km").arg(r.day, r.code, r.section, QString::number(r.kilo, 'f', 1));
        return r.text;
    case ColReason: {
        QStringList parts;
        if (!r.reason.isEmpty())
            parts << r.reason;
        parts += r.notes;
        return parts.join(u' ');
    }
    case ColCandidates:
        return r.candidates.join(QStringLiteral("、"));
    }
    return {};
}

QVariant ImportRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColLine:
        return QStringLiteral("行");
    case ColOutcome:
        return QStringLiteral("結果");
    case ColRow:
        return QStringLiteral("内容");
    case ColReason:
        return QStringLiteral("理由・注意");
    case ColCandidates:
        return QStringLiteral("近い候補");
    }
    return {};
}

TRideImportPreview::TRideImportPreview(const ImportPlan& plan, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TRideImportPreview"));
    setWindowTitle(QStringLiteral("乗車記録の取り込み (CSV)"));
    resize(1000, 560);
    auto* root = new QVBoxLayout(this);
    auto* summary = new QLabel(planSummary(plan), this);
    summary->setObjectName(QStringLiteral("LabelSummary"));
    summary->setWordWrap(true);
    root->addWidget(summary);
    m_model = new ImportRowModel(this);
    m_model->setPlan(&plan);
    auto* grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("GridRows"));
    grid->setModel(m_model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->resizeColumnsToContents();
    root->addWidget(grid, 1);
    auto* note = new QLabel(plan.rides.isEmpty() ? QStringLiteral("取り込める乗車はありません。")
                                                 : QStringLiteral("「取り込む」で乗車 %1 件をまとめて書き込みます。"
                                                                  "取り込めない行は書き込みません。")
                                                       .arg(plan.rides.size()),
                            this);
    root->addWidget(note);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("取り込む(&I)"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BitBtnI"));
    ok->setEnabled(!plan.rides.isEmpty());
    QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BitBtnCancel"));
    cancel->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(buttons);
}

void importRidesFromCsv(QWidget* parent) {
    const QString file = ui::getOpenFileName(parent, QStringLiteral("乗車記録の取り込み (CSV)"),
                                             QStringLiteral("CSV (カンマ区切り) (*.csv);;全てのファイル (*.*)"));
    if (file.isEmpty())
        return;
    const auto ref = Database::open(DbKind::Reference);
    const auto per = Database::open(DbKind::Personal);
    const tabi::network::Network network = tabi::network::loadNetwork(*ref);
    const ImportPlan plan = planImportFile(file, network, routeNamesByCode(ref), netmap::loadRides(*per));
    if (!plan.fileError.isEmpty()) {
        ui::critical(parent, QStringLiteral("乗車記録の取り込み (CSV)"), plan.fileError);
        return;
    }
    TRideImportPreview preview(plan, parent);
    if (ui::execDialog(preview) != QDialog::Accepted)
        return;
    applyImport(*per, plan);
    ui::information(parent, QStringLiteral("乗車記録の取り込み (CSV)"),
                    QStringLiteral("乗車 %1 件を書き込みました(取り込まなかった行 %2 件)。")
                        .arg(plan.rides.size())
                        .arg(plan.leftOut()));
}

void exportRidesToFile(QWidget* parent) {
    QString file =
        ui::getSaveFileName(parent, QStringLiteral("乗車記録の書き出し"),
                            QStringLiteral("GeoJSON (*.geojson);;KML (*.kml);;GPX (*.gpx);;全てのファイル (*.*)"));
    if (file.isEmpty())
        return;
    if (!rideFormatOf(file))
        file += QStringLiteral(".geojson"); // a name typed without a known ending
    const auto ref = Database::open(DbKind::Reference);
    const auto per = Database::open(DbKind::Personal);
    const tabi::network::Network network = tabi::network::loadNetwork(*ref);
    const QVector<netmap::Ride> rides = netmap::loadRides(*per);
    const RideExport placed = writeRidesFile(file, network, rides, routeNamesByCode(ref), {});
    ui::information(parent, QStringLiteral("乗車記録の書き出し"),
                    QStringLiteral("%1 に書き出しました。\n%2").arg(QFileInfo(file).fileName(), placedText(placed)));
}

} // namespace tabi
