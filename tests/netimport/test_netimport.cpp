#include "netimport/netimport.h"

#include "data/database.h"
#include "data/error.h"
#include "support/tempdatabases.h"

#include <QDir>
#include <QtTest>
#include <algorithm>

using namespace tabi;

namespace {

QString fixture(const QString& name) {
    return QStringLiteral(TABIROKU_TEST_DATA "/network/") + name;
}

// The shared copy of the whole data set, where this machine has one.
QString sharedStations() {
    const QString env = qEnvironmentVariable("TABIROKU_STATION_DATABASE");
    return env.isEmpty() ? QStringLiteral(TABIROKU_SHARED_STATIONS) : env;
}

net::ImportResult importFolder(Database& db, const QString& folder, bool withAbolished = false) {
    return net::importNetwork(db, net::resolveSource(folder, withAbolished));
}

QString reportText(const net::ImportResult& r) {
    return r.report.join(QLatin1Char('\n'));
}

QString everything(Database& db) {
    return db.dump(QStringLiteral("SELECT * FROM MASTER ORDER BY ROSEN_CD")) +
           db.dump(QStringLiteral("SELECT * FROM EKI ORDER BY ROSEN_CD, KILO")) +
           db.dump(QStringLiteral("SELECT * FROM EKI_ICHI ORDER BY ROSEN_CD, KILO")) +
           db.dump(QStringLiteral("SELECT * FROM ROSEN_SEN ORDER BY ROSEN_CD, SEQ")) +
           db.dump(QStringLiteral("SELECT * FROM BUNRUI ORDER BY BUNRUI_CD")) +
           db.dump(QStringLiteral("SELECT * FROM NET_ROSEN ORDER BY SRC_KEY"));
}

} // namespace

