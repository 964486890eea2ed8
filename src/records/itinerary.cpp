#include "records/itinerary.h"

#include "data/rules.h"
#include "routes/journeyscreen.h"
#include "ui/command.h"
#include "ui/dbcontrols.h"
#include "ui/dbctrlgrid.h"
#include "ui/dbnavigator.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace tabi::records {

namespace {

constexpr int kClientWidth = 1082;
constexpr int kStripHeight = 39;
constexpr int kHeaderHeight = 55;
constexpr int kFieldHeight = 28;
const QSize kPanelSize(932, 94);
const QString kTimeMask = QStringLiteral("!90:00;1;_");

QLabel* caption(const QString& text, QWidget* parent, const QRect& at, Qt::Alignment align = Qt::AlignLeft) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(at);
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
}

QFrame* loweredBevel(QWidget* parent, const QRect& at) {
    auto* f = new QFrame(parent);
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    f->setGeometry(at);
    return f;
}

ui::DBNavigator* navigator(QWidget* parent, const char* name, TableCursor& cursor, int y) {
    auto* n = new ui::DBNavigator(parent);
    n->setObjectName(QString::fromLatin1(name));
    n->setTableCursor(&cursor);
    n->move(8, y + (kStripHeight - ui::DBNavigator::kDefaultHeight) / 2);
    n->resize(n->sizeHint());
    return n;
}

} // namespace

TRFORM::TRFORM(QWidget* parent)
    : Screen(parent), m_per(Database::open(DbKind::Personal)),
      m_itineraries(m_per, QStringLiteral("RYOTEIM"), QStringLiteral("RYOTEI_CD")),
      m_legs(m_per, QStringLiteral("RYOTEID"), QStringLiteral("RYOTEI_CD")) {
    setObjectName(QStringLiteral("RFORM"));
    setWindowTitle(QStringLiteral("旅程管理(簡易)"));
    setFont(ui::uiFont(16));
    // Legs of one itinerary share its code: among equal codes the table gives them in the order they were entered.
    m_legs.setMasterSource(&m_itineraries, QStringLiteral("RYOTEI_CD"));
    m_itineraries.open();
    m_legs.open();

    m_navigator = navigator(this, "DBNavigator", m_itineraries, 0);
    m_navigator->setKeyScope(this);
    m_navigator->setConfirmDelete(false); // asked by the handler, with the number of legs
    m_navigator->setDeleteHandler([this](TableCursor&) {
        if (m_itineraries.state() == CursorState::Insert ||
            ui::question(this, ui::applicationTitle(), deleteQuestion()))
            deleteItinerary();
    });
    buildHeader();
    // After the header's fields, so that their typed text is in the record before the guard posts it.
    m_guard.screen = this;
    ui::registerBoundControl(&m_itineraries, &m_guard);
    m_legNavigator = navigator(this, "DBNavigator1", m_legs, kStripHeight + kHeaderHeight);

    const int legsTop = 2 * kStripHeight + kHeaderHeight;
    QFrame* legs = loweredBevel(this, QRect(8, legsTop, 961, 391));
    m_grid = new ui::DBCtrlGrid(legs);
    m_grid->setObjectName(QStringLiteral("DBCtrlGrid1"));
    m_grid->setPanelCount(4);
    m_grid->setPanelSize(kPanelSize);
    m_grid->setTableCursor(&m_legs);
    m_legNavigator->setKeyScope(legs);
    m_grid->setGeometry(QRect(QPoint(4, (legs->height() - m_grid->sizeHint().height()) / 2), m_grid->sizeHint()));
    buildLegPanel();

    auto* exit = new QPushButton(QStringLiteral("終了(&E)"), this);
    exit->setObjectName(QStringLiteral("BitBtnE"));
    exit->setGeometry(980, legsTop + 391 - 33 - 10, 89, 33);
    connect(exit, &QPushButton::clicked, this, &Screen::closeScreen);
    auto* rides = new QPushButton(QStringLiteral("乗車記録(&J)"), this);
    rides->setObjectName(QStringLiteral("BitBtnJ"));
    rides->setToolTip(QStringLiteral("この旅程の発駅・着駅から経路を求め，乗車実績として登録する"));
    rides->setGeometry(980, legsTop + 391 - 33 - 10 - 33 - 8, 89, 33);
    ui::connectCommand(rides, this, [this] { recordRides(); });

    m_watcher.screen = this;
    m_itineraries.addObserver(&m_watcher);
    m_watcher.cursorEvent(CursorEvent::RecordChanged, -1);
}

TRFORM::~TRFORM() {
    m_itineraries.removeObserver(&m_watcher);
    ui::unregisterBoundControl(&m_itineraries, &m_guard);
    ui::detachControls(m_legs);
    ui::detachControls(m_itineraries);
}

