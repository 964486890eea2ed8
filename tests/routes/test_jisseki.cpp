#include "data/settingsfile.h"
#include "routes/stationdistancedialog.h"
#include "routes/tjisseki.h"
#include "routes/tmaster.h"
#include "support/dialogseam.h"
#include "support/tempenv.h"

#include <QLineEdit>
#include <QtTest>

using namespace tabi;

// The ride record screen: read-only header, rides through the picker, and the route it shares with TMaster.
class TestJisseki : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerIsReadOnly() {
        test::TempEnv env;
        routes::TJisseki j;
        const auto edits = j.findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
        int header = 0;
        for (QLineEdit* e : edits)
            if (e->objectName().startsWith(QLatin1String("Edit"))) {
                QVERIFY2(e->isReadOnly(), qPrintable(e->objectName()));
                ++header;
            }
        QCOMPARE(header, 10);
    }

    void ridesAndSharedRememberedRoute() {
        test::TempEnv env;
        test::DialogAnswerer answers;
        routes::TJisseki j;
        settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("601001"));
        j.activated();
        QCOMPARE(j.routes().asString(QStringLiteral("ROSEN_CD")), QStringLiteral("601001"));
        QVERIFY(j.rides().isEmpty());
        answers.answerChoice(1); // the end before the start: recorded as the loss of a section
        answers.onExec([](QDialog& d) {
            auto* picker = qobject_cast<routes::TEKI2*>(&d);
            picker->stationCursor().last();
            picker->kiten();
            picker->stationCursor().first();
            picker->shuten();
            picker->substitute();
            return int(QDialog::Accepted);
        });
        j.rideCommand();
        QVERIFY(j.rides().asFloat(QStringLiteral("JOSHA_KILO")) < 0);
        j.rides().post();
        QCOMPARE(j.rides().recordCount(), 1);

        answers.onExec([](QDialog&) { return int(QDialog::Rejected); }); // "取消(&C)", Esc or the close box
        j.rideCommand();
        QCOMPARE(j.rides().recordCount(), 1);

        // "終了(&E)" here decides where a route master screen lands next.
        j.routes().next();
        const QString code = j.routes().asString(QStringLiteral("ROSEN_CD"));
        j.finishCommand();
        routes::TMaster m;
        m.activated();
        QCOMPARE(m.routes().asString(QStringLiteral("ROSEN_CD")), code);
    }
};

QTEST_MAIN(TestJisseki)
#include "test_jisseki.moc"
