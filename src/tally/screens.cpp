#include "tally/screens.h"

#include "data/settingsfile.h"
#include "data/statements.h"
#include "tally/chart.h"
#include "tally/checkscreens.h"
#include "tally/progressscreen.h"
#include "tally/ridemap.h"
#include "tally/tally.h"
#include "ui/command.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/helptopics.h"
#include "ui/screenkit.h"
#include "ui/screens.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <vector>

namespace tabi::tally {

using ui::commandButton;
using ui::HiddenWhile;
using ui::ReopenOnExit;
using ui::rootWithNavigator;
using ui::runQuietly;

namespace {

const QString kCalculating = QStringLiteral("ただいま計算中．．");

// Grid titles and widths of the result columns; the code and name columns have a blank title.
void declareResultColumns(TableCursor& c, const QString& code, const QString& name, int codeWidth) {
    auto def = [&](const QString& f) -> FieldDef& { return c.fieldDef(c.fieldIndex(f)); };
    def(code).label = QStringLiteral(" ");
    if (codeWidth)
        def(code).displayWidth = codeWidth;
    def(name).label = QStringLiteral(" ");
    def(QStringLiteral("TOTAL_KILO")).label = QStringLiteral("路線キロ");
    def(QStringLiteral("TOTAL_KILO")).format = QStringLiteral("#,##0.0");
    def(QStringLiteral("TOTAL_JOSHA_KILO")).label = QStringLiteral("乗車キロ");
    def(QStringLiteral("TOTAL_JOSHA_KILO")).format = QStringLiteral("#,##0.0");
    def(QStringLiteral("JOSHA_RATIO")).label = QStringLiteral("乗車率");
    def(QStringLiteral("JOSHA_RATIO")).displayWidth = 6;
    def(QStringLiteral("JOSHA_RATIO")).format = QStringLiteral("##0.00");
    def(QStringLiteral("KANJO_DATE")).label = QStringLiteral("完乗年月日");
    def(QStringLiteral("KANJO_DATE")).displayWidth = 10;
}

// Under a tally: what its ridden kilometres are, since the ride map's differ where rides overlap.
QLabel* kiloNote(QWidget* parent) {
    auto* note =
        new QLabel(QStringLiteral("乗車キロは記録した乗車キロの合計です(同じ区間を重ねて記録した分も足します)。"
                                  "乗車地図の乗車キロは、乗車した区間を一度ずつ数えます。"),
                   parent);
    note->setObjectName(QStringLiteral("LabelKiloNote"));
    note->setWordWrap(true);
    return note;
}

ui::DBGrid* readOnlyGrid(QWidget* parent, const char* name, TableCursor& cursor, bool titles) {
    auto* grid = new ui::DBGrid(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setFont(ui::uiFont(16));
    grid->setOption(ui::DBGrid::Titles, titles);
    grid->setReadOnly(true);
    grid->setTableCursor(&cursor);
    return grid;
}

// The lower grids line up with the columns of the titled grid above them.
void alignColumns(ui::DBGrid* from, std::initializer_list<ui::DBGrid*> to) {
    for (ui::DBGrid* g : to)
        for (int c = 0; c < from->model()->columnCount(); ++c)
            g->setColumnWidth(c, from->columnWidth(c));
}

// A grid of one line, as high as a row.
void oneLine(ui::DBGrid* grid, int lines) {
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFixedHeight(grid->verticalHeader()->defaultSectionSize() * lines + 2 * grid->frameWidth());
}

// The panel behind grid 1: its caption shows whenever the grid is hidden.
QLabel* calculatingPanel(QWidget* parent, QWidget* grid) {
    auto* panel = new QLabel(kCalculating, parent);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(ui::uiFont(32));
    QPalette p = panel->palette();
    p.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0xFF));
    panel->setPalette(p);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    grid->setParent(panel);
    layout->addWidget(grid);
    return panel;
}

// A ratio of a group without route kilometres means nothing: the grid shows "―" there (the stored value stays).
class RatioDelegate : public QStyledItemDelegate {
public:
    RatioDelegate(int kiloColumn, QObject* parent) : QStyledItemDelegate(parent), m_kiloColumn(kiloColumn) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString kilo = index.sibling(index.row(), m_kiloColumn).data().toString();
        bool ok = false;
        const double km = QString(kilo).remove(QLatin1Char(',')).toDouble(&ok);
        if (kilo.trimmed().isEmpty() || (ok && km == 0)) {
            option->text = QStringLiteral("―");
            option->displayAlignment = Qt::AlignCenter;
        }
    }

private:
    int m_kiloColumn;
};

