#include "routes/tmaster.h"

#include "photos/photopage.h"
#include "routes/codejumpdialog.h"
#include "routes/linediagrampage.h"
#include "routes/plandialog.h"
#include "routes/routecommands.h"
#include "routes/screenparts.h"
#include "routes/stationdistancedialog.h"
#include "ui/command.h"
#include "ui/dbcontrols.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"
#include "ui/fonts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tabi::routes {

namespace {

// Grid titles, widths and formats of a linked table as this screen shows them.
void shapeColumns(TableCursor& c, const QList<std::tuple<QString, QString, int>>& columns) {
    for (int i = 0; i < c.fieldCount(); ++i)
        c.fieldDef(i).hidden = true;
    for (const auto& [field, title, width] : columns) {
        FieldDef& f = c.fieldDef(c.fieldIndex(field));
        f.hidden = false;
        f.label = title;
        f.displayWidth = width;
    }
}

} // namespace

TMaster::TMaster(QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)),
      m_routes(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD")),
      m_kubun(m_ref, QStringLiteral("KUBUN"), QStringLiteral("KBN_CD")),
      m_kubunList(m_ref, QStringLiteral("KUBUN"), QStringLiteral("KBN_CD")),
      m_kaitsu(m_ref, QStringLiteral("KAITSU"), QStringLiteral("ROSEN_CD")),
      m_eki(m_ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD")),
      m_ekiDraw(m_ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD")),
      m_josha(m_per, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD")) {
    setObjectName(QStringLiteral("Master"));
    setWindowTitle(QStringLiteral("鉄道・軌道"));
    setFont(ui::uiFont(16));

    m_kubun.setMasterSource(&m_routes, QStringLiteral("KBN_CD"));
    m_kaitsu.setMasterSource(&m_routes, QStringLiteral("ROSEN_CD"));
    m_eki.setMasterSource(&m_routes, QStringLiteral("ROSEN_CD"));
    m_ekiDraw.setMasterSource(&m_routes, QStringLiteral("ROSEN_CD"));
    m_josha.setMasterSource(&m_routes, QStringLiteral("ROSEN_CD"));
    for (TableCursor* c : {&m_routes, &m_kubun, &m_kubunList, &m_kaitsu, &m_eki, &m_ekiDraw, &m_josha})
        c->open();
    shapeColumns(m_kaitsu, {{QStringLiteral("EDA_NO"), QStringLiteral("枝番"), 4},
                            {QStringLiteral("KUKAN"), QStringLiteral("区間"), 40},
                            {QStringLiteral("TANFUKU"), QStringLiteral("単複"), 4},
                            {QStringLiteral("KILO"), QStringLiteral("キロ程"), 7},
                            {QStringLiteral("KAITSU_DATE"), QStringLiteral("開通年月日"), 10},
                            {QStringLiteral("BIKO"), QStringLiteral("備考"), 22}});
    shapeColumns(m_eki, {{QStringLiteral("KILO"), QStringLiteral("キロ程"), 7},
                         {QStringLiteral("HYOJI"), QStringLiteral("○"), 2},
                         {QStringLiteral("EKI_KANJI"), QStringLiteral("駅名(漢字)"), 18},
                         {QStringLiteral("EKI_KANA"), QStringLiteral("駅名(かな)"), 24},
                         {QStringLiteral("SHURUI"), QStringLiteral("種"), 2},
                         {QStringLiteral("KAIGYO_DATE"), QStringLiteral("開業年月日"), 11},
                         {QStringLiteral("BIKO"), QStringLiteral("備考(接続・改称等)"), 22}});
    shapeColumns(m_josha, {{QStringLiteral("JOSHA_DATE"), QStringLiteral("乗車年月日"), 10},
                           {QStringLiteral("JOSHA_KUKAN"), QStringLiteral("乗車区間"), 50},
                           {QStringLiteral("JOSHA_KILO"), QStringLiteral("乗車キロ"), 7},
                           {QStringLiteral("BIKO"), QStringLiteral("備考"), 21}});

    // The three dialogs of the screen live and die with it.
    m_jump = new TCode_I2(m_ref, this);
    m_picker = new TEKI2(m_ref, this);
    m_picker->setPersonal(m_per);
    m_plan = new TSenkei(m_ref, this);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);
    root->setSpacing(4);

    m_navigator = new ui::DBNavigator(this);
    m_navigator->setObjectName(QStringLiteral("DBNavigator"));
    m_navigator->setTableCursor(&m_routes);
    m_navigator->setKeyScope(this);
    auto* strip = new QHBoxLayout;
    strip->addWidget(m_navigator);
    strip->addStretch();
    root->addLayout(strip);

    // Route header, visible on every page.
    auto* header = new QGridLayout;
    header->setHorizontalSpacing(6);
    header->setVerticalSpacing(3);
    auto headerEdit = [&](const char* name, const QString& field, int width) {
        auto* e = new ui::DBEdit(&m_routes, field, this);
        e->setObjectName(QString::fromLatin1(name));
        if (width > 0)
            e->setFixedWidth(width);
        m_headerEdits << e;
        return e;
    };
    header->addWidget(fieldCaption(QStringLiteral("路線番号："), this), 0, 0);
    header->addWidget(headerEdit("EditROSEN_CD", QStringLiteral("ROSEN_CD"), 80), 0, 1, Qt::AlignLeft);
    header->addWidget(fieldCaption(QStringLiteral("名称(かな)："), this), 0, 2);
    header->addWidget(headerEdit("EditSENMEI_KANA", QStringLiteral("ROSEN_KANA"), 0), 0, 3, 1, 3);
    header->addWidget(fieldCaption(QStringLiteral("名称(漢字)："), this), 1, 0);
    header->addWidget(headerEdit("EditSENMEI_KANJI", QStringLiteral("ROSEN_KANJI"), 0), 1, 1, 1, 2);
    header->addWidget(fieldCaption(QStringLiteral("区分："), this), 1, 3);
    m_kbn = new ui::DBLookupComboBox(this);
    m_kbn->setObjectName(QStringLiteral("DBLookupComboBoxKBN"));
    m_kbn->bind(&m_routes, QStringLiteral("KBN_CD"));
    m_kbn->setListSource(&m_kubunList, QStringLiteral("KBN_CD"),
                         {QStringLiteral("KBN_CD"), QStringLiteral("KBN_KANJI")}, 0);
    m_kbn->setDropDown(280, 8);
    m_kbn->setFixedWidth(70);
    header->addWidget(m_kbn, 1, 4);
    header->addWidget(displayEdit(m_kubun, QStringLiteral("KBN_KANJI"), QStringLiteral("DBEdit1"), 0, this), 1, 5);
    header->addWidget(fieldCaption(QStringLiteral("区間："), this), 2, 0);
    auto* span = new QHBoxLayout;
    span->addWidget(headerEdit("EditKITEN", QStringLiteral("KITEN"), 190));
    span->addWidget(new QLabel(QStringLiteral("～"), this));
    span->addWidget(headerEdit("EditSHUTEN", QStringLiteral("SHUTEN"), 190));
    auto* haishi = displayEdit(m_routes, QStringLiteral("HAISHI_DATE"), QStringLiteral("DBEditHAISHI2"), 100, this);
    makeRed(haishi);
    span->addWidget(haishi);
    span->addStretch();
    header->addLayout(span, 2, 1, 1, 2);
    header->addWidget(fieldCaption(QStringLiteral("所属："), this), 2, 3);
    header->addWidget(headerEdit("EditSHOZOKU", QStringLiteral("SHOZOKU"), 0), 2, 4, 1, 2);
    header->setColumnStretch(2, 1);
    header->setColumnStretch(5, 1);
    root->addLayout(header);

    // Pages on the left, commands on the right.
    auto* body = new QHBoxLayout;
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildBasicPage(), QStringLiteral("基本情報"));
    m_pages->addTab(buildGridPage(QStringLiteral("TabSheetK"), m_kaitsu, m_navOpenings, m_gridOpenings,
                                  QStringLiteral("DBEditKILOK")),
                    QStringLiteral("開通区間"));
    m_pages->addTab(
        buildGridPage(QStringLiteral("TabSheetE"), m_eki, m_navStations, m_gridStations, QStringLiteral("DBEditKILOE")),
        QStringLiteral("駅設置状況"));
    m_pages->addTab(
        buildGridPage(QStringLiteral("TabSheetJ"), m_josha, m_navRides, m_gridRides, QStringLiteral("DBEditKILOJ")),
        QStringLiteral("乗車実績"));
    m_navOpenings->setObjectName(QStringLiteral("DBNavigator1"));
    m_navStations->setObjectName(QStringLiteral("DBNavigator2"));
    m_navRides->setObjectName(QStringLiteral("DBNavigator3"));
    m_gridOpenings->setObjectName(QStringLiteral("DBGrid1"));
    m_gridStations->setObjectName(QStringLiteral("DBGrid2"));
    m_gridRides->setObjectName(QStringLiteral("DBGrid3"));
    m_photoPage = new photos::PhotoPage(photos::PhotoKeys::routes(), 8, this);
    m_photoPage->setObjectName(QStringLiteral("TabSheetP"));
    m_pages->addTab(m_photoPage, QStringLiteral("写真"));
    m_linePage = new LineDiagramPage(m_routes, m_ekiDraw, this);
    m_linePage->setObjectName(QStringLiteral("TabSheetS"));
    m_pages->addTab(m_linePage, QStringLiteral("線形"));
    body->addWidget(m_pages, 1);

    auto* commands = new QVBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        return addCommandButton(commands, name, caption, this);
    };
    m_btnM = button("BitBtnM", QStringLiteral("移動(&M)"));
    m_btnK = button("BitBtnK", QStringLiteral("区間(&K)"));
    m_btnSK = button("BitBtnSK", QStringLiteral("線形(&S)"));
    auto* photoButton = button("BitBtnP1", QStringLiteral("写真(&P)"));
    photoButton->setVisible(false);
    photoButton->setEnabled(false);
    commands->addStretch();
    addHelpCommand(commands, this, QStringLiteral("TMaster"));
    m_btnE = button("BitBtnE", QStringLiteral("終了(&E)"));
    body->addLayout(commands);
    root->addLayout(body, 1);

    ui::connectCommand(m_btnM, this, [this] { moveCommand(); });
    ui::connectCommand(m_btnK, this, [this] { rideCommand(); });
    ui::connectCommand(m_btnE, this, [this] { finishCommand(); });
    ui::connectCommand(m_btnSK, this, [this] { planCommand(); });
    connect(m_pages, &QTabWidget::currentChanged, this, &TMaster::pageChanged);

    // Created: browsing state with "区間(&K)" off; the first page then puts the header into editing.
    m_btnK->setEnabled(false);
    setNavState(DBN_4);
    pageChanged(m_pages->currentIndex());
}

