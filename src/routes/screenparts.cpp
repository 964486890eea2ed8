#include "routes/screenparts.h"

#include "app/helptopics.h"
#include "ui/dbcontrols.h"
#include "ui/dbnavigator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

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

} // namespace tabi::routes
