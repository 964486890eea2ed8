#include "app/mainform.h"

#include "app/accessimportcommand.h"
#include "app/config.h"
#include "app/guide.h"
#include "app/mdichild.h"
#include "app/mnemonics.h"
#include "app/netimportdialog.h"
#include "app/rideexchange.h"
#include "ui/command.h"
#include "ui/dialogs.h"
#include "ui/helptopics.h"
#include "ui/helpwindow.h"
#include "ui/screen.h"
#include "ui/screens.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

// Resources of a static library are registered by name from the code that uses them.
static void initShellResources() {
    Q_INIT_RESOURCE(app);
}

namespace tabi {

namespace {

struct CommandSpec {
    const char* name;
    const char* caption;
    const char* hint; // "short|long", or one text for both
    const char* shortcut;
    const char* icon;
};

// Every command of the main window with its caption, hint, shortcut and tool bar icon.
const CommandSpec kCommands[] = {
    {"FileNew1", "新規作成(&N)", "新規|新規ファイルの作成", "Ctrl+N", "new"},
    {"FileOpen1", "開く(&O)", "開く|ファイルを開く", "Ctrl+O", "open"},
    {"FileClose1", "閉じる(&C)", "閉じる|現在のファイルを閉じる", "", ""},
    {"FileSave1", "保存(&S)", "保存|現在のファイルを保存", "Ctrl+S", "save"},
    {"FileSaveAs1", "名前を付けて保存(&A)...", "名前を付けて保存|現在のファイルをほかの名前で保存", "", ""},
    {"ActionConfig", "環境設定(&C)", "画像ファイルのフォルダーの指定や，利用者情報の設定", "", ""},
    {"ActionImportAccess", "Accessデータベースの取り込み(&I)...",
     "Access の参照データベースと個人データベースの記録を取り込む", "", ""},
    {"ActionImportNetwork", "全国路線データの取り込み(&L)...",
     "全国路線データの取り込み|公開の駅データから全国の路線と駅を参照データベースに取り込む", "", ""},
    {"ActionImportRides", "乗車記録の取り込み (CSV)...",
     "乗車記録の取り込み|表計算などで作った CSV ファイルの乗車を路線と区間に照らして取り込む", "", ""},
    {"ActionExportRides", "乗車記録の書き出し (GeoJSON・KML・GPX)...",
     "乗車記録の書き出し|乗車した区間を地図のデータ(GeoJSON・KML・GPX)として書き出す", "", ""},
    {"FileExit1", "終了(&X)", "終了|アプリケーションの終了", "", ""},
    {"EditCut1", "切り取り(&T)", "切り取り|選択部分を切り取り，クリップボードに送る", "Ctrl+X", "cut"},
    {"EditCopy1", "コピー(&C)", "コピー|選択範囲をクリップボードにコピー", "Ctrl+C", "copy"},
    {"EditPaste1", "貼り付け(&P)", "貼り付け|クリップボードの内容を貼り付ける", "Ctrl+V", "paste"},
    {"ActionMotoDataJiseki", "鉄道・軌道 乗車実績(&J)", "鉄道・軌道の乗車実績を効率よく入力", "", ""},
    {"ActionMotoDataRosen", "鉄道・軌道(&R)", "鉄道・軌道のデータ", "", ""},
    {"ActionMotoDataJourney", "乗車経路の入力(&I)...", "発駅・経由駅・着駅から経路を求め，路線ごとの乗車実績として登録",
     "", ""},
    {"ActionMotoSakudo", "普通索道(&S)", "普通索道のデータ", "", ""},
    {"ActionOmakeRyotei", "旅程管理(簡易)(&T)", "鉄道移動中心の簡易な旅程管理", "", ""},
    {"ActionOmakeShikoku88", "その他訪問履歴等(&K)", "その他(作成中)", "", ""},
    {"ActionMasterBunrui", "分類(&B)", "分類ごと", "", ""},
    {"ActionMasterKubun", "区分(&K)", "区分ごと", "", ""},
    {"ActionMasterToshi", "年別(&N)", "年ごと", "", ""},
    {"ActionMasterOthers", "その他(&O)", "その他", "", ""},
    {"ActionShukeiBunrui", "分類(&B)", "乗車実績を分類ごとに集計", "", ""},
    {"ActionShukeiKubun", "区分(&K)", "乗車実績を区分ごとに集計", "", ""},
    {"ActionShukeiToshi", "年別(&N)", "乗車実績を年もしくは年度ごとに集計", "", ""},
    {"ActionShukeiChizu", "乗車地図(&C)", "乗車した区間を地図に描き，都道府県ごとの乗車状況を集計", "", ""},
    {"ActionShukeiSuii", "乗車の推移(&T)",
     "乗車キロと乗車率の推移をグラフに描き，年ごとの新規乗車・完乗・初めての都道府県を一覧", "", ""},
    {"ActionShukeiMijo", "未乗路線一覧(&M)", "未乗路線(区間ではない)を一覧表示／全路線の乗車状況を参照する使い方も可能",
     "", ""},
    {"ActionCheckJisseki", "乗車実績確認(&J)", "", "", ""},
    {"ActionOmakeFiles", "関連写真ファイルの確認(&F)", "路線にひもづいていない写真の有無，各写真のサイズ等の確認", "",
     ""},
    {"WindowCascade1", "重ねて表示(&C)", "カスケード", "", "cascade"},
    {"WindowTileHorizontal1", "横に並べて表示(&H)", "横に並べて表示", "", "tileh"},
    {"WindowTileVertical1", "縦に並べて表示(&V)", "縦に並べて表示", "", "tilev"},
    {"WindowMinimizeAll1", "すべて最小化(&M)", "すべて最小化", "", ""},
    {"WindowArrangeAll1", "すべて整列(&A)", "すべて整列", "", ""},
    {"ActionGuide", "はじめに(&G)", "はじめに|最初にすることの案内", "", ""},
    {"ActionHelpIndex", "ヘルプ索引(&H)", "", "", ""},
    {"HelpAbout1", "バージョン情報(&A)...", "バージョン情報|プログラム情報，バージョン番号，著作権の表示", "", ""},
};

struct MenuSpec {
    const char* name;
    const char* caption;
    const char* hint;
};

struct ItemSpec {
    const char* item;
    const char* command; // null: a separator
};

struct MenuTable {
    MenuSpec menu;
    std::initializer_list<ItemSpec> items;
};

const MenuTable kMenus[] = {
    {{"File1", "ファイル(&F)", "ファイル関連のコマンド"},
     {{"FileNewItem", "FileNew1"},
      {"FileOpenItem", "FileOpen1"},
      {"FileCloseItem", "FileClose1"},
      {"FileSaveItem", "FileSave1"},
      {"FileSaveAsItem", "FileSaveAs1"},
      {"N1", nullptr},
      {"Action11", "ActionConfig"},
      {"ImportAccessItem", "ActionImportAccess"},
      {"ImportNetworkItem", "ActionImportNetwork"},
      {"ImportRidesItem", "ActionImportRides"},
      {"ExportRidesItem", "ActionExportRides"},
      {"N2", nullptr},
      {"FileExitItem", "FileExit1"}}},
    {{"Edit1", "編集(&E)", "コマンドの編集"},
     {{"CutItem", "EditCut1"}, {"CopyItem", "EditCopy1"}, {"PasteItem", "EditPaste1"}}},
    {{"MotoData1", "データ(&D)", "各種実データの更新"},
     {{"MotoDataJisseki", "ActionMotoDataJiseki"},
      {"MotoDataRosen", "ActionMotoDataRosen"},
      {"MotoDataJourney", "ActionMotoDataJourney"},
      {"N3", nullptr},
      {"MotoDataSakudo", "ActionMotoSakudo"},
      {"OmakeRyotei", "ActionOmakeRyotei"},
      {"OmakeShikoku88", "ActionOmakeShikoku88"}}},
    {{"Master1", "マスター(&M)", "マスター管理"},
     {{"MasterBunrui", "ActionMasterBunrui"},
      {"MasterKubun", "ActionMasterKubun"},
      {"MasterToshi", "ActionMasterToshi"},
      {"MasterOthers", "ActionMasterOthers"}}},
    {{"Shukei1", "集計(&S)", "各種集計"},
     {{"ShukeiBunrui", "ActionShukeiBunrui"},
      {"ShukeiKubun", "ActionShukeiKubun"},
      {"ShukeiToshi", "ActionShukeiToshi"},
      {"ShukeiChizu", "ActionShukeiChizu"},
      {"ShukeiSuii", "ActionShukeiSuii"}}},
    {{"Utility1", "ユティリティ(&U)", "各種ユティリティ"},
     {{"M1", "ActionShukeiMijo"}, {"あ", "ActionCheckJisseki"}, {"F1", "ActionOmakeFiles"}}},
    {{"Window1", "ウィンドウ(&W)", "Window 関連コマンド"},
     {{"WindowCascadeItem", "WindowCascade1"},
      {"WindowTileItem", "WindowTileHorizontal1"},
      {"WindowTileItem2", "WindowTileVertical1"},
      {"WindowMinimizeItem", "WindowMinimizeAll1"},
      {"WindowArrangeItem", "WindowArrangeAll1"}}},
    {{"Help1", "ヘルプ(&H)", "ヘルプトピック"},
     {{"HelpGuideItem", "ActionGuide"}, {"HelpIndex", "ActionHelpIndex"}, {"HelpAboutItem", "HelpAbout1"}}},
};

// Tool bar buttons, left to right; null command = a separator.
const ItemSpec kToolButtons[] = {
    {"ToolButton9", "FileNew1"},
    {"ToolButton1", "FileOpen1"},
    {"ToolButton2", "FileSave1"},
    {"ToolButton3", nullptr},
    {"ToolButton4", "EditCut1"},
    {"ToolButton5", "EditCopy1"},
    {"ToolButton6", "EditPaste1"},
    {"ToolButton7", nullptr},
    {"ToolButton8", "WindowCascade1"},
    {"ToolButton10", "WindowTileHorizontal1"},
    {"ToolButton11", "WindowTileVertical1"},
};

// Commands that open a screen through the registry.
const char* const kScreenCommands[] = {
    "ActionConfig",      "ActionMotoDataJiseki", "ActionMotoDataRosen",   "ActionMotoSakudo",
    "ActionOmakeRyotei", "ActionOmakeShikoku88", "ActionMasterBunrui",    "ActionMasterKubun",
    "ActionMasterToshi", "ActionMasterOthers",   "ActionShukeiBunrui",    "ActionShukeiKubun",
    "ActionShukeiToshi", "ActionShukeiMijo",     "ActionCheckJisseki",    "ActionOmakeFiles",
    "ActionShukeiChizu", "ActionGuide",          "ActionMotoDataJourney", "ActionShukeiSuii",
};

// A document window that also closes when its screen closes itself (QWidget::close() on the screen), so no
// empty frame is left behind; closing the frame still asks the screen first.
class DocumentFrame : public QMdiSubWindow {
public:
    explicit DocumentFrame(QWidget* screen) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWidget(screen);
        screen->installEventFilter(this);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        m_closing = true;
        QMdiSubWindow::closeEvent(event);
        m_closing = event->isAccepted();
        if (m_closing)
            if (auto* screen = qobject_cast<Screen*>(widget()))
                ui::runCommand(screen, [screen] { screen->deactivated(); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && watched == widget() && !m_closing) {
            // The screen closes itself: it decides first, then the frame follows without asking it again
            // (the screen is already marked as closing, so the frame's request to it returns at once).
            watched->event(event);
            if (event->isAccepted())
                close();
            return true;
        }
        return QMdiSubWindow::eventFilter(watched, event);
    }

private:
    bool m_closing = false;
};

QString shortHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

// The line edit behind a focused field: a spin box or an editable combo box keeps the focus on itself.
QLineEdit* lineEditOf(QWidget* w) {
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->isEditable() ? combo->lineEdit() : nullptr;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w))
        return spin->findChild<QLineEdit*>();
    return nullptr;
}

