#include "netimport/netimport.h"
#include "netimport/reconcile.h"
#include "netimport/register.h"
#include "netimport/trackgraph.h"

#include "data/database.h"
#include "data/error.h"
#include "data/rules.h"
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

// The fixtures come with registers of their own; the whole data set takes the one built into the program.
net::ImportResult importFolder(Database& db, const QString& folder, bool withAbolished = false,
                               const QString& registerFolder = fixture(QStringLiteral("v1_register"))) {
    net::ImportOptions options;
    options.registerFolder = registerFolder;
    return net::importNetwork(db, net::resolveSource(folder, withAbolished), options);
}

QString stationsOf(Database& db, const QString& code) {
    QStringList names;
    Statement s(db, QStringLiteral("SELECT EKI_KANJI FROM EKI WHERE ROSEN_CD = ?1 ORDER BY KILO"));
    s.bindText(1, code);
    while (s.step())
        names << s.columnText(0);
    return names.join(QLatin1Char(' '));
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

// The routes of the "corridor" fixture built with its register (東北本線 given the official length tohokuKm; the
// fixture's track measures it 25.0 km) and the official station posts given.
QList<net::DerivedRoute> corridorRoutes(const QString& posts, QStringList& report, const QString& tohokuKm = "25.5") {
    const net::Source source = net::readSource(net::resolveSource(fixture(QStringLiteral("corridor")), false));
    const net::TrackGraph graph = net::TrackGraph::build(source, report);
    QFile file(fixture(QStringLiteral("corridor_register/fixture.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    net::Register reg;
    reg.parse(QString::fromUtf8(file.readAll())
                  .replace(QStringLiteral("|上野|幹線|25.5|"), QStringLiteral("|上野|幹線|%1|").arg(tohokuKm)),
              QStringLiteral("fixture.txt"));
    reg.parsePosts(posts, QStringLiteral("posts.txt"));
    return net::buildRoutes(source, graph, reg, net::Rules::builtIn(), report);
}

const net::DerivedRoute& routeNamed(const QList<net::DerivedRoute>& routes, const QString& name) {
    static const net::DerivedRoute none;
    for (const net::DerivedRoute& r : routes)
        if (r.name == name)
            return r;
    return none;
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
        // A jump in the station order: the branch from 川崎 is a route of its own. JR lines the register does
        // not have are 地方交通線 (and reported).
        QTest::newRow("main line before the jump") << "102009"
                                                   << "南武線"
                                                   << "川崎～立川" << 20.0 << "12"
                                                   << "川崎:0.0 登戸:10.0 立川:20.0";
        QTest::newRow("branch after the jump") << "102010"
                                               << "南武線"
                                               << "川崎～浜川崎" << 6.0 << "12"
                                               << "川崎:0.0 八丁畷:3.0 浜川崎:6.0";
        // 国道 lies 2 km off the track (measured straight); 川崎新町 beyond the track's end is left out.
        QTest::newRow("station off its track") << "102012"
                                               << "鶴見線"
                                               << "鶴見～扇町" << 5.8 << "12"
                                               << "鶴見:0.0 国道:2.2 扇町:5.8";
        // The sample's subway route keeps its code, length and stations.
        QTest::newRow("sample subway") << "201001"
                                       << "銀座線"
                                       << "浅草～渋谷" << 14.2 << "31"
                                       << "";
        QTest::newRow("in service part") << "101002"
                                         << "札沼線"
                                         << "桑園～北海道医療大学" << 28.9 << "12"
                                         << "桑園:0.0 北海道医療大学:28.9";
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

    // What the import leaves out or doubts is named in the report; the unknown operator makes no route. A
    // service line no route of the register runs under is a route of its own.
    void reportNamesWhatWasLeftOut() {
        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("v1")));
        const QString text = reportText(r);
        QVERIFY2(text.contains(QStringLiteral("島内 と 北松本 が同じ 0.1 km")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("事業者コード 999")));
        QVERIFY(text.contains(QStringLiteral("line.csv の 11 行目")));
        QVERIFY(text.contains(QStringLiteral("国道 が線路から 2.")));
        QVERIFY(text.contains(QStringLiteral("川崎新町")));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI LIKE '%謎%'")).toInt(), 0);
        QCOMPARE(
            m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI = '湘南新宿ライン'")).toInt(),
            1);
        QCOMPARE(r.counts.routesNew, 8);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT BUNRUI_KANJI FROM BUNRUI WHERE BUNRUI_CD = '503'")).toString(),
                 QStringLiteral("路面電車（北海道・東北）"));
    }

    // The user's changes survive a newer copy of the data set; untouched values follow it; a length moves
    // only by more than 0.5 km; a renumbered data line keeps its codes; a second import changes nothing.
    void mergeWithUserChanges() {
        importFolder(*m_ref, fixture(QStringLiteral("v1")));
        m_ref->exec(
            QStringLiteral("UPDATE EKI SET EKI_KANJI = '国道駅前' WHERE ROSEN_CD = '102012' AND EKI_KANJI = '国道'"));
        m_ref->exec(QStringLiteral("UPDATE MASTER SET KILO = 6.5 WHERE ROSEN_CD = '102012'"));
        const QString ridesBefore = m_ref->dump(QStringLiteral("SELECT * FROM MASTER WHERE ROSEN_CD LIKE '1040%'"));

        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("v2")));
        const QString text = reportText(r);
        QCOMPARE(r.counts.routesNew, 0);
        // 鶴見線: the user's name and length stand, the conflicting length is reported, the new station comes in.
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT KILO FROM MASTER WHERE ROSEN_CD = '102012'")),
                 QStringLiteral("6.5|\n"));
        QVERIFY2(text.contains(QStringLiteral(
                     "102012 鶴見線（鶴見～扇町）: キロ程は利用者の値 6.5 km を残しました（取り込みの値 7.1 km）")),
                 qPrintable(text));
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT EKI_KANJI FROM EKI WHERE ROSEN_CD = '102012' ORDER BY KILO")),
                 QStringLiteral("鶴見|\n国道駅前|\n新芝浦|\n扇町|\n"));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT max(KILO) FROM EKI WHERE ROSEN_CD = '102012'")).toDouble(), 6.5);
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
                                   "WHERE ROSEN_CD = '102012'"));
        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("v1")));
        QVERIFY(
            reportText(r).contains(QStringLiteral("102012 x（x～扇町）: 駅データにないので、そのまま残しました。")));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_CD = '102012'")).toInt(), 1);
        // The route came in again under a new code: a code once issued is never issued again.
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI = '鶴見線'")).toInt(), 2);
    }

    void refusals_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed CSV line") << "badcsv"
                                            << "station.csv の 35 行目: 列の数が 3 です";
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

    void corridor_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stations");
        // The local service's stations (有楽町, 浜松町, 大井町; 秋葉原, 川口, 浦和) are the route's.
        QTest::newRow("rapid and local over one corridor") << "東海道本線@東日本旅客鉄道"
                                                           << "東京 有楽町 新橋 浜松町 品川 大井町 川崎";
        QTest::newRow("through a via") << "東北本線"
                                       << "東京 秋葉原 上野 赤羽 川口 浦和 大宮";
        // The data-set line starts at 岡山 over 山陽本線; the route at its official terminal.
        QTest::newRow("not past its terminal") << "伯備線"
                                               << "倉敷 清音 総社";
        // The data set lists the branch inside the line's order, after 扇町.
        QTest::newRow("no branch inside") << "鶴見線"
                                          << "鶴見 浅野 安善 扇町";
        QTest::newRow("the branch on its own") << "鶴見線（海芝浦支線）"
                                               << "浅野 新芝浦 海芝浦";
        // The data set lists the airport inline between 植苗 and 南千歳; it lies on a spur.
        QTest::newRow("no spur inside") << "千歳線"
                                        << "植苗 南千歳 千歳";
        // The branch leaves between stations; the line's track from 大垣 reaches 垂井 past the branch's 荒尾.
        QTest::newRow("past a branch's station") << "東海道本線@東海旅客鉄道"
                                                 << "大垣 垂井";
        QTest::newRow("a branch from between stations") << "東海道本線（美濃赤坂支線）"
                                                        << "大垣 荒尾 美濃赤坂";
        QTest::newRow("two stations close together") << "岳南線"
                                                     << "吉原 吉原本町 本吉原 岳南原田";
        // A line shaped like a 6, and a station beside its first step whose place in the order is elsewhere.
        QTest::newRow("the tail of a 6") << "大江戸線"
                                         << "都庁前 西新宿五丁目 光が丘";
        QTest::newRow("the ring of a 6") << "大江戸線（環状部）"
                                         << "都庁前 新宿西口 飯田橋 門前仲町 六本木 新宿 都庁前";
        QTest::newRow("loop from its start") << "大阪環状線"
                                             << "大阪 京橋 天王寺 大正 大阪";
        // The data set keeps the line in service beyond 北海道医療大学; the register knows it closed.
        QTest::newRow("register's closed section left out") << "札沼線"
                                                            << "桑園 北海道医療大学";
        // The sample writes 鷹巣: its route is the register's, with the data set's stations.
        QTest::newRow("a line of its own, keeping its whole name") << "富士急行線"
                                                                   << "大月 河口湖";
        QTest::newRow("sample route under a spelling variant") << "秋田内陸線"
                                                               << "鷹ノ巣 阿仁合 角館";
    }
    // Routes of the register over a fixture where services share stations: every station of the corridor, never
    // past a terminal, never a branch or a station twice; each is one route, under the sample's code where the
    // sample has it.
    void corridor() {
        QFETCH(QString, name);
        QFETCH(QString, stations);
        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("corridor")), false,
                                                 fixture(QStringLiteral("corridor_register")));
        // "name@operator" where two companies have a route of the name.
        const QString operatorName = name.section(QLatin1Char('@'), 1);
        name = name.section(QLatin1Char('@'), 0, 0);
        const QStringList codes =
            m_ref
                ->dump(QStringLiteral("SELECT ROSEN_CD FROM MASTER WHERE ROSEN_KANJI = '%1' AND HAISHI_DATE IS NULL "
                                      "AND ('%2' = '' OR SHOZOKU = '%2')")
                           .arg(name, operatorName))
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(codes.size(), 1);
        const QString code = codes.first().section(QLatin1Char('|'), 0, 0);
        QCOMPARE(stationsOf(*m_ref, code), stations);
        // The sample's routes keep their codes.
        if (name == QStringLiteral("大阪環状線"))
            QCOMPARE(code, QStringLiteral("104001"));
        if (name == QStringLiteral("秋田内陸線"))
            QCOMPARE(code, QStringLiteral("401003"));
        // The service line whose track the routes cover is no route; no station in service is left out but
        // those of the closed section.
        QCOMPARE(
            m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE ROSEN_KANJI LIKE '%京浜東北%'")).toInt(),
            0);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(DISTINCT STATION_ID) FROM EKI_ID")).toInt(), 57 - 2);
        // Every row the import wrote names its station of the data set.
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM NET_EKI n WHERE NOT EXISTS (SELECT 1 FROM EKI_ID i "
                                             "WHERE i.ROSEN_CD = n.ROSEN_CD AND i.KILO = n.KILO)"))
                     .toInt(),
                 0);
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT STATION_ID FROM EKI_ID i JOIN EKI e USING (ROSEN_CD, KILO) "
                                             "JOIN MASTER m USING (ROSEN_CD) WHERE m.ROSEN_KANJI = '東北本線' "
                                             "AND e.EKI_KANJI = '上野'"))
                     .toInt(),
                 109);
        Q_UNUSED(r);
    }

    // A route of the record whose definition the register changes is reported with what that does to its ridden
    // share, from the rides of the personal record beside the reference database.
    void changedDefinitionSaysTheRiddenShare() {
        closeDatabases();
        openDatabases(/*withPersonal=*/true);
        const QString code = QStringLiteral("301003"); // the sample's 大江戸線, 都庁前～光が丘 round the ring
        const double before =
            m_ref->scalar(QStringLiteral("SELECT KILO FROM MASTER WHERE ROSEN_CD = '%1'").arg(code)).toDouble();
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KILO) VALUES ('%1', "
                                   "'2020-01-01 00:00:00', 5.0), ('%1', '2021-01-01 00:00:00', 6.5)")
                        .arg(code));
        const net::ImportResult r = importFolder(*m_ref, fixture(QStringLiteral("corridor")), false,
                                                 fixture(QStringLiteral("corridor_register")));
        const double after =
            m_ref->scalar(QStringLiteral("SELECT KILO FROM MASTER WHERE ROSEN_CD = '%1'").arg(code)).toDouble();
        QVERIFY(before != after);
        const QString expected = QStringLiteral("乗車キロ 11.5 km の乗車率は %1 % から %2 % になります。")
                                     .arg(rules::ratio(before, 11.5), 0, 'f', 2)
                                     .arg(rules::ratio(after, 11.5), 0, 'f', 2);
        const QStringList lines = r.report.filter(code);
        QVERIFY2(!lines.filter(QStringLiteral("定義が登録簿と違う")).filter(expected).isEmpty(),
                 qPrintable(lines.join(QLatin1Char('\n'))));
    }

    // The abolished lines add routes of their own and change no route in service.
    void abolishedBesideInService() {
        const QString corridor = fixture(QStringLiteral("corridor"));
        const QString reg = fixture(QStringLiteral("corridor_register"));
        importFolder(*m_ref, corridor, false, reg);
        const QString inService = QStringLiteral(
            "SELECT m.ROSEN_CD, m.ROSEN_KANJI, m.KITEN, m.SHUTEN, m.KILO, e.KILO, e.EKI_KANJI, i.STATION_ID FROM "
            "MASTER m "
            "JOIN EKI e USING (ROSEN_CD) LEFT JOIN EKI_ID i ON i.ROSEN_CD = e.ROSEN_CD AND i.KILO = e.KILO "
            "WHERE m.HAISHI_DATE IS NULL "
            "ORDER BY 1, 6");
        const QString before = m_ref->dump(inService);
        const net::ImportResult r = importFolder(*m_ref, corridor, true, reg);
        QCOMPARE(m_ref->dump(inService), before);
        Q_UNUSED(r);
        // The register's closed section with its date, the old alignment with the date of its closed station.
        QCOMPARE(m_ref->dump(QStringLiteral("SELECT ROSEN_KANJI, KITEN, SHUTEN, substr(HAISHI_DATE, 1, 10) FROM MASTER "
                                            "WHERE HAISHI_DATE IS NOT NULL AND ROSEN_CD IN (SELECT ROSEN_CD FROM "
                                            "NET_ROSEN) ORDER BY 1, 2")),
                 QStringLiteral("札沼線|北海道医療大学|新十津川|2020-05-07|\n"
                                "札沼線|桑園|北海道医療大学|1990-04-01|\n"));
        // The closed section is the sample's route of it (named as the sample writes it), with the station the
        // register's section passes.
        QCOMPARE(stationsOf(*m_ref, QStringLiteral("101003")), QStringLiteral("北海道医療大学 石狩月形 新十津川"));
    }

    void reconcileAlone_data() {
        QTest::addColumn<QString>("operatorName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ends");
        QTest::addColumn<QString>("haishi");
        QTest::addColumn<int>("matched"); // index of the built route, -1: none
        QTest::addColumn<bool>("differs");
        QTest::newRow("same route") << "東日本旅客鉄道"
                                    << "山手線"
                                    << "品川～田端"
                                    << "" << 0 << false;
        QTest::newRow("operator's short name, name with its prefix") << "JR東日本"
                                                                     << "JR山手線"
                                                                     << "品川～田端"
                                                                     << "" << 0 << false;
        QTest::newRow("terminal under a spelling variant") << "東日本旅客鉄道"
                                                           << "山手線"
                                                           << "品川～田端駅前"
                                                           << "" << 0 << false;
        // The same terminals, but a length that differs by more than a revised figure: the register's stations.
        QTest::newRow("another definition") << "東日本旅客鉄道"
                                            << "東北本線"
                                            << "東京～大宮"
                                            << "" << 1 << true;
        QTest::newRow("several companies") << "JR東日本・JR東海"
                                           << "山手線"
                                           << "品川～田端"
                                           << "" << -1 << false;
        QTest::newRow("abolished") << "東日本旅客鉄道"
                                   << "山手線"
                                   << "品川～田端"
                                   << "2000-01-01" << -1 << false;
        QTest::newRow("another operator") << "東京地下鉄"
                                          << "山手線"
                                          << "品川～田端"
                                          << "" << -1 << false;
    }
    // The reconciliation alone: which built route an existing route stands for, by operator, name and stations.
    void reconcileAlone() {
        QFETCH(QString, operatorName);
        QFETCH(QString, name);
        QFETCH(QString, ends);
        QFETCH(QString, haishi);
        QFETCH(int, matched);
        QFETCH(bool, differs);
        auto route = [](const QString& n, const QStringList& stations, double km) {
            net::DerivedRoute r;
            r.name = n;
            r.operatorName = QStringLiteral("東日本旅客鉄道");
            r.officialKm = km;
            for (int i = 0; i < stations.size(); ++i)
                r.stations.append({i + 1, stations[i], {}, {}, false, {}, 13, double(i)});
            return r;
        };
        const QList<net::DerivedRoute> built{
            route(QStringLiteral("山手線"), {QStringLiteral("品川"), QStringLiteral("新宿"), QStringLiteral("田端")},
                  20.6),
            route(QStringLiteral("東北本線"), {QStringLiteral("東京"), QStringLiteral("上野"), QStringLiteral("大宮")},
                  30.3)};
        net::Aliases aliases;
        aliases.operatorOf.insert(QStringLiteral("JR東日本"), QStringLiteral("東日本旅客鉄道"));
        aliases.station.insert(QStringLiteral("田端駅前"), QStringLiteral("田端"));
        net::ExistingRoute x{QStringLiteral("A01001"),          name,   operatorName, ends.section(QChar(0xFF5E), 0, 0),
                             ends.section(QChar(0xFF5E), 1, 1), haishi, 20.6,         {}};
        const net::Reconciliation r = net::reconcile(built, {x}, aliases);
        QCOMPARE(r.codeOf.key(QStringLiteral("A01001"), -1), matched);
        if (matched >= 0)
            QCOMPARE(r.differs.value(matched), differs);
        else
            QVERIFY(r.report.first().startsWith(QStringLiteral("A01001 ")));
    }

    void registerRows_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString ok = QStringLiteral("JR東日本|山手線|やまのてせん|品川|田端|新宿|幹線|20.6|||11302|\n");
        QTest::newRow("too few fields") << "# comment\nJR東日本|山手線|やまのてせん|品川|田端\n"
                                        << "t.txt の 2 行目: 欄の数が 5 です";
        QTest::newRow("unknown category") << "JR東日本|山手線|やまのてせん|品川|田端||本線|20.6|||11302|\n"
                                          << "t.txt の 1 行目: 区分「本線」";
        QTest::newRow("length no number") << "JR東日本|山手線|やまのてせん|品川|田端||幹線|20,6|||11302|\n"
                                          << "t.txt の 1 行目: キロ程「20,6」";
        QTest::newRow("one terminal") << "JR東日本|山手線|やまのてせん|品川|||幹線|20.6|||11302|\n"
                                      << "t.txt の 1 行目: 起点と終点";
        QTest::newRow("whole line without its line") << "小田急電鉄|小田原線|おだわらせん||||大手民鉄|82.5||||\n"
                                                     << "t.txt の 1 行目: 起点と終点が空の行";
        QTest::newRow("closed date") << "JR北海道|深名線|しんめいせん|深川|名寄||地方交通線|121.8||1995-09|11199|\n"
                                     << "t.txt の 1 行目: 廃止日「1995-09」";
        QTest::newRow("the same route twice") << ok + ok << "t.txt の 2 行目: JR東日本 山手線 は既に";
        QTest::newRow("a station passed without a name")
            << "JR東日本|山手線|やまのてせん|品川|田端|新宿,-|幹線|20.6|||11302|\n"
            << "t.txt の 1 行目: 経由駅に空の名前";
        QTest::newRow("well formed") << ok << "";
        // "-name" is a station the path runs past, not a via.
        QTest::newRow("well formed, a station passed")
            << "JR東日本|山手線|やまのてせん|品川|田端|-目白,新宿|幹線|20.6|||11302|\n"
            << "";
    }
    // A malformed row of the register is an error naming its file and line.
    void registerRows() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        net::Register reg;
        try {
            reg.parse(text, QStringLiteral("t.txt"));
            QVERIFY2(message.isEmpty(), "parsed");
            QCOMPARE(reg.rows.size(), 1);
            QCOMPARE(reg.rows.first().via, QStringList{QStringLiteral("新宿")});
            QCOMPARE(reg.rows.first().passes,
                     text.contains(QStringLiteral("-目白")) ? QStringList{QStringLiteral("目白")} : QStringList());
            QCOMPARE(reg.rows.first().km, 20.6);
        } catch (const Error& e) {
            QVERIFY2(!message.isEmpty() && e.message().contains(message), qPrintable(e.message()));
        }
    }

    // A route with an official station post: the stations between two anchors (the start at 0, the anchor, the
    // end at the official length) in proportion to their measured posts, the anchored station on its post, and
    // the track's posts scaled the same way, so that every station's post is a post of the track. Every other
    // route is built as without the posts.
    void piecewisePosts() {
        QStringList report;
        const QList<net::DerivedRoute> plain = corridorRoutes(QString(), report);
        const net::DerivedRoute& measured = routeNamed(plain, QStringLiteral("東北本線"));
        QCOMPARE(measured.end(), QStringLiteral("大宮"));
        // 上野 put 1.5 km beyond its proportional post: between 東京 and 上野 the stations stretch, beyond it
        // they close up.
        const int at = 2;
        QCOMPARE(measured.stations[at].name, QStringLiteral("上野"));
        const double official = 25.5, length = measured.length();
        const double ueno = std::round((measured.stations[at].km * official / length + 1.5) * 10) / 10;
        report.clear();
        const QList<net::DerivedRoute> anchored =
            corridorRoutes(QStringLiteral("JR東日本 | 東北本線 | 上野 | %1 | https://example.org\n").arg(ueno), report);
        QVERIFY2(!report.join(QLatin1Char('\n')).contains(QStringLiteral("posts.txt")), qPrintable(report.join('\n')));
        const net::DerivedRoute& r = routeNamed(anchored, QStringLiteral("東北本線"));
        QCOMPARE(r.stations.size(), measured.stations.size());
        QCOMPARE(r.stations[at].km, ueno);
        QCOMPARE(r.length(), official);
        const double mAt = measured.stations[at].km;
        for (int i = 0; i < r.stations.size(); ++i) {
            const double m = measured.stations[i].km;
            const double want = i <= at ? m * ueno / mAt : ueno + (m - mAt) * (official - ueno) / (length - mAt);
            QVERIFY2(std::abs(r.stations[i].km - want) < 1e-9, qPrintable(r.stations[i].name));
            QVERIFY2(std::any_of(r.trackKm.begin(), r.trackKm.end(),
                                 [&](double t) { return std::abs(t - r.stations[i].km) < 1e-9; }),
                     qPrintable(r.stations[i].name));
        }
        QVERIFY(std::is_sorted(r.trackKm.begin(), r.trackKm.end()));
        QCOMPARE(r.trackKm.last(), official);
        QCOMPARE(r.track.size(), measured.track.size());
        // The other routes are untouched.
        QCOMPARE(anchored.size(), plain.size());
        for (int i = 0; i < plain.size(); ++i) {
            if (plain[i].name == QStringLiteral("東北本線"))
                continue;
            QCOMPARE(anchored[i].trackKm, plain[i].trackKm);
            for (int k = 0; k < plain[i].stations.size(); ++k)
                QCOMPARE(anchored[i].stations[k].km, plain[i].stations[k].km);
        }
    }

    void rejectedPosts_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such station on the route") << "JR東日本 | 東北本線 | 品川 | 10.0 | x"
                                                      << "東京～大宮 の駅にない";
        QTest::newRow("no such route in the register") << "JR東日本 | 東北新幹線 | 上野 | 3.6 | x"
                                                       << "登録簿にない路線";
        QTest::newRow("beyond the end") << "JR東日本 | 東北本線 | 浦和 | 30.0 | x"
                                        << "順に並ばない";
        QTest::newRow("a start not at 0") << "JR東日本 | 東北本線 | 東京 | 1.0 | x"
                                          << "起点なのでキロ程は 0.0 km のはず";
        QTest::newRow("an end not at the official length") << "JR東日本 | 東北本線 | 大宮 | 24.0 | x"
                                                           << "終点なのでキロ程は 25.5 km のはず";
        // 赤羽 lies some 13 km out of 東京 on the fixture's track.
        QTest::newRow("far more than the track") << "JR東日本 | 東北本線 | 赤羽 | 1.0 | x"
                                                 << "違いすぎる";
    }
    // An official post that names no station of the route, goes backwards or disagrees with the track far more
    // than a fare distance does is reported (naming its file and line) and the route is built as without it.
    void rejectedPosts() {
        QFETCH(QString, row);
        QFETCH(QString, message);
        QStringList report;
        const net::DerivedRoute measured = routeNamed(corridorRoutes(QString(), report), QStringLiteral("東北本線"));
        report.clear();
        const QList<net::DerivedRoute> routes =
            corridorRoutes(QStringLiteral("# a comment\n") + row + QLatin1Char('\n'), report);
        const QStringList said = report.filter(QStringLiteral("posts.txt の 2 行目"));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains(message), qPrintable(said.first()));
        const net::DerivedRoute& r = routeNamed(routes, QStringLiteral("東北本線"));
        QCOMPARE(r.trackKm, measured.trackKm);
        for (int k = 0; k < r.stations.size(); ++k)
            QCOMPARE(r.stations[k].km, measured.stations[k].km);
    }

    void shortfallOnOneStretch_data() {
        QTest::addColumn<QString>("length");
        QTest::addColumn<bool>("used");
        QTest::newRow("a route drawn 10 km short") << "35.0" << true;
        QTest::newRow("a route the track measures right") << "25.5" << false;
    }
    // 赤羽～川口 measures 2.0 km on the fixture's track. An official 10.0 km is five times that: a mistyped post
    // where the track measures the whole route right, but where the data set draws the route 10 km short (a
    // switchback drawn as a straight line), the shortfall may all lie on that stretch.
    void shortfallOnOneStretch() {
        QFETCH(QString, length);
        QFETCH(bool, used);
        QStringList report;
        const QList<net::DerivedRoute> routes = corridorRoutes(
            QStringLiteral("JR東日本 | 東北本線 | 赤羽 | 12.0 | x\nJR東日本 | 東北本線 | 川口 | 22.0 | x\n"), report,
            length);
        const net::DerivedRoute& r = routeNamed(routes, QStringLiteral("東北本線"));
        QCOMPARE(r.stations[4].name, QStringLiteral("川口"));
        QCOMPARE(r.stations[4].km == 22.0, used);
        QCOMPARE(report.filter(QStringLiteral("posts.txt の 2 行目")).size(), used ? 0 : 1);
        QCOMPARE(r.length(), length.toDouble());
    }

    void postRows_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("fine") << "JR東日本|東北新幹線|仙台(JR)|351.8|https://x"
                              << "";
        QTest::newRow("too few fields") << "JR東日本|東北新幹線|仙台|351.8"
                                        << "欄の数が 4 です";
        QTest::newRow("no number") << "JR東日本|東北新幹線|仙台|三五一|x"
                                   << "キロ程「三五一」が数ではありません";
        QTest::newRow("negative") << "JR東日本|東北新幹線|仙台|-1.0|x"
                                  << "数ではありません";
        QTest::newRow("no station") << "JR東日本|東北新幹線||351.8|x"
                                    << "空にできません";
        QTest::newRow("a station twice") << "JR東日本|東北新幹線|仙台|351.8|x\nJR東日本|東北新幹線|仙台|352.0|x"
                                         << "4 行目: JR東日本 東北新幹線 の 仙台 は既に書かれています";
    }
    // A malformed row of the station posts is an error naming its file and line.
    void postRows() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        net::Register reg;
        try {
            reg.parsePosts(QStringLiteral("# header\n\n") + text, QStringLiteral("t.txt"));
            QVERIFY2(message.isEmpty(), "parsed");
            QCOMPARE(reg.posts.size(), 1);
            QCOMPARE(reg.posts.first().station, QStringLiteral("仙台(JR)"));
            QCOMPARE(reg.posts.first().km, 351.8);
            QCOMPARE(reg.posts.first().fileLine, 3);
        } catch (const Error& e) {
            QVERIFY2(!message.isEmpty() && e.message().contains(message), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("t.txt の")), qPrintable(e.message()));
        }
    }

    // The register built into the program reads without error.
    void builtInRegister() { QVERIFY(net::Register::builtIn().rows.size() >= 0); }

    // The whole data set with the posts built into the program: a station of a shinkansen whose operating km is
    // that of the line beside it, stations of routes whose track the data set draws short or long, and stations of
    // trunk lines that one proportion over the whole route puts about a kilometre off, stand on their published
    // posts; every post of the built-in tables is used.
    void officialPostsOfTheDataSet() {
        const QString root = sharedStations();
        if (!QFileInfo::exists(root + QStringLiteral("/extra/line.csv")))
            QSKIP(qPrintable(QStringLiteral("no copy of the station data set at %1").arg(root)));
        const net::ImportResult r = importFolder(*m_ref, root, false, QString());
        const QStringList unused = r.report.filter(QStringLiteral("使いませんでした"));
        QVERIFY2(unused.isEmpty(), qPrintable(unused.join(QLatin1Char('\n'))));
        struct Post {
            const char* operatorName;
            const char* route;
            const char* station;
            double km;
        };
        // clang-format off
        static const Post posts[] = {
            {"東日本旅客鉄道", "東北新幹線", "仙台", 351.8}, // 344.0 in one proportion over the whole route
            {"東日本旅客鉄道", "東北新幹線", "盛岡", 535.3},
            {"東日本旅客鉄道", "上越新幹線", "越後湯沢", 168.9},
            {"西日本旅客鉄道", "山陽新幹線", "広島", 341.6},
            {"西日本旅客鉄道", "山陽新幹線", "新山口", 474.4}, // counted over 岩徳線 from 岩国
            {"西日本旅客鉄道", "北陸新幹線", "福井", 255.6},
            {"九州旅客鉄道", "九州新幹線", "熊本", 118.4},
            {"九州旅客鉄道", "西九州新幹線", "諫早", 44.7},
            {"西日本旅客鉄道", "木次線", "出雲横田", 52.3},
            {"西日本旅客鉄道", "木次線", "三井野原", 69.7}, // past the switchback the data set draws short
            {"嵯峨野観光鉄道", "嵯峨野観光線", "トロッコ保津峡", 3.4},
            {"東日本旅客鉄道", "中央本線", "大月", 87.8}, // 88.8 in one proportion over the whole route
            {"東海旅客鉄道", "中央本線", "中津川", 94.9}, // counted from 塩尻, the start of the company's row
            {"東日本旅客鉄道", "羽越本線", "酒田", 166.9}, // 165.9 in one proportion
        };
        // clang-format on
        for (const Post& p : posts) {
            Statement s(*m_ref, QStringLiteral("SELECT e.KILO FROM EKI e JOIN MASTER m USING (ROSEN_CD) WHERE "
                                               "m.SHOZOKU = ?1 AND m.ROSEN_KANJI = ?2 AND e.EKI_KANJI = ?3 AND "
                                               "m.HAISHI_DATE IS NULL"));
            s.bindText(1, QString::fromUtf8(p.operatorName));
            s.bindText(2, QString::fromUtf8(p.route));
            s.bindText(3, QString::fromUtf8(p.station));
            QVERIFY2(s.step(), p.station);
            QVERIFY2(
                std::abs(s.columnDouble(0) - p.km) < 0.05,
                qPrintable(
                    QStringLiteral("%1 %2: %3").arg(QString::fromUtf8(p.station)).arg(s.columnDouble(0)).arg(p.km)));
        }
    }

    // The whole data set with the register built into the program, where this machine has a copy of it: the
    // invariants that need no official figure.
    void wholeDataSet() {
        const QString root = sharedStations();
        if (!QFileInfo::exists(root + QStringLiteral("/extra/line.csv")))
            QSKIP(qPrintable(QStringLiteral("no copy of the station data set at %1").arg(root)));
        const net::ImportResult r = importFolder(*m_ref, root, false, QString());
        qInfo().noquote() << r.summary();
        const QString inService = QStringLiteral(
            "SELECT m.ROSEN_CD, m.ROSEN_KANJI, m.KITEN, m.SHUTEN, m.KILO, e.KILO, e.EKI_KANJI, i.STATION_ID FROM "
            "MASTER m "
            "JOIN EKI e USING (ROSEN_CD) LEFT JOIN EKI_ID i ON i.ROSEN_CD = e.ROSEN_CD AND i.KILO = e.KILO "
            "WHERE m.HAISHI_DATE IS NULL "
            "ORDER BY 1, 6");
        const QString before = m_ref->dump(inService);
        // No route in service with fewer than two stations.
        QCOMPARE(m_ref
                     ->scalar(QStringLiteral("SELECT count(*) FROM MASTER m WHERE HAISHI_DATE IS NULL AND (SELECT "
                                             "count(*) FROM EKI e WHERE e.ROSEN_CD = m.ROSEN_CD) < 2"))
                     .toInt(),
                 0);
        // Track shared by two routes in service: consecutive stations that two routes both hold.
        QHash<QString, QList<std::pair<QString, double>>> pairs;
        {
            Statement s(*m_ref, QStringLiteral("SELECT i.ROSEN_CD, i.KILO, i.STATION_ID FROM EKI_ID i JOIN MASTER m "
                                               "USING (ROSEN_CD) WHERE m.HAISHI_DATE IS NULL ORDER BY 1, 2"));
            QString route;
            double lastKm = 0;
            qint64 last = 0;
            while (s.step()) {
                const qint64 id = s.columnInt(2);
                if (s.columnText(0) == route) {
                    const QString key = QStringLiteral("%1|%2").arg(std::min(id, last)).arg(std::max(id, last));
                    pairs[key].append({route, s.columnDouble(1) - lastKm});
                }
                route = s.columnText(0);
                last = id;
                lastKm = s.columnDouble(1);
            }
        }
        double shared = 0;
        for (auto it = pairs.cbegin(); it != pairs.cend(); ++it)
            if (it->size() > 1)
                shared += it->first().second * (it->size() - 1);
        qInfo().noquote() << QStringLiteral("track shared by routes in service: %1 km").arg(shared, 0, 'f', 1);
        for (auto it = pairs.cbegin(); it != pairs.cend(); ++it)
            if (it->size() > 1 && it->first().second > 2.0)
                qInfo().noquote() << QStringLiteral("  shared %1 km by %2 routes (stations %3)")
                                         .arg(it->first().second, 0, 'f', 1)
                                         .arg(it->size())
                                         .arg(it.key());
        // Consecutive stations held by two routes are not all one track counted twice: two lines of their own
        // between the same interchanges (銀座線 and 半蔵門線 渋谷～表参道, lines of two operators meeting at the same
        // stations) and steps registered to two routes (天王寺～新今宮～今宮) stay, so this sum stays above it.
        QEXPECT_FAIL("", "separate tracks and registered pairs between the same stations are counted too", Continue);
        QVERIFY(shared <= 5.0);
        // Every station in service is on a route, but those of sections the register knows closed.
        {
            const net::Source source = net::readSource(net::resolveSource(root, false));
            QSet<int> closedLines;
            for (const net::RegisterRow& row : net::Register::builtIn().rows)
                if (!row.closed.isEmpty())
                    closedLines.unite(QSet<int>(row.lines.begin(), row.lines.end()));
            QHash<int, QList<int>> linesOf;
            for (auto it = source.order.cbegin(); it != source.order.cend(); ++it)
                for (int station : it.value())
                    linesOf[station] << it.key();
            QSet<int> placed;
            Statement s(*m_ref, QStringLiteral("SELECT DISTINCT STATION_ID FROM EKI_ID"));
            while (s.step())
                placed.insert(int(s.columnInt(0)));
            QStringList missing;
            for (auto it = source.stations.cbegin(); it != source.stations.cend(); ++it) {
                if (it->closed || placed.contains(it.key()) || !linesOf.contains(it.key()))
                    continue;
                const QList<int> lines = linesOf.value(it.key());
                if (!std::all_of(lines.begin(), lines.end(), [&](int l) { return closedLines.contains(l); }))
                    missing << it->name;
            }
            QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
        }
        // 山手線一周: 品川～田端 on 山手線, 田端～東京 on 東北本線, 東京～品川 on 東海道本線, every station on the way.
        auto runs = [&](const QString& route, const QString& names) {
            Statement s(*m_ref, QStringLiteral("SELECT e.EKI_KANJI FROM EKI e JOIN MASTER m USING (ROSEN_CD) WHERE "
                                               "m.ROSEN_KANJI = ?1 AND m.SHOZOKU = '東日本旅客鉄道' AND m.HAISHI_DATE "
                                               "IS NULL ORDER BY e.KILO"));
            s.bindText(1, route);
            QStringList all;
            while (s.step())
                all << s.columnText(0);
            const QString joined = QLatin1Char(' ') + all.join(QLatin1Char(' ')) + QLatin1Char(' ');
            QStringList want = names.split(QLatin1Char(' '));
            const QString forward = QLatin1Char(' ') + want.join(QLatin1Char(' ')) + QLatin1Char(' ');
            std::reverse(want.begin(), want.end());
            const QString backward = QLatin1Char(' ') + want.join(QLatin1Char(' ')) + QLatin1Char(' ');
            return joined.contains(forward) || joined.contains(backward);
        };
        QVERIFY(runs(QStringLiteral("山手線"), QStringLiteral("品川 大崎 五反田 目黒 恵比寿 渋谷")));
        QVERIFY(runs(QStringLiteral("山手線"), QStringLiteral("池袋 大塚 巣鴨 駒込 田端")));
        QVERIFY(
            runs(QStringLiteral("東北本線"), QStringLiteral("東京 神田 秋葉原 御徒町 上野 鶯谷 日暮里 西日暮里 田端")));
        QVERIFY(
            runs(QStringLiteral("東海道本線"), QStringLiteral("東京 有楽町 新橋 浜松町 田町 高輪ゲートウェイ 品川")));

        // The abolished lines leave every route in service as main/ made it.
        const net::ImportResult withAbolished = importFolder(*m_ref, root, true, QString());
        const QString after = m_ref->dump(inService);
        if (after != before) {
            const QStringList a = before.split(QLatin1Char('\n')), b = after.split(QLatin1Char('\n'));
            for (int i = 0; i < std::min(a.size(), b.size()); ++i)
                if (a[i] != b[i]) {
                    qInfo().noquote() << "first difference:" << a[i] << "->" << b[i];
                    break;
                }
        }
        QCOMPARE(after, before);
        QVERIFY(withAbolished.counts.routesNew > 0);
        const net::ImportResult again = importFolder(*m_ref, root, true, QString());
        QCOMPARE(again.counts.routesNew + again.counts.routesChanged + again.counts.stationsNew +
                     again.counts.stationsChanged,
                 0);
    }
};

QTEST_GUILESS_MAIN(TestNetImport)
#include "test_netimport.moc"
