#include "app/accessimportcommand.h"

#include "app/importchild.h"
#include "data/error.h"
#include "data/pairswap.h"
#include "ui/command.h"
#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace tabi {

namespace {

const QString kFilter = QStringLiteral("Access データベース (*.mdb *.MDB *.accdb);;すべてのファイル (*.*)");

QString caption() {
    return QStringLiteral("Accessデータベースの取り込み");
}

} // namespace

namespace {

// After a child that did not end well: an import it cut short between the two replacements is finished or rolled
// back now, while nothing holds the databases; the text says what was done.
QString settlePair() {
    const auto lock = pairswap::ImportLock::tryTake();
    if (!lock)
        return {};
    try {
        QString done = pairswap::recoverInterrupted();
        pairswap::removeLeftovers();
        return done;
    } catch (const Error& e) {
        return e.message();
    }
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

    // The files are read in a child process: a damaged one can neither freeze nor take down the window.
    ChildRun surveyRun;
    surveyRun.arguments = {QStringLiteral("--import-access"), reference, personal, QStringLiteral("--survey")};
    surveyRun.subject = reference;
    surveyRun.title = caption();
    surveyRun.label = QStringLiteral("Access のファイルを調べています...");
    surveyRun.progressObject = QStringLiteral("AccessSurveyProgress");
    const ChildOutcome survey = runImportChild(parent, surveyRun);
    if (survey.end == ChildOutcome::End::Cancelled)
        return;
    const QString surveyText = survey.textJoined() + QLatin1Char('\n');
    if (survey.end != ChildOutcome::End::Abnormal &&
        survey.facts.value(QStringLiteral("blocked")) == QLatin1String("1")) {
        ui::critical(parent, caption(), surveyText + QStringLiteral("データベースは元のままです。"));
        return;
    }
    if (survey.end != ChildOutcome::End::Done) {
        ui::showCommandError(parent, survey.failureMessage());
        return;
    }
    QString ask = surveyText;
    if (documents && !documents->subWindowList().isEmpty())
        ask += QStringLiteral("開いている画面はすべて閉じます。\n");
    if (!ui::question(parent, caption(), ask + QStringLiteral("取り込みますか？")))
        return;
    QStringList importArgs = {QStringLiteral("--import-access"), reference, personal};
    const qint64 rides = survey.facts.value(QStringLiteral("rides")).toLongLong();
    if (rides != 0) {
        const QString what =
            rides > 0 ? QStringLiteral("乗車実績 %1 件").arg(rides) : QStringLiteral("記録（読めない状態です）");
        if (!ui::question(parent, caption(),
                          QStringLiteral("現在の個人データベースの%1は、取り込む記録で置き換わります。\n"
                                         "元のデータベースは backups フォルダーに控えを残します。置き換えますか？")
                              .arg(what)))
            return;
        importArgs << QStringLiteral("--replace");
    }
    if (survey.facts.value(QStringLiteral("unusual")).toLongLong() > 0) {
        if (!ui::question(parent, caption(),
                          QStringLiteral("Access のファイルに、このプログラムでは入力できない値が %1 件あります"
                                         "（一覧は先の内容のとおりです）。ファイルが壊れている可能性があります。\n"
                                         "このまま取り込みますか？")
                              .arg(survey.facts.value(QStringLiteral("unusual")))))
            return;
        importArgs << QStringLiteral("--accept-unusual");
    }
    if (documents) {
        documents->closeAllSubWindows();
        // Closed screens go with their connections before anything is replaced.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!documents->subWindowList().isEmpty()) {
            ui::information(parent, caption(), QStringLiteral("閉じられない画面があるため、取り込みませんでした。"));
            return;
        }
    }

    ChildRun importRun;
    importRun.arguments = importArgs;
    importRun.subject = reference;
    importRun.title = caption();
    importRun.label = QStringLiteral("Access のデータベースを取り込んでいます...");
    importRun.progressObject = QStringLiteral("AccessImportProgress");
    // The child replaces the databases only when no window holds them open: this one lets go meanwhile.
    pairswap::releaseOpen();
    const ChildOutcome result = runImportChild(parent, importRun);
    const QString settled = result.end == ChildOutcome::End::Done ? QString() : settlePair();
    pairswap::holdOpen();
    switch (result.end) {
    case ChildOutcome::End::Done:
        ui::information(parent, caption(), result.textJoined());
        break;
    case ChildOutcome::End::Cancelled:
        ui::information(parent, caption(), result.failureMessage());
        break;
    default:
        ui::showCommandError(parent, result.failureMessage() +
                                         (settled.isEmpty() ? QString() : QStringLiteral("\n") + settled));
        break;
    }
}

} // namespace tabi