bool isEditField(QWidget* w) {
    return lineEditOf(w) || qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w);
}

bool hasSelection(QWidget* w) {
    if (QLineEdit* edit = lineEditOf(w))
        return edit->hasSelectedText();
    if (auto* text = qobject_cast<QTextEdit*>(w))
        return text->textCursor().hasSelection();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        return plain->textCursor().hasSelection();
    return false;
}

bool isReadOnly(QWidget* w) {
    if (QLineEdit* edit = lineEditOf(w))
        return edit->isReadOnly();
    if (auto* text = qobject_cast<QTextEdit*>(w))
        return text->isReadOnly();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        return plain->isReadOnly();
    return true;
}

enum class EditOp { Cut, Copy, Paste };

void applyEdit(QWidget* w, EditOp op) {
    if (!w)
        return;
    // A read-only field gives up its text to copy but is not changed by cut or paste.
    if (op != EditOp::Copy && isReadOnly(w))
        op = op == EditOp::Cut ? EditOp::Copy : op;
    if (op == EditOp::Paste && isReadOnly(w))
        return;
    auto run = [op](auto* edit) {
        switch (op) {
        case EditOp::Cut:
            edit->cut();
            break;
        case EditOp::Copy:
            edit->copy();
            break;
        case EditOp::Paste:
            edit->paste();
            break;
        }
    };
    if (QLineEdit* edit = lineEditOf(w))
        run(edit);
    else if (auto* text = qobject_cast<QTextEdit*>(w))
        run(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        run(plain);
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), m_mdiArea(new QMdiArea(this)) {
    initShellResources();
    registerShellScreens();
    // The guide runs the main window's own commands, so it is registered by the window that has them.
    registerScreen(QStringLiteral("ActionGuide"), [this](QWidget* parent) {
        return new TGuide([this](const QString& name) { command(name)->trigger(); }, parent);
    });
    ui::installBusyWaitCursor();
    installHelpKey();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(ui::applicationTitle());
    // The program's icon, which every document window shows too.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tabiroku/icons/tabiroku.png")));
    resize(1184, 825);

    m_mdiArea->setObjectName(QStringLiteral("ClientArea"));
    m_mdiArea->setBackground(palette().brush(QPalette::Dark));
    // Closing the active document window activates the one used just before it.
    m_mdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(m_mdiArea);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar"));
    setStatusBar(status);

    createCommands();
    createMenus();
    createToolBar();
    connectCommands();

    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::onSubWindowActivated);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { trackEditTarget(now); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TMainForm::updateEditCommands);

    m_mnemonics = new MnemonicRouter(this, [this]() -> QWidget* {
        QMdiSubWindow* active = m_mdiArea->activeSubWindow();
        return active ? active->widget() : nullptr;
    });
    qApp->installEventFilter(m_mnemonics);

    updateWindowCommands();
    updateEditCommands();
}

