#include "tally/ridemap.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "data/error.h"
#include "data/formats.h"
#include "data/rules.h"
#include "ui/command.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/screenkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <tuple>

namespace tabi::tally {

using namespace netmap;

// --- the grid ----------------------------------------------------------------------------------------------------

void PrefectureModel::setFigures(QVector<PrefectureFigures> figures) {
    beginResetModel();
    m_figures = std::move(figures);
    endResetModel();
}

int PrefectureModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_figures.size());
}

int PrefectureModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant PrefectureModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_figures.size())
        return {};
    const PrefectureFigures& f = m_figures[index.row()];
    const int c = index.column();
    if (role == Qt::DisplayRole) {
        switch (c) {
        case 0:
            return f.name;
        case 1:
            return fmt::formatNumber(f.routeKilo, u"#,##0.0");
        case 2:
            return fmt::formatNumber(f.riddenKilo, u"#,##0.0");
        case 3:
            // A prefecture without route kilometres has no ratio to show.
            return f.routeKilo == 0 ? QStringLiteral("―") : fmt::formatNumber(f.ratio, u"##0.00");
        }
    } else if (role == Qt::UserRole) {
        switch (c) {
        case 0:
            return f.ken;
        case 1:
            return f.routeKilo;
        case 2:
            return f.riddenKilo;
        case 3:
            return f.ratio;
        }
    } else if (role == Qt::TextAlignmentRole) {
        return int((c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    }
    return {};
}

QVariant PrefectureModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const char* const titles[] = {"都道府県", "路線キロ", "乗車キロ", "乗車率"};
    return section >= 0 && section < 4 ? QString::fromUtf8(titles[section]) : QVariant();
}

// --- the map -----------------------------------------------------------------------------------------------------

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MapCanvas"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::OpenHandCursor);
    m_style.quickLines = true; // the screen redraws at every step of a drag
}

void MapCanvas::setScene(const Scene* scene, const QRectF& fitBounds) {
    m_scene = scene;
    m_fitBounds = fitBounds;
    if (!m_moved)
        fitAll();
    update();
}

void MapCanvas::setMessage(const QString& text) {
    m_message = text;
    update();
}

void MapCanvas::setStyle(const MapStyle& style) {
    m_style = style;
    update();
}

void MapCanvas::setView(const MapView& view) {
    m_view = view;
    m_view.size = size();
    update();
    Q_EMIT viewChanged();
}

void MapCanvas::fitAll() {
    m_moved = false;
    setView(MapView::fit(m_fitBounds, size()));
}

void MapCanvas::zoomBy(double factor) {
    zoomAt(QPointF(width() / 2.0, height() / 2.0), factor);
}

void MapCanvas::zoomAt(const QPointF& px, double factor) {
    m_moved = true;
    setView(m_view.zoomedAt(px, factor));
}

void MapCanvas::panBy(const QPointF& pixels) {
    m_moved = true;
    setView(m_view.panned(pixels));
}

void MapCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_scene || !m_message.isEmpty()) {
        p.fillRect(rect(), m_style.background);
        p.setPen(m_style.stationText);
        p.setFont(ui::uiFont(16));
        p.drawText(rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap, m_message);
        return;
    }
    paintMap(p, *m_scene, m_view, m_style);
}

void MapCanvas::resizeEvent(QResizeEvent*) {
    // Until the user moves the map it shows everything; afterwards the place at the centre stays there.
    if (!m_moved)
        fitAll();
    else
        setView(m_view);
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        zoomAt(event->position(), std::pow(1.25, steps));
    event->accept();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragFrom = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    const QPointF now = event->position();
    panBy(now - m_dragFrom);
    m_dragFrom = now;
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        setCursor(Qt::OpenHandCursor);
    }
}

