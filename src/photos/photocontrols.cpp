#include "photos/photocontrols.h"

#include "ui/command.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tabi::photos {

namespace {
constexpr int kStepButtons = 4; // first, prior, next, +5; save comes after them
}

PhotoControls::PhotoControls(QWidget* host, PhotoKeys keys, bool placeholders)
    : m_host(host), m_series(std::move(keys), placeholders) {}

PhotoControls::~PhotoControls() = default;

QPushButton* PhotoControls::button(const QString& objectName) const {
    return m_host->findChild<QPushButton*>(objectName);
}

void PhotoControls::createButtons(const std::array<ButtonFace, 5>& faces) {
    static constexpr const char* names[] = {"BitBtnT", "BitBtnP", "BitBtnN", "BitBtn5", "BitBtnS"};
    static constexpr void (PhotoControls::*actions[])() = {&PhotoControls::first, &PhotoControls::prior,
                                                           &PhotoControls::next, &PhotoControls::plus5,
                                                           &PhotoControls::save};
    for (std::size_t i = 0; i < faces.size(); ++i) {
        auto* button = new QPushButton(QString::fromUtf8(faces[i].caption), m_host);
        button->setObjectName(QString::fromLatin1(names[i]));
        button->setGeometry(faces[i].geometry);
        QObject::connect(button, &QPushButton::clicked, m_host, [this, action = actions[i]] { (this->*action)(); });
        m_buttons[i] = button;
    }
}

void PhotoControls::createCodeField() {
    m_codePhoto = new QLineEdit(m_host);
    m_codePhoto->setObjectName(QStringLiteral("CODE_PHOTO"));
    m_codePhoto->hide();
}

template <class F> void PhotoControls::command(F&& f) {
    // Whatever the command got to, the controls show it, and before an error box is up, so that the box stands
    // over the page as it now is.
    struct ShowStateAfter {
        PhotoControls* controls;
        ~ShowStateAfter() { controls->showState(); }
    };
    ui::runCommand(m_host, [this, &f] {
        ShowStateAfter show{this};
        f();
    });
}

void PhotoControls::start() {
    command([this] { m_series.start(m_codePhoto->text()); });
}

void PhotoControls::first() {
    command([this] { m_series.first(); });
}

void PhotoControls::prior() {
    command([this] { m_series.prior(); });
}

void PhotoControls::next() {
    command([this] { m_series.next(); });
}

void PhotoControls::plus5() {
    command([this] { m_series.plus5(); });
}

void PhotoControls::save() {
    // Off while no photo is shown: the number's description was not read, so nothing is written over it.
    if (!m_buttons[4]->isEnabled())
        return;
    // The text area may not hold a description exactly as read (a lone CR, for one); while it still shows what
    // it was given, the description as read is what is saved.
    const QString text = m_memo->toPlainText();
    ui::runCommand(m_host, [this, &text] { m_series.save(text == m_shownText ? m_series.description() : text); });
}

void PhotoControls::showState() {
    if (m_hideImageWithoutPhoto)
        m_image->setVisible(m_series.imageVisible());
    m_image->setPixmap(m_series.image().isNull() ? QPixmap() : QPixmap::fromImage(m_series.image()));
    if (m_info) {
        m_info->setText(m_series.infoLine());
        m_info->setCursorPosition(0); // a long line shows its start, the file's name
    }
    QPalette pal = m_memo->palette();
    pal.setColor(QPalette::Text, m_series.descriptionMissing() ? QColor(0xFF, 0x00, 0x00) : QColor(Qt::black));
    pal.setColor(QPalette::Base, Qt::white);
    m_memo->setPalette(pal);
    m_memo->setPlainText(m_series.description());
    m_shownText = m_memo->toPlainText();
    const PhotoButtons& b = m_series.buttons();
    const bool enabled[] = {b.first, b.prior, b.next, b.plus5, b.save};
    int focused = -1;
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i]->hasFocus())
            focused = int(i);
        if (enabled[i])
            m_buttons[i]->setEnabled(true);
    }
    // A focused button that turns itself off would hand the focus on to the next control in Tab order, which is
    // save or the screen's close button, where the next Space would act. The focus stays among the stepping
    // buttons instead, on the nearest one still on (the earlier on a tie), else on the text area.
    if (focused >= 0 && !enabled[focused]) {
        QWidget* to = m_memo;
        for (int distance = 1; distance < kStepButtons && to == m_memo; ++distance)
            for (int i : {focused - distance, focused + distance})
                if (i >= 0 && i < kStepButtons && enabled[i]) {
                    to = m_buttons[std::size_t(i)];
                    break;
                }
        to->setFocus(Qt::OtherFocusReason);
    }
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        if (!enabled[i])
            m_buttons[i]->setEnabled(false);
}

} // namespace tabi::photos
