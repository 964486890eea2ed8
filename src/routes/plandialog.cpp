#include "routes/plandialog.h"

#include "ui/screens.h"
#include "routes/rasterview.h"
#include "routes/screenparts.h"
#include "ui/command.h"
#include "ui/dbcontrols.h"
#include "ui/dbkit.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>

namespace tabi::routes {

const ScaleChoice kScaleChoices[3] = {
    {"RB1", "広域", "新幹線等駅間距離が長い場合指定します。", ScaleWide},
    {"RB2", "通常", "通常指定します。", ScaleNormal},
    {"RB3", "拡大", "路面電車等駅間距離の狭い場合指定します。", ScaleZoom},
};

TSenkei::TSenkei(std::shared_ptr<Database> reference, QWidget* parent)
    : QDialog(parent), m_routes(reference, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD")),
      m_stations(reference, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD")) {
    setWindowTitle(QStringLiteral("路線図(平面)表示"));
    setFont(ui::uiFont(16));
    m_stations.setMasterSource(&m_routes, QStringLiteral("ROSEN_CD"));
    m_routes.open();
    m_stations.open();

    m_scroll = new QScrollArea(this);
    m_scroll->setGeometry(2, 2, 384, 481);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view = new RasterView;
    m_view->setImage(&m_plan.image());
    m_view->setPictureSize(QSize(PlanDrawing::kWidth, m_plan.pictureHeight()));
    m_scroll->setWidget(m_view);

    const int rx = 390;
    addTotalLength(this, m_routes, QStringLiteral("DBEditKILO"), rx, 8, 40);
    m_editC = new QLineEdit(this);
    m_editC->setObjectName(QStringLiteral("EditC"));
    m_editC->setEnabled(false);
    m_editC->setGeometry(rx, 70, 84, 26);

    QRadioButton* radios[3] = {};
    QButtonGroup* buttons = addScaleChoice(this, QRect(rx, 104, 116, 120), radios);
    m_rb1 = radios[0];
    m_rb2 = radios[1];
    m_rb3 = radios[2];
    connect(buttons, &QButtonGroup::idClicked, this, [this](int s) { setScale(s); });

    auto* ok = new QPushButton(QStringLiteral("了解(&R)"), this);
    ok->setObjectName(QStringLiteral("BitBtn2"));
    ok->setDefault(true);
    ok->setGeometry(rx, 440, 116, 36);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    m_rb2->setChecked(true);
    placeDialog(this, QStringLiteral("TSenkei"));
}

TSenkei::~TSenkei() {
    ui::detachControls(m_stations);
    ui::detachControls(m_routes);
}

void TSenkei::setRouteCode(const QString& code) {
    m_editC->setText(code);
}

QString TSenkei::routeCode() const {
    return m_editC->text();
}

QRadioButton* TSenkei::scaleButton(int scale) const {
    return scale == ScaleWide ? m_rb1 : scale == ScaleZoom ? m_rb3 : m_rb2;
}

void TSenkei::activate() {
    m_rb2->setChecked(true);
    setScale(ScaleNormal);
}

int TSenkei::run() {
    activate();
    return ui::execDialog(*this);
}

void TSenkei::setScale(int scale) {
    m_scale = scale;
    scaleButton(scale)->setChecked(true);
    ui::runCommand(this, [this] { draw(); });
}

void TSenkei::draw() {
    const QString code = m_editC->text();
    m_routes.findNearest({code});
    const double routeKilo = m_routes.isEmpty() ? 0.0 : m_routes.asFloat(QStringLiteral("KILO"));
    m_plan.memori(routeKilo, m_scale);
    // The stations are those of the code in EditC, read from the linked cursor.
    m_plan.sakuzu(readDrawStations(m_stations, code), m_scale);
    m_view->setPictureSize(QSize(PlanDrawing::kWidth, m_plan.pictureHeight()));
    m_view->update();
}

} // namespace tabi::routes
