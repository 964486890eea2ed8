#include "ui/dialogs.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>
#include <QtTest>

using namespace tabi;

namespace {

const QChar kJoiner(0x2060);

// The lines a label breaks its text into at its present width.
QStringList laidOutLines(const QLabel* label) {
    const QString text = QString(label->text()).replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(text, label->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label->contentsRect().width());
        lines << text.mid(line.textStart(), line.textLength()).remove(kJoiner);
    }
    layout.endLayout();
    return lines;
}

} // namespace

class TestRealDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A question with several answers: Enter gives the default answer, a button's key its own, Esc none.
    void choiceBoxKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("answer");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
        QTest::newRow("a button's key") << int(Qt::Key_C) << int(Qt::AltModifier) << 2;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier) << -1;
    }
    void choiceBoxKeys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, answer);
        ui::DialogRequest request{
            ui::DialogKind::Choice, nullptr, QStringLiteral("題"), QStringLiteral("どれ?"), {}, nullptr, {}};
        request.choices = {QStringLiteral("甲(&A)"), QStringLiteral("乙(&B)"), QStringLiteral("丙(&C)")};
        request.defaultChoice = 1;
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                press.stop();
                QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            }
        });
        press.start(10);
        QCOMPARE(ui::showRealDialog(request).result, answer);
    }

    void keepQuotedWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "|" marks a joiner
        QTest::newRow("corner brackets") << "表 JOSHA のフィールド JOSHA_DATE「乗車年月日」は空"
                                         << "表 JOSHA のフィールド JOSHA_DATE「|乗|車|年|月|日|」は空";
        QTest::newRow("double quotes") << "\"ab\" と「x」"
                                       << "\"|a|b|\" と「|x|」";
        QTest::newRow("nothing quoted") << "キーの重複です。"
                                        << "キーの重複です。";
        QTest::newRow("unclosed") << "「乗車\n年」"
                                  << "「乗車\n年」";
        QTest::newRow("surrogate pair") << QStringLiteral("「𠮷野」") << QStringLiteral("「|𠮷|野|」");
    }
    void keepQuotedWhole() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ui::keepQuotedWhole(text), QString(expected).replace(u'|', kJoiner));
    }

    // A box is wide enough for a field name and its rule on one line; a longer line breaks, but not inside
    // the quoted name.
    void messageBoxLines() {
        const QString rule =
            QStringLiteral("値がありません: 表 JOSHA のフィールド JOSHA_DATE「乗車年月日」は空にできません。");
        QString longLine;
        for (int i = 0; i < 12; ++i)
            longLine += QStringLiteral("長い説明の文です。");
        longLine += QStringLiteral("「乗車年月日」");
        for (int i = 0; i < 12; ++i)
            longLine += QStringLiteral("長い説明の文です。");
        QMessageBox box(QMessageBox::Critical, QStringLiteral("タビロク"), rule + u'\n' + longLine);
        ui::prepareMessageBox(box);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        const QStringList lines = laidOutLines(label);
        QCOMPARE(lines.first().trimmed(), rule);
        QVERIFY(lines.size() > 2); // the long line did break
        bool nameSeen = false;
        for (const QString& line : lines) {
            QVERIFY2(!line.contains(QStringLiteral("「乗車年月日\n")) &&
                         !(line.contains(u'「') && !line.contains(u'」')),
                     qPrintable(line));
            nameSeen = nameSeen || line.contains(QStringLiteral("「乗車年月日」"));
        }
        QVERIFY(nameSeen);
        QCOMPARE(label->text().remove(kJoiner), rule + u'\n' + longLine); // nothing else is changed
    }

    // The filter shows as written; "*.*" lists names without an extension too.
    void fileDialogFilter() {
        QTemporaryDir dir;
        for (const char* name : {"README", "A.JPG"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QFileDialog dialog(nullptr, QString(), dir.path());
        ui::prepareFileDialog(dialog, QStringLiteral("すべてのファイル (*.*)"));
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        QCOMPARE(types->currentText(), QStringLiteral("すべてのファイル (*.*)"));
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model);
        QTRY_COMPARE(model->rowCount(model->index(dir.path())), 2);

        // Choosing the filter again keeps every file; a real pattern still filters.
        dialog.setNameFilters({QStringLiteral("写真 (*.JPG)"), QStringLiteral("すべてのファイル (*.*)")});
        QTRY_COMPARE(model->rowCount(model->index(dir.path())), 1);
        types->setCurrentIndex(1);
        emit types->activated(1); // as a choice in the list signals it
        emit types->textActivated(types->currentText());
        QTRY_COMPARE(model->rowCount(model->index(dir.path())), 2);
    }
};

QTEST_MAIN(TestRealDialogs)
#include "test_realdialogs.moc"
