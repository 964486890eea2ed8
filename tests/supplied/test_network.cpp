#include "supplied/network.h"
#include "supplied/offer.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/error.h"
#include "netimport/netimport.h"
#include "support/files.h"
#include "support/tempenv.h"

#include <QDir>
#include <QPointF>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace tabi;

namespace {

QString sourceFile(const QString& name) {
    return QStringLiteral(TABIROKU_SOURCE_DIR "/src/supplied/") + name;
}

// The routes of the sample a reference database starts from: code, name, and the route's MASTER and EKI rows.
struct SampleRoute {
    QString code, name, rows;
};
QString routeRows(Database& db, const QString& code) {
    return db.dump(QStringLiteral("SELECT * FROM MASTER WHERE ROSEN_CD = '%1'").arg(code)) +
           db.dump(QStringLiteral("SELECT * FROM EKI WHERE ROSEN_CD = '%1' ORDER BY KILO").arg(code));
}
QList<SampleRoute> sampleRoutes(const QString& folder) {
    auto db = Database::openFile(folder + QStringLiteral("/sample.db"), DbKind::Reference);
    QList<SampleRoute> out;
    Statement s(*db, QStringLiteral("SELECT ROSEN_CD, ROSEN_KANJI FROM MASTER ORDER BY ROSEN_CD"));
    while (s.step())
        out.append({s.columnText(0), s.columnText(1), routeRows(*db, s.columnText(0))});
    return out;
}

// A position in kilometres north and east: flat enough over one route for the tolerances below.
QPointF flatKm(double lat, double lon) {
    return {lat * 111.0, lon * 111.0 * std::cos(lat * M_PI / 180)};
}

// Where p lies beside a polyline, among the points at least `from` kilometres along it: the first point within
// 0.3 km (a loop passes its first station again at its end), else the nearest. Gives the distance from p and how
// far along the line the point lies (infinity when there is none).
std::pair<double, double> nearestAhead(const QList<QPointF>& line, const QPointF& p, double from) {
    std::pair<double, double> best{std::numeric_limits<double>::infinity(), 0};
    double start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QPointF a = line[i];
        const QPointF d = i + 1 < line.size() ? line[i + 1] - a : QPointF();
        const double len2 = QPointF::dotProduct(d, d);
        const double f = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / len2, 0.0, 1.0) : 0.0;
        const double along = start + f * std::sqrt(len2);
        const QPointF q = a + f * d;
        const double off = std::hypot(p.x() - q.x(), p.y() - q.y());
        if (along >= from && off < best.first) {
            best = {off, along};
            if (off <= 0.3)
                return best;
        }
        start += std::sqrt(len2);
    }
    return best;
}

QStringList firstFew(const QStringList& all) {
    return all.size() <= 12 ? all : all.mid(0, 12) << QStringLiteral("… %1 in all").arg(all.size());
}

} // namespace

