#include "photos/photopage.h"

#include "ui/dbkit.h"
#include "ui/fonts.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tabi::photos {

PhotoPage::PhotoPage(PhotoKeys keys, int imageTop, QWidget* parent)
    : QWidget(parent), PhotoControls(this, std::move(keys), false) {
    setFont(ui::uiFont(16));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("PanelImage"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, 0, 433, 295);
    m_caption = new QLabel(kNoImageCaption, panel);
    m_caption->setObjectName(QStringLiteral("LabelNoImage"));
    QFont big = ui::uiFont(64);
    big.setBold(true);
    m_caption->setFont(big);
    QPalette pal = m_caption->palette();
    pal.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    m_caption->setPalette(pal);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setGeometry(2, 2, 429, 291);
    m_image = new QLabel(panel);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(6, imageTop, 420, 280);
    m_image->setScaledContents(true); // stretched whatever the photo's own size
    m_image->setAutoFillBackground(true);
    m_image->hide();

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setGeometry(433, 0, 508, 191);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_info = new QLineEdit(this);
    m_info->setObjectName(QStringLiteral("EditPhotoSize"));
    m_info->setReadOnly(true);
    ui::setButtonFaceLook(m_info, true);
    m_info->setGeometry(433, 192 + 5, 508, 29);

    createButtons({{{"先頭(&T)", QRect(441, 247, 89, 33)},
                    {"前へ(&P)", QRect(538, 247, 89, 33)},
                    {"次へ(&N)", QRect(635, 247, 89, 33)},
                    {"＋５(&F)", QRect(732, 247, 89, 33)},
                    {"保存(&S)", QRect(829, 247, 89, 33)}}});
    for (QPushButton* button : commandButtons())
        button->setEnabled(false);
    m_hideImageWithoutPhoto = true;

    createCodeField();
}

PhotoPage::~PhotoPage() = default;

void PhotoPage::pageShown(const QString& code) {
    m_codePhoto->setText(code);
    start();
}

} // namespace tabi::photos
