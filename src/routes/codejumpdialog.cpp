#include "routes/codejumpdialog.h"

#include "ui/screens.h"
#include "ui/command.h"
#include "ui/dbgrid.h"
#include "ui/dbkit.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tabi::routes {

CodeJumpDialog::Config CodeJumpDialog::routes() {
    return {QStringLiteral("TCode_I2"),
            QStringLiteral("指定した路線に移動"),
            QStringLiteral("MASTER"),
            QStringLiteral("ROSEN_CD"),
            {{QStringLiteral("ROSEN_CD"), QStringLiteral("路線番号"), 6},
             {QStringLiteral("ROSEN_KANJI"), QStringLiteral("路線名称"), 22},
             {QStringLiteral("SHOZOKU"), QStringLiteral("所属"), 22}},
            true};
}

CodeJumpDialog::Config CodeJumpDialog::ropeways() {
    return {QStringLiteral("TCode_I3"),
            QStringLiteral("指定した路線に移動"),
            QStringLiteral("SAKUDO"),
            QStringLiteral("ROSEN_CD"),
            {{QStringLiteral("ROSEN_CD"), QStringLiteral("路線番号"), 6},
             {QStringLiteral("KEN"), QStringLiteral("都道府県"), 8},
             {QStringLiteral("KUKAN"), QStringLiteral("区間"), 36}},
            true};
}

CodeJumpDialog::Config CodeJumpDialog::places() {
    return {QStringLiteral("TCode_I4"),
            QStringLiteral("指定したデータに移動"),
            QStringLiteral("OTHERS"),
            QStringLiteral("OTHERS_CD"),
            {{QStringLiteral("OTHERS_CD"), QStringLiteral("識別番号"), 6},
             {QStringLiteral("KEN"), QStringLiteral("都道府県"), 8},
             {QStringLiteral("OTHERS_KANJI"), QStringLiteral("名称(漢字)"), 30}},
            false};
}

CodeJumpDialog::CodeJumpDialog(const Config& config, std::shared_ptr<Database> reference, QWidget* parent)
    : QDialog(parent), m_config(config), m_cursor(std::move(reference), config.table, config.codeField) {
    setWindowTitle(config.caption);
    setFont(ui::uiFont(16));

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
    // At most six characters can be typed; a longer text put in by the owner ("Failure") stays whole, since a
    // validator checks typing only while a maximum length would cut the text.
    m_code->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(".{0,6}"), QRegularExpression::DotMatchesEverythingOption), m_code));
    m_code->setFixedWidth(73);
    // Codes are typed as plain half-width characters: no input method.
    m_code->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_code->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);

    m_ok = new QPushButton(QStringLiteral("了解(&R)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setAutoDefault(false);

    m_grid = new ui::DBGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setReadOnly(true);
    m_grid->setFocusPolicy(Qt::NoFocus); // not reachable with Tab; a click still moves the cursor
    m_grid->setTableCursor(&m_cursor);

    auto* top = new QHBoxLayout;
    top->addWidget(m_code);
    top->addWidget(m_ok);
    top->addWidget(m_cancel);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);

    connect(m_code, &QLineEdit::textChanged, this,
            [this](const QString& text) { ui::runCommand(this, [&] { search(text); }); });
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
        search(code); // the cursor may have been left elsewhere; a change event would not fire
    else
        m_code->setText(code);
}

void CodeJumpDialog::search(const QString& text) {
    if (text.isEmpty())
        m_cursor.first();
    else
        m_cursor.findNearest({text});
    m_grid->followCursor();
}

int CodeJumpDialog::run() {
    m_closeBox = false;
    m_code->setFocus();
    m_remembered = m_code->text();
    return ui::execDialog(*this);
}

void CodeJumpDialog::acceptCurrent() {
    const QString current = m_cursor.isEmpty() ? QString() : m_cursor.displayText(m_config.codeField);
    m_code->blockSignals(true); // the cursor already stands on this record
    m_code->setText(current);
    m_code->blockSignals(false);
    accept();
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
