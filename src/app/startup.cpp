#include "app/startup.h"

#include "app/aboutbox.h"
#include "app/mainform.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "ui/command.h"
#include "ui/helptopics.h"
#include "ui/screens.h"

#include <QDate>
#include <QList>

namespace tabi {

namespace {
// Today's copy of the personal record, before any screen opens it. A copy that fails is told once; the
// program goes on without it.
void copyPersonalRecord() {
    try {
        backup::dailyCopy(paths::databaseFile(DbKind::Personal), QDate::currentDate());
    } catch (const Error& error) {
        ui::showCommandError(nullptr, error.message());
    }
}
} // namespace

std::unique_ptr<TMainForm> startUp() {
    setApplicationHelpFile(QString::fromUtf16(kApplicationHelpFile));
    copyPersonalRecord();

    auto mainForm = std::make_unique<TMainForm>();
    try {
        auto* about = new TAboutBox(mainForm.get());
        mainForm->setAboutBox(about);
        for (const StartupDialog& d : startupDialogs()) {
            QWidget* dialog = d.factory(mainForm.get());
            if (dialog) {
                dialog->hide();
                setLatestScreen(d.className, dialog);
            }
        }
    } catch (const Error& error) {
        ui::showCommandError(nullptr, error.message());
        return nullptr;
    } catch (const std::exception& error) {
        ui::showCommandError(nullptr, QString::fromLocal8Bit(error.what()));
        return nullptr;
    }
    return mainForm;
}

} // namespace tabi
