#include "data/atomicfile.h"
#include "data/error.h"
#include "data/settingsfile.h"
#include "support/smalldisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabi;

Q_DECLARE_METATYPE(tabi::files::WriteStep)

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray utf8(const char* s) {
    return QByteArray(s);
}
QByteArray utf16le(const QString& s) {
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// A settings file as written on Windows: CP932, CRLF, comments, blank lines, spacing, several sections, and
// bytes that a decode/encode round trip would change (0xED40 comes back as 0xFA5C, 0x8790 as 0x81E0, an
// undefined 0xFD as "?"). No final line break.
const QByteArray kCp932Head = "; \x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\r\n" // "; 設定ファイル"
                              "\r\n"
                              "[Path]\r\n"
                              "PhotoPath=C:\\TABIROKU\\PHOTO\\\r\n"
                              "DocPath = C:\\TABIROKU\\DOC\\ \r\n"
                              "# \xED\x40\x87\x90\xFD\r\n"
                              "\r\n"
                              "; form positions\r\n"
                              "[Form]\r\n"
                              "CodeForMove=A01001\r\n";
const QByteArray kCp932Tail = "\r\n"
                              "[Tabiroku]\r\n"
                              "UserName=\x8E\x52\x93\x63\r\n"      // 山田
                              "Comment1=\x83\x65\x83\x58\x83\x67"; // テスト, no line break

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void read_data();
    void read();
    void readInteger_data();
    void readInteger();
    void readsEveryTimeAfresh();
    void missingFileThenFirstWrite();
    void writeChangesOnlyItsKey_data();
    void writeChangesOnlyItsKey();
    void writeThenRead_data();
    void writeThenRead();
    void unwritableLocationThrows_data();
    void unwritableLocationThrows();
    void unchangedValueKeepsItsBytes_data();
    void unchangedValueKeepsItsBytes();
    void unknownEncodingIsRefused();
    void valueTheEncodingCannotHoldIsRefused();
    void leftoversOfKilledWritesAreSwept();
    void failedStepLeavesTheFileWhole_data();
    void failedStepLeavesTheFileWhole();
    void fullDiskLeavesTheFileWhole();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSettingsFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("tabiroku.ini"));
    settings::setFilePath(m_path);
}

void TestSettingsFile::cleanup() {
    settings::setFilePath(QString());
    m_dir.reset();
}

// clang-format off
void TestSettingsFile::read_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray ini = utf8("Orphan=before any section\n"
                                "[Path]\n"
                                "PhotoPath=/photos/\n"
                                "  DocPath  =   /docs/  \n"
                                ";OthersPhotoPath=commented out\n"
                                "#OthersDocPath=commented out\n"
                                "Equation=a=b\n"
                                "Empty=\n"
                                "PhotoPath=second occurrence\n"
                                "no equals sign\n"
                                "[Form]\n"
                                "CodeForMove=A01001\n"
                                "[Tabiroku]\n"
                                "UserName=山田 太郎\n");
    const QString def = QStringLiteral("Failure");
    QTest::newRow("exact") << ini << "Path" << "PhotoPath" << "/photos/";
    QTest::newRow("section case-insensitive") << ini << "PATH" << "PhotoPath" << "/photos/";
    QTest::newRow("key case-insensitive") << ini << "Path" << "photopath" << "/photos/";
    QTest::newRow("blanks around key and value") << ini << "Path" << "DocPath" << "/docs/";
    QTest::newRow("value containing =") << ini << "Path" << "Equation" << "a=b";
    QTest::newRow("empty value is not absent") << ini << "Path" << "Empty" << "";
    QTest::newRow("utf-8 value") << ini << "Tabiroku" << "UserName" << "山田 太郎";
    QTest::newRow("; comment") << ini << "Path" << "OthersPhotoPath" << def;
    QTest::newRow("# comment") << ini << "Path" << "OthersDocPath" << def;
    QTest::newRow("key of another section") << ini << "Form" << "PhotoPath" << def;
    QTest::newRow("key before any section") << ini << "Path" << "Orphan" << def;
    QTest::newRow("missing section") << ini << "CalcOption" << "StartMonth" << def;
    QTest::newRow("empty file") << QByteArray() << "Path" << "PhotoPath" << def;

    const QByteArray cp932 = kCp932Head + kCp932Tail;
    QTest::newRow("cp932 value") << cp932 << "tabiroku" << "username" << "山田";
    QTest::newRow("cp932 last line without break") << cp932 << "Tabiroku" << "Comment1" << "テスト";
    QTest::newRow("cp932 CRLF not part of value") << cp932 << "Form" << "CodeForMove" << "A01001";
    QTest::newRow("utf-8 with bom") << utf8("\xEF\xBB\xBF[Tabiroku]\r\nUserName=写真\r\n") << "Tabiroku" << "UserName"
                                    << "写真";
    QTest::newRow("utf-16le with bom") << (QByteArray("\xFF\xFE") + utf16le(QStringLiteral("[Form]\r\nCodeForMove=東\r\n")))
                                       << "form" << "codeformove" << "東";
}
// clang-format on

