#include "commandline.h"

#include "accessimport.h"

#include "data/database.h"
#include "data/error.h"
#include "data/processguard.h"

#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>

namespace tabi::mdbimport {

namespace {

const char kUsage[] =
    "使い方: tabiroku --import-access 参照データベース.mdb 個人データベース.mdb [--replace] "
    "[--accept-unusual] [--survey]\n"
    "  --replace         乗車実績のある現在の個人データベースも置き換える（控えは backups "
    "フォルダーに残ります）\n"
    "  --accept-unusual  このプログラムでは入力できない値（壊れたファイルのしるし）があっても取り込む\n"
    "  --survey          取り込まずに、ファイルの中身と取り込みで変わることだけを示す\n";

} // namespace

int runImportCommand(int argc, char* argv[]) {
    QStringList files;
    bool replace = false, acceptUnusual = false, surveyOnly = false, lines = false, wrong = false;
    for (int i = 2; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--replace"))
            replace = true;
        else if (a == QLatin1String("--accept-unusual"))
            acceptUnusual = true;
        else if (a == QLatin1String("--survey"))
            surveyOnly = true;
        else if (a == QLatin1String("--lines")) // the window's child: tagged lines on standard output
            lines = true;
        else if (a == QLatin1String("--data-dir") && i + 1 < argc) // the window's own folder of the databases
            paths::setDataDir(QString::fromLocal8Bit(argv[++i]));
        else if (a.startsWith(QLatin1String("--")))
            wrong = true;
        else
            files << a;
    }
    if (files.size() != 2 || wrong) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // libmdb writes a flood of diagnostics about damaged files to standard error; the user reads ours only.
    const int errorFd = guard::silenceStandardError();
    const guard::Voice voice = lines ? guard::Voice::Lines : guard::Voice::Plain;
    guard::Reporter say(voice, errorFd);
    guard::setSubject(files[0]);
    guard::guardThisProcess(guard::importLimits(), voice, errorFd);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    try {
        const Survey survey = surveyFiles(files[0], files[1]);
        say.text(survey.text());
        say.fact(QStringLiteral("blocked"), survey.blockers().isEmpty() ? QStringLiteral("0") : QStringLiteral("1"));
        say.fact(QStringLiteral("rides"), QString::number(survey.currentRides));
        say.fact(QStringLiteral("unusual"),
                 QString::number(survey.reference.unusualCount + survey.personal.unusualCount));
        if (surveyOnly && !survey.blockers().isEmpty()) {
            say.error(QStringLiteral("取り込めません。データベースは元のままです。"));
            return 1;
        }
        if (surveyOnly)
            return 0;
        Options options;
        options.replaceRides = replace;
        options.acceptUnusual = acceptUnusual;
        options.progress = [&say](qint64 done, qint64 total, const QString& table) {
            say.progress(done, total, QStringLiteral("取り込み中（%1）").arg(table));
            return true;
        };
        options.afterStep = [&say](Step step) {
            // From the first replacement on, stopping would only leave work for the next start.
            if (step == Step::Journal)
                say.fact(QStringLiteral("replacing"), QStringLiteral("1"));
        };
        const Result result = importFiles(files[0], files[1], options);
        if (!result.recovered.isEmpty())
            say.text(result.recovered);
        say.text(result.text());
        return 0;
    } catch (const Error& e) {
        say.error(e.message());
        return 1;
    } catch (const std::bad_alloc&) {
        say.error(guard::failureText(files[0], SIGABRT));
        return 1;
    }
}

} // namespace tabi::mdbimport