TMaster::~TMaster() {
    // The cursors are members and die before the child widgets bound to them.
    for (TableCursor* c : {&m_routes, &m_kubun, &m_kubunList, &m_kaitsu, &m_eki, &m_ekiDraw, &m_josha})
        ui::detachControls(*c);
}

QWidget* TMaster::buildBasicPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("TabSheetB"));
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto edit = [&](const char* name, const QString& field, int width) {
        auto* e = new ui::DBEdit(&m_routes, field, page);
        e->setObjectName(QString::fromLatin1(name));
        if (width)
            e->setFixedWidth(width);
        return e;
    };
    auto combo = [&](const char* name, const QString& field, const QStringList& items) {
        auto* c = new ui::DBComboBox(page);
        c->setObjectName(QString::fromLatin1(name));
        c->bind(&m_routes, field);
        c->setItems(items);
        c->setFixedWidth(140);
        return c;
    };
    int row = 0;
    auto add = [&](int col, const QString& caption, QWidget* w) {
        grid->addWidget(fieldCaption(caption, page), row, col * 2);
        grid->addWidget(w, row, col * 2 + 1, Qt::AlignLeft);
    };
    add(0, QStringLiteral("開通年月日："), edit("EditKAITSU", QStringLiteral("KAITSU_DATE"), 120));
    add(1, QStringLiteral("廃止年月日："), edit("editHAISHI", QStringLiteral("HAISHI_DATE"), 120));
    makeRed(grid->itemAtPosition(row, 3)->widget());
    ++row;
    add(0, QStringLiteral("軌間(m)："), edit("EditKIKAN", QStringLiteral("KIKAN"), 120));
    add(1, QStringLiteral("キロ程："), edit("EditKILO", QStringLiteral("KILO"), 120));
    ++row;
    grid->addWidget(fieldCaption(QStringLiteral("第３種事業者：<br><small>(軌道整備事業者)</small>"), page), row, 0);
    grid->addWidget(edit("EditSANSHU", QStringLiteral("SANSHU"), 0), row, 1, 1, 3);
    ++row;
    add(0, QStringLiteral("電化状況："),
        combo("DBComboBoxDENKA", QStringLiteral("DENKA"),
              {QStringLiteral("全線電化"), QStringLiteral("一部電化"), QStringLiteral("非電化"),
               QStringLiteral("電化鋼索")}));
    ++row;
    add(0, QStringLiteral("電圧１："), edit("EditVOLT", QStringLiteral("VOLT1"), 120));
    add(1, QStringLiteral("電圧２："), edit("EditVOLT2", QStringLiteral("VOLT2"), 120));
    ++row;
    grid->addWidget(fieldCaption(QStringLiteral("備考１："), page), row, 0);
    grid->addWidget(edit("EditBIKO", QStringLiteral("BIKO1"), 0), row, 1, 1, 3);
    ++row;
    grid->addWidget(fieldCaption(QStringLiteral("備考２："), page), row, 0);
    grid->addWidget(edit("EditBIKO2", QStringLiteral("BIKO2"), 0), row, 1, 1, 3);
    ++row;
    add(0, QStringLiteral("写真："),
        combo("DBComboBoxPHOTO", QStringLiteral("PHOTO"), {QStringLiteral("なし"), QStringLiteral("あり")}));
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(3, 1);
    return page;
}

