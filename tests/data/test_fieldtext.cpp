#include "data/fieldtext.h"
#include "support/errorof.h"

#include <QtTest>

using namespace tabi;

// The characters a single-line text field refuses, and how its width counts characters.
class TestFieldText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("at"); // UTF-16 index of the first refused unit, -1 for none
        QTest::addColumn<int>("characters");
        QTest::newRow("plain") << QStringLiteral("北海道 ｶﾅ abc") << -1 << 10;
        QTest::newRow("ideographic space and symbols") << QStringLiteral("　～■○") << -1 << 4;
        QTest::newRow("pairs are one character each") << QStringLiteral("a𠮷𠮷") << -1 << 3;
        QTest::newRow("C0 and tab") << QStringLiteral("a\x01\x07\x1b\tb") << 1 << 6;
        QTest::newRow("tab") << QStringLiteral("a\tb") << 1 << 3;
        QTest::newRow("CR LF") << QStringLiteral("ab\r\n") << 2 << 4;
        QTest::newRow("line feed first") << QStringLiteral("\nab") << 0 << 3;
        QTest::newRow("DEL") << QStringLiteral("ab\x7f") << 2 << 3;
        QTest::newRow("C1 next line") << QStringLiteral("a\u0085") << 1 << 2;
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << 1 << 3;
        QTest::newRow("after a pair") << QStringLiteral("𠮷\t") << 2 << 2;
        QTest::newRow("high half alone at the end") << QStringLiteral("a𠮷").left(2) << 1 << 2;
        QTest::newRow("low half alone") << QStringLiteral("𠮷a").mid(1) << 0 << 2;
    }

    void refusedCharacters() {
        QFETCH(QString, text);
        QFETCH(int, at);
        QFETCH(int, characters);
        QCOMPARE(forbiddenCharacterAt(text), qsizetype(at));
        QCOMPARE(characterCount(text), characters);
        FieldDef f;
        f.name = QStringLiteral("DORYOKU");
        f.label = QStringLiteral("動力");
        f.size = 4;
        const auto write = [&] { checkSingleLineText(QStringLiteral("SAKUDO"), f, text); };
        const QString message = test::errorOf(write);
        QCOMPARE(message.isEmpty(), at < 0);
        if (at >= 0) {
            QCOMPARE(test::kindOf(write), ErrorKind::BadCharacter);
            QVERIFY2(message.contains(QStringLiteral("普通索道の「動力」")), qPrintable(message));
            const QString position = QStringLiteral("%1 文字目").arg(characterCount(text.left(at)) + 1);
            QVERIFY2(message.contains(position), qPrintable(message));
        }
    }
};

QTEST_MAIN(TestFieldText)
#include "test_fieldtext.moc"
