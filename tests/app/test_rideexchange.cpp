#include "app/rideexchange.h"
#include "netexport/netfixture.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QtTest>

using namespace tabi;

class TestRideExchange : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        openDatabases(true);
        test::storeNetwork(*m_ref, test::fixtureNetwork(), test::fixtureNames());
    }
    void cleanup() { closeDatabases(); }

    // The preview lists the rows left out first; nothing is written unless it is confirmed.
    void importAfterConfirmation() {
        const QString csv = m_env->file(QStringLiteral("rides.csv"));
        {
            QFile f(csv);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("乗車年月日,路線,起点,終点\n2020-01-01,100001,東京,品川\n2020-01-02,100001,東京,新宿\n"
                    "2020-01-03,東海道線,品川,横浜\n2020-01-32,100001,東京,品川\n");
        }
        for (int result : {int(QDialog::Rejected), int(QDialog::Accepted)}) {
            test::DialogAnswerer answers;
            answers.answerFile(csv);
            int shown = 0;
            answers.onExec([&](QDialog& d) {
                auto* preview = qobject_cast<TRideImportPreview*>(&d);
                if (!preview)
                    return int(QDialog::Rejected);
                ++shown;
                QAbstractItemModelTester tester(preview->model(),
                                                QAbstractItemModelTester::FailureReportingMode::QtTest);
                const QAbstractItemModel* m = preview->model();
                if (m->rowCount() != 4 || m->data(m->index(0, 0), Qt::DisplayRole).toInt() != 3 ||
                    m->data(m->index(1, 0), Qt::DisplayRole).toInt() != 5 ||
                    !m->data(m->index(0, 4), Qt::DisplayRole).toString().contains(QStringLiteral("品川")))
                    return -1;
                return result;
            });
            importRidesFromCsv(nullptr);
            QCOMPARE(shown, 1);
            QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(),
                     result == QDialog::Accepted ? 2 : 0);
            QCOMPARE(answers.count(ui::DialogKind::Information), result == QDialog::Accepted ? 1 : 0);
        }
        // A file that cannot be read is said so, and nothing changes.
        test::DialogAnswerer answers;
        answers.answerFile(m_env->file(QStringLiteral("none.csv")));
        importRidesFromCsv(nullptr);
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QCOMPARE(answers.count(ui::DialogKind::Exec), 0);
    }

    void exportByEnding() {
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('100001', '2019-04-01 00:00:00', '東京～品川', 6.8)"));
        test::DialogAnswerer answers;
        answers.answerFile(m_env->file(QStringLiteral("rides.kml")));
        answers.answerFile(m_env->file(QStringLiteral("rides")));
        exportRidesToFile(nullptr);
        exportRidesToFile(nullptr);
        QFile kml(m_env->file(QStringLiteral("rides.kml")));
        QVERIFY(kml.open(QIODevice::ReadOnly));
        QCOMPARE(kml.readAll().count("<Placemark>"), 1);
        QVERIFY(QFile::exists(m_env->file(QStringLiteral("rides.geojson"))));
        QCOMPARE(answers.count(ui::DialogKind::Information), 2);
    }
};

QTEST_MAIN(TestRideExchange)
#include "test_rideexchange.moc"