void TestSettingsFile::read() {
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    writeAll(m_path, file);
    QCOMPARE(settings::readString(section, key, QStringLiteral("Failure")), expected);
}

// clang-format off
void TestSettingsFile::readInteger_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");

    QTest::newRow("one") << QByteArray("StartMonth=1") << 1;
    QTest::newRow("four") << QByteArray("StartMonth=4") << 4;
    QTest::newRow("negative") << QByteArray("StartMonth=-5") << -5;
    QTest::newRow("blanks around the number") << QByteArray("StartMonth =  12  ") << 12;
    QTest::newRow("trailing letter") << QByteArray("StartMonth=12a") << -1;
    QTest::newRow("empty") << QByteArray("StartMonth=") << -1;
    QTest::newRow("blank") << QByteArray("StartMonth= ") << -1;
    QTest::newRow("decimal") << QByteArray("StartMonth=1.5") << -1;
    QTest::newRow("inner blank") << QByteArray("StartMonth=1 2") << -1;
    QTest::newRow("hexadecimal") << QByteArray("StartMonth=0x10") << -1;
    QTest::newRow("out of range") << QByteArray("StartMonth=99999999999") << -1;
    QTest::newRow("full-width digits") << QByteArray("StartMonth=\xEF\xBC\x94") << -1;
    QTest::newRow("absent") << QByteArray("EndMonth=4") << -1;
}
// clang-format on

void TestSettingsFile::readInteger() {
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    writeAll(m_path, "[CalcOption]\n" + line + "\n");
    QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), expected);
}

void TestSettingsFile::readsEveryTimeAfresh() {
    writeAll(m_path, "[Form]\nCodeForMove=A01001\n");
    QCOMPARE(settings::readString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QString()),
             QStringLiteral("A01001"));
    writeAll(m_path, "[Form]\nCodeForMove=B02002\n");
    QCOMPARE(settings::readString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QString()),
             QStringLiteral("B02002"));
    QVERIFY(QFile::remove(m_path));
    QCOMPARE(settings::readString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("Failure")),
             QStringLiteral("Failure"));
}

void TestSettingsFile::missingFileThenFirstWrite() {
    QCOMPARE(settings::readString(QStringLiteral("Path"), QStringLiteral("PhotoPath"), QStringLiteral("Failure")),
             QStringLiteral("Failure"));
    QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), -1);
    QVERIFY(!QFile::exists(m_path)); // reading creates nothing

    settings::writeString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QStringLiteral("山田"));
    QCOMPARE(readAll(m_path), utf8("[Tabiroku]\nUserName=\xE5\xB1\xB1\xE7\x94\xB0\n"));

    settings::writeInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), 4);
    QCOMPARE(readAll(m_path), utf8("[Tabiroku]\nUserName=\xE5\xB1\xB1\xE7\x94\xB0\n\n[CalcOption]\nStartMonth=4\n"));
    QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -1), 4);
}

