#include "app/guide.h"

#include "data/error.h"
#include "data/settingsfile.h"
#include "ui/command.h"
#include "ui/fonts.h"
#include "ui/helptopics.h"
#include "ui/helpwindow.h"
#include "ui/screens.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tabi {

bool guideWantedAtStart() {
    return settings::readString(kGuideSection, kGuideKey, QStringLiteral("1")) != QLatin1String("0");
}

TGuide::TGuide(std::function<void(const QString& command)> open, QWidget* parent) : Screen(parent) {
    setObjectName(QStringLiteral("Guide"));
    setWindowTitle(QStringLiteral("はじめに"));
    setFont(ui::uiFont(15));

    auto* intro = new QLabel(
        QStringLiteral("タビロクは、乗った鉄道・軌道の区間を記録して、全国の路線をどれだけ乗りつぶしたかを集計します。"
                       "全国の路線と駅のデータは最初から入っています。まず次の順に試してみてください。"),
        this);
    intro->setWordWrap(true);

    // The buttons use digits as their keys: the letters belong to the main menu (F, E, D, M, S, U, W, H).
    struct Step {
        const char* button;
        const char* command;
        const char* text;
    };
    const Step steps[] = {
        {"1. 路線と乗車の記録(&1)", "ActionMotoDataRosen",
         "路線を「移動」で名前から探し、「乗車実績」ページの「区間」で乗った駅と日付を選んで記録します。"},
        {"2. 乗車経路の入力(&2)", "ActionMotoDataJourney",
         "出発駅・経由駅・到着駅から経路を求め、乗った路線ごとにまとめて記録します。"},
        {"3. 分類ごとの集計(&3)", "ActionShukeiBunrui",
         "「一括実行」で、路線キロ・乗車キロ・乗車率・完乗日を集計します。区分別・年別も同じです。"},
        {"4. 乗車地図(&4)", "ActionShukeiChizu", "乗った区間を地図で見て、都道府県ごとの乗車率を確かめます。"},
        {"5. Accessの記録の取り込み(&5)", "ActionImportAccess",
         "以前の Access 版の記録（Tabiroku.mdb と JJ.MDB）があれば、そのまま移せます。"},
        {"6. ヘルプを開く(&6)", "", "どの画面でも F1 キーでその画面の説明が開きます。"},
    };
    auto* grid = new QGridLayout;
    int row = 0;
    for (const Step& s : steps) {
        auto* button = new QPushButton(QString::fromUtf8(s.button), this);
        button->setObjectName(QStringLiteral("GuideButton%1").arg(row + 1));
        auto* text = new QLabel(QString::fromUtf8(s.text), this);
        text->setWordWrap(true);
        grid->addWidget(button, row, 0);
        grid->addWidget(text, row, 1);
        const QString command = QString::fromUtf8(s.command);
        if (command.isEmpty()) {
            connect(button, &QPushButton::clicked, this, [] { showHelp(kStartTopic); });
        } else {
            // A command that this build does not offer leaves its button disabled rather than doing nothing.
            button->setEnabled(!open || command == QLatin1String("ActionImportAccess") || screenFactory(command));
            connect(button, &QPushButton::clicked, this, [open, command] {
                if (open)
                    open(command);
            });
        }
        m_buttons.append({button, command});
        ++row;
    }
    grid->setColumnStretch(1, 1);

    m_dontShow = new QCheckBox(QStringLiteral("次回から表示しない(&0)"), this);
    m_dontShow->setObjectName(QStringLiteral("GuideDontShow"));
    m_dontShow->setChecked(true);
    auto store = [this] {
        ui::runCommand(this, [this] {
            settings::writeString(kGuideSection, kGuideKey,
                                  m_dontShow->isChecked() ? QStringLiteral("0") : QStringLiteral("1"));
        });
    };
    connect(m_dontShow, &QCheckBox::toggled, this, store);
    store();

    auto* close = new QPushButton(QStringLiteral("閉じる(&9)"), this);
    close->setObjectName(QStringLiteral("GuideClose"));
    connect(close, &QPushButton::clicked, this, &Screen::closeScreen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addStretch(1);
    auto* foot = new QHBoxLayout;
    foot->addWidget(m_dontShow);
    foot->addStretch(1);
    foot->addWidget(close);
    layout->addLayout(foot);
}

} // namespace tabi
