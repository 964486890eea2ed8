#include "ui/dbcontrols.h"

#include "data/fieldtext.h"
#include "ui/command.h"
#include "ui/fieldwidth.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QStandardItemModel>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QTimer>

namespace tabi::ui {

// ---------------------------------------------------------------------------------------------------------------
// FieldLink

FieldLink::FieldLink(QWidget* owner, std::function<void()> refresh, std::function<QString()> pendingText)
    : m_owner(owner), m_refresh(std::move(refresh)), m_pendingText(std::move(pendingText)) {}

FieldLink::~FieldLink() {
    if (m_cursor) {
        m_cursor->removeObserver(this);
        unregisterBoundControl(m_cursor, this);
    }
}

void FieldLink::bind(TableCursor* cursor, const QString& fieldName) {
    const int field = cursor ? cursor->fieldIndex(fieldName) : -1;
    if (m_cursor) {
        m_cursor->removeObserver(this);
        unregisterBoundControl(m_cursor, this);
    }
    m_cursor = cursor;
    m_field = field;
    m_pending = false;
    if (m_cursor) {
        m_cursor->addObserver(this);
        registerBoundControl(m_cursor, this);
    }
    m_refresh();
}

void FieldLink::unbind() {
    bind(nullptr, QString());
}

void FieldLink::detachCursor() {
    if (m_cursor)
        m_cursor->removeObserver(this);
    m_cursor = nullptr;
    m_field = -1;
    m_pending = false;
    m_refresh();
}

QString FieldLink::displayText() const {
    if (!m_cursor || m_field < 0 || !m_cursor->isOpen())
        return QString();
    try {
        return m_cursor->displayText(m_field);
    } catch (const std::exception&) {
        return QString();
    }
}

QString FieldLink::rawText() const {
    if (!m_cursor || m_field < 0 || !m_cursor->isOpen())
        return QString();
    try {
        return editFieldValue(m_cursor->fieldDef(m_field), m_cursor->value(m_field));
    } catch (const std::exception&) {
        return QString();
    }
}

bool FieldLink::userEdited(bool writeNow) {
    if (m_busy)
        return true;
    if (!m_cursor || m_field < 0 || !m_cursor->isOpen()) {
        revert();
        return false;
    }
    bool ok;
    {
        QScopedValueRollback busy(m_busy, true);
        ok = runCommand(m_owner, [&] {
            if (writeNow) {
                store(m_pendingText());
            } else {
                m_cursor->edit();
            }
        });
    }
    if (!ok) {
        revert();
        return false;
    }
    m_pending = !writeNow;
    return true;
}

void FieldLink::write(const QString& text) {
    if (!m_cursor || m_field < 0)
        return;
    {
        QScopedValueRollback busy(m_busy, true);
        store(text);
        m_pending = false;
    }
    m_refresh();
}

bool FieldLink::commit() {
    // A focus change caused by the error box of a failed write must not report the same error again.
    if (!m_pending || m_busy || !m_cursor)
        return true;
    bool ok;
    {
        QScopedValueRollback busy(m_busy, true);
        ok = runCommand(m_owner, [&] {
            store(m_pendingText());
            m_pending = false;
        });
    }
    if (ok)
        m_refresh();
    return ok;
}

// A text the field refuses (a control character, a broken pair) is refused before the record goes into edit
// state, so nothing of it reaches the cursor.
void FieldLink::store(const QString& text) {
    if (const FieldDef& def = m_cursor->fieldDef(m_field); def.type == FieldType::Text)
        checkSingleLineText(m_cursor->tableName(), def, text);
    m_cursor->edit();
    m_cursor->setText(m_field, text);
}

void FieldLink::revert() {
    m_pending = false;
    m_refresh();
}

void FieldLink::flushPending() {
    if (m_pending && m_cursor)
        write(m_pendingText());
}

void FieldLink::cursorEvent(CursorEvent event, int field) {
    if (m_busy)
        return;
    switch (event) {
    case CursorEvent::DataChanged:
    case CursorEvent::RecordChanged:
        revert();
        break;
    case CursorEvent::StateChanged:
        if (m_cursor->state() == CursorState::Browse || m_cursor->state() == CursorState::Inactive)
            revert();
        break;
    case CursorEvent::FieldChanged:
        if (field == m_field)
            revert();
        break;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// DBEdit

DBEdit::DBEdit(QWidget* parent)
    : QLineEdit(parent),
      m_link(
          this, [this] { showField(); }, [this] { return m_mask.isEmpty() ? text() : maskedText(); }),
      m_width(new FieldWidthLimit(this)) {
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (m_mask.isEmpty())
            m_width->apply();
        // A masked field is written when it is left: a half-typed mask is not a value yet.
        const FieldDef* def = m_link.fieldDef();
        m_link.userEdited(m_mask.isEmpty() && def && def->type == FieldType::Text);
    });
    connect(this, &QLineEdit::editingFinished, this, [this] { m_refused = !m_link.commit(); });
}

DBEdit::DBEdit(TableCursor* cursor, const QString& fieldName, QWidget* parent) : DBEdit(parent) {
    bind(cursor, fieldName);
}

void DBEdit::bind(TableCursor* cursor, const QString& fieldName) {
    m_link.bind(cursor, fieldName);
}

void DBEdit::setReadOnly(bool readOnly) {
    QLineEdit::setReadOnly(readOnly);
    setButtonFaceLook(this, readOnly);
}

void DBEdit::showField() {
    m_width->setField(m_link.fieldDef());
    const QString t = m_link.displayText();
    if (text() != t) {
        setText(t);
        setCursorPosition(0); // a text longer than the field shows its start
    }
    setModified(false);
}

void DBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_link.isPending()) {
        m_link.revert();
        event->accept();
        return;
    }
    if (!m_mask.isEmpty() && !isReadOnly() && event->text().size() == 1 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar c = event->text().front();
        if (c == QLatin1Char(' ')) {
            // A space leaves an optional position blank.
            QKeyEvent blank(event->type(), event->key(), event->modifiers(), QString(m_blank));
            QLineEdit::keyPressEvent(&blank);
            event->setAccepted(blank.isAccepted());
            return;
        }
        if (typeSeparator(c)) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent* event) {
    m_refused = false;
    QLineEdit::focusOutEvent(event); // a complete mask is written here (editingFinished)
    // A complete mask was written on editingFinished; an incomplete one emits no such signal, so it is refused here
    // (the message names the field) and the user is taken back to complete it. Going to another window or a popup
    // menu, or the screen closing, is not leaving the field.
    const bool left =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason && isVisible();
    // A text refused just now by editingFinished is not written (and refused) a second time.
    if (left && !m_mask.isEmpty() && m_link.isPending() && (m_refused || !m_link.commit()))
        QTimer::singleShot(0, this, [this] {
            if (m_link.isPending())
                setFocus(Qt::OtherFocusReason);
        });
}