// clang-format off
void TestSettingsFile::writeChangesOnlyItsKey_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray cp932 = kCp932Head + kCp932Tail;
    QTest::newRow("cp932: replace a value")
        << cp932 << "Path" << "PhotoPath" << QStringLiteral("D:\\写真\\")
        << QByteArray(cp932).replace("PhotoPath=C:\\TABIROKU\\PHOTO\\\r\n", "PhotoPath=D:\\\x8E\xCA\x90\x5E\\\r\n");
    QTest::newRow("cp932: key and section named in other case keep their spelling")
        << cp932 << "FORM" << "codeformove" << QStringLiteral("B02002")
        << QByteArray(cp932).replace("CodeForMove=A01001", "CodeForMove=B02002");
    QTest::newRow("cp932: spacing around = kept")
        << cp932 << "Path" << "DocPath" << QStringLiteral("E:\\DOC\\")
        << QByteArray(cp932).replace("DocPath = C:\\TABIROKU\\DOC\\ \r\n", "DocPath = E:\\DOC\\\r\n");
    QTest::newRow("cp932: empty value")
        << cp932 << "Path" << "PhotoPath" << QString()
        << QByteArray(cp932).replace("PhotoPath=C:\\TABIROKU\\PHOTO\\\r\n", "PhotoPath=\r\n");
    QTest::newRow("cp932: line breaks in a value become blanks")
        << cp932 << "Tabiroku" << "UserName" << QStringLiteral("a\r\nb\nc")
        << QByteArray(cp932).replace("UserName=\x8E\x52\x93\x63", "UserName=a b c");
    QTest::newRow("cp932: new key after the last key of its section")
        << cp932 << "Form" << "SakudoForMove" << QStringLiteral("S00001")
        << (kCp932Head + "SakudoForMove=S00001\r\n" + kCp932Tail);
    QTest::newRow("cp932: new key after the last key, before trailing comments")
        << cp932 << "Path" << "OthersPhotoPath" << QStringLiteral("/o/")
        << QByteArray(cp932).replace("DocPath = C:\\TABIROKU\\DOC\\ \r\n",
                                     "DocPath = C:\\TABIROKU\\DOC\\ \r\nOthersPhotoPath=/o/\r\n");
    QTest::newRow("cp932: new key in the last section ends the unterminated line")
        << cp932 << "Tabiroku" << "Comment2" << QStringLiteral("２行目")
        << (cp932 + "\r\nComment2=\x82\x51\x8D\x73\x96\xDA\r\n");
    QTest::newRow("cp932: new section appended")
        << cp932 << "CalcOption" << "StartMonth" << QStringLiteral("4")
        << (cp932 + "\r\n\r\n[CalcOption]\r\nStartMonth=4\r\n");

    const QByteArray bom = utf8("\xEF\xBB\xBF; comment\n[Form]\nCodeForMove=A01001\n\n[Path]\nPhotoPath=/p/\n");
    QTest::newRow("utf-8 bom: replace keeps the bom")
        << bom << "Form" << "CodeForMove" << QStringLiteral("東")
        << QByteArray(bom).replace("A01001", "\xE6\x9D\xB1");
    QTest::newRow("utf-8 bom: new section after a final blank line gets no second one")
        << (bom + "\n") << "Tabiroku" << "UserName" << QStringLiteral("x")
        << (bom + "\n[Tabiroku]\nUserName=x\n");
    QTest::newRow("utf-8 without bom, CRLF")
        << utf8("[Path]\r\nPhotoPath=/p/\r\n") << "Path" << "DocPath" << QStringLiteral("写")
        << utf8("[Path]\r\nPhotoPath=/p/\r\nDocPath=\xE5\x86\x99\r\n");
    QTest::newRow("utf-8 duplicate key: first one changes")
        << utf8("[Path]\nPhotoPath=1\nPhotoPath=2\n") << "Path" << "PhotoPath" << QStringLiteral("3")
        << utf8("[Path]\nPhotoPath=3\nPhotoPath=2\n");

    const QByteArray wide = QByteArray("\xFF\xFE") + utf16le(QStringLiteral("[Form]\r\nCodeForMove=A\r\n"));
    QTest::newRow("utf-16le bom") << wide << "Form" << "CodeForMove" << QStringLiteral("東")
                                  << (QByteArray("\xFF\xFE") + utf16le(QStringLiteral("[Form]\r\nCodeForMove=東\r\n")));
    QTest::newRow("utf-16le new key")
        << wide << "Form" << "OthersForMove" << QStringLiteral("P1")
        << (QByteArray("\xFF\xFE") + utf16le(QStringLiteral("[Form]\r\nCodeForMove=A\r\nOthersForMove=P1\r\n")));
}
// clang-format on

