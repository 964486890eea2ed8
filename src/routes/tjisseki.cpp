#include "routes/tjisseki.h"

#include "routes/codejumpdialog.h"
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
#include <QVBoxLayout>

namespace tabi::routes {

TJisseki::TJisseki(QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)),
      m_routes(m_ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD")),
      m_josha(m_per, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD")),
      m_kubun(m_ref, QStringLiteral("KUBUN"), QStringLiteral("KBN_CD")) {
    setObjectName(QStringLiteral("Jisseki"));
    setWindowTitle(QStringLiteral("鉄道・軌道 乗車実績"));
    setFont(ui::uiFont(16));
    m_josha.setMasterSource(&m_routes, QStringLiteral("ROSEN_CD"));
    m_kubun.setMasterSource(&m_routes, QStringLiteral("KBN_CD"));
    for (TableCursor* c : {&m_routes, &m_josha, &m_kubun})
        c->open();
    FieldDef& biko = m_josha.fieldDef(m_josha.fieldIndex(QStringLiteral("BIKO")));
    biko.displayWidth = 22;
    m_josha.fieldDef(m_josha.fieldIndex(QStringLiteral("JOSHA_KUKAN"))).displayWidth = 50;

    m_jump = new TCode_I2(m_ref, this);
    m_picker = new TEKI2(m_ref, this);
    m_picker->setPersonal(m_per);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);
    auto* navigator = new ui::DBNavigator(this);
    navigator->setObjectName(QStringLiteral("DBNavigator"));
    navigator->setTableCursor(&m_routes);
    navigator->setKeyScope(this);
    navigator->setVisibleButtons(ui::DBNavigator::MoveButtons);
    auto* top = new QHBoxLayout;
    top->addWidget(navigator);
    top->addStretch();
    root->addLayout(top);

    // The header is read-only throughout: routes are changed on the route master screen only.
    auto* header = new QGridLayout;
    auto label = [this](const QString& text) { return fieldCaption(text, this); };
    auto field = [this](TableCursor& c, const char* name, const QString& f, int width) {
        return displayEdit(c, f, QString::fromLatin1(name), width, this);
    };
    header->addWidget(label(QStringLiteral("路線番号：")), 0, 0);
    header->addWidget(field(m_routes, "EditROSEN_CD", QStringLiteral("ROSEN_CD"), 80), 0, 1, Qt::AlignLeft);
    header->addWidget(label(QStringLiteral("名称(カナ)：")), 0, 2);
    header->addWidget(field(m_routes, "EditSENMEI_KANA", QStringLiteral("ROSEN_KANA"), 0), 0, 3, 1, 2);
    header->addWidget(label(QStringLiteral("名称(漢字)：")), 1, 0);
    header->addWidget(field(m_routes, "EditROSEN_KANJI", QStringLiteral("ROSEN_KANJI"), 0), 1, 1, 1, 2);
    header->addWidget(label(QStringLiteral("区分：")), 1, 3);
    auto* kbn = new QHBoxLayout;
    kbn->addWidget(field(m_routes, "EditKBN_CD", QStringLiteral("KBN_CD"), 40));
    kbn->addWidget(field(m_kubun, "EditKBN_NAME", QStringLiteral("KBN_KANJI"), 0));
    header->addLayout(kbn, 1, 4);
    header->addWidget(label(QStringLiteral("区間：")), 2, 0);
    auto* span = new QHBoxLayout;
    span->addWidget(field(m_routes, "EditKITEN", QStringLiteral("KITEN"), 190));
    span->addWidget(new QLabel(QStringLiteral("～"), this));
    span->addWidget(field(m_routes, "EditSHUTEN", QStringLiteral("SHUTEN"), 190));
    auto* haishi = field(m_routes, "EditHAISHI", QStringLiteral("HAISHI_DATE"), 100);
    makeRed(haishi);
    span->addWidget(haishi);
    span->addStretch();
    header->addLayout(span, 2, 1, 1, 2);
    header->addWidget(label(QStringLiteral("所属：")), 2, 3);
    header->addWidget(field(m_routes, "EditSHOZOKU", QStringLiteral("SHOZOKU"), 0), 2, 4);
    header->setColumnStretch(2, 1);
    header->setColumnStretch(4, 1);
    root->addLayout(header);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    m_navRides = new ui::DBNavigator(this);
    m_navRides->setObjectName(QStringLiteral("DBNavigator1"));
    m_navRides->setTableCursor(&m_josha);
    left->addLayout(kiloStrip(m_navRides, m_routes, QStringLiteral("EditKILO"), this));
    m_grid = new ui::DBGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setTableCursor(&m_josha);
    m_navRides->setKeyScope(m_grid);
    left->addWidget(m_grid, 1);
    body->addLayout(left, 1);

    auto* commands = new QVBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        return addCommandButton(commands, name, caption, this);
    };
    ui::connectCommand(button("BitBtnM", QStringLiteral("移動(&M)")), this, [this] { moveCommand(); });
    ui::connectCommand(button("BitBtnK", QStringLiteral("区間(&K)")), this, [this] { rideCommand(); });
    commands->addStretch();
    addHelpCommand(commands, this, QStringLiteral("TJisseki"));
    ui::connectCommand(button("BitBtnE", QStringLiteral("終了(&E)")), this, [this] { finishCommand(); });
    body->addLayout(commands);
    root->addLayout(body, 1);
}

TJisseki::~TJisseki() {
    for (TableCursor* c : {&m_routes, &m_josha, &m_kubun})
        ui::detachControls(*c);
}

void TJisseki::activated() {
    ui::runCommand(this, [this] { positionOnRemembered(m_routes, *m_jump); });
}

void TJisseki::moveCommand() {
    moveWithJump(m_routes, *m_jump);
}

void TJisseki::rideCommand() {
    if (recordRide(m_routes, m_josha, *m_picker))
        m_grid->setFocus();
}

void TJisseki::finishCommand() {
    rememberRoute(m_routes);
    closeScreen();
}

} // namespace tabi::routes
