#include "supplied/commandline.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "data/error.h"
#include "netimport/netimport.h"
#include "supplied/network.h"
#include "supplied/offer.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace tabi::supplied {

namespace {

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fputc('\n', to);
    std::fflush(to);
}

} // namespace

int writeSuppliedNetworkCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    const QStringList args = QCoreApplication::arguments().mid(2);
    const QString usage = QStringLiteral(
        "使い方: tabiroku --write-supplied-network 出力ファイル [--source-commit 行] [--dataset 駅データのフォルダ] "
        "[--source-file 出所のファイル]");
    QString out, commit, dataset, sourceFile;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--source-commit") && i + 1 < args.size())
            commit = args[++i];
        else if (args[i] == QLatin1String("--dataset") && i + 1 < args.size())
            dataset = args[++i];
        else if (args[i] == QLatin1String("--source-file") && i + 1 < args.size())
            sourceFile = args[++i];
        else if (out.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            out = args[i];
        else {
            print(stderr, usage + QStringLiteral("（不明な引数「%1」）").arg(args[i]));
            return 2;
        }
    }
    if (out.isEmpty()) {
        print(stderr, usage);
        return 2;
    }
    try {
        auto db = Database::open(DbKind::Reference);
        print(stdout, QStringLiteral("参照データベース: %1").arg(QDir::toNativeSeparators(db->path())));
        if (!net::hasImportedNetwork(*db)) {
            print(stderr,
                  QStringLiteral("参照データベースに取り込んだ全国路線がありません（先に --import-network）。"));
            return 1;
        }
        if (!commit.isEmpty()) {
            Statement s(*db, QStringLiteral("UPDATE NET_SOURCE SET SOURCE_COMMIT = ?1"));
            s.bindText(1, commit.left(80));
            s.step();
        }
        // The operator spellings of the data set the network was imported from, for later merges.
        const QHash<QString, QString> operators =
            dataset.isEmpty() ? QHash<QString, QString>() : datasetOperatorAliases(dataset);
        const QByteArray text = networkText(*db, operators);
        const QByteArray packed = packNetwork(text);
        files::replaceFile(out, packed, QStringLiteral("全国路線データ"));
        const NetworkInfo info = infoOf(text);
        if (!sourceFile.isEmpty())
            files::replaceFile(sourceFile, sourceFileText(info), QStringLiteral("全国路線データの出所"));
        print(stdout, QStringLiteral("路線 %1、駅 %2（%3）").arg(info.routes).arg(info.stations).arg(info.commit));
        print(stdout, QStringLiteral("%1: %2 バイト（圧縮前 %3 バイト）")
                          .arg(QDir::toNativeSeparators(out))
                          .arg(packed.size())
                          .arg(text.size()));
        return 0;
    } catch (const Error& e) {
        print(stderr, QStringLiteral("書けませんでした: %1").arg(e.message()));
        return 1;
    }
}

} // namespace tabi::supplied
