#include "app/startup.h"

#include "app/aboutbox.h"
#include "app/mainform.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "data/pairswap.h"
#include "ui/command.h"
#include "ui/dialogs.h"
#include "ui/helptopics.h"
#include "ui/screens.h"

#include <QDate>
#include <QDir>
#include <QList>

namespace tabi {

QString futureCopiesNotice(const QString& record, const QDate& today) {
    const QStringList later = backup::copiesDatedAfter(record, today);
    if (later.isEmpty())
        return {};
    return QStringLiteral(
               "個人記録の控えのフォルダー %1 に、今日（%2）より後の日付の控えがあります：\n%3\n\n"
               "コンピューターの時計が進んでいたときに作られたものと思われます。今日の控えはいつも残しますが、"
               "ほかの控えは名前の日付の古いものから消すため、これらが残るぶん最近の控えが少なくなります。"
               "不要であれば、別の場所へ移すか削除してください。")
        .arg(QDir::toNativeSeparators(backup::folderFor(record)), today.toString(QStringLiteral("yyyy-MM-dd")),
             later.join(QLatin1Char('\n')));
}

namespace {
// Today's copy of the personal record, before any screen opens it. A copy that fails is told once; the
// program goes on without it.
void copyPersonalRecord() {
    const QString record = paths::databaseFile(DbKind::Personal);
    const QDate today = QDate::currentDate();
    try {
        backup::dailyCopy(record, today);
    } catch (const Error& error) {
        ui::showCommandError(nullptr, error.message());
    }
    const QString notice = futureCopiesNotice(record, today);
    if (!notice.isEmpty())
        ui::information(nullptr, ui::applicationTitle(), notice);
}

// Before anything opens the databases: this window holds the data folder open (an Access import waits for it),
// an import cut short between its two replacements is finished or rolled back, and what killed imports left
// behind goes. False when the program must not start.
bool settleDataFolder() {
    if (!pairswap::holdOpen()) {
        ui::critical(nullptr, ui::applicationTitle(),
                     QStringLiteral("Access データベースの取り込みが実行中です。取り込みが終わってから、"
                                    "もう一度起動してください。"));
        return false;
    }
    try {
        const QString done = pairswap::recoverInterrupted();
        if (!done.isEmpty())
            ui::information(nullptr, ui::applicationTitle(), done);
    } catch (const Error& error) {
        ui::showCommandError(nullptr, error.message());
        return false;
    }
    if (const auto lock = pairswap::ImportLock::tryTake())
        pairswap::removeLeftovers();
    return true;
}
} // namespace

std::unique_ptr<TMainForm> startUp() {
    setApplicationHelpFile(QString::fromUtf16(kApplicationHelpFile));
    if (!settleDataFolder())
        return nullptr;
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