namespace {

// The program's mask characters and their QLineEdit equivalents.
QChar qtMaskChar(QChar c) {
    switch (c.unicode()) {
    case '0':
        return QLatin1Char('9');
    case '9':
        return QLatin1Char('0');
    case '#':
        return QLatin1Char('#');
    case 'L':
        return QLatin1Char('A');
    case 'l':
        return QLatin1Char('a');
    case 'A':
        return QLatin1Char('N');
    case 'a':
        return QLatin1Char('n');
    case 'C':
        return QLatin1Char('X');
    case 'c':
        return QLatin1Char('x');
    default:
        return QChar();
    }
}

bool optionalQtMaskChar(QChar c) {
    return c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('a') || c == QLatin1Char('n') ||
           c == QLatin1Char('x');
}

} // namespace

void DBEdit::setEditMask(const QString& mask) {
    m_mask = mask;
    m_literalAt.clear();
    m_qtMask.clear();
    m_saveLiterals = true;
    m_leadingBlanks = false;
    m_blank = QLatin1Char('_');
    if (mask.isEmpty()) {
        setInputMask(QString());
        showField();
        return;
    }
    QString picture = mask;
    const QStringList parts = mask.split(QLatin1Char(';'));
    if (parts.size() >= 3 && !parts.back().isEmpty()) {
        m_blank = parts.back().front();
        m_saveLiterals = parts[parts.size() - 2] != QLatin1String("0");
        picture = parts.mid(0, parts.size() - 2).join(QLatin1Char(';'));
    } else if (parts.size() == 2) {
        m_saveLiterals = parts[1] != QLatin1String("0");
        picture = parts[0];
    }
    static const QString qtMeta = QStringLiteral("AaNnXx90Dd#HhBb><!{}[]\\");
    QString qt;
    for (int i = 0; i < picture.size(); ++i) {
        const QChar c = picture[i];
        if (c == QLatin1Char('!')) {
            m_leadingBlanks = true;
            continue;
        }
        if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
            qt += c;
            continue;
        }
        QChar literal = c;
        if (c == QLatin1Char('\\') && i + 1 < picture.size()) {
            literal = picture[++i];
        } else if (const QChar q = qtMaskChar(c); !q.isNull()) {
            qt += q;
            m_qtMask += q;
            m_literalAt += QChar();
            continue;
        }
        if (qtMeta.contains(literal))
            qt += QLatin1Char('\\');
        qt += literal;
        m_qtMask += literal;
        m_literalAt += literal;
    }
    setInputMask(qt + QLatin1Char(';') + m_blank);
    showField();
}

