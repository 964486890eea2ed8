#include "photos/photoviewer.h"

#include "ui/command.h"
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

TPhoto::TPhoto(QWidget* parent) : QDialog(parent), m_series(PhotoKeys::routes(), true) {
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

    const struct {
        const char* name;
        const char* caption;
        QPushButton** slot;
        void (TPhoto::*action)();
        QRect geometry;
    } buttons[] = {{"BitBtnT", "頭(&T)", &m_first, &TPhoto::first, QRect(6, 320, 65, 33)},
                   {"BitBtnP", "前(&P)", &m_prior, &TPhoto::prior, QRect(91, 320, 65, 33)},
                   {"BitBtnN", "次(&N)", &m_next, &TPhoto::next, QRect(176, 320, 65, 33)},
                   {"BitBtn5", "+5(&F)", &m_plus5, &TPhoto::plus5, QRect(261, 320, 65, 33)},
                   {"BitBtnS", "保存(&S)", &m_save, &TPhoto::save, QRect(6, 362, 89, 33)}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(b.geometry);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, b.action);
        *b.slot = button;
    }
    auto* close = new QPushButton(QStringLiteral("終了(&E)"), this);
    close->setObjectName(QStringLiteral("BitBtnE"));
    close->setGeometry(237, 362, 89, 33);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    m_codePhoto = new QLineEdit(this);
    m_codePhoto->setObjectName(QStringLiteral("CODE_PHOTO"));
    m_codePhoto->hide();
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

QPushButton* TPhoto::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

template <class F> void TPhoto::command(F&& f) {
    ui::runCommand(this, std::forward<F>(f));
    showState();
}

void TPhoto::activate() {
    command([this] { m_series.start(m_codePhoto->text()); });
}

int TPhoto::run() {
    activate();
    return ui::execDialog(*this);
}

void TPhoto::first() {
    command([this] { m_series.first(); });
}

void TPhoto::prior() {
    command([this] { m_series.prior(); });
}

void TPhoto::next() {
    command([this] { m_series.next(); });
}

void TPhoto::plus5() {
    command([this] { m_series.plus5(); });
}

void TPhoto::save() {
    ui::runCommand(this, [this] { m_series.save(m_memo->toPlainText()); });
}

void TPhoto::showState() {
    m_image->setPixmap(m_series.image().isNull() ? QPixmap() : QPixmap::fromImage(m_series.image()));
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