void TestSettingsFile::writeChangesOnlyItsKey() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    writeAll(m_path, before);
    settings::writeString(section, key, value);
    QCOMPARE(readAll(m_path), after);
}

// clang-format off
void TestSettingsFile::writeThenRead_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("readBack");

    const QByteArray cp932 = kCp932Head + kCp932Tail;
    QTest::newRow("cp932 japanese") << cp932 << QStringLiteral("東京～大阪 ｱｲｳ") << QStringLiteral("東京～大阪 ｱｲｳ");
    QTest::newRow("utf-8 keeps every character") << QByteArray() << QStringLiteral("𠮷😀") << QStringLiteral("𠮷😀");
    // Values are read without surrounding blanks, as with every INI reader.
    QTest::newRow("surrounding blanks") << QByteArray() << QStringLiteral("  x  ") << QStringLiteral("x");
    QTest::newRow("Failure is the same as absent") << QByteArray() << QStringLiteral("Failure")
                                                   << QStringLiteral("Failure");
}
// clang-format on

void TestSettingsFile::writeThenRead() {
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QString, readBack);
    if (!before.isEmpty())
        writeAll(m_path, before);
    settings::writeString(QStringLiteral("Path"), QStringLiteral("PhotoPath"), value);
    QCOMPARE(settings::readString(QStringLiteral("path"), QStringLiteral("PHOTOPATH"), QString()), readBack);
    settings::writeInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), -123);
    QCOMPARE(settings::readInteger(QStringLiteral("CalcOption"), QStringLiteral("StartMonth"), 0), -123);
}

// clang-format off
void TestSettingsFile::unwritableLocationThrows_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing folder") << "missing folder";
    QTest::newRow("parent is a file") << "parent is a file";
    QTest::newRow("path is a folder") << "path is a folder";
    QTest::newRow("read-only folder") << "read-only folder";
}
// clang-format on