class TestNetImport : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(); }
    void cleanup() { closeDatabases(); }

    void folderForms_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("found");
        QTest::newRow("laid out as main, extra, src") << fixture(QStringLiteral("v1")) << true;
        QTest::newRow("the main folder itself") << fixture(QStringLiteral("v1/main")) << true;
        QTest::newRow("no data set") << fixture(QString()) << false;
        QTest::newRow("no such folder") << fixture(QStringLiteral("nowhere")) << false;
    }
    // The data set is found from its root or from its main folder; anything else is a clear refusal.
    void folderForms() {
        QFETCH(QString, folder);
        QFETCH(bool, found);
        try {
            const net::SourceLayout s = net::resolveSource(folder, false);
            QVERIFY(found);
            QCOMPARE(QDir(s.lineDir).dirName(), QStringLiteral("main"));
            QVERIFY(s.companyCsv.endsWith(QStringLiteral("v1/src/company.csv")));
        } catch (const Error& e) {
            QVERIFY2(!found, qPrintable(e.message()));
            QVERIFY2(
                e.message().contains(QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))),
                qPrintable(e.message()));
        }
    }

    void routes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ends");
        QTest::addColumn<double>("kilo");
        QTest::addColumn<QString>("kbn");
        QTest::addColumn<QString>("posts"); // station:post, in EKI order
        // A JR border inside one data line: two routes, two companies; two stations on one 0.1 km part.
        QTest::newRow("border, first company") << "102008"
                                               << "大糸線"
                                               << "松本～南小谷" << 5.0 << "12"
                                               << "松本:0.0 北松本:2.0 島内:2.1 南小谷:5.0";
        QTest::newRow("border, second company") << "104006"
                                                << "大糸線"
                                                << "南小谷～糸魚川" << 4.0 << "12"
                                                << "南小谷:0.0 糸魚川:4.0";
        // A loop from 大阪 round to 大阪: the sample's route and length stand, posts follow that length.
        QTest::newRow("loop, sample route") << "104001"
                                            << "大阪環状線"
                                            << "大阪～大阪" << 21.7 << "11"
                                            << "大阪:0.0 京橋:5.4 天王寺:10.8 大正:16.3 大阪:21.7";
        // A jump in the station order: the branch from 川崎 is a route of its own.
        QTest::newRow("main line before the jump") << "102009"
                                                   << "南武線"
                                                   << "川崎～立川" << 20.0 << "11"
                                                   << "川崎:0.0 登戸:10.0 立川:20.0";
        QTest::newRow("branch after the jump") << "102010"
                                               << "南武線"
                                               << "川崎～浜川崎" << 6.0 << "11"
                                               << "川崎:0.0 八丁畷:3.0 浜川崎:6.0";
        // 国道 lies 2 km off the track (measured straight); 川崎新町 beyond the track's end is left out.
        QTest::newRow("station off its track") << "102011"
                                               << "鶴見線"
                                               << "鶴見～扇町" << 5.8 << "11"
                                               << "鶴見:0.0 国道:2.2 扇町:5.8";
        // The sample's subway route keeps its code, length and stations.
        QTest::newRow("sample subway") << "201001"
                                       << "銀座線"
                                       << "浅草～渋谷" << 14.2 << "31"
                                       << "";
        // An abolished tail: the sample's two routes; the closed station in between is added as 廃.
        QTest::newRow("in service part") << "101002"
                                         << "札沼線"
                                         << "桑園～北海道医療大学" << 28.9 << "12"
                                         << "桑園:0.0 北海道医療大学:28.9";
        QTest::newRow("abolished tail") << "101003"
                                        << "札沼線"
                                        << "北海道医療大学～新十津川" << 47.6 << "12"
                                        << "北海道医療大学:0.0 石狩月形:20.8 新十津川:47.6";
        // Tram services over one track: the second keeps only its own part.
        QTest::newRow("first service") << "503001"
                                       << "２系統"
                                       << "湯の川～谷地頭" << 5.0 << "51"
                                       << "湯の川:0.0 十字街:4.0 谷地頭:5.0";
        QTest::newRow("second service, own part") << "503002"
                                                  << "５系統"
                                                  << "十字街～函館どつく前" << 1.0 << "51"
                                                  << "十字街:0.0 函館どつく前:1.0";
    }
    // The fixture's lines become routes as the route master keeps them: codes, terminals, lengths, posts.
    void routes() {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, ends);
        QFETCH(double, kilo);
        QFETCH(QString, kbn);
        QFETCH(QString, posts);
        importFolder(*m_ref, fixture(QStringLiteral("v1")));
        const QString row = m_ref->dump(
            QStringLiteral(
                "SELECT ROSEN_KANJI, KITEN || '～' || SHUTEN, KILO, KBN_CD FROM MASTER WHERE ROSEN_CD = '%1'")
                .arg(code));
        QCOMPARE(row, QStringLiteral("%1|%2|%3|%4|\n").arg(name, ends, QString::number(kilo, 'f', 1), kbn));
        if (!posts.isEmpty()) {
            QStringList got;
            Statement s(*m_ref, QStringLiteral("SELECT EKI_KANJI, KILO FROM EKI WHERE ROSEN_CD = ?1 ORDER BY KILO"));
            s.bindText(1, code);
            while (s.step())
                got << QStringLiteral("%1:%2").arg(s.columnText(0)).arg(s.columnDouble(1), 0, 'f', 1);
            QCOMPARE(got.join(QLatin1Char(' ')), posts);
            // Every imported station has its position, under the same key.
            QCOMPARE(m_ref
                         ->scalar(QStringLiteral("SELECT count(*) FROM EKI e JOIN EKI_ICHI i USING (ROSEN_CD, KILO) "
                                                 "WHERE ROSEN_CD = '%1'")
                                      .arg(code))
                         .toInt(),
                     int(got.size()));
        }
        // The track runs from the start to the end on the same scale as the posts.
        const double first =
            m_ref
                ->scalar(
                    QStringLiteral("SELECT KILO FROM ROSEN_SEN WHERE ROSEN_CD = '%1' ORDER BY SEQ LIMIT 1").arg(code))
                .toDouble();
        const double last =
            m_ref
                ->scalar(QStringLiteral("SELECT KILO FROM ROSEN_SEN WHERE ROSEN_CD = '%1' ORDER BY SEQ DESC LIMIT 1")
                             .arg(code))
                .toDouble();
        QCOMPARE(first, 0.0);
        QVERIFY2(std::abs(last - kilo) < 0.06, qPrintable(QString::number(last)));
    }

    // What the import leaves out or doubts is named in the report; the service line and the unknown operator
    // make no route.
    void reportNamesWhatWasLeftOut() {
        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("v1")));
        const QString text = reportText(r);
        QVERIFY2(text.contains(QStringLiteral("島内 と 北松本 が同じ 0.1 km")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("事業者コード 999")));
        QVERIFY(text.contains(QStringLiteral("line.csv の 11 行目")));
        QVERIFY(text.contains(QStringLiteral("国道 が線路から 2.")));
        QVERIFY(text.contains(QStringLiteral("川崎新町")));
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI LIKE '%湘南新宿%' "
                                             "OR ROSEN_KANJI LIKE '%謎%'"))
                     .toInt(),
                 0);
        QCOMPARE(r.counts.routesNew, 7);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT BUNRUI_KANJI FROM BUNRUI WHERE BUNRUI_CD = '503'")).toString(),
                 QStringLiteral("路面電車（北海道・東北）"));
        QCOMPARE(
            m_ref->scalar(QStringLiteral("SELECT SHURUI FROM EKI WHERE ROSEN_CD = '101003' AND EKI_KANJI = '石狩月形'"))
                .toString(),
            QStringLiteral("廃"));
    }

    // The user's changes survive a newer copy of the data set; untouched values follow it; a length moves
    // only by more than 0.5 km; a renumbered data line keeps its codes; a second import changes nothing.
    void mergeWithUserChanges() {
        importFolder(*m_ref, fixture(QStringLiteral("v1")));
        m_ref->exec(
            QStringLiteral("UPDATE EKI SET EKI_KANJI = '国道駅前' WHERE ROSEN_CD = '102011' AND EKI_KANJI = '国道'"));
        m_ref->exec(QStringLiteral("UPDATE MASTER SET KILO = 6.5 WHERE ROSEN_CD = '102011'"));
        const QString ridesBefore = m_ref->dump(QStringLiteral("SELECT * FROM MASTER WHERE ROSEN_CD LIKE '1040%'"));

        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("v2")));
        const QString text = reportText(r);
        QCOMPARE(r.counts.routesNew, 0);
        // 鶴見線: the user's name and length stand, the conflicting length is reported, the new station comes in.
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT KILO FROM MASTER WHERE ROSEN_CD = '102011'")),
                 QStringLiteral("6.5|\n"));
        QVERIFY2(text.contains(QStringLiteral(
                     "102011 鶴見線（鶴見～扇町）: キロ程は利用者の値 6.5 km を残しました（取り込みの値 7.1 km）")),
                 qPrintable(text));
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT EKI_KANJI FROM EKI WHERE ROSEN_CD = '102011' ORDER BY KILO")),
                 QStringLiteral("鶴見|\n国道駅前|\n新芝浦|\n扇町|\n"));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT max(KILO) FROM EKI WHERE ROSEN_CD = '102011'")).toDouble(), 6.5);
        // 南武線: untouched, 1 km longer: moved and reported.
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT KILO FROM MASTER WHERE ROSEN_CD = '102009'")),
                 QStringLiteral("21.0|\n"));
        QVERIFY(text.contains(QStringLiteral("102009 南武線（川崎～立川）: キロ程を 20.0 から 21.0 km にしました。")));
        // 大糸線 under a new line code: same codes; 0.2 km longer: the length stays.
        QCOMPARE(m_ref->dump(QStringLiteral(
                     "SELECT ROSEN_CD, KILO FROM MASTER WHERE ROSEN_KANJI = '大糸線' ORDER BY ROSEN_CD")),
                 QStringLiteral("102008|5.0|\n104006|4.0|\n"));
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT * FROM MASTER WHERE ROSEN_CD LIKE '1040%'")), ridesBefore);

        const QString before = everything(*m_ref);
        const net::ImportResult again = importFolder(*m_ref, fixture(QStringLiteral("v2")));
        QCOMPARE(again.counts.routesNew + again.counts.routesChanged + again.counts.stationsNew +
                     again.counts.stationsChanged,
                 0);
        QCOMPARE(everything(*m_ref), before);
    }

    // A route that disappears upstream stays, and is reported.
    void vanishedRouteStays() {
        importFolder(*m_ref, fixture(QStringLiteral("v1")));
        m_ref->exec(QStringLiteral("UPDATE NET_ROSEN SET SRC_KEY = 'gone', LINE_CD = 1, KITEN = 'x', ROSEN_KANJI = 'x' "
                                   "WHERE ROSEN_CD = '102011'"));
        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("v1")));
        QVERIFY(
            reportText(r).contains(QStringLiteral("102011 x（x～扇町）: 駅データにないので、そのまま残しました。")));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_CD = '102011'")).toInt(), 1);
        // The route came in again under a new code: a code once issued is never issued again.
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI = '鶴見線'")).toInt(), 2);
    }

    void refusals_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed CSV line") << "badcsv"
                                            << "station.csv の 37 行目: 列の数が 3 です";
        QTest::newRow("polyline that is no GeoJSON") << "badjson"
                                                     << "11623.json の 2 行目: GeoJSON として読めません";
    }
    // A failure names the file and line, or the route; the reference database stays exactly as it was.
    void refusals() {
        QFETCH(QString, folder);
        QFETCH(QString, message);
        const QString before = everything(*m_ref);
        try {
            importFolder(*m_ref, fixture(folder));
            QFAIL("imported");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QCOMPARE(everything(*m_ref), before);
    }

    // The whole data set with its abolished lines, where this machine has a copy of it.
    void wholeDataSet() {
        const QString root = sharedStations();
        if (!QFileInfo::exists(root + QStringLiteral("/extra/line.csv")))
            QSKIP(qPrintable(QStringLiteral("no copy of the station data set at %1").arg(root)));
        const QString sample = m_ref->dump(QStringLiteral("SELECT ROSEN_CD, KILO FROM MASTER ORDER BY ROSEN_CD"));
        const net::ImportResult r = importFolder(*m_ref, root, true);
        qInfo().noquote() << r.summary();
        QVERIFY(r.counts.routesNew > 700);
        QVERIFY(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE HAISHI_DATE IS NULL")).toInt() > 550);
        QVERIFY(m_ref->scalar(QStringLiteral("SELECT count(*) FROM EKI")).toInt() > 10000);
        // Every imported route has two stations or more, each with its position.
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM NET_ROSEN n WHERE (SELECT count(*) FROM EKI e "
                                             "WHERE e.ROSEN_CD = n.ROSEN_CD) < 2"))
                     .toInt(),
                 0);
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM EKI_ICHI i WHERE NOT EXISTS (SELECT 1 FROM EKI e "
                                             "WHERE e.ROSEN_CD = i.ROSEN_CD AND e.KILO = i.KILO)"))
                     .toInt(),
                 0);
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM (SELECT ROSEN_CD, KILO FROM EKI GROUP BY 1, 2 "
                                             "HAVING count(*) > 1)"))
                     .toInt(),
                 0);
        // JR names keep their whole line name: the company's short form ("JR東海") is not a prefix of "東海道本線".
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM NET_ROSEN n JOIN MASTER m USING (ROSEN_CD) "
                                             "WHERE m.SHOZOKU = '東海旅客鉄道' AND m.ROSEN_KANJI LIKE '東海道本線%'"))
                     .toInt() > 0,
                 true);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI LIKE '道本線%'")).toInt(), 0);
        // Derived lengths against the official figures of the sample routes the import matched.
        QList<double> errors;
        Statement s(*m_ref, QStringLiteral("SELECT n.ROSEN_CD, n.ROSEN_KANJI, n.KILO, m.KILO FROM NET_ROSEN n "
                                           "JOIN MASTER m USING (ROSEN_CD) WHERE n.ROSEN_CD IN (%1)")
                                .arg(QStringLiteral("'%1'").arg(sampleCodes(sample).join(QStringLiteral("','")))));
        while (s.step()) {
            if (net::Rules::builtIn().official.contains(s.columnText(1)))
                continue; // not measured: the official figure of the rule table
            const double err = std::abs(s.columnDouble(2) - s.columnDouble(3)) / s.columnDouble(3);
            errors << err;
            qInfo().noquote() << QStringLiteral("%1 %2 derived %3 official %4 (%5 %)")
                                     .arg(s.columnText(0), s.columnText(1))
                                     .arg(s.columnDouble(2), 0, 'f', 1)
                                     .arg(s.columnDouble(3), 0, 'f', 1)
                                     .arg(err * 100, 0, 'f', 2);
        }
        s.reset();
        QVERIFY(errors.size() >= 35);
        std::sort(errors.begin(), errors.end());
        const double median = errors[errors.size() / 2];
        const auto within1 = std::count_if(errors.begin(), errors.end(), [](double e) { return e <= 0.01; });
        qInfo().noquote() << QStringLiteral("sample routes matched %1, median error %2 %, within 1 %: %3")
                                 .arg(errors.size())
                                 .arg(median * 100, 0, 'f', 2)
                                 .arg(within1);
        QVERIFY(median < 0.01);
        QVERIFY(within1 * 10 >= errors.size() * 7);

        const QString before = everything(*m_ref);
        const net::ImportResult again = importFolder(*m_ref, root, true);
        if (everything(*m_ref) != before) {
            const QStringList a = before.split(QLatin1Char('\n')), b = everything(*m_ref).split(QLatin1Char('\n'));
            const QSet<QString> sa(a.begin(), a.end()), sb(b.begin(), b.end());
            int shown = 0;
            for (const QString& l : b)
                if (!sa.contains(l) && shown++ < 40)
                    qInfo().noquote() << "new:" << l;
            shown = 0;
            for (const QString& l : a)
                if (!sb.contains(l) && shown++ < 40)
                    qInfo().noquote() << "old:" << l;
        }
        QCOMPARE(again.counts.routesNew + again.counts.routesChanged + again.counts.stationsNew +
                     again.counts.stationsChanged,
                 0);
    }

private:
    static QStringList sampleCodes(const QString& dump) {
        QStringList codes;
        for (const QString& line : dump.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            codes << line.section(QLatin1Char('|'), 0, 0);
        return codes;
    }
};

QTEST_GUILESS_MAIN(TestNetImport)
#include "test_netimport.moc"
