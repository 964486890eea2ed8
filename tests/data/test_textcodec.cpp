#include "data/textcodec.h"

#include <QTest>

using namespace tabi::text;

Q_DECLARE_METATYPE(tabi::text::Encoding)

class TestTextCodec : public QObject {
    Q_OBJECT

private slots:
    void toCp932_data();
    void toCp932();
    void fromCp932_data();
    void fromCp932();
    void cutToCp932Bytes_data();
    void cutToCp932Bytes();
    void decode_data();
    void decode();
    void encode_data();
    void encode();
    void encodeDecodeRoundTrip_data();
    void encodeDecodeRoundTrip();
};

// clang-format off
void TestTextCodec::toCp932_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("roundTrips");

    QTest::newRow("ascii") << QStringLiteral("A01 abc") << QByteArray("A01 abc") << true;
    QTest::newRow("backslash and tilde stay single bytes") << QStringLiteral("\\~") << QByteArray("\\~") << true;
    QTest::newRow("fullwidth tilde U+FF5E") << QStringLiteral("～") << QByteArray("\x81\x60") << true;
    QTest::newRow("wave dash U+301C is written like U+FF5E")
        << QString(QChar(0x301C)) << QByteArray("\x81\x60") << false;
    QTest::newRow("hiragana and kanji") << QStringLiteral("あ写真") << QByteArray("\x82\xA0\x8E\xCA\x90\x5E") << true;
    QTest::newRow("half-width katakana are single bytes")
        << QStringLiteral("ｱﾃｽﾄﾞ") << QByteArray("\xB1\xC3\xBD\xC4\xDE") << true;
    QTest::newRow("the characters of the undefined single bytes")
        << QStringLiteral("\u0080\uF8F0\uF8F1\uF8F2\uF8F3") << QByteArray("\x80\xA0\xFD\xFE\xFF") << true;
    QTest::newRow("NEC circled digit") << QStringLiteral("①") << QByteArray("\x87\x40") << true;
    QTest::newRow("emoji becomes one ?") << QStringLiteral("a😀b") << QByteArray("a?b") << false;
    QTest::newRow("kanji outside CP932 (surrogate pair)")
        << QStringLiteral("𠮷野") << QByteArray("?\x96\xEC") << false;
    QTest::newRow("accented latin is not transliterated") << QStringLiteral("café") << QByteArray("caf?") << false;
    QTest::newRow("lone surrogate") << (QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y")) << QByteArray("x?y")
                                    << false;
    QTest::newRow("empty") << QString() << QByteArray() << true;
}
// clang-format on

void TestTextCodec::toCp932() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, roundTrips);
    QCOMPARE(tabi::text::toCp932(text), bytes);
    if (roundTrips)
        QCOMPARE(tabi::text::fromCp932(bytes), text);
}

// clang-format off
void TestTextCodec::fromCp932_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QChar replacement(0xFFFD);
    QTest::newRow("0x8160 is U+FF5E") << QByteArray("\x81\x60") << QStringLiteral("～");
    QTest::newRow("half-width katakana") << QByteArray("\xB1\xDF") << QStringLiteral("ｱﾟ");
    QTest::newRow("0x5C is a backslash") << QByteArray("C:\\") << QStringLiteral("C:\\");
    QTest::newRow("IBM extension") << QByteArray("\xFA\x5C") << QString(QChar(0x7E8A));
    QTest::newRow("lead byte cut off at the end") << QByteArray("a\x82") << (QStringLiteral("a") + replacement);
    // The single bytes CP932 leaves undefined are kept as the characters Windows gives them, so that they
    // survive a rewrite; what is still undecodable becomes U+FFFD and the text goes on.
    QTest::newRow("undefined single bytes")
        << QByteArray("\x80x\xA0y\xFD\xFE\xFF") << QStringLiteral("\u0080x\uF8F0y\uF8F1\uF8F2\uF8F3");
    QTest::newRow("undecodable pair, text goes on") << QByteArray("\x85\x40z") << (QString(replacement) + u'@' + u'z');
}
// clang-format on

