#include "routes/journeyscreen.h"

#include "data/database.h"
#include "data/error.h"
#include "routes/journey.h"
#include "routes/journeycommand.h"
#include "ui/command.h"
#include "ui/dialogs.h"
#include "ui/screenkit.h"
#include "ui/screens.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QVBoxLayout>

namespace tabi::routes {

namespace {

const QString kCaption = QStringLiteral("乗車経路の入力");

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

// --- the legs ----------------------------------------------------------------------------------------------------

JourneyModel::JourneyModel(QObject* parent) : QAbstractTableModel(parent) {}

void JourneyModel::setJourney(const netroute::Journey& journey, const network::Network* network) {
    beginResetModel();
    m_journey = journey;
    m_network = network;
    endResetModel();
}

int JourneyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_network ? 0 : int(m_journey.legs.size());
}

int JourneyModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant JourneyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const netroute::Leg& leg = m_journey.legs[index.row()];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= 3 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return leg.code;
    case 1:
        return leg.name;
    case 2:
        return legSection(leg, *m_network);
    case 3:
        return kiloText(leg.kilo);
    case 4:
        return kiloText(leg.newKilo);
    }
    return {};
}

QVariant JourneyModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 5)
        return {};
    static const char* const titles[] = {"路線番号", "路線名", "区間", "キロ", "新規キロ"};
    return QString::fromUtf8(titles[section]);
}

// --- a station field ---------------------------------------------------------------------------------------------

StationField::StationField(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(50);
    connect(this, &QLineEdit::textEdited, this, [this] { m_node = -1; });
}

void StationField::setNode(int node, const QString& name) {
    setText(name);
    m_node = node;
}

