#include "supplied/offer.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "data/schema.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <algorithm>

namespace tabi::supplied {

namespace {

bool tableExists(Database& db, const QString& name) {
    Statement s(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1"));
    s.bindText(1, name);
    return s.step();
}

// A database of the current layout version made before NET_OFFER existed gets it on first use.
void ensureOfferTable(Database& db) {
    if (!tableExists(db, QStringLiteral("NET_OFFER")))
        for (const QString& sql : tableStatements(*findTable(QStringLiteral("NET_OFFER"))))
            db.exec(sql);
}

void recordAnswer(Database& db, const NetworkInfo& info, const QString& answer) {
    ensureOfferTable(db);
    Statement s(db, QStringLiteral("INSERT OR REPLACE INTO NET_OFFER (SOURCE_COMMIT, ANSWER, ANSWER_DATE) "
                                   "VALUES (?1, ?2, ?3)"));
    s.bindText(1, info.key());
    s.bindText(2, answer);
    s.bindText(3, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"));
    s.step();
}

QString ymd(const QString& timestamp) {
    return timestamp.left(10);
}

} // namespace

bool offerDue(Database& db, const NetworkInfo& info) {
    if (tableExists(db, QStringLiteral("NET_OFFER"))) {
        Statement s(db, QStringLiteral("SELECT 1 FROM NET_OFFER WHERE SOURCE_COMMIT = ?1"));
        s.bindText(1, info.key());
        if (s.step())
            return false;
    }
    if (!net::hasImportedNetwork(db))
        return true;
    // A network that came with the program and has no answer for this copy is an older copy (of an older commit
    // of the data set, or of the same one made with older rules).
    Statement s(db, QStringLiteral("SELECT FOLDER FROM NET_SOURCE ORDER BY SOURCE_NO"));
    return !s.step() || s.columnText(0) == suppliedFolderName();
}

QList<net::DerivedRoute> routesOf(const QByteArray& text) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw Error(QStringLiteral("一時フォルダを作れません（%1）。").arg(dir.errorString()));
    const std::shared_ptr<Database> db =
        Database::openFile(dir.filePath(QStringLiteral("network.db")), DbKind::Reference);
    layOutNetwork(*db, text);

    QList<net::DerivedRoute> routes;
    QList<double> lengths;
    QHash<QString, int> at;
    {
        // The import's own values (NET_ROSEN); the name in MASTER stands in for the data-set line's name, so that a
        // route the program's sample kept under its own name is found again by it.
        Statement s(*db, QStringLiteral(
                             "SELECT n.ROSEN_CD, n.SRC_KEY, n.LINE_CD, n.ROSEN_KANJI, n.ROSEN_KANA, n.KBN_CD, "
                             "n.SHOZOKU, n.KILO, n.HAISHI_DATE, m.ROSEN_KANJI, b.BUNRUI_KANJI, m.KILO FROM NET_ROSEN n "
                             "LEFT JOIN MASTER m ON m.ROSEN_CD = n.ROSEN_CD "
                             "LEFT JOIN BUNRUI b ON b.BUNRUI_CD = substr(n.ROSEN_CD, 1, 3) ORDER BY n.ROSEN_CD"));
        while (s.step()) {
            net::DerivedRoute r;
            const QString code = s.columnText(0);
            r.key = s.columnText(1);
            r.lineCode = int(s.columnInt(2));
            r.name = s.columnText(3);
            r.kana = s.columnText(4);
            r.kbn = s.columnText(5);
            r.operatorName = s.columnText(6);
            r.officialKm = s.columnDouble(7);
            r.haishiDate = ymd(s.columnText(8));
            r.lineName = s.columnIsNull(9) ? r.name : s.columnText(9);
            r.bunrui = code.left(3);
            r.bunruiName = s.columnText(10);
            at.insert(code, int(routes.size()));
            routes << r;
            lengths << (s.columnIsNull(11) ? r.officialKm : s.columnDouble(11)); // the length that stands
        }
    }
    {
        // Every station the import placed has a position; its name and kana as the data set gives them where the
        // import wrote the row, else the row that stood for it.
        Statement s(*db, QStringLiteral(
                             "SELECT i.ROSEN_CD, i.KILO, i.LATITUDE, i.LONGITUDE, i.KEN_CD, e.EKI_KANJI, e.EKI_KANA, "
                             "e.SHURUI, e.KAIGYO_DATE, ne.SRC_NAME, ne.EKI_KANA, d.STATION_ID FROM EKI_ICHI i "
                             "JOIN EKI e ON e.ROSEN_CD = i.ROSEN_CD AND e.KILO = i.KILO "
                             "LEFT JOIN NET_EKI ne ON ne.ROSEN_CD = i.ROSEN_CD AND ne.KILO = i.KILO "
                             "LEFT JOIN EKI_ID d ON d.ROSEN_CD = i.ROSEN_CD AND d.KILO = i.KILO "
                             "ORDER BY i.ROSEN_CD, i.KILO"));
        while (s.step()) {
            const auto it = at.constFind(s.columnText(0));
            if (it == at.constEnd())
                continue;
            net::DerivedStation st;
            st.km = s.columnDouble(1);
            st.pos = {s.columnDouble(2), s.columnDouble(3)};
            st.prefecture = s.columnIsNull(4) ? 0 : int(s.columnInt(4));
            const bool imported = !s.columnIsNull(9);
            st.name = imported ? s.columnText(9) : s.columnText(5);
            st.kana = imported ? s.columnText(10) : s.columnText(6);
            st.abolished = s.columnText(7) == QStringLiteral("廃");
            st.openDate = ymd(s.columnText(8));
            st.code = s.columnIsNull(11) ? 0 : int(s.columnInt(11));
            routes[*it].stations << st;
        }
    }
    // Posts beyond the route's length are stations the import moved by 0.1 km each to keep their posts distinct
    // (those that fell on its end): measured again they lie at the end, where the merge spreads them the same way.
    for (int i = 0; i < routes.size(); ++i)
        for (net::DerivedStation& st : routes[i].stations)
            st.km = std::min(st.km, lengths[i]);
    {
        Statement s(*db,
                    QStringLiteral("SELECT ROSEN_CD, KILO, LATITUDE, LONGITUDE FROM ROSEN_SEN ORDER BY ROSEN_CD, SEQ"));
        while (s.step()) {
            const auto it = at.constFind(s.columnText(0));
            if (it == at.constEnd())
                continue;
            routes[*it].trackKm << s.columnDouble(1);
            routes[*it].track << net::GeoPoint{s.columnDouble(2), s.columnDouble(3)};
        }
    }
    return routes;
}

net::ImportResult mergeNetwork(Database& db, const QByteArray& text, const net::ImportOptions& options) {
    const NetworkInfo info = infoOf(text);
    const QList<net::DerivedRoute> routes = routesOf(text);
    const net::SourceStamp stamp{info.commit, info.author, suppliedFolderName()};
    net::Aliases aliases = net::Aliases::builtIn();
    const QHash<QString, QString> operators = operatorAliasesOf(text);
    for (auto it = operators.begin(); it != operators.end(); ++it)
        if (!aliases.operatorOf.contains(it.key()))
            aliases.operatorOf.insert(it.key(), it.value());
    if (options.dryRun)
        return net::mergeRoutes(db, routes, stamp, options, aliases);

    // A copy of its own before anything changes, beside the daily copies and never pruned with them.
    const QString copy = backup::folderFor(db.path()) +
                         QStringLiteral("/Tabiroku-before-network-%1.db")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    backup::copyTo(db.path(), copy);
    Transaction tx(db);
    net::ImportResult result = net::mergeRoutes(db, routes, stamp, options, aliases);
    if (info.date.isValid()) {
        Statement ver(db, QStringLiteral("UPDATE VER SET VER_DATE = ?1"));
        ver.bindText(1, info.date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"));
        ver.step();
    }
    recordAnswer(db, info, QStringLiteral("更新"));
    tx.commit();
    return result;
}

QHash<QString, QString> datasetOperatorAliases(const QString& folder) {
    const net::Source source = net::readSource(net::resolveSource(folder, true));
    net::Aliases aliases = net::Aliases::builtIn();
    const QHash<QString, QString> builtIn = aliases.operatorOf;
    net::addOperatorAliases(aliases, source, net::Rules::builtIn());
    QHash<QString, QString> added;
    for (auto it = aliases.operatorOf.begin(); it != aliases.operatorOf.end(); ++it)
        if (!builtIn.contains(it.key()))
            added.insert(it.key(), it.value());
    return added;
}

void recordDeclined(Database& db, const NetworkInfo& info) {
    recordAnswer(db, info, QStringLiteral("見送り"));
}

} // namespace tabi::supplied
