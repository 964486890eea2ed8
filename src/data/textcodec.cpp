#include "data/textcodec.h"

#include <QStringDecoder>
#include <QVector>

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

// CP932 bytes of one character (one code point, given as its UTF-16 units); "?" when CP932 has no form for it.
QByteArray encodeOne(Iconv& cd, QStringView ch) {
    const QByteArray utf8 = ch.toUtf8();
    const char* in = utf8.constData();
    size_t inLeft = size_t(utf8.size());
    QByteArray out;
    if (cd.convert(in, inLeft, out) == size_t(-1) || out.isEmpty())
        return QByteArrayLiteral("?");
    return out;
}

} // namespace

namespace {

// The CP932 form of every UTF-16 unit outside the surrogates, asked of the converter once per unit on first use
// (CP932 is stateless, so a character converts alike alone and in a text): long exports spend their time on table
// look-ups instead of converter calls. kUnknown: not asked yet; below 0x100: one byte; else lead << 8 | trail.
constexpr quint16 kUnknown = 0xFFFF;

quint16 lookUpCp932(char16_t unit) {
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
        utf16.append(replacement, 2);
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

DecodedText decode(const QByteArray& bytes) {
    DecodedText result;
    auto decodeWith = [&](QStringConverter::Encoding enc, qsizetype bomSize, Encoding kind) {
        // The BOM is cut off here; a second one right after it is content and stays.
        QStringDecoder decoder(enc, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        result.text = decoder.decode(QByteArrayView(bytes).sliced(bomSize));
        result.encoding = kind;
        result.hadBom = true;
    };
    if (bytes.startsWith("\xEF\xBB\xBF"))
        decodeWith(QStringConverter::Utf8, 3, Encoding::Utf8);
    else if (bytes.startsWith("\xFF\xFE"))
        decodeWith(QStringConverter::Utf16LE, 2, Encoding::Utf16LE);
    else if (bytes.startsWith("\xFE\xFF"))
        decodeWith(QStringConverter::Utf16BE, 2, Encoding::Utf16BE);
    else
        result.text = fromCp932(bytes);
    return result;
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