void StationField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        Q_EMIT moveCandidate(-1);
        return;
    case Qt::Key_Down:
        Q_EMIT moveCandidate(1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

// --- the screen --------------------------------------------------------------------------------------------------

TJourney::TJourney(QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_per(Database::open(DbKind::Personal)) {
    setObjectName(QStringLiteral("TJourney"));
    auto* root = new QHBoxLayout(this);
    auto* body = new QVBoxLayout;

    auto* fields = new QGridLayout;
    m_from = new StationField(this);
    m_from->setObjectName(QStringLiteral("EditFrom"));
    m_to = new StationField(this);
    m_to->setObjectName(QStringLiteral("EditTo"));
    m_viaEdit = new StationField(this);
    m_viaEdit->setObjectName(QStringLiteral("EditVia"));
    m_viaEdit->setPlaceholderText(QStringLiteral("駅名を入れて Enter で追加"));
    m_date = new QLineEdit(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), this);
    m_date->setObjectName(QStringLiteral("EditDate"));
    m_date->setMaxLength(10);
    m_date->setPlaceholderText(QStringLiteral("yyyy-mm-dd"));
    m_vias = new QListWidget(this);
    m_vias->setObjectName(QStringLiteral("ListVia"));
    m_vias->setFixedHeight(72);
    auto* removeViaButton = new QPushButton(QStringLiteral("経由削除(&X)"), this);
    removeViaButton->setObjectName(QStringLiteral("BitBtnX"));
    m_noShinkansen = new QCheckBox(QStringLiteral("新幹線を使わない(&N)"), this);
    m_noShinkansen->setObjectName(QStringLiteral("CheckNoShinkansen"));
    m_avoid = new QLineEdit(this);
    m_avoid->setObjectName(QStringLiteral("EditAvoid"));
    m_avoid->setPlaceholderText(QStringLiteral("路線名 (、で区切る)"));
    m_newKilo = new QRadioButton(QStringLiteral("新規キロで登録(&K)"), this);
    m_newKilo->setObjectName(QStringLiteral("RadioNewKilo"));
    m_newKilo->setChecked(true);
    m_wholeKilo = new QRadioButton(QStringLiteral("全キロで登録(&W)"), this);
    m_wholeKilo->setObjectName(QStringLiteral("RadioWholeKilo"));

    fields->addWidget(buddyLabel(QStringLiteral("発駅(&A)"), m_from, this), 0, 0);
    fields->addWidget(m_from, 0, 1);
    fields->addWidget(buddyLabel(QStringLiteral("着駅(&T)"), m_to, this), 0, 2);
    fields->addWidget(m_to, 0, 3);
    fields->addWidget(buddyLabel(QStringLiteral("乗車日(&Y)"), m_date, this), 0, 4);
    fields->addWidget(m_date, 0, 5);
    fields->addWidget(buddyLabel(QStringLiteral("経由駅(&V)"), m_viaEdit, this), 1, 0, Qt::AlignTop);
    fields->addWidget(m_viaEdit, 1, 1, Qt::AlignTop);
    fields->addWidget(m_vias, 1, 2, 1, 2);
    fields->addWidget(removeViaButton, 1, 4, Qt::AlignTop);
    fields->addWidget(m_noShinkansen, 2, 1);
    fields->addWidget(buddyLabel(QStringLiteral("通らない路線(&O)"), m_avoid, this), 2, 2);
    fields->addWidget(m_avoid, 2, 3);
    auto* kiloChoice = new QHBoxLayout;
    kiloChoice->addWidget(m_newKilo);
    kiloChoice->addWidget(m_wholeKilo);
    fields->addLayout(kiloChoice, 2, 4, 1, 2);
    body->addLayout(fields);

    auto* middle = new QHBoxLayout;
    auto* gridColumn = new QVBoxLayout;
    m_model = new JourneyModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_grid->setColumnWidth(0, 72);
    m_grid->setColumnWidth(1, 170);
    m_grid->setColumnWidth(3, 70);
    m_grid->setColumnWidth(4, 80);
    gridColumn->addWidget(m_grid, 1);
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("LabelTotal"));
    gridColumn->addWidget(m_total);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("LabelResult"));
    gridColumn->addWidget(m_result);
    middle->addLayout(gridColumn, 3);
    auto* candidateColumn = new QVBoxLayout;
    m_candidates = new QListWidget(this);
    m_candidates->setObjectName(QStringLiteral("ListCandidates"));
    candidateColumn->addWidget(buddyLabel(QStringLiteral("駅の候補(&L) ↑↓ で選び Enter"), m_candidates, this));
    candidateColumn->addWidget(m_candidates, 1);
    middle->addLayout(candidateColumn, 2);
    body->addLayout(middle, 1);
    root->addLayout(body, 1);

    auto* column = new QVBoxLayout;
    auto* searchButton = ui::commandButton(this, column, "BitBtnS", QStringLiteral("経路検索(&S)"));
    m_recordButton = ui::commandButton(this, column, "BitBtnR", QStringLiteral("登録(&R)"));
    m_recordButton->setEnabled(false);
    column->addStretch();
    auto* close = ui::commandButton(this, column, "BitBtnE", QStringLiteral("終了(&E)"));
    root->addLayout(column);

    setTabOrder(m_from, m_to);
    setTabOrder(m_to, m_viaEdit);
    setTabOrder(m_viaEdit, m_vias);
    setTabOrder(m_vias, removeViaButton);
    setTabOrder(removeViaButton, m_date);

    ui::connectCommand(searchButton, this, [this] { search(); });
    ui::connectCommand(m_recordButton, this, [this] { record(); });
    ui::connectCommand(removeViaButton, this, [this] { removeVia(); });
    connect(close, &QPushButton::clicked, this, &Screen::closeScreen);
    for (StationField* f : {m_from, m_to, m_viaEdit}) {
        connect(f, &QLineEdit::textEdited, this, [this, f] {
            m_searched = false;
            m_recordButton->setEnabled(false);
            showCandidates(f);
        });
        connect(f, &StationField::moveCandidate, this, [this, f](int step) {
            if (m_listedFor != f)
                showCandidates(f);
            const int row = std::clamp(m_candidates->currentRow() + step, 0, m_candidates->count() - 1);
            m_candidates->setCurrentRow(row);
        });
        connect(f, &StationField::accept, this, [this, f] { ui::runCommand(this, [this, f] { takeCandidate(f); }); });
        f->installEventFilter(this);
    }
    m_candidates->installEventFilter(this);
    m_vias->installEventFilter(this);
    for (QWidget* w : std::initializer_list<QWidget*>{m_date, m_avoid})
        connect(qobject_cast<QLineEdit*>(w), &QLineEdit::textEdited, this, [this] {
            m_searched = false;
            m_recordButton->setEnabled(false);
        });
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{m_noShinkansen, m_newKilo})
        connect(b, &QAbstractButton::toggled, this, [this] {
            m_searched = false;
            m_recordButton->setEnabled(false);
        });

    loadNetwork();
}