bool DBEdit::isMaskInput(int position) const {
    return position >= 0 && position < m_literalAt.size() && m_literalAt[position].isNull();
}

QString DBEdit::maskedText() const {
    const QString shown = displayText();
    bool filled = false;
    for (int i = 0; i < shown.size() && i < m_literalAt.size(); ++i)
        filled = filled || (isMaskInput(i) && shown[i] != m_blank);
    if (!filled)
        return QString();
    if (!hasAcceptableInput()) {
        QString what;
        if (const FieldDef* def = m_link.fieldDef()) {
            what = fieldCaption(*def);
            if (m_link.cursor())
                what = QStringLiteral("%1の%2").arg(tableCaption(m_link.cursor()->tableName()), what);
        }
        const FieldDef* def = m_link.fieldDef();
        const QString form = def && !def->format.isEmpty() ? def->format : displayText();
        throw Error(QStringLiteral(
                        "入力が途中です: %1 は「%2」の形で最後まで入力してください（Esc キーで入力を取り消せます）。")
                        .arg(what, form));
    }
    QString out;
    for (int i = 0; i < shown.size(); ++i) {
        if (!isMaskInput(i)) {
            if (m_saveLiterals)
                out += shown[i];
        } else if (shown[i] != m_blank) {
            out += shown[i];
        }
    }
    return out;
}

// Typing the literal that ends a group of positions closes the group: what was typed of it moves to the group's
// end when the mask puts blanks in front ("9:" gives " 9:"), else stays at its start, and typing goes on after the
// literal.
bool DBEdit::typeSeparator(QChar c) {
    const int pos = cursorPosition();
    int literal = pos;
    while (literal < m_literalAt.size() && isMaskInput(literal))
        ++literal;
    if (literal >= m_literalAt.size() || literal == pos || m_literalAt[literal] != c)
        return false;
    int start = literal;
    while (start > 0 && isMaskInput(start - 1))
        --start;
    QString shown = displayText();
    QString typed;
    for (int i = start; i < literal; ++i)
        if (shown[i] != m_blank)
            typed += shown[i];
    const int blanks = int(literal - start - typed.size());
    // Only optional positions may stay blank.
    for (int i = 0; i < blanks; ++i)
        if (!optionalQtMaskChar(m_qtMask[m_leadingBlanks ? start + i : literal - 1 - i]))
            return false;
    const QString run = m_leadingBlanks ? QString(blanks, m_blank) + typed : typed + QString(blanks, m_blank);
    shown.replace(start, literal - start, run);
    setText(shown);
    setCursorPosition(literal + 1);
    setModified(true);
    Q_EMIT textEdited(text());
    return true;
}

void DBEdit::paintEvent(QPaintEvent* event) {
    if (!m_picture) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    opt.state &= ~QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
    const QMargins m = textMargins();
    QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &opt, this).marginsRemoved(m);
    r.adjust(2, 0, -2, 0); // the line edit's own side margin
    style()->drawItemText(&p, r, int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(), isEnabled(),
                          displayText(), QPalette::Text);
}

// ---------------------------------------------------------------------------------------------------------------
// DBDateEdit

