#include "ui/dbctrlgrid.h"

#include "ui/command.h"
#include "ui/dbcontrols.h"

#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>

namespace tabi::ui {

// The live panel: marked in a tint of the highlight colour while it stands for the current record, plain when it
// is painted for another record.
class CtrlGridPanel : public QWidget {
public:
    explicit CtrlGridPanel(QWidget* parent) : QWidget(parent) {}
    bool marked = true;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor window = palette().color(QPalette::Window);
        if (!marked) {
            p.fillRect(rect(), window);
            return;
        }
        const QColor h = palette().color(QPalette::Highlight);
        const QColor tint((window.red() * 3 + h.red()) / 4, (window.green() * 3 + h.green()) / 4,
                          (window.blue() * 3 + h.blue()) / 4);
        p.fillRect(rect(), tint);
    }
};

DBCtrlGrid::DBCtrlGrid(QWidget* parent)
    : QAbstractScrollArea(parent), m_model(new CursorTableModel(nullptr, this)),
      m_panel(new CtrlGridPanel(viewport())) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_panel->resize(m_panelSize);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBCtrlGrid::follow);
    connect(m_model, &CursorTableModel::currentRowChanged, this, &DBCtrlGrid::follow);
    connect(m_model, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, &DBCtrlGrid::follow);
    follow();
}

DBCtrlGrid::~DBCtrlGrid() {
    if (TableCursor* cursor = tableCursor())
        unregisterBoundControl(cursor, this);
}

QWidget* DBCtrlGrid::panel() const {
    return m_panel;
}

void DBCtrlGrid::setTableCursor(TableCursor* cursor) {
    if (TableCursor* old = tableCursor())
        unregisterBoundControl(old, this);
    m_model->setTableCursor(cursor);
    if (cursor)
        registerBoundControl(cursor, this);
    follow();
}

void DBCtrlGrid::detachCursor() {
    m_model->setTableCursor(nullptr);
    follow();
}

void DBCtrlGrid::setPanelCount(int panels) {
    m_panels = std::max(1, panels);
    updateGeometry();
    follow();
}

void DBCtrlGrid::setPanelSize(const QSize& size) {
    m_panelSize = size;
    m_panel->resize(size);
    updateGeometry();
    follow();
}

QSize DBCtrlGrid::sizeHint() const {
    const int frame = 2 * frameWidth();
    return {m_panelSize.width() + verticalScrollBar()->sizeHint().width() + frame,
            m_panelSize.height() * m_panels + frame};
}

int DBCtrlGrid::rowOfPanel(int slot) const {
    const int row = m_top + slot;
    return slot >= 0 && slot < m_panels && row < m_model->rowCount() ? row : -1;
}

// Keeps the current record's panel in view and puts the live panel on it.
void DBCtrlGrid::follow() {
    const int rows = m_model->rowCount();
    const int current = m_model->currentRow();
    if (current >= 0) {
        if (current < m_top)
            m_top = current;
        else if (current >= m_top + m_panels)
            m_top = current - m_panels + 1;
    }
    m_top = std::clamp(m_top, 0, std::max(0, rows - m_panels));
    {
        QScopedValueRollback guard(m_following, true);
        verticalScrollBar()->setRange(0, std::max(0, rows - m_panels));
        verticalScrollBar()->setPageStep(m_panels);
        verticalScrollBar()->setValue(m_top);
    }
    const int slot = current >= 0 ? current - m_top : 0;
    m_panel->move(0, slot * m_panelSize.height());
    m_panel->show();
    viewport()->update();
}

void DBCtrlGrid::scrollContentsBy(int, int) {
    if (m_following)
        return;
    m_top = verticalScrollBar()->value();
    // Scrolling takes the current record along when it would leave the panels shown.
    const int current = m_model->currentRow();
    if (current >= 0 && (current < m_top || current >= m_top + m_panels)) {
        const int target = std::clamp(current, m_top, m_top + m_panels - 1);
        if (TableCursor* cursor = tableCursor())
            runCommand(this, [&] {
                updateRecord(*cursor);
                m_model->moveToRow(target);
            });
    }
    follow();
}

void DBCtrlGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    const int current = m_model->currentRow();
    const int liveSlot = current >= 0 ? current - m_top : 0;
    for (int slot = 0; slot < m_panels; ++slot) {
        const QRect area(QPoint(0, slot * m_panelSize.height()), m_panelSize);
        // Only the areas asked for: repainting the live panel's own controls must not paint the others again.
        if (slot == liveSlot || !event->region().intersects(area))
            continue;
        paintRecord(painter, rowOfPanel(slot), area.topLeft());
    }
}

// Paints the panel as it would look on another record: its bound controls get that record's texts for the
// time of the picture and their own texts back afterwards.
void DBCtrlGrid::paintRecord(QPainter& painter, int row, const QPoint& at) {
    struct Saved {
        QLineEdit* edit;
        QString text;
        int cursorPosition;
        bool modified;
    };
    QList<Saved> edits;
    QList<QPair<QLabel*, QString>> labels;
    const auto text = [&](FieldLink& link) { return row >= 0 ? m_model->fieldText(row, link.field()) : QString(); };
    for (DBEdit* e : m_panel->findChildren<DBEdit*>()) {
        // A masked field's text without its blanks would not put typed characters back where they were.
        edits << Saved{e, e->inputMask().isEmpty() ? e->text() : e->displayText(), e->cursorPosition(),
                       e->isModified()};
        const QSignalBlocker block(e);
        e->setText(text(e->link()));
        e->setPicture(true);
    }
    for (DBComboBox* c : m_panel->findChildren<DBComboBox*>()) {
        QLineEdit* e = c->lineEdit();
        edits << Saved{e, e->text(), e->cursorPosition(), e->isModified()};
        const QSignalBlocker block(e);
        e->setText(text(c->link()));
    }
    for (DBText* l : m_panel->findChildren<DBText*>()) {
        labels << qMakePair(static_cast<QLabel*>(l), l->text());
        l->setText(text(l->link()));
    }
    // Rendered into an image of its own first: rendering straight into the painter of a paint event places the
    // children by the painter's device offsets, which are wrong once the grid sits inside other widgets.
    m_panel->marked = false;
    QImage picture(m_panel->size() * devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(devicePixelRatio());
    picture.fill(palette().color(QPalette::Window));
    m_panel->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.drawImage(at, picture);
    m_panel->marked = true;
    for (DBEdit* e : m_panel->findChildren<DBEdit*>())
        e->setPicture(false);
    for (const Saved& s : std::as_const(edits)) {
        const QSignalBlocker block(s.edit);
        s.edit->setText(s.text);
        s.edit->setCursorPosition(s.cursorPosition);
        s.edit->setModified(s.modified);
    }
    for (const auto& [label, saved] : std::as_const(labels))
        label->setText(saved);
}

bool DBCtrlGrid::selectPanel(int slot) {
    const int row = rowOfPanel(slot);
    TableCursor* cursor = tableCursor();
    if (row < 0 || !cursor)
        return false;
    if (row == m_model->currentRow())
        return true;
    const bool ok = runCommand(this, [&] {
        updateRecord(*cursor);
        m_model->moveToRow(row);
    });
    follow();
    return ok;
}

void DBCtrlGrid::mousePressEvent(QMouseEvent* event) {
    if (!selectPanel(int(event->position().y()) / std::max(1, m_panelSize.height())))
        return;
    // The live panel now stands where the click was: the field clicked in its picture takes the focus.
    QWidget* child = m_panel->childAt(event->position().toPoint() - m_panel->pos());
    if (child && (child->focusPolicy() & Qt::ClickFocus) && child->isEnabled())
        child->setFocus(Qt::MouseFocusReason);
}

void DBCtrlGrid::keyPressEvent(QKeyEvent* event) {
    TableCursor* cursor = tableCursor();
    const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
    const bool down = event->key() == Qt::Key_Down || event->key() == Qt::Key_PageDown;
    if (!cursor || !cursor->isOpen() || (!up && !down) || (event->modifiers() & ~Qt::KeypadModifier)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int step = (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) ? m_panels : 1;
    runCommand(this, [&] {
        updateRecord(*cursor);
        cursor->moveBy(up ? -step : step);
    });
    event->accept();
}

void DBCtrlGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    follow();
}

} // namespace tabi::ui
