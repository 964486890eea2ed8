// tabiroku --import-network DIR [--with-abolished] [--straight-lines] [--preview]: the network import for
// scripted use, without a display.
#include "netimport/netimport.h"

#include "data/database.h"
#include "data/error.h"
#include "data/pairswap.h"
#include "data/processguard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>

namespace tabi::net {

namespace {

const char kUsage[] = "使い方: tabiroku --import-network フォルダ [--with-abolished] [--straight-lines] [--preview]\n"
                      "  --with-abolished  廃止された路線も取り込む（extra フォルダ）\n"
                      "  --straight-lines  線路の形（polyline フォルダ）がなくても、駅の間を直線で測って取り込む\n"
                      "  --preview         取り込まずに、取り込むとどう変わるかだけを示す\n";

} // namespace

int runImportNetworkCommand(int argc, char* argv[]) {
    QString folder;
    bool withAbolished = false, straightLines = false, preview = false, lines = false;
    for (int i = 2; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--with-abolished"))
            withAbolished = true;
        else if (a == QLatin1String("--straight-lines"))
            straightLines = true;
        else if (a == QLatin1String("--preview"))
            preview = true;
        else if (a == QLatin1String("--lines")) // the window's child: tagged lines on standard output
            lines = true;
        else if (a == QLatin1String("--data-dir") && i + 1 < argc) // the window's own folder of the databases
            paths::setDataDir(QString::fromLocal8Bit(argv[++i]));
        else if (folder.isEmpty() && !a.startsWith(QLatin1String("--")))
            folder = a;
        else {
            std::fprintf(stderr, "不明な引数「%s」\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (folder.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const guard::Voice voice = lines ? guard::Voice::Lines : guard::Voice::Plain;
    guard::Reporter say(voice, 2);
    guard::setSubject(QDir::toNativeSeparators(folder));
    guard::guardThisProcess(guard::importLimits(), voice);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    try {
        SourceLayout layout = resolveSource(folder, withAbolished, straightLines);
        guard::setSubject(QDir::toNativeSeparators(layout.lineDir));
        // The window composes its report from the facts and the report lines; a user reads every line.
        const bool plain = voice == guard::Voice::Plain;
        if (plain)
            say.text(QStringLiteral("駅データ: %1").arg(QDir::toNativeSeparators(layout.lineDir)));
        if (layout.polylineDir.isEmpty())
            say.text(QStringLiteral("線路の形（polyline）がないため、指定どおり駅の間を直線で測ります。"));
        // One import at a time; the network import changes the reference database in one transaction, so a
        // window that has it open may stay.
        std::unique_ptr<pairswap::ImportLock> lock;
        if (!preview) {
            lock = std::make_unique<pairswap::ImportLock>(false);
            const QString recovered = pairswap::recoverInterrupted();
            if (!recovered.isEmpty())
                say.text(recovered);
            pairswap::removeLeftovers();
        }
        auto db = Database::open(DbKind::Reference);
        if (plain)
            say.text(QStringLiteral("参照データベース: %1").arg(QDir::toNativeSeparators(db->path())));
        layout.progress = [&say](const QString& what, qint64 done, qint64 total) { say.progress(done, total, what); };
        ImportOptions options;
        options.dryRun = preview;
        options.progress = [&say](int done, int total) {
            say.progress(done, total, QStringLiteral("路線と駅を書き込んでいます"));
        };
        QElapsedTimer timer;
        timer.start();
        const ImportResult result = importNetwork(*db, layout, options);
        if (result.routesDerived == 0)
            throw Error(QStringLiteral("%1 から取り込める路線がありませんでした。")
                            .arg(QDir::toNativeSeparators(layout.lineDir)));
        say.fact(QStringLiteral("reports"), QString::number(result.report.size()));
        say.fact(QStringLiteral("summary"), QString(result.summary()).replace(QLatin1Char('\n'), QLatin1Char('\t')));
        for (const QString& line : result.report)
            say.text(line);
        if (!plain)
            return 0;
        say.text(result.summary());
        if (preview)
            say.text(QStringLiteral("取り込んでいません（--preview）。"));
        else
            say.text(QStringLiteral("取り込みました（%1 秒）。").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
        return 0;
    } catch (const Error& e) {
        say.error(QStringLiteral("取り込めませんでした: %1").arg(e.message()));
        return 1;
    } catch (const std::bad_alloc&) {
        say.error(guard::failureText(QDir::toNativeSeparators(folder), SIGABRT));
        return 1;
    }
}

} // namespace tabi::net
