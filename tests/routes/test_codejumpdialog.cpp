#include "routes/codejumpdialog.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "support/typing.h"
#include "ui/dbgrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::routes;

namespace {

std::unique_ptr<CodeJumpDialog> make(const QString& member, std::shared_ptr<Database> db) {
    if (member == QLatin1String("TCode_I2"))
        return std::make_unique<TCode_I2>(db);
    if (member == QLatin1String("TCode_I3"))
        return std::make_unique<TCode_I3>(db);
    return std::make_unique<TCode_I4>(db);
}

} // namespace

class TestCodeJumpDialog : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases();
        m_ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM SAKUDO; DELETE FROM OTHERS"));
        for (const char* table : {"MASTER (ROSEN_CD", "SAKUDO (ROSEN_CD", "OTHERS (OTHERS_CD"})
            m_ref->exec(QStringLiteral("INSERT INTO %1) VALUES ('100001'), ('120001'), ('120002'), ('510001'), "
                                       "('520000')")
                            .arg(QLatin1String(table)));
    }
    void cleanup() { closeDatabases(); }

    void configuration_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("routes") << "TCode_I2"
                                << "指定した路線に移動" << QStringList{"路線番号", "路線名称", "区間", "所属"};
        QTest::newRow("ropeways") << "TCode_I3"
                                  << "指定した路線に移動" << QStringList{"路線番号", "都道府県", "区間"};
        QTest::newRow("places") << "TCode_I4"
                                << "指定したデータに移動" << QStringList{"識別番号", "都道府県", "名称(漢字)"};
    }
    void configuration() {
        QFETCH(QString, member);
        QFETCH(QString, caption);
        QFETCH(QStringList, titles);
        auto dialog = make(member, m_ref);
        QCOMPARE(QString::fromLatin1(dialog->metaObject()->className()), "tabi::routes::" + member);
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(dialog->code(), QString());
        QCOMPARE(dialog->size(), QSize(562, 450));
        auto* model = dialog->grid()->model();
        QStringList shown;
        for (int c = 0; c < model->columnCount(); ++c)
            shown << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(shown, titles);
        QCOMPARE(dialog->okButton()->text(), QStringLiteral("了解(&R)"));
        QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("取消(&C)"));
        QVERIFY(dialog->okButton()->isDefault());
    }

    void incrementalSearch_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("current");
        QTest::newRow("empty: first") << ""
                                      << "100001";
        QTest::newRow("1") << "1"
                           << "100001";
        QTest::newRow("12") << "12"
                            << "120001";
        QTest::newRow("120002") << "120002"
                                << "120002";
        QTest::newRow("13: next code") << "13"
                                       << "510001";
        QTest::newRow("5") << "5"
                           << "510001";
        QTest::newRow("after every code: last") << "9"
                                                << "520000";
    }
    void incrementalSearch() {
        QFETCH(QString, typed);
        QFETCH(QString, current);
        TCode_I2 dialog(m_ref);
        dialog.codeInput()->setFocus();
        QTest::keyClicks(dialog.codeInput(), typed);
        QCOMPARE(dialog.cursor().asString(QStringLiteral("ROSEN_CD")), current);
        // Accepting takes the record's code, not the typed text.
        test::DialogAnswerer answerer;
        answerer.onExec([](QDialog& d) {
            static_cast<CodeJumpDialog&>(d).okButton()->click();
            return d.result();
        });
        QCOMPARE(dialog.run(), int(QDialog::Accepted));
        QCOMPARE(dialog.code(), current);
    }

    void deletionsSearchAgainAndSeventhCharacterRefused() {
        TCode_I2 dialog(m_ref);
        QTest::keyClicks(dialog.codeInput(), QStringLiteral("51"));
        QCOMPARE(dialog.cursor().asString(QStringLiteral("ROSEN_CD")), QStringLiteral("510001"));
        QTest::keyClick(dialog.codeInput(), Qt::Key_Backspace);
        QTest::keyClick(dialog.codeInput(), Qt::Key_Backspace);
        QCOMPARE(dialog.cursor().asString(QStringLiteral("ROSEN_CD")), QStringLiteral("100001"));
        QTest::keyClicks(dialog.codeInput(), QStringLiteral("1200027"));
        QCOMPARE(dialog.code(), QStringLiteral("120002"));
        // A longer text put in by the owner (an absent settings key reads "Failure") is kept whole.
        dialog.setCode(QStringLiteral("Failure"));
        QCOMPARE(dialog.code(), QStringLiteral("Failure"));
        QCOMPARE(dialog.cursor().asString(QStringLiteral("ROSEN_CD")), QStringLiteral("520000"));
    }

    // Text that is no code searches names, kana and operators; Down moves the list from the code field; Enter
    // takes the record found, and a search that finds nothing says so and closes nothing.
    void nameSearch_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("code"); // empty: nothing found
        QTest::newRow("kanji, first of several in code order") << "東海道" << 0 << "100001";
        QTest::newRow("kanji") << "東海道新" << 0 << "510001";
        QTest::newRow("hiragana for a kana kept in katakana") << "とうかいどうしん" << 0 << "510001";
        QTest::newRow("katakana for a kana kept in hiragana") << "ギンザ" << 0 << "520000";
        QTest::newRow("half-width katakana") << "ｷﾞﾝｻﾞ" << 0 << "520000";
        QTest::newRow("operator") << "東京地下" << 0 << "520000";
        QTest::newRow("full-width letters") << "ＪＲ東海" << 0 << "510001";
        QTest::newRow("same name, the next one by Down") << "根室" << 1 << "120002";
        QTest::newRow("no match") << "大阪環状" << 0 << "";
    }
    void nameSearch() {
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QString, code);
        m_ref->exec(QStringLiteral(
            "UPDATE MASTER SET ROSEN_KANJI = '東海道本線', ROSEN_KANA = 'とうかいどうほんせん', SHOZOKU = 'JR東日本', "
            "KITEN = '東京', SHUTEN = '熱海' WHERE ROSEN_CD = '100001';"
            "UPDATE MASTER SET ROSEN_KANJI = '根室本線', KITEN = '滝川', SHUTEN = '富良野' WHERE ROSEN_CD = '120001';"
            "UPDATE MASTER SET ROSEN_KANJI = '根室本線', KITEN = '新得', SHUTEN = '根室' WHERE ROSEN_CD = '120002';"
            "UPDATE MASTER SET ROSEN_KANJI = '東海道新幹線', ROSEN_KANA = 'トウカイドウシンカンセン', "
            "SHOZOKU = 'JR東海' WHERE ROSEN_CD = '510001';"
            "UPDATE MASTER SET ROSEN_KANJI = '銀座線', ROSEN_KANA = 'ぎんざせん', SHOZOKU = '東京地下鉄' "
            "WHERE ROSEN_CD = '520000'"));
        TCode_I2 dialog(m_ref);
        dialog.setCode(QStringLiteral("100001"));
        // Routes of one name are told apart by their sections.
        QCOMPARE(dialog.grid()->model()->index(1, 2).data().toString(), QStringLiteral("滝川～富良野"));
        QCOMPARE(dialog.grid()->model()->index(2, 2).data().toString(), QStringLiteral("新得～根室"));
        test::DialogAnswerer answerer;
        QString status;
        answerer.onExec([&](QDialog& d) {
            auto& jump = static_cast<CodeJumpDialog&>(d);
            d.show();
            jump.codeInput()->selectAll();
            test::typeText(jump.codeInput(), typed);
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(jump.codeInput(), Qt::Key_Down);
            status = jump.statusLabel()->text();
            QTest::keyClick(jump.codeInput(), Qt::Key_Return);
            if (d.isVisible())
                jump.cancelButton()->click();
            return d.result();
        });
        QCOMPARE(dialog.run(), int(code.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(dialog.code(), code.isEmpty() ? QStringLiteral("100001") : code);
        QCOMPARE(status.isEmpty(), !code.isEmpty());
        if (code.isEmpty())
            QVERIFY2(status.contains(QStringLiteral("「大阪環状」")), qPrintable(status));
    }

    void cancelAndCloseBox_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("code");
        QTest::newRow("I2 cancel button") << "TCode_I2"
                                          << "cancel"
                                          << "120001";
        QTest::newRow("I2 Esc") << "TCode_I2"
                                << "esc"
                                << "120001";
        QTest::newRow("I2 close box") << "TCode_I2"
                                      << "close"
                                      << "5";
        QTest::newRow("I3 cancel button") << "TCode_I3"
                                          << "cancel"
                                          << "120001";
        QTest::newRow("I4 cancel button keeps the typed text") << "TCode_I4"
                                                               << "cancel"
                                                               << "5";
        QTest::newRow("I4 Esc") << "TCode_I4"
                                << "esc"
                                << "5";
        QTest::newRow("I4 close box") << "TCode_I4"
                                      << "close"
                                      << "5";
    }
    void cancelAndCloseBox() {
        QFETCH(QString, member);
        QFETCH(QString, how);
        QFETCH(QString, code);
        auto dialog = make(member, m_ref);
        dialog->setCode(QStringLiteral("120001"));
        test::DialogAnswerer answerer;
        answerer.onExec([how](QDialog& d) {
            auto& jump = static_cast<CodeJumpDialog&>(d);
            d.show();
            jump.codeInput()->selectAll();
            QTest::keyClicks(jump.codeInput(), QStringLiteral("5"));
            if (how == QLatin1String("cancel"))
                jump.cancelButton()->click();
            else if (how == QLatin1String("esc"))
                QTest::keyClick(jump.codeInput(), Qt::Key_Escape);
            else
                d.close();
            return d.result();
        });
        QCOMPARE(dialog->run(), int(QDialog::Rejected));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->code(), code);
    }

    void enterAndDoubleClickAccept_data() {
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("Enter") << false;
        QTest::newRow("double-click") << true;
    }
    void enterAndDoubleClickAccept() {
        QFETCH(bool, doubleClick);
        TCode_I2 dialog(m_ref);
        test::DialogAnswerer answerer;
        answerer.onExec([doubleClick](QDialog& d) {
            auto& jump = static_cast<CodeJumpDialog&>(d);
            d.show();
            QTest::keyClicks(jump.codeInput(), QStringLiteral("12"));
            if (doubleClick) {
                // Any row accepts, whatever was typed.
                const QModelIndex row = jump.grid()->model()->index(3, 0);
                jump.grid()->setCurrentIndex(row);
                Q_EMIT jump.grid()->doubleClicked(row);
            } else {
                QTest::keyClick(jump.codeInput(), Qt::Key_Return);
            }
            return d.result();
        });
        QCOMPARE(dialog.run(), int(QDialog::Accepted));
        QCOMPARE(dialog.code(), doubleClick ? QStringLiteral("510001") : QStringLiteral("120001"));
    }

    void emptyTableAcceptsEmptyCode() {
        m_ref->exec(QStringLiteral("DELETE FROM OTHERS"));
        TCode_I4 dialog(m_ref);
        dialog.setCode(QStringLiteral("5"));
        dialog.acceptCurrent();
        QCOMPARE(dialog.code(), QString());
    }
};

QTEST_MAIN(TestCodeJumpDialog)
#include "test_codejumpdialog.moc"