TJourney::~TJourney() = default;

namespace {

qint64 dataVersion(Database& db) {
    return db.scalar(QStringLiteral("PRAGMA data_version")).toLongLong();
}

} // namespace

void TJourney::activated() {
    ui::runQuietly(this, [this] {
        if (dataVersion(*m_ref) == m_refVersion)
            return;
        // The places found before may not exist any more: the stations are looked up again by name.
        const QString from = m_from->text(), to = m_to->text();
        m_model->setJourney({}, &m_network);
        loadNetwork();
        m_from->setNode(-1, from);
        m_to->setNode(-1, to);
        m_vias->clear();
        m_candidates->clear();
        m_listedFor = nullptr;
        m_total->clear();
        m_searched = false;
        m_recordButton->setEnabled(false);
    });
}

void TJourney::loadNetwork() {
    m_index.reset();
    m_finder.reset();
    m_refVersion = dataVersion(*m_ref);
    m_network = network::loadStations(*m_ref);
    m_finder = std::make_unique<netroute::RouteFinder>(m_network);
    m_index = std::make_unique<netroute::StationIndex>(m_network);
}

bool TJourney::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* f = qobject_cast<StationField*>(watched); f && m_listedFor != f)
            showCandidates(f);
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == m_candidates && (key == Qt::Key_Return || key == Qt::Key_Enter) && m_listedFor) {
            m_listedFor->setFocus();
            ui::runCommand(this, [this] { takeCandidate(m_listedFor); });
            return true;
        }
        if (watched == m_vias && key == Qt::Key_Delete) {
            removeVia();
            return true;
        }
    }
    return Screen::eventFilter(watched, event);
}

void TJourney::showCandidates(StationField* field) {
    m_listedFor = field;
    m_candidates->clear();
    if (!m_index)
        return;
    for (const netroute::StationMatch& m : m_index->find(field->text(), 50)) {
        auto* item = new QListWidgetItem(QStringLiteral("%1　(%2)").arg(m.name, m.routes), m_candidates);
        item->setData(Qt::UserRole, m.node);
        item->setData(Qt::UserRole + 1, m.name);
    }
    if (m_candidates->count() > 0)
        m_candidates->setCurrentRow(0);
}

void TJourney::takeCandidate(StationField* field) {
    // Enter in an empty via field: the stations are all there, find the journey.
    if (field == m_viaEdit && field->text().trimmed().isEmpty()) {
        if (search())
            m_grid->setFocus();
        return;
    }
    if (field->node() < 0) {
        if (m_listedFor != field)
            showCandidates(field);
        QListWidgetItem* item = m_candidates->currentItem();
        if (!item) {
            ui::information(this, kCaption, QStringLiteral("駅 「%1」 が見つかりません。").arg(field->text()));
            return;
        }
        field->setNode(item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toString());
    }
    if (field == m_viaEdit) {
        addVia(field->node(), field->text());
        field->setNode(-1, QString());
        m_candidates->clear();
    } else {
        (field == m_from ? m_to : m_viaEdit)->setFocus(Qt::TabFocusReason);
    }
}

void TJourney::addVia(int node, const QString& name) {
    auto* item = new QListWidgetItem(name, m_vias);
    item->setData(Qt::UserRole, node);
    m_vias->setCurrentItem(item);
    m_searched = false;
    m_recordButton->setEnabled(false);
}

void TJourney::removeVia() {
    const int row = m_vias->currentRow();
    if (row < 0)
        return;
    delete m_vias->takeItem(row);
    m_searched = false;
    m_recordButton->setEnabled(false);
}

QVector<int> TJourney::points(QString& missing) const {
    QVector<int> nodes;
    auto resolve = [&](StationField* f, const QString& what) {
        if (f->node() >= 0)
            return f->node();
        if (f->text().trimmed().isEmpty()) {
            missing = QStringLiteral("%1を入れてください。").arg(what);
            return -1;
        }
        QString error;
        const int node = stationForName(*m_index, f->text(), error);
        if (node < 0)
            missing = error;
        return node;
    };
    const int from = resolve(m_from, QStringLiteral("発駅"));
    if (from < 0)
        return {};
    nodes.append(from);
    for (int i = 0; i < m_vias->count(); ++i)
        nodes.append(m_vias->item(i)->data(Qt::UserRole).toInt());
    const int to = resolve(m_to, QStringLiteral("着駅"));
    if (to < 0)
        return {};
    nodes.append(to);
    return nodes;
}

