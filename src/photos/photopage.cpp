#include "photos/photopage.h"

#include "ui/command.h"
#include "ui/dbkit.h"
#include "ui/fonts.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tabi::photos {

PhotoPage::PhotoPage(PhotoKeys keys, int imageTop, QWidget* parent) : QWidget(parent), m_series(std::move(keys)) {
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

    const struct {
        const char* name;
        const char* caption;
        QPushButton** slot;
        void (PhotoPage::*action)();
    } buttons[] = {{"BitBtnT", "先頭(&T)", &m_first, &PhotoPage::first},
                   {"BitBtnP", "前へ(&P)", &m_prior, &PhotoPage::prior},
                   {"BitBtnN", "次へ(&N)", &m_next, &PhotoPage::next},
                   {"BitBtn5", "＋５(&F)", &m_plus5, &PhotoPage::plus5},
                   {"BitBtnS", "保存(&S)", &m_save, &PhotoPage::save}};
    int x = 433 + 8;
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(x, 232 + 15, 89, 33);
        button->setEnabled(false);
        connect(button, &QPushButton::clicked, this, b.action);
        *b.slot = button;
        x += 97;
    }

    m_codePhoto = new QLineEdit(this);
    m_codePhoto->setObjectName(QStringLiteral("CODE_PHOTO"));
    m_codePhoto->hide();
}

PhotoPage::~PhotoPage() = default;

QPushButton* PhotoPage::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

template <class F> void PhotoPage::command(F&& f) {
    ui::runCommand(this, std::forward<F>(f));
    showState(); // whatever the command got to, the page shows it
}

void PhotoPage::pageShown(const QString& code) {
    m_codePhoto->setText(code);
    command([&] { m_series.start(m_codePhoto->text()); });
}

void PhotoPage::first() {
    command([this] { m_series.first(); });
}

void PhotoPage::prior() {
    command([this] { m_series.prior(); });
}

void PhotoPage::next() {
    command([this] { m_series.next(); });
}

void PhotoPage::plus5() {
    command([this] { m_series.plus5(); });
}

void PhotoPage::save() {
    ui::runCommand(this, [this] { m_series.save(m_memo->toPlainText()); });
}

void PhotoPage::showState() {
    m_image->setVisible(m_series.imageVisible());
    m_image->setPixmap(m_series.image().isNull() ? QPixmap() : QPixmap::fromImage(m_series.image()));
    m_info->setText(m_series.infoLine());
    QPalette pal = m_memo->palette();
    pal.setColor(QPalette::Text, m_series.descriptionMissing() ? QColor(0xFF, 0x00, 0x00) : QColor(Qt::black));
    pal.setColor(QPalette::Base, Qt::white);
    m_memo->setPalette(pal);
    m_memo->setPlainText(m_series.description());
    const PhotoButtons& b = m_series.buttons();
    m_first->setEnabled(b.first);
    m_prior->setEnabled(b.prior);
    m_next->setEnabled(b.next);
    m_plus5->setEnabled(b.plus5);
    m_save->setEnabled(b.save);
}

} // namespace tabi::photos
