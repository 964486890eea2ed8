#include "routes/stationdistancedialog.h"

#include "data/rules.h"
#include "data/searchtext.h"
#include "netmap/ridden.h"

#include "ui/command.h"
#include "ui/dbgrid.h"
#include "ui/dbkit.h"
#include "ui/dbnavigator.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/screens.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
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

// The station list: typing a name (kanji or kana, its beginning) moves it to that station. Keys typed in quick
// succession make one text, as in any list.
class StationGrid : public ui::DBGrid {
public:
    StationGrid(TEKI2* owner) : ui::DBGrid(owner), m_owner(owner) {}
    void keyboardSearch(const QString& search) override {
        if (!m_typed.isValid() || m_typed.elapsed() > QApplication::keyboardInputInterval())
            m_text.clear();
        m_typed.start();
        m_text += search;
        if (!m_owner->findStation(m_text) && m_text.size() > search.size()) {
            m_text = search; // a fresh start with the last key
            m_owner->findStation(m_text);
        }
    }

private:
    TEKI2* m_owner;
    QString m_text;
    QElapsedTimer m_typed;
};

const QColor kRiddenColour(0xD8, 0xEE, 0xD0);

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
    auto* dateLabel = new QLabel(QStringLiteral("乗車日(&D)"), this);
    dateLabel->setObjectName(QStringLiteral("LabelYMD"));
    dateLabel->setGeometry(446, 6, 113, 28);
    dateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter); // over its field, apart from "から"
    dateLabel->setBuddy(m_editYMD);
    m_editYMD->installEventFilter(this);
    connect(m_editYMD, &QLineEdit::editingFinished, this, [this] {
        // Going on to another control of the dialog (Tab, a click) confirms what was typed, and a refused date
        // keeps the focus. The dialog closing, or cancelled, asks nothing.
        QWidget* next = QApplication::focusWidget();
        if (!next || next->window() != this || next->objectName() == QLatin1String("BitBtnC"))
            return;
        if (m_editYMD->text() != m_calendar.dateText() && !applyTypedDate())
            m_editYMD->setFocus();
    });
    m_editC = new QLineEdit(this);
    m_editC->setObjectName(QStringLiteral("EditC"));
    m_editC->hide();

    // Stations.
    m_grid = new StationGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setReadOnly(true);
    m_grid->setTableCursor(&m_stations);
    m_grid->setGeometry(0, 73, 439, 374);
    // Stations already ridden on this route stand out.
    m_grid->cursorModel()->setCellOverride([this](int row, int, int role) -> QVariant {
        if (row < 0 || row >= m_riddenStations.size() || !m_riddenStations[row])
            return {};
        if (role == Qt::BackgroundRole)
            return kRiddenColour;
        if (role == Qt::ToolTipRole)
            return QStringLiteral("既乗");
        return {};
    });
    m_info = new QLabel(this);
    m_info->setObjectName(QStringLiteral("LabelInfo"));
    m_info->setGeometry(4, 449, 435, 24);
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
    m_btnS = s;

    connect(z, &QPushButton::clicked, this, &TEKI2::clearPick);
    connect(f, &QPushButton::clicked, this, [this] { ui::runCommand(this, [this] { kiten(); }); });
    connect(t, &QPushButton::clicked, this, [this] { ui::runCommand(this, [this] { shuten(); }); });
    connect(c, &QPushButton::clicked, this, &TEKI2::cancel);
    connect(s, &QPushButton::clicked, this, [this] { ui::runCommand(this, [this] { substitute(); }); });
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
    m_rideKilo = 0;
    m_routes.findNearest({m_editC->text()});
    m_grid->followCursor();
    loadRoute();
    showPick();
    showDate();
    m_grid->setFocus(Qt::OtherFocusReason);
}

void TEKI2::loadRoute() {
    const QString code = m_routes.isEmpty() ? QString() : m_routes.asString(kRosenCd);
    m_route = netmap::Route();
    m_ridden = netmap::IntervalSet();
    m_riddenStations.clear();
    if (!code.isEmpty()) {
        netmap::Network one = netmap::loadNetwork(m_routes.database(), code);
        if (!one.routes.isEmpty())
            m_route = std::move(one.routes.first());
        if (m_personal) {
            m_ridden = netmap::riddenStretches(m_route, netmap::loadRouteRides(*m_personal, code));
            m_riddenStations = netmap::riddenStations(m_route, m_ridden);
        }
    }
    m_grid->cursorModel()->refreshCells();
}

int TEKI2::run() {
    ui::runCommand(this, [this] { activate(); });
    return ui::execDialog(*this);
}

int TEKI2::runForAnotherDate() {
    m_pick.setAccepted(false);
    showPick();
    m_editYMD->setFocus(Qt::OtherFocusReason);
    m_editYMD->selectAll();
    return ui::execDialog(*this);
}

bool TEKI2::findStation(const QString& text) {
    const QString want = text::searchFold(text);
    if (want.isEmpty() || m_stations.isEmpty())
        return false;
    ui::CursorTableModel* model = m_grid->cursorModel();
    const int nameField = m_stations.fieldIndex(kName);
    const int kanaField = m_stations.findField(QStringLiteral("EKI_KANA"));
    for (int row = 0; row < model->rowCount(); ++row) {
        if (text::searchFold(model->fieldText(row, nameField)).startsWith(want) ||
            (kanaField >= 0 && text::searchFold(model->fieldText(row, kanaField)).startsWith(want))) {
            model->moveToRow(row);
            m_grid->followCursor();
            return true;
        }
    }
    return false;
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
    if (m_stations.isEmpty())
        return;
    m_pick.setRouteKilo(routeKilo());
    m_pick.kiten(stationName(), stationKilo());
    showPick();
}