void TRFORM::buildHeader() {
    QFrame* header = loweredBevel(this, QRect(0, kStripHeight, kClientWidth, kHeaderHeight));
    const int y = (kHeaderHeight - kFieldHeight) / 2;
    auto field = [&](ui::DBEdit* e, const char* name, const QString& f, int x, int width) {
        e->setParent(header);
        e->setObjectName(QString::fromLatin1(name));
        e->bind(&m_itineraries, f);
        e->setGeometry(x, y, width, kFieldHeight);
        return e;
    };
    caption(QStringLiteral("旅程コード:"), header, QRect(10, y, 92, kFieldHeight), Qt::AlignRight);
    ui::DBEdit* code = field(new ui::DBEdit, "DBEditCode", QStringLiteral("RYOTEI_CD"), 104, 97);
    caption(QStringLiteral("年月日:"), header, QRect(212, y, 64, kFieldHeight), Qt::AlignRight);
    ui::DBEdit* date = field(new ui::DBDateEdit, "DBEditDate", QStringLiteral("RYOTEI_DATE"), 278, 105);
    caption(QStringLiteral("旅程名称:"), header, QRect(394, y, 80, kFieldHeight), Qt::AlignRight);
    ui::DBEdit* name = field(new ui::DBEdit, "DBEditName", QStringLiteral("RYOTEI_NAME"), 476, 373);
    setTabOrder(code, date);
    setTabOrder(date, name);
}