QWidget* TMaster::buildGridPage(const QString& objectName, TableCursor& cursor, ui::DBNavigator*& navigator,
                                ui::DBGrid*& grid, const QString& kiloEditName) {
    auto* page = new QWidget(this);
    page->setObjectName(objectName);
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(4, 4, 4, 4);
    navigator = new ui::DBNavigator(page);
    navigator->setTableCursor(&cursor);
    navigator->setKeyScope(page);
    v->addLayout(kiloStrip(navigator, m_routes, kiloEditName, page));
    grid = new ui::DBGrid(page);
    grid->setTableCursor(&cursor);
    v->addWidget(grid, 1);
    return page;
}

void TMaster::setNavState(NavState state) {
    m_navState = state;
    const bool editing = state == DBN_all;
    for (ui::DBEdit* e : std::as_const(m_headerEdits))
        e->setReadOnly(!editing);
    m_kbn->setReadOnly(!editing);
    m_navigator->setVisibleButtons(editing ? ui::DBNavigator::AllButtons : ui::DBNavigator::MoveButtons);
    m_navigator->setFixedWidth(editing ? 360 : 144);
    m_navigator->setEnabled(state != DBN_none);
    m_btnM->setEnabled(state != DBN_none);
    // The plan drawing is reachable whenever the route can still be moved.
    m_btnSK->setEnabled(state != DBN_none);
}

