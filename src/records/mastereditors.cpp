#include "records/mastereditors.h"

#include "ui/command.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"
#include "ui/fonts.h"
#include "ui/helptopics.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace tabi::records {

namespace {

constexpr int kClientWidth = 512;
constexpr int kStripHeight = 39;
constexpr int kBodyHeight = 488;
constexpr int kGridWidth = 391;

MasterEditorLayout groupLayout(bool categories) {
    MasterEditorLayout l;
    const QString code = categories ? QStringLiteral("KBN_CD") : QStringLiteral("BUNRUI_CD");
    const QString base = categories ? QStringLiteral("KUBUN") : QStringLiteral("BUNRUI");
    l.className = categories ? QStringLiteral("TKubun") : QStringLiteral("TBunrui");
    l.caption =
        categories ? QStringLiteral("区分マスター登録/変更/削除") : QStringLiteral("分類マスター登録/変更/削除");
    l.tables = {base, base + QLatin1Char('2'), base + QLatin1Char('3')};
    l.fields = {code, categories ? QStringLiteral("KBN_KANJI") : QStringLiteral("BUNRUI_KANJI")};
    l.index = code;
    l.levelBoxName = categories ? QStringLiteral("ComboBoxK") : QStringLiteral("ComboBoxB");
    l.exitButtonName = categories ? QStringLiteral("BitBtnE") : QStringLiteral("ExitBtn");
    return l;
}

MasterEditorLayout yearLayout() {
    MasterEditorLayout l;
    l.className = QStringLiteral("TTOSHI");
    l.caption = QStringLiteral("年別マスター登録/変更/削除");
    l.db = DbKind::Personal;
    l.tables = {QStringLiteral("TOSHI")};
    l.fields = {QStringLiteral("NEN"), QStringLiteral("BIKO")};
    l.index = QStringLiteral("NEN");
    l.exitButtonName = QStringLiteral("ExitBtn");
    return l;
}

MasterEditorLayout othersLayout() {
    MasterEditorLayout l;
    l.className = QStringLiteral("TOTHERS");
    l.caption = QStringLiteral("その他分類マスター登録/変更/削除");
    l.tables = {QStringLiteral("BUNRUI4")};
    l.fields = {QStringLiteral("BUNRUI_CD"), QStringLiteral("BUNRUI_KANJI")};
    l.index = QStringLiteral("BUNRUI_CD");
    l.storedIndex = true;
    l.exitButtonName = QStringLiteral("ExitBtn");
    return l;
}

} // namespace

const QStringList& MasterGridEditor::levelTexts() {
    static const QStringList texts{QStringLiteral("小分類"), QStringLiteral("大分類"), QStringLiteral("合計")};
    return texts;
}

MasterGridEditor::MasterGridEditor(const MasterEditorLayout& layout, QWidget* parent)
    : Screen(parent), m_layout(layout), m_db(Database::open(layout.db)), m_table(m_db, layout.tables.front()) {
    setObjectName(layout.className.mid(1));
    setWindowTitle(layout.caption);
    setFont(ui::uiFont(16));
    m_table.setFieldNames(layout.fields);
    if (layout.storedIndex)
        m_table.setIndexName(layout.index);
    else
        m_table.setIndexFieldNames(layout.index);
    // Titles and widths are the first table's; the cursor keeps its declared fields on the other levels.
    const TableDef* first = findTable(layout.tables.front());
    for (const QString& f : layout.fields) {
        FieldDef& def = m_table.fieldDef(m_table.fieldIndex(f));
        def.label = first->field(f).label;
        def.displayWidth = first->field(f).displayWidth;
    }
    m_table.open();

    m_navigator = new ui::DBNavigator(this);
    m_navigator->setObjectName(QStringLiteral("DBNavigator"));
    m_navigator->setTableCursor(&m_table);
    m_navigator->setKeyScope(this);
    m_navigator->move(8, (kStripHeight - ui::DBNavigator::kDefaultHeight) / 2);
    m_navigator->resize(m_navigator->sizeHint());

    if (layout.tables.size() > 1) {
        m_levelBox = new QComboBox(this);
        m_levelBox->setObjectName(layout.levelBoxName);
        m_levelBox->setEditable(true);
        m_levelBox->setInsertPolicy(QComboBox::NoInsert);
        m_levelBox->setCompleter(nullptr); // a partial text must stay partial
        m_levelBox->addItems(levelTexts());
        m_levelBox->setGeometry(kClientWidth - 98 - 10, (kStripHeight - 26) / 2, 98, 26);
        connect(m_levelBox, &QComboBox::currentTextChanged, this, &MasterGridEditor::levelTextChanged);
    }

    m_grid = new ui::DBGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setOptions(ui::DBGrid::Options(ui::DBGrid::kDefaultOptions));
    m_grid->setTableCursor(&m_table);
    m_grid->setGeometry(4, kStripHeight, kGridWidth - 8, kBodyHeight - 4);
    m_grid->resetColumnWidths();
    // The grid is where the work is: it has the focus when the screen opens and comes first in the Tab order.
    if (m_levelBox)
        setTabOrder(m_grid, m_levelBox);
    m_grid->setFocus();

    const int columnX = kGridWidth + (kClientWidth - kGridWidth - 89) / 2;
    QPushButton* help = addHelpButton(this, layout.className);
    help->setGeometry(columnX, kStripHeight + kBodyHeight - 2 * 33 - 24, 89, 33);
    auto* exit = new QPushButton(QStringLiteral("終了(&E)"), this);
    exit->setObjectName(layout.exitButtonName);
    exit->setGeometry(columnX, kStripHeight + kBodyHeight - 33 - 16, 89, 33);
    connect(exit, &QPushButton::clicked, this, &Screen::closeScreen);
}

MasterGridEditor::~MasterGridEditor() {
    ui::detachControls(m_table);
}

void MasterGridEditor::activated() {
    if (!m_levelBox)
        return;
    {
        QScopedValueRollback setting(m_settingLevel, true);
        m_levelBox->setCurrentIndex(0);
        m_levelBox->setEditText(levelTexts().front());
    }
    ui::runCommand(this, [this] { openLevel(0); });
}

void MasterGridEditor::levelTextChanged(const QString& text) {
    if (m_settingLevel)
        return;
    const int level = int(levelTexts().indexOf(text));
    if (level < 0)
        return;
    ui::runCommand(this, [&] { openLevel(level); });
}

void MasterGridEditor::openLevel(int level) {
    // Closing drops an unposted change, as leaving the level does.
    m_table.close();
    m_table.setTableName(m_layout.tables.value(level, m_layout.tables.front()));
    m_table.open();
    m_grid->followCursor();
}

TBunrui::TBunrui(QWidget* parent) : MasterGridEditor(groupLayout(false), parent) {}

TKubun::TKubun(QWidget* parent) : MasterGridEditor(groupLayout(true), parent) {}

TTOSHI::TTOSHI(QWidget* parent) : MasterGridEditor(yearLayout(), parent) {}

TOTHERS::TOTHERS(QWidget* parent) : MasterGridEditor(othersLayout(), parent) {}

} // namespace tabi::records
