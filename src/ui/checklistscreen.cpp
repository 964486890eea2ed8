#include "ui/checklistscreen.h"

#include <QRegularExpression>

#include "data/csvexport.h"
#include "data/settingsfile.h"
#include "ui/dbgrid.h"
#include "ui/dbkit.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/screenkit.h"
#include "ui/screens.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <optional>

namespace tabi::ui {

CheckListScreen::CheckListScreen(const QString& screenClass, const QString& table, const QString& order,
                                 QWidget* parent)
    : Screen(parent), m_ref(Database::open(DbKind::Reference)), m_list(m_ref, table, order) {
    setObjectName(screenClass.mid(1));
    if (const WindowLayout* layout = layoutForClass(screenClass))
        setWindowTitle(layout->caption);
    setFont(uiFont(12));
    m_list.open();

    QVBoxLayout* root = rootWithNavigator(this, m_list, &m_topBar);
    auto* body = new QHBoxLayout;
    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    static_cast<QFrame*>(m_panel)->setFrameShape(QFrame::StyledPanel);
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    m_grid = new DBGrid(m_panel);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setFont(uiFont(16));
    m_grid->setReadOnly(true);
    m_grid->setTableCursor(&m_list);
    panelLayout->addWidget(m_grid);
    body->addWidget(m_panel, 1);

    auto* commands = new QWidget(this);
    commands->setObjectName(QStringLiteral("PanelCommands"));
    commands->setFixedWidth(120);
    m_column = new QVBoxLayout(commands);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setAlignment(Qt::AlignHCenter);
    body->addWidget(commands);
    root->addLayout(body, 1);

    connect(addButton("BitBtnC", QStringLiteral("CSV(&C)")), &QPushButton::clicked, this,
            &CheckListScreen::exportCommand);
}

CheckListScreen::~CheckListScreen() {
    detachControls(m_list);
}

QPushButton* CheckListScreen::addButton(const char* name, const QString& caption) {
    return commandButton(this, m_column, name, caption);
}

void CheckListScreen::finishButtons() {
    if (!m_steps.isEmpty())
        addRunAll(this, m_column, m_steps, m_stepNames.join(QStringLiteral("→")));
    m_column->addStretch();
    connect(addButton("BitBtnE", QStringLiteral("終了(&E)")), &QPushButton::clicked, this, &Screen::closeScreen);
}

void CheckListScreen::runStep(int look, const std::function<void()>& step) {
    auto run = [&] {
        ReopenOnExit reopen{&m_list};
        SuspendControls suspend{m_list};
        std::optional<HiddenWhile> hidden;
        if (look & GridHidden)
            hidden.emplace(m_grid);
        step();
    };
    if (look & Busy)
        runCommand(this, run);
    else
        runQuietly(this, run);
}

QPushButton* CheckListScreen::addStep(const char* name, const QString& caption, int look, std::function<void()> step) {
    QPushButton* b = addButton(name, caption);
    connect(b, &QPushButton::clicked, this, [this, look, step = std::move(step)] { runStep(look, step); });
    m_steps << b;
    m_stepNames << QString(caption).remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    return b;
}

QString csvFolder() {
    const QString failure = QStringLiteral("Failure");
    const QString remembered = settings::readString(QStringLiteral("Path"), kCsvFolderKey, failure);
    if (remembered != failure && !remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void CheckListScreen::exportCommand() {
    // SaveDialog1: replaces an existing file without asking; a name without an extension gets ".CSV". It opens
    // in the folder of the last export, else in the user's documents folder.
    const QString file = getSaveFileNameReplacing(this, QStringLiteral("表示中の一覧をCSVファイルに出力します"),
                                                  QStringLiteral("CSV (カンマ区切り) (*.csv);;全てのファイル (*.*)"),
                                                  QStringLiteral("CSV"), csvFolder());
    if (file.isEmpty())
        return;
    const QString folder = QFileInfo(file).absolutePath();
    if (folder != settings::readString(QStringLiteral("Path"), kCsvFolderKey, QString()))
        runQuietly(this, [&] { settings::writeString(QStringLiteral("Path"), kCsvFolderKey, folder); });
    // The grid does not follow the cursor while the rows are read; the list ends on its first row either way.
    runQuietly(this, [&] {
        SuspendControls suspend{m_list};
        try {
            csv::writeFile(m_list, file);
        } catch (const Error&) {
            m_list.first();
            throw;
        }
    });
}

} // namespace tabi::ui
