#include "data/textcodec.h"
#include "netmap/exportmap.h"
#include "support/files.h"
#include "support/tempdatabases.h"

#include <QFile>
#include <QImage>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tabi;
using tabi::test::readAll;
using namespace tabi::netmap;

// The network and rides as stored, and the two files made from them.
class TestExport : public QObject, public test::TempDatabases {
    Q_OBJECT

    void storeNetwork(bool withPositions) {
        m_ref->exec(QStringLiteral(
            "DELETE FROM MASTER; DELETE FROM EKI;"
            "INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, KILO) VALUES ('101001', '境線', '11', 30);"
            "INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, KILO, HAISHI_DATE) "
            "  VALUES ('101002', '旧線', '11', 5, '1987-03-31 00:00:00');"
            "INSERT INTO EKI (ROSEN_CD, KILO, EKI_KANJI) VALUES ('101001', 0, '品川'), ('101001', 10, '大井'),"
            "  ('101001', 20, '川崎'), ('101001', 30, '横浜'), ('101002', 0, '甲'), ('101002', 5, '乙');"
            "INSERT INTO ROSEN_SEN (ROSEN_CD, SEQ, KILO, LATITUDE, LONGITUDE) VALUES"
            "  ('101001', 2, 15, 35.56, 139.71), ('101001', 1, 0, 35.62, 139.74), ('101001', 3, 30, 35.47, 139.62);"));
        if (withPositions)
            m_ref->exec(QStringLiteral(
                "INSERT INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD) VALUES"
                "  ('101001', 0, 35.62, 139.74, 13), ('101001', 10, 35.60, 139.73, 13),"
                "  ('101001', 20, 35.53, 139.70, 14), ('101001', 30, 35.47, 139.62, 14),"
                // A position far outside Japan (a damaged source) counts as none; so does a prefecture number 99.
                "  ('101002', 0, 0, 0, 99), ('101002', 5, 35.70, 139.80, 13);"));
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES"
                                   "  ('101001', '2019-04-01 00:00:00', '品川～川崎', 20),"
                                   "  ('101001', '2020-04-01 00:00:00', '大井～川崎', -10),"
                                   "  ('101002', '2018-04-01 00:00:00', '甲～乙(全区間)', 5),"
                                   "  ('999001', '2019-05-01 00:00:00', 'A～B', 1);"));
    }

