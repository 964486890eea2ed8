#include "ui/dbgrid.h"

#include "ui/command.h"
#include "ui/fieldwidth.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace tabi::ui {

// Cell editor (a line edit limited to the field's width in characters) and the grid's own row and column lines.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(DBGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        auto* width = new FieldWidthLimit(edit);
        if (TableCursor* cursor = m_grid->tableCursor()) {
            const int field = m_grid->cursorModel()->fieldOfColumn(index.column());
            if (field >= 0) {
                const FieldDef& def = cursor->fieldDef(field);
                width->setField(&def);
                if (isNumericField(def))
                    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
        }
        // The first typed character puts the record into edit state, as the indicator then shows.
        QObject::connect(edit, &QLineEdit::textEdited, m_grid, [grid = m_grid, width] {
            width->apply();
            grid->startEdit();
        });
        m_editor = edit;
        m_editorIndex = index;
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // A repaint of the row must not replace what the user is typing.
        if (auto* edit = qobject_cast<QLineEdit*>(editor); edit && edit->isModified())
            return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const bool cols = m_grid->testOption(DBGrid::ColLines);
        const bool rows = m_grid->testOption(DBGrid::RowLines);
        if (!cols && !rows)
            return;
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Mid), 0));
        const QRect r = option.rect;
        if (cols)
            painter->drawLine(r.topRight(), r.bottomRight());
        if (rows)
            painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

    QLineEdit* editor() const { return m_editor.data(); }
    QModelIndex editorIndex() const { return m_editorIndex; }

private:
    DBGrid* m_grid;
    mutable QPointer<QLineEdit> m_editor;
    mutable QPersistentModelIndex m_editorIndex;
};

namespace {

// The row indicator column: a triangle on the current record, an I-beam while it is edited, an asterisk on a
// new record. Drawn rather than written so that it needs no particular font and fits a narrow column.
class IndicatorHeader : public QHeaderView {
public:
    explicit IndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        opt.text.clear();
        style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
        const QString mark = model() ? model()->headerData(logicalIndex, Qt::Vertical).toString() : QString();
        if (mark.isEmpty())
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QColor ink = palette().color(QPalette::ButtonText);
        const QPointF c = QRectF(rect).center();
        const qreal h = std::min<qreal>(rect.height() - 6, 10);
        if (mark == QLatin1String("I")) {
            painter->setPen(QPen(ink, 1.2));
            painter->drawLine(QPointF(c.x(), c.y() - h / 2), QPointF(c.x(), c.y() + h / 2));
            painter->drawLine(QPointF(c.x() - 2, c.y() - h / 2), QPointF(c.x() + 2, c.y() - h / 2));
            painter->drawLine(QPointF(c.x() - 2, c.y() + h / 2), QPointF(c.x() + 2, c.y() + h / 2));
        } else if (mark == QLatin1String("*")) {
            painter->setPen(QPen(ink, 1.2));
            for (int i = 0; i < 3; ++i) {
                painter->save();
                painter->translate(c);
                painter->rotate(60.0 * i);
                painter->drawLine(QPointF(0, -h / 2), QPointF(0, h / 2));
                painter->restore();
            }
        } else {
            painter->setPen(Qt::NoPen);
            painter->setBrush(ink);
            const QPointF tri[3] = {{c.x() - h / 4 - 0.5, c.y() - h / 2},
                                    {c.x() + h / 4 + 1.5, c.y()},
                                    {c.x() - h / 4 - 0.5, c.y() + h / 2}};
            painter->drawPolygon(tri, 3);
        }
        painter->restore();
    }
    QSize sectionSizeFromContents(int logicalIndex) const override {
        return {12, QHeaderView::sectionSizeFromContents(logicalIndex).height()};
    }
};

} // namespace

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent), m_model(new CursorTableModel(nullptr, this)), m_delegate(new GridDelegate(this)) {
    setVerticalHeader(new IndicatorHeader(this));
    setModel(m_model);
    setItemDelegate(m_delegate);
    m_model->setErrorOwner(this);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(14);
    connect(m_model, &CursorTableModel::currentRowChanged, this, &DBGrid::showCursorRow);
    // The rows are read again after every post, delete or refresh; the header forgets its widths then, so the
    // grid keeps them (including any a screen set itself) while the columns stay the same.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_widths.clear();
        for (int c = 0; c < horizontalHeader()->count(); ++c)
            m_widths << columnWidth(c);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_widths.size() != m_model->columnCount()) {
            resetColumnWidths();
            return;
        }
        for (int c = 0; c < m_widths.size(); ++c)
            setColumnWidth(c, m_widths[c]);
        fillLastColumn();
    });
    applyOptions();
}

