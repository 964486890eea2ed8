#include "data/cursor.h"
#include "data/statements.h"
#include "support/tempdatabases.h"

#include <QtTest>

using namespace tabi;

// The work-table statements run as written and do exactly their job; the supplied data loads into a new file.
class TestStatements : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() { openDatabases(); }
    void cleanup() { closeDatabases(); }

    void suppliedDataIsThere() {
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM VER")).toInt(), 1);
        QVERIFY(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toInt() >= 30);
        QVERIFY(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE substr(HAISHI_DATE, 1, 2) IN ('19', '20')")).toInt() >= 1);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM BUNRUI3")).toInt(), 1);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM KUBUN3")).toInt(), 1);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM TOSHI2")).toInt(), 1);
        // The bar chart reads the six passenger railway companies first, in this order.
        TableCursor b(m_ref, QStringLiteral("BUNRUI"), QStringLiteral("BUNRUI_CD"));
        b.open();
        const QStringList regions{"北海道", "東日本", "東海", "西日本", "四国", "九州"};
        for (const QString& r : regions) {
            QVERIFY2(b.asString(QStringLiteral("BUNRUI_KANJI")).endsWith(r), qPrintable(b.asString(QStringLiteral("BUNRUI_KANJI"))));
            b.next();
        }
        // Every route code starts with the code of an existing classification.
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM MASTER WHERE substr(ROSEN_CD, 1, 3) NOT IN "
                                              "(SELECT BUNRUI_CD FROM BUNRUI)")).toInt(), 0);
    }

    void tagUpdateKeepsRidesOfUnknownRoutes() {
        m_ref->execLines(sql::clearTaggedRides());
        const QString code = m_ref->scalar(QStringLiteral("SELECT ROSEN_CD FROM MASTER ORDER BY ROSEN_CD LIMIT 1")).toString();
        const QString kbn = m_ref->scalar(QStringLiteral("SELECT KBN_CD FROM MASTER ORDER BY ROSEN_CD LIMIT 1")).toString();
        m_ref->exec(QStringLiteral("INSERT INTO TMP_JOSHA_KUBUN (KBN_CD, ROSEN_CD) VALUES ('00', '%1'), ('00', 'ZZZ999'), "
                                   "('00', 'NOKBN1')").arg(code));
        m_ref->exec(QStringLiteral("INSERT INTO MASTER (ROSEN_CD) VALUES ('NOKBN1')")); // a route without a category
        m_ref->execLines(sql::tagRidesWithCategory());
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT KBN_CD FROM TMP_JOSHA_KUBUN WHERE ROSEN_CD = 'NOKBN1'")).toString(), QStringLiteral("00"));
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT KBN_CD FROM TMP_JOSHA_KUBUN WHERE ROSEN_CD = '%1'").arg(code)).toString(), kbn);
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT KBN_CD FROM TMP_JOSHA_KUBUN WHERE ROSEN_CD = 'ZZZ999'")).toString(), QStringLiteral("00"));
        m_ref->execLines(sql::clearTaggedRides());
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT count(*) FROM TMP_JOSHA_KUBUN")).toInt(), 0);
    }

    void trimStatements() {
        m_ref->exec(QStringLiteral("INSERT INTO CFM_MIJO (ROSEN_CD, JOSHA_RATIO) VALUES ('A', 99.9999), ('B', 100), ('C', 100.0001), ('D', 50)"));
        m_ref->execLines(sql::dropCompletedRoutes());
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT group_concat(ROSEN_CD, '') FROM (SELECT ROSEN_CD FROM CFM_MIJO ORDER BY 1)")).toString(),
                 QStringLiteral("ACD"));
        m_ref->execLines(sql::clearUnriddenList());
        m_ref->exec(QStringLiteral("INSERT INTO CFM_FILES (FILE_NAME, BIKO) VALUES ('a.JPG', NULL), ('b.JPG', '路線なし')"));
        m_ref->execLines(sql::keepRemarkedPhotoFiles());
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT group_concat(FILE_NAME) FROM CFM_FILES")).toString(), QStringLiteral("b.JPG"));
        m_ref->execLines(sql::clearPhotoFileList());
        m_ref->exec(QStringLiteral("INSERT INTO CFM_JOSHA (JOSHA_DATE, ROSEN_CD) VALUES ('2020-01-01 00:00:00', 'A')"));
        m_ref->execLines(sql::clearRideCheckList());
        QCOMPARE(m_ref->scalar(QStringLiteral("SELECT (SELECT count(*) FROM CFM_FILES) + (SELECT count(*) FROM CFM_JOSHA) + "
                                              "(SELECT count(*) FROM CFM_MIJO)")).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStatements)
#include "test_statements.moc"
