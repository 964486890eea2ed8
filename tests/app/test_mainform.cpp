#include "app/mainform.h"
#include "app/mdichild.h"
#include "data/settingsfile.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"
#include "ui/command.h"
#include "ui/helptopics.h"
#include "ui/helpwindow.h"
#include "ui/screen.h"
#include "ui/screens.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <stdexcept>

using namespace tabi;
using test::DialogAnswerer;
using ui::DialogKind;

namespace {

// A screen that counts its activations and carries the buttons a test presses.
class ProbeScreen : public Screen {
    Q_OBJECT

public:
    explicit ProbeScreen(QWidget* parent = nullptr) : Screen(parent) {
        auto* layout = new QVBoxLayout(this);
        ratio = new QPushButton(QStringLiteral("割合(&W)"), this);
        date = new QPushButton(QStringLiteral("日付(&D)"), this);
        hidden = new QPushButton(QStringLiteral("終了(&E)"), this);
        hidden->hide();
        edit = new QLineEdit(this);
        for (QWidget* w : {static_cast<QWidget*>(ratio), static_cast<QWidget*>(date), static_cast<QWidget*>(edit)})
            layout->addWidget(w);
        connect(ratio, &QPushButton::clicked, this, [this] { ++ratioClicks; });
        connect(hidden, &QPushButton::clicked, this, [this] { ++hiddenClicks; });
    }
    void activated() override { ++activations; }
    void closeEvent(QCloseEvent* event) override {
        ++closeEvents;
        event->setAccepted(!refuseClose);
    }

    QPushButton* ratio;
    QPushButton* date;
    QPushButton* hidden;
    QLineEdit* edit;
    int activations = 0;
    int ratioClicks = 0;
    int hiddenClicks = 0;
    int closeEvents = 0;
    bool refuseClose = false;
};

QString keyText(const QAction* a) {
    return a->shortcut().toString(QKeySequence::PortableText);
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnv> m_env;
    std::unique_ptr<TMainForm> m_form;

    QMdiArea* area() const { return m_form->mdiArea(); }
    QAction* cmd(const char* name) const { return m_form->command(QString::fromLatin1(name)); }
    QAction* item(const QString& name) const { return m_form->findChild<QAction*>(name); }
    QMenu* menu(const char* name) const { return m_form->findChild<QMenu*>(QString::fromLatin1(name)); }

    ProbeScreen* openProbe(const char* command) {
        return qobject_cast<ProbeScreen*>(m_form->openScreen(QString::fromLatin1(command)));
    }

    void showForm() {
        m_form->show();
        QApplication::setActiveWindow(m_form.get());
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

private slots:
    void init() {
        m_env = std::make_unique<test::TempEnv>();
        m_form = std::make_unique<TMainForm>();
        m_form->resize(1400, 900);
    }

    void cleanup() {
        m_form.reset();
        for (const WindowLayout& l : windowLayouts())
            if (!l.command.isEmpty() && l.command != QLatin1String("ActionConfig"))
                registerScreen(l.command, {});
        m_env.reset();
    }

    void frame() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("タビロク"));
        QVERIFY(m_form->findChild<QMdiArea*>());
        QVERIFY(m_form->findChild<QStatusBar*>(QStringLiteral("StatusBar")));
    }

