#pragma once

#include <QList>
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

// The month the tallies' years begin with (CalcOption StartMonth): 1, or 4 for fiscal years; any other stored value
// counts as 4, none as 1.
int yearStartMonth();

// Change only this key, keeping every other line, comment and the file's encoding; replace the file atomically.
// A value equal to the one stored (as readString gives it) leaves its line byte for byte as it was.
// Throws tabi::Error naming the file and the reason when it cannot be written (the file then stays as it was),
// or when its encoding cannot be told (it is then left alone rather than made a file of mixed encodings).
void writeString(const QString& section, const QString& key, const QString& value);
void writeInteger(const QString& section, const QString& key, int value);

struct Entry {
    QString section;
    QString key;
    QString value;
    QString label; // the field the value comes from, named in messages; the key when empty
};
// Several keys in one replacement of the file: on failure none of them is written. A value with characters the
// file's encoding cannot hold (a CP932 file and "🚃") is refused with a message naming the field and the
// characters, rather than stored as "?" and so pointing elsewhere.
void writeStrings(const QList<Entry>& entries);

} // namespace tabi::settings
