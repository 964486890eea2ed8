#include "routes/codejumpdialog.h"

#include "data/searchtext.h"
#include "ui/command.h"
#include "ui/dbgrid.h"
#include "ui/dbkit.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/screens.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace tabi::routes {

namespace {

// Six characters for a code; a search text may run to forty.
class CodeOrSearchValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return input.size() <= (CodeJumpDialog::isCode(input) ? 6 : 40) ? Acceptable : Invalid;
    }
};

} // namespace

CodeJumpDialog::Config CodeJumpDialog::routes() {
    return {QStringLiteral("TCode_I2"),
            QStringLiteral("指定した路線に移動"),
            QStringLiteral("MASTER"),
            QStringLiteral("ROSEN_CD"),
            {{QStringLiteral("ROSEN_CD"), QStringLiteral("路線番号"), 6},
             {QStringLiteral("ROSEN_KANJI"), QStringLiteral("路線名称"), 16},
             {QStringLiteral("KITEN"), QStringLiteral("区間"), 22},
             {QStringLiteral("SHOZOKU"), QStringLiteral("所属"), 14}},
            true,
            {QStringLiteral("ROSEN_KANJI"), QStringLiteral("ROSEN_KANA"), QStringLiteral("SHOZOKU")},
            QStringLiteral("路線"),
            QStringLiteral("KITEN"),
            QStringLiteral("SHUTEN")};
}

CodeJumpDialog::Config CodeJumpDialog::ropeways() {
    return {QStringLiteral("TCode_I3"),
            QStringLiteral("指定した路線に移動"),
            QStringLiteral("SAKUDO"),
            QStringLiteral("ROSEN_CD"),
            {{QStringLiteral("ROSEN_CD"), QStringLiteral("路線番号"), 6},
             {QStringLiteral("KEN"), QStringLiteral("都道府県"), 8},
             {QStringLiteral("KUKAN"), QStringLiteral("区間"), 36}},
            true,
            {QStringLiteral("KUKAN"), QStringLiteral("JIGYOSHA"), QStringLiteral("KEN")},
            QStringLiteral("索道"),
            {},
            {}};
}

CodeJumpDialog::Config CodeJumpDialog::places() {
    return {QStringLiteral("TCode_I4"),
            QStringLiteral("指定したデータに移動"),
            QStringLiteral("OTHERS"),
            QStringLiteral("OTHERS_CD"),
            {{QStringLiteral("OTHERS_CD"), QStringLiteral("識別番号"), 6},
             {QStringLiteral("KEN"), QStringLiteral("都道府県"), 8},
             {QStringLiteral("OTHERS_KANJI"), QStringLiteral("名称(漢字)"), 30}},
            false,
            {QStringLiteral("OTHERS_KANJI"), QStringLiteral("OTHERS_KANA"), QStringLiteral("KEN")},
            QStringLiteral("データ"),
            {},
            {}};
}