int columnTitled(QAbstractItemModel* model, const QString& title) {
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == title)
            return c;
    return -1;
}

void showRatioDashes(ui::DBGrid* grid) {
    const int ratio = columnTitled(grid->model(), QStringLiteral("乗車率"));
    const int kilo = columnTitled(grid->model(), QStringLiteral("路線キロ"));
    if (ratio >= 0 && kilo >= 0)
        grid->setItemDelegateForColumn(ratio, new RatioDelegate(kilo, grid));
}

// The foot of the command column: the help button and "終了(&E)", below a stretch.
void finishColumn(Screen* screen, QVBoxLayout* column, const QString& screenClass) {
    column->addStretch();
    QPushButton* help = addHelpButton(screen, screenClass);
    help->setFixedSize(89, 33);
    column->addWidget(help);
    QObject::connect(commandButton(screen, column, "BitBtnE", QStringLiteral("終了(&E)")), &QPushButton::clicked,
                     screen, &Screen::closeScreen);
}

} // namespace

QString categoryCoverText(Database& ref) {
    QStringList parts;
    Statement s(ref, QStringLiteral("SELECT k2.KBN_KANJI, (SELECT group_concat(KBN_KANJI, '・') FROM "
                                    "(SELECT KBN_KANJI FROM KUBUN k WHERE substr(k.KBN_CD, 1, 1) = k2.KBN_CD "
                                    "ORDER BY k.KBN_CD)) FROM KUBUN2 k2 ORDER BY k2.KBN_CD"));
    while (s.step())
        parts << QStringLiteral("%1＝%2").arg(s.columnText(0),
                                              s.columnText(1).isEmpty() ? QStringLiteral("なし") : s.columnText(1));
    QString text = QStringLiteral("小計の内訳：") + parts.join(QStringLiteral("、"));
    Statement left(ref, QStringLiteral("SELECT group_concat(KBN_KANJI, '・') FROM (SELECT KBN_KANJI FROM KUBUN k WHERE "
                                       "NOT EXISTS (SELECT 1 FROM KUBUN2 k2 WHERE k2.KBN_CD = substr(k.KBN_CD, 1, 1)) "
                                       "ORDER BY KBN_CD)"));
    if (left.step() && !left.columnText(0).isEmpty())
        text += QStringLiteral("。どの小計にも入らない区分：") + left.columnText(0);
    return text + QStringLiteral("。");
}

// --- tallies by classification and by category -------------------------------------------------------------------