void TestSettingsFile::unwritableLocationThrows() {
    QFETCH(QString, kind);
    QString path;
    QByteArray existing;
    if (kind == QLatin1String("missing folder")) {
        path = m_dir->filePath(QStringLiteral("no such folder/tabiroku.ini"));
    } else if (kind == QLatin1String("parent is a file")) {
        writeAll(m_dir->filePath(QStringLiteral("plain")), "x");
        path = m_dir->filePath(QStringLiteral("plain/tabiroku.ini"));
    } else if (kind == QLatin1String("path is a folder")) {
        path = m_dir->filePath(QStringLiteral("folder.ini"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.ini")));
    } else {
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind root");
        const QString folder = m_dir->filePath(QStringLiteral("locked"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("locked")));
        path = folder + QStringLiteral("/tabiroku.ini");
        existing = "[Form]\nCodeForMove=A01001\n";
        writeAll(path, existing);
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    settings::setFilePath(path);

    bool thrown = false;
    try {
        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("B02002"));
    } catch (const Error& e) {
        thrown = true;
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
        // The system's reason follows the file name.
        const QString reason = e.message().mid(e.message().indexOf(QDir::toNativeSeparators(path)) + path.size());
        QVERIFY2(reason.count(QRegularExpression(QStringLiteral("[A-Za-z]"))) > 3, qPrintable(e.message()));
    }
    QVERIFY(thrown);

    if (!existing.isEmpty()) {
        QCOMPARE(readAll(path), existing);
        QCOMPARE(settings::readString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QString()),
                 QStringLiteral("A01001"));
        QFile::setPermissions(QFileInfo(path).path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// clang-format off
void TestSettingsFile::unchangedValueKeepsItsBytes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // as read, written back

    // A value that does not survive decoding is written back as it was read: the bytes stay.
    QTest::newRow("utf-8 with a stray byte") << utf8("[Path]\nPhotoPath=/\xE5\x86\x99\xFF/ \nDocPath=/d/\n")
                                             << "PhotoPath" << QStringLiteral("/写\uFFFD/");
    QTest::newRow("cp932 undecodable pair") << QByteArray("[Path]\r\nPhotoPath=\x85\x40\x8E\xCA\r\n")
                                            << "PhotoPath" << (QString(QChar(0xFFFD)) + QStringLiteral("@写"));
    QTest::newRow("cp932 0x80 and 0xFD") << QByteArray("[Path]\r\nPhotoPath=\x80\xFD\x8E\xCA\r\n")
                                         << "PhotoPath" << QStringLiteral("\u0080\uF8F1写");
    QTest::newRow("spacing around the value") << utf8("[Path]\nPhotoPath =  /p/  \n") << "PhotoPath" << QStringLiteral("/p/");
}
// clang-format on

void TestSettingsFile::unchangedValueKeepsItsBytes() {
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QString, value);
    writeAll(m_path, file);
    QCOMPARE(settings::readString(QStringLiteral("Path"), key, QString()), value);
    settings::writeString(QStringLiteral("Path"), key, value);
    QCOMPARE(readAll(m_path), file);
    // A changed value is written in the file's own encoding; the rest stays.
    settings::writeString(QStringLiteral("Path"), QStringLiteral("Other"), QStringLiteral("写"));
    QCOMPARE(settings::readString(QStringLiteral("Path"), key, QString()), value);
    QVERIFY(readAll(m_path).startsWith(file));
}

// Zero bytes that follow no UTF-16 pattern: the file is not text this program can tell; it is left alone.
void TestSettingsFile::unknownEncodingIsRefused() {
    const char raw[] = "[Path]\0\0\0\0\nPhotoPath=\0\0/p/\n";
    const QByteArray file(raw, sizeof raw - 1);
    writeAll(m_path, file);
    bool thrown = false;
    try {
        settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"), QStringLiteral("/d/"));
    } catch (const Error& e) {
        thrown = true;
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(m_path)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("文字コード")), qPrintable(e.message()));
    }
    QVERIFY(thrown);
    QCOMPARE(readAll(m_path), file);
}

// A CP932 file cannot hold every character: rather than "?" (a folder pointing elsewhere), the value is refused
// with the field and the characters named, and nothing of the same write is stored. A "?" typed is no loss.
void TestSettingsFile::valueTheEncodingCannotHoldIsRefused() {
    const QByteArray cp932 = kCp932Head + kCp932Tail;
    writeAll(m_path, cp932);
    auto messageOf = [](const std::function<void()>& write) {
        try {
            write();
        } catch (const Error& e) {
            return e.message();
        }
        return QString();
    };
    const QString message = messageOf([] {
        settings::writeStrings(
            {{QStringLiteral("Path"), QStringLiteral("PhotoPath"), QStringLiteral("D:\\写真\\"), QString()},
             {QStringLiteral("Path"), QStringLiteral("DocPath"), QStringLiteral("説明🚃𠮷/"),
              QStringLiteral("文書ファイル1")}});
    });
    QVERIFY2(message.contains(QStringLiteral("文書ファイル1")) &&
                 message.contains(QStringLiteral("「🚃」(U+1F683)「𠮷」(U+20BB7)")),
             qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(m_path)), qPrintable(message));
    QCOMPARE(readAll(m_path), cp932);

    const QString unnamed = messageOf(
        [] { settings::writeString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QStringLiteral("😀田😀")); });
    QVERIFY2(unnamed.contains(QStringLiteral("UserName")) && unnamed.contains(QStringLiteral("「😀」(U+1F600) ")) &&
                 !unnamed.contains(QStringLiteral("田")),
             qPrintable(unnamed));
    QCOMPARE(readAll(m_path), cp932);

    settings::writeString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QStringLiteral("山田?"));
    QCOMPARE(settings::readString(QStringLiteral("Tabiroku"), QStringLiteral("UserName"), QString()),
             QStringLiteral("山田?"));
}