    void menuBar_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::newRow("File1") << "File1"
                               << "ファイル(&F)"
                               << "ファイル関連のコマンド";
        QTest::newRow("Edit1") << "Edit1"
                               << "編集(&E)"
                               << "コマンドの編集";
        QTest::newRow("MotoData1") << "MotoData1"
                                   << "データ(&D)"
                                   << "各種実データの更新";
        QTest::newRow("Master1") << "Master1"
                                 << "マスター(&M)"
                                 << "マスター管理";
        QTest::newRow("Shukei1") << "Shukei1"
                                 << "集計(&S)"
                                 << "各種集計";
        QTest::newRow("Utility1") << "Utility1"
                                  << "ユティリティ(&U)"
                                  << "各種ユティリティ";
        QTest::newRow("Window1") << "Window1"
                                 << "ウィンドウ(&W)"
                                 << "Window 関連コマンド";
        QTest::newRow("Help1") << "Help1"
                               << "ヘルプ(&H)"
                               << "ヘルプトピック";
    }

    void menuBar() {
        QFETCH(QString, menu);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        const QList<QAction*> top = m_form->menuBar()->actions();
        const int index = QTest::currentDataTag() == QLatin1String("File1") ? 0 : -1;
        auto* m = m_form->findChild<QMenu*>(menu);
        QVERIFY(m);
        QCOMPARE(m->title(), caption);
        QCOMPARE(m->menuAction()->statusTip(), hint);
        QVERIFY(top.contains(m->menuAction()));
        if (index == 0)
            QCOMPARE(top.first(), m->menuAction());
    }

    void menuOrder() {
        QStringList names;
        for (QAction* a : m_form->menuBar()->actions())
            names << a->menu()->objectName();
        QCOMPARE(names,
                 QStringList({"File1", "Edit1", "MotoData1", "Master1", "Shukei1", "Utility1", "Window1", "Help1"}));
    }

    // The items of every menu, in order, with no document window open and no edit field focused.
    void menuItems_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("enabled");
        auto row = [](const char* menu, const char* item, const char* command, const char* caption, const char* hint,
                      const char* shortcut, bool enabled) {
            QTest::newRow(item) << menu << command << QString::fromUtf8(caption) << QString::fromUtf8(hint) << shortcut
                                << enabled;
        };
        row("File1", "FileNewItem", "FileNew1", "新規作成(&N)", "新規|新規ファイルの作成", "Ctrl+N", true);
        row("File1", "FileOpenItem", "FileOpen1", "開く(&O)", "開く|ファイルを開く", "Ctrl+O", true);
        row("File1", "FileCloseItem", "FileClose1", "閉じる(&C)", "閉じる|現在のファイルを閉じる", "", false);
        row("File1", "FileSaveItem", "FileSave1", "保存(&S)", "保存|現在のファイルを保存", "Ctrl+S", false);
        row("File1", "FileSaveAsItem", "FileSaveAs1", "名前を付けて保存(&A)...",
            "名前を付けて保存|現在のファイルをほかの名前で保存", "", false);
        row("File1", "N1", "", "", "", "", true);
        row("File1", "Action11", "ActionConfig", "環境設定(&C)", "画像ファイルのフォルダーの指定や，利用者情報の設定",
            "", true);
        row("File1", "ImportAccessItem", "ActionImportAccess", "Accessデータベースの取り込み(&I)...",
            "Access の参照データベースと個人データベースの記録を取り込む", "", true);
        row("File1", "ImportRidesItem", "ActionImportRides", "乗車記録の取り込み (CSV)...",
            "乗車記録の取り込み|表計算などで作った CSV ファイルの乗車を路線と区間に照らして取り込む", "", true);
        row("File1", "ExportRidesItem", "ActionExportRides", "乗車記録の書き出し (GeoJSON・KML・GPX)...",
            "乗車記録の書き出し|乗車した区間を地図のデータ(GeoJSON・KML・GPX)として書き出す", "", true);
        row("File1", "N2", "", "", "", "", true);
        row("File1", "FileExitItem", "FileExit1", "終了(&X)", "終了|アプリケーションの終了", "", true);
        row("Edit1", "CutItem", "EditCut1", "切り取り(&T)", "切り取り|選択部分を切り取り，クリップボードに送る",
            "Ctrl+X", false);
        row("Edit1", "CopyItem", "EditCopy1", "コピー(&C)", "コピー|選択範囲をクリップボードにコピー", "Ctrl+C", false);
        row("Edit1", "PasteItem", "EditPaste1", "貼り付け(&P)", "貼り付け|クリップボードの内容を貼り付ける", "Ctrl+V",
            false);
        row("MotoData1", "MotoDataJisseki", "ActionMotoDataJiseki", "鉄道・軌道 乗車実績(&J)",
            "鉄道・軌道の乗車実績を効率よく入力", "", false);
        row("MotoData1", "MotoDataRosen", "ActionMotoDataRosen", "鉄道・軌道(&R)", "鉄道・軌道のデータ", "", true);
        row("MotoData1", "N3", "", "", "", "", true);
        row("MotoData1", "MotoDataSakudo", "ActionMotoSakudo", "普通索道(&S)", "普通索道のデータ", "", true);
        row("MotoData1", "OmakeRyotei", "ActionOmakeRyotei", "旅程管理(簡易)(&T)", "鉄道移動中心の簡易な旅程管理", "",
            true);
        row("MotoData1", "OmakeShikoku88", "ActionOmakeShikoku88", "その他訪問履歴等(&K)", "その他(作成中)", "", true);
        row("Master1", "MasterBunrui", "ActionMasterBunrui", "分類(&B)", "分類ごと", "", true);
        row("Master1", "MasterKubun", "ActionMasterKubun", "区分(&K)", "区分ごと", "", true);
        row("Master1", "MasterToshi", "ActionMasterToshi", "年別(&N)", "年ごと", "", true);
        row("Master1", "MasterOthers", "ActionMasterOthers", "その他(&O)", "その他", "", true);
        row("Shukei1", "ShukeiBunrui", "ActionShukeiBunrui", "分類(&B)", "乗車実績を分類ごとに集計", "", true);
        row("Shukei1", "ShukeiKubun", "ActionShukeiKubun", "区分(&K)", "乗車実績を区分ごとに集計", "", true);
        row("Shukei1", "ShukeiToshi", "ActionShukeiToshi", "年別(&N)", "乗車実績を年もしくは年度ごとに集計", "", true);
        row("Shukei1", "ShukeiChizu", "ActionShukeiChizu", "乗車地図(&C)",
            "乗車した区間を地図に描き，都道府県ごとの乗車状況を集計", "", true);
        row("Shukei1", "ShukeiSuii", "ActionShukeiSuii", "乗車の推移(&T)",
            "乗車キロと乗車率の推移をグラフに描き，年ごとの新規乗車・完乗・初めての都道府県を一覧", "", true);
        row("Utility1", "M1", "ActionShukeiMijo", "未乗路線一覧(&M)",
            "未乗路線(区間ではない)を一覧表示／全路線の乗車状況を参照する使い方も可能", "", true);
        row("Utility1", "あ", "ActionCheckJisseki", "乗車実績確認(&J)", "", "", true);
        row("Utility1", "F1", "ActionOmakeFiles", "関連写真ファイルの確認(&F)",
            "路線にひもづいていない写真の有無，各写真のサイズ等の確認", "", true);
        row("Window1", "WindowCascadeItem", "WindowCascade1", "重ねて表示(&C)", "カスケード", "", false);
        row("Window1", "WindowTileItem", "WindowTileHorizontal1", "横に並べて表示(&H)", "横に並べて表示", "", false);
        row("Window1", "WindowTileItem2", "WindowTileVertical1", "縦に並べて表示(&V)", "縦に並べて表示", "", false);
        row("Window1", "WindowMinimizeItem", "WindowMinimizeAll1", "すべて最小化(&M)", "すべて最小化", "", false);
        row("Window1", "WindowArrangeItem", "WindowArrangeAll1", "すべて整列(&A)", "すべて整列", "", false);
        row("Help1", "HelpIndex", "ActionHelpIndex", "ヘルプ索引(&H)", "", "", true);
        row("Help1", "HelpAboutItem", "HelpAbout1", "バージョン情報(&A)...",
            "バージョン情報|プログラム情報，バージョン番号，著作権の表示", "", true);
    }

    void menuItems() {
        QFETCH(QString, menu);
        QFETCH(QString, command);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, shortcut);
        QFETCH(bool, enabled);
        const QString itemName = QString::fromUtf8(QTest::currentDataTag());
        QMenu* m = m_form->findChild<QMenu*>(menu);
        QVERIFY(m);
        QAction* it = item(itemName);
        QVERIFY2(it, qPrintable(itemName));
        QVERIFY(m->actions().contains(it));
        if (command.isEmpty()) {
            QVERIFY(it->isSeparator());
            return;
        }
        QAction* c = m_form->command(command);
        QVERIFY2(c, qPrintable(command));
        QCOMPARE(it->text(), caption);
        QCOMPARE(c->text(), caption);
        QCOMPARE(c->property("hint").toString(), hint);
        // Status bar: the part after the bar; tool tip: the part before it.
        const qsizetype bar = hint.indexOf(u'|');
        QCOMPARE(it->statusTip(), bar < 0 ? hint : hint.mid(bar + 1));
        if (!hint.isEmpty())
            QCOMPARE(c->toolTip(), bar < 0 ? hint : hint.left(bar));
        QCOMPARE(keyText(c), shortcut);
        QCOMPARE(keyText(it), shortcut);
        QCOMPARE(it->isEnabled(), enabled);
    }

    // The items of each menu come in the order of the table, nothing more.
    void menuItemOrder() {
        QStringList file;
        for (QAction* a : menu("File1")->actions())
            file << a->objectName();
        QCOMPARE(file, QStringList({"FileNewItem", "FileOpenItem", "FileCloseItem", "FileSaveItem", "FileSaveAsItem",
                                    "N1", "Action11", "ImportAccessItem", "ImportNetworkItem", "ImportRidesItem",
                                    "ExportRidesItem", "N2", "FileExitItem"}));
        QStringList window;
        for (QAction* a : menu("Window1")->actions())
            window << a->objectName();
        QCOMPARE(window, QStringList({"WindowCascadeItem", "WindowTileItem", "WindowTileItem2", "WindowMinimizeItem",
                                      "WindowArrangeItem"}));
    }

    void toolBar() {
        auto* bar = m_form->findChild<QToolBar*>(QStringLiteral("ToolBar2"));
        QVERIFY(bar);
        QStringList seen;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) {
                seen << QStringLiteral("-");
                continue;
            }
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
            QVERIFY(button);
            QAction* c = button->defaultAction();
            QVERIFY(c);
            QVERIFY2(!c->icon().isNull(), qPrintable(c->objectName()));
            QCOMPARE(button->iconSize(), QSize(16, 16));
            QCOMPARE(button->toolTip(), c->toolTip());
            QCOMPARE(button->statusTip(), c->statusTip()); // the long hint, shown while the pointer is on it
            seen << button->objectName() + QLatin1Char('=') + c->objectName();
        }
        QCOMPARE(seen, QStringList({"ToolButton9=FileNew1", "ToolButton1=FileOpen1", "ToolButton2=FileSave1", "-",
                                    "ToolButton4=EditCut1", "ToolButton5=EditCopy1", "ToolButton6=EditPaste1", "-",
                                    "ToolButton8=WindowCascade1", "ToolButton10=WindowTileHorizontal1",
                                    "ToolButton11=WindowTileVertical1"}));
        QCOMPARE(m_form->findChild<QToolButton*>(QStringLiteral("ToolButton9"))->toolTip(), QStringLiteral("新規"));
        QVERIFY(!m_form->findChild<QToolButton*>(QStringLiteral("ToolButton2"))->isEnabled());
    }

    // Hovering a menu item puts its long hint into the status bar.
    void statusBarHint() {
        showForm();
        QMenu* file = menu("File1");
        m_form->menuBar()->setActiveAction(file->menuAction());
        QVERIFY(QTest::qWaitForWindowExposed(file));
        file->setActiveAction(item(QStringLiteral("FileNewItem")));
        QCOMPARE(m_form->statusBar()->currentMessage(), QStringLiteral("新規ファイルの作成"));
        file->setActiveAction(item(QStringLiteral("Action11")));
        QCOMPARE(m_form->statusBar()->currentMessage(),
                 QStringLiteral("画像ファイルのフォルダーの指定や，利用者情報の設定"));
        file->close();

        // A tool button under the pointer: its command's long hint.
        auto* open = m_form->findChild<QToolButton*>(QStringLiteral("ToolButton1"));
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), open->mapToGlobal(QPointF(2, 2)));
        QCoreApplication::sendEvent(open, &enter);
        QCOMPARE(m_form->statusBar()->currentMessage(), QStringLiteral("ファイルを開く"));
    }

    void windowCommandsFollowDocuments() {
        const QStringList names{"FileClose1",          "WindowCascade1",     "WindowTileHorizontal1",
                                "WindowTileVertical1", "WindowMinimizeAll1", "WindowArrangeAll1"};
        for (const QString& n : names)
            QVERIFY2(!m_form->command(n)->isEnabled(), qPrintable(n));
        cmd("FileNew1")->trigger();
        for (const QString& n : names)
            QVERIFY2(m_form->command(n)->isEnabled(), qPrintable(n));
        QVERIFY(!cmd("FileSave1")->isEnabled());
        QVERIFY(!cmd("FileSaveAs1")->isEnabled());
        QVERIFY(!item(QStringLiteral("MotoDataJisseki"))->isEnabled());
        cmd("FileClose1")->trigger();
        QCOMPARE(area()->subWindowList().size(), 0);
        for (const QString& n : names)
            QVERIFY2(!m_form->command(n)->isEnabled(), qPrintable(n));
    }

    // NONAME + (open document windows + 1): numbers repeat after a window was closed.
    void newDocumentNames() {
        QStringList captions;
        for (int i = 0; i < 3; ++i) {
            cmd("FileNew1")->trigger();
            captions << area()->currentSubWindow()->windowTitle();
        }
        QCOMPARE(captions, QStringList({"NONAME1", "NONAME2", "NONAME3"}));
        QMdiSubWindow* second = area()->subWindowList().at(1);
        QPointer<QMdiSubWindow> guard(second);
        second->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        cmd("FileNew1")->trigger();
        QCOMPARE(area()->currentSubWindow()->windowTitle(), QStringLiteral("NONAME3"));

        QMdiSubWindow* frame = area()->currentSubWindow();
        auto* memo = frame->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        QVERIFY(memo);
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(memo->toPlainText().isEmpty());
        QCOMPARE(frame->size(), QSize(1098, 562));
        QVERIFY(frame->minimumSize() != frame->maximumSize()); // the text window alone is resizable
        QVERIFY(frame->testAttribute(Qt::WA_DeleteOnClose));
    }

    void openDocument() {
        DialogAnswerer answers;
        cmd("FileOpen1")->trigger(); // cancelled
        QCOMPARE(answers.count(DialogKind::OpenFile), 1);
        QCOMPARE(answers.requests().first().filter, QStringLiteral("すべてのファイル (*.*)"));
        QCOMPARE(area()->subWindowList().size(), 0);

        const QString file = m_env->file(QStringLiteral("memo.txt"));
        answers.answerFile(file);
        cmd("FileOpen1")->trigger();
        QCOMPARE(area()->subWindowList().size(), 1);
        QMdiSubWindow* frame = area()->subWindowList().first();
        QCOMPARE(frame->windowTitle(), file);
        QVERIFY(frame->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText().isEmpty());
    }

    void windowList() {
        registerScreen(QStringLiteral("ActionMotoDataRosen"), [](QWidget* p) { return new ProbeScreen(p); });
        cmd("ActionMotoDataRosen")->trigger();
        cmd("ActionMotoDataRosen")->trigger();
        cmd("FileNew1")->trigger();
        m_form->refreshWindowMenu();
        QMenu* window = menu("Window1");
        QStringList listed;
        QList<QAction*> entries;
        bool pastSeparator = false;
        for (QAction* a : window->actions()) {
            if (a->isSeparator()) {
                pastSeparator = true;
                continue;
            }
            if (pastSeparator) {
                listed << a->text();
                entries << a;
            }
        }
        QCOMPARE(listed, QStringList({"鉄道・軌道", "鉄道・軌道", "NONAME3"}));
        QVERIFY(entries.last()->isChecked());
        entries.first()->trigger();
        QCOMPARE(area()->currentSubWindow(), area()->subWindowList().first());
        // Rebuilt, not appended to, each time the menu opens.
        m_form->refreshWindowMenu();
        QCOMPARE(window->actions().size(), 5 + 1 + 3);
    }

    void registeredScreenOpensAtItsPlace_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("TMaster") << "ActionMotoDataRosen"
                                 << "TMaster"
                                 << "鉄道・軌道" << QSize(1098, 570) << QPoint(20, 20);
        QTest::newRow("TKubun") << "ActionMasterKubun"
                                << "TKubun"
                                << "区分マスター登録/変更/削除" << QSize(528, 570) << QPoint(300, 54);
        QTest::newRow("THYOJI2") << "ActionShukeiToshi"
                                 << "THYOJI2"
                                 << "年(年度)別の集計" << QSize(900, 570) << QPoint(300, 110);
        QTest::newRow("TConfig") << "ActionConfig"
                                 << "TConfig"
                                 << "環境設定" << QSize(620, 529) << QPoint(209, 107);
    }

    void registeredScreenOpensAtItsPlace() {
        QFETCH(QString, command);
        QFETCH(QString, className);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        QFETCH(QPoint, position);
        if (className != QLatin1String("TConfig"))
            registerScreen(command, [](QWidget* p) { return new ProbeScreen(p); });
        m_form->command(command)->trigger();
        m_form->command(command)->trigger();
        const QList<QMdiSubWindow*> frames = area()->subWindowList();
        QCOMPARE(frames.size(), 2); // a new instance each time
        for (QMdiSubWindow* f : frames) {
            QCOMPARE(f->windowTitle(), caption);
            QCOMPARE(f->size(), size);
            QCOMPARE(f->minimumSize(), size);
            QCOMPARE(f->maximumSize(), size);
            QCOMPARE(f->pos(), position);
            QVERIFY(f->testAttribute(Qt::WA_DeleteOnClose));
        }
        QCOMPARE(latestScreen(className), frames.last()->widget());
        QPointer<QWidget> latest = frames.last()->widget();
        frames.last()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(latest.isNull()); // destroyed with its window
        QCOMPARE(latestScreen(className), nullptr);
    }

    // Documents placed by the system cascade from the top-left corner by a caption's height and start again
    // there when the next would not fit: every one lies wholly inside the document area.
    void newDocumentsCascade() {
        showForm();
        const QRect room = area()->viewport()->rect();
        QList<QPoint> places;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(m_form.get(), Qt::Key_N, Qt::ControlModifier);
            QMdiSubWindow* f = area()->currentSubWindow();
            QVERIFY2(room.contains(f->geometry()), qPrintable(QStringLiteral("window %1").arg(i + 1)));
            places << f->pos();
        }
        QCOMPARE(places.first(), QPoint(0, 0));
        const int step = places.at(1).x();
        QVERIFY(step > 10 && step < 60);
        int wraps = 0;
        for (int i = 1; i < places.size(); ++i) {
            if (places.at(i) == QPoint(0, 0)) {
                ++wraps;
                QVERIFY(places.at(i - 1).y() + step + 562 > room.height()); // the next would not have fitted
            } else {
                QCOMPARE(places.at(i), places.at(i - 1) + QPoint(step, step));
            }
        }
        QVERIFY(wraps >= 1);
    }

    // Closing the active document window activates the one used just before it, not the oldest.
    void closingActivatesThePreviousWindow() {
        showForm();
        for (int i = 0; i < 4; ++i)
            cmd("FileNew1")->trigger();
        const QList<QMdiSubWindow*> w = area()->subWindowList();
        area()->setActiveSubWindow(w[1]);
        area()->setActiveSubWindow(w[3]);
        cmd("FileClose1")->trigger();
        QCOMPARE(area()->currentSubWindow(), w[1]); // not a neighbour by creation, w[2] or w[0]
        cmd("FileClose1")->trigger();
        QCOMPARE(area()->currentSubWindow(), w[2]); // active before w[1] was chosen again
    }

    // A screen opens with the keyboard focus on its first control in Tab order; the settings dialog then
    // answers Esc and Enter at once.
    void screensOpenWithTheFocus() {
        showForm();
        registerScreen(QStringLiteral("ActionMasterOthers"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* probe = openProbe("ActionMasterOthers");
        QTRY_COMPARE(QApplication::focusWidget(), probe->ratio);
        QMdiSubWindow* text = m_form->newTextDocument(QStringLiteral("memo"));
        QTRY_COMPARE(QApplication::focusWidget(), text->findChild<QPlainTextEdit*>(QStringLiteral("Memo1")));

        QWidget* config = m_form->openScreen(QStringLiteral("ActionConfig"));
        QVERIFY(config);
        QWidget* first = config;
        do
            first = first->nextInFocusChain();
        while (!(first->focusPolicy() & Qt::TabFocus) || !first->isEnabled() || !first->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), first);
        QPointer<QWidget> guard(config);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());

        config = m_form->openScreen(QStringLiteral("ActionConfig"));
        guard = config;
        auto* name = config->findChild<QLineEdit*>(QStringLiteral("EditUserName"));
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        QTest::keyClicks(name, QStringLiteral("abc"));
        QTest::keyClick(name, Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QCOMPARE(settings::readString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QString()),
                 QStringLiteral("abc"));
    }

    // In an open menu a letter counts only enabled items: one is chosen at once, several are highlighted in
    // turn and Enter chooses; a letter of disabled items only does nothing.
    void menuLetterWithADisabledTwin() {
        showForm();
        QMenu* file = menu("File1");
        auto openFile = [&] {
            file->popup(m_form->mapToGlobal(QPoint(0, 0)));
            QTRY_COMPARE(QApplication::activePopupWidget(), file);
        };
        // 閉じる(&C) is disabled without a document window: C opens the settings dialog.
        openFile();
        QTest::keyClick(file, Qt::Key_C);
        QTRY_COMPARE(QApplication::activePopupWidget(), nullptr);
        QCOMPARE(area()->subWindowList().size(), 1);
        QCOMPARE(area()->currentSubWindow()->windowTitle(), QStringLiteral("環境設定"));

        // Now both are enabled: C moves between them and Enter chooses 閉じる.
        openFile();
        QTest::keyClick(file, Qt::Key_C);
        QCOMPARE(file->activeAction(), item(QStringLiteral("FileCloseItem")));
        QTest::keyClick(file, Qt::Key_C);
        QCOMPARE(file->activeAction(), item(QStringLiteral("Action11")));
        QTest::keyClick(file, Qt::Key_C);
        QCOMPARE(file->activeAction(), item(QStringLiteral("FileCloseItem")));
        QCOMPARE(area()->subWindowList().size(), 1);
        QTest::keyClick(file, Qt::Key_Return);
        QTRY_COMPARE(QApplication::activePopupWidget(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(area()->subWindowList().size(), 0);

        // 保存(&S) is always disabled: S does nothing and the menu stays open.
        openFile();
        QTest::keyClick(file, Qt::Key_S);
        QCOMPARE(QApplication::activePopupWidget(), file);
        QCOMPARE(area()->subWindowList().size(), 0);
        file->close();
    }

    // However a screen is closed (its own close(), its frame's close box, the close command), the document
    // window goes with it; a screen that refuses to close keeps its window.
    void screenClosing_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("screen close()") << 0;
        QTest::newRow("closeScreen()") << 1;
        QTest::newRow("frame close box") << 2;
        QTest::newRow("FileClose1") << 3;
    }

    void screenClosing() {
        QFETCH(int, way);
        m_form->show();
        registerScreen(QStringLiteral("ActionMotoSakudo"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* screen = openProbe("ActionMotoSakudo");
        QPointer<QWidget> guard(screen);
        QPointer<QMdiSubWindow> frame(qobject_cast<QMdiSubWindow*>(screen->parentWidget()));
        QVERIFY(frame);
        auto closeIt = [&] {
            switch (way) {
            case 0:
                return screen->close();
            case 1:
                screen->closeScreen();
                return true;
            case 2:
                return frame->close();
            default:
                cmd("FileClose1")->trigger();
                return true;
            }
        };
        screen->refuseClose = true;
        closeIt();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guard.isNull());
        QVERIFY(frame->isVisible());
        QCOMPARE(screen->closeEvents, 1);

        screen->refuseClose = false;
        QVERIFY(closeIt());
        QCOMPARE(screen->closeEvents, 2); // the screen hears its closing once
        QCOMPARE(area()->subWindowList().size(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QVERIFY(frame.isNull());
    }

    void unbuiltScreenDoesNothing() {
        registerScreen(QStringLiteral("ActionShukeiMijo"), {});
        cmd("ActionShukeiMijo")->trigger();
        QCOMPARE(area()->subWindowList().size(), 0);
    }

    // A screen whose tables cannot be opened does not open; the engine's text is shown.
    void failingScreenCreation() {
        DialogAnswerer answers;
        registerScreen(QStringLiteral("ActionMasterBunrui"),
                       [](QWidget*) -> QWidget* { throw Error(QStringLiteral("テーブル BUNRUI を開けません")); });
        cmd("ActionMasterBunrui")->trigger();
        QCOMPARE(area()->subWindowList().size(), 0);
        QCOMPARE(answers.count(DialogKind::Critical), 1);
        QCOMPARE(answers.requests().first().text, QStringLiteral("テーブル BUNRUI を開けません"));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // An error inside a screen's command ends the command, is shown, and leaves the screen open.
    void commandErrorKeepsScreenOpen_data() {
        QTest::addColumn<bool>("engineError");
        QTest::newRow("tabi::Error") << true;
        QTest::newRow("std::exception") << false;
    }

    void commandErrorKeepsScreenOpen() {
        QFETCH(bool, engineError);
        m_form->show();
        DialogAnswerer answers;
        registerScreen(QStringLiteral("ActionMasterToshi"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* screen = openProbe("ActionMasterToshi");
        QVERIFY(screen);
        bool waitCursorDuring = false;
        bool after = false;
        ui::connectCommand(screen->date, screen, [&] {
            waitCursorDuring =
                QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            if (engineError)
                throw Error(QStringLiteral("ディスクがいっぱいです"));
            throw std::runtime_error("disk full");
            after = true;
        });
        screen->date->click();
        QVERIFY(waitCursorDuring);
        QVERIFY(!after);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(answers.count(DialogKind::Critical), 1);
        QCOMPARE(answers.requests().first().text,
                 engineError ? QStringLiteral("ディスクがいっぱいです") : QStringLiteral("disk full"));
        QCOMPARE(answers.requests().first().parent, screen);
        QCOMPARE(area()->subWindowList().size(), 1);
        QVERIFY(screen->isVisible());
    }

    // ヘルプ索引 opens the manual's start page in the help window.
    void helpIndex() {
        DialogAnswerer answers;
        cmd("ActionHelpIndex")->trigger();
        QVERIFY(answers.requests().isEmpty());
        HelpWindow* help = openHelpWindow();
        QVERIFY(help);
        QCOMPARE(help->currentTopic(), kStartTopic);
        QVERIFY(help->windowTitle().startsWith(QStringLiteral("タビロク ヘルプ")));
        help->close();
    }

    // Every screen and dialog has a page of the manual, and its help button (where it has one) opens it.
    void helpPages() {
        for (const WindowLayout& l : windowLayouts()) {
            const HelpTopic* t = helpTopicFor(l.className);
            QVERIFY2(t, qPrintable(l.className));
            QVERIFY2(hasHelpPage(t->topic), qPrintable(l.className + QLatin1Char(' ') + t->topic));
        }
        QVERIFY(hasHelpPage(kStartTopic));
        QWidget owner;
        QPushButton* button = addHelpButton(&owner, QStringLiteral("TMaster"));
        owner.show();
        QCOMPARE(button->objectName(), QStringLiteral("BitBtnH"));
        QCOMPARE(button->text(), QStringLiteral("ﾍﾙﾌﾟ(&H)"));
        QVERIFY(button->isVisible() && button->isEnabled());
        button->click();
        QVERIFY(openHelpWindow());
        QCOMPARE(openHelpWindow()->currentTopic(), QStringLiteral("rosen.htm"));
        openHelpWindow()->close();

        // Every page's links and pictures lead to something the program holds.
        static const QRegularExpression target(QStringLiteral("(?:href|src)=\"([^\"#:]+)"));
        for (const HelpPage& page : tabi::helpPages()) {
            QFile f(QStringLiteral(":/help/") + page.topic);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(page.topic));
            for (auto it = target.globalMatch(QString::fromUtf8(f.readAll())); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                QVERIFY2(QFile::exists(QStringLiteral(":/help/") + m.captured(1)),
                         qPrintable(page.topic + QLatin1Char(' ') + m.captured(1)));
            }
        }
    }

    // The search finds pages by words in any kana or width, and nothing for a word no page has.
    void helpSearch() {
        QVERIFY(searchHelp(QStringLiteral("乗車地図")).contains(QStringLiteral("chizu.htm")));
        QVERIFY(!searchHelp(QStringLiteral("キロ")).isEmpty());
        QCOMPARE(searchHelp(QStringLiteral("ｷﾛ")), searchHelp(QStringLiteral("キロ")));
        QCOMPARE(searchHelp(QStringLiteral("きろ")), searchHelp(QStringLiteral("キロ")));
        QVERIFY(!searchHelp(QStringLiteral("csv")).isEmpty());
        QCOMPARE(searchHelp(QStringLiteral("ＣＳＶ")), searchHelp(QStringLiteral("csv")));
        QVERIFY(searchHelp(QStringLiteral("存在しない語句ＸＹＺ")).isEmpty());
    }

    // Activation runs on opening and on switching between document windows, not when the frame is
    // reactivated after a modal dialog of the screen closes.
    void activationRule() {
        showForm();
        registerScreen(QStringLiteral("ActionMotoDataRosen"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* a = openProbe("ActionMotoDataRosen");
        QCOMPARE(a->activations, 1);
        ProbeScreen* b = openProbe("ActionMotoDataRosen");
        QCOMPARE(b->activations, 1);
        QCOMPARE(a->activations, 1);

        area()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(a->parentWidget()));
        QCOMPARE(a->activations, 2);
        QCOMPARE(b->activations, 1);
        area()->activateNextSubWindow();
        QCOMPARE(b->activations, 2);
        QCOMPARE(a->activations, 2);

        // A real modal dialog owned by the active screen: the frame loses and regains activation. A native
        // dialog (file dialogs on most desktops) takes the application's activation too, after which Qt
        // reports the document window as activated again.
        QDialog dialog(b);
        bool shownActive = false;
        QTimer::singleShot(0, &dialog, [&] {
            shownActive = QTest::qWaitForWindowActive(&dialog);
            QEvent away(QEvent::ApplicationDeactivate);
            QCoreApplication::sendEvent(qApp, &away);
            dialog.accept();
        });
        dialog.exec();
        QEvent back(QEvent::ApplicationActivate);
        QCoreApplication::sendEvent(qApp, &back);
        QVERIFY(shownActive);
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QCoreApplication::processEvents();
        QCOMPARE(area()->activeSubWindow(), qobject_cast<QMdiSubWindow*>(b->parentWidget()));
        QCOMPARE(b->activations, 2);
        QCOMPARE(a->activations, 2);

        // Closing the active window hands activation to the one left.
        qobject_cast<QMdiSubWindow*>(b->parentWidget())->close();
        QCOMPARE(a->activations, 3);
    }

    // The active screen's own mnemonics win over the main menu's letters; other letters reach the menu.
    void screenMnemonicsWin() {
        showForm();
        registerScreen(QStringLiteral("ActionShukeiBunrui"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* screen = openProbe("ActionShukeiBunrui");
        screen->edit->setFocus();
        QTRY_VERIFY(screen->edit->hasFocus());

        QTest::keyClick(screen->edit, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(screen->ratioClicks, 1);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);

        // A hidden button's mnemonic ("終了(&E)") leaves Alt+E to the menu "編集(&E)".
        QTest::keyClick(screen->edit, Qt::Key_E, Qt::AltModifier);
        QCOMPARE(screen->hiddenClicks, 0);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu("Edit1"));
        menu("Edit1")->close();
        QTRY_COMPARE(QApplication::activePopupWidget(), nullptr);

        // A disabled button does not take its letter either.
        screen->ratio->setEnabled(false);
        QTest::keyClick(screen->edit, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(screen->ratioClicks, 1);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu("Window1"));
        menu("Window1")->close();
    }

    // A command's shortcut runs it once: the menu item showing the same key does not make it ambiguous.
    void shortcuts() {
        showForm();
        QTest::keyClick(m_form.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(area()->subWindowList().size(), 1);
        QTest::keyClick(m_form.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(area()->subWindowList().last()->windowTitle(), QStringLiteral("NONAME2"));
        QTest::keyClick(m_form.get(), Qt::Key_S, Qt::ControlModifier); // disabled: nothing happens
        QCOMPARE(area()->subWindowList().size(), 2);
    }

    // Alt alone and F10 still lead to the menu bar.
    void menuBarKeys() {
        showForm();
        registerScreen(QStringLiteral("ActionShukeiKubun"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* screen = openProbe("ActionShukeiKubun");
        screen->edit->setFocus();
        QTRY_VERIFY(screen->edit->hasFocus());
        QMenuBar* bar = m_form->menuBar();
        QTest::keyPress(screen->edit, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(screen->edit, Qt::Key_Alt, Qt::NoModifier);
        QCOMPARE(bar->activeAction(), menu("File1")->menuAction());
        QTest::keyClick(bar, Qt::Key_Escape);
        QTRY_VERIFY(screen->edit->hasFocus());
        QCOMPARE(bar->activeAction(), nullptr);

        QTest::keyClick(screen->edit, Qt::Key_F10);
        QCOMPARE(bar->activeAction(), menu("File1")->menuAction());
        QTest::keyClick(bar, Qt::Key_Down); // opens the highlighted menu
        QTRY_COMPARE(QApplication::activePopupWidget(), menu("File1"));
        menu("File1")->close();
    }

    void editCommands() {
        showForm();
        QApplication::clipboard()->clear();
        cmd("FileNew1")->trigger();
        auto* memo = area()->currentSubWindow()->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        memo->setFocus();
        QTRY_VERIFY(memo->hasFocus());
        QVERIFY(!cmd("EditCut1")->isEnabled());
        QVERIFY(!cmd("EditCopy1")->isEnabled());
        QVERIFY(!cmd("EditPaste1")->isEnabled());

        memo->setPlainText(QStringLiteral("鉄道路線"));
        memo->selectAll();
        QVERIFY(cmd("EditCut1")->isEnabled());
        QVERIFY(cmd("EditCopy1")->isEnabled());
        QVERIFY(item(QStringLiteral("CopyItem"))->isEnabled());
        // Reaching the Edit menu by keyboard keeps the field as the target.
        QTest::keyPress(memo, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(memo, Qt::Key_Alt, Qt::NoModifier);
        QVERIFY(m_form->menuBar()->hasFocus());
        QVERIFY(cmd("EditCopy1")->isEnabled());
        QTest::keyClick(m_form->menuBar(), Qt::Key_Escape);
        QTRY_VERIFY(memo->hasFocus());
        cmd("EditCopy1")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("鉄道路線"));
        QVERIFY(cmd("EditPaste1")->isEnabled());
        cmd("EditCut1")->trigger();
        QVERIFY(memo->toPlainText().isEmpty());
        QVERIFY(!cmd("EditCut1")->isEnabled());
        cmd("EditPaste1")->trigger();
        cmd("EditPaste1")->trigger();
        QCOMPARE(memo->toPlainText(), QStringLiteral("鉄道路線鉄道路線"));

        // Focus outside any edit field: nothing to cut, copy or paste into.
        auto* button = new QPushButton(QStringLiteral("x"), memo->window());
        button->show();
        button->setFocus();
        QTRY_VERIFY(button->hasFocus());
        QVERIFY(!cmd("EditPaste1")->isEnabled());
        QVERIFY(!cmd("EditCopy1")->isEnabled());
        delete button;
    }

    void readOnlyFieldIsNotChangedByCut() {
        showForm();
        registerScreen(QStringLiteral("ActionOmakeFiles"), [](QWidget* p) { return new ProbeScreen(p); });
        ProbeScreen* screen = openProbe("ActionOmakeFiles");
        screen->edit->setText(QStringLiteral("ABC"));
        screen->edit->setReadOnly(true);
        screen->edit->setFocus();
        QTRY_VERIFY(screen->edit->hasFocus());
        screen->edit->selectAll();
        QVERIFY(cmd("EditCut1")->isEnabled());
        cmd("EditCut1")->trigger();
        QCOMPARE(screen->edit->text(), QStringLiteral("ABC"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("ABC"));
    }

    void windowArrangement() {
        m_form->show();
        registerScreen(QStringLiteral("ActionMasterBunrui"), [](QWidget* p) { return new ProbeScreen(p); });
        cmd("FileNew1")->trigger();
        cmd("FileNew1")->trigger();
        const QList<QMdiSubWindow*> w = area()->subWindowList();

        cmd("WindowTileHorizontal1")->trigger();
        QCOMPARE(w[0]->x(), 0);
        QCOMPARE(w[1]->x(), 0);
        QVERIFY(w[0]->y() != w[1]->y());
        QCOMPARE(w[0]->width(), area()->viewport()->width());

        cmd("WindowTileVertical1")->trigger();
        QCOMPARE(w[0]->y(), 0);
        QCOMPARE(w[1]->y(), 0);
        QVERIFY(w[0]->x() != w[1]->x());
        QCOMPARE(w[0]->height(), area()->viewport()->height());

        cmd("WindowCascade1")->trigger();
        QVERIFY(w[0]->pos() != w[1]->pos());

        // A fixed-size screen keeps its size when tiled.
        cmd("ActionMasterBunrui")->trigger();
        cmd("WindowTileHorizontal1")->trigger();
        QCOMPARE(area()->subWindowList().last()->size(), QSize(528, 570));

        cmd("WindowMinimizeAll1")->trigger();
        for (QMdiSubWindow* f : area()->subWindowList())
            QVERIFY(f->isMinimized());
        cmd("WindowArrangeAll1")->trigger();
        const QList<QMdiSubWindow*> all = area()->subWindowList();
        for (QMdiSubWindow* f : all)
            QVERIFY(area()->viewport()->rect().contains(f->geometry()));
        for (int i = 0; i < all.size(); ++i)
            for (int j = i + 1; j < all.size(); ++j)
                QVERIFY(!all[i]->geometry().intersects(all[j]->geometry()));
    }

    void exitClosesEverything() {
        m_form->show();
        cmd("FileNew1")->trigger();
        QPointer<QMdiSubWindow> doc = area()->currentSubWindow();
        cmd("FileExit1")->trigger();
        QVERIFY(!m_form->isVisible());
        m_form.reset();
        QVERIFY(doc.isNull());
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
