#pragma once

#include "data/cursor.h"

class QBoxLayout;
class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QRect;
class QWidget;

namespace tabi::ui {
class DBEdit;
class DBNavigator;
} // namespace tabi::ui

// Pieces the route screens build alike: the route header's captions and display-only fields, the strip above a
// grid of the route's rows and the command column on the right (route master and ride record screens), and the
// total length and scale choice of the two route drawings.
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

// The route's total length, "全長:" [KILO] "km", with its top-left corner at x, y; the caption is captionWidth wide.
void addTotalLength(QWidget* owner, TableCursor& routes, const QString& kiloObjectName, int x, int y,
                    int captionWidth);
// The "目盛選択" group at geometry, one radio button a scale choice; the button group's ids are the scales.
// radios receives the three buttons.
QButtonGroup* addScaleChoice(QWidget* owner, const QRect& geometry, QRadioButton* (&radios)[3]);

} // namespace tabi::routes
