#include "routes/linediagrampage.h"

#include "routes/plandialog.h"
#include "routes/rasterview.h"
#include "routes/screenparts.h"
#include "ui/command.h"
#include "ui/dbcontrols.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>

namespace tabi::routes {

LineDiagramPage::LineDiagramPage(TableCursor& routes, TableCursor& drawingStations, QWidget* parent)
    : QWidget(parent), m_routes(routes), m_stations(drawingStations) {
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setGeometry(0, 0, 809, 283);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view = new RasterView;
    m_view->setImage(&m_diagram.image());
    m_view->setPictureSize(QSize(m_diagram.pictureWidth(), LineDiagram::kHeight));
    m_scroll->setWidget(m_view);

    const int rx = 820;
    addTotalLength(this, m_routes, QStringLiteral("DBEditKILOS"), rx, 4, 44);
    QButtonGroup* buttons = addScaleChoice(this, QRect(rx, 66, 116, 120), m_rb);
    connect(buttons, &QButtonGroup::idClicked, this, &LineDiagramPage::setScale);

    m_draw = new QPushButton(QStringLiteral("投画(&G)"), this);
    m_draw->setObjectName(QStringLiteral("BitBtnG"));
    m_draw->setGeometry(rx, 200, 116, 36);
    ui::connectCommand(m_draw, this, [this] { draw(); });
    // The page's default button: Enter anywhere on the page draws.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, m_draw, &QPushButton::click);
    }

    m_code = new QLineEdit(this);
    m_code->setObjectName(QStringLiteral("EditCodeForToga"));
    m_code->hide();
    m_rb[1]->setChecked(true);
}

LineDiagramPage::~LineDiagramPage() = default;

QString LineDiagramPage::codeForToga() const {
    return m_code->text();
}

QRadioButton* LineDiagramPage::scaleButton(int scale) const {
    return scale == ScaleWide ? m_rb[0] : scale == ScaleZoom ? m_rb[2] : m_rb[1];
}

void LineDiagramPage::pageShown() {
    m_code->setText(m_routes.isEmpty() ? QString() : m_routes.asString(QStringLiteral("ROSEN_CD")));
    m_rb[1]->setChecked(true);
    m_scale = ScaleNormal;
    m_diagram.prepare();
    m_view->update();
}

void LineDiagramPage::setScale(int scale) {
    m_scale = scale;
    scaleButton(scale)->setChecked(true);
}

void LineDiagramPage::draw() {
    const double routeKilo = m_routes.isEmpty() ? 0.0 : m_routes.asFloat(QStringLiteral("KILO"));
    m_diagram.memori(routeKilo, m_scale);
    m_diagram.sakuzu1(routeKilo, m_scale);
    m_diagram.sakuzu2(readDrawStations(m_stations, m_code->text()), m_scale);
    m_view->setPictureSize(QSize(m_diagram.pictureWidth(), LineDiagram::kHeight));
    m_view->update();
}

} // namespace tabi::routes
