#include "app/importchild.h"

#include "data/database.h"
#include "data/processguard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <csignal>

namespace tabi {

namespace {

QString g_program;
QStringList g_leading;
int g_watchdogSeconds = 0;

constexpr qsizetype kMaxLineBytes = 64 * 1024; // a longer line is no line of ours: dropped
constexpr int kMaxLines = 20000;               // report lines kept

} // namespace

void setImportChildProgram(const QString& program, const QStringList& leadingArguments) {
    g_program = program;
    g_leading = leadingArguments;
}

void setImportChildWatchdog(int seconds) {
    g_watchdogSeconds = seconds;
}

QString ChildOutcome::failureMessage() const {
    if (end == End::Failed && !error.isEmpty())
        return errorJoined();
    if (end == End::Cancelled)
        return QStringLiteral("取り込みを中止しました。データベースは元のままです。");
    // The child's last words, when it managed to say them, already name the file and the reason.
    if (!error.isEmpty())
        return errorJoined();
    const QString file = facts.value(QStringLiteral("reading"), subject);
    return guard::failureText(file, facts.contains(QStringLiteral("watchdog")) ? SIGALRM : SIGSEGV);
}

ChildOutcome runImportChild(QWidget* parent, const ChildRun& run) {
    ChildOutcome out;
    out.subject = run.subject;
    QProcess child;
    child.setProgram(g_program.isEmpty() ? QCoreApplication::applicationFilePath() : g_program);
    // The child works on the window's own databases, wherever they are.
    child.setArguments(g_leading + run.arguments +
                       QStringList{QStringLiteral("--lines"), QStringLiteral("--data-dir"), paths::dataDir()});
    // The child needs no display; without one it can never open a window of its own.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    child.setProcessEnvironment(env);

    QProgressDialog progress(run.label, QStringLiteral("中止"), 0, 0, parent);
    progress.setObjectName(run.progressObject);
    progress.setMinimumWidth(460);
    progress.setWindowTitle(run.title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);

    QEventLoop loop;
    QByteArray pending, errTail;
    bool replacing = false, cancelled = false, watchdog = false;
    auto takeLine = [&](const QByteArray& raw) {
        const QString line = QString::fromUtf8(raw);
        const QChar tag = line.isEmpty() ? QChar() : line.at(0);
        const QString rest = line.mid(2);
        if (line.size() < 2 || line.at(1) != QLatin1Char('\t'))
            return;
        if (tag == QLatin1Char('P')) {
            const QStringList f = rest.split(QLatin1Char('\t'));
            if (f.size() < 3)
                return;
            const qint64 done = f[0].toLongLong(), total = f[1].toLongLong();
            progress.setLabelText(f.mid(2).join(QLatin1Char(' ')));
            progress.setMaximum(1000);
            progress.setValue(total > 0 ? int(std::clamp<qint64>(done * 1000 / total, 0, 1000)) : 0);
        } else if (tag == QLatin1Char('T')) {
            if (out.text.size() < kMaxLines)
                out.text << rest;
        } else if (tag == QLatin1Char('E')) {
            if (out.error.size() < kMaxLines)
                out.error << rest;
        } else if (tag == QLatin1Char('F')) {
            const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
            const QString name = tab < 0 ? rest : rest.left(tab);
            out.facts.insert(name, tab < 0 ? QString() : rest.mid(tab + 1));
            if (name == QLatin1String("replacing")) {
                // The databases are being replaced: stopping now would only leave work for the next start.
                replacing = true;
                if (QPushButton* b = progress.findChild<QPushButton*>())
                    b->setEnabled(false);
                progress.setLabelText(QStringLiteral("データベースを置き換えています..."));
            }
        }
    };
    auto readOut = [&] {
        pending += child.readAllStandardOutput();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            if (nl <= kMaxLineBytes)
                takeLine(pending.left(nl));
            pending.remove(0, nl + 1);
        }
        if (pending.size() > kMaxLineBytes)
            pending.clear();
    };
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, readOut);
    // Standard error is read and dropped (a damaged file can make a library write without end); the tail stays.
    QObject::connect(&child, &QProcess::readyReadStandardError, &loop, [&] {
        errTail += child.readAllStandardError();
        if (errTail.size() > 4096)
            errTail = errTail.right(4096);
    });
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    auto stop = [&] {
        child.terminate();
        QTimer::singleShot(2000, &child, [&child] {
            if (child.state() != QProcess::NotRunning)
                child.kill();
        });
    };
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        if (replacing || cancelled)
            return;
        cancelled = true;
        progress.setLabelText(QStringLiteral("中止しています..."));
        stop();
    });
    QTimer dog;
    dog.setSingleShot(true);
    QObject::connect(&dog, &QTimer::timeout, &loop, [&] {
        watchdog = true;
        child.kill();
    });
    const int seconds = g_watchdogSeconds > 0 ? g_watchdogSeconds : guard::importLimits().wallSeconds + 30;
    dog.start(seconds * 1000);

    child.start();
    if (child.state() != QProcess::NotRunning || child.waitForStarted(5000))
        loop.exec();
    dog.stop();
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(5000);
    }
    readOut();
    // Closing the dialog says "canceled" too; that is no 中止 of the user's.
    QObject::disconnect(&progress, &QProgressDialog::canceled, nullptr, nullptr);
    progress.close();

    if (child.error() == QProcess::FailedToStart) {
        out.end = ChildOutcome::End::Abnormal;
        out.error << QStringLiteral("取り込みの処理を始められませんでした（%1）。データベースは元のままです。")
                         .arg(child.errorString());
        return out;
    }
    if (watchdog)
        out.facts.insert(QStringLiteral("watchdog"), QStringLiteral("1"));
    if (cancelled && !replacing)
        out.end = ChildOutcome::End::Cancelled;
    else if (watchdog || child.exitStatus() == QProcess::CrashExit)
        out.end = ChildOutcome::End::Abnormal;
    else if (child.exitCode() == 0)
        out.end = ChildOutcome::End::Done;
    else if (!out.error.isEmpty() && child.exitCode() == 1)
        out.end = ChildOutcome::End::Failed;
    else
        out.end = ChildOutcome::End::Abnormal;
    return out;
}

} // namespace tabi
