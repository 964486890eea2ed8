#include "data/textcodec.h"

#include <QStringDecoder>
#include <QVector>

#include <algorithm>
#include <iterator>

#include <cerrno>
#include <iconv.h>

namespace tabi::text {

namespace {

// glibc's CP932 table is the Windows one: 0x8160 is U+FF5E, 0x5C is the backslash, the NEC and IBM
// extensions are present. "WINDOWS-31J" is an alias of the same converter.
constexpr const char* kCp932 = "CP932";

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; returns (size_t)-1 with errno set at the first byte it cannot convert,
    // leaving in/inLeft on that byte.
    size_t convert(const char*& in, size_t& inLeft, QByteArray& out) {
        char* inPtr = const_cast<char*>(in);
        size_t result = 0;
        for (;;) {
            const qsizetype used = out.size();
            out.resize(used + qMax<qsizetype>(64, qsizetype(inLeft) * 4));
            char* outPtr = out.data() + used;
            size_t outLeft = size_t(out.size() - used);
            result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            const int err = errno;
            out.resize(outPtr - out.constData());
            if (result == size_t(-1) && err == E2BIG)
                continue;
            errno = err;
            break;
        }
        in = inPtr;
        return result;
    }

private:
    iconv_t m_cd;
};

// The single bytes that glibc's CP932 leaves undefined, and the characters Windows reads them as.
constexpr struct {
    unsigned char byte;
    char16_t ch;
} kSingleBytes[] = {{0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

int singleByteOf(char32_t ch) {
    for (const auto& m : kSingleBytes)
        if (m.ch == ch)
            return m.byte;
    return -1;
}

// CP932 bytes of one character (one code point, given as its UTF-16 units); "?" when CP932 has no form for it.
QByteArray encodeOne(Iconv& cd, QStringView ch) {
    const QByteArray utf8 = ch.toUtf8();
    const char* in = utf8.constData();
    size_t inLeft = size_t(utf8.size());
    QByteArray out;
    if (cd.convert(in, inLeft, out) == size_t(-1) || out.isEmpty()) {
        const int single = singleByteOf(ch.size() == 1 ? ch.at(0).unicode() : 0);
        return single >= 0 ? QByteArray(1, char(single)) : QByteArrayLiteral("?");
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at p (2 to 4), 0 when there is none; *latin: it is U+00C0-U+00FF
// but not the signs U+00D7 and U+00F7.
int utf8Sequence(const unsigned char* p, qsizetype left, bool* latin) {
    auto cont = [&](int k) { return k < left && (p[k] & 0xC0) == 0x80; };
    const unsigned char c = p[0];
    *latin = false;
    if (c >= 0xC2 && c <= 0xDF) {
        if (!cont(1))
            return 0;
        const unsigned cp = unsigned(c & 0x1F) << 6 | (p[1] & 0x3F);
        *latin = cp >= 0xC0 && cp <= 0xFF && cp != 0xD7 && cp != 0xF7;
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2) || (c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0))
            return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3) || (c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90))
            return 0;
        return 4;
    }
    return 0;
}

} // namespace

namespace {

// The CP932 form of every UTF-16 unit outside the surrogates, asked of the converter once per unit on first use
// (CP932 is stateless, so a character converts alike alone and in a text): long exports spend their time on table
// look-ups instead of converter calls. kUnknown: not asked yet; below 0x100: one byte; else lead << 8 | trail.
constexpr quint16 kUnknown = 0xFFFF;

quint16 lookUpCp932(char16_t unit) {
    // The single bytes glibc leaves undefined travel as the characters they were read as.
    if (const int single = singleByteOf(unit); single >= 0)
        return quint16(single);
    static Iconv cd(kCp932, "UTF-8");
    if (!cd.valid())
        return '?';
    const QByteArray bytes = encodeOne(cd, QStringView(&unit, 1));
    if (bytes.size() == 1)
        return quint16(uchar(bytes[0]));
    if (bytes.size() == 2)
        return quint16(uchar(bytes[0]) << 8 | uchar(bytes[1]));
    return '?';
}

} // namespace

QByteArray toCp932(const QString& text) {
    static QVector<quint16> storage(0x10000, kUnknown);
    quint16* table = storage.data();
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    char* p = out.data();
    const qsizetype n = text.size();
    const QChar* in = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = in[i].unicode();
        if (u < 0x80) { // CP932 keeps ASCII as it is, backslash and tilde included
            *p++ = char(u);
            continue;
        }
        if (QChar::isSurrogate(u)) {
            // CP932 has nothing outside the BMP: a pair (or a lone half) becomes one "?".
            if (QChar::isHighSurrogate(u) && i + 1 < n && in[i + 1].isLowSurrogate())
                ++i;
            *p++ = '?';
            continue;
        }
        quint16& code = table[u];
        if (code == kUnknown)
            code = lookUpCp932(u);
        if (code < 0x100) {
            *p++ = char(code);
        } else {
            *p++ = char(code >> 8);
            *p++ = char(code & 0xFF);
        }
    }
    out.truncate(p - out.constData());
    return out;
}

