#include "commandline.h"

#include "accessimport.h"

#include "data/error.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace tabi::mdbimport {

namespace {

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', to);
    std::fflush(to);
}

} // namespace

int runImportCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    QStringList files;
    bool replace = false;
    const QStringList args = QCoreApplication::arguments().mid(2);
    for (const QString& a : args) {
        if (a == QLatin1String("--replace"))
            replace = true;
        else
            files << a;
    }
    if (files.size() != 2 || files[0].startsWith(QLatin1String("--")) || files[1].startsWith(QLatin1String("--"))) {
        print(stderr,
              QStringLiteral("使い方: tabiroku --import-access 参照データベース.mdb 個人データベース.mdb [--replace]\n"
                             "  --replace  乗車実績のある現在の個人データベースも置き換える（控えは backups "
                             "フォルダーに残ります）"));
        return 2;
    }
    try {
        const Survey survey = surveyFiles(files[0], files[1]);
        print(stdout, survey.text());
        Options options;
        options.replaceRides = replace;
        int lastShown = -1;
        options.progress = [&lastShown](qint64 done, qint64 total, const QString& table) {
            const int percent = total > 0 ? int(done * 100 / total) : 100;
            if (percent / 10 != lastShown / 10 || lastShown < 0) {
                lastShown = percent;
                print(stderr, QStringLiteral("取り込み中 %1%（%2）").arg(percent).arg(table));
            }
            return true;
        };
        const Result result = importFiles(files[0], files[1], options);
        print(stdout, result.text());
        return 0;
    } catch (const Error& e) {
        print(stderr, e.message());
        return 1;
    }
}

} // namespace tabi::mdbimport
