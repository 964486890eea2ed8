#include "app/rideexchange.h"

#include "data/database.h"
#include "data/error.h"
#include "data/settingsfile.h"
#include "netexport/networkexport.h"
#include "netexport/rideexport.h"
#include "ui/command.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tabi {

using namespace netexport;

namespace {

enum { ColLine, ColOutcome, ColRow, ColReason, ColCandidates, Columns };

const QString kExportTitle = QStringLiteral("乗車記録の書き出し");
const QString kExportSection = QStringLiteral("RideExport");
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");

// A day field that takes a day typed in full, "2020-03-15" or "2020/3/15": Qt's field moves on by itself after a
// complete part and would take the hyphen typed next as a jump over the part after it. F4 or Alt+Down opens
// the calendar, as on a drop-down list.
class DayEdit : public QDateEdit {
public:
    explicit DayEdit(QWidget* parent) : QDateEdit(parent) {
        setCalendarPopup(true);
        setDisplayFormat(kDayFormat);
        // Room for the whole day beside the arrow, whatever the style's margins.
        setMinimumWidth(sizeHint().width() + fontMetrics().horizontalAdvance(QStringLiteral("00")));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        const QLineEdit* edit = lineEdit();
        if (plain && (event->text() == QLatin1String("-") || event->text() == QLatin1String("/"))) {
            const int at = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
            if (at > 0 && edit->text().at(at - 1) == u'-') {
                event->accept(); // already at the start of the next part
                return;
            }
        }
        // A digit typed after a whole day (the cursor left at its end, by the calendar for instance) starts a new
        // one rather than being dropped.
        if (plain && event->text().size() == 1 && event->text().front().isDigit() && !edit->hasSelectedText() &&
            edit->text().size() == kDayFormat.size() && edit->cursorPosition() == edit->text().size())
            setSelectedSection(QDateTimeEdit::YearSection);
        if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
            openCalendar();
            event->accept();
            return;
        }
        QDateEdit::keyPressEvent(event);
    }

private:
    // Qt opens the calendar only for a press on the arrow: one is made there.
    void openCalendar() {
        QStyleOptionComboBox option;
        option.initFrom(this);
        option.editable = true;
        option.subControls = QStyle::SC_All;
        const QPoint arrow =
            style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this).center();
        QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        mousePressEvent(&press);
    }
};