void TestTextCodec::fromCp932() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(tabi::text::fromCp932(bytes), text);
}

// clang-format off
void TestTextCodec::cutToCp932Bytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");

    const QString thirtyWide = QString(30, QChar(0x99C5)); // "駅" x 30 = 60 bytes
    QTest::newRow("30 full-width to 50 bytes") << thirtyWide << 50 << QString(25, QChar(0x99C5));
    QTest::newRow("fits unchanged") << QStringLiteral("東京～大阪") << 50 << QStringLiteral("東京～大阪");
    QTest::newRow("60 ascii to 50") << QString(60, u'a') << 50 << QString(50, u'a');
    QTest::newRow("60 half-width kana to 50") << QString(60, QChar(0xFF71)) << 50 << QString(50, QChar(0xFF71));
    QTest::newRow("double-byte char would straddle the limit")
        << (QStringLiteral("a") + QString(30, QChar(0x3042))) << 50 << (QStringLiteral("a") + QString(24, QChar(0x3042)));
    QTest::newRow("exact fit with the section mark")
        << QStringLiteral("東京～大阪(全区間)") << 18 << QStringLiteral("東京～大阪(全区間)");
    QTest::newRow("section mark lost first") << QStringLiteral("東京～大阪(全区間)") << 15 << QStringLiteral("東京～大阪(全区");
    // An unmappable character counts as its one-byte "?", and a surrogate pair is kept whole.
    QTest::newRow("surrogate pairs never split") << QStringLiteral("𠮷𠮷𠮷𠮷") << 3 << QStringLiteral("𠮷𠮷𠮷");
    QTest::newRow("pair after double-byte") << QStringLiteral("あ𠮷い") << 3 << QStringLiteral("あ𠮷");
    QTest::newRow("zero") << QStringLiteral("abc") << 0 << QString();
    QTest::newRow("negative") << QStringLiteral("abc") << -1 << QString();
    QTest::newRow("one byte left for a double-byte char") << QStringLiteral("あ") << 1 << QString();
}
// clang-format on

void TestTextCodec::cutToCp932Bytes() {
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    const QString cut = tabi::text::cutToCp932Bytes(text, maxBytes);
    QCOMPARE(cut, expected);
    QVERIFY(tabi::text::toCp932(cut).size() <= qMax(0, maxBytes));
}

