// tabiroku --import-network DIR [--with-abolished]: the network import for scripted use, without a display.
#include "netimport/netimport.h"

#include "data/database.h"
#include "data/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>

namespace tabi::net {

namespace {

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fputc('\n', to);
    std::fflush(to);
}

} // namespace

int runImportNetworkCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    const QStringList args = QCoreApplication::arguments().mid(2);
    QString folder;
    bool withAbolished = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--with-abolished"))
            withAbolished = true;
        else if (folder.isEmpty() && !a.startsWith(QLatin1String("--")))
            folder = a;
        else {
            print(stderr,
                  QStringLiteral("使い方: tabiroku --import-network フォルダ [--with-abolished]（不明な引数「%1」）")
                      .arg(a));
            return 2;
        }
    }
    if (folder.isEmpty()) {
        print(stderr, QStringLiteral("使い方: tabiroku --import-network フォルダ [--with-abolished]"));
        return 2;
    }
    try {
        const SourceLayout layout = resolveSource(folder, withAbolished);
        print(stdout, QStringLiteral("駅データ: %1").arg(QDir::toNativeSeparators(layout.lineDir)));
        auto db = Database::open(DbKind::Reference);
        print(stdout, QStringLiteral("参照データベース: %1").arg(QDir::toNativeSeparators(db->path())));
        ImportOptions options;
        int lastTenth = -1;
        options.progress = [&](int done, int total) {
            const int tenth = total > 0 ? done * 10 / total : 10;
            if (tenth != lastTenth) {
                lastTenth = tenth;
                print(stderr, QStringLiteral("取り込み中… %1 / %2 路線").arg(done).arg(total));
            }
        };
        QElapsedTimer timer;
        timer.start();
        const ImportResult result = importNetwork(*db, layout, options);
        for (const QString& line : result.report)
            print(stdout, line);
        print(stdout, result.summary());
        print(stdout, QStringLiteral("取り込みました（%1 秒）。").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
        return 0;
    } catch (const Error& e) {
        print(stderr, QStringLiteral("取り込めませんでした: %1").arg(e.message()));
        return 1;
    }
}

} // namespace tabi::net