// The folder the save dialog opens in: that of the last export, else the user's documents.
QString exportFolder() {
    const QString remembered = settings::readString(kExportSection, QStringLiteral("Folder"), {});
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// The period of a filter as the closing message names it.
QString periodText(const netmap::Filter& filter) {
    if (!filter.hasPeriod())
        return QStringLiteral("全期間");
    return QStringLiteral("%1～%2").arg(filter.from, filter.to);
}

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
    // A long row or reason would push the candidates out of sight: those two columns are kept narrower and say the
    // whole text in their tool tip.
    for (int column : {int(ColRow), int(ColReason)})
        grid->setColumnWidth(column, std::min(grid->columnWidth(column), 330));
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

bool importRidesFromCsv(QWidget* parent) {
    const QString file = ui::getOpenFileName(parent, QStringLiteral("乗車記録の取り込み (CSV)"),
                                             QStringLiteral("CSV (カンマ区切り) (*.csv);;全てのファイル (*.*)"));
    if (file.isEmpty())
        return false;
    const auto ref = Database::open(DbKind::Reference);
    const auto per = Database::open(DbKind::Personal);
    // Sections resolve by station names and posts: the track is not needed.
    const tabi::network::Network network = tabi::network::loadRouteStations(*ref);
    const ImportPlan plan = planImportFile(file, network, routeNamesByCode(ref), netmap::loadRides(*per));
    if (!plan.fileError.isEmpty()) {
        ui::critical(parent, QStringLiteral("乗車記録の取り込み (CSV)"), plan.fileError);
        return false;
    }
    TRideImportPreview preview(plan, parent);
    if (ui::execDialog(preview) != QDialog::Accepted)
        return false;
    applyImport(*per, plan);
    ui::information(parent, QStringLiteral("乗車記録の取り込み (CSV)"),
                    QStringLiteral("乗車 %1 件を書き込みました(取り込まなかった行 %2 件)。")
                        .arg(plan.rides.size())
                        .arg(plan.leftOut()));
    return !plan.rides.isEmpty();
}

TRideExportDialog::TRideExportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TRideExportDialog"));
    setWindowTitle(kExportTitle);
    // A fixed size: nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* root = new QVBoxLayout(this);
    root->setSizeConstraint(QLayout::SetFixedSize);

    auto* content = new QGroupBox(QStringLiteral("書き出すもの"), this);
    auto* contentLayout = new QVBoxLayout(content);
    m_rides = new QRadioButton(QStringLiteral("乗車区間 (GeoJSON・KML・GPX)(&R)"), content);
    m_rides->setObjectName(QStringLiteral("RadioRides"));
    m_rides->setChecked(true);
    m_network = new QRadioButton(QStringLiteral("路線網と路線ごとの乗車率 (GeoJSON)(&N)"), content);
    m_network->setObjectName(QStringLiteral("RadioNetwork"));
    contentLayout->addWidget(m_rides);
    contentLayout->addWidget(m_network);
    root->addWidget(content);

    auto* period = new QGroupBox(QStringLiteral("期間"), this);
    auto* periodLayout = new QGridLayout(period);
    m_period = new QCheckBox(QStringLiteral("期間を指定する(&P)"), period);
    m_period->setObjectName(QStringLiteral("CheckPeriod"));
    periodLayout->addWidget(m_period, 0, 0, 1, 4);
    auto dateField = [period](const char* name) {
        auto* edit = new DayEdit(period);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    m_from = dateField("DateFrom");
    m_to = dateField("DateTo");
    auto* fromLabel = new QLabel(QStringLiteral("開始日(&F)"), period);
    fromLabel->setBuddy(m_from);
    auto* toLabel = new QLabel(QStringLiteral("終了日(&T)"), period);
    toLabel->setBuddy(m_to);
    periodLayout->addWidget(fromLabel, 1, 0);
    periodLayout->addWidget(m_from, 1, 1);
    periodLayout->addWidget(toLabel, 1, 2);
    periodLayout->addWidget(m_to, 1, 3);
    periodLayout->setColumnStretch(4, 1);
    auto* note = new QLabel(
        QStringLiteral("指定しないときは全期間です。\n期間を指定すると、日付のない乗車は含まれません。"), period);
    periodLayout->addWidget(note, 2, 0, 1, 5);
    root->addWidget(period);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("書き出す(&O)"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonOk"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(buttons);

    connect(m_period, &QCheckBox::toggled, this, &TRideExportDialog::updateDates);
    setPeriod(false, QDate(QDate::currentDate().year(), 1, 1), QDate::currentDate());
    const QList<QWidget*> order = {m_rides, m_network, m_period, m_from, m_to, ok, cancel};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

TRideExportDialog::Content TRideExportDialog::content() const {
    return m_network->isChecked() ? Content::Network : Content::Rides;
}

void TRideExportDialog::setContent(Content content) {
    (content == Content::Network ? m_network : m_rides)->setChecked(true);
}

bool TRideExportDialog::hasPeriod() const {
    return m_period->isChecked();
}

QDate TRideExportDialog::from() const {
    return m_from->date();
}

QDate TRideExportDialog::to() const {
    return m_to->date();
}

void TRideExportDialog::setPeriod(bool on, const QDate& from, const QDate& to) {
    m_period->setChecked(on);
    if (from.isValid())
        m_from->setDate(from);
    if (to.isValid())
        m_to->setDate(to);
    updateDates();
}

netmap::Filter TRideExportDialog::filter() const {
    netmap::Filter f;
    if (hasPeriod()) {
        f.from = from().toString(kDayFormat);
        f.to = to().toString(kDayFormat);
    }
    return f;
}

void TRideExportDialog::updateDates() {
    m_from->setEnabled(hasPeriod());
    m_to->setEnabled(hasPeriod());
}

void TRideExportDialog::restore() {
    auto read = [](const char* key) { return settings::readString(kExportSection, QString::fromLatin1(key), {}); };
    setContent(read("Content") == QLatin1String("Network") ? Content::Network : Content::Rides);
    // A day the file does not hold as yyyy-mm-dd leaves the field as it is.
    setPeriod(read("Period") == QLatin1String("1"), QDate::fromString(read("From"), kDayFormat),
              QDate::fromString(read("To"), kDayFormat));
}

void TRideExportDialog::remember() const {
    settings::writeStrings({
        {kExportSection,
         QStringLiteral("Content"),
         content() == Content::Network ? QStringLiteral("Network") : QStringLiteral("Rides"),
         {}},
        {kExportSection, QStringLiteral("Period"), hasPeriod() ? QStringLiteral("1") : QStringLiteral("0"), {}},
        {kExportSection, QStringLiteral("From"), from().toString(kDayFormat), {}},
        {kExportSection, QStringLiteral("To"), to().toString(kDayFormat), {}},
    });
}

void TRideExportDialog::accept() {
    if (hasPeriod() && from() > to()) {
        ui::critical(
            this, kExportTitle,
            QStringLiteral("開始日 %1 が終了日 %2 より後です。\n開始日は終了日と同じ日かそれより前にしてください。")
                .arg(from().toString(kDayFormat), to().toString(kDayFormat)));
        m_from->setFocus();
        return;
    }
    QDialog::accept();
}

void exportRidesToFile(QWidget* parent) {
    TRideExportDialog ask(parent);
    ask.restore();
    if (ui::execDialog(ask) != QDialog::Accepted)
        return;
    // The choice is kept for next time; a settings file that cannot be written is said so but stops nothing.
    ui::runCommand(parent, [&] { ask.remember(); });
    const bool network = ask.content() == TRideExportDialog::Content::Network;
    QString file = ui::getSaveFileName(
        parent, kExportTitle,
        network ? QStringLiteral("GeoJSON (*.geojson)")
                : QStringLiteral("GeoJSON (*.geojson);;KML (*.kml);;GPX (*.gpx);;全てのファイル (*.*)"),
        QDir(exportFolder()).filePath(network ? QStringLiteral("路線網.geojson") : QStringLiteral("乗車記録.geojson")));
    if (file.isEmpty())
        return;
    if (!rideFormatOf(file))
        file += QStringLiteral(".geojson"); // a name typed without a known ending
    const netmap::Filter filter = ask.filter();
    const auto ref = Database::open(DbKind::Reference);
    const auto per = Database::open(DbKind::Personal);
    const tabi::network::Network net = tabi::network::loadNetwork(*ref);
    const QVector<netmap::Ride> rides = netmap::loadRides(*per);
    const QString name = QFileInfo(file).fileName();
    const auto rememberFolder = [&] {
        const QString folder = QFileInfo(file).absolutePath();
        if (folder != settings::readString(kExportSection, QStringLiteral("Folder"), {}))
            ui::runCommand(parent, [&] { settings::writeString(kExportSection, QStringLiteral("Folder"), folder); });
    };
    if (network) {
        const NetworkExport written = writeNetworkFile(file, net, rides, routeNamesByCode(ref), filter);
        rememberFolder();
        ui::information(parent, kExportTitle,
                        QStringLiteral("%1 に路線網と路線ごとの乗車率を書き出しました。\n期間: %2\n"
                                       "路線 %3 件(線のあるもの %4 件)を書き出しました。")
                            .arg(name, periodText(filter))
                            .arg(written.routes)
                            .arg(written.drawable));
        return;
    }
    const RideExport placed = writeRidesFile(file, net, rides, routeNamesByCode(ref), filter);
    rememberFolder();
    const QString report = placed.rides > 0     ? placedText(placed)
                           : filter.hasPeriod() ? QStringLiteral("この期間の乗車はありません。")
                                                : QStringLiteral("乗車はまだ記録されていません。");
    ui::information(
        parent, kExportTitle,
        QStringLiteral("%1 に乗車区間を書き出しました。\n期間: %2\n%3").arg(name, periodText(filter), report));
}

} // namespace tabi