GroupTallyScreen::GroupTallyScreen(bool byCategory, QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)),
      m_small(m_ref, byCategory ? QStringLiteral("KUBUN") : QStringLiteral("BUNRUI"),
              byCategory ? QStringLiteral("KBN_CD") : QStringLiteral("BUNRUI_CD")),
      m_large(m_ref, byCategory ? QStringLiteral("KUBUN2") : QStringLiteral("BUNRUI2"),
              byCategory ? QStringLiteral("KBN_CD") : QStringLiteral("BUNRUI_CD")),
      m_total(m_ref, byCategory ? QStringLiteral("KUBUN3") : QStringLiteral("BUNRUI3")) {
    const QString code = byCategory ? QStringLiteral("KBN_CD") : QStringLiteral("BUNRUI_CD");
    const QString name = byCategory ? QStringLiteral("KBN_KANJI") : QStringLiteral("BUNRUI_KANJI");
    if (byCategory)
        m_total.setIndexFieldNames(code);
    else
        m_total.setIndexName(code);
    // Field definitions exist once a cursor is open.
    for (TableCursor* c : {&m_small, &m_large, &m_total}) {
        c->open();
        declareResultColumns(*c, code, name, byCategory ? 3 : 0);
    }

    QVBoxLayout* root = rootWithNavigator(this, m_small);

    auto* body = new QHBoxLayout;
    auto* grids = new QVBoxLayout;
    m_grids[0] = readOnlyGrid(this, "DBGrid1", m_small, true);
    m_grids[1] = readOnlyGrid(this, "DBGrid2", m_large, false);
    m_grids[2] = readOnlyGrid(this, "DBGrid3", m_total, false);
    grids->addWidget(byCategory ? calculatingPanel(this, m_grids[0]) : static_cast<QWidget*>(m_grids[0]), 1);
    grids->addWidget(m_grids[1]);
    grids->addWidget(m_grids[2]);
    if (byCategory)
        grids->insertWidget(grids->indexOf(m_grids[2]), m_grids[1]); // keep order: subtotals, their note, total
    if (byCategory) {
        // Every large category shows, so that the subtotals add up to the total below them.
        const int large = std::max(1, int(m_ref->scalar(QStringLiteral("SELECT count(*) FROM KUBUN2")).toInt()));
        oneLine(m_grids[1], std::min(large, 8));
        m_cover = new QLabel(this);
        m_cover->setObjectName(QStringLiteral("LabelCover"));
        m_cover->setFont(ui::uiFont(12));
        m_cover->setWordWrap(true);
        m_cover->setText(categoryCoverText(*m_ref));
        grids->addWidget(m_cover);
    }
    oneLine(m_grids[2], 1);
    for (ui::DBGrid* g : m_grids)
        showRatioDashes(g);
    alignColumns(m_grids[0], {m_grids[1], m_grids[2]});
    grids->addWidget(kiloNote(this));
    body->addLayout(grids, 1);
    m_commands = new QWidget(this);
    auto* column = new QVBoxLayout(m_commands);
    column->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_commands);
    root->addLayout(body, 1);
}

GroupTallyScreen::~GroupTallyScreen() {
    for (TableCursor* c : {&m_small, &m_large, &m_total})
        ui::detachControls(*c);
}

QPushButton* GroupTallyScreen::addButton(const char* name, const QString& caption) {
    return commandButton(this, static_cast<QVBoxLayout*>(m_commands->layout()), name, caption);
}

void GroupTallyScreen::finishButtons(const QString& screenClass) {
    auto* column = static_cast<QVBoxLayout*>(m_commands->layout());
    QList<QPushButton*> steps;
    for (const char* name : {"BitBtnZ", "BitBtnR", "BitBtnJ", "BitBtnW", "BitBtnD"})
        steps << m_commands->findChild<QPushButton*>(QString::fromLatin1(name));
    ui::addRunAll(this, column, steps, QStringLiteral("全零→路線→乗車→割合→日付"));
    finishColumn(this, column, screenClass);
}

void GroupTallyScreen::runStep(bool waitCursor, const std::function<void()>& step) {
    auto run = [&] {
        ReopenOnExit reopen{{&m_small, &m_large, &m_total}};
        ui::SuspendControls suspend{&m_small, &m_large, &m_total};
        step();
    };
    if (waitCursor)
        ui::runCommand(this, run);
    else
        runQuietly(this, run);
}

THyoji::THyoji(QWidget* parent) : GroupTallyScreen(false, parent) {
    setObjectName(QStringLiteral("Hyoji"));
    setWindowTitle(QStringLiteral("分類ごとの集計"));
    setFont(ui::uiFont(12));
    m_graph = new TGraph(m_ref, this);
    auto ref = m_ref;
    auto per = m_per;
    connect(addButton("BitBtnZ", QStringLiteral("全零(&Z)")), &QPushButton::clicked, this,
            [=, this] { runStep(false, [=] { clearByClassification(ref); }); });
    connect(addButton("BitBtnR", QStringLiteral("路線(&R)")), &QPushButton::clicked, this,
            [=, this] { runStep(true, [=] { routeKiloByClassification(ref); }); });
    connect(addButton("BitBtnJ", QStringLiteral("乗車(&J)")), &QPushButton::clicked, this,
            [=, this] { runStep(true, [=] { riddenKiloByClassification(ref, per); }); });
    connect(addButton("BitBtnW", QStringLiteral("割合(&W)")), &QPushButton::clicked, this,
            [=, this] { runStep(true, [=] { ratioByClassification(ref); }); });
    connect(addButton("BitBtnD", QStringLiteral("日付(&D)")), &QPushButton::clicked, this,
            [=, this] { runStep(true, [=] { datesByClassification(ref, per); }); });
    connect(addButton("BitBtnG1", QStringLiteral("旅客(&N)")), &QPushButton::clicked, this,
            [this] { runQuietly(this, [this] { ui::execDialog(*m_graph); }); });
    finishButtons(QStringLiteral("THyoji"));
}