DBGrid::~DBGrid() {
    if (TableCursor* cursor = tableCursor())
        unregisterBoundControl(cursor, this);
}

void DBGrid::setTableCursor(TableCursor* cursor) {
    if (TableCursor* old = tableCursor())
        unregisterBoundControl(old, this);
    m_model->setTableCursor(cursor);
    if (cursor)
        registerBoundControl(cursor, this);
    resetColumnWidths();
    followCursor();
}

void DBGrid::detachCursor() {
    m_model->setTableCursor(nullptr);
}

void DBGrid::setOptions(Options options) {
    m_options = options;
    applyOptions();
}

void DBGrid::setOption(Option option, bool on) {
    m_options.setFlag(option, on);
    applyOptions();
}

void DBGrid::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    m_options.setFlag(Editing, !readOnly);
    m_options.setFlag(Tabs, !readOnly);
    setButtonFaceLook(this, readOnly);
    setFocusPolicy(Qt::StrongFocus);
    applyOptions();
}

void DBGrid::applyOptions() {
    horizontalHeader()->setVisible(testOption(Titles));
    verticalHeader()->setVisible(testOption(Indicator));
    setTabKeyNavigation(testOption(Tabs));
    const bool editing = testOption(Editing);
    m_model->setEditable(editing);
    setEditTriggers(editing ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                            : QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(testOption(RowSelect) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    viewport()->update();
}

// A width in characters counts the digit "0", as the layouts' widths mean it. The average character width
// of a Japanese face is that of a full-width character, which would make every column twice as wide.
int DBGrid::charWidth() const {
    return fontMetrics().horizontalAdvance(QLatin1Char('0'));
}

void DBGrid::resetColumnWidths() {
    TableCursor* cursor = tableCursor();
    if (!cursor)
        return;
    const QFontMetrics titleMetrics(horizontalHeader()->font());
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const FieldDef& def = cursor->fieldDef(m_model->fieldOfColumn(column));
        int width = fieldWidthChars(def) * charWidth() + 6;
        if (testOption(Titles))
            width = std::max(width, titleMetrics.horizontalAdvance(def.displayLabel()) + 10);
        if (const auto sample = m_fitSamples.constFind(def.name); sample != m_fitSamples.cend())
            width = std::max(width, fontMetrics().horizontalAdvance(*sample) + 10);
        setColumnWidth(column, width);
    }
    fillLastColumn();
}

void DBGrid::fitColumnTo(const QString& fieldName, const QString& sample) {
    m_fitSamples.insert(fieldName, sample);
    resetColumnWidths();
}

// A cell whose text is cut by its column shows the whole text as its tooltip.
bool DBGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
        if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) + 8 > columnWidth(index.column()))
            QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QTableView::viewportEvent(event);
}

// Scrolled to its end, a table view would put the last row against the bottom edge and show a cut row under
// the titles; the grid keeps the top row whole instead (the last row is then whole too, with room below it).
void DBGrid::alignTopRow() {
    QScrollBar* bar = verticalScrollBar();
    if (verticalScrollMode() != ScrollPerItem || bar->maximum() <= 0 || bar->value() != bar->maximum())
        return;
    const int aligned = verticalHeader()->sectionPosition(verticalHeader()->logicalIndex(bar->value()));
    if (verticalHeader()->offset() != aligned) {
        verticalHeader()->setOffset(aligned);
        viewport()->update();
    }
}

void DBGrid::setLastColumnFills(bool fills) {
    m_lastColumnFills = fills;
    setHorizontalScrollBarPolicy(fills ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    fillLastColumn();
}

void DBGrid::fillLastColumn() {
    const int last = m_model->columnCount() - 1;
    if (!m_lastColumnFills || last < 0)
        return;
    int others = 0;
    for (int c = 0; c < last; ++c)
        others += columnWidth(c);
    const int width = std::max(horizontalHeader()->minimumSectionSize(), viewport()->width() - others);
    if (columnWidth(last) != width)
        setColumnWidth(last, width);
    horizontalScrollBar()->setValue(0);
}

void DBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    alignTopRow();
}

