// Journeys measured against the rides and recorded as rides; the journey screen from the keyboard; the
// command-line form run as the program itself.
#include "../netroute/graphfixture.h"
#include "routes/journey.h"
#include "routes/journeyscreen.h"
#include "support/tempdatabases.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace tabi;
using namespace tabi::routes;

namespace {

// Types text into the focused widget one character at a time, as an input method hands it over.
void typeText(const QString& text) {
    for (QChar c : text) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(k), mods);
}

} // namespace

class TestJourney : public QObject, tabi::test::TempDatabases {
    Q_OBJECT

    network::Network m_net;

    netroute::Journey find(const QStringList& names, bool noShinkansen = false) {
        const netroute::StationIndex index(m_net);
        QVector<int> nodes;
        for (const QString& n : names)
            nodes.append(index.named(n).value(0).node);
        netroute::Options o;
        o.avoidShinkansen = noShinkansen;
        netroute::Journey j = netroute::RouteFinder(m_net).find(nodes, o);
        countNewKilo(j, m_net, *m_per);
        return j;
    }
    void ride(const char* code, const char* day, const char* section, double kilo) {
        Statement s(*m_per, QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) "
                                           "VALUES (?, ?, ?, ?)"));
        s.bindText(1, QString::fromUtf8(code));
        s.bindText(2, QString::fromUtf8(day) + QStringLiteral(" 00:00:00"));
        s.bindText(3, QString::fromUtf8(section));
        s.bindDouble(4, kilo);
        s.step();
    }
    QString rides() {
        return m_per->dump(QStringLiteral("SELECT ROSEN_CD, substr(JOSHA_DATE, 1, 10), JOSHA_KUKAN, "
                                          "printf('%.1f', JOSHA_KILO) FROM JOSHA ORDER BY JOSHA_DATE, ROSEN_CD"));
    }

