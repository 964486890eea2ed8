#include "tally/progressscreen.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "data/error.h"
#include "data/formats.h"
#include "data/rules.h"
#include "data/settingsfile.h"
#include "ui/command.h"
#include "ui/dialogs.h"
#include "ui/screenkit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tabi::tally {

using namespace netexport;

// --- the year table --------------------------------------------------------------------------------------------------

namespace {

enum YearColumn { ColYear, ColNew, ColLoss, ColTotal, ColShare, ColCompleted, ColPrefectures, YearColumns };

} // namespace

void ProgressYearModel::setRows(QVector<YearRow> rows, int startMonth) {
    beginResetModel();
    m_rows = std::move(rows);
    m_startMonth = startMonth;
    endResetModel();
}

int ProgressYearModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ProgressYearModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : YearColumns;
}

QVariant ProgressYearModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const YearRow& r = m_rows[index.row()];
    if (role == Qt::TextAlignmentRole)
        return int((index.column() >= ColCompleted ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() >= ColCompleted)
        return (index.column() == ColCompleted ? r.completed : r.prefectures).join(QStringLiteral("、"));
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColYear:
        return r.year;
    case ColNew:
        return fmt::formatNumber(r.newKilo, u"#,##0.0");
    case ColLoss:
        return fmt::formatNumber(r.lossKilo, u"#,##0.0");
    case ColTotal:
        return fmt::formatNumber(r.total, u"#,##0.0");
    case ColShare:
        return fmt::formatNumber(r.share, u"##0.00");
    case ColCompleted:
        return r.completed.isEmpty() ? QString()
                                     : QStringLiteral("%1 (%2)").arg(r.completed.size()).arg(r.completed.join(u'、'));
    case ColPrefectures:
        return r.prefectures.join(u'、');
    }
    return {};
}

QVariant ProgressYearModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColYear:
        return m_startMonth == 1 ? QStringLiteral("年") : QStringLiteral("年度");
    case ColNew:
        return QStringLiteral("新規乗車キロ");
    case ColLoss:
        return QStringLiteral("廃止キロ");
    case ColTotal:
        return QStringLiteral("累計乗車キロ");
    case ColShare:
        return QStringLiteral("乗車率");
    case ColCompleted:
        return QStringLiteral("完乗した路線");
    case ColPrefectures:
        return QStringLiteral("初めて乗った都道府県");
    }
    return {};
}

// --- the chart -------------------------------------------------------------------------------------------------------

ProgressChart::ProgressChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ChartSuii"));
    setMinimumSize(600, 320);
}

void ProgressChart::setProgress(const Progress* progress, const ChartOptions& options) {
    m_progress = progress;
    m_options = options;
    update();
}

void ProgressChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_progress)
        paintProgress(p, size(), *m_progress, m_options);
}

// --- the screen ------------------------------------------------------------------------------------------------------

TJoshaSuii::TJoshaSuii(QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);

    auto* bar = new QHBoxLayout;
    m_group = new QComboBox(this);
    m_group->setObjectName(QStringLiteral("ComboGroup"));
    m_group->setMinimumWidth(260);
    auto* groupLabel = new QLabel(QStringLiteral("対象(&G)"), this);
    groupLabel->setBuddy(m_group);
    bar->addWidget(groupLabel);
    bar->addWidget(m_group);
    bar->addSpacing(12);
    auto* periodBox = new QGroupBox(QStringLiteral("期間"), this);
    periodBox->setObjectName(QStringLiteral("GroupBoxP"));
    auto* periodRow = new QHBoxLayout(periodBox);
    m_yearly = new QRadioButton(QStringLiteral("年ごと(&Y)"), periodBox);
    m_yearly->setObjectName(QStringLiteral("RadioButtonYear"));
    m_monthly = new QRadioButton(QStringLiteral("月ごと(&M)"), periodBox);
    m_monthly->setObjectName(QStringLiteral("RadioButtonMonth"));
    m_yearly->setChecked(true);
    periodRow->addWidget(m_yearly);
    periodRow->addWidget(m_monthly);
    bar->addWidget(periodBox);
    auto* kindBox = new QGroupBox(QStringLiteral("表示"), this);
    kindBox->setObjectName(QStringLiteral("GroupBoxK"));
    auto* kindRow = new QHBoxLayout(kindBox);
    m_cumulative = new QRadioButton(QStringLiteral("累計(&T)"), kindBox);
    m_cumulative->setObjectName(QStringLiteral("RadioButtonTotal"));
    m_perPeriod = new QRadioButton(QStringLiteral("期間ごと(&K)"), kindBox);
    m_perPeriod->setObjectName(QStringLiteral("RadioButtonPeriod"));
    m_cumulative->setChecked(true);
    kindRow->addWidget(m_cumulative);
    kindRow->addWidget(m_perPeriod);
    bar->addWidget(kindBox);
    bar->addStretch();
    root->addLayout(bar);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    m_chart = new ProgressChart(this);
    left->addWidget(m_chart, 3);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LabelSummary"));
    m_summary->setWordWrap(true);
    left->addWidget(m_summary);
    m_model = new ProgressYearModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("GridYears"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    left->addWidget(m_grid, 2);
    body->addLayout(left, 1);

    auto* column = new QVBoxLayout;
    auto* png = ui::commandButton(this, column, "BitBtnP", QStringLiteral("PNG(&N)"));
    auto* svg = ui::commandButton(this, column, "BitBtnV", QStringLiteral("SVG(&V)"));
    column->addSpacing(12);
    auto* reloadButton = ui::commandButton(this, column, "BitBtnR", QStringLiteral("再読込(&R)"));
    column->addStretch();
    auto* close = ui::commandButton(this, column, "BitBtnE", QStringLiteral("終了(&E)"));
    body->addLayout(column);
    root->addLayout(body, 1);

    ui::connectCommand(png, this, [this] { exportPicture(QStringLiteral("png")); });
    ui::connectCommand(svg, this, [this] { exportPicture(QStringLiteral("svg")); });
    ui::connectCommand(reloadButton, this, [this] { reload(); });
    connect(close, &QPushButton::clicked, this, &Screen::closeScreen);
    auto apply = [this] { ui::runCommand(this, [this] { recompute(); }); };
    connect(m_group, &QComboBox::currentIndexChanged, this, apply);
    for (QRadioButton* b : {m_yearly, m_monthly, m_cumulative, m_perPeriod})
        connect(b, &QRadioButton::toggled, this, [b, apply](bool on) {
            if (on)
                apply();
        });

    reload();
}

