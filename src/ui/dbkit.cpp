#include "ui/dbkit.h"

#include "data/formats.h"
#include "ui/command.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QHash>
#include <QLocale>
#include <QWidget>

namespace tabi::ui {

bool isNumericField(const FieldDef& field) {
    return field.type == FieldType::Real || field.type == FieldType::Integer || field.type == FieldType::SmallInt;
}

QString formatFieldValue(const FieldDef& field, const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QString();
    switch (field.type) {
    case FieldType::Real:
        return fmt::formatNumber(value.toDouble(), field.format); // plain digits without a format
    case FieldType::Integer:
    case FieldType::SmallInt:
        return field.format.isEmpty() ? QString::number(value.toLongLong())
                                      : fmt::formatNumber(double(value.toLongLong()), field.format);
    case FieldType::Timestamp:
        return fmt::formatTimestamp(value.toString(), field.format);
    case FieldType::Text:
        break;
    }
    return value.toString();
}

QString editFieldValue(const FieldDef& field, const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QString();
    switch (field.type) {
    case FieldType::Real:
        return fmt::formatNumber(value.toDouble(), {}); // never an exponent, which the field would refuse
    case FieldType::Integer:
    case FieldType::SmallInt:
        return QString::number(value.toLongLong());
    default:
        return formatFieldValue(field, value);
    }
}

int fieldWidthChars(const FieldDef& field) {
    if (field.displayWidth > 0)
        return field.displayWidth;
    switch (field.type) {
    case FieldType::Text:
        return field.size > 0 ? field.size : 20;
    case FieldType::Real:
        return 10;
    case FieldType::Integer:
        return 8;
    case FieldType::SmallInt:
        return 6;
    case FieldType::Timestamp:
        return field.format.startsWith(QLatin1String("HH")) ? 5 : (field.format.isEmpty() ? 19 : 10);
    }
    return 10;
}

// ---------------------------------------------------------------------------------------------------------------
// pending edits

namespace {
QHash<TableCursor*, QList<BoundControl*>>& registry() {
    static QHash<TableCursor*, QList<BoundControl*>> controls;
    return controls;
}
} // namespace

void registerBoundControl(TableCursor* cursor, BoundControl* control) {
    if (!cursor || !control)
        return;
    QList<BoundControl*>& list = registry()[cursor];
    if (!list.contains(control))
        list.append(control);
}

void unregisterBoundControl(TableCursor* cursor, BoundControl* control) {
    auto it = registry().find(cursor);
    if (it == registry().end())
        return;
    it->removeAll(control);
    if (it->isEmpty())
        registry().erase(it);
}

void updateRecord(TableCursor& cursor) {
    // A copy: writing a field may make another control refresh, but never (un)register one.
    const QList<BoundControl*> controls = registry().value(&cursor);
    for (BoundControl* c : controls)
        c->flushPending();
}

void detachControls(TableCursor& cursor) {
    const QList<BoundControl*> controls = registry().take(&cursor);
    for (BoundControl* c : controls)
        c->detachCursor();
}

bool confirmDelete(QWidget* parent) {
    return question(parent, applicationTitle(), QStringLiteral("レコードを削除しますか?"));
}

void setButtonFaceLook(QWidget* widget, bool buttonFace) {
    QPalette p = widget->palette();
    const QPalette normal = QApplication::palette(widget);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::Base, buttonFace ? normal.color(g, QPalette::Button) : normal.color(g, QPalette::Base));
    widget->setPalette(p);
}

} // namespace tabi::ui