// clang-format off
void TestTextCodec::decode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<bool>("hadBom");

    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF\xE5\x86\x99\xE7\x9C\x9F") << QStringLiteral("写真")
                               << Encoding::Utf8 << true;
    QTest::newRow("utf-16le bom") << QByteArray("\xFF\xFE\x99\x51\x1F\x77", 6) << QStringLiteral("写真")
                                  << Encoding::Utf16LE << true;
    QTest::newRow("utf-16be bom") << QByteArray("\xFE\xFF\x51\x99\x77\x1F", 6) << QStringLiteral("写真")
                                  << Encoding::Utf16BE << true;
    QTest::newRow("no bom is cp932") << QByteArray("\x8E\xCA\x90\x5E\r\n") << QStringLiteral("写真\r\n")
                                     << Encoding::Cp932 << false;
    QTest::newRow("empty") << QByteArray() << QString() << Encoding::Cp932 << false;
    QTest::newRow("second bom is content") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "a") << (QString(QChar(0xFEFF)) + u'a')
                                           << Encoding::Utf8 << true;
    QTest::newRow("bom only") << QByteArray("\xEF\xBB\xBF") << QString() << Encoding::Utf8 << true;

    // Without a mark the bytes decide.
    QTest::newRow("utf-8 without bom") << QByteArray("\xE5\x86\x99\xE7\x9C\x9F\n") << QStringLiteral("写真\n")
                                       << Encoding::Utf8 << false;
    QTest::newRow("utf-8 with one stray byte")
        << QByteArray("\xE5\xB1\xB1\xE7\x94\xB0\x81\xE5\xA4\xAA\xE9\x83\x8E")
        << (QStringLiteral("山田") + QChar(0xFFFD) + QStringLiteral("太郎")) << Encoding::Utf8 << false;
    QTest::newRow("utf-8 latin letters") << QByteArray("Jos\xC3\xA9") << QStringLiteral("José") << Encoding::Utf8 << false;
    QTest::newRow("cp932 half-width katakana that is also utf-8")
        << QByteArray("\xC5\xB6\xDE\x80x") << QStringLiteral("ﾅｶﾞ\u0080x") << Encoding::Cp932 << false;
    QTest::newRow("cp932 half-width katakana pair") << QByteArray("\xC5\xB6") << QStringLiteral("ﾅｶ") << Encoding::Cp932
                                                    << false;
    QTest::newRow("utf-16le without bom") << QByteArray("[\0A\0]\0\r\0\n\0\x99\x51", 12)
                                          << QStringLiteral("[A]\r\n写") << Encoding::Utf16LE << false;
    QTest::newRow("utf-16be without bom") << QByteArray("\0a\0b\0c\0=\x51\x99\x4E\x00", 12) << QStringLiteral("abc=写一")
                                          << Encoding::Utf16BE << false;
    QTest::newRow("ascii only is cp932") << QByteArray("a=b\r\n") << QStringLiteral("a=b\r\n") << Encoding::Cp932
                                         << false;
}
// clang-format on

void TestTextCodec::decode() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(Encoding, encoding);
    QFETCH(bool, hadBom);
    const DecodedText decoded = tabi::text::decode(bytes);
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(decoded.hadBom, hadBom);
}

// clang-format off
void TestTextCodec::encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<bool>("withBom");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("utf-8") << QStringLiteral("写") << Encoding::Utf8 << false << QByteArray("\xE5\x86\x99");
    QTest::newRow("utf-8 bom") << QStringLiteral("写") << Encoding::Utf8 << true << QByteArray("\xEF\xBB\xBF\xE5\x86\x99");
    QTest::newRow("utf-16le bom") << QStringLiteral("A写") << Encoding::Utf16LE << true
                                  << QByteArray("\xFF\xFE\x41\x00\x99\x51", 6);
    QTest::newRow("utf-16be") << QStringLiteral("A写") << Encoding::Utf16BE << false << QByteArray("\x00\x41\x51\x99", 4);
    QTest::newRow("cp932 has no bom") << QStringLiteral("写～") << Encoding::Cp932 << true
                                      << QByteArray("\x8E\xCA\x81\x60");
}
// clang-format on

void TestTextCodec::encode() {
    QFETCH(QString, text);
    QFETCH(Encoding, encoding);
    QFETCH(bool, withBom);
    QFETCH(QByteArray, bytes);
    QCOMPARE(tabi::text::encode(text, encoding, withBom), bytes);
}

// clang-format off
void TestTextCodec::encodeDecodeRoundTrip_data() {
    QTest::addColumn<Encoding>("encoding");
    QTest::newRow("utf-8") << Encoding::Utf8;
    QTest::newRow("utf-16le") << Encoding::Utf16LE;
    QTest::newRow("utf-16be") << Encoding::Utf16BE;
}
// clang-format on

void TestTextCodec::encodeDecodeRoundTrip() {
    QFETCH(Encoding, encoding);
    const QString text = QStringLiteral("東京～大阪 ｱｲｳ 𠮷 😀\r\n2行目");
    const DecodedText decoded = tabi::text::decode(tabi::text::encode(text, encoding, true));
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.encoding, encoding);
    QVERIFY(decoded.hadBom);
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "test_textcodec.moc"
