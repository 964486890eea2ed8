#include "routes/journeycommand.h"

#include "data/database.h"
#include "data/error.h"
#include "data/rules.h"
#include "routes/journey.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>

#include <cstdio>

namespace tabi::routes {

namespace {

void say(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

int fail(const QString& text, int code = 1) {
    std::fprintf(stderr, "tabiroku: %s\n", text.toLocal8Bit().constData());
    return code;
}

const QString kUsage = QStringLiteral("使い方: tabiroku --route 発駅 着駅 [--via 経由駅]... [--no-shinkansen] "
                                      "[--avoid 路線名]... [--date yyyy-mm-dd --record]");

struct Args {
    QStringList stations; // from, vias..., to
    netroute::Options options;
    QDate day;
    bool record = false;
    QString error;
};

Args parse(const QStringList& args) {
    Args o;
    QStringList ends, vias;
    for (int i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--"))) {
                o.error = QStringLiteral("%1 の後に値がありません。\n%2").arg(a, kUsage);
                return false;
            }
            out = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--via")) {
            if (!value(v))
                return o;
            vias.append(v);
        } else if (a == QLatin1String("--avoid")) {
            if (!value(v))
                return o;
            o.options.avoidRoutes.append(v);
        } else if (a == QLatin1String("--no-shinkansen")) {
            o.options.avoidShinkansen = true;
        } else if (a == QLatin1String("--record")) {
            o.record = true;
        } else if (a == QLatin1String("--date")) {
            if (!value(v))
                return o;
            o.day = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
            if (v.size() != 10 || !o.day.isValid()) {
                o.error = QStringLiteral("--date の日付 %1 は yyyy-mm-dd の形の実在する日ではありません。").arg(v);
                return o;
            }
        } else if (!a.startsWith(QLatin1String("--")) && ends.size() < 2) {
            ends.append(a);
        } else {
            o.error = QStringLiteral("%1 は分からない指定です。\n%2").arg(a, kUsage);
            return o;
        }
    }
    if (ends.size() < 2)
        o.error = QStringLiteral("発駅と着駅を指定してください。\n%1").arg(kUsage);
    else if (o.record && !o.day.isValid())
        o.error = QStringLiteral("--record には乗車日 --date yyyy-mm-dd が要ります。");
    o.stations << ends[0] << vias << (ends.size() > 1 ? ends[1] : QString());
    return o;
}

} // namespace

int stationForName(const netroute::StationIndex& index, const QString& text, QString& error) {
    const QVector<netroute::StationMatch> named = index.named(text);
    if (named.size() == 1)
        return named.first().node;
    QStringList lines;
    if (named.isEmpty()) {
        error = QStringLiteral("駅 「%1」 が見つかりません。").arg(text);
        const QVector<netroute::StationMatch> near = index.find(text.section(QLatin1Char('@'), 0, 0), 10);
        for (const netroute::StationMatch& m : near)
            lines.append(QStringLiteral("  %1 (%2)").arg(m.name, m.routes));
        if (!lines.isEmpty())
            error += QStringLiteral("\n候補:\n") + lines.join(QLatin1Char('\n'));
        return -1;
    }
    error = QStringLiteral("駅 「%1」 は %2 か所あります。路線を添えて指定してください:").arg(text).arg(named.size());
    for (const netroute::StationMatch& m : named) {
        const QString firstRoute = m.routes.section(QChar(0x30FB), 0, 0);
        lines.append(QStringLiteral("  %1@%2 (%3)").arg(m.name, firstRoute, m.routes));
    }
    error += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    return -1;
}

QStringList legLines(const netroute::Journey& journey, const network::Network& network) {
    QStringList out;
    const QChar tab(QLatin1Char('\t'));
    for (const netroute::Leg& l : journey.legs)
        out.append(
            QStringList{l.code, l.name, legSection(l, network), kiloText(l.kilo), kiloText(l.newKilo)}.join(tab));
    out.append(QStringList{QStringLiteral("合計"), kiloText(journey.kilo()), kiloText(journey.newKilo())}.join(tab));
    return out;
}

int routeCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    const Args o = parse(app.arguments());
    if (!o.error.isEmpty())
        return fail(o.error, 2);
    try {
        // The network must be there; a personal record not made yet is made as the program makes it at start.
        if (!QFileInfo(paths::databaseFile(DbKind::Reference)).isFile())
            return fail(QStringLiteral("データベース %1 がありません。一度プログラムを起動して作ってください。")
                            .arg(paths::databaseFile(DbKind::Reference)));
        auto ref = Database::open(DbKind::Reference);
        auto per = Database::open(DbKind::Personal);
        const network::Network net = network::loadNetwork(*ref);
        const netroute::StationIndex index(net);
        QVector<int> nodes;
        for (const QString& name : o.stations) {
            QString error;
            const int node = stationForName(index, name, error);
            if (node < 0)
                return fail(error);
            nodes.append(node);
        }
        const netroute::RouteFinder finder(net);
        netroute::Journey journey = finder.find(nodes, o.options);
        if (!journey.found)
            return fail(QStringLiteral("%1 から %2 へ行く経路が見つかりません。")
                            .arg(o.stations[journey.unreachablePart], o.stations[journey.unreachablePart + 1]));
        countNewKilo(journey, net, *per);
        for (const QString& line : legLines(journey, net))
            say(line);
        if (o.record) {
            const RecordResult r = recordJourney(*per, net, journey, o.day, false);
            say(QStringLiteral("%1 の乗車として登録しました: 追加 %2 件、同じ日の乗車に加えたもの %3 件、"
                               "登録済みで変更なし %4 件。")
                    .arg(o.day.toString(QStringLiteral("yyyy-MM-dd")))
                    .arg(r.inserted)
                    .arg(r.joined)
                    .arg(r.unchanged));
            say(r.summary());
        }
        return 0;
    } catch (const Error& e) {
        return fail(e.message());
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace tabi::routes
