#include "netexport/netfixture.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "tally/progressscreen.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

using namespace tabi;
using namespace tabi::tally;

class TestProgressScreen : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases(true);
        test::storeNetwork(*m_ref, test::fixtureNetwork(), test::fixtureNames());
        m_ref->exec(
            QStringLiteral("DELETE FROM BUNRUI; DELETE FROM BUNRUI2; DELETE FROM KUBUN; DELETE FROM KUBUN2;"
                           "INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES ('100', 'ＪＲ'), ('200', '私鉄');"
                           "INSERT INTO BUNRUI2 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('1', 'ＪＲ'), ('2', '私鉄')"));
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('100001', '2019-04-01 00:00:00', '東京～横浜', 28.8), "
                                   "('200001', '2021-07-01 00:00:00', '甲～乙', 5.0)"));
    }
    void cleanup() { closeDatabases(); }

    void screen() {
        TJoshaSuii s;
        QAbstractItemModelTester tester(s.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(s.model()->rowCount(), 3); // 2019 to 2021, the year between included
        QCOMPARE(s.progress().total, 33.8);
        QCOMPARE(s.model()->data(s.model()->index(0, 5), Qt::DisplayRole).toString(), QStringLiteral("1 (東海道線)"));
        // Choosing a group and monthly periods recomputes.
        s.groupList()->setCurrentIndex(s.groupList()->findText(QStringLiteral("分類 200 私鉄")));
        QCOMPARE(s.progress().total, 5.0);
        s.monthlyButton()->setChecked(true);
        QCOMPARE(s.progress().points.size(), 1);
        s.perPeriodButton()->setChecked(true);
        s.resize(1100, 700);
        QImage image(s.chart()->size(), QImage::Format_RGB32);
        s.chart()->render(&image);
        QVERIFY(!s.findChild<QLabel*>(QStringLiteral("LabelSummary"))->text().isEmpty());
        // A new ride through another connection shows when the screen is active again.
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('200001', '2022-01-01 00:00:00', '甲～乙', 0)"));
        auto other = Database::open(DbKind::Personal);
        other->exec(QStringLiteral("UPDATE JOSHA SET JOSHA_KILO = 1 WHERE JOSHA_DATE LIKE '2022%'"));
        s.activated();
        QCOMPARE(s.progress().total, 6.0);
        // The picture through the save dialog.
        test::DialogAnswerer answers;
        answers.answerFile(m_env->file(QStringLiteral("chart.png")));
        s.exportPicture(QStringLiteral("png"));
        QVERIFY(!QImage(m_env->file(QStringLiteral("chart.png"))).isNull());
    }
};

QTEST_MAIN(TestProgressScreen)
#include "test_progressscreen.moc"