void MapCanvas::keyPressEvent(QKeyEvent* event) {
    const double step = std::max(40, std::min(width(), height()) / 5);
    switch (event->key()) {
    case Qt::Key_Left:
        panBy(QPointF(step, 0));
        break;
    case Qt::Key_Right:
        panBy(QPointF(-step, 0));
        break;
    case Qt::Key_Up:
        panBy(QPointF(0, step));
        break;
    case Qt::Key_Down:
        panBy(QPointF(0, -step));
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1.5);
        break;
    case Qt::Key_Minus:
        zoomBy(1 / 1.5);
        break;
    case Qt::Key_Home:
        fitAll();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// --- the screen --------------------------------------------------------------------------------------------------

namespace {

QLabel* label(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    return l;
}

} // namespace

TJoshaChizu::TJoshaChizu(QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);
    // Made first, so that the map leads the Tab order (its keys pan and zoom), the filters after it.
    m_canvas = new MapCanvas(this);

    // Filters.
    auto* bar = new QHBoxLayout;
    bar->addWidget(label(QStringLiteral("期間(&P)"), this));
    m_from = new QLineEdit(this);
    m_from->setObjectName(QStringLiteral("EditFrom"));
    m_to = new QLineEdit(this);
    m_to->setObjectName(QStringLiteral("EditTo"));
    for (QLineEdit* e : {m_from, m_to}) {
        e->setPlaceholderText(QStringLiteral("yyyy-mm-dd"));
        e->setMaxLength(10);
        e->setFixedWidth(104);
    }
    qobject_cast<QLabel*>(bar->itemAt(0)->widget())->setBuddy(m_from);
    bar->addWidget(m_from);
    bar->addWidget(label(QStringLiteral("～"), this));
    bar->addWidget(m_to);
    m_year = new QComboBox(this);
    m_year->setObjectName(QStringLiteral("ComboYear"));
    auto* yearLabel = label(QStringLiteral("年(&Y)"), this);
    yearLabel->setBuddy(m_year);
    bar->addSpacing(8);
    bar->addWidget(yearLabel);
    bar->addWidget(m_year);
    m_group = new QComboBox(this);
    m_group->setObjectName(QStringLiteral("ComboGroup"));
    m_group->setMinimumWidth(220);
    auto* groupLabel = label(QStringLiteral("対象(&G)"), this);
    groupLabel->setBuddy(m_group);
    bar->addSpacing(8);
    bar->addWidget(groupLabel);
    bar->addWidget(m_group);
    m_onlyLeft = new QCheckBox(QStringLiteral("未乗のみ(&L)"), this);
    m_onlyLeft->setObjectName(QStringLiteral("CheckOnlyLeft"));
    m_abolished = new QCheckBox(QStringLiteral("廃止路線を破線で表示(&H)"), this);
    m_abolished->setObjectName(QStringLiteral("CheckAbolished"));
    m_abolished->setChecked(true);
    bar->addSpacing(8);
    bar->addWidget(m_onlyLeft);
    bar->addWidget(m_abolished);
    bar->addStretch();
    root->addLayout(bar);

    // The map with its line below, the grid and the command column beside it.
    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    m_canvas->setMinimumSize(640, 560);
    left->addWidget(m_canvas, 1);
    m_notDrawn = new QLabel(this);
    m_notDrawn->setObjectName(QStringLiteral("LabelNotDrawn"));
    m_notDrawn->setWordWrap(true);
    left->addWidget(m_notDrawn);
    body->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    m_model = new PrefectureModel(this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(Qt::UserRole);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("GridKen"));
    m_grid->setModel(m_sorted);
    m_grid->setSortingEnabled(true);
    m_grid->sortByColumn(0, Qt::AscendingOrder);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->setFixedWidth(330);
    right->addWidget(m_grid, 1);
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("LabelTotal"));
    right->addWidget(m_total);
    body->addLayout(right);

    auto* column = new QVBoxLayout;
    auto* fit = ui::commandButton(this, column, "BitBtnA", QStringLiteral("全体(&A)"));
    auto* zoomIn = ui::commandButton(this, column, "BitBtnPlus", QStringLiteral("拡大(&+)"));
    auto* zoomOut = ui::commandButton(this, column, "BitBtnMinus", QStringLiteral("縮小(&-)"));
    column->addSpacing(12);
    auto* png = ui::commandButton(this, column, "BitBtnP", QStringLiteral("PNG(&N)"));
    auto* svg = ui::commandButton(this, column, "BitBtnV", QStringLiteral("SVG(&V)"));
    auto* csvButton = ui::commandButton(this, column, "BitBtnC", QStringLiteral("CSV(&C)"));
    column->addSpacing(12);
    auto* reloadButton = ui::commandButton(this, column, "BitBtnR", QStringLiteral("再読込(&R)"));
    column->addStretch();
    auto* close = ui::commandButton(this, column, "BitBtnE", QStringLiteral("終了(&E)"));
    body->addLayout(column);
    root->addLayout(body, 1);

    connect(fit, &QPushButton::clicked, m_canvas, &MapCanvas::fitAll);
    connect(zoomIn, &QPushButton::clicked, m_canvas, [this] { m_canvas->zoomBy(1.5); });
    connect(zoomOut, &QPushButton::clicked, m_canvas, [this] { m_canvas->zoomBy(1 / 1.5); });
    ui::connectCommand(png, this, [this] { exportPicture(QStringLiteral("png")); });
    ui::connectCommand(svg, this, [this] { exportPicture(QStringLiteral("svg")); });
    ui::connectCommand(csvButton, this, [this] { exportCsv(); });
    ui::connectCommand(reloadButton, this, [this] { reload(); });
    connect(close, &QPushButton::clicked, this, &Screen::closeScreen);
    auto apply = [this] { ui::runCommand(this, [this] { applyFilters(); }); };
    connect(m_from, &QLineEdit::editingFinished, this, apply);
    connect(m_to, &QLineEdit::editingFinished, this, apply);
    connect(m_group, &QComboBox::currentIndexChanged, this, apply);
    connect(m_onlyLeft, &QCheckBox::toggled, this, apply);
    connect(m_abolished, &QCheckBox::toggled, this, apply);
    connect(m_year, &QComboBox::activated, this, [this, apply](int index) {
        const int year = m_year->itemData(index).toInt();
        m_from->setText(year ? QStringLiteral("%1-01-01").arg(year) : QString());
        m_to->setText(year ? QStringLiteral("%1-12-31").arg(year) : QString());
        apply();
    });

    reload();
}