// A write killed part-way leaves its temporary file; the next write in that folder removes such files of
// processes that no longer run, and nothing else.
void TestSettingsFile::leftoversOfKilledWritesAreSwept() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    QVERIFY(child > 0);
    ::waitpid(child, nullptr, 0);
    const QByteArray dead = QByteArray::number(child), self = QByteArray::number(::getpid()),
                     live = QByteArray::number(::getppid());
    const QList<QByteArray> swept = {"." + QByteArray("tabiroku.ini.") + dead + "-0.tmp",
                                     ".A0100100.TXT." + dead + "-12.tmp", ".tabiroku.ini." + self + "-7.tmp"};
    const QList<QByteArray> kept = {".tabiroku.ini." + live + "-1.tmp",
                                    "tabiroku.ini." + dead + "-0.tmp",
                                    ".tabiroku.ini." + dead + "-x.tmp",
                                    ".tabiroku.ini." + dead + ".tmp",
                                    "." + dead + "-0.tmp",
                                    "notes.txt"};
    for (const QByteArray& name : swept + kept)
        writeAll(m_dir->filePath(QString::fromUtf8(name)), "part");
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral(".folder.") + QString::fromUtf8(dead) + QStringLiteral("-0.tmp")));

    settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("A01001"));
    QStringList expected{QStringLiteral("tabiroku.ini"),
                         QStringLiteral(".folder.") + QString::fromUtf8(dead) + QStringLiteral("-0.tmp")};
    for (const QByteArray& name : kept)
        expected << QString::fromUtf8(name);
    expected.sort();
    QStringList left = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    QCOMPARE(left, expected);
}

void TestSettingsFile::failedStepLeavesTheFileWhole_data() {
    QTest::addColumn<files::WriteStep>("step");
    QTest::newRow("create") << files::WriteStep::Create;
    QTest::newRow("write") << files::WriteStep::Write;
    QTest::newRow("sync") << files::WriteStep::Sync;
    QTest::newRow("close") << files::WriteStep::Close;
    QTest::newRow("rename") << files::WriteStep::Rename;
}

void TestSettingsFile::failedStepLeavesTheFileWhole() {
    QFETCH(files::WriteStep, step);
    const QByteArray old = "[Form]\nCodeForMove=A01001\n";
    writeAll(m_path, old);
    files::injectFailure(step, ENOSPC);
    QString message;
    try {
        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("B02002"));
    } catch (const Error& e) {
        message = e.message();
    }
    files::injectFailure(std::nullopt);
    QVERIFY2(message.contains(QDir::toNativeSeparators(m_path)), qPrintable(message));
    QVERIFY2(message.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(message));
    QCOMPARE(readAll(m_path), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("tabiroku.ini")});
}

void TestSettingsFile::fullDiskLeavesTheFileWhole() {
    test::SmallDisk disk;
    if (!disk.mounted())
        QSKIP("a small file system can be mounted only by the superuser");
    const QString path = disk.file(QStringLiteral("tabiroku.ini"));
    const QByteArray old = "[Form]\nCodeForMove=A01001\n[Path]\nPhotoPath=" + QByteArray(3000, 'p') + "\n";
    writeAll(path, old);
    disk.fill();
    settings::setFilePath(path);
    QString message;
    try {
        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("B02002"));
    } catch (const Error& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
    QVERIFY2(message.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(message));
    QCOMPARE(readAll(path), old);
    QCOMPARE(disk.names(), QStringList{QStringLiteral("tabiroku.ini")});
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
