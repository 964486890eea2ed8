// Damaged copies of the station data set, made at run time from the small fixture: what would silently lower the
// import's quality is refused naming file and line (or the bound), what can be read safely is read.
#include "netimport/netimport.h"

#include "data/database.h"
#include "data/error.h"
#include "support/tempdatabases.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace tabi;

namespace {

QString fixture(const QString& name) {
    return QStringLiteral(TABIROKU_TEST_DATA "/network/") + name;
}

void copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(path, target);
    }
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// Rewrites one data line (1-based, the header is line 1) of a CSV file through edit.
void editLine(const QString& path, int line, const std::function<QByteArray(QByteArray)>& edit) {
    QList<QByteArray> lines = readFile(path).split('\n');
    lines[line - 1] = edit(lines[line - 1]);
    writeFile(path, lines.join('\n'));
}

QByteArray setField(const QByteArray& line, int field, const QByteArray& value) {
    QList<QByteArray> f = line.split(',');
    f[field] = value;
    return f.join(',');
}

// The damages, each applied to a fresh copy of the fixture v1 (folder layout: main/, src/).
void damage(const QString& root, const QString& how) {
    const QString main = root + QStringLiteral("/main");
    if (how == QLatin1String("no polyline") || how == QLatin1String("no polyline, straight lines asked")) {
        QDir(main + QStringLiteral("/polyline")).removeRecursively();
    } else if (how == QLatin1String("polyline is a file")) {
        QDir(main + QStringLiteral("/polyline")).removeRecursively();
        writeFile(main + QStringLiteral("/polyline"), "x");
    } else if (how == QLatin1String("polyline is a link loop")) {
        QDir(main + QStringLiteral("/polyline")).removeRecursively();
        QFile::link(main + QStringLiteral("/polyline"), main + QStringLiteral("/polyline"));
    } else if (how == QLatin1String("one line without its polyline")) {
        QFile::remove(main + QStringLiteral("/polyline/11409.json"));
    } else if (how == QLatin1String("CRLF")) {
        for (const QString& f : {main + QStringLiteral("/line.csv"), main + QStringLiteral("/station.csv"),
                                 main + QStringLiteral("/register.csv"), root + QStringLiteral("/src/company.csv")})
            writeFile(f, readFile(f).replace("\n", "\r\n"));
    } else if (how == QLatin1String("FIFO as SOURCE_COMMIT")) {
        ::mkfifo(QFile::encodeName(root + QStringLiteral("/SOURCE_COMMIT")).constData(), 0644);
    } else if (how == QLatin1String("link to /dev/zero as LICENSE.md")) {
        QFile::link(QStringLiteral("/dev/zero"), root + QStringLiteral("/LICENSE.md"));
    } else if (how == QLatin1String("FIFO as station.csv")) {
        QFile::remove(main + QStringLiteral("/station.csv"));
        ::mkfifo(QFile::encodeName(main + QStringLiteral("/station.csv")).constData(), 0644);
    } else if (how == QLatin1String("link to /dev/zero as a polyline")) {
        QFile::remove(main + QStringLiteral("/polyline/11409.json"));
        QFile::link(QStringLiteral("/dev/zero"), main + QStringLiteral("/polyline/11409.json"));
    } else if (how == QLatin1String("duplicate station code")) {
        // Line 5 takes the code of line 2 (東京 moved elsewhere under another's code).
        const QByteArray code = readFile(main + QStringLiteral("/station.csv")).split('\n')[1].split(',')[0];
        editLine(main + QStringLiteral("/station.csv"), 5, [&](QByteArray l) { return setField(l, 0, code); });
    } else if (how == QLatin1String("duplicate line code")) {
        const QByteArray code = readFile(main + QStringLiteral("/line.csv")).split('\n')[1].split(',')[0];
        editLine(main + QStringLiteral("/line.csv"), 3, [&](QByteArray l) { return setField(l, 0, code); });
    } else if (how == QLatin1String("NUL in a station name")) {
        editLine(main + QStringLiteral("/station.csv"), 4,
                 [](QByteArray l) { return setField(l, 2, QByteArray("北\0松本", 7)); });
    } else if (how == QLatin1String("escape character in a line name")) {
        editLine(main + QStringLiteral("/line.csv"), 2, [](QByteArray l) { return setField(l, 2, "JR大\x1b線"); });
    } else if (how == QLatin1String("station name too long")) {
        editLine(main + QStringLiteral("/station.csv"), 3, [](QByteArray l) {
            const QByteArray name = QString(QStringLiteral("北")).repeated(60).toUtf8();
            return setField(setField(l, 2, name), 3, name);
        });
    } else if (how == QLatin1String("no usable rows")) {
        writeFile(main + QStringLiteral("/station.csv"),
                  readFile(main + QStringLiteral("/station.csv")).split('\n')[0]);
    } else if (how == QLatin1String("too many points")) {
        QByteArray json = "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":"
                          "{\"type\":\"LineString\",\"coordinates\":[";
        for (int i = 0; i <= net::bounds::kPointsPerLine; ++i)
            json += (i ? "," : "") + QByteArray("[138.0,36.0]");
        json += "]}}]}";
        writeFile(main + QStringLiteral("/polyline/11409.json"), json);
    } else if (how == QLatin1String("too many lines")) {
        QByteArray csv = readFile(main + QStringLiteral("/line.csv")).trimmed();
        for (int i = 0; i < net::bounds::kLines; ++i)
            csv += "\n" + QByteArray::number(90000 + i) + ",1,線" + QByteArray::number(i) +
                   ",NULL,NULL,2,2,NULL,NULL,0,NULL";
        writeFile(main + QStringLiteral("/line.csv"), csv);
    } else if (how == QLatin1String("too many stations on a line")) {
        QByteArray stations = readFile(main + QStringLiteral("/station.csv")).trimmed();
        QByteArray reg = readFile(main + QStringLiteral("/register.csv")).trimmed();
        for (int i = 0; i <= net::bounds::kStationsPerLine; ++i) {
            const QByteArray code = QByteArray::number(8000000 + i);
            stations +=
                "\n" + code + ",1,駅" + QByteArray::number(i) + ",駅,えき,36.0,138.0,13,NULL,NULL,0,NULL,NULL,NULL";
            reg += "\n" + code + ",11409," + QByteArray::number(100 + i) + ",NULL";
        }
        writeFile(main + QStringLiteral("/station.csv"), stations);
        writeFile(main + QStringLiteral("/register.csv"), reg);
    } else if (how == QLatin1String("file too large")) {
        QFile f(main + QStringLiteral("/register.csv"));
        if (f.open(QIODevice::ReadWrite))
            f.resize(net::bounds::kCsvBytes + 1); // sparse: costs no disk
    }
}