TJoshaChizu::~TJoshaChizu() = default;

void TJoshaChizu::activated() {
    // Rides recorded or the network imported through another connection since the last reading.
    ui::runQuietly(this, [this] {
        if (m_ref->dataVersion() != m_refVersion || m_per->dataVersion() != m_perVersion)
            reload();
    });
}

void TJoshaChizu::reload() {
    m_refVersion = m_ref->dataVersion();
    m_perVersion = m_per->dataVersion();
    m_data = loadMapData(*m_ref, *m_per);
    fillGroupChoices();
    QSet<int> years;
    for (const Ride& r : m_data.rides)
        if (!r.day.isEmpty())
            years.insert(r.day.left(4).toInt());
    QList<int> sorted(years.begin(), years.end());
    std::sort(sorted.begin(), sorted.end(), std::greater<int>());
    {
        const QSignalBlocker block(m_year);
        m_year->clear();
        m_year->addItem(QStringLiteral("(期間で指定)"), 0);
        for (int y : sorted)
            m_year->addItem(QString::number(y), y);
    }
    applyFilters();
}

void TJoshaChizu::fillGroupChoices() {
    const QString current = m_group->currentData().toString();
    const QSignalBlocker block(m_group);
    m_group->clear();
    m_group->addItem(QStringLiteral("すべての路線"), QString());
    for (const auto& [table, code, name, tag] : {std::tuple{"BUNRUI", "BUNRUI_CD", "BUNRUI_KANJI", "分類"},
                                                 std::tuple{"KUBUN", "KBN_CD", "KBN_KANJI", "区分"}}) {
        Statement s(*m_ref, QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1")
                                .arg(QLatin1String(code), QLatin1String(name), QLatin1String(table)));
        StatementScope scope(s);
        while (s.step())
            m_group->addItem(QStringLiteral("%1 %2 %3").arg(QString::fromUtf8(tag), s.columnText(0), s.columnText(1)),
                             QStringLiteral("%1:%2").arg(QLatin1String(table == std::string_view("BUNRUI") ? "B" : "K"),
                                                         s.columnText(0)));
    }
    const int at = m_group->findData(current);
    m_group->setCurrentIndex(at < 0 ? 0 : at);
}

