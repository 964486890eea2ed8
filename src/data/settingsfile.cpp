#include "data/settingsfile.h"

#include "data/atomicfile.h"
#include "data/error.h"
#include "data/settingspath.h"
#include "data/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>

// The file is kept as its raw lines. A write re-encodes only the line it changes or adds, so every other
// byte (comments, blank lines, spacing, characters that would not survive a decode/encode round trip, the
// byte-order mark and the line endings) is written back exactly as it was read.

namespace tabi::settings {

namespace {

QString g_pathOverride;

using text::Encoding;

struct RawLine {
    QByteArray content; // without the line ending
    QByteArray eol;     // "\r\n", "\n" (in the file's encoding), or empty on a last line without one
};

struct IniFile {
    Encoding encoding = Encoding::Utf8;
    bool known = true; // false: the encoding cannot be told; nothing is read and nothing written
    QByteArray bom;
    QString newline = QStringLiteral("\n");
    QList<RawLine> lines;

    int unitSize() const { return encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE ? 2 : 1; }

    QString decode(const QByteArray& bytes) const { return text::decodeAs(bytes, encoding); }
    QByteArray encode(const QString& s) const { return text::encode(s, encoding, false); }
};

IniFile parseBytes(const QByteArray& bytes) {
    IniFile file;
    // Files written on Windows are in the ANSI code page (CP932), files written here in UTF-8, with or without a
    // byte-order mark; an ASCII-only file takes new text in UTF-8.
    const text::Detection detected = text::detectEncoding(bytes, Encoding::Utf8);
    file.encoding = detected.encoding;
    file.known = detected.known;
    file.bom = bytes.left(detected.bomSize);
    if (!file.known)
        return file;

    // Split on LF code units. In CP932 and UTF-8 neither CR nor LF can occur inside a multi-byte character.
    const int unit = file.unitSize();
    const bool bigEndian = file.encoding == Encoding::Utf16BE;
    auto unitAt = [&](qsizetype i) -> char16_t {
        if (unit == 1)
            return char16_t(static_cast<unsigned char>(bytes.at(i)));
        const auto b0 = static_cast<unsigned char>(bytes.at(i)), b1 = static_cast<unsigned char>(bytes.at(i + 1));
        return bigEndian ? char16_t(b0 << 8 | b1) : char16_t(b1 << 8 | b0);
    };
    bool newlineKnown = false;
    qsizetype lineStart = file.bom.size();
    for (qsizetype i = lineStart; i + unit <= bytes.size(); i += unit) {
        if (unitAt(i) != u'\n')
            continue;
        qsizetype contentEnd = i;
        if (contentEnd - unit >= lineStart && unitAt(contentEnd - unit) == u'\r')
            contentEnd -= unit;
        const qsizetype next = i + unit;
        file.lines.append({bytes.mid(lineStart, contentEnd - lineStart), bytes.mid(contentEnd, next - contentEnd)});
        if (!newlineKnown) {
            file.newline = contentEnd < i ? QStringLiteral("\r\n") : QStringLiteral("\n");
            newlineKnown = true;
        }
        lineStart = next;
    }
    if (lineStart < bytes.size())
        file.lines.append({bytes.mid(lineStart), QByteArray()});
    return file;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;  // section or key name
    QString value; // value of a key, without surrounding blanks
    qsizetype valueStart = 0;
};

// The usual INI layout: "[Section]", "key=value"; ";" and "#" start comments; blanks around names and values
// do not count. Anything else is kept but means nothing.
ParsedLine parseLine(const QString& line) {
    ParsedLine result;
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#'))
        return result;
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            result.kind = LineKind::Section;
            result.name = trimmed.mid(1, close - 1).trimmed();
        }
        return result;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return result;
    result.name = line.left(eq).trimmed();
    if (result.name.isEmpty())
        return result;
    result.kind = LineKind::Key;
    qsizetype start = eq + 1;
    while (start < line.size() && (line.at(start) == u' ' || line.at(start) == u'\t'))
        ++start;
    result.valueStart = start;
    result.value = line.mid(start).trimmed();
    return result;
}

struct Location {
    qsizetype sectionLine = -1; // header of the first section with the name
    qsizetype lastKeyLine = -1; // last key line of that section
    qsizetype keyLine = -1;     // first line of the key in any section with the name
    ParsedLine key;
};

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

Location locate(const IniFile& file, const QString& section, const QString& key) {
    Location loc;
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const ParsedLine parsed = parseLine(file.decode(file.lines.at(i).content));
        if (parsed.kind == LineKind::Section) {
            inSection = sameName(parsed.name, section);
            inFirstSection = inSection && loc.sectionLine < 0;
            if (inFirstSection)
                loc.sectionLine = i;
        } else if (parsed.kind == LineKind::Key && inSection) {
            if (inFirstSection)
                loc.lastKeyLine = i;
            if (loc.keyLine < 0 && sameName(parsed.name, key)) {
                loc.keyLine = i;
                loc.key = parsed;
            }
        }
    }
    return loc;
}

