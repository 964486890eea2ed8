#include "settingspath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tabi::settings {

QString portableFilePath(const QString& executablePath) {
    const QFileInfo exe(executablePath);
    return exe.dir().filePath(exe.completeBaseName() + QStringLiteral(".ini"));
}

QString userFilePath() {
    // An unset, empty or relative XDG_CONFIG_HOME is ignored, as the base directory rules ask.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/tabiroku/tabiroku.ini"));
}

QString locateFilePath(const QString& executablePath) {
    const QString beside = portableFilePath(executablePath);
    return QFileInfo(beside).isFile() ? beside : userFilePath();
}

QString defaultFilePath() {
    return locateFilePath(QCoreApplication::applicationFilePath());
}

} // namespace tabi::settings
