// tabiroku --import-network as a user runs it: refusals end with a message and code 1 and change nothing, and no
// copy of the data set can make it hang.
#include "data/database.h"
#include "data/pairswap.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace tabi;

namespace {

void copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileInfo().isDir())
            QDir().mkpath(to + path.mid(from.size()));
        else
            QFile::copy(path, to + path.mid(from.size()));
    }
}

} // namespace

class TestNetImportCli : public QObject {
    Q_OBJECT
private slots:
    void runs_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said"); // on standard error for a failure, standard output otherwise
        QTest::newRow("complete copy") << "" << QStringList{} << 0 << "取り込みました";
        QTest::newRow("preview") << "" << QStringList{"--preview"} << 0 << "取り込んでいません";
        QTest::newRow("no polyline/") << "no polyline" << QStringList{} << 1 << "--straight-lines";
        QTest::newRow("no polyline/, straight lines asked")
            << "no polyline" << QStringList{"--straight-lines"} << 0 << "直線で測ります";
        QTest::newRow("a FIFO as SOURCE_COMMIT") << "fifo commit" << QStringList{} << 0 << "取り込みました";
        QTest::newRow("a FIFO as station.csv")
            << "fifo station" << QStringList{} << 1 << "通常のファイルではありません";
        QTest::newRow("unknown option") << "" << QStringList{"--fast"} << 2 << "使い方";
        QTest::newRow("another import running") << "locked" << QStringList{} << 1 << "ほかの取り込み";
    }
    void runs() {
        QFETCH(QString, damage);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, said);
        QTemporaryDir home;
        const QString data = home.filePath(QStringLiteral("data"));
        const QString copy = home.filePath(QStringLiteral("copy"));
        copyTree(QStringLiteral(TABIROKU_TEST_DATA "/network/v1"), copy);
        if (damage == QLatin1String("no polyline"))
            QDir(copy + QStringLiteral("/main/polyline")).removeRecursively();
        if (damage == QLatin1String("fifo commit"))
            QCOMPARE(::mkfifo(QFile::encodeName(copy + QStringLiteral("/SOURCE_COMMIT")).constData(), 0644), 0);
        if (damage == QLatin1String("fifo station")) {
            QFile::remove(copy + QStringLiteral("/main/station.csv"));
            QCOMPARE(::mkfifo(QFile::encodeName(copy + QStringLiteral("/main/station.csv")).constData(), 0644), 0);
        }
        paths::setDataDir(data);
        Database::open(DbKind::Reference); // the supplied sample
        const QString before = Database::open(DbKind::Reference)->dump(QStringLiteral("SELECT * FROM MASTER"));
        std::unique_ptr<pairswap::ImportLock> other;
        if (damage == QLatin1String("locked"))
            other = std::make_unique<pairswap::ImportLock>(false);

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TABIROKU_EXECUTABLE), QStringList{QStringLiteral("--import-network"), copy} + options +
                                                         QStringList{QStringLiteral("--data-dir"), data});
        QElapsedTimer timer;
        timer.start();
        QVERIFY2(p.waitForFinished(60000), "hangs");
        const QString out = QString::fromUtf8(p.readAllStandardOutput()),
                      err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == code, qPrintable(out + err));
        QVERIFY2((code == 0 ? out : err).contains(said), qPrintable(out + err));
        const QString after = Database::open(DbKind::Reference)->dump(QStringLiteral("SELECT * FROM MASTER"));
        QCOMPARE(after == before, code != 0 || options.contains(QStringLiteral("--preview")));
        other.reset();
        paths::setDataDir({});
    }
};

QTEST_GUILESS_MAIN(TestNetImportCli)
#include "test_netimportcli.moc"