TMainForm::~TMainForm() {
    // Document windows are destroyed with the frame; none of them is activated on the way out.
    m_closing = true;
    qApp->removeEventFilter(m_mnemonics);
    disconnect(m_mdiArea, nullptr, this, nullptr);
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QApplication::clipboard(), nullptr, this, nullptr);
    disconnect(m_editTargetConnection);
    // The screens go first, while the frame is still whole; closed ones may still await their deletion.
    const QList<QMdiSubWindow*> frames = m_mdiArea->findChildren<QMdiSubWindow*>();
    for (QMdiSubWindow* f : frames)
        disconnect(f, nullptr, this, nullptr);
    qDeleteAll(frames);
}

QAction* TMainForm::command(const QString& name) const {
    for (QAction* a : actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

QAction* TMainForm::addCommand(const char* name, const char* hint, const QString& shortcut, const QString& icon) {
    auto* action = new QAction(this);
    action->setObjectName(QString::fromUtf8(name));
    const QString h = QString::fromUtf8(hint);
    action->setProperty("hint", h);
    action->setToolTip(shortHint(h));
    action->setStatusTip(longHint(h));
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut));
    if (!icon.isEmpty())
        action->setIcon(QIcon(QStringLiteral(":/tabiroku/icons/%1.png").arg(icon)));
    // Added to the frame so that its shortcut works anywhere in the main window.
    addAction(action);
    return action;
}