bool TJourney::search() {
    m_result->clear();
    QString missing;
    const QVector<int> nodes = points(missing);
    if (nodes.isEmpty()) {
        ui::information(this, kCaption, missing);
        return false;
    }
    netroute::Options options;
    options.avoidShinkansen = m_noShinkansen->isChecked();
    for (const QString& name :
         m_avoid->text().split(QRegularExpression(QStringLiteral("[、,，\\s]+")), Qt::SkipEmptyParts))
        options.avoidRoutes.append(name);
    netroute::Journey journey = m_finder->find(nodes, options);
    if (!journey.found) {
        m_model->setJourney({}, &m_network);
        m_total->clear();
        const auto name = [&](int node) { return m_network.nodes[node].name; };
        ui::information(this, kCaption,
                        QStringLiteral("%1 から %2 へ行く経路が見つかりません。")
                            .arg(name(nodes[journey.unreachablePart]), name(nodes[journey.unreachablePart + 1])));
        return false;
    }
    countNewKilo(journey, m_network, *m_per);
    m_model->setJourney(journey, &m_network);
    m_total->setText(QStringLiteral("合計 %1 km　うち新規 %2 km　(%3 区間)")
                         .arg(kiloText(journey.kilo()), kiloText(journey.newKilo()))
                         .arg(journey.legs.size()));
    m_searched = true;
    m_recordButton->setEnabled(!journey.legs.isEmpty());
    return true;
}

bool TJourney::record() {
    if (!m_searched && !search())
        return false;
    const QDate day = QDate::fromString(m_date->text().trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid()) {
        ui::information(
            this, kCaption,
            QStringLiteral("乗車日 「%1」 は yyyy-mm-dd の形の実在する日ではありません。").arg(m_date->text()));
        m_date->setFocus();
        return false;
    }
    const RecordResult r = recordJourney(*m_per, m_network, m_model->journey(), day, m_wholeKilo->isChecked());
    m_result->setText(r.summary());
    m_recordButton->setEnabled(false);
    m_searched = false;
    // The journey is done: the next one starts without its vias (its stations stay, for the way back).
    m_vias->clear();
    m_from->setFocus(Qt::ShortcutFocusReason);
    return true;
}

QString TJourney::resultText() const {
    return m_result->text();
}

TJourney* openJourneyScreen(QWidget* from) {
    if (QWidget* main = from ? from->window() : nullptr)
        if (auto* command = main->findChild<QAction*>(QStringLiteral("ActionMotoDataJourney"))) {
            QPointer<TJourney> before = latestScreen<TJourney>(QStringLiteral("TJourney"));
            command->trigger();
            TJourney* opened = latestScreen<TJourney>(QStringLiteral("TJourney"));
            return opened != before ? opened : nullptr;
        }
    TJourney* screen = nullptr;
    ui::runCommand(from, [&] { screen = new TJourney(nullptr); });
    if (!screen)
        return nullptr;
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->setWindowTitle(kCaption);
    screen->resize(1098, 570);
    screen->show();
    return screen;
}

bool TJourney::setJourney(const QStringList& stations, const QDate& day) {
    if (stations.size() < 2)
        return false;
    QVector<int> nodes;
    for (const QString& s : stations) {
        QString error;
        const int node = stationForName(*m_index, s, error);
        if (node < 0) {
            ui::information(this, kCaption, error);
            return false;
        }
        nodes.append(node);
    }
    m_from->setNode(nodes.first(), m_network.nodes[nodes.first()].name);
    m_to->setNode(nodes.last(), m_network.nodes[nodes.last()].name);
    m_vias->clear();
    for (int i = 1; i + 1 < nodes.size(); ++i)
        addVia(nodes[i], m_network.nodes[nodes[i]].name);
    if (day.isValid())
        m_date->setText(day.toString(QStringLiteral("yyyy-MM-dd")));
    return search();
}

} // namespace tabi::routes
