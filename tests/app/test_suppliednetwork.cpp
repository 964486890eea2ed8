#include "app/suppliednetwork.h"

#include "data/database.h"
#include "supplied/network.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"

#include <QFileInfo>
#include <QtTest>

using namespace tabi;

namespace {

int routes(Database& db) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toInt();
}

} // namespace

// The reference database at start-up: made with the supplied network on a first start; an older one is offered
// the network once, whatever the answer.
class TestSuppliedNetworkStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStart() {
        test::TempEnv env;
        test::DialogAnswerer answers;
        prepareReferenceDatabase(nullptr);
        QCOMPARE(answers.requests().size(), 0);
        QVERIFY(QFileInfo::exists(paths::databaseFile(DbKind::Reference)));
        auto db = Database::open(DbKind::Reference);
        QCOMPARE(routes(*db), supplied::infoOf(supplied::builtInNetwork()).routes);
        QCOMPARE(db->scalar(QStringLiteral("SELECT ANSWER FROM NET_OFFER")), QVariant(QStringLiteral("配置")));
        // The version dialog's date is the data set's.
        QCOMPARE(db->scalar(QStringLiteral("SELECT VER_DATE FROM VER")),
                 QVariant(supplied::infoOf(supplied::builtInNetwork()).date.toString(QStringLiteral("yyyy-MM-dd")) +
                          QStringLiteral(" 00:00:00")));
        prepareReferenceDatabase(nullptr);
        QCOMPARE(answers.requests().size(), 0);
    }

    void olderDatabaseAskedOnce_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("declined") << false;
    }
    void olderDatabaseAskedOnce() {
        QFETCH(bool, accept);
        test::TempEnv env;
        auto db = Database::open(DbKind::Reference); // the sample, as an older version made it
        const int before = routes(*db);
        test::DialogAnswerer answers;
        answers.answerQuestion(accept);
        prepareReferenceDatabase(nullptr);
        const auto questions = answers.requests(ui::DialogKind::Question);
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions.first().text.startsWith(QStringLiteral("全国路線データを最新にしますか？\n")),
                 qPrintable(questions.first().text));
        QVERIFY2(questions.first().text.contains(QStringLiteral("路線: 新規 ")), qPrintable(questions.first().text));
        QCOMPARE(routes(*db) > before + 400, accept);
        QCOMPARE(db->scalar(QStringLiteral("SELECT ANSWER FROM NET_OFFER")),
                 QVariant(accept ? QStringLiteral("更新") : QStringLiteral("見送り")));
        answers.clear();
        prepareReferenceDatabase(nullptr);
        QCOMPARE(answers.requests().size(), 0);
    }

    // A database whose network the user imported from a copy of the data set is left to the menu command.
    void importedNetworkNotOffered() {
        test::TempEnv env;
        auto db = Database::open(DbKind::Reference);
        db->exec(
            QStringLiteral("INSERT INTO NET_ROSEN (SRC_KEY, ROSEN_CD) VALUES ('k', '101001');"
                           "INSERT INTO NET_SOURCE (SOURCE_NO, FOLDER) VALUES (1, '/home/user/station_database')"));
        test::DialogAnswerer answers;
        prepareReferenceDatabase(nullptr);
        QCOMPARE(answers.requests().size(), 0);
    }
};

QTEST_MAIN(TestSuppliedNetworkStart)
#include "test_suppliednetwork.moc"
