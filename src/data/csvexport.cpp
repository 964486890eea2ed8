#include "data/csvexport.h"

#include "data/cursor.h"
#include "data/error.h"
#include "data/textcodec.h"

#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <cmath>

namespace tabi::csv {

QString floatText(double value) {
    if (value == 0.0 || std::isnan(value))
        return QStringLiteral("0");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    // Fifteen significant digits, correctly rounded: "d.dddddddddddddde+XX".
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const std::string_view text(buf, res.ptr - buf);
    const auto e = text.find('e');
    QByteArray digits;
    for (char c : text.substr(0, e))
        if (c != '.')
            digits.append(c);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);

    QByteArray out;
    if (value < 0)
        out.append('-');
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out.append("0.");
            out.append(QByteArray(-exponent - 1, '0'));
            out.append(digits);
        } else {
            const qsizetype intDigits = exponent + 1;
            out.append(digits.left(intDigits));
            if (digits.size() < intDigits)
                out.append(QByteArray(intDigits - digits.size(), '0'));
            else if (digits.size() > intDigits)
                out.append('.').append(digits.mid(intDigits));
        }
    } else {
        out.append(digits.at(0));
        if (digits.size() > 1)
            out.append('.').append(digits.mid(1));
        out.append('E').append(QByteArray::number(exponent));
    }
    return QString::fromLatin1(out);
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

void appendValue(QString& line, TableCursor& cursor, int field) {
    const QVariant v = cursor.value(field);
    switch (cursor.fieldDef(field).type) {
    case FieldType::Real:
        if (!v.isNull())
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
    throw Error(QStringLiteral("CSVファイル %1 に書き出せませんでした: %2\n前からあったファイルは変わっていません。")
                    .arg(fileName, reason));
}

} // namespace

QString lineOf(TableCursor& cursor) {
    QString line;
    for (int f = 0; f < cursor.fieldCount(); ++f) {
        if (f > 0)
            line += u',';
        appendValue(line, cursor, f);
    }
    return line;
}

void writeFile(TableCursor& cursor, const QString& fileName) {
    const QFileInfo target(fileName);
    if (target.isDir())
        fail(fileName, QStringLiteral("同じ名前のフォルダーがあります。"));
    // A rename would replace a file the user protected; refuse it as a direct write would be refused.
    if (target.exists() && !target.isWritable())
        fail(fileName, QStringLiteral("ファイルが読み取り専用です。"));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        fail(fileName, file.errorString());
    // Lines are converted in blocks: one conversion call per block instead of per line.
    QString block;
    block.reserve(1 << 16);
    auto flush = [&] {
        const QByteArray bytes = text::toCp932(block);
        if (file.write(bytes) != bytes.size())
            fail(fileName, file.errorString());
        block.clear();
    };
    cursor.first();
    while (!cursor.eof()) {
        block += lineOf(cursor);
        block += QLatin1String("\r\n");
        if (block.size() >= (1 << 15))
            flush();
        cursor.next();
    }
    flush();
    cursor.first();
    if (!file.commit())
        fail(fileName, file.errorString());
}

} // namespace tabi::csv
