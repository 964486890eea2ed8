#include "ui/screens.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>

namespace tabi {

namespace {

WindowLayout screen(const char* cls, const char* caption, const char* command, int w, int h,
                    std::optional<QPoint> pos) {
    WindowLayout l;
    l.className = QString::fromUtf8(cls);
    l.caption = QString::fromUtf8(caption);
    l.command = QString::fromUtf8(command);
    l.size = QSize(w, h);
    l.position = pos;
    return l;
}

WindowLayout dialog(const char* cls, const char* caption, int w, int h, std::optional<QPoint> pos,
                    bool clientSize = true) {
    WindowLayout l;
    l.className = QString::fromUtf8(cls);
    l.caption = QString::fromUtf8(caption);
    l.dialog = true;
    l.size = QSize(w, h);
    l.outerSize = !clientSize;
    l.position = pos;
    l.centred = !pos.has_value();
    return l;
}

constexpr std::nullopt_t systemChosen = std::nullopt;
constexpr std::nullopt_t centred = std::nullopt;

QHash<QString, ScreenFactory>& factories() {
    static QHash<QString, ScreenFactory> table;
    return table;
}

QHash<QString, QPointer<QWidget>>& latest() {
    static QHash<QString, QPointer<QWidget>> table;
    return table;
}

} // namespace

const QList<WindowLayout>& windowLayouts() {
    static const QList<WindowLayout> table = [] {
        QList<WindowLayout> t{
            screen("TMaster", "鉄道・軌道", "ActionMotoDataRosen", 1098, 570, QPoint(20, 20)),
            screen("TJisseki", "鉄道・軌道 乗車実績", "ActionMotoDataJiseki", 1098, 562, QPoint(0, 0)),
            screen("TJourney", "乗車経路の入力", "ActionMotoDataJourney", 1098, 570, QPoint(40, 30)),
            screen("TFSAKUDO", "普通索道", "ActionMotoSakudo", 1098, 570, QPoint(100, 80)),
            screen("TRFORM", "旅程管理(簡易)", "ActionOmakeRyotei", 1098, 570, QPoint(120, 40)),
            screen("TF_Others2", "その他訪問履歴等", "ActionOmakeShikoku88", 1098, 570, QPoint(100, 80)),
            screen("TBunrui", "分類マスター登録/変更/削除", "ActionMasterBunrui", 528, 570, QPoint(200, 50)),
            screen("TKubun", "区分マスター登録/変更/削除", "ActionMasterKubun", 528, 570, QPoint(300, 54)),
            screen("TTOSHI", "年別マスター登録/変更/削除", "ActionMasterToshi", 528, 570, QPoint(300, 60)),
            screen("TOTHERS", "その他分類マスター登録/変更/削除", "ActionMasterOthers", 528, 570, QPoint(283, 0)),
            screen("THyoji", "分類ごとの集計", "ActionShukeiBunrui", 900, 570, QPoint(200, 10)),
            screen("THyojiU", "区分ごとの集計", "ActionShukeiKubun", 900, 570, QPoint(250, 60)),
            screen("THYOJI2", "年(年度)別の集計", "ActionShukeiToshi", 900, 570, QPoint(300, 110)),
            screen("TMijo", "未乗路線一覧表示", "ActionShukeiMijo", 1098, 570, QPoint(200, 10)),
            screen("TCJosha", "乗車実績確認", "ActionCheckJisseki", 1098, 570, systemChosen),
            screen("TJoshaChizu", "乗車地図", "ActionShukeiChizu", 1240, 780, QPoint(120, 10)),
            screen("TJoshaSuii", "乗車の推移", "ActionShukeiSuii", 1180, 780, QPoint(140, 20)),
            screen("TFiles", "関連写真ファイルの確認", "ActionOmakeFiles", 1098, 570, QPoint(200, 10)),
            screen("TConfig", "環境設定", "ActionConfig", 620, 529, QPoint(209, 107)),
            screen("TGuide", "はじめに", "ActionGuide", 760, 440, QPoint(40, 30)),
            dialog("TAboutBox", "バージョン情報", 482, 247, centred),
            dialog("TCode_I2", "指定した路線に移動", 562, 450, QPoint(440, 290)),
            dialog("TCode_I3", "指定した路線に移動", 562, 450, QPoint(441, 291)),
            dialog("TCode_I4", "指定したデータに移動", 562, 450, QPoint(440, 290)),
            dialog("TEKI2", "駅間キロ程算出", 562, 476, centred),
            dialog("TGraph", "旅客鉄道会社別キロ程＆乗車状況", 544, 336, centred),
            dialog("TPhoto", "写真表示", 349, 456, centred, false),
        };
        // The generic text window is the only resizable screen; its caption is the document name.
        WindowLayout memo = screen("TMDIChild", "", "", 1098, 562, systemChosen);
        memo.fixedSize = false;
        t.append(memo);
        // The ride map grows with its window (it may be maximised): the map takes whatever room there is.
        for (WindowLayout& l : t)
            if (l.className == QLatin1String("TJoshaChizu"))
                l.fixedSize = false;
        // The plan drawing is placed by the system.
        WindowLayout senkei = dialog("TSenkei", "路線図(平面)表示", 510, 490, centred);
        senkei.centred = false;
        t.append(senkei);
        return t;
    }();
    return table;
}

const WindowLayout* layoutForCommand(const QString& command) {
    if (command.isEmpty())
        return nullptr;
    for (const WindowLayout& l : windowLayouts())
        if (l.command == command)
            return &l;
    return nullptr;
}

const WindowLayout* layoutForClass(const QString& className) {
    for (const WindowLayout& l : windowLayouts())
        if (l.className == className)
            return &l;
    return nullptr;
}

void placeDialog(QWidget* dialog, const QString& className) {
    const WindowLayout* l = layoutForClass(className);
    if (!dialog || !l || !l->dialog)
        return;
    dialog->setProperty("screenClass", className); // the help page F1 opens
    if (!l->caption.isEmpty())
        dialog->setWindowTitle(l->caption);
    if (l->fixedSize) {
        // Nothing to minimise or maximise: a caption, the system menu and the close box only.
        Qt::WindowFlags flags = (dialog->windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint |
                                Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        dialog->setWindowFlags(flags);
    }
    // Qt sizes a top-level window by its client area; an outer size (TPhoto) is applied the same way, the
    // frame being known only after the window is shown.
    dialog->resize(l->size);
    if (l->fixedSize)
        dialog->setFixedSize(l->size);
    if (l->position) {
        dialog->move(*l->position);
    } else if (l->centred) {
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            const QRect desk = s->availableGeometry();
            dialog->move(desk.center() - QPoint(l->size.width() / 2, l->size.height() / 2));
        }
    }
}

QWidget* focusFirstControl(QWidget* root) {
    if (!root)
        return nullptr;
    for (QWidget* w = root->nextInFocusChain(); w && w != root; w = w->nextInFocusChain()) {
        if (!root->isAncestorOf(w) || !w->isEnabled() || !w->isVisibleTo(root) || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        // A widget standing in for another (the line edit of a spin box) passes the focus on to it.
        w->setFocus(Qt::TabFocusReason);
        return w;
    }
    return nullptr;
}

QPoint cascadePosition(const std::optional<QPoint>& previous, const QSize& window, const QSize& area, int caption) {
    const QPoint start(0, 0);
    if (!previous)
        return start;
    const QPoint next = *previous + QPoint(caption, caption);
    if (next.x() + window.width() > area.width() || next.y() + window.height() > area.height())
        return start;
    return next;
}

void registerScreen(const QString& command, ScreenFactory factory) {
    if (factory)
        factories().insert(command, std::move(factory));
    else
        factories().remove(command);
}

ScreenFactory screenFactory(const QString& command) {
    return factories().value(command);
}

QWidget* latestScreen(const QString& className) {
    return latest().value(className).data();
}

void setLatestScreen(const QString& className, QWidget* screen) {
    latest().insert(className, screen);
}

namespace {
QList<StartupDialog>& startupDialogList() {
    static QList<StartupDialog> list;
    return list;
}
} // namespace

void registerStartupDialog(const QString& className, std::function<QWidget*(QWidget* mainForm)> factory) {
    startupDialogList().append({className, std::move(factory)});
}

const QList<StartupDialog>& startupDialogs() {
    return startupDialogList();
}

} // namespace tabi
