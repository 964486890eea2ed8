#include "routes/screenparts.h"

#include "ui/helptopics.h"
#include "routes/plandialog.h"
#include "ui/dbcontrols.h"
#include "ui/dbnavigator.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tabi::routes {

QLabel* fieldCaption(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

ui::DBEdit* displayEdit(TableCursor& cursor, const QString& field, const QString& objectName, int width,
                        QWidget* parent) {
    auto* e = new ui::DBEdit(&cursor, field, parent);
    e->setObjectName(objectName);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    if (width)
        e->setFixedWidth(width);
    return e;
}

void makeRed(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Text, Qt::red);
    w->setPalette(p);
}

QHBoxLayout* kiloStrip(ui::DBNavigator* navigator, TableCursor& routes, const QString& kiloObjectName,
                       QWidget* parent) {
    auto* strip = new QHBoxLayout;
    strip->addWidget(navigator);
    strip->addSpacing(16);
    strip->addWidget(new QLabel(QStringLiteral("キロ程："), parent));
    auto* kilo = displayEdit(routes, QStringLiteral("KILO"), kiloObjectName, 90, parent);
    kilo->setAlignment(Qt::AlignRight);
    strip->addWidget(kilo);
    strip->addStretch();
    return strip;
}

QPushButton* addCommandButton(QBoxLayout* column, const char* objectName, const QString& caption, QWidget* owner) {
    auto* b = new QPushButton(caption, owner);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setFixedSize(89, 33);
    column->addWidget(b);
    return b;
}

void addHelpCommand(QBoxLayout* column, QWidget* screen, const QString& screenClass) {
    QPushButton* help = addHelpButton(screen, screenClass);
    help->setFixedSize(89, 33);
    column->addWidget(help);
}

void addTotalLength(QWidget* owner, TableCursor& routes, const QString& kiloObjectName, int x, int y,
                    int captionWidth) {
    auto* total = new QLabel(QStringLiteral("全長:"), owner);
    total->setGeometry(x, y, captionWidth, 26);
    auto* kilo = new ui::DBEdit(&routes, QStringLiteral("KILO"), owner);
    kilo->setObjectName(kiloObjectName);
    kilo->setReadOnly(true);
    kilo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    kilo->setGeometry(x, y + 28, 84, 26);
    auto* km = new QLabel(QStringLiteral("km"), owner);
    km->setGeometry(x + 88, y + 28, 28, 26);
}

QButtonGroup* addScaleChoice(QWidget* owner, const QRect& geometry, QRadioButton* (&radios)[3]) {
    auto* group = new QGroupBox(QStringLiteral("目盛選択"), owner);
    group->setGeometry(geometry);
    auto* groupLayout = new QVBoxLayout(group);
    auto* buttons = new QButtonGroup(owner);
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QString::fromUtf8(kScaleChoices[i].caption), group);
        rb->setObjectName(QString::fromLatin1(kScaleChoices[i].name));
        rb->setToolTip(QString::fromUtf8(kScaleChoices[i].hint));
        groupLayout->addWidget(rb);
        buttons->addButton(rb, kScaleChoices[i].scale);
        radios[i] = rb;
    }
    return buttons;
}

} // namespace tabi::routes