void DBGrid::updateGeometries() {
    QTableView::updateGeometries();
    fillLastColumn();
    alignTopRow();
}

void DBGrid::followCursor() {
    showCursorRow(m_model->currentRow());
}

void DBGrid::showCursorRow(int row) {
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0)
        return;
    QScopedValueRollback guard(m_following, true);
    const QModelIndex index = m_model->index(row, std::min(m_column, m_model->columnCount() - 1));
    if (currentIndex() != index)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid())
        m_column = current.column();
    if (m_following || !current.isValid() || current.row() == m_model->currentRow())
        return;
    runCommand(this, [&] { m_model->moveToRow(current.row()); });
    // After a refused move (a post the engine rejected) the grid goes back to the cursor's record.
    if (currentIndex().row() != m_model->currentRow())
        followCursor();
}

void DBGrid::startEdit() {
    TableCursor* cursor = tableCursor();
    if (cursor && cursor->state() == CursorState::Browse)
        runCommand(this, [cursor] { cursor->edit(); });
}

void DBGrid::flushPending() {
    QLineEdit* edit = m_delegate->editor();
    if (!edit || !edit->isModified() || !m_delegate->editorIndex().isValid())
        return;
    m_model->writeCell(m_delegate->editorIndex(), edit->text());
    edit->setModified(false);
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    TableCursor* cursor = tableCursor();
    if (!cursor || !cursor->isOpen()) {
        QTableView::keyPressEvent(event);
        return;
    }
    const bool editing = testOption(Editing);
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
        if (editing && !cursor->isEmpty())
            runCommand(this, [&] {
                if (!testOption(ConfirmDelete) || confirmDelete(this))
                    cursor->remove();
            });
        event->accept();
        return;
    }
    // Typing into an empty grid starts its first record, as Down past the last row starts a new one.
    if (editing && m_model->rowCount() == 0 && !(mods & (Qt::ControlModifier | Qt::AltModifier)) &&
        !event->text().isEmpty() && event->text().front().isPrint()) {
        const bool started = runCommand(this, [&] {
            updateRecord(*cursor);
            if (cursor->state() != CursorState::Insert)
                cursor->insert();
        });
        followCursor();
        if (started && currentIndex().isValid() && edit(currentIndex(), AnyKeyPressed, event)) {
            event->accept();
            return;
        }
    }
    if (mods == Qt::NoModifier && editing) {
        switch (event->key()) {
        case Qt::Key_Insert:
            runCommand(this, [&] {
                updateRecord(*cursor);
                cursor->insert();
            });
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter opens the cell editor (inside it, Enter writes the cell and closes it).
            if (currentIndex().isValid() && state() != QAbstractItemView::EditingState) {
                edit(currentIndex());
                event->accept();
                return;
            }
            break;
        case Qt::Key_Escape:
            if (cursor->state() == CursorState::Edit || cursor->state() == CursorState::Insert) {
                runCommand(this, [&] { cursor->cancel(); });
                event->accept();
                return;
            }
            break;
        case Qt::Key_Down:
            // Down past the last row appends a new record; on an unchanged new row at the end it stays.
            if (currentIndex().row() == m_model->rowCount() - 1) {
                runCommand(this, [&] {
                    updateRecord(*cursor);
                    if (cursor->state() == CursorState::Insert && !cursor->isModified())
                        return;
                    cursor->next();
                    if (cursor->eof()) {
                        // append() tells its observers before it knows the record goes at the end; held back,
                        // they hear of it once it does.
                        SuspendControls held(*cursor);
                        cursor->append();
                    }
                });
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    TableCursor* cursor = tableCursor();
    if (!testOption(CancelOnExit) || !cursor || cursor->state() != CursorState::Insert || cursor->isModified())
        return;
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    // Focus going to the grid's own cell editor is not leaving the grid.
    if (QWidget* now = QApplication::focusWidget(); now && isAncestorOf(now))
        return;
    runCommand(this, [cursor] { cursor->cancel(); });
}

void DBGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
        resetColumnWidths();
    }
}

} // namespace tabi::ui