void TEKI2::shuten() {
    if (m_stations.isEmpty())
        return;
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
    if (m_editYMD->text() != m_calendar.dateText() && !applyTypedDate())
        return;
    if (!m_pick.complete() || !(m_pick.distance() > 0))
        return; // the button is off until two stations are picked; Enter comes here too
    const QString title = windowTitle();
    m_pick.setAsLoss(false);
    if (m_pick.reversed()) {
        const QString km = QString::number(m_pick.distance(), 'f', 1);
        const int answer =
            ui::choose(this, title,
                       QStringLiteral("終点 「%1」 が起点 「%2」 より路線の手前(キロ程の小さい側)にあります。\n\n"
                                      "乗車した向きのまま記録するか(+%3 km)、以前に乗車した区間が廃止された記録"
                                      "(乗車キロをマイナス、-%3 km)にするかを選んでください。")
                           .arg(m_pick.endName(), m_pick.startName(), km),
                       {QStringLiteral("乗車した向きで記録(&R)"), QStringLiteral("廃止区間として記録(&H)")}, 0);
        if (answer < 0)
            return;
        m_pick.setAsLoss(answer == 1);
    }
    m_rideKilo = m_pick.rideKilo();
    if (!m_pick.asLoss()) {
        const netmap::Overlap o = netmap::overlapOf(m_ridden, m_pick.startKilo(), m_pick.endKilo());
        if (o.overlaps()) {
            const QString fresh = QString::number(o.fresh, 'f', 1), whole = QString::number(o.whole, 'f', 1);
            const QString text =
                o.nothingNew()
                    ? QStringLiteral("「%1」 (%2 km) はすべて既に乗車した区間です。新しく乗ったキロはありません。\n\n"
                                     "0 km の乗車として記録するか、区間全体のキロを記録するかを選んでください。")
                          .arg(m_pick.section(), whole)
                    : QStringLiteral("「%1」 (%2 km) のうち、まだ乗車していないのは %3 km です。\n\n"
                                     "新しく乗ったキロだけを記録するか、区間全体のキロを記録するか、0 km で記録する"
                                     "かを選んでください。")
                          .arg(m_pick.section(), whole, fresh);
            // Nothing new: 0 km (Enter) or the whole section; else the new part (Enter), the whole or nothing.
            const QString wholeChoice = QStringLiteral("区間全体の %1 km を記録(&W)").arg(whole);
            const QStringList captions = o.nothingNew()
                                             ? QStringList{QStringLiteral("0 km で記録(&Z)"), wholeChoice}
                                             : QStringList{QStringLiteral("新規の %1 km だけ記録(&N)").arg(fresh),
                                                           wholeChoice, QStringLiteral("0 km で記録(&Z)")};
            const int answer = ui::choose(this, title, text, captions, 0);
            if (answer < 0)
                return;
            using netmap::OverlapChoice;
            const OverlapChoice choices[] = {o.nothingNew() ? OverlapChoice::Nothing : OverlapChoice::NewOnly,
                                             OverlapChoice::Whole, OverlapChoice::Nothing};
            m_rideKilo = netmap::overlapKilo(o, choices[answer]);
        }
    }
    m_pick.setAccepted(true);
    accept();
}

void TEKI2::cancel() {
    m_pick.setAccepted(false);
    reject();
}

bool TEKI2::applyTypedDate() {
    const QString typed = m_editYMD->text().trimmed();
    // yyyy-mm-dd, also with "/" or "." and without leading zeros, in full-width digits too.
    static const QRegularExpression form(QStringLiteral(R"(^(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})$)"));
    const QRegularExpressionMatch m = form.match(typed.normalized(QString::NormalizationForm_KC));
    const QDate date =
        m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
    if (!date.isValid()) {
        ui::critical(this, windowTitle(),
                     QStringLiteral("乗車日 「%1」 は日付として正しくありません。yyyy-mm-dd の形で、ある日付を入力して"
                                    "ください(例: 2024-05-03)。")
                         .arg(typed));
        return false;
    }
    selectDate(date);
    return true;
}

bool TEKI2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editYMD && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter confirms the date typed; the ride is recorded by "代入(&S)".
            if (applyTypedDate())
                m_editYMD->selectAll();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
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
    // A section needs two stations apart: one station twice is no ride.
    const bool section = m_pick.complete() && m_pick.distance() > 0;
    m_btnS->setEnabled(section);
    QString info;
    if (m_pick.complete() && !section) {
        info = QStringLiteral("起点と終点が同じ駅です。");
    } else if (m_pick.complete()) {
        const netmap::Overlap o = netmap::overlapOf(m_ridden, m_pick.startKilo(), m_pick.endKilo());
        info = QStringLiteral("区間 %1 km、うち未乗 %2 km").arg(o.whole, 0, 'f', 1).arg(o.fresh, 0, 'f', 1);
        if (m_pick.reversed())
            info += QStringLiteral("(終点が起点より手前)");
    } else if (!m_riddenStations.isEmpty() && m_riddenStations.contains(true)) {
        info = QStringLiteral("色の付いた駅は既乗区間の駅です。");
    } else {
        info = QStringLiteral("起点と終点を選んでください。");
    }
    m_info->setText(info);
}

void TEKI2::showDate() {
    const QDate& d = m_calendar.date();
    m_calendarWidget->setSelectedDate(d);
    m_calendarWidget->setCurrentPage(d.year(), d.month());
    m_editYM->setText(m_calendar.monthCaption());
    m_editYMD->setText(m_calendar.dateText());
}

} // namespace tabi::routes
