#include "editors_bench.h"

#include "data/cursor.h"
#include "data/database.h"
#include "records/itinerary.h"
#include "records/mastereditors.h"
#include "ui/dbctrlgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace tabi;

namespace {

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

constexpr int kItineraries = 5000;
constexpr int kLegs = 10;

void addItineraries(Database& per) {
    Transaction tx(per);
    per.exec(QStringLiteral("DELETE FROM RYOTEIM; DELETE FROM RYOTEID;"));
    const QString count = QString::number(kItineraries), legs = QString::number(kLegs),
                  last = QString::number(kItineraries * kLegs - 1);
    per.exec(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ") + count +
        QStringLiteral(") INSERT INTO RYOTEIM (RYOTEI_CD, RYOTEI_NAME, RYOTEI_DATE) "
                       "SELECT printf('R%07d', i), '旅程' || i, date('2000-01-01', '+' || i || ' days') || ' 00:00:00' "
                       "FROM n"));
    // Legs entered itinerary by itinerary, leg by leg, as a user would: rowid order is entry order.
    per.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ") + last +
             QStringLiteral(") INSERT INTO RYOTEID (RYOTEI_CD, HATSU_TIME, HATSU_EKI, R_CD, R_NAME, UNCHIN, RYOKIN, "
                            "CHAKU_TIME, CHAKU_EKI, BIKO) "
                            "SELECT printf('R%07d', i / L + 1), printf('1899-12-30 %02d:%02d:00', 6 + i % L, i % 60), "
                            "'駅' || i, '10' || (i % 10), '列車' || i, 170 + i % 900, (i % 3) * 500, "
                            "printf('1899-12-30 %02d:%02d:00', 7 + i % L, i % 60), '駅' || (i + 1), '' FROM n")
                 .replace(QStringLiteral(" L"), QLatin1Char(' ') + legs));
    tx.commit();
}

} // namespace

void runEditorsBench(const QString& dir) {
    paths::setDataDir(dir);
    addItineraries(*Database::open(DbKind::Personal));

    QElapsedTimer t;
    QVector<double> opens;
    for (int i = 0; i < 5; ++i) {
        t.start();
        auto s = std::make_unique<records::TRFORM>();
        s->resize(1082, 531);
        s->show();
        s->activated();
        QApplication::processEvents();
        opens << t.nsecsElapsed() / 1e6;
    }
    std::printf("open TRFORM (%d itineraries x %d legs): median %.1f ms  (target <= 150 ms)\n", kItineraries, kLegs,
                median(opens));

    {
        records::TRFORM s;
        s.resize(1082, 531);
        s.show();
        QApplication::processEvents();
        QVector<double> moves;
        for (int i = 0; i < 300; ++i) {
            t.start();
            s.itineraries().next();
            QApplication::processEvents(); // the legs' panels repaint from the linked cursor
            moves << t.nsecsElapsed() / 1e6;
        }
        if (s.legs().recordCount() != kLegs)
            std::printf("  (unexpected: %d legs)\n", s.legs().recordCount());
        std::printf("next itinerary with its legs following: median %.2f ms  (target <= 5 ms)\n", median(moves));
    }

    records::TBunrui b;
    b.resize(512, 531);
    b.show();
    b.activated();
    QApplication::processEvents();
    QVector<double> switches;
    for (int i = 0; i < 60; ++i) {
        t.start();
        b.levelBox()->setCurrentIndex((i + 1) % 3);
        QApplication::processEvents();
        switches << t.nsecsElapsed() / 1e6;
    }
    std::printf("TBunrui level switch: median %.2f ms  (target <= 20 ms)\n", median(switches));
}