void TMainForm::createCommands() {
    for (const CommandSpec& c : kCommands) {
        QAction* a = addCommand(c.name, c.hint, QString::fromLatin1(c.shortcut), QString::fromLatin1(c.icon));
        a->setText(QString::fromUtf8(c.caption));
    }
    command(QStringLiteral("FileSave1"))->setEnabled(false);
    command(QStringLiteral("FileSaveAs1"))->setEnabled(false);
}

void TMainForm::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const MenuTable& t : kMenus) {
        auto* menu = new QMenu(QString::fromUtf8(t.menu.caption), this);
        menu->setObjectName(QString::fromUtf8(t.menu.name));
        const QString hint = QString::fromUtf8(t.menu.hint);
        menu->menuAction()->setObjectName(QString::fromUtf8(t.menu.name) + QStringLiteral("Action"));
        menu->menuAction()->setProperty("hint", hint);
        menu->menuAction()->setStatusTip(longHint(hint));
        for (const ItemSpec& i : t.items) {
            QAction* item = nullptr;
            if (!i.command) {
                item = menu->addSeparator();
            } else {
                QAction* cmd = command(QString::fromUtf8(i.command));
                item = menu->addAction(cmd->icon(), cmd->text());
                item->setProperty("hint", cmd->property("hint"));
                item->setProperty("command", cmd->objectName());
                item->setStatusTip(cmd->statusTip());
                item->setToolTip(cmd->toolTip());
                // The item shows the command's shortcut but leaves the key to the command: a widget-level
                // shortcut on a menu item never competes with the window-level one of the command.
                item->setShortcut(cmd->shortcut());
                item->setShortcutContext(Qt::WidgetShortcut);
                connect(item, &QAction::triggered, cmd, [cmd] { cmd->trigger(); });
                auto sync = [item, cmd] { item->setEnabled(cmd->isEnabled() && !item->property("locked").toBool()); };
                connect(cmd, &QAction::changed, item, sync);
                sync();
            }
            item->setObjectName(QString::fromUtf8(i.item));
        }
        bar->addMenu(menu);
        if (menu->objectName() == QLatin1String("Window1"))
            m_windowMenu = menu;
    }
    // The ride record entry is reached by no command: its item stays greyed.
    if (auto* jisseki = findChild<QAction*>(QStringLiteral("MotoDataJisseki"))) {
        jisseki->setProperty("locked", true);
        jisseki->setEnabled(false);
    }
    connect(m_windowMenu, &QMenu::aboutToShow, this, &TMainForm::refreshWindowMenu);
}