THyojiU::THyojiU(QWidget* parent) : GroupTallyScreen(true, parent) {
    setObjectName(QStringLiteral("HyojiU"));
    setWindowTitle(QStringLiteral("区分ごとの集計"));
    setFont(ui::uiFont(12));
    auto ref = m_ref;
    auto per = m_per;
    ui::DBGrid* grid1 = m_grids[0];
    connect(addButton("BitBtnZ", QStringLiteral("全零(&Z)")), &QPushButton::clicked, this,
            [=, this] { runStep(false, [=] { clearByCategory(ref); }); });
    connect(addButton("BitBtnR", QStringLiteral("路線(&R)")), &QPushButton::clicked, this, [=, this] {
        runStep(true, [=] {
            routeKiloByCategory(ref);
            grid1->show();
        });
    });
    connect(addButton("BitBtnJ", QStringLiteral("乗車(&J)")), &QPushButton::clicked, this,
            [=, this] { runStep(true, [=] { riddenKiloByCategory(ref, per); }); });
    connect(addButton("BitBtnW", QStringLiteral("割合(&W)")), &QPushButton::clicked, this, [=, this] {
        runStep(true, [=] {
            HiddenWhile hidden(grid1);
            ratioByCategory(ref);
        });
    });
    connect(addButton("BitBtnD", QStringLiteral("日付(&D)")), &QPushButton::clicked, this,
            [=, this] { runStep(true, [=] { datesByCategory(ref); }); });
    finishButtons(QStringLiteral("THyojiU"));
}

// --- tally by year -------------------------------------------------------------------------------------------------

THYOJI2::THYOJI2(QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)),
      m_years(m_per, QStringLiteral("TOSHI"), QStringLiteral("NEN")),
      m_total(m_ref, QStringLiteral("TOSHI2"), QStringLiteral("NEN")) {
    setObjectName(QStringLiteral("HYOJI2"));
    setWindowTitle(QStringLiteral("年(年度)別の集計"));
    setFont(ui::uiFont(12));
    for (TableCursor* c : {&m_years, &m_total}) {
        c->open();
        auto def = [&](const char* f) -> FieldDef& { return c->fieldDef(c->fieldIndex(QString::fromLatin1(f))); };
        def("NEN").label = QStringLiteral("年(度)");
        def("NEN").displayWidth = 6;
        def("JOSHA_NO").label = QStringLiteral("新規-");
        def("JOSHA_NO").hint = QStringLiteral("新規-：その年の乗車の回数（乗車キロが 0 以上の記録）");
        def("JOSHA_NO").displayWidth = 6;
        def("JOSHA_KILO").label = QStringLiteral("乗車区間");
        def("JOSHA_KILO").hint = QStringLiteral("乗車区間：その年の乗車の乗車キロの合計");
        def("JOSHA_KILO").format = QStringLiteral("#,##0.0");
        def("HAISHI_NO").label = QStringLiteral("既乗-");
        def("HAISHI_NO").hint = QStringLiteral("既乗-：その年の廃止区間の記録の回数（乗車キロがマイナスの記録）");
        def("HAISHI_NO").displayWidth = 6;
        def("HAISHI_KILO").label = QStringLiteral("廃止区間");
        def("HAISHI_KILO").hint = QStringLiteral("廃止区間：その年の廃止区間の記録のキロの合計（0 以下）");
        def("HAISHI_KILO").format = QStringLiteral("#,##0.0");
        def("BIKO").label = QStringLiteral("備考");
        def("BIKO").displayWidth = 30;
    }

    QVBoxLayout* root = rootWithNavigator(this, m_years);

    auto* body = new QHBoxLayout;
    auto* grids = new QVBoxLayout;
    m_noYears = new QLabel(this);
    m_noYears->setObjectName(QStringLiteral("LabelNoYears"));
    m_noYears->setFont(ui::uiFont(14));
    m_noYears->setWordWrap(true);
    m_noYears->hide();
    grids->addWidget(m_noYears);
    m_grid1 = readOnlyGrid(this, "DBGrid1", m_years, true);
    m_grid2 = readOnlyGrid(this, "DBGrid2", m_total, false);
    grids->addWidget(calculatingPanel(this, m_grid1), 1);
    grids->addWidget(m_grid2);
    oneLine(m_grid2, 1);
    alignColumns(m_grid1, {m_grid2});
    grids->addWidget(kiloNote(this));
    body->addLayout(grids, 1);

    auto* column = new QVBoxLayout;
    auto* range = new QGroupBox(QStringLiteral("集計範囲"), this);
    range->setObjectName(QStringLiteral("GroupBoxS"));
    range->setFont(ui::uiFont(16)); // the size of the buttons beside it
    auto* radios = new QVBoxLayout(range);
    radios->setContentsMargins(1, 2, 0, 2); // room for the captions in a box as wide as a button
    m_m1 = new QRadioButton(QStringLiteral("1～12月"), range);
    m_m1->setObjectName(QStringLiteral("RadioButtonM1"));
    m_m4 = new QRadioButton(QStringLiteral("4～3月"), range);
    m_m4->setObjectName(QStringLiteral("RadioButtonM4"));
    radios->addWidget(m_m1);
    radios->addWidget(m_m4);
    m_m1->setChecked(true);
    range->setFixedWidth(std::max(89, range->sizeHint().width())); // as wide as a button, unless the captions need more
    column->addWidget(range);
    QPushButton* clear = commandButton(this, column, "BitBtnZ", QStringLiteral("全零(&Z)"));
    connect(clear, &QPushButton::clicked, this, [this] { runQuietly(this, [this] { clearCommand(); }); });
    QPushButton* tally = commandButton(this, column, "BitBtnC", QStringLiteral("集計(&C)"));
    ui::connectCommand(tally, this, [this] { tallyCommand(); });
    ui::addRunAll(this, column, {clear, tally}, QStringLiteral("全零→集計"));
    m_addYears = commandButton(this, column, "BitBtnY", QStringLiteral("年の追加(&Y)"));
    m_addYears->setToolTip(QStringLiteral("乗車記録のある年（年度）のうち、年別マスターにない年をすべて追加します"));
    ui::connectCommand(m_addYears, this, [this] { addYearsCommand(); });
    finishColumn(this, column, QStringLiteral("THYOJI2"));
    body->addLayout(column);
    root->addLayout(body, 1);
}