void TRFORM::buildLegPanel() {
    QWidget* panel = m_grid->panel();
    auto field = [&](const char* name, const QString& f, int x, int y, int width) {
        auto* e = new ui::DBEdit(panel);
        e->setObjectName(QString::fromLatin1(name));
        e->bind(&m_legs, f);
        e->setGeometry(x, y, width, kFieldHeight);
        return e;
    };
    constexpr int top = 4, middle = 32, bottom = 60;
    ui::DBEdit* departs = field("DBEdit3", QStringLiteral("HATSU_TIME"), 2, top, 63);
    caption(QStringLiteral("発"), panel, QRect(66, top, 18, kFieldHeight));
    ui::DBEdit* from = field("DBEdit5", QStringLiteral("HATSU_EKI"), 84, top, 245);
    caption(QStringLiteral("運賃"), panel, QRect(334, top, 34, kFieldHeight));
    ui::DBEdit* fare = field("DBEdit9", QStringLiteral("UNCHIN"), 368, top, 73);
    caption(QStringLiteral("料金"), panel, QRect(446, top, 34, kFieldHeight));
    ui::DBEdit* charge = field("DBEdit10", QStringLiteral("RYOKIN"), 480, top, 73);

    caption(QStringLiteral("↓"), panel, QRect(24, middle, 20, kFieldHeight));
    ui::DBEdit* route = field("DBEdit7", QStringLiteral("R_CD"), 84, middle, 74);
    ui::DBEdit* train = field("DBEdit8", QStringLiteral("R_NAME"), 158, middle, 171);

    ui::DBEdit* arrives = field("DBEdit4", QStringLiteral("CHAKU_TIME"), 2, bottom, 63);
    caption(QStringLiteral("着"), panel, QRect(66, bottom, 18, kFieldHeight));
    ui::DBEdit* to = field("DBEdit6", QStringLiteral("CHAKU_EKI"), 84, bottom, 245);
    ui::DBEdit* remark = field("DBEdit11", QStringLiteral("BIKO"), 368, bottom, 385);

    for (ui::DBEdit* time : {departs, arrives})
        time->setEditMask(kTimeMask);
    for (ui::DBEdit* yen : {fare, charge})
        yen->setAlignment(Qt::AlignRight);

    // Times first, then stations, the route, the money and the remark.
    const QList<QWidget*> order{departs, arrives, from, to, route, train, fare, charge, remark};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TRFORM::HeaderWatcher::cursorEvent(CursorEvent event, int) {
    if (event == CursorEvent::FieldChanged)
        return;
    TableCursor& c = screen->m_itineraries;
    // Kept while the record is being changed: an edit starts from the stored record.
    if (c.state() == CursorState::Browse || (event == CursorEvent::StateChanged && c.state() == CursorState::Edit)) {
        try {
            screen->m_storedCode = c.isEmpty() ? QString() : c.asString(QStringLiteral("RYOTEI_CD"));
        } catch (const Error&) {
            screen->m_storedCode.clear();
        }
    } else if (c.state() != CursorState::Edit) {
        screen->m_storedCode.clear();
    }
    screen->enableLegs();
}

void TRFORM::enableLegs() {
    bool stored = false;
    try {
        stored = m_itineraries.isOpen() && m_itineraries.state() != CursorState::Insert && !m_itineraries.isEmpty();
    } catch (const Error&) {
    }
    // Focus in a field about to be disabled would move on to whatever comes next; it goes to the header instead.
    if (!stored && m_grid->isEnabled() && m_grid->isAncestorOf(QApplication::focusWidget()))
        edit(QStringLiteral("DBEditCode"))->setFocus(Qt::OtherFocusReason);
    m_legNavigator->setEnabled(stored);
    m_grid->setEnabled(stored);
}

QString TRFORM::deleteQuestion() {
    int legs = 0;
    if (!m_storedCode.isEmpty()) {
        StatementScope count(m_per->cached(QStringLiteral("SELECT count(*) FROM RYOTEID WHERE RYOTEI_CD = ?")));
        count->bind(1, m_storedCode);
        if (count->step())
            legs = count->columnInt(0);
    }
    const QString second = legs > 0 ? QStringLiteral("この旅程の行程 %1 件も一緒に削除されます。").arg(legs)
                                    : QStringLiteral("この旅程に行程はありません。");
    return QStringLiteral("レコードを削除しますか?\n") + second;
}

void TRFORM::CodeGuard::flushPending() {
    if (screen)
        screen->postWithLegs();
}

void TRFORM::postWithLegs() {
    if (m_itineraries.state() != CursorState::Edit || m_storedCode.isEmpty())
        return;
    const QString code = m_itineraries.asString(QStringLiteral("RYOTEI_CD"));
    if (code == m_storedCode)
        return;
    // A leg being typed is written first, under the code it was entered with.
    ui::updateRecord(m_legs);
    if (m_legs.state() != CursorState::Browse && m_legs.state() != CursorState::Inactive) {
        if (m_legs.isModified())
            m_legs.post();
        else
            m_legs.cancel();
    }
    const QString old = m_storedCode;
    try {
        Transaction transaction(*m_per);
        {
            StatementScope move(m_per->cached(QStringLiteral("UPDATE RYOTEID SET RYOTEI_CD = ? WHERE RYOTEI_CD = ?")));
            move->bind(1, code);
            move->bind(2, old);
            move->step();
        }
        m_per->noteWrite();
        m_itineraries.post();
        transaction.commit();
    } catch (...) {
        // Rolled back: the legs are under their old code again, the header stays in edit.
        m_per->noteWrite();
        try {
            m_legs.refresh();
        } catch (const Error&) {
        }
        throw;
    }
    m_legs.refresh();
}

ui::DBEdit* TRFORM::edit(const QString& objectName) const {
    return findChild<ui::DBEdit*>(objectName);
}

void TRFORM::deleteItinerary() {
    if (!m_itineraries.isOpen())
        return;
    // A new itinerary not yet stored has no legs: deleting it drops it.
    if (m_itineraries.state() == CursorState::Insert) {
        m_legs.cancel();
        m_itineraries.cancel();
        return;
    }
    // The legs go with the stored code, not with a code being typed into the header.
    m_legs.cancel();
    m_itineraries.cancel();
    if (m_itineraries.isEmpty())
        return;
    const QVariant code = m_itineraries.value(QStringLiteral("RYOTEI_CD"));
    try {
        Transaction transaction(*m_per);
        {
            StatementScope legs(m_per->cached(QStringLiteral("DELETE FROM RYOTEID WHERE RYOTEI_CD = ?")));
            legs->bind(1, code);
            legs->step();
        }
        m_per->noteWrite();
        m_itineraries.remove();
        transaction.commit();
    } catch (...) {
        // Rolled back: show what is stored.
        m_per->noteWrite();
        try {
            m_itineraries.refresh();
        } catch (const Error&) {
        }
        throw;
    }
}

QWidget* TRFORM::recordRides() {
    const QString title = QStringLiteral("旅程管理(簡易)");
    if (m_storedCode.isEmpty()) {
        ui::information(this, title, QStringLiteral("登録済みの旅程がありません。"));
        return nullptr;
    }
    // The stations in the order travelled: each leg's departure, then its arrival; a leg that leaves from
    // where the one before it arrived adds only its arrival.
    QStringList stations;
    {
        Statement s(*m_per, QStringLiteral("SELECT HATSU_EKI, CHAKU_EKI FROM RYOTEID WHERE RYOTEI_CD = ? "
                                           "ORDER BY rowid"));
        StatementScope scope(s);
        s.bindText(1, m_storedCode);
        while (s.step()) {
            const QString from = s.columnText(0).trimmed(), to = s.columnText(1).trimmed();
            if (from.isEmpty() || to.isEmpty())
                continue;
            if (stations.isEmpty() || stations.last() != from)
                stations.append(from);
            stations.append(to);
        }
    }
    if (stations.size() < 2) {
        ui::information(this, title, QStringLiteral("この旅程には発駅と着駅のそろった区間がありません。"));
        return nullptr;
    }
    QDate day;
    {
        Statement s(*m_per, QStringLiteral("SELECT RYOTEI_DATE FROM RYOTEIM WHERE RYOTEI_CD = ?"));
        StatementScope scope(s);
        s.bindText(1, m_storedCode);
        if (s.step())
            day = rules::parseDate(s.columnText(0));
    }
    routes::TJourney* screen = routes::openJourneyScreen(this);
    if (screen)
        screen->setJourney(stations, day);
    return screen;
}

} // namespace tabi::records