bool TJoshaChizu::readFilter(Filter& f, QString& error) const {
    auto day = [&](QLineEdit* e, QString& out, const QString& what) {
        const QString t = e->text().trimmed();
        if (t.isEmpty()) {
            out.clear();
            return true;
        }
        const QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
        if (t.size() != 10 || !d.isValid()) {
            error = QStringLiteral("期間の%1「%2」は yyyy-mm-dd の形の実在する日ではありません。").arg(what, t);
            return false;
        }
        out = t;
        return true;
    };
    if (!day(m_from, f.from, QStringLiteral("始め")) || !day(m_to, f.to, QStringLiteral("終わり")))
        return false;
    if (!f.from.isEmpty() && !f.to.isEmpty() && f.from > f.to) {
        error = QStringLiteral("期間の始め %1 が終わり %2 より後です。").arg(f.from, f.to);
        return false;
    }
    const QString g = m_group->currentData().toString();
    if (g.startsWith(QLatin1String("B:")))
        f.classification = g.mid(2);
    else if (g.startsWith(QLatin1String("K:")))
        f.category = g.mid(2);
    return true;
}

Filter TJoshaChizu::filter() const {
    return m_applied;
}

void TJoshaChizu::applyFilters() {
    Filter f;
    QString error;
    if (!readFilter(f, error))
        throw Error(error);
    m_applied = f;
    m_coverage = computeCoverage(m_data.network, m_data.rides, f);
    SceneOptions options;
    options.onlyLeft = m_onlyLeft->isChecked();
    options.abolished = m_abolished->isChecked() ? AbolishedRoutes::Dashed : AbolishedRoutes::Hidden;
    m_scene = buildScene(m_data.network, m_coverage, options);
    m_canvas->setMessage(m_data.network.positionedStations == 0 ? noPositionsMessage() : QString());
    m_canvas->setScene(&m_scene, m_data.network.bounds);
    m_notDrawn->setText(notDrawnText(m_coverage));
    m_model->setFigures(prefectureFigures(m_data.network, m_coverage));
    double route = 0, ridden = 0;
    for (const PrefectureFigures& p : m_model->figures()) {
        route += p.routeKilo;
        ridden += p.riddenKilo;
    }
    // The tallies add the kilometres recorded; the map measures the stretches ridden, each once.
    m_total->setText(
        QStringLiteral("合計　路線キロ %1　乗車キロ %2(乗車した区間を一度ずつ数えたキロ)　乗車率 %3%")
            .arg(fmt::formatNumber(route, u"#,##0.0"), fmt::formatNumber(ridden, u"#,##0.0"),
                 route == 0 ? QStringLiteral("―") : fmt::formatNumber(rules::ratio(route, ridden), u"##0.00")));
}

void TJoshaChizu::exportPicture(const QString& format) {
    if (m_data.network.positionedStations == 0)
        throw Error(noPositionsMessage());
    const bool svg = format == QLatin1String("svg");
    const QString file = ui::getSaveFileNameReplacing(this, QStringLiteral("表示中の地図を画像ファイルに出力します"),
                                                      svg ? QStringLiteral("SVG 画像 (*.svg);;全てのファイル (*.*)")
                                                          : QStringLiteral("PNG 画像 (*.png);;全てのファイル (*.*)"),
                                                      svg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (file.isEmpty())
        return;
    // What the map shows, at twice its pixels, with a caption of the filter.
    MapView view = m_canvas->view();
    view.size = m_canvas->size() * 2;
    view.scale *= 2;
    MapStyle style;
    style.legend = legendText(m_applied, m_coverage);
    const QByteArray bytes =
        svg ? mapSvg(m_scene, view, style, QStringLiteral("乗車地図")) : mapPng(m_scene, view, style);
    files::replaceFile(file, bytes, QStringLiteral("地図の画像ファイル"));
}

void TJoshaChizu::exportCsv() {
    const QString file = ui::getSaveFileNameReplacing(
        this, QStringLiteral("表示中の一覧をCSVファイルに出力します"),
        QStringLiteral("CSV (カンマ区切り) (*.csv);;全てのファイル (*.*)"), QStringLiteral("CSV"));
    if (file.isEmpty())
        return;
    // The rows in the order the grid shows them.
    QVector<PrefectureFigures> rows;
    for (int r = 0; r < m_sorted->rowCount(); ++r)
        rows << m_model->figures()[m_sorted->mapToSource(m_sorted->index(r, 0)).row()];
    writePrefectureCsv(file, rows);
}

} // namespace tabi::tally
