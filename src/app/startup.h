#pragma once

#include <QString>
#include <functional>
#include <memory>

class QDate;
class QDialog;
class QWidget;

namespace tabi {

class TMainForm;

// The start of the program up to the message loop: application title, help file, main window, version dialog,
// then the start-up dialogs. An error while creating them (a reference database that cannot be opened) is shown
// in the standard error box and gives null: the program ends before the main window appears.
std::unique_ptr<TMainForm> startUp();

// What the start-up says, once, when daily copies of the record are dated after today (a clock that was once
// ahead); empty when there are none.
QString futureCopiesNotice(const QString& record, const QDate& today);

} // namespace tabi
