#pragma once

#include "data/cursor.h"

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace tabi::ui {
class DBEdit;
class DBNavigator;
} // namespace tabi::ui

// Pieces the route master screen and the ride record screen build alike: the route header's captions and
// display-only fields, the strip above a grid of the route's rows and the command column on the right.
namespace tabi::routes {

// A caption standing right-aligned in front of its field.
QLabel* fieldCaption(const QString& text, QWidget* parent);
// A field that shows a value of the cursor but is neither typed into nor tabbed to; width 0 leaves the width
// to the layout.
ui::DBEdit* displayEdit(TableCursor& cursor, const QString& field, const QString& objectName, int width,
                        QWidget* parent);
// Red text, as a closing date is shown.
void makeRed(QWidget* w);
// The strip above a grid: its navigator, then the route's "キロ程：" shown in a display-only field.
QHBoxLayout* kiloStrip(ui::DBNavigator* navigator, TableCursor& routes, const QString& kiloObjectName, QWidget* parent);
// A button of the command column, 89 x 33, added to the column.
QPushButton* addCommandButton(QBoxLayout* column, const char* objectName, const QString& caption, QWidget* owner);
// The screen's help button in the command column, sized as the other commands.
void addHelpCommand(QBoxLayout* column, QWidget* screen, const QString& screenClass);

} // namespace tabi::routes