THYOJI2::~THYOJI2() {
    for (TableCursor* c : {&m_years, &m_total})
        ui::detachControls(*c);
}

void THYOJI2::activated() {
    (settings::yearStartMonth() == 1 ? m_m1 : m_m4)->setChecked(true);
    updateYearNote();
}

int THYOJI2::startMonth() const {
    return m_m1->isChecked() ? 1 : 4;
}

void THYOJI2::updateYearNote() {
    const bool none = !anyListedYearHasRides(m_per, startMonth()) &&
                      m_per->scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM JOSHA)")).toInt() != 0;
    m_noYears->setText(
        QStringLiteral("年別マスターに、乗車記録のある年がまだありません。「年の追加(Y)」で、乗車記録のある年を"
                       "まとめて追加してから「一括実行(A)」を押してください。"));
    m_noYears->setVisible(none);
}

void THYOJI2::addYearsCommand() {
    int added = 0;
    {
        ReopenOnExit reopen{{&m_years, &m_total}};
        ui::SuspendControls suspend{&m_years, &m_total};
        added = addYearsWithRides(m_per, startMonth());
    }
    updateYearNote();
    if (added == 0)
        ui::information(this, windowTitle(), QStringLiteral("乗車記録のある年は、すべて年別マスターにあります。"));
}

void THYOJI2::clearCommand() {
    HiddenWhile hidden(m_grid1);
    ReopenOnExit reopen{{&m_years, &m_total}};
    ui::SuspendControls suspend{&m_years, &m_total};
    clearByYear(m_ref, m_per);
}

void THYOJI2::tallyCommand() {
    const int startMonth = this->startMonth();
    {
        HiddenWhile hidden(m_grid1);
        ReopenOnExit reopen{{&m_years, &m_total}, &m_years}; // the newest year current
        ui::SuspendControls suspend{&m_years, &m_total};
        tallyByYear(m_ref, m_per, startMonth);
    }
    settings::writeInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), startMonth);
}

