#include "ui/dbnavigator.h"

#include "ui/command.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>

namespace tabi::ui {

namespace {

// The buttons' glyphs, drawn here so that they look the same whatever icon theme the desktop has.
QIcon glyph(DBNavigator::Button button) {
    constexpr int size = 16;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor navy(0x00, 0x00, 0x80);
    p.setPen(Qt::NoPen);
    p.setBrush(navy);
    const auto triangle = [&p](QPointF a, QPointF b, QPointF c) {
        const QPointF pts[3] = {a, b, c};
        p.drawPolygon(pts, 3);
    };
    switch (button) {
    case DBNavigator::First:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle({12, 3}, {12, 13}, {6, 8});
        break;
    case DBNavigator::Prior:
        triangle({11, 3}, {11, 13}, {5, 8});
        break;
    case DBNavigator::Next:
        triangle({5, 3}, {5, 13}, {11, 8});
        break;
    case DBNavigator::Last:
        triangle({4, 3}, {4, 13}, {10, 8});
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case DBNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Edit:
        triangle({3, 11}, {13, 11}, {8, 5});
        break;
    case DBNavigator::Post: {
        p.setPen(QPen(QColor(0x00, 0x60, 0x00), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        const QPointF pts[3] = {{3, 8.5}, {6.5, 12}, {13, 4}};
        p.drawPolyline(pts, 3);
        break;
    }
    case DBNavigator::Cancel:
        p.setPen(QPen(QColor(0x80, 0x00, 0x00), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case DBNavigator::Refresh: {
        p.setPen(QPen(navy, 1.8, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(navy);
        triangle({8, 0.5}, {8, 5.5}, {11.5, 3});
        break;
    }
    }
    return QIcon(pixmap);
}

} // namespace

QString DBNavigator::hint(Button button) {
    static const char16_t* const own[kButtonCount] = {u"最初の行",       u"前の行",    u"次の行",   u"最後の行",
                                                      u"行の挿入",       u"行の削除",  u"行の編集", u"行の登録",
                                                      u"編集の取り消し", u"データ更新"};
    return QString::fromUtf16(own[button]);
}

QString DBNavigator::keyText(Button button) {
    // Edit has no key of its own (typing starts an edit), refresh none either.
    static const char* const keys[kButtonCount] = {"Ctrl+Home", "Ctrl+PgUp", "Ctrl+PgDn",  "Ctrl+End", "Ctrl+Ins",
                                                   "Ctrl+Del",  "",          "Ctrl+Enter", "Esc",      ""};
    return QString::fromLatin1(keys[button]);
}

// ---------------------------------------------------------------------------------------------------------------
// keys

namespace {

QHash<const QWidget*, DBNavigator*>& scopes() {
    static QHash<const QWidget*, DBNavigator*> map;
    return map;
}

// The Ctrl keys are taken before the focused control sees them: a line edit would use Ctrl+Home, Ctrl+End and
// Ctrl+Del for its own text. Esc is not taken here: it reaches the navigator only when no control used it.
class NavigatorKeyFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & Qt::ControlModifier) || QApplication::activePopupWidget())
            return false;
        QWidget* focus = QApplication::focusWidget();
        if (!focus || watched != focus)
            return false;
        DBNavigator* navigator = DBNavigator::forWidget(focus);
        if (!navigator || key->key() == Qt::Key_Escape)
            return false;
        return navigator->handleKey(key->key(), key->modifiers());
    }
};

void installKeyFilter() {
    static NavigatorKeyFilter* filter = nullptr;
    if (!filter && qApp) {
        filter = new NavigatorKeyFilter;
        filter->setParent(qApp);
        qApp->installEventFilter(filter);
    }
}

} // namespace

DBNavigator* DBNavigator::forWidget(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (DBNavigator* n = scopes().value(w))
            return n;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

void DBNavigator::setKeyScope(QWidget* scope) {
    if (m_scope) {
        m_scope->removeEventFilter(this);
        if (scopes().value(m_scope) == this)
            scopes().remove(m_scope);
    }
    m_scope = scope;
    if (!scope)
        return;
    installKeyFilter();
    scopes().insert(scope, this);
    scope->installEventFilter(this);
    connect(scope, &QObject::destroyed, this, [this, scope] {
        if (scopes().value(scope) == this)
            scopes().remove(scope);
        if (m_scope == scope)
            m_scope = nullptr;
    });
}

bool DBNavigator::handleKey(int key, Qt::KeyboardModifiers modifiers) {
    modifiers &= ~Qt::KeypadModifier;
    int button = -1;
    if (modifiers == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Home:
            button = First;
            break;
        case Qt::Key_PageUp:
            button = Prior;
            break;
        case Qt::Key_PageDown:
            button = Next;
            break;
        case Qt::Key_End:
            button = Last;
            break;
        case Qt::Key_Insert:
            button = Insert;
            break;
        case Qt::Key_Delete:
            button = Delete;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            button = Post;
            break;
        default:
            break;
        }
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        button = Cancel;
    }
    if (button < 0 || !(m_visible & (1 << button)) || !isVisible() || !isEnabled() || !m_cursor)
        return false;
    // Esc with nothing to cancel is left to whoever wants it next (a dialog closes).
    if (button == Cancel && !m_buttons[Cancel]->isEnabled())
        return false;
    if (m_buttons[button]->isEnabled())
        click(Button(button));
    return true;
}

bool DBNavigator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scope && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && forWidget(QApplication::focusWidget()) == this &&
            handleKey(key->key(), key->modifiers())) {
            key->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kButtonCount; ++i) {
        auto* b = new QToolButton(this);
        const Button which = Button(i);
        b->setIcon(glyph(which));
        b->setIconSize(QSize(16, 16));
        b->setAutoRaise(false);
        // Pressing a button leaves the focus (and a half-typed field) where it was.
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, which] { click(which); });
        m_buttons[i] = b;
    }
    for (int i = 0; i < kButtonCount; ++i) {
        const QString key = keyText(Button(i));
        const QString tip = key.isEmpty() ? hint(Button(i)) : QStringLiteral("%1 (%2)").arg(hint(Button(i)), key);
        m_buttons[i]->setToolTip(tip);
        m_buttons[i]->setStatusTip(tip);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(kButtonCount * kButtonWidth, kDefaultHeight);
    setVisibleButtons(AllButtons);
    updateButtons();
}

