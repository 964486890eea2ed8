#include "netimport/reconcile.h"

#include "data/error.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace tabi::net {

namespace {

constexpr double kLengthDiffersKm = 0.5;
constexpr double kLengthDiffersShare = 0.01;
constexpr double kShareToMatch = 0.5; // a route of the same name shares at least this much of its stations
constexpr double kShareUnnamed = 0.8; // ... or, under another name, this much and both terminals

QString normal(QString s) {
    static const QRegularExpression notes(QStringLiteral("[(（][^()（）]*[)）]"));
    s = s.normalized(QString::NormalizationForm_KC);
    s.remove(notes);
    s.remove(QLatin1Char(' '));
    return s;
}

} // namespace

Aliases Aliases::parse(const QString& text, const QString& fileName) {
    Aliases a;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList f = line.split(QLatin1Char('|'));
        for (QString& s : f)
            s = s.trimmed();
        const QString kind = f.value(0);
        if (kind == QStringLiteral("駅") && f.size() == 3 && !f[1].isEmpty() && !f[2].isEmpty())
            a.station.insert(f[1], f[2]);
        else if (kind == QStringLiteral("事業者") && f.size() == 3 && !f[1].isEmpty() && !f[2].isEmpty())
            a.operatorOf.insert(f[1], f[2]);
        else if (kind == QStringLiteral("路線") && f.size() == 4 && !f[1].isEmpty() && !f[2].isEmpty() &&
                 !f[3].isEmpty())
            a.route.insert(f[1] + QLatin1Char('|') + normal(f[2]), normal(f[3]));
        else
            throw Error(QStringLiteral("別名の表 %1 の %2 行目が読めません。").arg(fileName).arg(i + 1));
    }
    return a;
}

const Aliases& Aliases::builtIn() {
    static const Aliases a = [] {
        QFile f(QStringLiteral(":/netimport/aliases.txt"));
        if (!f.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("別名の表 aliases.txt を読めません。"));
        return parse(QString::fromUtf8(f.readAll()), QStringLiteral("aliases.txt"));
    }();
    return a;
}

Reconciliation reconcile(const QList<DerivedRoute>& built, const QList<ExistingRoute>& existing,
                         const Aliases& aliases) {
    Reconciliation out;
    auto station = [&](const QString& s) { return normal(aliases.station.value(s, s)); };
    auto op = [&](const QString& s) { return aliases.operatorOf.value(s, s); };
    // Built routes by operator, with their station names.
    QHash<QString, QList<int>> byOperator;
    QList<QSet<QString>> names;
    for (int i = 0; i < built.size(); ++i) {
        byOperator[op(built[i].operatorName)].append(i);
        QSet<QString> n;
        for (const DerivedStation& s : built[i].stations)
            n.insert(station(s.name));
        names << n;
    }
    struct Pair {
        int existing, built;
        double score;
        bool ends;
    };
    QList<Pair> pairs;
    QHash<int, QList<Pair>> nearest; // existing -> every candidate of its operator
    for (int e = 0; e < existing.size(); ++e) {
        const ExistingRoute& x = existing[e];
        // A route of several companies (a record may write "JR東日本・JR東海・JR西日本") stands for no one route
        // of the register: it is listed with its candidates.
        const QStringList xops = x.operatorName.split(QChar(0x30FB), Qt::SkipEmptyParts);
        const bool several = xops.size() > 1;
        QString xname = normal(x.name);
        if (!several)
            xname = aliases.route.value(op(x.operatorName) + QLatin1Char('|') + xname, xname);
        QStringList xs = x.stations;
        if (xs.isEmpty())
            xs = {x.start, x.end};
        QSet<QString> xset;
        for (const QString& s : std::as_const(xs))
            xset.insert(station(s));
        QList<int> candidates;
        for (const QString& o : xops)
            candidates << byOperator.value(op(o));
        for (int b : std::as_const(candidates)) {
            const DerivedRoute& r = built[b];
            int shared = 0;
            for (const QString& s : std::as_const(xset))
                shared += names[b].contains(s);
            const double share = xset.isEmpty() ? 0 : double(shared) / xset.size();
            const QString a1 = station(x.start), a2 = station(x.end), b1 = station(r.start()), b2 = station(r.end());
            const bool ends = (a1 == b1 && a2 == b2) || (a1 == b2 && a2 == b1);
            // A record may write the operator before the name (東急東横線 for 東横線).
            const QString bname = normal(r.name);
            const bool sameName = bname == xname || (bname.size() >= 2 && xname.endsWith(bname));
            nearest[e].append({e, b, share, ends});
            if (x.haishi.isEmpty() != r.haishiDate.isEmpty() || several)
                continue; // a route in service stands for no abolished one, nor the other way round
            if ((sameName && (share >= kShareToMatch || ends)) || (ends && share >= kShareUnnamed))
                pairs.append({e, b, (sameName ? 2.0 : 0.0) + (ends ? 1.0 : 0.0) + share, ends});
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.score > b.score; });
    QSet<int> usedExisting, usedBuilt;
    for (const Pair& p : std::as_const(pairs)) {
        if (usedExisting.contains(p.existing) || usedBuilt.contains(p.built))
            continue;
        usedExisting.insert(p.existing);
        usedBuilt.insert(p.built);
        const ExistingRoute& x = existing[p.existing];
        const DerivedRoute& r = built[p.built];
        const double km = r.officialKm > 0 ? r.officialKm : r.length();
        out.codeOf.insert(p.built, x.code);
        // A measured length is no reason to change a definition: only the register's official figure is.
        // A figure revised by some hundred metres is the same route; a branch more or less is not.
        out.differs.insert(p.built, !p.ends || (r.officialKm > 0 && std::abs(km - x.km) > kLengthDiffersKm &&
                                                std::abs(km - x.km) > kLengthDiffersShare * x.km));
    }
    for (int e = 0; e < existing.size(); ++e) {
        if (usedExisting.contains(e))
            continue;
        const ExistingRoute& x = existing[e];
        QList<Pair> near = nearest.value(e);
        std::stable_sort(near.begin(), near.end(), [](const Pair& a, const Pair& b) { return a.score > b.score; });
        QStringList shown;
        for (int i = 0; i < near.size() && shown.size() < 3; ++i) {
            if (near[i].score <= 0)
                break;
            const DerivedRoute& r = built[near[i].built];
            shown << QStringLiteral("%1（%2～%3、駅の一致 %4 %）")
                         .arg(r.name, r.start(), r.end())
                         .arg(qRound(near[i].score * 100));
        }
        out.report << QStringLiteral("%1 %2（%3～%4）: 取り込んだ路線と対応が付かないので、そのまま残しました。%5")
                          .arg(x.code, x.name, x.start, x.end,
                               shown.isEmpty() ? QStringLiteral("近い候補はありません。")
                                               : QStringLiteral("近い候補: ") + shown.join(QStringLiteral("、")));
    }
    return out;
}

} // namespace tabi::net