DBDateEdit::DBDateEdit(QWidget* parent) : DBEdit(parent) {
    static const QRegularExpression partialDate(QStringLiteral(R"(\d{0,4}([-/]\d{0,2}([-/]\d{0,2})?)?)"));
    setValidator(new QRegularExpressionValidator(partialDate, this));
    setMaxLength(10);
}

DBDateEdit::DBDateEdit(TableCursor* cursor, const QString& fieldName, QWidget* parent) : DBDateEdit(parent) {
    bind(cursor, fieldName);
}

// ---------------------------------------------------------------------------------------------------------------
// DBComboBox

DBComboBox::DBComboBox(QWidget* parent)
    : QComboBox(parent), m_link(
                             this, [this] { showField(); }, [this] { return currentText(); }) {
    setEditable(true);
    m_width = new FieldWidthLimit(lineEdit());
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    const auto isText = [this] {
        const FieldDef* def = m_link.fieldDef();
        return def && def->type == FieldType::Text;
    };
    connect(lineEdit(), &QLineEdit::textEdited, this, [this, isText] {
        m_width->apply();
        m_link.userEdited(isText());
    });
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this] { m_link.commit(); });
    connect(this, &QComboBox::activated, this, [this, isText](int) {
        if (lineEdit()->isReadOnly()) {
            showField();
            return;
        }
        if (m_link.userEdited(isText()))
            m_link.commit();
    });
}

void DBComboBox::bind(TableCursor* cursor, const QString& fieldName) {
    m_link.bind(cursor, fieldName);
}

void DBComboBox::setItems(const QStringList& items) {
    clear();
    addItems(items);
    showField();
}

void DBComboBox::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    lineEdit()->setReadOnly(readOnly);
    setButtonFaceLook(lineEdit(), readOnly);
}

void DBComboBox::showPopup() {
    if (!m_readOnly)
        QComboBox::showPopup();
}

void DBComboBox::keyPressEvent(QKeyEvent* event) {
    // Arrows, F4 and Alt+Down would choose another item or open the list; what else the box does not use goes on
    // to the screen (the navigator's keys among it).
    if (m_readOnly) {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_F4:
            if (!(event->modifiers() & Qt::ControlModifier)) {
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    QComboBox::keyPressEvent(event);
}

void DBComboBox::wheelEvent(QWheelEvent* event) {
    if (!m_readOnly)
        QComboBox::wheelEvent(event);
}

void DBComboBox::showField() {
    m_width->setField(m_link.fieldDef());
    const QString t = m_link.displayText();
    const int i = findText(t, Qt::MatchExactly);
    if (currentIndex() != i)
        setCurrentIndex(i);
    if (currentText() != t)
        setEditText(t);
}

// ---------------------------------------------------------------------------------------------------------------
// DBLookupComboBox

// Follows the list cursor; detached with the other controls of that cursor when it goes away.
struct DBLookupComboBox::ListWatcher : CursorObserver, BoundControl {
    explicit ListWatcher(DBLookupComboBox* box) : m_box(box) {}
    void cursorEvent(CursorEvent event, int) override {
        if (event == CursorEvent::DataChanged)
            m_box->reloadList();
    }
    void flushPending() override {}
    void detachCursor() override {
        if (m_box->m_list)
            m_box->m_list->removeObserver(this);
        m_box->m_list = nullptr;
        m_box->reloadList();
    }
    DBLookupComboBox* m_box;
};

DBLookupComboBox::DBLookupComboBox(QWidget* parent)
    : QComboBox(parent), m_link(
                             this, [this] { showField(); }, [] { return QString(); }),
      m_items(new QStandardItemModel(this)), m_view(new QTableView(this)) {
    setModel(m_items);
    setView(m_view);
    // The list drops down below the box with the rows asked for (setDropDown), where some styles would lay the
    // whole list over the box instead and ignore the row count.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    m_view->horizontalHeader()->hide();
    m_view->verticalHeader()->hide();
    m_view->setShowGrid(false);
    m_view->setWordWrap(false);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    connect(this, &QComboBox::activated, this, &DBLookupComboBox::choose);
}

DBLookupComboBox::~DBLookupComboBox() {
    if (m_list && m_watcher) {
        m_list->removeObserver(m_watcher.get());
        unregisterBoundControl(m_list, m_watcher.get());
    }
}

void DBLookupComboBox::bind(TableCursor* cursor, const QString& fieldName) {
    m_link.bind(cursor, fieldName);
}

void DBLookupComboBox::setListSource(TableCursor* list, const QString& keyField, const QStringList& listFields,
                                     int displayColumn) {
    if (m_list && m_watcher) {
        m_list->removeObserver(m_watcher.get());
        unregisterBoundControl(m_list, m_watcher.get());
    }
    m_list = list;
    m_keyField = keyField;
    m_listFields = listFields;
    if (!m_watcher)
        m_watcher = std::make_unique<ListWatcher>(this);
    if (m_list) {
        m_list->addObserver(m_watcher.get());
        registerBoundControl(m_list, m_watcher.get());
    }
    setModelColumn(std::clamp(displayColumn, 0, std::max(0, int(listFields.size()) - 1)));
    reloadList();
}

void DBLookupComboBox::setDropDown(int widthPixels, int rows) {
    m_dropDownWidth = widthPixels;
    setMaxVisibleItems(rows);
}

void DBLookupComboBox::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    setButtonFaceLook(this, readOnly);
}

void DBLookupComboBox::reloadList() {
    QScopedValueRollback guard(m_showing, true);
    m_items->clear();
    if (!m_list || !m_list->isOpen())
        return;
    QVector<CursorRow> rows;
    QList<int> fields;
    int key = -1;
    try {
        key = m_list->fieldIndex(m_keyField);
        for (const QString& name : std::as_const(m_listFields))
            fields << m_list->fieldIndex(name);
        rows = m_list->fetchRows(0, m_list->recordCount());
    } catch (const std::exception&) {
        return;
    }
    for (const CursorRow& row : std::as_const(rows)) {
        QList<QStandardItem*> items;
        for (int f : std::as_const(fields)) {
            auto* item = new QStandardItem(formatFieldValue(m_list->fieldDef(f), row.values.value(f)));
            item->setEditable(false);
            items << item;
        }
        if (items.isEmpty())
            items << new QStandardItem;
        items.first()->setData(editFieldValue(m_list->fieldDef(key), row.values.value(key)), Qt::UserRole);
        m_items->appendRow(items);
    }
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < fields.size(); ++c)
        m_view->setColumnWidth(c, fieldWidthChars(m_list->fieldDef(fields[c])) * charWidth + 8);
    m_showing = false;
    showField();
}