// Reads never fail: a file that is missing or cannot be read has no keys.
bool readValue(const QString& section, const QString& key, QString* value) {
    QFile f(filePath());
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const IniFile file = parseBytes(f.readAll());
    if (!file.known)
        return false;
    const Location loc = locate(file, section, key);
    if (loc.keyLine < 0)
        return false;
    *value = loc.key.value;
    return true;
}

[[noreturn]] void throwWriteError(const QString& path, const QString& reason) {
    throw Error(QStringLiteral("設定ファイル %1 に書き込めません。\n%2").arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

QString filePath() {
    if (!g_pathOverride.isEmpty())
        return g_pathOverride;
    return defaultFilePath();
}

void setFilePath(const QString& path) {
    g_pathOverride = path;
}

QString readString(const QString& section, const QString& key, const QString& defaultValue) {
    QString value;
    return readValue(section, key, &value) ? value : defaultValue;
}

int yearStartMonth() {
    const int stored = readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1);
    return stored == -1 || stored == 1 ? 1 : 4;
}

int readInteger(const QString& section, const QString& key, int defaultValue) {
    QString value;
    if (!readValue(section, key, &value))
        return defaultValue;
    // Only a complete decimal number counts ("12a", "" and "1.5" do not); blanks around it were already dropped.
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    return ok ? number : defaultValue;
}

void writeString(const QString& section, const QString& key, const QString& value) {
    writeStrings({{section, key, value, QString()}});
}

void writeStrings(const QList<Entry>& entries) {
    const QString path = filePath();
    // The first write makes the user's settings folder; a file chosen with setFilePath needs its folder already.
    if (g_pathOverride.isEmpty())
        QDir().mkpath(QFileInfo(path).path());

    IniFile file;
    QByteArray before;
    QFile existing(path);
    const bool existed = existing.exists();
    if (existed) {
        // Never replace a file whose contents could not be read: they would be lost.
        if (!existing.open(QIODevice::ReadOnly))
            throwWriteError(path, existing.errorString());
        before = existing.readAll();
        existing.close();
        file = parseBytes(before);
        // New lines in a guessed encoding would make a file of two encodings.
        if (!file.known)
            throwWriteError(path, QStringLiteral("ファイルの文字コードを判別できないため、書き換えずにおきます。"));
    }

    const QByteArray eol = file.encode(file.newline);
    auto lineEnded = [&](qsizetype i) {
        if (file.lines[i].eol.isEmpty())
            file.lines[i].eol = eol;
    };

    for (const Entry& entry : entries) {
        // A value is one line; a line break in it would start a new key.
        QString oneLine = entry.value;
        oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        oneLine.replace(u'\r', u' ').replace(u'\n', u' ');

        const Location loc = locate(file, entry.section, entry.key);
        // The same value as read keeps its line as it is: bytes that do not survive decoding, the spacing.
        if (loc.keyLine >= 0 && oneLine.trimmed() == loc.key.value)
            continue;
        // A file written on Windows keeps its encoding (it may be read there); a value it cannot hold is refused.
        if (const QStringList missing = text::unencodableCharacters(oneLine, file.encoding); !missing.isEmpty()) {
            // Each with its code point too: a font may have no picture for it.
            QStringList named;
            for (const QString& ch : missing)
                named << QStringLiteral("「%1」(U+%2)")
                             .arg(ch, QString::number(ch.toUcs4().value(0), 16).toUpper().rightJustified(4, u'0'));
            throwWriteError(path, QStringLiteral("%1 の値の文字 %2 は、このファイルの文字コード（シフトJIS）では"
                                                 "書けません。設定は変えていません。")
                                      .arg(entry.label.isEmpty() ? entry.key : entry.label, named.join(QString())));
        }
        if (loc.keyLine >= 0) {
            const QString old = file.decode(file.lines.at(loc.keyLine).content);
            file.lines[loc.keyLine].content = file.encode(old.left(loc.key.valueStart) + oneLine);
        } else {
            const RawLine keyLine{file.encode(entry.key + u'=' + oneLine), eol};
            if (loc.sectionLine >= 0) {
                const qsizetype after = loc.lastKeyLine >= 0 ? loc.lastKeyLine : loc.sectionLine;
                lineEnded(after);
                file.lines.insert(after + 1, keyLine);
            } else {
                if (!file.lines.isEmpty()) {
                    lineEnded(file.lines.size() - 1);
                    if (!file.decode(file.lines.constLast().content).trimmed().isEmpty())
                        file.lines.append({QByteArray(), eol});
                }
                file.lines.append({file.encode(u'[' + entry.section + u']'), eol});
                file.lines.append(keyLine);
            }
        }
    }

    QByteArray bytes = file.bom;
    for (const RawLine& line : std::as_const(file.lines))
        bytes += line.content + line.eol;
    if (existed && bytes == before)
        return; // nothing to change: the file is not touched
    files::replaceFile(path, bytes, QStringLiteral("設定ファイル"));
}

void writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

} // namespace tabi::settings
