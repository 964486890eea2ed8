#include "app/locale.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <langinfo.h>

using namespace tabi;

// Runs under LANG=C.UTF-8 (see the test's environment): the program's own start makes everything Japanese.
class TestLocale : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void japaneseWhateverTheEnvironment() {
        QCOMPARE(QLocale::system().language(), QLocale::Japanese);
        QCOMPARE(QLocale().language(), QLocale::Japanese);
        // The C library keeps a UTF-8 character set.
        QCOMPARE(QByteArray(nl_langinfo(CODESET)), QByteArray("UTF-8"));
    }

    // The file dialog lists sizes, dates and types in Japanese and its own texts are translated.
    void fileDialogInJapanese() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("写真")));
        QFile f(dir.filePath(QStringLiteral("memo.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
        f.close();
        QFileDialog dialog(nullptr, QString(), dir.path());
        ui::prepareFileDialog(dialog, QStringLiteral("すべてのファイル (*.*)"));
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model);
        const QModelIndex file = model->index(f.fileName());
        const QModelIndex folder = model->index(dir.filePath(QStringLiteral("写真")));
        QTRY_VERIFY(model->data(file.siblingAtColumn(1)).toString().size() > 0);
        const QString size = model->data(file.siblingAtColumn(1)).toString();
        const QString type = model->data(folder.siblingAtColumn(2)).toString();
        const QString date = model->data(file.siblingAtColumn(3)).toString();
        QCOMPARE(size, QLocale(QLocale::Japanese, QLocale::Japan).formattedDataSize(2048));
        QCOMPARE(date, QLocale(QLocale::Japanese, QLocale::Japan)
                           .toString(QFileInfo(f.fileName()).lastModified(), QLocale::ShortFormat));
        QVERIFY2(!type.contains(QLatin1String("Folder")), qPrintable(type));
        auto* typeLabel = dialog.findChild<QLabel*>(QStringLiteral("fileTypeLabel"));
        QVERIFY(typeLabel);
        QVERIFY2(!typeLabel->text().contains(QLatin1String("type")), qPrintable(typeLabel->text()));
    }
};

int main(int argc, char* argv[]) {
    prepareJapaneseLocale();
    QApplication app(argc, argv);
    installJapaneseTranslations(app);
    TestLocale test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_locale.moc"
