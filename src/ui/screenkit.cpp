#include "ui/screenkit.h"

#include "ui/dbnavigator.h"
#include "ui/fonts.h"

#include <QHBoxLayout>
#include <QLabel>
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

QPushButton* addRunAll(QWidget* parent, QVBoxLayout* column, const QList<QPushButton*>& steps, const QString& order) {
    auto* all = new QPushButton(QStringLiteral("一括実行(&A)"), parent);
    all->setObjectName(QStringLiteral("BitBtnAll"));
    all->setFixedSize(89, 33);
    all->setFont(uiFont(16));
    all->setToolTip(QStringLiteral("%1 の順にすべて実行します").arg(order));
    const int first = steps.isEmpty() ? 0 : column->indexOf(steps.first());
    column->insertWidget(std::max(0, first), all);
    auto* note = new QLabel(QStringLiteral("順番：%1").arg(order), parent);
    note->setObjectName(QStringLiteral("LabelOrder"));
    note->setFont(uiFont(12));
    note->setWordWrap(true);
    note->setFixedWidth(89);
    const int last = steps.isEmpty() ? column->count() - 1 : column->indexOf(steps.last());
    column->insertWidget(last + 1, note);
    QObject::connect(all, &QPushButton::clicked, parent, [steps] {
        for (QPushButton* step : steps)
            if (step->isEnabled())
                step->click();
    });
    return all;
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
