#include "app/aboutbox.h"

#include "data/cursor.h"
#include "data/database.h"
#include "data/settingsfile.h"
#include "netimport/netimport.h"
#include "supplied/network.h"
#include "ui/fonts.h"
#include "ui/screens.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace tabi {

namespace {

const QString kFailure = QStringLiteral("Failure");

// A read-only, borderless text field, as the dialog shows its values.
QLineEdit* valueField(const char* name, QWidget* parent, const QRect& geometry, int pixelSize, bool red = false) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFont(ui::uiFont(pixelSize));
    QPalette p = edit->palette();
    p.setBrush(QPalette::Base, Qt::transparent);
    if (red)
        p.setColor(QPalette::Text, QColor(0xFF, 0, 0));
    edit->setPalette(p);
    edit->setGeometry(geometry);
    return edit;
}

QLabel* caption(const QString& text, QWidget* parent, const QRect& geometry, int pixelSize) {
    auto* label = new QLabel(text, parent);
    label->setFont(ui::uiFont(pixelSize));
    label->setGeometry(geometry);
    return label;
}

// A bevelled panel: raised outside, lowered inside.
QFrame* panel(const char* name, QWidget* parent, const QRect& geometry) {
    auto* outer = new QFrame(parent);
    outer->setObjectName(QString::fromLatin1(name));
    outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    outer->setLineWidth(1);
    outer->setGeometry(geometry);
    auto* inner = new QFrame(outer);
    inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inner->setLineWidth(1);
    inner->setGeometry(2, 2, geometry.width() - 4, geometry.height() - 4);
    inner->setAttribute(Qt::WA_TransparentForMouseEvents);
    return outer;
}

// The attribution of the network built into the program, for a database that holds none of it.
QString suppliedAttribution() {
    static const QString author = [] {
        try {
            return supplied::infoOf(supplied::builtInNetwork()).author;
        } catch (const Error&) {
            return QString();
        }
    }();
    return QStringLiteral("路線・駅のデータ（プログラムに同梱）: 駅データ station_database（作成: %1）をもとに加工\n"
                          "ライセンス: クリエイティブ・コモンズ 表示 - 継承 4.0 国際（CC BY-SA 4.0）")
        .arg(author.isEmpty() ? QStringLiteral("データ整備者") : author);
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(ui::uiFont(16));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    placeDialog(this, QStringLiteral("TAboutBox"));

    QFrame* upper = panel("Panel1", this, QRect(8, 8, 466, 170));
    auto* icon = new QLabel(upper);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(QPixmap(QStringLiteral(":/tabiroku/icons/tabiroku.png")));
    icon->setGeometry(12, 10, 32, 32);
    QLabel* product = caption(QStringLiteral("タビロク"), upper, QRect(56, 4, 300, 40), 24);
    product->setObjectName(QStringLiteral("ProductName"));
    caption(QStringLiteral("Ver."), upper, QRect(56, 46, 40, 26), 16);
    m_version = valueField("Version", upper, QRect(96, 46, 120, 26), 16, true);
    m_comment1 = valueField("Comment1", upper, QRect(16, 76, 433, 26), 16);
    m_comment2 = valueField("Comment2", upper, QRect(16, 102, 433, 26), 16);
    caption(QStringLiteral("提供データ作成基準日"), upper, QRect(16, 136, 170, 26), 16);
    m_teikyo = valueField("EditTEIKYO", upper, QRect(192, 136, 140, 26), 16, true);

    QFrame* lower = panel("Panel2", this, QRect(8, 183, 370, 58));
    caption(QStringLiteral("名前    :"), lower, QRect(14, 16, 80, 26), 16);
    m_userName = valueField("UserName", lower, QRect(94, 16, 264, 26), 16);

    m_ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("了解(&R)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setGeometry(385, 206, 89, 33);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    // The data date comes from the first row of VER in date order; the cursor stays open for the whole run.
    m_db = Database::open(DbKind::Reference);
    m_ver = std::make_unique<TableCursor>(m_db, QStringLiteral("VER"), QStringLiteral("VER_DATE"));
    m_ver->open();
    m_ver->first();
    m_teikyo->setText(m_ver->isEmpty() ? QString() : m_ver->displayText(QStringLiteral("VER_DATE")));

    // The licence of the network data (supplied with the program, or imported) asks for its source to be named
    // wherever it is shown.
    m_attribution = new QLabel(this);
    m_attribution->setObjectName(QStringLiteral("NetAttribution"));
    m_attribution->setFont(ui::uiFont(12));
    m_attribution->setWordWrap(true);
    m_attribution->setGeometry(8, 246, 466, 52);
    m_baseSize = size();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::refresh() {
    m_version->setText(QStringLiteral("11.0"));
    m_attribution->setText(net::hasImportedNetwork(*m_db) ? net::attributionText(*m_db) : suppliedAttribution());
    if (height() < 304)
        setFixedSize(m_baseSize.width(), std::max(m_baseSize.height(), 304));
    const std::pair<const char*, QLineEdit*> keys[] = {
        {"Comment1", m_comment1}, {"Comment2", m_comment2}, {"UserName", m_userName}};
    for (const auto& [key, field] : keys) {
        const QString value = settings::readString(QStringLiteral("Tabiroku"), QString::fromLatin1(key), kFailure);
        if (value != kFailure) {
            field->setText(value);
            field->setCursorPosition(0); // a long text shows its start
        }
    }
}

void TAboutBox::showEvent(QShowEvent* event) {
    refresh();
    QDialog::showEvent(event);
}

} // namespace tabi