QString fromCp932(const QByteArray& bytes) {
    Iconv cd("UTF-16LE", kCp932);
    if (!cd.valid())
        return QString::fromLatin1(bytes);
    QByteArray utf16;
    utf16.reserve(bytes.size() * 2);
    const char* in = bytes.constData();
    size_t inLeft = size_t(bytes.size());
    static const char replacement[2] = {char(0xFD), char(0xFF)}; // U+FFFD, little-endian
    while (inLeft > 0) {
        if (cd.convert(in, inLeft, utf16) != size_t(-1))
            break;
        // An undefined byte, or a lead byte without its trail byte (also at the end): one U+FFFD, then go on
        // with the next byte, so a cut inside a double-byte character costs only that character.
        const int byte = static_cast<unsigned char>(*in);
        const auto single = std::find_if(std::begin(kSingleBytes), std::end(kSingleBytes),
                                         [&](const auto& m) { return m.byte == byte; });
        if (single != std::end(kSingleBytes)) {
            const char le[2] = {char(single->ch & 0xFF), char(single->ch >> 8)};
            utf16.append(le, 2);
        } else {
            utf16.append(replacement, 2);
        }
        ++in;
        --inLeft;
    }
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

QString cutToCp932Bytes(const QString& text, int maxBytes) {
    if (maxBytes <= 0)
        return QString();
    // A UTF-16 unit never needs more than two bytes (a surrogate pair becomes a single "?").
    if (text.size() <= maxBytes / 2)
        return text;
    // Character by character, so a double-byte character or a surrogate pair is either wholly in or out.
    Iconv cd(kCp932, "UTF-8");
    int used = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype len =
            (text.at(pos).isHighSurrogate() && pos + 1 < text.size() && text.at(pos + 1).isLowSurrogate()) ? 2 : 1;
        const int bytes = cd.valid() ? int(encodeOne(cd, QStringView(text).mid(pos, len)).size()) : 1;
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        pos += len;
    }
    return text.left(pos);
}

QStringList unencodableCharacters(const QString& text, Encoding encoding) {
    QStringList missing;
    if (encoding != Encoding::Cp932)
        return missing;
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype len =
            (text.at(pos).isHighSurrogate() && pos + 1 < text.size() && text.at(pos + 1).isLowSurrogate()) ? 2 : 1;
        const QString ch = text.mid(pos, len);
        if (ch != QLatin1String("?") && toCp932(ch) == "?" && !missing.contains(ch))
            missing << ch;
        pos += len;
    }
    return missing;
}

Detection detectEncoding(QByteArrayView bytes, Encoding plainDefault) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {Encoding::Utf8, 3};
    if (bytes.startsWith("\xFF\xFE"))
        return {Encoding::Utf16LE, 2};
    if (bytes.startsWith("\xFE\xFF"))
        return {Encoding::Utf16BE, 2};

    // No text in CP932 or UTF-8 holds a zero byte; UTF-16 holds one in every ASCII character.
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] == 0)
            ++(i % 2 ? oddZeros : evenZeros);
    if (evenZeros + oddZeros > 0) {
        if (oddZeros > 3 * evenZeros)
            return {Encoding::Utf16LE};
        if (evenZeros > 3 * oddZeros)
            return {Encoding::Utf16BE};
        return {plainDefault, 0, false};
    }

    qsizetype twoByte = 0, longer = 0, invalid = 0;
    bool latinOnly = true;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size();) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        bool latin = false;
        const int len = utf8Sequence(p + i, bytes.size() - i, &latin);
        if (len == 0) {
            ++invalid;
            ++i;
            continue;
        }
        ++(len == 2 ? twoByte : longer);
        latinOnly = latinOnly && (len != 2 || latin);
        i += len;
    }
    if (twoByte + longer + invalid == 0)
        return {plainDefault};
    if (longer > 0 && invalid <= longer)
        return {Encoding::Utf8};
    if (invalid == 0 && longer == 0 && latinOnly)
        return {Encoding::Utf8};
    return {Encoding::Cp932};
}

QString decodeAs(QByteArrayView bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Cp932:
        return fromCp932(bytes.toByteArray());
    case Encoding::Utf8:
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        const auto enc = encoding == Encoding::Utf8      ? QStringConverter::Utf8
                         : encoding == Encoding::Utf16LE ? QStringConverter::Utf16LE
                                                         : QStringConverter::Utf16BE;
        // A byte-order mark here is content: the caller has cut off the one that marked the encoding.
        QStringDecoder decoder(enc, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    }
    return QString();
}

DecodedText decode(const QByteArray& bytes) {
    const Detection detected = detectEncoding(bytes, Encoding::Cp932);
    // The BOM is cut off here; a second one right after it is content and stays.
    return {decodeAs(QByteArrayView(bytes).sliced(detected.bomSize), detected.encoding), detected.encoding,
            detected.bomSize > 0};
}

QByteArray encode(const QString& text, Encoding encoding, bool withBom) {
    switch (encoding) {
    case Encoding::Cp932:
        return toCp932(text); // CP932 has no byte-order mark
    case Encoding::Utf8:
        return (withBom ? QByteArrayLiteral("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        const bool le = encoding == Encoding::Utf16LE;
        QStringEncoder encoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               withBom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
        return encoder.encode(text);
    }
    }
    return QByteArray();
}

} // namespace tabi::text
