#pragma once

#include <QString>

// The INI settings file: opened afresh for every read and write, never cached.
namespace tabi::settings {

// The file every read and write uses: the default location of settingspath.h unless setFilePath chose another.
QString filePath();
// Points every later read and write at another file (tests); an empty path restores the default.
void setFilePath(const QString& path);

// Section and key names match without regard to letter case. A missing file or key gives the default.
QString readString(const QString& section, const QString& key, const QString& defaultValue);
// A value that is not a whole number gives the default.
int readInteger(const QString& section, const QString& key, int defaultValue);

// Change only this key, keeping every other line, comment and the file's encoding; replace the file atomically.
// Throws tabi::Error with the system's message when the file cannot be written.
void writeString(const QString& section, const QString& key, const QString& value);
void writeInteger(const QString& section, const QString& key, int value);

} // namespace tabi::settings