void TMainForm::createToolBar() {
    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("ToolBar2"));
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setIconSize(QSize(16, 16));
    tools->setFixedHeight(30);
    tools->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    for (const ItemSpec& b : kToolButtons) {
        if (!b.command) {
            tools->addSeparator()->setObjectName(QString::fromUtf8(b.item));
            continue;
        }
        auto* button = new QToolButton(tools);
        button->setObjectName(QString::fromUtf8(b.item));
        button->setDefaultAction(command(QString::fromUtf8(b.command)));
        button->setAutoRaise(true);
        tools->addWidget(button);
    }
    addToolBar(Qt::TopToolBarArea, tools);
}

void TMainForm::connectCommands() {
    auto on = [this](const char* name, auto handler) {
        connect(command(QString::fromUtf8(name)), &QAction::triggered, this,
                [this, handler] { ui::runCommand(this, [this, handler] { (this->*handler)(); }); });
    };
    on("FileNew1", &TMainForm::fileNew);
    on("FileOpen1", &TMainForm::fileOpen);
    connect(command(QStringLiteral("FileClose1")), &QAction::triggered, this, [this] {
        if (QMdiSubWindow* current = m_mdiArea->currentSubWindow())
            current->close();
    });
    connect(command(QStringLiteral("ActionImportAccess")), &QAction::triggered, this,
            [this] { importAccessDatabases(this, m_mdiArea); });
    connect(command(QStringLiteral("ActionImportRides")), &QAction::triggered, this, [this] {
        bool wrote = false;
        ui::runCommand(this, [&] { wrote = importRidesFromCsv(this); });
        if (wrote)
            refreshActiveScreen();
    });
    connect(command(QStringLiteral("ActionExportRides")), &QAction::triggered, this,
            [this] { ui::runCommand(this, [this] { exportRidesToFile(this); }); });
    connect(command(QStringLiteral("FileExit1")), &QAction::triggered, this, &QWidget::close);
    connect(command(QStringLiteral("EditCut1")), &QAction::triggered, this, [this] {
        applyEdit(m_editTarget, EditOp::Cut);
        updateEditCommands();
    });
    connect(command(QStringLiteral("EditCopy1")), &QAction::triggered, this, [this] {
        applyEdit(m_editTarget, EditOp::Copy);
        updateEditCommands();
    });
    connect(command(QStringLiteral("EditPaste1")), &QAction::triggered, this, [this] {
        applyEdit(m_editTarget, EditOp::Paste);
        updateEditCommands();
    });
    connect(command(QStringLiteral("WindowCascade1")), &QAction::triggered, m_mdiArea, &QMdiArea::cascadeSubWindows);
    on("WindowTileHorizontal1", &TMainForm::tileHorizontally);
    on("WindowTileVertical1", &TMainForm::tileVertically);
    on("WindowMinimizeAll1", &TMainForm::minimizeAll);
    on("WindowArrangeAll1", &TMainForm::arrangeIcons);
    on("ActionHelpIndex", &TMainForm::helpIndex);
    on("HelpAbout1", &TMainForm::helpAbout);
    // Runs its own steps (dialogs between them), so it is not wrapped as one command.
    connect(command(QStringLiteral("ActionImportNetwork")), &QAction::triggered, this, [this] {
        if (runNetworkImport(this))
            refreshActiveScreen();
    });
    for (const char* name : kScreenCommands) {
        const QString cmd = QString::fromUtf8(name);
        connect(command(cmd), &QAction::triggered, this, [this, cmd] { openScreen(cmd); });
    }
}

