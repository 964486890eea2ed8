#include "app/accessimportcommand.h"

#include "data/error.h"
#include "mdbimport/accessimport.h"
#include "ui/command.h"
#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <optional>

namespace tabi {

namespace {

const QString kFilter = QStringLiteral("Access データベース (*.mdb *.MDB *.accdb);;すべてのファイル (*.*)");

QString caption() {
    return QStringLiteral("Accessデータベースの取り込み");
}

} // namespace

void importAccessDatabases(QWidget* parent, QMdiArea* documents) {
    const QString reference =
        ui::getOpenFileName(parent, QStringLiteral("参照データベース (Tabiroku.mdb) を開く"), kFilter);
    if (reference.isEmpty())
        return;
    const QString personal = ui::getOpenFileName(parent, QStringLiteral("個人データベース (JJ.MDB) を開く"), kFilter,
                                                 QFileInfo(reference).absolutePath());
    if (personal.isEmpty())
        return;
    try {
        std::optional<mdbimport::Survey> survey;
        {
            ui::WaitCursor wait;
            survey = mdbimport::surveyFiles(reference, personal);
        }
        if (!survey->blockers().isEmpty()) {
            ui::critical(parent, caption(), survey->text() + QStringLiteral("データベースは元のままです。"));
            return;
        }
        QString ask = survey->text();
        if (documents && !documents->subWindowList().isEmpty())
            ask += QStringLiteral("開いている画面はすべて閉じます。\n");
        if (!ui::question(parent, caption(), ask + QStringLiteral("取り込みますか？")))
            return;
        mdbimport::Options options;
        if (survey->needsConfirmation()) {
            const QString rides = survey->currentRides > 0 ? QStringLiteral("乗車実績 %1 件").arg(survey->currentRides)
                                                           : QStringLiteral("記録（読めない状態です）");
            if (!ui::question(parent, caption(),
                              QStringLiteral("現在の個人データベースの%1は、取り込む記録で置き換わります。\n"
                                             "元のデータベースは backups フォルダーに控えを残します。置き換えますか？")
                                  .arg(rides)))
                return;
            options.replaceRides = true;
        }
        if (documents) {
            documents->closeAllSubWindows();
            // Closed screens go with their connections before anything is replaced.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (!documents->subWindowList().isEmpty()) {
                ui::information(parent, caption(),
                                QStringLiteral("閉じられない画面があるため、取り込みませんでした。"));
                return;
            }
        }

        QProgressDialog progress(QStringLiteral("Access のデータベースを取り込んでいます..."), QStringLiteral("中止"),
                                 0, 1000, parent);
        progress.setObjectName(QStringLiteral("AccessImportProgress"));
        progress.setWindowTitle(caption());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        progress.setValue(0);
        options.progress = [&progress](qint64 done, qint64 total, const QString& table) {
            progress.setLabelText(QStringLiteral("Access のデータベースを取り込んでいます... %1").arg(table));
            progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        };
        std::optional<mdbimport::Result> result;
        {
            ui::WaitCursor wait;
            result = mdbimport::importFiles(reference, personal, options);
        }
        progress.close();
        ui::information(parent, caption(), result->text());
    } catch (const Error& e) {
        ui::showCommandError(parent, e.message());
    }
}

} // namespace tabi
