// The command-line form of the Access import, run as the program itself without a display.
#include "data/database.h"
#include "data/pairswap.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tabi;

namespace {

const QString kFixtures = QStringLiteral(TABIROKU_MDB_FIXTURES);

qint64 rides(const QString& path) {
    auto db = Database::openFile(path, DbKind::Personal);
    return db->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toLongLong();
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    // The command line works without a display and refuses to replace rides without --replace.
    void commandLine() {
        if (!QFileInfo::exists(kFixtures + QStringLiteral("/Tabiroku.mdb")))
            QSKIP("The Access fixtures (../shared/data/mdb beside the source tree) are not here.");
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        auto run = [&](const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(TABIROKU_EXECUTABLE), QStringList{QStringLiteral("--import-access")} + args);
            if (!p.waitForFinished(60000))
                return -100;
            if (out)
                *out = QString::fromUtf8(p.readAllStandardOutput());
            if (err)
                *err = QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -200;
        };
        const QString ref = kFixtures + QStringLiteral("/Tabiroku.mdb"), per = kFixtures + QStringLiteral("/JJ.mdb");
        QString out, err;
        QCOMPARE(run({ref, per}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("JOSHA 150 行")) && out.contains(QStringLiteral("取り込みました")),
                 qPrintable(out + err));
        const QString record = home.filePath(QStringLiteral("data/tabiroku/JJ.db"));
        QCOMPARE(rides(record), 150);
        QCOMPARE(run({ref, per}, &out, &err), 1);
        QVERIFY2(err.contains(QStringLiteral("--replace")), qPrintable(err));
        QCOMPARE(run({ref, per, QStringLiteral("--replace")}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("before-import")), qPrintable(out));
        QCOMPARE(run({ref}, &out, &err), 2);

        // Two imports at once: the second is refused while the first holds the data folder.
        paths::setDataDir(home.filePath(QStringLiteral("data/tabiroku")));
        {
            const pairswap::ImportLock first(false);
            QCOMPARE(run({ref, per, QStringLiteral("--replace")}, &out, &err), 1);
            QVERIFY2(err.contains(QStringLiteral("ほかの取り込み")), qPrintable(err));
        }
        paths::setDataDir({});
        QCOMPARE(rides(record), 150);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
