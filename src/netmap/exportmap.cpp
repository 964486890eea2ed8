#include "netmap/exportmap.h"

#include "netmap/commandline.h"

#include "data/atomicfile.h"
#include "data/csvexport.h"
#include "data/database.h"
#include "data/error.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace tabi::netmap {

MapData loadMapData(Database& ref, Database& per) {
    MapData d;
    d.network = network::loadNetwork(ref);
    d.rides = loadRides(per);
    return d;
}

QString noPositionsMessage() {
    return QStringLiteral("駅の位置が登録されていません。全国の路線網を取り込んでから、もう一度実行してください。");
}

QByteArray mapPng(const Scene& scene, const MapView& view, const MapStyle& style) {
    QImage image(view.size, QImage::Format_RGB32);
    {
        QPainter p(&image);
        paintMap(p, scene, view, style);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw Error(QStringLiteral("地図の画像を PNG 形式にできませんでした。"));
    return bytes;
}

QByteArray mapSvg(const Scene& scene, const MapView& view, const MapStyle& style, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(view.size);
    svg.setViewBox(QRect(QPoint(0, 0), view.size));
    svg.setTitle(title);
    svg.setDescription(QStringLiteral("タビロク"));
    {
        QPainter p(&svg);
        paintMap(p, scene, view, style);
    }
    return bytes;
}

void writeMapFile(const QString& fileName, const Scene& scene, const MapView& view, const MapStyle& style) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("png"))
        bytes = mapPng(scene, view, style);
    else if (suffix == QLatin1String("svg"))
        bytes = mapSvg(scene, view, style, QStringLiteral("乗車地図"));
    else
        throw Error(QStringLiteral("地図の書き出し先 %1 の拡張子は .png か .svg にしてください。").arg(fileName));
    files::replaceFile(fileName, bytes, QStringLiteral("地図の画像ファイル"));
}

QStringList prefectureCsvLines(const QVector<PrefectureFigures>& figures) {
    QStringList lines;
    for (const PrefectureFigures& f : figures) {
        try {
            lines << csv::lineOfValues({{FieldType::Text, f.name},
                                        {FieldType::Real, f.routeKilo},
                                        {FieldType::Real, f.riddenKilo},
                                        {FieldType::Real, f.ratio}});
        } catch (const Error& e) {
            throw Error(QStringLiteral("%1: %2 駅のキロ程に極端な値がないか、全国路線データを確かめてください。")
                            .arg(f.name, e.message()),
                        e.kind());
        }
    }
    return lines;
}

void writePrefectureCsv(const QString& fileName, const QVector<PrefectureFigures>& figures) {
    csv::writeLines(prefectureCsvLines(figures), fileName);
}

QString legendText(const Filter& filter, const Coverage& coverage) {
    QString period = QStringLiteral("全期間");
    if (filter.hasPeriod())
        period = QStringLiteral("%1～%2").arg(filter.from, filter.to);
    QString text = QStringLiteral("乗車地図　%1").arg(period);
    if (!filter.classification.isEmpty())
        text += QStringLiteral("　分類 %1").arg(filter.classification);
    if (!filter.category.isEmpty())
        text += QStringLiteral("　区分 %1").arg(filter.category);
    text += QStringLiteral("\n乗車 %1 件(地図に描いていないもの %2 件)").arg(coverage.rides).arg(coverage.notDrawn());
    return text;
}

namespace {

using cli::fail;
using cli::say;

// Both command forms: open the databases, read the network and the rides, and hand the filtered coverage on.
template <class Work> int runCovered(const cli::Options& o, Work&& work) {
    return cli::onRecord([&](cli::Record& r) {
        if (r.data.network.positionedStations == 0)
            return fail(noPositionsMessage());
        return work(r.data, computeCoverage(r.data.network, r.data.rides, o.filter));
    });
}

} // namespace

int exportMap(const QStringList& args) {
    const QString usage =
        QStringLiteral("使い方: tabiroku --export-map OUT.png|OUT.svg [--from yyyy-mm-dd] [--to yyyy-mm-dd]");
    const cli::Options o = cli::parse(args, usage, true, {}, QStringLiteral("書き出すファイル"));
    if (!o.error.isEmpty())
        return fail(o.error, 2);
    const QString suffix = QFileInfo(o.file).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        return fail(QStringLiteral("%1: 拡張子は .png か .svg にしてください。").arg(o.file), 2);
    return runCovered(o, [&](const MapData& data, const Coverage& cov) {
        const Scene scene = buildScene(data.network, cov, {});
        MapStyle style;
        style.legend = legendText(o.filter, cov);
        const MapView view = MapView::fit(data.network.bounds, QSize(2000, 2000), 24);
        writeMapFile(o.file, scene, view, style);
        say(QStringLiteral("%1 に地図を書き出しました: 路線 %2、乗車 %3 件。")
                .arg(o.file)
                .arg(data.network.routes.size())
                .arg(cov.rides));
        say(notDrawnText(cov));
        return 0;
    });
}

int exportPrefectures(const QStringList& args) {
    const QString usage =
        QStringLiteral("使い方: tabiroku --export-prefectures OUT.csv [--from yyyy-mm-dd] [--to yyyy-mm-dd]");
    const cli::Options o = cli::parse(args, usage, true, {}, QStringLiteral("書き出すファイル"));
    if (!o.error.isEmpty())
        return fail(o.error, 2);
    return runCovered(o, [&](const MapData& data, const Coverage& cov) {
        const QVector<PrefectureFigures> figures = prefectureFigures(data.network, cov);
        writePrefectureCsv(o.file, figures);
        double route = 0, ridden = 0;
        for (const PrefectureFigures& f : figures) {
            route += f.routeKilo;
            ridden += f.riddenKilo;
        }
        say(QStringLiteral("%1 に都道府県別の乗車状況 47 行を書き出しました: 路線キロ %2、乗車キロ %3。")
                .arg(o.file, QString::number(route, 'f', 1), QString::number(ridden, 'f', 1)));
        return 0;
    });
}

int exportMapCommand(int argc, char* argv[]) {
    // Drawing needs a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    return exportMap(app.arguments());
}

int exportPrefecturesCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    return exportPrefectures(app.arguments());
}

} // namespace tabi::netmap
