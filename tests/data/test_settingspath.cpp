#include "data/error.h"
#include "data/settingsfile.h"
#include "data/settingspath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace tabi;

namespace {

void touch(const QString& path, const QByteArray& bytes = QByteArray()) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Sets an environment variable for the lifetime of the object and puts back what was there before.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QString>& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name))
            m_old = qEnvironmentVariable(name);
        set(value);
    }
    ~ScopedEnv() { set(m_old); }

private:
    void set(const std::optional<QString>& value) {
        if (value)
            qputenv(m_name, value->toLocal8Bit());
        else
            qunsetenv(m_name);
    }
    const char* m_name;
    std::optional<QString> m_old;
};

} // namespace

class TestSettingsPath : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void locate_data();
    void locate();
    void firstWriteMakesTheUserFolder();
    void unmakeableUserFolderFailsTheWrite();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScopedEnv> m_home;
};

void TestSettingsPath::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("home")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bin")));
    m_home = std::make_unique<ScopedEnv>("HOME", m_dir->filePath(QStringLiteral("home")));
    settings::setFilePath(QString());
}

void TestSettingsPath::cleanup() {
    QFile::setPermissions(m_dir->filePath(QStringLiteral("bin")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_home.reset();
    m_dir.reset();
}

// clang-format off
void TestSettingsPath::locate_data() {
    QTest::addColumn<QString>("beside");         // what lies beside the executable: "", "ini" or "folder"
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("xdgConfigHome");  // "(unset)", or a value; "@" stands for the temporary folder
    QTest::addColumn<QString>("expected");       // "@" again

    QTest::newRow("ini beside the executable is used") << "ini" << false << "@/xdg" << "@/bin/tabiroku.ini";
    QTest::newRow("ini beside, read-only folder") << "ini" << true << "(unset)" << "@/bin/tabiroku.ini";
    QTest::newRow("none beside: XDG_CONFIG_HOME") << "" << false << "@/xdg" << "@/xdg/tabiroku/tabiroku.ini";
    QTest::newRow("none beside: XDG_CONFIG_HOME unset") << "" << false << "(unset)"
                                                        << "@/home/.config/tabiroku/tabiroku.ini";
    QTest::newRow("XDG_CONFIG_HOME empty") << "" << false << "" << "@/home/.config/tabiroku/tabiroku.ini";
    QTest::newRow("XDG_CONFIG_HOME relative") << "" << false << "xdg" << "@/home/.config/tabiroku/tabiroku.ini";
    QTest::newRow("a folder named tabiroku.ini beside") << "folder" << false << "@/xdg"
                                                        << "@/xdg/tabiroku/tabiroku.ini";
    QTest::newRow("read-only executable folder, no ini") << "" << true << "@/xdg" << "@/xdg/tabiroku/tabiroku.ini";
}
// clang-format on

void TestSettingsPath::locate() {
    QFETCH(QString, beside);
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, expected);
    const QString root = m_dir->path();
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    const QString exe = bin + QStringLiteral("/tabiroku");
    touch(exe);
    if (beside == QLatin1String("ini"))
        touch(bin + QStringLiteral("/tabiroku.ini"));
    else if (beside == QLatin1String("folder"))
        QVERIFY(QDir(bin).mkdir(QStringLiteral("tabiroku.ini")));
    if (readOnlyFolder)
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));

    std::optional<QString> xdg;
    if (xdgConfigHome != QLatin1String("(unset)"))
        xdg = QString(xdgConfigHome).replace(u'@', root);
    ScopedEnv env("XDG_CONFIG_HOME", xdg);

    QCOMPARE(settings::locateFilePath(exe), expected.replace(u'@', root));
    // Locating writes nothing: the user's folder comes with the first write.
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("xdg"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("home/.config"))));
}

// The running test program has no ini beside it, so reads and writes go to the user's folder, which the first
// write makes; a file chosen with setFilePath takes precedence over both places.
void TestSettingsPath::firstWriteMakesTheUserFolder() {
    const QString beside = settings::portableFilePath(QCoreApplication::applicationFilePath());
    if (QFileInfo::exists(beside))
        QSKIP("an ini was left beside the test program");
    ScopedEnv env("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("xdg/config")));
    const QString user = m_dir->filePath(QStringLiteral("xdg/config/tabiroku/tabiroku.ini"));

    QCOMPARE(settings::filePath(), user);
    QCOMPARE(settings::readString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QStringLiteral("Failure")),
             QStringLiteral("Failure"));
    QVERIFY(!QFileInfo::exists(user));

    settings::writeInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), 4);
    QVERIFY2(readAll(user).contains("StartMonth=4"), readAll(user).constData());
    QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), 4);
    QVERIFY(!QFileInfo::exists(beside));

    const QString chosen = m_dir->filePath(QStringLiteral("chosen.ini"));
    settings::setFilePath(chosen);
    QCOMPARE(settings::filePath(), chosen);
    QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), -1);
    settings::setFilePath(QString());
    QCOMPARE(settings::filePath(), user);
}

void TestSettingsPath::unmakeableUserFolderFailsTheWrite() {
    if (QFileInfo::exists(settings::portableFilePath(QCoreApplication::applicationFilePath())))
        QSKIP("an ini was left beside the test program");
    const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
    touch(blocker, "x");
    ScopedEnv env("XDG_CONFIG_HOME", blocker);
    const QString user = blocker + QStringLiteral("/tabiroku/tabiroku.ini");
    try {
        settings::writeString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QStringLiteral("山田"));
        QFAIL("the write should have failed");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(user)), qPrintable(e.message()));
    }
    QCOMPARE(readAll(blocker), QByteArray("x"));
}

QTEST_GUILESS_MAIN(TestSettingsPath)
#include "test_settingspath.moc"
