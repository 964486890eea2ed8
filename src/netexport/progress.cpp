#include "netexport/progress.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "data/error.h"
#include "data/rules.h"
#include "data/settingsfile.h"
#include "netexport/cli.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace tabi::netexport {

using namespace netmap;
using namespace tabi::network;

QString ProgressGroup::label() const {
    switch (kind) {
    case All:
        return QStringLiteral("全路線");
    case Classification:
        return QStringLiteral("分類 %1 %2").arg(code, name);
    case Category:
        return QStringLiteral("区分 %1 %2").arg(code, name);
    }
    return {};
}

QVector<ProgressGroup> GroupLists::choices() const {
    QVector<ProgressGroup> out{ProgressGroup{}};
    out += largeClasses;
    out += smallClasses;
    out += largeCategories;
    out += smallCategories;
    return out;
}

namespace {

QVector<ProgressGroup> readGroups(Database& ref, const QString& table, const QString& code, const QString& name,
                                  ProgressGroup::Kind kind) {
    QVector<ProgressGroup> out;
    Statement s(ref, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 IS NOT NULL ORDER BY %1").arg(code, name, table));
    StatementScope scope(s);
    while (s.step())
        out.append({kind, s.columnText(0).trimmed(), s.columnText(1)});
    return out;
}

} // namespace

GroupLists loadGroupLists(Database& ref) {
    GroupLists l;
    const auto C = ProgressGroup::Classification, K = ProgressGroup::Category;
    l.smallClasses =
        readGroups(ref, QStringLiteral("BUNRUI"), QStringLiteral("BUNRUI_CD"), QStringLiteral("BUNRUI_KANJI"), C);
    l.largeClasses =
        readGroups(ref, QStringLiteral("BUNRUI2"), QStringLiteral("BUNRUI_CD"), QStringLiteral("BUNRUI_KANJI"), C);
    l.smallCategories =
        readGroups(ref, QStringLiteral("KUBUN"), QStringLiteral("KBN_CD"), QStringLiteral("KBN_KANJI"), K);
    l.largeCategories =
        readGroups(ref, QStringLiteral("KUBUN2"), QStringLiteral("KBN_CD"), QStringLiteral("KBN_KANJI"), K);
    return l;
}

int tallyYear(const QDate& day, int startMonth) {
    if (startMonth == 1)
        return day.year();
    return day.month() >= 4 ? day.year() : day.year() - 1;
}

namespace {

// Membership as the tallies find it: a ride by the first three characters of its route code (classifications)
// or by its route's category, "00" when the route has none or is missing (categories); a small group inside a
// large one by its first character.
struct Membership {
    ProgressGroup::Kind kind;
    QSet<QString> groups; // small codes that count

    Membership(const GroupLists& lists, const ProgressGroup& g) : kind(g.kind) {
        auto smallOf = [&](const QVector<ProgressGroup>& smalls, const QVector<ProgressGroup>& larges,
                           const QString& largeCode) {
            QSet<QString> large;
            for (const ProgressGroup& l : larges)
                if (largeCode.isNull() || l.code == largeCode)
                    large.insert(l.code.left(1));
            for (const ProgressGroup& s : smalls)
                if (large.contains(s.code.left(1)))
                    groups.insert(s.code);
        };
        if (g.kind == ProgressGroup::All) {
            kind = ProgressGroup::Classification;
            smallOf(lists.smallClasses, lists.largeClasses, QString());
        } else if (g.code.size() == 1) {
            smallOf(g.kind == ProgressGroup::Classification ? lists.smallClasses : lists.smallCategories,
                    {ProgressGroup{g.kind, g.code, {}}}, g.code);
        } else {
            groups.insert(g.code);
        }
    }