// --- operator bar chart --------------------------------------------------------------------------------------------

namespace {
struct Legend {
    const char* name;
    const char* caption;
    QRgb colour;
    bool whiteText;
};
const Legend kLegend[kChartRows] = {
    {"PanelH", "北海道", qRgb(0x03, 0xC1, 0x3D), false}, {"PanelE", "東日本", qRgb(0x37, 0x86, 0x40), true},
    {"PanelC", "東海", qRgb(0xFF, 0x7E, 0x1C), false},   {"PanelW", "西日本", qRgb(0x00, 0x72, 0xBA), true},
    {"PanelS", "四国", qRgb(0x00, 0xAC, 0xD1), false},   {"PanelK", "九州", qRgb(0xF6, 0x2E, 0x36), false},
};
const int kLegendY[kChartRows] = {17, 56, 97, 136, 176, 216};
} // namespace

TGraph::TGraph(std::shared_ptr<Database> ref, QWidget* parent) : QDialog(parent), m_ref(std::move(ref)) {
    setObjectName(QStringLiteral("Graph"));
    setWindowTitle(QStringLiteral("旅客鉄道会社別キロ程＆乗車状況"));
    setFont(ui::uiFont(12));
    auto* inner = new QWidget(this);
    inner->setObjectName(QStringLiteral("Panel1"));
    inner->setGeometry(0, 0, 545, 289);
    for (int i = 0; i < kChartRows; ++i) {
        auto* panel = new QLabel(QString::fromUtf8(kLegend[i].caption), inner);
        panel->setObjectName(QString::fromLatin1(kLegend[i].name));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFont(ui::uiFont(16));
        panel->setAutoFillBackground(true);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setGeometry(8, kLegendY[i], 89, 33);
        m_panels << panel;
    }
    m_imageLabel = new QLabel(inner);
    m_imageLabel->setObjectName(QStringLiteral("Image1"));
    m_imageLabel->setGeometry(104, 8, kChartWidth, kChartHeight);
    auto scale = [&](const char* name, const QString& text, int x, int y) {
        auto* l = new QLabel(text, inner);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(ui::uiFont(16));
        l->adjustSize();
        l->move(x, y);
    };
    scale("Label0M", QStringLiteral("0"), 103, 263);
    scale("Label4M", QStringLiteral("5000"), 344, 262);
    scale("LabelScale", QStringLiteral("(Km)"), 488, 262);
    auto* ok = new QPushButton(QStringLiteral("了解(&R)"), this);
    ok->setObjectName(QStringLiteral("BitBtnR"));
    ok->setFont(ui::uiFont(16));
    ok->setGeometry(440, 296, 89, 33);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    placeDialog(this, QStringLiteral("TGraph"));
}

void TGraph::redraw() {
    for (int i = 0; i < kChartRows; ++i) {
        QPalette p = m_panels[i]->palette();
        p.setColor(QPalette::Window, QColor(kLegend[i].colour));
        p.setColor(QPalette::WindowText, kLegend[i].whiteText ? Qt::white : Qt::black);
        m_panels[i]->setPalette(p);
    }
    m_image = chartImage(readChartBars(m_ref));
    m_imageLabel->setPixmap(QPixmap::fromImage(m_image));
}

void TGraph::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    runQuietly(this, [this] { redraw(); });
}

// --- registration --------------------------------------------------------------------------------------------------

void registerScreens() {
    registerScreen(QStringLiteral("ActionShukeiBunrui"), [](QWidget* parent) { return new THyoji(parent); });
    registerScreen(QStringLiteral("ActionShukeiKubun"), [](QWidget* parent) { return new THyojiU(parent); });
    registerScreen(QStringLiteral("ActionShukeiToshi"), [](QWidget* parent) { return new THYOJI2(parent); });
    registerScreen(QStringLiteral("ActionShukeiMijo"), [](QWidget* parent) { return new TMijo(parent); });
    registerScreen(QStringLiteral("ActionCheckJisseki"), [](QWidget* parent) { return new TCJosha(parent); });
    registerScreen(QStringLiteral("ActionShukeiChizu"), [](QWidget* parent) { return new TJoshaChizu(parent); });
    registerScreen(QStringLiteral("ActionShukeiSuii"), [](QWidget* parent) { return new TJoshaSuii(parent); });
}

} // namespace tabi::tally
