// A record screen keeps its place whenever the user leaves it, not only on 終了: coming back to it, or starting
// the program again, finds the same record (and, for the route screen, the same page).
#include "app/mainform.h"
#include "data/settingsfile.h"
#include "records/registration.h"
#include "routes/registration.h"
#include "routes/tmaster.h"
#include "support/tempenv.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QtTest>
#include <memory>

using namespace tabi;

class TestPlace : public QObject {
    Q_OBJECT
private slots:
    void keptWhenLeft() {
        routes::registerScreens();
        records::registerScreens();
        test::TempEnv env;
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.command(QStringLiteral("ActionMotoDataRosen"))->trigger();
        auto* master = qobject_cast<routes::TMaster*>(form.mdiArea()->currentSubWindow()->widget());
        QVERIFY(master);
        master->routes().last();
        const QString code = master->routes().asString(QStringLiteral("ROSEN_CD"));
        master->showPage(routes::TMaster::PageRides);

        // Another screen becomes active: the route screen's place is stored already.
        form.command(QStringLiteral("ActionConfig"))->trigger();
        QCOMPARE(settings::readString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QString()), code);
        form.mdiArea()->currentSubWindow()->close();

        // Back on the route screen it is still on that route.
        form.mdiArea()->setActiveSubWindow(form.mdiArea()->subWindowList().first());
        QCOMPARE(master->routes().asString(QStringLiteral("ROSEN_CD")), code);

        // Closed and opened again (as after a restart): the same route, on the rides page.
        form.mdiArea()->closeAllSubWindows();
        QCoreApplication::processEvents();
        form.command(QStringLiteral("ActionMotoDataRosen"))->trigger();
        auto* again = qobject_cast<routes::TMaster*>(form.mdiArea()->currentSubWindow()->widget());
        QVERIFY(again);
        QCOMPARE(again->routes().asString(QStringLiteral("ROSEN_CD")), code);
        QCOMPARE(again->pages()->currentIndex(), int(routes::TMaster::PageRides));
    }
};

QTEST_MAIN(TestPlace)
#include "test_place.moc"
