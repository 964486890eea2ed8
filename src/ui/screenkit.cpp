#include "ui/screenkit.h"

#include "ui/dbnavigator.h"
#include "ui/fonts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace tabi::ui {

QPushButton* commandButton(QWidget* parent, QVBoxLayout* column, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFixedSize(89, 33);
    b->setFont(uiFont(16));
    column->addWidget(b);
    return b;
}

QVBoxLayout* rootWithNavigator(QWidget* screen, TableCursor& cursor, QHBoxLayout** topBar) {
    auto* root = new QVBoxLayout(screen);
    root->setContentsMargins(6, 4, 6, 6);
    auto* navigator = new DBNavigator(screen);
    navigator->setObjectName(QStringLiteral("DBNavigator"));
    navigator->setTableCursor(&cursor);
    navigator->setKeyScope(screen);
    navigator->setVisibleButtons(DBNavigator::MoveButtons);
    auto* top = new QHBoxLayout;
    top->addWidget(navigator);
    top->addStretch();
    root->addLayout(top);
    if (topBar)
        *topBar = top;
    return root;
}

} // namespace tabi::ui