void DBLookupComboBox::showField() {
    if (m_showing)
        return;
    QScopedValueRollback guard(m_showing, true);
    const QString key = m_link.rawText();
    int found = -1;
    if (!key.isEmpty())
        for (int r = 0; r < m_items->rowCount(); ++r)
            if (m_items->item(r, 0)->data(Qt::UserRole).toString() == key) {
                found = r;
                break;
            }
    setCurrentIndex(found);
}

void DBLookupComboBox::choose(int row) {
    if (row < 0 || row >= m_items->rowCount() || m_readOnly) {
        showField();
        return;
    }
    const QString key = m_items->item(row, 0)->data(Qt::UserRole).toString();
    if (key == m_link.rawText())
        return;
    if (!runCommand(this, [&] { m_link.write(key); }))
        showField();
}

void DBLookupComboBox::showPopup() {
    if (m_readOnly)
        return;
    m_view->setMinimumWidth(m_dropDownWidth);
    QComboBox::showPopup();
    if (QWidget* popup = m_view->parentWidget(); popup && popup->width() < m_dropDownWidth)
        popup->resize(m_dropDownWidth, popup->height());
}

void DBLookupComboBox::keyPressEvent(QKeyEvent* event) {
    if (m_readOnly && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DBLookupComboBox::mousePressEvent(QMouseEvent* event) {
    if (m_readOnly)
        return;
    QComboBox::mousePressEvent(event);
}

void DBLookupComboBox::wheelEvent(QWheelEvent* event) {
    if (m_readOnly)
        return;
    QComboBox::wheelEvent(event);
}

// ---------------------------------------------------------------------------------------------------------------
// DBText

DBText::DBText(QWidget* parent)
    : QLabel(parent), m_link(
                          this, [this] { setText(m_link.displayText()); }, [] { return QString(); }) {}

void DBText::bind(TableCursor* cursor, const QString& fieldName) {
    m_link.bind(cursor, fieldName);
}

} // namespace tabi::ui