QString everything(Database& db) {
    return db.dump(QStringLiteral("SELECT * FROM MASTER ORDER BY ROSEN_CD")) +
           db.dump(QStringLiteral("SELECT * FROM EKI ORDER BY ROSEN_CD, KILO")) +
           db.dump(QStringLiteral("SELECT * FROM ROSEN_SEN ORDER BY ROSEN_CD, SEQ"));
}

} // namespace

class TestNetSource : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(); }
    void cleanup() { closeDatabases(); }

    void damagedCopies_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("imports");
        QTest::addColumn<QString>("message"); // in the refusal, or in the report of an import
        QTest::newRow("no polyline") << "no polyline" << false << "線路の形のフォルダ";
        QTest::newRow("polyline is a file") << "polyline is a file" << false << "フォルダではありません";
        QTest::newRow("polyline is a link loop") << "polyline is a link loop" << false << "--straight-lines";
        QTest::newRow("no polyline, straight lines asked")
            << "no polyline, straight lines asked" << true << "駅の間を直線で測りました";
        QTest::newRow("one line without its polyline")
            << "one line without its polyline" << true << "（JR大糸線）: 線路の形（polyline）がないので";
        QTest::newRow("CRLF") << "CRLF" << true << "";
        QTest::newRow("FIFO as SOURCE_COMMIT") << "FIFO as SOURCE_COMMIT" << true << "";
        QTest::newRow("link to /dev/zero as LICENSE.md") << "link to /dev/zero as LICENSE.md" << true << "";
        QTest::newRow("FIFO as station.csv")
            << "FIFO as station.csv" << false << "station.csv: 通常のファイルではありません";
        QTest::newRow("link to /dev/zero as a polyline")
            << "link to /dev/zero as a polyline" << false << "11409.json: 通常のファイルではありません";
        QTest::newRow("duplicate station code")
            << "duplicate station code" << false << "station.csv の 5 行目: 駅コード";
        QTest::newRow("duplicate line code")
            << "duplicate line code" << false << "line.csv の 3 行目: 路線コード 11409 は 2 行目にもあります";
        QTest::newRow("NUL in a station name")
            << "NUL in a station name" << false << "station.csv の 4 行目: 制御文字など、使えない文字（U+0000）";
        QTest::newRow("escape character in a line name")
            << "escape character in a line name" << false << "line.csv の 2 行目: 制御文字など、使えない文字（U+001B）";
        QTest::newRow("station name too long")
            << "station name too long" << true << "station.csv の 3 行目: 名前「北北北";
        QTest::newRow("no usable rows") << "no usable rows" << false << "station.csv: データの行がありません";
        QTest::newRow("too many points") << "too many points" << false << "点が多すぎます（上限 100000 点）";
        QTest::newRow("too many stations on a line")
            << "too many stations on a line" << false << "路線コード 11409 の駅が多すぎます（上限 2000 駅）";
        QTest::newRow("too many lines") << "too many lines" << false << "行が多すぎます（上限 5000 行）";
        QTest::newRow("file too large") << "file too large" << false << "上限 16777216 バイト";
    }
    void damagedCopies() {
        QFETCH(QString, how);
        QFETCH(bool, imports);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("copy"));
        copyTree(fixture(QStringLiteral("v1")), root);
        damage(root, how);
        const QString before = everything(*m_ref);
        QElapsedTimer timer;
        timer.start();
        try {
            const net::SourceLayout layout =
                net::resolveSource(root, false, how.contains(QLatin1String("straight lines asked")));
            const net::ImportResult r = net::importNetwork(*m_ref, layout);
            QVERIFY2(imports, "imported");
            QVERIFY2(r.report.join(QLatin1Char('\n')).contains(message), qPrintable(r.report.join(QLatin1Char('\n'))));
        } catch (const Error& e) {
            QVERIFY2(!imports, qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            QCOMPARE(everything(*m_ref), before);
        }
        QVERIFY(timer.elapsed() < 60000);
    }

    // A copy with CRLF line ends imports exactly like the original; a too-long name is cut to the field's width.
    void crlfImportsLikeTheOriginal() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("copy"));
        copyTree(fixture(QStringLiteral("v1")), root);
        net::importNetwork(*m_ref, net::resolveSource(fixture(QStringLiteral("v1")), false));
        const QString original = everything(*m_ref);
        closeDatabases();
        openDatabases();
        damage(root, QStringLiteral("CRLF"));
        net::importNetwork(*m_ref, net::resolveSource(root, false));
        QCOMPARE(everything(*m_ref), original);
    }

    void longNamesAreCutToTheWidth() {
        const net::ImportResult r =
            net::importNetwork(*m_ref, net::resolveSource(fixture(QStringLiteral("toolong")), false));
        QVERIFY2(r.report.join(QLatin1Char('\n')).contains(QStringLiteral("は 50 文字を超えるので")),
                 qPrintable(r.report.join(QLatin1Char('\n'))));
        const QString name =
            m_ref->scalar(QStringLiteral("SELECT ROSEN_KANJI FROM MASTER WHERE ROSEN_KANJI LIKE '%長長長%'"))
                .toString();
        QVERIFY2(!name.isEmpty() && name.size() <= 50, qPrintable(name));
    }

    // Every phase of the reading says how far it has come.
    void progressInEveryPhase() {
        net::SourceLayout layout = net::resolveSource(fixture(QStringLiteral("v1")), false);
        QStringList phases;
        layout.progress = [&](const QString& what, qint64 done, qint64 total) {
            QVERIFY(done <= total);
            if (!phases.contains(what))
                phases << what;
        };
        net::importNetwork(*m_ref, layout);
        QCOMPARE(phases,
                 QStringList({QStringLiteral("事業者の一覧を読んでいます"), QStringLiteral("路線の一覧を読んでいます"),
                              QStringLiteral("駅の一覧を読んでいます"), QStringLiteral("駅の並びを読んでいます"),
                              QStringLiteral("線路の形を読んでいます")}));
    }
};

QTEST_GUILESS_MAIN(TestNetSource)
#include "test_netsource.moc"
