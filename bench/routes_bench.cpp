#include "routes_bench.h"

#include "data/cursor.h"
#include "data/database.h"
#include "data/settingsfile.h"
#include "routes/codejumpdialog.h"
#include "routes/drawstations.h"
#include "routes/linediagram.h"
#include "routes/tmaster.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace tabi;

namespace {
double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}
} // namespace

void runRoutesBench(const QString& dir) {
    paths::setDataDir(dir);
    settings::setFilePath(dir + QStringLiteral("/bench.ini"));
    // One long route of 300 stations for the line diagram.
    const QString longRoute = QStringLiteral("100999");
    {
        auto ref = Database::open(DbKind::Reference);
        Transaction tx(*ref);
        ref->exec(QStringLiteral(
                      "INSERT OR REPLACE INTO MASTER (ROSEN_CD, ROSEN_KANJI, KILO) VALUES ('%1', '長大路線', 599.0)")
                      .arg(longRoute));
        ref->exec(QStringLiteral("DELETE FROM EKI WHERE ROSEN_CD = '%1'").arg(longRoute));
        for (int i = 0; i < 300; ++i)
            ref->exec(
                QStringLiteral(
                    "INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, EKI_KANJI, SHURUI) VALUES ('%1', %2, '○', '駅%3', '%4')")
                    .arg(longRoute)
                    .arg(i * 2.0)
                    .arg(i)
                    .arg(i % 10 == 0 ? QStringLiteral("貨") : QStringLiteral("旅")));
        tx.commit();
    }
    settings::writeString(QStringLiteral("Form"), QStringLiteral("CodeForMove"), QStringLiteral("101000"));

    QElapsedTimer t;
    QVector<double> opens;
    for (int i = 0; i < 5; ++i) {
        t.start();
        auto m = std::make_unique<routes::TMaster>();
        m->resize(1082, 531);
        m->show();
        m->activated();
        QApplication::processEvents();
        opens << t.nsecsElapsed() / 1e6;
    }
    std::printf("open TMaster (create, show, position): median %.1f ms  (target <= 150 ms)\n", median(opens));

    routes::TMaster m;
    m.resize(1082, 531);
    m.show();
    m.activated();
    QApplication::processEvents();
    QVector<double> moves;
    for (routes::TMaster::Page page : {routes::TMaster::PageBasic, routes::TMaster::PageRides}) {
        m.showPage(page);
        QApplication::processEvents();
        for (int i = 0; i < 300; ++i) {
            t.start();
            m.routes().next();
            // The linked cursors follow on demand: the visible grid and fields read them while repainting.
            (void)m.openings().recordCount();
            (void)m.stations().recordCount();
            (void)m.rides().recordCount();
            (void)m.drawingStations().eof();
            QApplication::processEvents();
            moves << t.nsecsElapsed() / 1e6;
        }
    }
    std::printf("next route with linked cursors following: median %.2f ms  (target <= 5 ms)\n", median(moves));

    routes::TCode_I2 jump(Database::open(DbKind::Reference));
    jump.show();
    QVector<double> keys;
    const QString typed = QStringLiteral("304017");
    for (int round = 0; round < 20; ++round)
        for (int k = 1; k <= typed.size(); ++k) {
            t.start();
            jump.codeInput()->setText(typed.left(k)); // every keystroke searches
            QApplication::processEvents();
            keys << t.nsecsElapsed() / 1e6;
        }
    std::printf("jump dialog incremental search per keystroke: median %.2f ms  (target <= 5 ms)\n", median(keys));

    // A name search compares the typed text with every route's name, kana and operator held in memory; a text
    // that no route holds compares them all, the worst case. The first keystroke of a showing reads them.
    const int routeCount =
        int(Database::open(DbKind::Reference)->scalar(QStringLiteral("SELECT count(*) FROM MASTER")).toLongLong());
    QVector<double> nameKeys, missKeys, searchOnly;
    // Each showing is answered at once: only what it prepares is wanted here.
    const ui::DialogHandler previous = ui::setDialogHandler([](const ui::DialogRequest&) { return ui::DialogReply{}; });
    for (const auto& [text, into] :
         {std::pair{QStringLiteral("事業者96"), &nameKeys}, std::pair{QStringLiteral("どこにもない路線名"), &missKeys}})
        for (int round = 0; round < 20; ++round) {
            jump.setCode(QString());
            jump.run(); // not shown: reads the table afresh at the next search
            for (int k = 1; k <= text.size(); ++k) {
                t.start();
                jump.codeInput()->setText(text.left(k));
                searchOnly << t.nsecsElapsed() / 1e6;
                QApplication::processEvents();
                *into << t.nsecsElapsed() / 1e6;
            }
        }
    ui::setDialogHandler(previous);
    std::printf("jump dialog name search per keystroke, %d routes: median %.2f ms, slowest %.2f ms (first key reads "
                "the names); no match: median %.2f ms  (target <= 5 ms)\n",
                routeCount, median(nameKeys), *std::max_element(nameKeys.begin(), nameKeys.end()), median(missKeys));
    std::printf("  of which the search itself (before repainting): median %.2f ms\n", median(searchOnly));

    auto ref = Database::open(DbKind::Reference);
    TableCursor stations(ref, QStringLiteral("EKI"), QStringLiteral("ROSEN_CD"));
    stations.open();
    QVector<double> draws;
    for (int i = 0; i < 10; ++i) {
        t.start();
        const QVector<routes::DrawStation> rows = routes::readDrawStations(stations, longRoute);
        routes::LineDiagram diagram;
        diagram.draw(599.0, rows, routes::ScaleNormal);
        draws << t.nsecsElapsed() / 1e6;
    }
    std::printf("line diagram of a 300-station route (read + draw, 32000 x 260): median %.1f ms  (target <= 50 ms)\n",
                median(draws));
}
