#include "records/recordcard.h"

#include "photos/photopage.h"
#include "routes/codejumpdialog.h"
#include "routes/routecommands.h"
#include "routes/screenparts.h"
#include "ui/command.h"
#include "ui/dbcontrols.h"
#include "ui/dbnavigator.h"
#include "ui/fonts.h"
#include "ui/screens.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tabi::records {

const QStringList& prefectures() {
    static const QStringList list =
        QStringLiteral("北海道 青森県 岩手県 宮城県 秋田県 山形県 福島県 茨城県 栃木県 群馬県 埼玉県 千葉県 "
                       "東京都 神奈川県 新潟県 富山県 石川県 福井県 山梨県 長野県 岐阜県 静岡県 愛知県 "
                       "三重県 滋賀県 京都府 大阪府 兵庫県 奈良県 和歌山県 鳥取県 島根県 岡山県 広島県 "
                       "山口県 徳島県 香川県 愛媛県 高知県 福岡県 佐賀県 長崎県 熊本県 大分県 宮崎県 "
                       "鹿児島県 沖縄県")
            .split(QLatin1Char(' '));
    return list;
}

namespace {

constexpr int kDateWidth = 110;
constexpr int kNumberWidth = 110;
constexpr int kChoiceWidth = 130;

QWidget* makeControl(const RecordCard::Field& f, TableCursor& cursor, QWidget* parent) {
    QWidget* w = nullptr;
    int width = f.width;
    switch (f.kind) {
    case RecordCard::Kind::Edit:
        w = new ui::DBEdit(&cursor, f.field, parent);
        break;
    case RecordCard::Kind::Date:
        w = new ui::DBDateEdit(&cursor, f.field, parent);
        width = width ? width : kDateWidth;
        break;
    case RecordCard::Kind::Number: {
        auto* e = new ui::DBEdit(&cursor, f.field, parent);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        w = e;
        width = width ? width : kNumberWidth;
        break;
    }
    case RecordCard::Kind::Choice: {
        auto* c = new ui::DBComboBox(parent);
        c->bind(&cursor, f.field);
        c->setItems(f.choices);
        c->setMaxVisibleItems(12);
        w = c;
        width = width ? width : kChoiceWidth;
        break;
    }
    }
    w->setObjectName(QString::fromLatin1(f.objectName));
    if (width)
        w->setFixedWidth(width);
    if (f.red)
        routes::makeRed(w);
    return w;
}

void setControlReadOnly(QWidget* w, bool readOnly) {
    if (auto* e = qobject_cast<ui::DBEdit*>(w))
        e->setReadOnly(readOnly);
    else if (auto* c = qobject_cast<ui::DBComboBox*>(w)) {
        c->setReadOnly(readOnly);
        ui::setButtonFaceLook(c, readOnly); // the box around the text shows the state too
    }
}

} // namespace

void RecordCard::DetailGuard::flushPending() {
    if (!detail || !detail->isOpen())
        return;
    ui::updateRecord(*detail);
    if ((detail->state() == CursorState::Edit || detail->state() == CursorState::Insert) && detail->isModified())
        detail->post();
}

RecordCard::RecordCard(const Config& config, QWidget* parent)
    : Screen(parent), m_config(config), m_ref(Database::open(DbKind::Reference)),
      m_per(Database::open(DbKind::Personal)), m_records(m_ref, config.table, config.codeField),
      m_detail(m_per, config.detailTable, config.codeField) {
    setObjectName(config.className);
    if (const WindowLayout* layout = layoutForClass(config.className))
        setWindowTitle(layout->caption);
    setFont(ui::uiFont(16));

    m_detail.setMasterSource(&m_records, config.codeField);
    m_records.open();
    m_detail.open();
    m_guard.detail = &m_detail;
    ui::registerBoundControl(&m_records, &m_guard);

    m_jump = config.jumpDialog(m_ref, this);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);
    root->setSpacing(4);

    m_navigator = new ui::DBNavigator(this);
    m_navigator->setObjectName(QStringLiteral("DBNavigator"));
    m_navigator->setTableCursor(&m_records);
    m_navigator->setKeyScope(this);
    auto* strip = new QHBoxLayout;
    strip->addWidget(m_navigator);
    strip->addStretch();
    root->addLayout(strip);

    root->addWidget(buildRows(this, m_records, config.header, &m_headerControls));

    auto* body = new QHBoxLayout;
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildBasicPage(), QStringLiteral("基本情報"));
    m_photoPage = new photos::PhotoPage(config.photoKeys, 6, this);
    m_photoPage->setObjectName(QStringLiteral("TabSheetP"));
    m_pages->addTab(m_photoPage, QStringLiteral("写真"));
    body->addWidget(m_pages, 1);

    auto* commands = new QVBoxLayout;
    routes::addHelpCommand(commands, this, config.className);
    m_btnP1 = routes::addCommandButton(commands, "BitBtnP1", QStringLiteral("写真(&P)"), this);
    m_btnP1->setVisible(false);
    m_btnP1->setEnabled(false);
    commands->addStretch();
    m_btnM = routes::addCommandButton(commands, "BitBtnM", QStringLiteral("移動(&M)"), this);
    m_btnE = routes::addCommandButton(commands, "BitBtnE", QStringLiteral("終了(&E)"), this);
    body->addLayout(commands);
    root->addLayout(body, 1);

    ui::connectCommand(m_btnM, this, [this] { moveCommand(); });
    ui::connectCommand(m_btnE, this, [this] { finishCommand(); });
    connect(m_pages, &QTabWidget::currentChanged, this, &RecordCard::pageChanged);

    // Created locked; the first page then makes the header editable.
    setHeaderEditable(false);
    pageChanged(m_pages->currentIndex());
}

