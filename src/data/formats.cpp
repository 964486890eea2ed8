#include "data/formats.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

namespace tabi::fmt {

namespace {

// A non-negative decimal number 0.d1d2d3... × 10^pointPos, i.e. the decimal point stands after pointPos digits.
struct Decimal {
    QByteArray digits;
    int pointPos = 0;
};

// The shortest decimal digits that read back as the same double. Rounding works on these digits, so a
// value written 2.675 rounds like the decimal 2.675 (to 2.68), although the nearest double lies below it.
Decimal shortestDecimal(double magnitude) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
    const std::string_view text(buf, res.ptr - buf); // "d.ddde+XX"
    const auto e = text.find('e');
    Decimal d;
    for (char c : text.substr(0, e))
        if (c != '.')
            d.digits.append(c);
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
    d.pointPos = exponent + 1;
    return d;
}

// Rounds half away from zero to the given number of decimals.
void roundTo(Decimal& d, int decimals) {
    const qsizetype keep = qsizetype(d.pointPos) + decimals;
    if (keep >= d.digits.size())
        return;
    if (keep < 0) {
        d.digits = "0";
        d.pointPos = 1;
        return;
    }
    const bool up = d.digits.at(keep) >= '5';
    d.digits.truncate(keep);
    if (!up)
        return;
    qsizetype i = d.digits.size() - 1;
    for (; i >= 0; --i) {
        if (d.digits[i] == '9') {
            d.digits[i] = '0';
        } else {
            ++d.digits[i];
            break;
        }
    }
    if (i < 0) {
        d.digits.prepend('1');
        ++d.pointPos;
    }
}

char digitAt(const Decimal& d, qsizetype index) {
    return index >= 0 && index < d.digits.size() ? d.digits.at(index) : '0';
}

QString plainForm(double value) {
    const bool negative = std::signbit(value) && value != 0.0;
    const Decimal d = shortestDecimal(std::fabs(value));
    QString out = negative ? QStringLiteral("-") : QString();
    if (d.pointPos <= 0) {
        out += QStringLiteral("0.") + QString(-d.pointPos, u'0') + QString::fromLatin1(d.digits);
    } else {
        for (qsizetype i = 0; i < qMax<qsizetype>(d.pointPos, d.digits.size()); ++i) {
            if (i == d.pointPos)
                out += u'.';
            out += QChar::fromLatin1(digitAt(d, i));
        }
    }
    return out;
}

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The typed number as plain ASCII ("-1234.5e3") for the standard conversions, or nothing when a character
// stands where it may not: commas only between groups of three digits of the whole part.
std::optional<std::string> numberText(QStringView typed, bool whole) {
    const QString t = typed.toString().normalized(QString::NormalizationForm_KC).trimmed();
    std::string out;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        if (t[i] == u'-')
            out += '-';
        ++i;
    }
    int intDigits = 0, groupDigits = 0;
    bool grouped = false;
    for (; i < t.size(); ++i) {
        if (isAsciiDigit(t[i])) {
            out += char(t[i].unicode());
            ++intDigits;
            ++groupDigits;
        } else if (t[i] == u',') {
            // The first group has one to three digits, every later one exactly three.
            if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
        } else {
            break;
        }
    }
    if (grouped && groupDigits != 3)
        return std::nullopt;
    int fracDigits = 0;
    if (!whole && i < t.size() && t[i] == u'.') {
        out += '.';
        for (++i; i < t.size() && isAsciiDigit(t[i]); ++i, ++fracDigits)
            out += char(t[i].unicode());
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    if (!whole && i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        out += 'e';
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            out += char(t[i++].unicode());
        int expDigits = 0;
        for (; i < t.size() && isAsciiDigit(t[i]); ++i, ++expDigits)
            out += char(t[i].unicode());
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    return out;
}

bool isPlaceholder(QChar c) {
    return c == u'0' || c == u'#' || c == u',' || c == u'.';
}

} // namespace

QString formatNumber(double value, QStringView picture) {
    if (!std::isfinite(value))
        return QString::number(value);
    if (picture.isEmpty())
        return plainForm(value);

    // Characters before the first and after the last placeholder are copied as they stand.
    qsizetype first = 0;
    while (first < picture.size() && !isPlaceholder(picture.at(first)))
        ++first;
    qsizetype last = picture.size() - 1;
    while (last >= first && !isPlaceholder(picture.at(last)))
        --last;
    const QStringView core = picture.mid(first, last - first + 1);
    const QStringView prefix = picture.left(first);
    const QStringView suffix = picture.mid(last + 1);

    const qsizetype dot = core.indexOf(u'.');
    const QStringView intPart = dot < 0 ? core : core.left(dot);
    const QStringView fracPart = dot < 0 ? QStringView() : core.mid(dot + 1);

    const bool grouping = intPart.contains(u',');
    // Every digit place from the first '0' on is always shown.
    int minIntDigits = 0;
    bool seenZero = false;
    for (QChar c : intPart) {
        seenZero = seenZero || c == u'0';
        if (seenZero && (c == u'0' || c == u'#'))
            ++minIntDigits;
    }
    int maxDecimals = 0, minDecimals = 0;
    for (QChar c : fracPart) {
        if (c == u'0' || c == u'#')
            ++maxDecimals;
        if (c == u'0')
            minDecimals = maxDecimals;
    }

    Decimal d = shortestDecimal(std::fabs(value));
    roundTo(d, maxDecimals);

    QString intDigits;
    for (qsizetype i = 0; i < d.pointPos; ++i)
        intDigits += QChar::fromLatin1(digitAt(d, i));
    while (intDigits.startsWith(u'0'))
        intDigits.remove(0, 1);
    QString fracDigits;
    for (int j = 0; j < maxDecimals; ++j)
        fracDigits += QChar::fromLatin1(digitAt(d, qsizetype(d.pointPos) + j));
    const bool isZero = intDigits.isEmpty() && fracDigits.count(u'0') == fracDigits.size();

    if (intDigits.size() < minIntDigits)
        intDigits.prepend(QString(minIntDigits - intDigits.size(), u'0'));
    if (grouping)
        for (qsizetype pos = intDigits.size() - 3; pos > 0; pos -= 3)
            intDigits.insert(pos, u',');
    while (fracDigits.size() > minDecimals && fracDigits.endsWith(u'0'))
        fracDigits.chop(1);

    QString out = prefix.toString();
    // A value that rounds to zero shows no sign: -0.04 with "0.0" is "0.0".
    if (value < 0 && !isZero)
        out += u'-';
    out += intDigits;
    if (!fracDigits.isEmpty())
        out += u'.' + fracDigits;
    out += suffix;
    return out;
}

std::optional<double> parseNumber(QStringView text) {
    const std::optional<std::string> t = numberText(text, false);
    if (!t)
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(t->data(), t->data() + t->size(), value);
    if (ec != std::errc() || end != t->data() + t->size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> parseInteger(QStringView text) {
    const std::optional<std::string> t = numberText(text, true);
    if (!t)
        return std::nullopt;
    qint64 value = 0;
    const auto [end, ec] = std::from_chars(t->data(), t->data() + t->size(), value);
    if (ec != std::errc() || end != t->data() + t->size())
        return std::nullopt;
    return value;
}

QString formatTimestamp(const QString& stored, QStringView picture) {
    if (stored.isEmpty())
        return QString();
    // Stored text "yyyy-mm-dd HH:MM:SS"; a bare date means 00:00:00.
    const bool wellFormed = stored.size() >= 10 && stored.at(4) == u'-' && stored.at(7) == u'-';
    if (!wellFormed)
        return stored;
    const QString date = stored.left(10);
    const QString time = stored.size() >= 19 ? stored.mid(11, 8) : QStringLiteral("00:00:00");
    if (picture.isEmpty())
        return time == QLatin1String("00:00:00") ? date : stored;

    // Two-letter tokens, any letter case: yyyy, yy, mm, dd, hh, nn, ss; "mm" right after "hh" means minutes.
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < picture.size();) {
        const QStringView rest = picture.mid(i);
        auto token = [&](QLatin1StringView t) { return rest.startsWith(t, Qt::CaseInsensitive); };
        if (token(QLatin1StringView("yyyy"))) {
            out += date.left(4);
            i += 4;
        } else if (token(QLatin1StringView("yy"))) {
            out += date.mid(2, 2);
            i += 2;
        } else if (token(QLatin1StringView("mm"))) {
            out += afterHour ? time.mid(3, 2) : date.mid(5, 2);
            afterHour = false;
            i += 2;
        } else if (token(QLatin1StringView("dd"))) {
            out += date.mid(8, 2);
            i += 2;
        } else if (token(QLatin1StringView("hh"))) {
            out += time.left(2);
            afterHour = true;
            i += 2;
        } else if (token(QLatin1StringView("nn"))) {
            out += time.mid(3, 2);
            i += 2;
        } else if (token(QLatin1StringView("ss"))) {
            out += time.mid(6, 2);
            i += 2;
        } else {
            out += picture.at(i);
            ++i;
        }
    }
    return out;
}

} // namespace tabi::fmt