void TMaster::pageChanged(int index) {
    switch (Page(index)) {
    case PageBasic:
        setNavState(DBN_all);
        m_btnK->setEnabled(false);
        break;
    case PageOpenings:
    case PageStations:
        setNavState(DBN_4);
        m_btnK->setEnabled(false);
        break;
    case PageRides:
        setNavState(DBN_4);
        m_btnK->setEnabled(true);
        break;
    case PagePhoto:
        setNavState(DBN_none);
        m_btnK->setEnabled(false);
        ui::runCommand(this, [this] { m_photoPage->pageShown(m_routes.asString(QStringLiteral("ROSEN_CD"))); });
        break;
    case PageLine:
        setNavState(DBN_none);
        m_btnK->setEnabled(false);
        ui::runCommand(this, [this] { m_linePage->pageShown(); });
        break;
    }
}

void TMaster::showPage(Page page) {
    m_pages->setCurrentIndex(int(page));
}

void TMaster::activated() {
    ui::runCommand(this, [this] { positionOnRemembered(m_routes, *m_jump); });
}

void TMaster::positionOn(const QString& code) {
    positionOnCode(m_routes, code);
}

void TMaster::moveCommand() {
    moveWithJump(m_routes, *m_jump);
}

void TMaster::rideCommand() {
    // The new ride is left in insert state, in the rides grid, for the user to complete and post.
    if (recordRide(m_routes, m_josha, *m_picker))
        m_gridRides->setFocus();
}

void TMaster::finishCommand() {
    rememberRoute(m_routes);
    closeScreen();
}

void TMaster::planCommand() {
    m_plan->setRouteCode(m_routes.asString(QStringLiteral("ROSEN_CD")));
    m_plan->run();
}

} // namespace tabi::routes