private slots:
    void init() {
        openDatabases(true);
        test::writeFixtureNetwork(*m_ref);
        m_net = network::loadStations(*m_ref);
    }
    void cleanup() { closeDatabases(); }

    // A leg partly ridden before counts only the rest as new; the same journey again on the same day changes
    // nothing, on another day adds a ride of 0 km.
    void partlyRiddenThenAgain() {
        ride("100001", "2024-01-01", "甲～乙", 10);
        netroute::Journey j = find({QStringLiteral("甲"), QStringLiteral("丙")});
        QCOMPARE(j.legs.size(), 1);
        QCOMPARE(j.legs[0].kilo, 20.0);
        QCOMPARE(j.legs[0].newKilo, 10.0);
        RecordResult r = recordJourney(*m_per, m_net, j, QDate(2024, 5, 3), false);
        QCOMPARE(r.summary(), QStringLiteral("新規 10.0 km、完乗 0 路線"));
        j = find({QStringLiteral("甲"), QStringLiteral("丙")});
        QCOMPARE(j.newKilo(), 0.0);
        r = recordJourney(*m_per, m_net, j, QDate(2024, 5, 3), false);
        QCOMPARE(r.unchanged, 1);
        r = recordJourney(*m_per, m_net, j, QDate(2024, 5, 4), false);
        QCOMPARE(r.inserted, 1);
        QCOMPARE(rides(), QStringLiteral("100001|2024-01-01|甲～乙|10.0|\n"
                                         "100001|2024-05-03|甲～丙|10.0|\n"
                                         "100001|2024-05-04|甲～丙|0.0|\n"));
    }

    void wholeKilometresWhenChosen() {
        ride("100001", "2024-01-01", "甲～乙", 10);
        recordJourney(*m_per, m_net, find({QStringLiteral("甲"), QStringLiteral("丙")}), QDate(2024, 5, 3), true);
        QVERIFY(rides().contains(QStringLiteral("100001|2024-05-03|甲～丙|20.0|")));
    }

    // A leg on a route ridden earlier that day joins that day's ride; a journey back the same way adds nothing.
    void sameDay() {
        ride("100001", "2024-05-03", "丙～丁", 10);
        RecordResult r = recordJourney(*m_per, m_net, find({QStringLiteral("甲"), QStringLiteral("乙@本線A")}),
                                       QDate(2024, 5, 3), false);
        QCOMPARE(r.joined, 1);
        const netroute::Journey back = find({QStringLiteral("丙"), QStringLiteral("辛"), QStringLiteral("丙")});
        QCOMPARE(back.legs.size(), 2);
        QCOMPARE(back.legs[1].newKilo, 0.0);
        r = recordJourney(*m_per, m_net, back, QDate(2024, 5, 3), false);
        QCOMPARE(r.inserted, 1);
        QCOMPARE(r.unchanged, 1);
        QCOMPARE(rides(), QStringLiteral("100001|2024-05-03|丙～丁、甲～乙|20.0|\n"
                                         "100006|2024-05-03|丙～辛|3.0|\n"));
    }

    void completedRoutes() {
        const RecordResult r =
            recordJourney(*m_per, m_net, find({QStringLiteral("甲"), QStringLiteral("己")}), QDate(2024, 5, 3), false);
        // 支線B is ridden end to end, 本線A only in part.
        QCOMPARE(r.summary(), QStringLiteral("新規 22.0 km、完乗 1 路線"));
        QVERIFY(rides().contains(QStringLiteral("乙～己(全区間)|12.0")));
    }

    // The screen from the keyboard alone: stations by reading and name, Enter through the fields, Enter on the
    // empty via field searches, Alt+R records.
    void screenFromTheKeyboard() {
        TJourney screen;
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        auto* grid = screen.findChild<QTableView*>(QStringLiteral("DBGrid1"));
        QAbstractItemModelTester tester(grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&screen));
        screen.findChild<QWidget*>(QStringLiteral("EditFrom"))->setFocus();
        typeText(QStringLiteral("こう"));
        auto* candidates = screen.findChild<QListWidget*>(QStringLiteral("ListCandidates"));
        QVERIFY(candidates->count() > 0);
        QVERIFY(candidates->item(0)->text().startsWith(QStringLiteral("甲")));
        key(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("EditTo"));
        typeText(QStringLiteral("乙"));
        // Two places named 乙: the list tells them apart by their routes; Down takes the second.
        QCOMPARE(candidates->count(), 2);
        const int far = candidates->item(0)->text().contains(QStringLiteral("遠方X")) ? 0 : 1;
        if (far == 0)
            key(Qt::Key_Down);
        key(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("EditVia"));
        typeText(QStringLiteral("己"));
        key(Qt::Key_Return);
        key(Qt::Key_Return); // empty via field: search
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->model()->index(1, 2).data().toString(), QStringLiteral("乙～己(全区間)"));
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("LabelTotal"))->text(),
                 QStringLiteral("合計 34.0 km　うち新規 22.0 km　(3 区間)"));
        // Alt+R under a window system; here the button is focused and pressed with Space.
        auto* recordButton = screen.findChild<QAbstractButton*>(QStringLiteral("BitBtnR"));
        QCOMPARE(recordButton->text(), QStringLiteral("登録(&R)"));
        recordButton->setFocus();
        key(Qt::Key_Space);
        QCOMPARE(screen.resultText(), QStringLiteral("新規 22.0 km、完乗 1 路線"));
        QCOMPARE(m_per->scalar(QStringLiteral("SELECT count(*) FROM JOSHA")).toInt(), 2);
    }

    // A network changed by another connection (an import) is read again when the screen comes back.
    void networkReadAgain() {
        TJourney screen;
        QVERIFY(screen.setJourney({QStringLiteral("甲"), QStringLiteral("己")}, QDate(2024, 5, 3)));
        QCOMPARE(screen.journey().legs.size(), 2);
        auto other = Database::openFile(m_ref->path(), DbKind::Reference);
        other->exec(
            QStringLiteral("DELETE FROM EKI WHERE ROSEN_CD = '100002'; DELETE FROM MASTER WHERE ROSEN_CD = '100002'"));
        screen.activated();
        QVERIFY(screen.search());
        QStringList legs;
        for (const netroute::Leg& l : screen.journey().legs)
            legs << l.name;
        QCOMPARE(legs, (QStringList{"新幹線S", "連絡C"}));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // contained in stdout (exit 0) or stderr
        QTest::newRow("legs and total")
            << QStringList{"甲", "己"} << 0
            << "100001\t本線A\t甲～乙\t10.0\t10.0\n100002\t支線B\t乙～己(全区間)\t12.0\t12.0\n"
               "合計\t22.0\t22.0\n";
        QTest::newRow("via, no shinkansen") << QStringList{"甲", "丁", "--via", "丙", "--no-shinkansen"} << 0
                                            << "100001\t本線A\t甲～丁(全区間)\t30.0\t30.0\n合計\t30.0\t30.0\n";
        QTest::newRow("unknown station") << QStringList{"甲", "無名"} << 1 << "「無名」";
        QTest::newRow("ambiguous station") << QStringList{"甲", "乙"} << 1 << "乙@遠方X";
        QTest::newRow("unreachable") << QStringList{"甲", "壬"} << 1 << "経路が見つかりません";
        QTest::newRow("one station") << QStringList{"甲"} << 2 << "発駅と着駅";
        QTest::newRow("record without a date") << QStringList{"甲", "丁", "--record"} << 2 << "--date";
        QTest::newRow("impossible date") << QStringList{"甲", "丁", "--date", "2024-02-30"} << 2 << "2024-02-30";
        QTest::newRow("unknown option") << QStringList{"甲", "丁", "--fast"} << 2 << "--fast";
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QTemporaryDir home;
        QDir().mkpath(home.filePath(QStringLiteral("data/tabiroku")));
        {
            auto ref =
                Database::openFile(home.filePath(QStringLiteral("data/tabiroku/Tabiroku.db")), DbKind::Reference);
            test::writeFixtureNetwork(*ref);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QString out, err;
        auto run = [&](const QStringList& a) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(TABIROKU_EXECUTABLE), QStringList{QStringLiteral("--route")} + a);
            if (!p.waitForFinished(60000))
                return -100;
            out = QString::fromUtf8(p.readAllStandardOutput());
            err = QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -200;
        };
        QCOMPARE(run(args), exitCode);
        QVERIFY2((exitCode == 0 ? out : err).contains(output), qPrintable(out + err));
        if (exitCode != 0)
            return;
        // Recorded twice: nothing new the second time.
        QCOMPARE(run(args + QStringList{"--date", "2024-05-03", "--record"}), 0);
        QVERIFY2(out.contains(QStringLiteral("完乗 1 路線")), qPrintable(out));
        QCOMPARE(run(args + QStringList{"--date", "2024-05-04", "--record"}), 0);
        QVERIFY2(out.contains(QStringLiteral("新規 0.0 km、完乗 0 路線")), qPrintable(out));
    }
};

QTEST_MAIN(TestJourney)
#include "test_journey.moc"