QWidget* TMainForm::openScreen(const QString& commandName) {
    const ScreenFactory factory = screenFactory(commandName);
    if (!factory)
        return nullptr; // a screen not supplied by any subsystem: the command does nothing
    QPointer<QWidget> screen;
    ui::runCommand(this, [&] {
        screen = factory(this);
        if (!screen)
            return;
        const WindowLayout* layout = layoutForCommand(commandName);
        if (layout)
            setLatestScreen(layout->className, screen);
        addDocument(screen, layout);
    });
    return screen;
}

QMdiSubWindow* TMainForm::addDocument(QWidget* widget, const WindowLayout* layout) {
    if (layout && widget->windowTitle().isEmpty())
        widget->setWindowTitle(layout->caption);
    auto* frame = new DocumentFrame(widget);
    m_mdiArea->addSubWindow(frame);
    if (layout && layout->fixedSize) {
        // A fixed outer size: nothing to maximise.
        frame->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
        frame->setFixedSize(layout->size);
    } else {
        frame->resize(layout ? layout->size : QSize(1098, 562));
    }
    frame->move(documentPosition(frame, layout));
    connect(frame, &QObject::destroyed, this, [this] { updateWindowCommands(); });
    connect(widget, &QWidget::windowTitleChanged, frame, &QWidget::setWindowTitle);
    // The control the window gives the focus to when it becomes active: the first one that Tab reaches (left to
    // itself the frame would take the first that a click can focus, a read-only grid for instance).
    focusFirstControl(widget);
    frame->show();
    m_mdiArea->setActiveSubWindow(frame);
    // A screen opens ready for the keyboard: unless it chose a control itself when it was activated, the focus
    // goes to its first control in Tab order (the screen widget itself takes no keys).
    QWidget* focused = frame->focusWidget();
    if (!focused || focused == widget || !widget->isAncestorOf(focused))
        focusFirstControl(widget);
    updateWindowCommands();
    return frame;
}

