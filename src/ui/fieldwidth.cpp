#include "ui/fieldwidth.h"

#include "data/fieldtext.h"
#include "data/stepcursor.h"
#include "ui/statusmessage.h"

#include <QLineEdit>

#include <algorithm>

namespace tabi::ui {

FieldWidthLimit::FieldWidthLimit(QLineEdit* edit) : QObject(edit), m_edit(edit), m_previous(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_previous = text; });
}

void FieldWidthLimit::setField(const FieldDef* field) {
    const bool text = field && field->type == FieldType::Text && field->size > 0;
    m_width = text ? field->size : 0;
    m_message = text ? cutMessage(*field) : QString();
}

QString FieldWidthLimit::cutMessage(const FieldDef& field) {
    return QStringLiteral("%1 には %2 文字までしか入りません。入力を %2 文字に切り詰めました。")
        .arg(field.label.isEmpty() ? field.name : QStringLiteral("「%1」").arg(field.label))
        .arg(field.size);
}

bool FieldWidthLimit::apply() {
    const QString now = m_edit->text();
    if (m_width <= 0 || now.size() <= m_width || characterCount(now) <= m_width || forbiddenCharacterAt(now) >= 0)
        return false;
    // The inserted part is what lies between the text both versions begin with and the text both end with;
    // neither bound may fall inside a surrogate pair.
    const QString& before = m_previous;
    qsizetype head = 0;
    const qsizetype shorter = std::min(before.size(), now.size());
    while (head < shorter && before.at(head) == now.at(head))
        ++head;
    if (head > 0 && now.at(head - 1).isHighSurrogate())
        --head;
    qsizetype tail = 0;
    while (tail < shorter - head && before.at(before.size() - 1 - tail) == now.at(now.size() - 1 - tail))
        ++tail;
    if (tail > 0 && now.at(now.size() - tail).isLowSurrogate())
        --tail;
    const QString kept = now.left(head) + now.right(tail);
    const int room = m_width - characterCount(kept);
    QString cut;
    int cursor;
    if (room < 0) {
        // The text was already too long before this edit: keep its start.
        cut = firstCharacters(now, m_width);
        cursor = int(cut.size());
    } else {
        const QString inserted = firstCharacters(now.mid(head, now.size() - head - tail), room);
        cut = now.left(head) + inserted + now.right(tail);
        cursor = int(head + inserted.size());
    }
    m_edit->setText(cut);
    m_edit->setCursorPosition(cursor);
    m_edit->setModified(true); // setText cleared it; the text is the user's edit
    showStatusMessage(m_edit, m_message);
    return true;
}

} // namespace tabi::ui