RecordCard::~RecordCard() {
    // The cursors are members and die before the child widgets bound to them.
    ui::detachControls(m_detail);
    ui::detachControls(m_records);
}

QWidget* RecordCard::buildRows(QWidget* parent, TableCursor& cursor, const QList<Row>& rows,
                               QList<QWidget*>* controls) {
    auto* box = new QWidget(parent);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    int columns = 0;
    for (const Row& row : rows)
        columns = std::max<int>(
            columns, int(std::count_if(row.begin(), row.end(), [](const Field& f) { return !f.caption.isEmpty(); })));
    for (int r = 0; r < rows.size(); ++r) {
        // Cells: a caption and the controls after it, up to the next captioned field; the last cell of a row
        // takes the rest of the row so a wide field does not widen the columns of the rows above and below.
        QList<QHBoxLayout*> cells;
        for (const Field& f : rows[r]) {
            if (!f.caption.isEmpty() || cells.isEmpty()) {
                const int col = int(cells.size()) * 2;
                if (!f.caption.isEmpty())
                    grid->addWidget(routes::fieldCaption(f.caption, box), r, col);
                auto* cell = new QHBoxLayout;
                cell->setSpacing(4);
                cells << cell;
            }
            QWidget* w = makeControl(f, cursor, box);
            cells.last()->addWidget(w);
            if (controls)
                *controls << w;
            if (!f.note.isEmpty()) {
                auto* note = new QLabel(f.note, box);
                note->setFont(ui::uiFont(13));
                cells.last()->addWidget(note);
            }
        }
        for (int c = 0; c < cells.size(); ++c) {
            cells[c]->addStretch();
            const int span = c == cells.size() - 1 ? columns * 2 - (c * 2 + 1) + 1 : 1;
            grid->addLayout(cells[c], r, c * 2 + 1, 1, span);
        }
    }
    grid->setColumnStretch(columns * 2, 1);
    return box;
}

QWidget* RecordCard::buildBasicPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("TabSheetB"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(6, 6, 6, 4);
    v->setSpacing(6);
    v->addWidget(buildRows(page, m_records, m_config.basic, nullptr));

    auto* group = new QGroupBox(QStringLiteral("初回実績"), page);
    group->setObjectName(QStringLiteral("GroupBoxJ"));
    auto* gv = new QVBoxLayout(group);
    gv->setContentsMargins(6, 4, 6, 6);
    gv->setSpacing(4);
    m_detailNavigator = new ui::DBNavigator(group);
    m_detailNavigator->setObjectName(QStringLiteral("DBNavigatorJ"));
    m_detailNavigator->setTableCursor(&m_detail);
    m_detailNavigator->setKeyScope(group);
    m_detailNavigator->setVisibleButtons(ui::DBNavigator::EditButtons);
    m_detailNavigator->setFixedWidth(m_detailNavigator->sizeHint().width());
    gv->addWidget(m_detailNavigator);
    gv->addWidget(buildRows(group, m_detail, m_config.detail, nullptr));
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(group);
    groupRow->addStretch();
    v->addLayout(groupRow);
    v->addStretch();
    return page;
}

void RecordCard::setHeaderEditable(bool editable) {
    m_headerEditable = editable;
    for (QWidget* w : std::as_const(m_headerControls))
        setControlReadOnly(w, !editable);
    m_navigator->setVisibleButtons(editable ? ui::DBNavigator::AllButtons : ui::DBNavigator::MoveButtons);
    m_navigator->setFixedWidth(editable ? 360 : 144);
}

void RecordCard::pageChanged(int index) {
    const bool photo = index == PagePhoto;
    setHeaderEditable(!photo);
    // The record cannot change under the photo page.
    m_navigator->setEnabled(!photo);
    m_btnM->setEnabled(!photo);
    if (photo)
        ui::runCommand(this, [this] { m_photoPage->pageShown(currentCode()); });
}

void RecordCard::showPage(Page page) {
    m_pages->setCurrentIndex(int(page));
}

QString RecordCard::currentCode() {
    return m_records.asString(m_config.codeField);
}

void RecordCard::activated() {
    ui::runCommand(this, [this] {
        routes::positionOnRemembered(m_records, *m_jump, m_config.rememberKey);
        // Coming back to the card can move it to another record while the photo page is up: the page then
        // shows that record's photos rather than those of the record left behind.
        if (m_pages->currentIndex() == PagePhoto && m_photoPage->series().code() != currentCode())
            m_photoPage->pageShown(currentCode());
    });
}

void RecordCard::deactivated() {
    routes::rememberCode(m_records, m_config.codeField, m_config.rememberKey, *m_jump);
}

void RecordCard::positionOn(const QString& code) {
    routes::positionOnCode(m_records, code);
}

void RecordCard::moveCommand() {
    routes::moveWithJump(m_records, *m_jump, m_config.codeField);
}

void RecordCard::finishCommand() {
    routes::rememberCode(m_records, m_config.codeField, m_config.rememberKey, *m_jump);
    closeScreen();
}

} // namespace tabi::records
