#include "routes/stationdistancedialog.h"

#include "ui/command.h"
#include "ui/dbgrid.h"
#include "ui/dbkit.h"
#include "ui/dbnavigator.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/screens.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTextCharFormat>

namespace tabi::routes {

namespace {

const QString kRosenCd = QStringLiteral("ROSEN_CD");
const QString kKilo = QStringLiteral("KILO");
const QString kName = QStringLiteral("EKI_KANJI");

// Names, distance and date: bold maroon on button-face grey.
QLineEdit* resultField(QWidget* parent, const QString& name, const QRect& geometry, bool readOnly) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    QFont font = ui::uiFont(16);
    font.setBold(true);
    edit->setFont(font);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00));
    edit->setPalette(pal);
    ui::setButtonFaceLook(edit, true);
    edit->setReadOnly(readOnly);
    return edit;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TEKI2::TEKI2(std::shared_ptr<Database> reference, QWidget* parent)
    : QDialog(parent), m_routes(reference, QStringLiteral("MASTER"), kRosenCd),
      m_stations(reference, QStringLiteral("EKI"), kRosenCd) {
    setWindowTitle(QStringLiteral("駅間キロ程算出"));
    setFont(ui::uiFont(16));

    m_stations.setMasterSource(&m_routes, kRosenCd);
    m_routes.open();
    m_stations.open();
    for (int i = 0; i < m_stations.fieldCount(); ++i)
        m_stations.fieldDef(i).hidden = true;
    FieldDef& kilo = m_stations.fieldDef(m_stations.fieldIndex(kKilo));
    kilo.hidden = false;
    kilo.label = QStringLiteral("キロ程");
    kilo.displayWidth = 7;
    kilo.format = QStringLiteral("#,##0.0");
    FieldDef& name = m_stations.fieldDef(m_stations.fieldIndex(kName));
    name.hidden = false;
    name.label = QStringLiteral("駅名称");

    // Top strip.
    m_navigator = new ui::DBNavigator(this);
    m_navigator->setObjectName(QStringLiteral("DBNavigator"));
    m_navigator->setVisibleButtons(ui::DBNavigator::MoveButtons);
    m_navigator->setTableCursor(&m_stations);
    m_navigator->setKeyScope(this);
    m_navigator->move(4, 4);
    m_editKilo = resultField(this, QStringLiteral("EditKILO"), QRect(4, 40, 87, 28), true);
    m_editKilo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_editKiten = resultField(this, QStringLiteral("EditKITEN"), QRect(160, 6, 249, 28), true);
    m_editShuten = resultField(this, QStringLiteral("EditSHUTEN"), QRect(160, 40, 249, 28), true);
    auto* from = new QLabel(QStringLiteral("から"), this);
    from->setGeometry(412, 6, 32, 28);
    auto* to = new QLabel(QStringLiteral("まで"), this);
    to->setGeometry(412, 40, 32, 28);
    m_editYMD = resultField(this, QStringLiteral("EditYMD"), QRect(446, 40, 113, 28), false);
    m_editC = new QLineEdit(this);
    m_editC->setObjectName(QStringLiteral("EditC"));
    m_editC->hide();

    // Stations.
    m_grid = new ui::DBGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setReadOnly(true);
    m_grid->setTableCursor(&m_stations);
    m_grid->setGeometry(0, 73, 439, 400);
    // The station list is where the keyboard works: Tab reaches it and it has the focus at each opening.
    m_grid->setFocusPolicy(Qt::StrongFocus);
    // The names fill the rest of the grid's width, so nothing ever scrolls sideways out of sight.
    m_grid->setLastColumnFills(true);

    // Calendar column.
    const int cx = 441;
    m_editYM = new QLineEdit(this);
    m_editYM->setObjectName(QStringLiteral("EditYM"));
    m_editYM->setAlignment(Qt::AlignCenter);
    m_editYM->setReadOnly(true);
    ui::setButtonFaceLook(m_editYM, true);
    m_editYM->setGeometry(cx, 75, 120, 26);
    m_calendarWidget = new QCalendarWidget(this);
    m_calendarWidget->setObjectName(QStringLiteral("Calendar1"));
    m_calendarWidget->setNavigationBarVisible(false);
    m_calendarWidget->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendarWidget->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    m_calendarWidget->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    m_calendarWidget->setFirstDayOfWeek(Qt::Sunday);
    m_calendarWidget->setFont(ui::uiFont(9));
    if (auto* view = m_calendarWidget->findChild<QTableView*>())
        view->horizontalHeader()->setMinimumSectionSize(1);
    m_calendarWidget->setGeometry(cx, 103, 120, 150);
    const struct {
        const char* name;
        const char* glyph;
        int months, years;
    } steps[] = {{"BitBtnPrevYear", "«", 0, -1},
                 {"BitBtnPrevMonth", "‹", -1, 0},
                 {"BitBtnNextMonth", "›", 1, 0},
                 {"BitBtnNextYear", "»", 0, 1}};
    for (int i = 0; i < 4; ++i) {
        QPushButton* b = button(this, QString::fromLatin1(steps[i].name), QString::fromUtf8(steps[i].glyph),
                                QRect(cx + 30 * i, 256, 30, 26));
        const int months = steps[i].months, years = steps[i].years;
        connect(b, &QPushButton::clicked, this, [this, months, years] {
            if (months)
                stepMonths(months);
            else
                stepYears(years);
        });
    }
    QPushButton* z = button(this, QStringLiteral("BitBtnZ"), QStringLiteral("消去(&Z)"), QRect(cx, 290, 120, 32));
    QPushButton* f = button(this, QStringLiteral("BitBtnF"), QStringLiteral("起点(&F)"), QRect(cx, 326, 120, 32));
    QPushButton* t = button(this, QStringLiteral("BitBtnT"), QStringLiteral("終点(&T)"), QRect(cx, 362, 120, 32));
    QPushButton* c = button(this, QStringLiteral("BitBtnC"), QStringLiteral("取消(&C)"), QRect(cx, 398, 120, 32));
    QPushButton* s = button(this, QStringLiteral("BitBtnS"), QStringLiteral("代入(&S)"), QRect(cx, 434, 120, 32));
    s->setDefault(true); // Enter

    connect(z, &QPushButton::clicked, this, &TEKI2::clearPick);
    connect(f, &QPushButton::clicked, this, [this] { ui::runCommand(this, [this] { kiten(); }); });
    connect(t, &QPushButton::clicked, this, [this] { ui::runCommand(this, [this] { shuten(); }); });
    connect(c, &QPushButton::clicked, this, &TEKI2::cancel);
    connect(s, &QPushButton::clicked, this, &TEKI2::substitute);
    connect(m_grid, &QAbstractItemView::doubleClicked, this,
            [this] { ui::runCommand(this, [this] { pickCurrentRow(); }); });
    connect(m_calendarWidget, &QCalendarWidget::clicked, this, &TEKI2::selectDate);
    connect(m_calendarWidget, &QCalendarWidget::activated, this, &TEKI2::selectDate);
    connect(m_calendarWidget, &QCalendarWidget::selectionChanged, this,
            [this] { selectDate(m_calendarWidget->selectedDate()); });

    // Tab order: the station list first, then the date and the buttons; the read-only fields take the focus by
    // a click only.
    for (QLineEdit* readOnly : {m_editKilo, m_editKiten, m_editShuten})
        readOnly->setFocusPolicy(Qt::ClickFocus);
    QList<QWidget*> order{m_grid, m_editYMD, m_calendarWidget};
    for (QPushButton* b : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        order << b;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    placeDialog(this, QStringLiteral("TEKI2"));
    selectDate(m_calendar.date()); // the calendar starts on the day the dialog was created
    showPick();
}

TEKI2::~TEKI2() {
    ui::detachControls(m_stations);
    ui::detachControls(m_routes);
}

void TEKI2::setRouteCode(const QString& code) {
    m_editC->setText(code);
}

QString TEKI2::routeCode() const {
    return m_editC->text();
}

void TEKI2::activate() {
    m_pick.reset();
    showPick();
    m_routes.findNearest({m_editC->text()});
    m_grid->followCursor();
    showDate();
    m_grid->setFocus(Qt::OtherFocusReason);
}

int TEKI2::run() {
    ui::runCommand(this, [this] { activate(); });
    return ui::execDialog(*this);
}

QString TEKI2::stationName() {
    return m_stations.isEmpty() ? QString() : m_stations.displayText(kName);
}

double TEKI2::stationKilo() {
    return m_stations.isEmpty() ? 0.0 : m_stations.asFloat(kKilo);
}

double TEKI2::routeKilo() {
    return m_routes.isEmpty() ? 0.0 : m_routes.asFloat(kKilo);
}

void TEKI2::kiten() {
    m_pick.kiten(stationName(), stationKilo());
    showPick();
}

void TEKI2::shuten() {
    m_pick.shuten(stationName(), stationKilo(), routeKilo());
    showPick();
}

void TEKI2::pickCurrentRow() {
    // The start name field decides, as the user sees it.
    if (m_editKiten->text().isEmpty())
        kiten();
    else
        shuten();
}

void TEKI2::clearPick() {
    m_pick.clear();
    showPick();
}

void TEKI2::substitute() {
    m_pick.setAccepted(true);
    accept();
}

void TEKI2::cancel() {
    m_pick.setAccepted(false);
    reject();
}

void TEKI2::stepMonths(int months) {
    m_calendar.stepMonths(months);
    showDate();
}

void TEKI2::stepYears(int years) {
    m_calendar.stepYears(years);
    showDate();
}

void TEKI2::selectDate(const QDate& date) {
    if (!date.isValid())
        return;
    m_calendar.setDate(date);
    showDate();
}

void TEKI2::showPick() {
    m_editKiten->setText(m_pick.startName());
    m_editShuten->setText(m_pick.endName());
    m_editKilo->setText(m_pick.distanceText());
}

void TEKI2::showDate() {
    const QDate& d = m_calendar.date();
    m_calendarWidget->setSelectedDate(d);
    m_calendarWidget->setCurrentPage(d.year(), d.month());
    m_editYM->setText(m_calendar.monthCaption());
    m_editYMD->setText(m_calendar.dateText());
}

} // namespace tabi::routes
