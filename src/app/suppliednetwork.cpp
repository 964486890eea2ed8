#include "app/suppliednetwork.h"

#include "app/netimportdialog.h"
#include "data/database.h"
#include "data/error.h"
#include "supplied/offer.h"
#include "ui/command.h"
#include "ui/dialogs.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace tabi {

namespace {

const QString kTitle = QStringLiteral("全国路線データ");
constexpr int kReportLines = 12; // the question names this many reported routes; the report after has them all

QString changesText(const net::ImportResult& preview) {
    QStringList lines{preview.summary()};
    if (!preview.report.isEmpty()) {
        lines << QStringLiteral("報告 %1 件:").arg(preview.report.size());
        lines << preview.report.mid(0, kReportLines);
        if (preview.report.size() > kReportLines)
            lines << QStringLiteral("…ほか %1 件（取り込み後の報告で確かめられます）")
                         .arg(preview.report.size() - kReportLines);
    }
    return lines.join(QLatin1Char('\n'));
}

// The preview and the merge each take a few seconds before the main window is there: a progress dialog says so.
class Progress {
public:
    Progress(QWidget* parent, const QString& text) : m_dialog(text, QString(), 0, 100, parent) {
        m_dialog.setObjectName(QStringLiteral("NetworkOfferProgress"));
        m_dialog.setWindowTitle(kTitle);
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setValue(0);
    }
    std::function<void(int, int)> callback() {
        return [this](int done, int total) {
            m_dialog.setMaximum(total);
            m_dialog.setValue(done);
        };
    }

private:
    QProgressDialog m_dialog;
};

void offer(QWidget* parent, const QByteArray& network) {
    const QString path = paths::databaseFile(DbKind::Reference);
    if (!refusalOfFile(path).isEmpty())
        return; // the start says why it cannot open it
    std::shared_ptr<Database> db;
    supplied::NetworkInfo info;
    net::ImportResult preview;
    bool due = false;
    if (!ui::runCommand(parent,
                        [&] {
                            db = Database::open(DbKind::Reference);
                            info = supplied::infoOf(network);
                            due = supplied::offerDue(*db, info);
                            if (due) {
                                net::ImportOptions dry;
                                dry.dryRun = true;
                                preview = supplied::mergeNetwork(*db, network, dry);
                            }
                        }) ||
        !due)
        return;
    const QString date = info.date.isValid() ? info.date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    if (!ui::question(parent, kTitle, networkOfferText(changesText(preview), date))) {
        ui::runCommand(parent, [&] { supplied::recordDeclined(*db, info); });
        return;
    }
    net::ImportResult result;
    if (!ui::runCommand(parent, [&] {
            Progress progress(parent, QStringLiteral("全国路線データを取り込んでいます…"));
            net::ImportOptions options;
            options.progress = progress.callback();
            result = supplied::mergeNetwork(*db, network, options);
        }))
        return;
    QStringList lines{QStringLiteral("全国路線データを最新にしました。"), result.summary()};
    if (!result.report.isEmpty())
        lines << QString() << QStringLiteral("報告（%1 件）:").arg(result.report.size()) << result.report;
    TNetImportReport report(lines.join(QLatin1Char('\n')), parent);
    report.setWindowTitle(kTitle);
    ui::execDialog(report);
}

} // namespace

QString networkOfferText(const QString& changes, const QString& dataDate) {
    return QStringLiteral(
               "全国路線データを最新にしますか？\n\n"
               "このプログラムに同梱の全国路線データ（駅データ station_database%1）を、この参照データベースに"
               "取り込みます。変わるもの:\n%2\n\n"
               "取り込む前に参照データベースの控えを作ります。路線番号、あなたが変えた値、乗車記録はそのまま"
               "です。\n「いいえ」を選ぶと、このデータについては今後尋ねません（「ファイル」→「全国路線データの"
               "取り込み...」でいつでも取り込めます）。")
        .arg(dataDate.isEmpty() ? QString() : QStringLiteral("、%1 時点").arg(dataDate), changes);
}

void prepareReferenceDatabase(QWidget* parent) {
    // Most starts find the database holding the supplied network already or its offer answered: that is told by
    // the network's source line alone, without unpacking the network.
    const QString path = paths::databaseFile(DbKind::Reference);
    if (QFileInfo::exists(path) && refusalOfFile(path).isEmpty()) {
        try {
            const std::shared_ptr<Database> db = Database::open(DbKind::Reference);
            if (!supplied::offerDue(*db, supplied::builtInSource()))
                return;
        } catch (const Error&) {
            // The full check below says what is wrong.
        }
    }
    QByteArray network;
    if (!ui::runCommand(parent, [&] { network = supplied::builtInNetwork(); }))
        return;
    prepareReferenceDatabase(parent, network);
}

void prepareReferenceDatabase(QWidget* parent, const QByteArray& network) {
    const QString path = paths::databaseFile(DbKind::Reference);
    if (!QFileInfo::exists(path)) {
        ui::runCommand(parent, [&] { supplied::createReferenceWithNetwork(path, network); });
        return;
    }
    offer(parent, network);
}

} // namespace tabi
