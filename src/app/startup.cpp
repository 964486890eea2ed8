#include "app/startup.h"

#include "app/aboutbox.h"
#include "app/mainform.h"
#include "data/error.h"
#include "ui/command.h"
#include "ui/helptopics.h"
#include "ui/screens.h"

#include <QList>

namespace tabi {

std::unique_ptr<TMainForm> startUp() {
    setApplicationHelpFile(QString::fromUtf16(kApplicationHelpFile));

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