    bool takes(const QString& code, const Route* route) const {
        if (kind == ProgressGroup::Classification)
            return groups.contains(code.left(3));
        const QString cat = route && !route->category.isEmpty() ? route->category : QStringLiteral("00");
        return groups.contains(cat.left(2));
    }
};

QString periodLabel(int key, ProgressPeriod period, int startMonth) {
    if (period == ProgressPeriod::Month)
        return QStringLiteral("%1-%2").arg(key / 12).arg(key % 12 + 1, 2, 10, QLatin1Char('0'));
    return startMonth == 1 ? QString::number(key) : QStringLiteral("%1年度").arg(key);
}

QDate periodStart(int key, ProgressPeriod period, int startMonth) {
    if (period == ProgressPeriod::Month)
        return QDate(key / 12, key % 12 + 1, 1);
    return QDate(key, startMonth == 1 ? 1 : 4, 1);
}

} // namespace

Progress computeProgress(const Network& network, const QVector<Ride>& rides, const GroupLists& lists,
                         const ProgressGroup& group, ProgressPeriod period, int startMonth) {
    Progress pr;
    pr.group = group;
    pr.period = period;
    pr.startMonth = startMonth == 1 ? 1 : 4;
    const Membership member(lists, group);
    for (const Route& r : network.routes)
        if (!r.abolished && member.takes(r.code, &r))
            pr.routeKilo += r.length;

    auto keyOf = [&](const QDate& d) {
        return period == ProgressPeriod::Month ? d.year() * 12 + d.month() - 1 : tallyYear(d, pr.startMonth);
    };
    QMap<int, double> kiloByKey;
    QMap<int, YearRow> yearRows;
    double undatedKilo = 0;
    // Per route: the running sum, whether it is complete and since when.
    struct RouteRun {
        double sum = 0;
        bool complete = false;
        QDate since;
    };
    QHash<int, RouteRun> runs;
    QHash<int, QVector<PrefecturePiece>> piecesOf;
    QDate firstVisit[48];

    for (const Ride& ride : rides) {
        const auto it = network.routeByCode.constFind(ride.code);
        const int ri = it == network.routeByCode.cend() ? -1 : *it;
        const Route* route = ri < 0 ? nullptr : &network.routes[ri];
        if (!member.takes(ride.code, route))
            continue;
        ++pr.rides;
        pr.total += ride.kilo;
        const QDate day = rules::parseDate(ride.day);
        if (!day.isValid()) {
            ++pr.undated;
            undatedKilo += ride.kilo;
            continue;
        }
        kiloByKey[keyOf(day)] += ride.kilo;
        YearRow& y = yearRows[tallyYear(day, pr.startMonth)];
        if (ride.kilo < 0) {
            ++y.lossRides;
            y.lossKilo += ride.kilo;
        } else {
            ++y.newRides;
            y.newKilo += ride.kilo;
        }
        if (!route)
            continue;
        if (!route->abolished && route->length > 0) {
            RouteRun& run = runs[ri];
            run.sum += ride.kilo;
            const bool complete = rules::isComplete(rules::ratio(route->length, run.sum));
            if (complete && !run.complete)
                run.since = day;
            run.complete = complete;
        }
        if (ride.kilo >= 0) {
            const Section sec = resolveSection(route, ride.section, ride.kilo);
            if (!sec.found())
                continue;
            auto pieces = piecesOf.find(ri);
            if (pieces == piecesOf.end())
                pieces = piecesOf.insert(ri, prefecturePieces(*route));
            for (const IntervalSet::Part& part : sec.parts)
                for (const PrefecturePiece& p : *pieces) {
                    const bool meets = part.to > part.from ? std::min(p.to, part.to) > std::max(p.from, part.from)
                                                           : part.from >= p.from && part.from <= p.to;
                    if (meets && (!firstVisit[p.ken].isValid() || day < firstVisit[p.ken]))
                        firstVisit[p.ken] = day;
                }
        }
    }

    for (auto it = runs.cbegin(); it != runs.cend(); ++it)
        if (it->complete)
            pr.completions.append({it->since, network.routes[it.key()].code, network.routes[it.key()].name});
    std::sort(pr.completions.begin(), pr.completions.end(), [](const Completion& a, const Completion& b) {
        return a.day != b.day ? a.day < b.day : a.code < b.code;
    });

    if (!kiloByKey.isEmpty()) {
        double total = undatedKilo;
        QHash<int, int> completedByKey;
        for (const Completion& c : pr.completions)
            ++completedByKey[keyOf(c.day)];
        for (int k = kiloByKey.firstKey(); k <= kiloByKey.lastKey(); ++k) {
            ProgressPoint p;
            p.start = periodStart(k, period, pr.startMonth);
            p.label = periodLabel(k, period, pr.startMonth);
            p.kilo = kiloByKey.value(k);
            total += p.kilo;
            p.total = total;
            p.share = rules::ratio(pr.routeKilo, total);
            p.periodShare = pr.routeKilo > 0 ? p.kilo / pr.routeKilo * 100 : 0;
            p.completed = completedByKey.value(k);
            pr.points.append(p);
        }
    }
    if (!yearRows.isEmpty()) {
        const QStringList& kenNames = prefectureNames();
        double total = undatedKilo;
        for (int y = yearRows.firstKey(); y <= yearRows.lastKey(); ++y) {
            YearRow row = yearRows.value(y);
            row.year = y;
            total += row.newKilo + row.lossKilo;
            row.total = total;
            row.share = rules::ratio(pr.routeKilo, total);
            for (const Completion& c : pr.completions)
                if (tallyYear(c.day, pr.startMonth) == y)
                    row.completed << c.name;
            for (int k = 1; k <= 47; ++k)
                if (firstVisit[k].isValid() && tallyYear(firstVisit[k], pr.startMonth) == y)
                    row.prefectures << kenNames[k - 1];
            pr.years.append(row);
        }
    }
    return pr;
}

// --- the chart -----------------------------------------------------------------------------------------------------

namespace {

// A round step for about n ticks up to max.
double niceStep(double max, int n) {
    if (max <= 0)
        return 1;
    const double raw = max / n;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * mag)
            return m * mag;
    return 10 * mag;
}

QString kiloLabel(double v) {
    return QLocale(QLocale::Japanese).toString(v, 'f', v == std::floor(v) ? 0 : 1);
}

} // namespace

