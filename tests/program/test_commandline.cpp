// The answers the program gives on its command line without opening a window (and without a display).
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answers_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // a text the standard output holds
        QTest::addColumn<QString>("err"); // a text the error output holds
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--import-network"
                              << "";
        QTest::newRow("short help") << QStringList{"-h"} << 0 << "--export-map"
                                    << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "タビロク 11.0"
                                 << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << ""
                                        << "--bogus";
        QTest::newRow("unknown after a toolkit option") << QStringList{"-style", "fusion", "-x"} << 2 << ""
                                                        << "-x";
        QTest::newRow("a command's option first") << QStringList{"--replace"} << 2 << ""
                                                  << "--replace";
    }
    void answers() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TABIROKU_EXECUTABLE), args);
        QVERIFY(p.waitForFinished(30000));
        const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), code);
        QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
        if (args.first() == QLatin1String("--help")) // every command-line form is listed
            for (const char* form : {"--import-access", "--import-network", "--export-map", "--export-prefectures"})
                QVERIFY2(stdOut.contains(QLatin1String(form)), form);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
