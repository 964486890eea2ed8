#include "app/mdichild.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tabi {

TMDIChild::TMDIChild(const QString& caption, QWidget* parent) : Screen(parent), m_memo(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("MDIChild"));
    setWindowTitle(caption);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);
}

} // namespace tabi
