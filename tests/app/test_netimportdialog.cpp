#include "app/aboutbox.h"
#include "app/importchild.h"
#include "app/mainform.h"
#include "app/netimportdialog.h"
#include "data/database.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

using namespace tabi;

namespace {

QString fixture(const QString& name) {
    return QStringLiteral(TABIROKU_TEST_DATA "/network/") + name;
}

} // namespace

class TestNetImportDialog : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnv> m_env;

    static int routes() {
        return Database::open(DbKind::Reference)->scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toInt();
    }

private Q_SLOTS:
    // The menu command runs the program's command-line form as its child: this test's executable is not it.
    void initTestCase() { setImportChildProgram(QStringLiteral(TABIROKU_EXECUTABLE)); }
    void init() { m_env = std::make_unique<test::TempEnv>(); }
    void cleanup() { m_env.reset(); }

    // The command sits in the File menu under its caption.
    void commandInFileMenu() {
        TMainForm form;
        QAction* item = form.findChild<QAction*>(QStringLiteral("ImportNetworkItem"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("全国路線データの取り込み(&L)..."));
    }

    // Folder, preview, confirmation, import, report saved; then the version dialog names the source.
    void importsAfterConfirmationAndSavesTheReport() {
        const int before = routes();
        test::DialogAnswerer answers;
        const QString saved = m_env->file(QStringLiteral("report.txt"));
        answers.answerFile(saved);
        QString reportText;
        answers.onExec([&](QDialog& d) {
            if (auto* ask = qobject_cast<TNetImportDialog*>(&d)) {
                ask->setFolder(fixture(QStringLiteral("v1")));
                return int(QDialog::Accepted);
            }
            if (auto* report = qobject_cast<TNetImportReport*>(&d)) {
                reportText = report->text();
                report->findChild<QPushButton*>(QStringLiteral("ButtonSave"))->click();
            }
            return int(QDialog::Rejected);
        });
        runNetworkImport(nullptr);
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
        const auto questions = answers.requests(ui::DialogKind::Question);
        QCOMPARE(questions.size(), 1);
        // The preview's count of new routes is what the import adds (the built-in register decides how many).
        const QRegularExpressionMatch added =
            QRegularExpression(QStringLiteral("路線: 新規 (\\d+)")).match(questions.first().text);
        QVERIFY2(added.hasMatch() && added.captured(1).toInt() > 0, qPrintable(questions.first().text));
        QCOMPARE(routes(), before + added.captured(1).toInt());
        QVERIFY(reportText.contains(QStringLiteral("取り込みました。")));
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).trimmed(), reportText.trimmed());

        TAboutBox box;
        box.refresh();
        auto* attribution = box.findChild<QLabel*>(QStringLiteral("NetAttribution"));
        QVERIFY(attribution && !attribution->isHidden());
        QVERIFY(attribution->text().contains(QStringLiteral("CC BY-SA 4.0")));
    }

    // Answering No after the preview leaves the reference database as it was; so does a folder without data.
    // The version dialog names the source of the network the program supplies even before any import.
    void noImportWithoutConfirmation() {
        const int before = routes();
        TAboutBox box;
        box.refresh();
        QVERIFY(!box.findChild<QLabel*>(QStringLiteral("NetAttribution"))->isHidden());
        QVERIFY(
            box.findChild<QLabel*>(QStringLiteral("NetAttribution"))->text().contains(QStringLiteral("CC BY-SA 4.0")));
        test::DialogAnswerer answers;
        answers.answerQuestion(false);
        QString folder = fixture(QStringLiteral("v1"));
        answers.onExec([&](QDialog& d) {
            if (auto* ask = qobject_cast<TNetImportDialog*>(&d)) {
                ask->setFolder(folder);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        });
        runNetworkImport(nullptr);
        QCOMPARE(routes(), before);
        folder = fixture(QStringLiteral("nowhere"));
        runNetworkImport(nullptr);
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QVERIFY(answers.requests(ui::DialogKind::Critical).first().text.contains(QStringLiteral("がありません")));
        QCOMPARE(routes(), before);
    }
};

QTEST_MAIN(TestNetImportDialog)
#include "test_netimportdialog.moc"