QString chartTitle(const Progress& progress, const ChartOptions& options) {
    if (!options.title.isEmpty())
        return options.title;
    return QStringLiteral("乗車の推移　%1　%2%3")
        .arg(progress.group.label(),
             progress.period == ProgressPeriod::Month
                 ? QStringLiteral("月ごと")
                 : (progress.startMonth == 1 ? QStringLiteral("年ごと") : QStringLiteral("年度ごと")),
             options.cumulative ? QStringLiteral("(累計)") : QStringLiteral("(期間ごと)"));
}

void paintProgress(QPainter& p, const QSize& size, const Progress& pr, const ChartOptions& options) {
    const QColor background(0xFF, 0xFF, 0xFF), axis(0x40, 0x40, 0x40), grid(0xE0, 0xE0, 0xE0);
    const QColor line(0xD3, 0x2F, 0x2F), fill(0xD3, 0x2F, 0x2F, 0x30), mark(0x2E, 0x7D, 0x32);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(QRect(QPoint(0, 0), size), background);
    QFont font = p.font();
    font.setPixelSize(std::max(11, size.height() / 50));
    p.setFont(font);
    const QFontMetrics fm(font);
    const int left = fm.horizontalAdvance(QStringLiteral("99,999.9 km")) + 16;
    const int right = fm.horizontalAdvance(QStringLiteral("100.0 %")) + 16;
    const int top = fm.height() * 3 + 10, bottom = fm.height() * 2 + 16;
    const QRectF plot(left, top, std::max(10, size.width() - left - right), std::max(10, size.height() - top - bottom));

    // Title and legend.
    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(font.pixelSize() * 5 / 4);
    p.setFont(bold);
    p.setPen(axis);
    p.drawText(QPointF(left, fm.height() + 4), chartTitle(pr, options));
    p.setFont(font);
    const QString legend =
        QStringLiteral("左: 乗車キロ(km)　右: 乗車率(%、路線キロ %1 km に対して)　◆: 完乗した路線(数)　乗車 %2 件")
            .arg(kiloLabel(pr.routeKilo))
            .arg(pr.rides);
    p.drawText(QPointF(left, fm.height() * 2 + 8), legend);

    const int n = int(pr.points.size());
    if (n == 0) {
        p.drawRect(plot);
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("この範囲の乗車記録がありません"));
        p.restore();
        return;
    }
    double hi = 0, lo = 0;
    for (const ProgressPoint& pt : pr.points) {
        const double v = options.cumulative ? pt.total : pt.kilo;
        hi = std::max(hi, v);
        lo = std::min(lo, v);
    }
    const double step = niceStep(std::max(hi - lo, 1e-9), 6);
    hi = std::ceil(hi / step) * step;
    lo = std::floor(lo / step) * step;
    if (hi <= lo)
        hi = lo + step;
    auto yOf = [&](double v) { return plot.bottom() - (v - lo) / (hi - lo) * plot.height(); };
    const double slot = plot.width() / n;
    auto xOf = [&](int i) { return plot.left() + slot * (i + 0.5); };

    // Grid and both axes' labels.
    for (double v = lo; v <= hi + step / 2; v += step) {
        const double y = yOf(v);
        p.setPen(QPen(grid, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(axis);
        p.drawText(QRectF(0, y - fm.height() / 2.0, left - 8, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   kiloLabel(v));
        if (pr.routeKilo > 0)
            p.drawText(QRectF(plot.right() + 8, y - fm.height() / 2.0, right - 8, fm.height()),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1 %").arg(QString::number(v / pr.routeKilo * 100, 'f', 1)));
    }
    p.setPen(QPen(axis, 1));
    p.drawRect(plot);
    // Period labels, as many as fit.
    const int labelWidth = fm.horizontalAdvance(pr.points.last().label) + 12;
    const int every = std::max(1, int(std::ceil(labelWidth / slot)));
    for (int i = 0; i < n; i += every)
        p.drawText(QRectF(xOf(i) - labelWidth / 2.0, plot.bottom() + 4, labelWidth, fm.height()), Qt::AlignHCenter,
                   pr.points[i].label);

    if (options.cumulative) {
        QPainterPath path;
        path.moveTo(xOf(0), yOf(pr.points[0].total));
        for (int i = 1; i < n; ++i)
            path.lineTo(xOf(i), yOf(pr.points[i].total));
        QPainterPath area = path;
        area.lineTo(xOf(n - 1), yOf(std::max(lo, 0.0)));
        area.lineTo(xOf(0), yOf(std::max(lo, 0.0)));
        area.closeSubpath();
        p.fillPath(area, fill);
        p.setPen(QPen(line, 2.5));
        p.drawPath(path);
    } else {
        const double w = std::max(1.0, slot * 0.7);
        for (int i = 0; i < n; ++i) {
            const double y0 = yOf(0), y1 = yOf(pr.points[i].kilo);
            p.fillRect(QRectF(xOf(i) - w / 2, std::min(y0, y1), w, std::abs(y1 - y0)), line);
        }
    }
    // The completed routes of each period.
    p.setPen(QPen(mark.darker(120), 1));
    for (int i = 0; i < n; ++i) {
        if (pr.points[i].completed == 0)
            continue;
        const double v = options.cumulative ? pr.points[i].total : std::max(0.0, pr.points[i].kilo);
        const QPointF c(xOf(i), yOf(v) - 8);
        QPolygonF diamond{{c.x(), c.y() - 5}, {c.x() + 5, c.y()}, {c.x(), c.y() + 5}, {c.x() - 5, c.y()}};
        p.setBrush(mark);
        p.drawPolygon(diamond);
        p.setBrush(Qt::NoBrush);
        if (slot >= fm.horizontalAdvance(QStringLiteral("99")) || pr.points[i].completed > 1)
            p.drawText(QPointF(c.x() + 7, c.y() - 3), QString::number(pr.points[i].completed));
    }
    p.restore();
}

QByteArray progressPng(const Progress& progress, const ChartOptions& options, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    {
        QPainter p(&image);
        paintProgress(p, size, progress, options);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw Error(QStringLiteral("乗車の推移のグラフを PNG 形式にできませんでした。"));
    return bytes;
}

QByteArray progressSvg(const Progress& progress, const ChartOptions& options, const QSize& size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(chartTitle(progress, options));
    svg.setDescription(QStringLiteral("タビロク"));
    {
        QPainter p(&svg);
        paintProgress(p, size, progress, options);
    }
    return bytes;
}

void writeProgressFile(const QString& fileName, const Progress& progress, const ChartOptions& options,
                       const QSize& size) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("png"))
        bytes = progressPng(progress, options, size);
    else if (suffix == QLatin1String("svg"))
        bytes = progressSvg(progress, options, size);
    else
        throw Error(QStringLiteral("グラフの書き出し先 %1 の拡張子は .png か .svg にしてください。").arg(fileName));
    files::replaceFile(fileName, bytes, QStringLiteral("グラフの画像ファイル"));
}

int exportProgress(const QStringList& args) {
    const QString usage =
        QStringLiteral("使い方: tabiroku --export-progress OUT.png|OUT.svg [--monthly] [--per-period]");
    const cli::Options o =
        cli::parse(args, usage, false, {QStringLiteral("--monthly"), QStringLiteral("--per-period")});
    if (!o.error.isEmpty())
        return cli::fail(o.error, 2);
    const QString suffix = QFileInfo(o.file).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        return cli::fail(QStringLiteral("%1: 拡張子は .png か .svg にしてください。\n%2").arg(o.file, usage), 2);
    return cli::onRecord([&](cli::Record& r) {
        // Years as the year tally counts them.
        const Progress pr = computeProgress(r.data.network, r.data.rides, loadGroupLists(*r.ref), {},
                                            o.flags.contains(QStringLiteral("--monthly")) ? ProgressPeriod::Month
                                                                                          : ProgressPeriod::Year,
                                            settings::yearStartMonth());
        ChartOptions options;
        options.cumulative = !o.flags.contains(QStringLiteral("--per-period"));
        writeProgressFile(o.file, pr, options);
        cli::say(
            QStringLiteral("%1 に乗車の推移を書き出しました: 乗車 %2 件、乗車キロ %3 km、乗車率 %4 %。")
                .arg(o.file)
                .arg(pr.rides)
                .arg(QString::number(pr.total, 'f', 1), QString::number(rules::ratio(pr.routeKilo, pr.total), 'f', 2)));
        return 0;
    });
}

int exportProgressCommand(int argc, char* argv[]) {
    // Drawing needs a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    return exportProgress(app.arguments());
}

} // namespace tabi::netexport
