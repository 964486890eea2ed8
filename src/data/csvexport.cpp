#include "data/csvexport.h"

#include "data/atomicfile.h"
#include "data/cursor.h"
#include "data/error.h"
#include "data/textcodec.h"

#include <QFileInfo>

#include <charconv>
#include <cmath>

namespace tabi::csv {

QString floatText(double value) {
    if (value == 0.0 || std::isnan(value))
        return QStringLiteral("0");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    // Significant digits and decimal exponent: the shortest form that reads back as the value when it has at most
    // 15 digits (it is then also the value rounded to 15 digits), else the value rounded to 15 digits.
    char sci[40];
    const double magnitude = std::fabs(value);
    auto res = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific);
    std::string_view text(sci, res.ptr - sci); // "d.ddde+XX"
    auto e = text.find('e');
    if (e > 16) { // more than 15 digits besides the point
        res = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific, 14);
        text = std::string_view(sci, res.ptr - sci);
        e = text.find('e');
    }
    char digits[20];
    int count = 0;
    for (char c : text.substr(0, e))
        if (c != '.')
            digits[count++] = c;
    while (count > 1 && digits[count - 1] == '0')
        --count;
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);

    char out[48];
    char* p = out;
    if (value < 0)
        *p++ = '-';
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            *p++ = '0';
            *p++ = '.';
            for (int z = 0; z < -exponent - 1; ++z)
                *p++ = '0';
            for (int d = 0; d < count; ++d)
                *p++ = digits[d];
        } else {
            for (int d = 0; d <= exponent; ++d)
                *p++ = d < count ? digits[d] : '0';
            if (count > exponent + 1) {
                *p++ = '.';
                for (int d = exponent + 1; d < count; ++d)
                    *p++ = digits[d];
            }
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            for (int d = 1; d < count; ++d)
                *p++ = digits[d];
        }
        *p++ = 'E';
        p = std::to_chars(p, out + sizeof out, exponent).ptr;
    }
    return QString::fromLatin1(out, p - out);
}

QString timestampText(const QString& stored) {
    if (stored.size() < 10)
        return stored;
    QString out = stored.left(10);
    out[4] = u'/';
    out[7] = u'/';
    const QStringView time = QStringView(stored).mid(11);
    if (!time.isEmpty() && time != u"00:00:00") {
        out += u' ';
        // The long time form of a Japanese system: hours without a leading zero.
        out += time.startsWith(u'0') ? time.mid(1) : time;
    }
    return out;
}

namespace {

void appendValue(QString& line, const QVariant& v, FieldType type) {
    switch (type) {
    case FieldType::Real:
        if (v.isNull())
            return;
        // An infinite or undefined figure (a sum that overflowed) is no number a spreadsheet can read.
        if (!std::isfinite(v.toDouble()))
            throw Error(QStringLiteral("数値でない値（%1）があるため、CSV に書き出せません。").arg(v.toDouble()),
                        ErrorKind::NotANumber);
        line += floatText(v.toDouble());
        return;
    case FieldType::Integer:
    case FieldType::SmallInt:
        if (!v.isNull())
            line += QString::number(v.toLongLong());
        return;
    case FieldType::Timestamp:
        line += u'"';
        line += timestampText(v.toString());
        line += u'"';
        return;
    case FieldType::Text:
        line += u'"';
        line += v.toString();
        line += u'"';
        return;
    }
}

[[noreturn]] void fail(const QString& fileName, const QString& reason) {
    QString message = QStringLiteral("CSVファイル %1 に書き出せませんでした: %2").arg(fileName, reason);
    if (QFileInfo(fileName).isFile())
        message += QStringLiteral("\n前からあったファイルは変わっていません。");
    throw Error(message);
}

} // namespace

namespace {

void appendLine(QString& out, TableCursor& cursor) {
    for (int f = 0; f < cursor.fieldCount(); ++f) {
        if (f > 0)
            out += u',';
        appendValue(out, cursor.value(f), cursor.fieldDef(f).type);
    }
}

} // namespace

QString lineOf(TableCursor& cursor) {
    QString line;
    appendLine(line, cursor);
    return line;
}

namespace {

// Builds the file's text in blocks (one conversion call per block instead of per line) and replaces the file
// whole through the same checked write as every other file the program writes. appendLines appends lines with
// their CR LF to the block and returns false once there are no more.
template <class Produce> void writeBlocks(const QString& fileName, Produce&& appendLines) {
    const QFileInfo target(fileName);
    if (target.isDir())
        fail(fileName, QStringLiteral("同じ名前のフォルダーがあります。"));
    // A rename would replace a file the user protected; refuse it as a direct write would be refused.
    if (target.exists() && !target.isWritable())
        fail(fileName, QStringLiteral("ファイルが読み取り専用です。"));
    QByteArray bytes;
    QString block;
    block.reserve(1 << 16);
    bool more = true;
    while (more) {
        while ((more = appendLines(block)) && block.size() < (1 << 15)) {
        }
        bytes += text::toCp932(block);
        block.truncate(0); // keeps the capacity for the next block
    }
    const bool existed = target.isFile();
    try {
        files::replaceFile(fileName, bytes, QStringLiteral("CSVファイル"));
    } catch (const Error& error) {
        if (!existed)
            throw;
        throw Error(error.message() + QStringLiteral("\n前からあったファイルは変わっていません。"), error.kind());
    }
}

} // namespace

QString lineOfValues(const QList<Value>& values) {
    QString line;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += u',';
        appendValue(line, values[i].value, values[i].type);
    }
    return line;
}

void writeFile(TableCursor& cursor, const QString& fileName) {
    cursor.first();
    try {
        writeBlocks(fileName, [&](QString& block) {
            if (cursor.eof())
                return false;
            appendLine(block, cursor);
            block += QLatin1String("\r\n");
            cursor.next();
            return true;
        });
    } catch (const Error&) {
        cursor.first();
        throw;
    }
    cursor.first();
}

void writeLines(const QStringList& lines, const QString& fileName) {
    qsizetype next = 0;
    writeBlocks(fileName, [&](QString& block) {
        if (next >= lines.size())
            return false;
        block += lines[next++];
        block += QLatin1String("\r\n");
        return true;
    });
}

} // namespace tabi::csv