QPoint TMainForm::documentPosition(QMdiSubWindow* frame, const WindowLayout* layout) {
    // Before the frame is first shown its document area has no size yet: nothing to fit into.
    const bool laidOut = m_mdiArea->isVisible();
    const QSize area = laidOut ? m_mdiArea->viewport()->size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const int caption = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
    QPoint pos;
    if (layout && layout->position) {
        pos = *layout->position;
    } else {
        pos = cascadePosition(m_lastCascade, frame->size(), area, caption);
        m_lastCascade = pos;
    }
    // Whatever the area's size, the caption stays inside it, where it can be reached.
    if (laidOut) {
        pos.setX(std::max(0, std::min(pos.x(), area.width() - 2 * caption)));
        pos.setY(std::max(0, std::min(pos.y(), area.height() - caption)));
    }
    return pos;
}

QMdiSubWindow* TMainForm::newTextDocument(const QString& caption) {
    auto* child = new TMDIChild(caption);
    return addDocument(child, layoutForClass(QStringLiteral("TMDIChild")));
}

void TMainForm::fileNew() {
    newTextDocument(QStringLiteral("NONAME%1").arg(m_mdiArea->subWindowList().size() + 1));
}

void TMainForm::fileOpen() {
    const QString file = ui::getOpenFileName(this, QString(), QStringLiteral("すべてのファイル (*.*)"));
    if (!file.isEmpty())
        newTextDocument(file);
}

void TMainForm::setAboutBox(QDialog* aboutBox) {
    m_aboutBox = aboutBox;
}

void TMainForm::helpIndex() {
    showHelp(kStartTopic);
}

void TMainForm::helpAbout() {
    if (m_aboutBox)
        ui::execDialog(*m_aboutBox);
}

void TMainForm::onSubWindowActivated(QMdiSubWindow* window) {
    if (m_closing)
        return;
    updateWindowCommands();
    // Qt reports a window again when the frame itself is reactivated, e.g. after a modal dialog closes; only a
    // change of document window counts as activation.
    if (!window || window == m_lastActive)
        return;
    if (m_lastActive)
        if (auto* left = qobject_cast<Screen*>(m_lastActive->widget()))
            ui::runCommand(left, [left] { left->deactivated(); });
    m_lastActive = window;
    if (auto* screen = qobject_cast<Screen*>(window->widget()))
        ui::runCommand(screen, [screen] { screen->activated(); });
}

void TMainForm::refreshActiveScreen() {
    // The screen already active is not activated again by the frame (see onSubWindowActivated); the others read
    // again when they are.
    QMdiSubWindow* window = m_mdiArea->currentSubWindow();
    if (auto* screen = window ? qobject_cast<Screen*>(window->widget()) : nullptr)
        ui::runCommand(screen, [screen] { screen->activated(); });
}

void TMainForm::updateWindowCommands() {
    if (m_closing)
        return;
    const bool any = !m_mdiArea->subWindowList().isEmpty();
    for (const char* name : {"FileClose1", "WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                             "WindowMinimizeAll1", "WindowArrangeAll1"})
        command(QString::fromUtf8(name))->setEnabled(any);
}

void TMainForm::trackEditTarget(QWidget* now) {
    // The menu bar takes the focus while it is worked by keyboard; the field being edited stays the target.
    if (m_closing || !now || qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now))
        return;
    QWidget* target = isEditField(now) ? now : nullptr;
    if (target != m_editTarget) {
        disconnect(m_editTargetConnection);
        m_editTarget = target;
        if (QLineEdit* edit = lineEditOf(target))
            m_editTargetConnection = connect(edit, &QLineEdit::selectionChanged, this, &TMainForm::updateEditCommands);
        else if (auto* text = qobject_cast<QTextEdit*>(target))
            m_editTargetConnection = connect(text, &QTextEdit::copyAvailable, this, &TMainForm::updateEditCommands);
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(target))
            m_editTargetConnection =
                connect(plain, &QPlainTextEdit::copyAvailable, this, &TMainForm::updateEditCommands);
    }
    updateEditCommands();
}

