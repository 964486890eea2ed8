#include "app/mainform.h"
#include "app/rideexchange.h"
#include "data/error.h"
#include "data/settingsfile.h"
#include "netexport/netfixture.h"
#include "support/dialogseam.h"
#include "support/tempdatabases.h"
#include "tally/progressscreen.h"
#include "tally/screens.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCalendarWidget>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

using namespace tabi;
using Content = TRideExportDialog::Content;

namespace {

// The features of a GeoJSON file as "route_code date" (rides) or "route_code ridden_km" (the network).
QStringList features(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("(no file)")};
    QStringList out;
    for (const QJsonValue& v :
         QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("features")).toArray()) {
        const QJsonObject p = v.toObject().value(QStringLiteral("properties")).toObject();
        const QJsonValue second =
            p.contains(QStringLiteral("date")) ? p.value(QStringLiteral("date")) : p.value(QStringLiteral("ridden_km"));
        out << p.value(QStringLiteral("route_code")).toString() + u' ' + second.toVariant().toString();
    }
    return out;
}

void writeCsv(const QString& file, const QByteArray& text) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

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
        answers.onExec([](QDialog&) { return int(QDialog::Accepted); });
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

    // What the export dialog chose reaches the file: the rides of the period only, or every route with the
    // kilometres ridden in the period. The file dialog offers only GeoJSON for the network, which refuses
    // another format.
    void exportChoice_data() {
        QTest::addColumn<int>("content");
        QTest::addColumn<bool>("period");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected"); // empty: refused, nothing written
        QTest::addColumn<QString>("periodLine");
        QTest::newRow("rides, all") << int(Content::Rides) << false << "2020-01-01"
                                    << "2020-12-31"
                                    << "r.geojson"
                                    << QStringList{"100001 2019-04-01", "200001 2020-06-01", "100001 2021-01-01"}
                                    << "期間: 全期間";
        QTest::newRow("rides, 2020") << int(Content::Rides) << true << "2020-01-01"
                                     << "2020-12-31"
                                     << "r" << QStringList{"200001 2020-06-01"} << "期間: 2020-01-01～2020-12-31";
        QTest::newRow("rides, one day") << int(Content::Rides) << true << "2021-01-01"
                                        << "2021-01-01"
                                        << "r.geojson" << QStringList{"100001 2021-01-01"}
                                        << "期間: 2021-01-01～2021-01-01";
        QTest::newRow("network, to 2020")
            << int(Content::Network) << true << "2019-01-01"
            << "2020-12-31"
            << "n.geojson" << QStringList{"100001 6.8", "200001 5", "200002 0", "300001 0"}
            << "期間: 2019-01-01～2020-12-31";
        QTest::newRow("network, kml") << int(Content::Network) << false << "2020-01-01"
                                      << "2020-12-31"
                                      << "n.kml" << QStringList{} << "";
    }

    void exportChoice() {
        QFETCH(int, content);
        QFETCH(bool, period);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        QFETCH(QString, periodLine);
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('100001', '2019-04-01 00:00:00', '東京～品川', 6.8), "
                                   "('200001', '2020-06-01 00:00:00', '甲～乙', 5.0), "
                                   "('100001', '2021-01-01 00:00:00', '品川～横浜', 22.0)"));
        test::DialogAnswerer answers;
        answers.answerFile(m_env->file(file));
        answers.onExec([&](QDialog& d) {
            auto* ask = qobject_cast<TRideExportDialog*>(&d);
            if (!ask)
                return int(QDialog::Rejected);
            ask->setContent(Content(content));
            ask->setPeriod(period, QDate::fromString(from, Qt::ISODate), QDate::fromString(to, Qt::ISODate));
            ask->accept();
            return ask->result();
        });
        const QString written = m_env->file(QFileInfo(file).suffix().isEmpty() ? file + ".geojson" : file);
        if (expected.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(Error, exportRidesToFile(nullptr));
            QVERIFY(!QFile::exists(written));
        } else {
            exportRidesToFile(nullptr);
            QCOMPARE(features(written), expected);
            const QList<ui::DialogRequest> said = answers.requests(ui::DialogKind::Information);
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.first().text.split(u'\n').contains(periodLine), qPrintable(said.first().text));
        }
        const QList<ui::DialogRequest> asked = answers.requests(ui::DialogKind::SaveFile);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().filter.contains(QStringLiteral("*.kml")), content == int(Content::Rides));

        // The next export starts from this choice.
        TRideExportDialog again;
        again.restore();
        QCOMPARE(int(again.content()), content);
        QCOMPARE(again.hasPeriod(), period);
        QCOMPARE(again.findChild<QDateEdit*>(QStringLiteral("DateFrom"))->isEnabled(), period);
        QCOMPARE(again.from(), QDate::fromString(from, Qt::ISODate));
        QCOMPARE(again.to(), QDate::fromString(to, Qt::ISODate));
    }

    // A start after the end is refused with a message and the dialog stays open; corrected, it goes on.
    void startAfterEndRefused() {
        test::DialogAnswerer answers;
        answers.answerFile(m_env->file(QStringLiteral("r.geojson")));
        int refusals = 0;
        answers.onExec([&](QDialog& d) {
            auto* ask = qobject_cast<TRideExportDialog*>(&d);
            if (!ask)
                return int(QDialog::Rejected);
            ask->findChild<QCheckBox*>(QStringLiteral("CheckPeriod"))->setChecked(true);
            ask->findChild<QDateEdit*>(QStringLiteral("DateFrom"))->setDate(QDate(2021, 1, 2));
            ask->findChild<QDateEdit*>(QStringLiteral("DateTo"))->setDate(QDate(2021, 1, 1));
            ask->setResult(-1);
            ask->accept();
            if (ask->result() != -1)
                return ask->result();
            refusals = answers.count(ui::DialogKind::Critical);
            ask->findChild<QDateEdit*>(QStringLiteral("DateTo"))->setDate(QDate(2021, 1, 2));
            ask->accept();
            return ask->result();
        });
        exportRidesToFile(nullptr);
        QCOMPARE(refusals, 1);
        const ui::DialogRequest refusal = answers.requests(ui::DialogKind::Critical).first();
        QVERIFY(refusal.text.contains(QStringLiteral("開始日 2021-01-02 が終了日 2021-01-01 より後です")));
        QVERIFY(QFile::exists(m_env->file(QStringLiteral("r.geojson"))));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
    }

    // The day fields take a day typed in full in the usual forms, also typed again over a whole day, and open
    // their calendar from the keyboard.
    void dayFields_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("fromEnd"); // typed with the cursor after the day shown, as the calendar leaves it
        QTest::addColumn<QDate>("day");
        QTest::newRow("hyphens") << "2020-03-15" << false << QDate(2020, 3, 15);
        QTest::newRow("slashes, single digits") << "2020/3/5" << false << QDate(2020, 3, 5);
        QTest::newRow("digits only") << "20200315" << false << QDate(2020, 3, 15);
        QTest::newRow("month of one digit") << "2020-1-15" << false << QDate(2020, 1, 15);
        QTest::newRow("after the day shown") << "2020-03-15" << true << QDate(2020, 3, 15);
    }

    void dayFields() {
        QFETCH(QString, typed);
        QFETCH(bool, fromEnd);
        QFETCH(QDate, day);
        TRideExportDialog ask;
        ask.setPeriod(true, QDate(2001, 2, 3), QDate(2001, 2, 3));
        ask.show();
        auto* from = ask.findChild<QDateEdit*>(QStringLiteral("DateFrom"));
        from->setFocus();
        if (fromEnd)
            from->findChild<QLineEdit*>()->end(false);
        else
            from->setSelectedSection(QDateTimeEdit::YearSection); // as Tab leaves it
        QTest::keyClicks(from, typed);
        QCOMPARE(from->date(), day);

        for (const QKeyCombination key : {QKeyCombination(Qt::Key_F4), Qt::AltModifier | Qt::Key_Down}) {
            QTest::keyClick(from, key.key(), key.keyboardModifiers());
            QTRY_VERIFY(from->calendarWidget()->isVisible());
            from->calendarWidget()->window()->hide();
        }
    }

    // The screen the user looks at shows what the CSV import wrote without being switched away from and back.
    void importRefreshesActiveScreen() {
        tally::registerScreens();
        // The screen's total counts the routes of the classifications.
        m_ref->exec(QStringLiteral("DELETE FROM BUNRUI; INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES "
                                   "('100', 'ＪＲ'), ('200', '私鉄')"));
        TMainForm form;
        form.resize(1400, 900);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* suii = qobject_cast<tally::TJoshaSuii*>(form.openScreen(QStringLiteral("ActionShukeiSuii")));
        QVERIFY(suii);
        QCOMPARE(suii->progress().rides, 0);
        const QString csv = m_env->file(QStringLiteral("rides.csv"));
        writeCsv(csv, "乗車年月日,路線,起点,終点\n2020-01-01,100001,東京,品川\n2020-01-02,200001,甲,乙\n");
        test::DialogAnswerer answers;
        answers.answerFile(csv);
        answers.onExec([](QDialog& d) {
            return qobject_cast<TRideImportPreview*>(&d) ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        form.command(QStringLiteral("ActionImportRides"))->trigger();
        QCOMPARE(answers.count(ui::DialogKind::Information), 1);
        QCOMPARE(form.mdiArea()->currentSubWindow()->widget(), suii);
        QCOMPARE(suii->progress().rides, 2);
        QCOMPARE(suii->progress().total, 11.8);
    }
};

QTEST_MAIN(TestRideExchange)
#include "test_rideexchange.moc"