private Q_SLOTS:
    void init() { openDatabases(true); }
    void cleanup() { closeDatabases(); }

    void loadsWhatIsStored() {
        storeNetwork(true);
        const MapData d = loadMapData(*m_ref, *m_per);
        QCOMPARE(d.network.routes.size(), 2);
        const Route* line = d.network.route(QStringLiteral("101001"));
        QVERIFY(line);
        QCOMPARE(line->stations.size(), 4);
        QCOMPARE(line->stations[2].ken, 14);
        QCOMPARE(line->track.size(), 3); // the stored track, in its SEQ order
        QCOMPARE(line->track[1].kilo, 15.0);
        const Route* old = d.network.route(QStringLiteral("101002"));
        QVERIFY(old->abolished);
        QVERIFY(!old->stations[0].positioned);
        QCOMPARE(old->stations[0].ken, 0);
        QVERIFY(!old->drawable()); // one positioned station and no track: nothing to draw
        QCOMPARE(d.network.positionedStations, 5);
        QCOMPARE(d.rides.size(), 4);
        QCOMPARE(d.rides.first().day, QStringLiteral("2018-04-01")); // by day
        const Coverage c = computeCoverage(d.network, d.rides, {});
        QCOMPARE(c.noPosition, 1);
        QCOMPARE(c.unknownRoute, 1);
    }

    // One line per prefecture in JIS order, as the check lists write: CP932, quoted name, bare numbers, CR LF.
    void prefectureCsvBytes() {
        storeNetwork(true);
        const QString out = m_env->file(QStringLiteral("ken.csv"));
        QCOMPARE(exportPrefectures({QStringLiteral("tabiroku"), QStringLiteral("--export-prefectures"), out}), 0);
        const QByteArray bytes = readAll(out);
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 48); // 47 lines and the empty rest after the last line end
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines[0], text::toCp932(QStringLiteral("\"北海道\",0,0,100\r")));
        // 東京都: 0-15 of the line (ridden 0-10, 大井～川崎 taken off), and the abolished 甲-乙 ridden, not counted.
        QCOMPARE(lines[12], text::toCp932(QStringLiteral("\"東京都\",15,15,100\r")));
        QCOMPARE(lines[13], text::toCp932(QStringLiteral("\"神奈川県\",15,0,0\r")));
        QCOMPARE(lines[46], text::toCp932(QStringLiteral("\"沖縄県\",0,0,100\r")));

        // The period 2019 only: 品川～川崎 is still whole.
        QCOMPARE(exportPrefectures({QStringLiteral("tabiroku"), QStringLiteral("--export-prefectures"), out,
                                    QStringLiteral("--from"), QStringLiteral("2019-01-01"), QStringLiteral("--to"),
                                    QStringLiteral("2019-12-31")}),
                 0);
        const QList<QByteArray> y2019 = readAll(out).split('\n');
        QCOMPARE(y2019[12], text::toCp932(QStringLiteral("\"東京都\",15,15,100\r")));
        QCOMPARE(y2019[13], text::toCp932(QStringLiteral("\"神奈川県\",15,5,33.3333333333333\r")));
    }

    void mapFiles() {
        storeNetwork(true);
        const QString png = m_env->file(QStringLiteral("map.png"));
        const QString svg = m_env->file(QStringLiteral("map.SVG"));
        QCOMPARE(exportMap({QStringLiteral("tabiroku"), QStringLiteral("--export-map"), png}), 0);
        QCOMPARE(QImage(png).size(), QSize(2000, 2000));
        QCOMPARE(exportMap({QStringLiteral("tabiroku"), QStringLiteral("--export-map"), svg}), 0);
        QVERIFY(readAll(svg).contains("<svg"));
    }

    // Only regular files are written (a device or a pipe given as the name stays what it was), and a figure that is
    // no finite number never reaches the CSV: each ends with a message and code 1.
    void neitherDevicesNorInfinities_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("map onto a pipe") << "--export-map"
                                         << "fifo"
                                         << "通常のファイルではありません";
        QTest::newRow("map onto a link to a pipe") << "--export-map"
                                                   << "link to fifo"
                                                   << "通常のファイルではありません";
        QTest::newRow("prefectures onto a pipe") << "--export-prefectures"
                                                 << "fifo"
                                                 << "通常のファイルではありません";
        QTest::newRow("posts of ±1e308") << "--export-prefectures"
                                         << "huge posts"
                                         << "数値でない値";
    }
    void neitherDevicesNorInfinities() {
        QFETCH(QString, option);
        QFETCH(QString, damage);
        QFETCH(QString, message);
        storeNetwork(true);
        const QString out = m_env->file(option == QLatin1String("--export-map") ? QStringLiteral("out.png")
                                                                                : QStringLiteral("out.csv"));
        const QString pipe = m_env->file(QStringLiteral("pipe"));
        if (damage == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(out).constData(), 0644), 0);
        if (damage == QLatin1String("link to fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
            QVERIFY(QFile::link(pipe, out));
        }
        if (damage == QLatin1String("huge posts")) {
            for (const char* table : {"EKI", "EKI_ICHI"})
                m_ref->exec(QStringLiteral("UPDATE %1 SET KILO = CASE KILO WHEN 0 THEN -1e308 ELSE 1e308 END "
                                           "WHERE ROSEN_CD = '101001' AND KILO IN (0, 30)")
                                .arg(QLatin1String(table)));
            // Both ends in one prefecture: its length overflows.
            m_ref->exec(QStringLiteral("UPDATE EKI_ICHI SET KEN_CD = 13 WHERE ROSEN_CD = '101001'"));
        }
        const QStringList args{QStringLiteral("tabiroku"), option, out};
        // What the command says on standard error, caught in a file.
        const QString said = m_env->file(QStringLiteral("said.txt"));
        std::fflush(stderr);
        const int saved = ::dup(2);
        const int to = ::open(QFile::encodeName(said).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(to, 2);
        ::close(to);
        const int got = option == QLatin1String("--export-map") ? exportMap(args) : exportPrefectures(args);
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        QCOMPARE(got, 1);
        QVERIFY2(QString::fromLocal8Bit(readAll(said)).contains(message), readAll(said).constData());
        QFileInfo info(out);
        if (damage == QLatin1String("huge posts"))
            QVERIFY(!info.exists());
        else
            QVERIFY(!info.isFile()); // still the pipe, or the link to it
    }

    // Failures end with a message and a non-zero code, and leave no file behind.
    void failures_data() {
        QTest::addColumn<bool>("positions");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::newRow("no positions: map") << false << QStringList{"--export-map", "out.png"} << 1;
        QTest::newRow("no positions: prefectures") << false << QStringList{"--export-prefectures", "out.csv"} << 1;
        QTest::newRow("not a day") << true << QStringList{"--export-map", "out.png", "--from", "2019-02-30"} << 2;
        QTest::newRow("day missing") << true << QStringList{"--export-prefectures", "out.csv", "--to"} << 2;
        QTest::newRow("period backwards")
            << true << QStringList{"--export-map", "out.png", "--from", "2020-01-01", "--to", "2019-01-01"} << 2;
        QTest::newRow("unknown picture type") << true << QStringList{"--export-map", "out.jpg"} << 2;
        QTest::newRow("no file named") << true << QStringList{"--export-prefectures"} << 2;
        QTest::newRow("unknown option") << true << QStringList{"--export-map", "out.png", "--size", "9"} << 2;
    }

    void failures() {
        QFETCH(bool, positions);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        storeNetwork(positions);
        if (options.size() > 1)
            options[1] = m_env->file(options[1]);
        const QStringList args = QStringList{QStringLiteral("tabiroku")} + options;
        const int got = options[0] == QLatin1String("--export-map") ? exportMap(args) : exportPrefectures(args);
        QCOMPARE(got, code);
        if (options.size() > 1)
            QVERIFY(!QFile::exists(options[1]));
    }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