void TMainForm::updateEditCommands() {
    if (m_closing)
        return;
    QWidget* target = m_editTarget;
    const bool selected = target && hasSelection(target);
    bool clipText = false;
    if (target) { // asking the clipboard may mean a round trip to another program
        const QMimeData* clip = QApplication::clipboard()->mimeData();
        clipText = clip && clip->hasText() && !clip->text().isEmpty();
    }
    command(QStringLiteral("EditCut1"))->setEnabled(selected);
    command(QStringLiteral("EditCopy1"))->setEnabled(selected);
    command(QStringLiteral("EditPaste1"))->setEnabled(clipText);
}

void TMainForm::refreshWindowMenu() {
    for (QAction* a : std::as_const(m_windowListActions)) {
        m_windowMenu->removeAction(a);
        delete a;
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions.append(m_windowMenu->addSeparator());
    QMdiSubWindow* current = m_mdiArea->currentSubWindow();
    for (QMdiSubWindow* w : windows) {
        QString caption = w->windowTitle();
        caption.replace(u'&', QStringLiteral("&&"));
        QAction* a = m_windowMenu->addAction(caption);
        // Only the active window carries a mark.
        a->setCheckable(w == current);
        a->setChecked(w == current);
        a->setStatusTip(QString());
        connect(a, &QAction::triggered, this, [this, target = QPointer<QMdiSubWindow>(w)] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            m_mdiArea->setActiveSubWindow(target);
        });
        m_windowListActions.append(a);
    }
}

namespace {

QList<QMdiSubWindow*> restoredWindows(QMdiArea* area) {
    QList<QMdiSubWindow*> list;
    for (QMdiSubWindow* w : area->subWindowList())
        if (w->isVisible() && !w->isMinimized())
            list.append(w);
    return list;
}

// Places the windows in equal cells, the active one first; a fixed-size window keeps its size.
void tile(QMdiArea* area, bool horizontal) {
    QList<QMdiSubWindow*> list = restoredWindows(area);
    if (list.isEmpty())
        return;
    if (QMdiSubWindow* active = area->currentSubWindow(); list.removeOne(active))
        list.prepend(active);
    const QRect room = area->viewport()->rect();
    const int n = int(list.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = list.at(i);
        if (w->isMaximized())
            w->showNormal();
        QRect cell;
        if (horizontal) {
            const int h = room.height() / n;
            cell = QRect(0, i * h, room.width(), i == n - 1 ? room.height() - i * h : h);
        } else {
            const int wd = room.width() / n;
            cell = QRect(i * wd, 0, i == n - 1 ? room.width() - i * wd : wd, room.height());
        }
        w->setGeometry(QRect(cell.topLeft(), cell.size().expandedTo(w->minimumSize()).boundedTo(w->maximumSize())));
    }
}

} // namespace

void TMainForm::tileHorizontally() {
    tile(m_mdiArea, true);
}

void TMainForm::tileVertically() {
    tile(m_mdiArea, false);
}

void TMainForm::minimizeAll() {
    for (QMdiSubWindow* w : m_mdiArea->subWindowList())
        w->showMinimized();
}

void TMainForm::arrangeIcons() {
    // Minimised windows line up from the bottom left, row above row.
    const QRect room = m_mdiArea->viewport()->rect();
    int x = 0;
    int y = room.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* w : m_mdiArea->subWindowList()) {
        if (!w->isMinimized())
            continue;
        const QSize s = w->size();
        if (rowHeight == 0) {
            rowHeight = s.height();
            y -= rowHeight;
        }
        if (x > 0 && x + s.width() > room.width()) {
            x = 0;
            y -= rowHeight;
        }
        w->move(x, y);
        x += s.width();
    }
}

} // namespace tabi
