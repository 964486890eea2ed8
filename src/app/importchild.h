#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QWidget;

namespace tabi {

// An import run as the program's own command-line form in a child process, so that a damaged file can neither
// freeze the window nor take it down: the child sets its limits on itself (processguard), the window adds a
// watchdog on the clock and a 中止 button, and reads the child's progress, report and failure as tagged lines.
struct ChildOutcome {
    enum class End { Done, Failed, Abnormal, Cancelled };
    End end = End::Failed;
    QStringList text;              // "T" lines: the report or the survey
    QStringList error;             // "E" lines: why it failed
    QHash<QString, QString> facts; // "F" lines
    QString subject;               // the file the child was reading last

    QString textJoined() const { return text.join(QLatin1Char('\n')); }
    QString errorJoined() const { return error.join(QLatin1Char('\n')); }
    // What the user reads when it did not end well: the child's own words, or for a crash, a limit, a hang
    // "<file> を読み取れませんでした（取り込み処理が異常終了しました）。" with the reason.
    QString failureMessage() const;
};

struct ChildRun {
    QStringList arguments;  // after the program: "--import-access", ...
    QString subject;        // named when the child ends abnormally before it named a file itself
    QString title;          // of the progress dialog
    QString label;          // its first text
    QString progressObject; // objectName of the progress dialog
};

// Runs the child with a modal progress dialog and waits for its end, the window answering meanwhile. 中止
// ends the child (not once it has begun to replace the databases: it then finishes within moments).
ChildOutcome runImportChild(QWidget* parent, const ChildRun& run);

// Tests: the program run instead of this executable, with arguments put before the child's own; an empty
// program restores this executable. The watchdog's seconds (0: the import limits' wall clock and a margin).
void setImportChildProgram(const QString& program, const QStringList& leadingArguments = {});
void setImportChildWatchdog(int seconds);

} // namespace tabi