TJoshaSuii::~TJoshaSuii() = default;

int TJoshaSuii::startMonth() const {
    // Years as the year tally counts them.
    return settings::yearStartMonth();
}

void TJoshaSuii::activated() {
    ui::runQuietly(this, [this] {
        if (m_ref->dataVersion() != m_refVersion || m_per->dataVersion() != m_perVersion)
            reload();
        else if (startMonth() != m_startMonth)
            recompute();
    });
}

void TJoshaSuii::reload() {
    m_refVersion = m_ref->dataVersion();
    m_perVersion = m_per->dataVersion();
    m_network = tabi::network::loadNetwork(*m_ref);
    m_rides = netmap::loadRides(*m_per);
    m_lists = loadGroupLists(*m_ref);
    const int current = m_group->currentIndex();
    {
        const QSignalBlocker block(m_group);
        m_group->clear();
        for (const ProgressGroup& g : m_lists.choices())
            m_group->addItem(g.kind == ProgressGroup::All ? QStringLiteral("すべての路線(分類の集計と同じ)")
                                                          : g.label());
        m_group->setCurrentIndex(current >= 0 && current < m_group->count() ? current : 0);
    }
    recompute();
}

void TJoshaSuii::recompute() {
    m_startMonth = startMonth();
    const QVector<ProgressGroup> choices = m_lists.choices();
    const int at = m_group->currentIndex();
    const ProgressGroup group = at >= 0 && at < choices.size() ? choices[at] : ProgressGroup{};
    m_progress = computeProgress(m_network, m_rides, m_lists, group,
                                 m_monthly->isChecked() ? ProgressPeriod::Month : ProgressPeriod::Year, m_startMonth);
    m_options.cumulative = m_cumulative->isChecked();
    m_chart->setProgress(&m_progress, m_options);
    m_model->setRows(m_progress.years, m_startMonth);
    m_grid->resizeColumnsToContents();
    QString text =
        QStringLiteral("合計　路線キロ %1　乗車キロ %2　乗車率 %3%　完乗した路線 %4　乗車 %5 件")
            .arg(fmt::formatNumber(m_progress.routeKilo, u"#,##0.0"), fmt::formatNumber(m_progress.total, u"#,##0.0"),
                 fmt::formatNumber(rules::ratio(m_progress.routeKilo, m_progress.total), u"##0.00"))
            .arg(m_progress.completions.size())
            .arg(m_progress.rides);
    if (m_progress.undated)
        text += QStringLiteral("(日付のない乗車 %1 件は合計にだけ含みます)").arg(m_progress.undated);
    m_summary->setText(text);
}

void TJoshaSuii::exportPicture(const QString& format) {
    const bool svg = format == QLatin1String("svg");
    const QString file =
        ui::getSaveFileNameReplacing(this, QStringLiteral("乗車の推移のグラフを画像ファイルに出力します"),
                                     svg ? QStringLiteral("SVG 画像 (*.svg);;全てのファイル (*.*)")
                                         : QStringLiteral("PNG 画像 (*.png);;全てのファイル (*.*)"),
                                     svg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (file.isEmpty())
        return;
    // The picture at twice the chart's pixels; the file's own ending decides its form only when it is one of the two.
    const QString suffix = QFileInfo(file).suffix().toLower();
    const QString target =
        suffix == QLatin1String("png") || suffix == QLatin1String("svg") ? file : file + u'.' + format;
    writeProgressFile(target, m_progress, m_options, m_chart->size() * 2);
}

} // namespace tabi::tally