DBNavigator::~DBNavigator() {
    setKeyScope(nullptr);
    setTableCursor(nullptr);
}

void DBNavigator::setTableCursor(TableCursor* cursor) {
    if (m_cursor) {
        m_cursor->removeObserver(this);
        unregisterBoundControl(m_cursor, this);
    }
    m_cursor = cursor;
    if (m_cursor) {
        m_cursor->addObserver(this);
        registerBoundControl(m_cursor, this);
    }
    updateButtons();
}

void DBNavigator::detachCursor() {
    if (m_cursor)
        m_cursor->removeObserver(this);
    m_cursor = nullptr;
    updateButtons();
}

void DBNavigator::setVisibleButtons(int buttons) {
    m_visible = buttons & AllButtons;
    setFixedWidth(kButtonWidth * qPopulationCount(quint32(m_visible)));
    layoutButtons();
}

void DBNavigator::layoutButtons() {
    int x = 0;
    for (int i = 0; i < kButtonCount; ++i) {
        const bool shown = m_visible & (1 << i);
        m_buttons[i]->setVisible(shown);
        if (shown) {
            m_buttons[i]->setGeometry(x, 0, kButtonWidth, height());
            x += kButtonWidth;
        }
    }
}

QSize DBNavigator::sizeHint() const {
    return {kButtonWidth * int(qPopulationCount(quint32(m_visible))), kDefaultHeight};
}

void DBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutButtons();
}

void DBNavigator::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateButtons();
}

void DBNavigator::cursorEvent(CursorEvent, int) {
    updateButtons();
}

// The usual rules of such a navigator: moving back needs the begin-of-data flag clear, moving on the end-of-data
// flag clear; delete needs a stored record; post and cancel need an edit, edit needs none; insert and refresh need an
// open cursor.
void DBNavigator::updateButtons() {
    bool active = m_cursor && m_cursor->isOpen();
    bool bof = true, eof = true, editing = false, records = false;
    if (active) {
        try {
            editing = m_cursor->state() == CursorState::Edit || m_cursor->state() == CursorState::Insert;
            const int count = m_cursor->recordCount();
            records = count > 0;
            bof = m_cursor->bof();
            eof = m_cursor->eof();
            if (!editing && records) {
                // On the first record there is nothing before it, whatever the last move was (a one-record set).
                const int row = m_cursor->recNo();
                bof = bof || row <= 0;
                eof = eof || row >= count - 1;
            }
        } catch (const std::exception&) {
            active = false;
        }
    }
    const bool up = active && !bof;
    const bool down = active && !eof;
    m_buttons[First]->setEnabled(up);
    m_buttons[Prior]->setEnabled(up);
    m_buttons[Next]->setEnabled(down);
    m_buttons[Last]->setEnabled(down);
    m_buttons[Delete]->setEnabled(active && records);
    m_buttons[Insert]->setEnabled(active);
    m_buttons[Edit]->setEnabled(active && !editing);
    m_buttons[Post]->setEnabled(active && editing);
    m_buttons[Cancel]->setEnabled(active && editing);
    m_buttons[Refresh]->setEnabled(active);
}

void DBNavigator::act(Button button) {
    TableCursor& c = *m_cursor;
    switch (button) {
    case First:
        updateRecord(c);
        c.first();
        break;
    case Prior:
        updateRecord(c);
        c.prior();
        break;
    case Next:
        updateRecord(c);
        c.next();
        break;
    case Last:
        updateRecord(c);
        c.last();
        break;
    case Insert:
        updateRecord(c);
        c.insert();
        break;
    case Delete:
        if (!m_confirmDelete || confirmDelete(this)) {
            if (m_deleteHandler)
                m_deleteHandler(c);
            else
                c.remove();
        }
        break;
    case Edit:
        c.edit();
        break;
    case Post:
        updateRecord(c);
        c.post();
        break;
    case Cancel:
        c.cancel();
        break;
    case Refresh:
        updateRecord(c);
        c.refresh();
        break;
    }
}

bool DBNavigator::click(Button button) {
    if (!m_cursor)
        return false;
    const bool ok = runCommand(this, [&] { act(button); });
    updateButtons();
    Q_EMIT clicked(button);
    return ok;
}

} // namespace tabi::ui
