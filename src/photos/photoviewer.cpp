#include "photos/photoviewer.h"

#include "ui/dialogs.h"
#include "ui/fonts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace tabi::photos {

TPhoto::TPhoto(QWidget* parent) : QDialog(parent), PhotoControls(this, PhotoKeys::routes(), true) {
    setWindowTitle(QStringLiteral("写真表示"));
    setFont(ui::uiFont(16));

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(6, 6, 320, 220);
    m_image->setAlignment(Qt::AlignLeft | Qt::AlignTop); // own size, clipped
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setGeometry(6, 230, 320, 84);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    createButtons({{{"頭(&T)", QRect(6, 320, 65, 33)},
                    {"前(&P)", QRect(91, 320, 65, 33)},
                    {"次(&N)", QRect(176, 320, 65, 33)},
                    {"+5(&F)", QRect(261, 320, 65, 33)},
                    {"保存(&S)", QRect(6, 362, 89, 33)}}});
    for (QPushButton* button : commandButtons())
        button->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("終了(&E)"), this);
    close->setObjectName(QStringLiteral("BitBtnE"));
    close->setGeometry(237, 362, 89, 33);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    createCodeField();
    series().setImageArea(QSize(320, 220), false);
    // Fixed client area, centred on the desktop. (The shell's layout table lives above this library.)
    setFixedSize(333, 417);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(333 / 2, 417 / 2));
}

TPhoto::~TPhoto() = default;

void TPhoto::setCode(const QString& code) {
    m_codePhoto->setText(code);
}

QString TPhoto::code() const {
    return m_codePhoto->text();
}

void TPhoto::activate() {
    start();
}

int TPhoto::run() {
    activate();
    return ui::execDialog(*this);
}

} // namespace tabi::photos