CodeJumpDialog::CodeJumpDialog(const Config& config, std::shared_ptr<Database> reference, QWidget* parent)
    : QDialog(parent), m_config(config), m_cursor(std::move(reference), config.table, config.codeField) {
    setWindowTitle(config.caption);
    setFont(ui::uiFont(16));

    // The columns in the designed order, then what the section column and the search read.
    QStringList fields;
    for (const Column& c : config.columns)
        fields << c.field;
    for (const QString& f : QStringList{config.sectionTo} + config.searchFields)
        if (!f.isEmpty() && !fields.contains(f))
            fields << f;
    m_cursor.setFieldNames(fields);
    m_cursor.open();
    // Only the configured columns show, titled and sized as designed.
    for (int i = 0; i < m_cursor.fieldCount(); ++i)
        m_cursor.fieldDef(i).hidden = true;
    for (const Column& c : config.columns) {
        FieldDef& def = m_cursor.fieldDef(m_cursor.fieldIndex(c.field));
        def.hidden = false;
        def.label = c.title;
        def.displayWidth = c.width;
    }

    m_code = new QLineEdit(this);
    m_code->setObjectName(QStringLiteral("CODE_INPUT"));
    // A code is at most six characters; a search may be longer. A longer text put in by the owner ("Failure")
    // stays whole, since a validator checks typing only.
    m_code->setValidator(new CodeOrSearchValidator(m_code));
    m_code->setFixedWidth(160);
    m_code->setPlaceholderText(QStringLiteral("番号か名称"));
    m_code->installEventFilter(this);

    m_ok = new QPushButton(QStringLiteral("了解(&R)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setAutoDefault(false);

    m_grid = new ui::DBGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setReadOnly(true);
    m_grid->setOption(ui::DBGrid::RowSelect);
    m_grid->setTableCursor(&m_cursor);
    m_grid->setLastColumnFills(true);
    if (!config.sectionFrom.isEmpty()) {
        // The section column shows start "～" end, so that routes of one name can be told apart.
        const int from = m_cursor.fieldIndex(config.sectionFrom), to = m_cursor.fieldIndex(config.sectionTo);
        ui::CursorTableModel* model = m_grid->cursorModel();
        const int column = model->columnOfField(from);
        model->setCellOverride([model, column, from, to](int row, int col, int role) -> QVariant {
            if (col != column || role != Qt::DisplayRole)
                return {};
            return model->fieldText(row, from) + QStringLiteral("～") + model->fieldText(row, to);
        });
    }
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LabelStatus"));
    QPalette warn = m_status->palette();
    warn.setColor(QPalette::WindowText, QColor(0xA0, 0x00, 0x00));
    m_status->setPalette(warn);

    auto* top = new QHBoxLayout;
    top->addWidget(m_code);
    top->addWidget(m_ok);
    top->addWidget(m_cancel);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_status); // a line of its own, so that the message shows whole
    layout->addWidget(m_grid, 1);

    connect(m_code, &QLineEdit::textChanged, this,
            [this](const QString& text) { ui::runCommand(this, [&] { typed(text); }); });
    connect(m_ok, &QPushButton::clicked, this, [this] { ui::runCommand(this, [this] { acceptCurrent(); }); });
    connect(m_cancel, &QPushButton::clicked, this, &CodeJumpDialog::cancel);
    connect(m_grid, &QAbstractItemView::doubleClicked, this,
            [this] { ui::runCommand(this, [this] { acceptCurrent(); }); });

    placeDialog(this, config.className);
    m_code->clear(); // created with an empty code field
}

CodeJumpDialog::~CodeJumpDialog() {
    ui::detachControls(m_cursor);
}

QString CodeJumpDialog::code() const {
    return m_code->text();
}

void CodeJumpDialog::setCode(const QString& code) {
    if (m_code->text() == code)
        typed(code); // the cursor may have been left elsewhere; a change event would not fire
    else
        m_code->setText(code);
}

bool CodeJumpDialog::isCode(const QString& text) {
    for (QChar c : text)
        if (!(c.unicode() < 0x80 && c.isLetterOrNumber()))
            return false;
    return true;
}

bool CodeJumpDialog::typed(const QString& text) {
    m_notFound = false;
    m_status->clear();
    if (isCode(text) || m_config.searchFields.isEmpty()) {
        search(text);
        return true;
    }
    if (findText(text))
        return true;
    m_notFound = true;
    m_status->setText(QStringLiteral("「%1」 を含む%2はありません").arg(text, m_config.what));
    return false;
}

void CodeJumpDialog::search(const QString& text) {
    if (text.isEmpty())
        m_cursor.first();
    else
        m_cursor.findNearest({text});
    m_grid->followCursor();
}

void CodeJumpDialog::loadSearchIndex() {
    m_indexCodes.clear();
    m_indexTexts.clear();
    QStringList columns{m_config.codeField};
    columns += m_config.searchFields;
    Statement s(
        m_cursor.database(),
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns.join(u','), m_config.table, m_config.codeField));
    StatementScope scope(s);
    while (s.step()) {
        m_indexCodes.append(s.columnText(0));
        QString all;
        for (int i = 1; i < columns.size(); ++i)
            all += s.columnText(i) + QChar(u'\n'); // no search text spans two fields
        m_indexTexts.append(text::searchFold(all));
    }
    m_indexLoaded = true;
}

bool CodeJumpDialog::findText(const QString& text) {
    const QString want = text::searchFold(text);
    if (want.isEmpty())
        return true;
    if (!m_indexLoaded)
        loadSearchIndex();
    for (qsizetype i = 0; i < m_indexTexts.size(); ++i)
        if (m_indexTexts[i].contains(want)) {
            m_cursor.findKey({m_indexCodes[i]});
            m_grid->followCursor();
            return true;
        }
    return false;
}

int CodeJumpDialog::run() {
    m_closeBox = false;
    m_indexLoaded = false; // the table may have changed since the last showing
    m_code->setFocus();
    m_remembered = m_code->text();
    return ui::execDialog(*this);
}

void CodeJumpDialog::acceptCurrent() {
    if (m_notFound)
        return; // the message says why; the user types on or cancels
    const QString current = m_cursor.isEmpty() ? QString() : m_cursor.displayText(m_config.codeField);
    m_code->blockSignals(true); // the cursor already stands on this record
    m_code->setText(current);
    m_code->blockSignals(false);
    accept();
}

bool CodeJumpDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_code && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (key->modifiers() & ~(Qt::KeypadModifier | Qt::ControlModifier))
                break;
            // The list moves from the code field; Enter then takes the record it stands on.
            if (key->key() == Qt::Key_Home || key->key() == Qt::Key_End) {
                QKeyEvent moved(QEvent::KeyPress, key->key(), Qt::ControlModifier);
                QCoreApplication::sendEvent(m_grid, &moved);
            } else {
                QCoreApplication::sendEvent(m_grid, key);
            }
            m_notFound = false;
            m_status->clear();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CodeJumpDialog::cancel() {
    QDialog::reject();
    if (m_config.restoreOnCancel)
        setCode(m_remembered);
}

void CodeJumpDialog::reject() {
    // Esc comes here; the close box comes here through closeEvent and keeps what was typed.
    if (m_closeBox)
        QDialog::reject();
    else
        cancel();
}

void CodeJumpDialog::closeEvent(QCloseEvent* event) {
    m_closeBox = true;
    QDialog::closeEvent(event);
    m_closeBox = false;
}

} // namespace tabi::routes