class TestSuppliedNetwork : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Texts that need escaping, null beside empty text, reals and integers come back as they were.
    void roundTrip() {
        test::TempEnv env;
        auto from = Database::openFile(env.file(QStringLiteral("a.db")), DbKind::Reference);
        from->exec(QStringLiteral(
            "INSERT INTO NET_ROSEN (SRC_KEY, ROSEN_CD, LINE_CD, ROSEN_KANJI, ROSEN_KANA, KILO) VALUES "
            "('a|b\\c', '999001', -7, 'tab\there', '', 0.1), ('k2', '999002', 2147483647, 'line\nbreak\r', NULL, "
            "123.45600000000002)"));
        from->exec(QStringLiteral("INSERT INTO ROSEN_SEN (ROSEN_CD, SEQ, KILO, LATITUDE, LONGITUDE) VALUES "
                                  "('999001', 1, 0, 35.681236, 139.767125), ('999001', 2, 1.2345, 35.6, -0.000001)"));
        const QByteArray text = supplied::networkText(*from);
        QCOMPARE(supplied::unpackNetwork(supplied::packNetwork(text)), text);
        auto to = Database::openFile(env.file(QStringLiteral("b.db")), DbKind::Reference);
        supplied::layOutNetwork(*to, text);
        for (const char* sql :
             {"SELECT SRC_KEY, ROSEN_CD, LINE_CD, ROSEN_KANJI, quote(ROSEN_KANA), KILO FROM NET_ROSEN "
              "ORDER BY SRC_KEY",
              "SELECT * FROM ROSEN_SEN ORDER BY SEQ"})
            QCOMPARE(to->dump(QString::fromLatin1(sql)), from->dump(QString::fromLatin1(sql)));
        QCOMPARE(supplied::networkText(*to), text);
    }

    void damagedNetwork_data() {
        QTest::addColumn<QByteArray>("text");
        const QByteArray head = "tabiroku-network\t1\n";
        QTest::newRow("not a network") << QByteArray("MASTER\n");
        QTest::newRow("unknown table") << head + "#NOSUCH\tA\n1\n";
        QTest::newRow("unknown field") << head + "#MASTER\tROSEN_CD\tNOSUCH\n1\t2\n";
        QTest::newRow("fields short") << head + "#MASTER\tROSEN_CD\tKILO\n101001\n";
        QTest::newRow("not a number") << head + "#MASTER\tROSEN_CD\tKILO\n101001\tx\n";
        QTest::newRow("bad track point") << head + "@ROSEN_SEN\n101001\t0,1\n";
        QTest::newRow("duplicate key") << head + "#MASTER\tROSEN_CD\n101001\n101001\n";
    }
    // A network that cannot be laid out leaves no reference database (and nothing of the attempt) behind.
    void damagedNetwork() {
        QFETCH(QByteArray, text);
        test::TempEnv env;
        const QString path = env.file(QStringLiteral("Tabiroku.db"));
        try {
            supplied::createReferenceWithNetwork(path, text);
            QFAIL("a damaged network was laid out");
        } catch (const Error& e) {
            QVERIFY2(!e.message().isEmpty(), "no message");
        }
        QCOMPARE(QDir(env.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // The first start's database: the whole network, the sample's routes under their codes, every station of a
    // network route in service placed and in order along its track, and the tables as the file has them.
    void builtInNetworkLaidOut() {
        test::TempEnv env;
        const QString path = env.file(QStringLiteral("Tabiroku.db"));
        const QByteArray& text = supplied::builtInNetwork();
        supplied::createReferenceWithNetwork(path, text);
        auto db = Database::openFile(path, DbKind::Reference);
        QCOMPARE(supplied::networkText(*db, supplied::operatorAliasesOf(text)), text);
        // The source each start reads without unpacking is the network's own; once laid out, no offer is due, but a
        // copy of the same commit made with other rules (another digest) is offered.
        const supplied::NetworkInfo bySource = supplied::builtInSource();
        QCOMPARE(bySource.key(), supplied::infoOf(text).key());
        QCOMPARE(bySource.date, supplied::infoOf(text).date);
        QVERIFY(!supplied::offerDue(*db, bySource));
        supplied::NetworkInfo remade = bySource;
        remade.digest = QStringLiteral("0123456789abcdef");
        QVERIFY(supplied::offerDue(*db, remade));

        const QString inService = QStringLiteral("(SELECT ROSEN_CD FROM MASTER WHERE HAISHI_DATE IS NULL)");
        QVERIFY(db->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(inService)).toInt() >= 550);
        QVERIFY(db->scalar(QStringLiteral("SELECT count(*) FROM EKI")).toInt() >= 9000);
        QCOMPARE(db->scalar(QStringLiteral("SELECT group_concat(EKI_KANJI, ' ') FROM (SELECT EKI_KANJI FROM EKI "
                                           "WHERE ROSEN_CD = '102001' ORDER BY KILO)"))
                     .toString(),
                 QStringLiteral("品川 大崎 五反田 目黒 恵比寿 渋谷 原宿 代々木 新宿 新大久保 高田馬場 目白 池袋 大塚 "
                                "巣鴨 駒込 田端"));
        Statement source(*db, QStringLiteral("SELECT count(*) FROM NET_SOURCE WHERE AUTHOR IS NOT NULL AND "
                                             "SOURCE_COMMIT = ?1"));
        source.bindText(1,
                        QString::fromUtf8(
                            test::readAll(sourceFile(QStringLiteral("SOURCE_COMMIT"))).split('\n').first().trimmed()));
        QVERIFY(source.step() && source.columnInt(0) == 1);
        source.reset();

        QStringList faults;
        // The sample's routes keep their codes and names; one the data set lacks stays as the sample had it.
        QStringList apart;
        for (const SampleRoute& r : sampleRoutes(env.path())) {
            if (db->scalar(QStringLiteral("SELECT ROSEN_KANJI FROM MASTER WHERE ROSEN_CD = '%1'").arg(r.code)) !=
                r.name)
                faults << QStringLiteral("sample route %1 %2 is not in MASTER under its name").arg(r.code, r.name);
            else if (db->scalar(QStringLiteral("SELECT count(*) FROM NET_ROSEN WHERE ROSEN_CD = '%1'").arg(r.code))
                         .toInt() == 0) {
                apart << r.code;
                if (routeRows(*db, r.code) != r.rows)
                    faults << QStringLiteral("sample route %1 %2 is neither a route of the network nor as it was")
                                  .arg(r.code, r.name);
            }
        }
        if (!apart.isEmpty())
            qInfo("sample routes the data set lacks, kept as they were: %s", qPrintable(apart.join(QLatin1Char(' '))));
        const QString network = QStringLiteral("(SELECT ROSEN_CD FROM NET_ROSEN)");
        Statement few(*db, QStringLiteral("SELECT ROSEN_CD FROM %1 WHERE ROSEN_CD NOT IN (SELECT ROSEN_CD FROM EKI "
                                          "GROUP BY ROSEN_CD HAVING count(*) >= 2)")
                               .arg(inService));
        while (few.step())
            faults << QStringLiteral("route %1 in service has fewer than 2 stations").arg(few.columnText(0));
        // Rivers and tunnels the line diagram marks are points, not stations.
        Statement unplaced(
            *db,
            QStringLiteral("SELECT e.ROSEN_CD, e.EKI_KANJI FROM EKI e LEFT JOIN EKI_ICHI i ON "
                           "i.ROSEN_CD = e.ROSEN_CD AND i.KILO = e.KILO WHERE e.ROSEN_CD IN %1 AND e.ROSEN_CD IN %2 "
                           "AND (i.LATITUDE IS NULL OR i.KEN_CD IS NULL) AND ifnull(e.SHURUI, '') NOT IN ('川', '隧')")
                .arg(inService, network));
        while (unplaced.step())
            faults << QStringLiteral("station %1 of %2 has no position or prefecture")
                          .arg(unplaced.columnText(1), unplaced.columnText(0));

        // In order of posts: walking the route's track from its start, each station in turn lies beside it (within
        // 1 km, where the measured error is tens of metres) no earlier than the one before.
        QHash<QString, QList<QPointF>> track; // kilometres north and east
        Statement t(*db, QStringLiteral("SELECT ROSEN_CD, LATITUDE, LONGITUDE FROM ROSEN_SEN ORDER BY ROSEN_CD, SEQ"));
        while (t.step())
            track[t.columnText(0)].append(flatKm(t.columnDouble(1), t.columnDouble(2)));
        QString route;
        double reached = 0;
        Statement s(*db, QStringLiteral("SELECT i.ROSEN_CD, i.KILO, i.LATITUDE, i.LONGITUDE, e.EKI_KANJI FROM EKI_ICHI "
                                        "i JOIN EKI e USING (ROSEN_CD, KILO) WHERE i.ROSEN_CD IN %1 ORDER BY "
                                        "i.ROSEN_CD, i.KILO")
                             .arg(inService));
        while (s.step()) {
            if (s.columnText(0) != route) {
                route = s.columnText(0);
                reached = -1;
            }
            const QList<QPointF> pts = track.value(route);
            const auto [off, along] = nearestAhead(pts, flatKm(s.columnDouble(2), s.columnDouble(3)), reached - 0.5);
            if (off > 1.0)
                faults << QStringLiteral("station %1 of %2 at %3 km is %4 km from its track after the one before")
                              .arg(s.columnText(4), route)
                              .arg(s.columnDouble(1), 0, 'f', 1)
                              .arg(off, 0, 'f', 1);
            else
                reached = along;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(firstFew(faults).join(QLatin1Char('\n'))));
    }

    // A database of an older version with rides: merging the supplied network keeps every route code, the
    // user's own route and values, and the personal record as it was; a copy is made first and the answer kept.
    void olderDatabaseKeepsCodesAndRides() {
        test::TempEnv env;
        auto ref = Database::open(DbKind::Reference);
        auto jj = Database::open(DbKind::Personal);
        ref->exec(QStringLiteral("UPDATE MASTER SET BIKO1 = '利用者の備考' "
                                 "WHERE ROSEN_CD = '102001';"
                                 "INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, SHOZOKU, KILO) VALUES "
                                 "('999001', '自作線', '利用者鉄道', 1.5)"));
        jj->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                "('102001', '2020-01-02 00:00:00', '品川～渋谷', 7.2), "
                                "('101001', '2019-08-01 00:00:00', '函館～大沼', 27.0), "
                                "('999001', '2021-03-04 00:00:00', '全線', 1.5), "
                                "('888888', '2022-05-06 00:00:00', '消えた路線', -3.0)"));
        const QString rides = jj->dump(QStringLiteral("SELECT * FROM JOSHA ORDER BY ROSEN_CD, JOSHA_DATE"));
        const QString codes = ref->dump(QStringLiteral("SELECT ROSEN_CD FROM MASTER ORDER BY ROSEN_CD"));
        const QByteArray& text = supplied::builtInNetwork();
        const supplied::NetworkInfo info = supplied::infoOf(text);
        QVERIFY(supplied::offerDue(*ref, info));

        net::ImportOptions dry;
        dry.dryRun = true;
        const net::ImportResult preview = supplied::mergeNetwork(*ref, text, dry);
        QVERIFY(preview.counts.routesNew > 400);
        QCOMPARE(ref->dump(QStringLiteral("SELECT ROSEN_CD FROM MASTER ORDER BY ROSEN_CD")), codes);

        const net::ImportResult result = supplied::mergeNetwork(*ref, text);
        QCOMPARE(result.counts.routesNew, preview.counts.routesNew);
        QCOMPARE(jj->dump(QStringLiteral("SELECT * FROM JOSHA ORDER BY ROSEN_CD, JOSHA_DATE")), rides);
        for (const QString& code : codes.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(
                ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_CD = '%1'").arg(code.chopped(1)))
                        .toInt() == 1,
                qPrintable(code));
        QCOMPARE(ref->dump(QStringLiteral("SELECT ROSEN_KANJI, BIKO1 FROM MASTER WHERE ROSEN_CD IN ('102001', "
                                          "'999001') ORDER BY ROSEN_CD")),
                 QStringLiteral("山手線|利用者の備考|\n自作線||\n"));
        QVERIFY(ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE HAISHI_DATE IS NULL")).toInt() >= 550);
        QVERIFY(ref->scalar(QStringLiteral("SELECT count(*) FROM EKI WHERE ROSEN_CD = '102001'")).toInt() >= 17);
        QCOMPARE(QDir(backup::folderFor(ref->path()))
                     .entryList({QStringLiteral("Tabiroku-before-network-*.db")}, QDir::Files)
                     .size(),
                 1);
        // The same network as a first start lays out, route for route and station for station.
        {
            const QString fresh = env.file(QStringLiteral("fresh.db"));
            supplied::createReferenceWithNetwork(fresh, text);
            auto first = Database::openFile(fresh, DbKind::Reference);
            for (const char* sql :
                 {"SELECT ROSEN_CD, ROSEN_KANJI, KITEN, SHUTEN, KILO, HAISHI_DATE FROM MASTER WHERE ROSEN_CD <> "
                  "'999001' "
                  "ORDER BY ROSEN_CD",
                  "SELECT ROSEN_CD, KILO, EKI_KANJI FROM EKI ORDER BY ROSEN_CD, KILO",
                  "SELECT ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD FROM EKI_ICHI ORDER BY ROSEN_CD, KILO",
                  "SELECT SRC_KEY, ROSEN_CD FROM NET_ROSEN ORDER BY SRC_KEY"}) {
                const QStringList a = ref->dump(QString::fromLatin1(sql)).split(QLatin1Char('\n'));
                const QStringList b = first->dump(QString::fromLatin1(sql)).split(QLatin1Char('\n'));
                QStringList onlyMerged, onlyFirst;
                for (const QString& l : a)
                    if (!b.contains(l))
                        onlyMerged << l;
                for (const QString& l : b)
                    if (!a.contains(l))
                        onlyFirst << l;
                QVERIFY2(onlyMerged.isEmpty() && onlyFirst.isEmpty(),
                         qPrintable(QStringLiteral("%1\nmerged only:\n%2\nfirst start only:\n%3")
                                        .arg(QString::fromLatin1(sql), firstFew(onlyMerged).join(QLatin1Char('\n')),
                                             firstFew(onlyFirst).join(QLatin1Char('\n')))));
            }
        }
        QVERIFY(!supplied::offerDue(*ref, info));
        QCOMPARE(ref->scalar(QStringLiteral("SELECT ANSWER FROM NET_OFFER")), QVariant(QStringLiteral("更新")));
    }

    // The committed file is what the script makes from the shared copy of the data set, where that copy is the
    // one the file names.
    void regeneratedFromSharedCopy() {
        const QString root = QStringLiteral(TABIROKU_SHARED_STATIONS);
        const QByteArray recorded =
            test::readAll(sourceFile(QStringLiteral("SOURCE_COMMIT"))).split('\n').first().trimmed();
        const QByteArray copy = test::readAll(root + QStringLiteral("/SOURCE_COMMIT")).trimmed();
        if (copy != recorded)
            QSKIP(qPrintable(QStringLiteral("no copy of the station data set at %1 of commit %2")
                                 .arg(root, QString::fromUtf8(recorded))));
        // The script runs the import with a fixed hash seed: where the import's choices still follow the order of a
        // hash, the same copy gives the same file only so.
        QHashSeed::setDeterministicGlobalSeed();
        test::TempEnv env;
        auto db = Database::open(DbKind::Reference);
        net::importNetwork(*db, net::resolveSource(root, true));
        const QByteArray made = supplied::networkText(*db, supplied::datasetOperatorAliases(root));
        const QByteArray committed =
            supplied::unpackNetwork(test::readAll(sourceFile(QStringLiteral("network.tsv.qz"))));
        if (made != committed) {
            const QList<QByteArray> a = made.split('\n'), b = committed.split('\n');
            qsizetype i = 0;
            while (i < a.size() && i < b.size() && a[i] == b[i])
                ++i;
            QFAIL(
                qPrintable(QStringLiteral("the committed network differs from a new one at line %1 (run "
                                          "scripts/make-network.sh):\nnew:       %2\ncommitted: %3")
                               .arg(i + 1)
                               .arg(QString::fromUtf8(a.value(i).left(200)), QString::fromUtf8(b.value(i).left(200)))));
        }

        // A first start's database takes a later import of the same copy as a copy it already has: every code stays.
        const QString fresh = env.file(QStringLiteral("fresh.db"));
        supplied::createReferenceWithNetwork(fresh, committed);
        auto first = Database::openFile(fresh, DbKind::Reference);
        const QString codes = first->dump(QStringLiteral("SELECT ROSEN_CD, SRC_KEY FROM NET_ROSEN ORDER BY ROSEN_CD"));
        const net::ImportResult again = net::importNetwork(*first, net::resolveSource(root, true));
        QVERIFY2(again.counts.routesNew == 0 && again.counts.stationsNew == 0, qPrintable(again.summary()));
        QCOMPARE(first->dump(QStringLiteral("SELECT ROSEN_CD, SRC_KEY FROM NET_ROSEN ORDER BY ROSEN_CD")), codes);
    }
};

QTEST_GUILESS_MAIN(TestSuppliedNetwork)
#include "test_network.moc"
