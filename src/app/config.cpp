#include "app/config.h"

#include "app/sysmem.h"
#include "data/formats.h"
#include "data/settingsfile.h"
#include "ui/command.h"
#include "ui/fonts.h"
#include "ui/helptopics.h"
#include "ui/screens.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tabi {

namespace {

const QString kFailure = QStringLiteral("Failure");

QString read(const char* section, const char* key) {
    return settings::readString(QString::fromLatin1(section), QString::fromLatin1(key), kFailure);
}

settings::Entry entry(const char* section, const char* key, const QString& value, const QString& label = {}) {
    return {QString::fromLatin1(section), QString::fromLatin1(key), value, label};
}

// Puts a stored text into a field; an absent key leaves the field as it was. The field remembers the value, so
// that a value it cannot show as stored (longer than the field takes) is written back unchanged when untouched.
void fill(QLineEdit* edit, const char* section, const char* key) {
    const QString value = read(section, key);
    if (value == kFailure)
        return;
    edit->setText(value);
    edit->setCursorPosition(0); // a long text shows its start
    edit->setProperty("storedValue", value);
    edit->setProperty("shownValue", edit->text());
}

// What a field writes: what it shows, or the stored value it was filled with while it still shows that.
QString fieldValue(const QLineEdit* edit) {
    const QVariant shown = edit->property("shownValue");
    return shown.isValid() && shown.toString() == edit->text() ? edit->property("storedValue").toString()
                                                               : edit->text();
}

QLineEdit* folderField(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedWidth(465);
    return edit;
}

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

void registerShellScreens() {
    if (!screenFactory(QStringLiteral("ActionConfig")))
        registerScreen(QStringLiteral("ActionConfig"), [](QWidget* parent) { return new TConfig(parent); });
}

TConfig::TConfig(QWidget* parent) : Screen(parent) {
    setObjectName(QStringLiteral("Config"));
    setWindowTitle(QStringLiteral("環境設定"));
    setFont(ui::uiFont(16));

    // Main window position.
    auto* positionBox = new QGroupBox(QStringLiteral("メイン画面の位置"), this);
    m_radioButton1 = new QRadioButton(QStringLiteral("前回終了時"), positionBox);
    m_radioButton1->setObjectName(QStringLiteral("RadioButton1"));
    m_radioButton1->setToolTip(QStringLiteral("前回終了時の位置に、メニュー画面を位置づける"));
    m_radioButton1->setEnabled(false);
    m_radioButton2 = new QRadioButton(QStringLiteral("常に画面の左上"), positionBox);
    m_radioButton2->setObjectName(QStringLiteral("RadioButton2"));
    m_radioButton2->setToolTip(QStringLiteral("常にメニュー画面を画面全体の左上に位置づける"));
    for (QRadioButton* b : {m_radioButton1, m_radioButton2})
        b->setStatusTip(b->toolTip());
    auto* positionLayout = new QVBoxLayout(positionBox);
    positionLayout->addWidget(m_radioButton1);
    positionLayout->addWidget(m_radioButton2);

    // Computer status.
    auto* statusBox = new QGroupBox(QStringLiteral("コンピューターの状態"), this);
    m_labelPhysMem = valueLabel("LabelPhysMem", statusBox);
    m_labelFreeRes = valueLabel("LabelFreeRes", statusBox);
    auto* statusLayout = new QGridLayout(statusBox);
    statusLayout->addWidget(new QLabel(QStringLiteral("利用可能物理メモリ："), statusBox), 0, 0);
    statusLayout->addWidget(m_labelPhysMem, 0, 1, Qt::AlignRight);
    statusLayout->addWidget(new QLabel(QStringLiteral("システムリソース："), statusBox), 1, 0);
    statusLayout->addWidget(m_labelFreeRes, 1, 1, Qt::AlignRight);

    // Folders.
    auto* folderBox = new QGroupBox(QStringLiteral("フォルダー(Helpファイルのみファイル名まで)"), this);
    m_editPhotoPath = folderField("EditPhotoPath", folderBox);
    m_editDocPath = folderField("EditDocPath", folderBox);
    m_editPhotoPath2 = folderField("EditPhotoPath2", folderBox);
    m_editDocPath2 = folderField("EditDocPath2", folderBox);
    m_editExePath = folderField("EditExePath", folderBox);
    m_editExePath->setReadOnly(true);
    QPalette face = m_editExePath->palette();
    face.setBrush(QPalette::Base, face.brush(QPalette::Button));
    m_editExePath->setPalette(face);
    m_editHelpFile = folderField("EditHelpFile", folderBox);
    m_editHelpFile->setReadOnly(true);
    auto* folderLayout = new QGridLayout(folderBox);
    folderLayout->setContentsMargins(4, 2, 4, 4);
    folderLayout->setHorizontalSpacing(4);
    folderLayout->setVerticalSpacing(5);
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"画像ファイル1：", m_editPhotoPath}, {"文書ファイル1：", m_editDocPath}, {"画像ファイル2：", m_editPhotoPath2},
        {"文書ファイル2：", m_editDocPath2},  {"実行ファイル：", m_editExePath},  {"Helpファイル：", m_editHelpFile},
    };
    int row = 0;
    for (const auto& [caption, edit] : rows) {
        auto* label = new QLabel(QString::fromUtf8(caption), folderBox);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(edit);
        folderLayout->addWidget(label, row, 0);
        folderLayout->addWidget(edit, row, 1);
        ++row;
    }

    // User.
    auto* userBox = new QGroupBox(QStringLiteral("利用者情報"), this);
    m_editUserName = new QLineEdit(userBox);
    m_editUserName->setObjectName(QStringLiteral("EditUserName"));
    m_editUserName->setMaxLength(30);
    auto* userLayout = new QHBoxLayout(userBox);
    userLayout->addWidget(new QLabel(QStringLiteral("名称      ："), userBox));
    userLayout->addWidget(m_editUserName, 1);

    // Counting range of the tally by year.
    auto* monthBox = new QGroupBox(QStringLiteral("集計月範囲"), this);
    m_radioButtonM1 = new QRadioButton(QStringLiteral("1月～12月"), monthBox);
    m_radioButtonM1->setObjectName(QStringLiteral("RadioButtonM1"));
    m_radioButtonM4 = new QRadioButton(QStringLiteral("4月～翌年3月"), monthBox);
    m_radioButtonM4->setObjectName(QStringLiteral("RadioButtonM4"));
    auto* monthLayout = new QVBoxLayout(monthBox);
    monthLayout->addWidget(m_radioButtonM1);
    monthLayout->addWidget(m_radioButtonM4);

    // Buttons.
    m_ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("了解(&R)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtnOK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("取消(&C)"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtnCancel"));
    QPushButton* help = addHelpButton(this, QStringLiteral("TConfig"));
    for (QPushButton* b : {m_ok, m_cancel, help}) {
        b->setAutoDefault(true); // Enter presses the focused button
        b->setMinimumSize(100, 33);
    }
    ui::connectCommand(m_ok, this, [this] { accept(); });
    ui::connectCommand(m_cancel, this, [this] { cancel(); });

    auto* top = new QHBoxLayout;
    top->addWidget(positionBox, 1);
    top->addWidget(statusBox, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(userBox, 3);
    bottom->addWidget(monthBox, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 6);
    layout->setSpacing(6);
    layout->addLayout(top);
    layout->addWidget(folderBox);
    layout->addLayout(bottom);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

void TConfig::activated() {
    const MemoryStatus memory = memoryStatus();
    m_labelPhysMem->setText(fmt::formatNumber(double(memory.totalBytes / 1024), u"#,###") + QStringLiteral(" KB"));
    m_labelFreeRes->setText(QString::asprintf("%d %%", memory.loadPercent));

    m_editExePath->setText(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    m_editHelpFile->setText(applicationHelpFile());
    m_editExePath->setCursorPosition(0);
    m_editHelpFile->setCursorPosition(0);

    fill(m_editDocPath, "Path", "DocPath");
    fill(m_editPhotoPath, "Path", "PhotoPath");
    fill(m_editDocPath2, "Path", "OthersDocPath");
    fill(m_editPhotoPath2, "Path", "OthersPhotoPath");

    if (read("Form", "PositionSave") == QLatin1String("ON"))
        m_radioButton1->setChecked(true);
    else
        m_radioButton2->setChecked(true);

    if (settings::yearStartMonth() == 1)
        m_radioButtonM1->setChecked(true);
    else
        m_radioButtonM4->setChecked(true);

    fill(m_editUserName, "Tabiroku", "UserName");
}

void TConfig::accept() {
    // One replacement of the file: when it fails (a full disk) the message names the file and the reason, the
    // file stays as it was and the dialog stays open with what was typed.
    settings::writeStrings({
        entry("Form", "PositionSave", m_radioButton1->isChecked() ? QStringLiteral("ON") : QStringLiteral("OFF")),
        entry("Path", "DocPath", fieldValue(m_editDocPath), QStringLiteral("文書ファイル1")),
        entry("Path", "PhotoPath", fieldValue(m_editPhotoPath), QStringLiteral("画像ファイル1")),
        entry("Path", "OthersDocPath", fieldValue(m_editDocPath2), QStringLiteral("文書ファイル2")),
        entry("Path", "OthersPhotoPath", fieldValue(m_editPhotoPath2), QStringLiteral("画像ファイル2")),
        entry("Tabiroku", "UserName", fieldValue(m_editUserName), QStringLiteral("名称")),
        entry("CalcOption", "StartMonth", QString::number(m_radioButtonM1->isChecked() ? 1 : 4)),
    });
    closeScreen();
}

void TConfig::cancel() {
    closeScreen();
}

void TConfig::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_ok->click();
        return;
    case Qt::Key_Escape:
        m_cancel->click();
        return;
    default:
        Screen::keyPressEvent(event);
    }
}

} // namespace tabi
