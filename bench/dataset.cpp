#include "dataset.h"

#include "data/database.h"

#include <QDate>
#include <QDir>
#include <QRandomGenerator>
#include <sqlite3.h>

namespace tabi::bench {

void generateDataset(const QString& dir, const DatasetSize& size) {
    QDir(dir).mkpath(QStringLiteral("."));
    QFile::remove(dir + QStringLiteral("/Tabiroku.db"));
    QFile::remove(dir + QStringLiteral("/JJ.db"));
    auto ref = Database::openFile(dir + QStringLiteral("/Tabiroku.db"), DbKind::Reference);
    auto per = Database::openFile(dir + QStringLiteral("/JJ.db"), DbKind::Personal);
    QRandomGenerator rng(20261209);

    Transaction tr(*ref);
    ref->exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI; DELETE FROM KAITSU; DELETE FROM BUNRUI; DELETE FROM BUNRUI2;"
                             "DELETE FROM KUBUN; DELETE FROM KUBUN2"));
    const int large = 6;
    for (int l = 1; l <= large; ++l)
        ref->exec(QStringLiteral("INSERT INTO BUNRUI2 (BUNRUI_CD, BUNRUI_KANJI) VALUES ('%1', '大分類%1')").arg(l));
    QStringList classCodes;
    for (int c = 0; c < size.classifications; ++c) {
        const QString code = QStringLiteral("%1%2").arg(c % large + 1).arg(c / large, 2, 10, QLatin1Char('0'));
        classCodes << code;
        ref->exec(QStringLiteral("INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES ('%1', '分類%1')").arg(code));
    }
    QStringList kbnCodes;
    for (int k = 0; k < size.categories; ++k) {
        const QString code = QStringLiteral("%1%2").arg(k % 4 + 1).arg(k / 4 + 1);
        kbnCodes << code;
        ref->exec(QStringLiteral("INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES ('%1', '区分%1')").arg(code));
    }
    for (int l = 1; l <= 4; ++l)
        ref->exec(QStringLiteral("INSERT INTO KUBUN2 (KBN_CD, KBN_KANJI) VALUES ('%1', '大区分%1')").arg(l));

    QStringList routeCodes;
    QVector<double> routeKilo;
    {
        Statement ins(*ref, QStringLiteral("INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, SHOZOKU, KITEN, SHUTEN, KILO, "
                                           "HAISHI_DATE) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int r = 0; r < size.routes; ++r) {
            const QString code = classCodes[r % size.classifications] + QStringLiteral("%1").arg(r / size.classifications, 3, 10, QLatin1Char('0'));
            const double kilo = 1.0 + rng.bounded(3000) / 10.0;
            routeCodes << code;
            routeKilo << kilo;
            StatementScope s(ins);
            ins.bindText(1, code);
            ins.bindText(2, QStringLiteral("路線%1").arg(code));
            ins.bindText(3, kbnCodes[r % size.categories]);
            ins.bindText(4, QStringLiteral("事業者%1").arg(r % 97));
            ins.bindText(5, QStringLiteral("起点%1").arg(r));
            ins.bindText(6, QStringLiteral("終点%1").arg(r));
            ins.bindDouble(7, kilo);
            if (r % 50 == 7)
                ins.bindText(8, QStringLiteral("1987-03-31 00:00:00"));
            ins.step();
        }
    }
    {
        Statement ins(*ref, QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, EKI_KANJI, SHURUI) VALUES (?, ?, ?, ?, ?)"));
        const int perRoute = size.stations / size.routes;
        for (int r = 0; r < size.routes; ++r)
            for (int i = 0; i < perRoute; ++i) {
                StatementScope s(ins);
                ins.bindText(1, routeCodes[r]);
                ins.bindDouble(2, i == perRoute - 1 ? routeKilo[r] : routeKilo[r] * i / (perRoute - 1));
                ins.bindText(3, i % 2 == 0 ? QStringLiteral("○") : QString());
                ins.bindText(4, QStringLiteral("駅%1-%2").arg(r).arg(i));
                ins.bindText(5, QStringLiteral("旅"));
                ins.step();
            }
    }
    tr.commit();

    Transaction tp(*per);
    for (int y = 0; y < size.years; ++y)
        per->exec(QStringLiteral("INSERT INTO TOSHI (NEN) VALUES (%1)").arg(size.firstYear + y));
    {
        Statement ins(*per, QStringLiteral("INSERT OR IGNORE INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES (?, ?, ?, ?)"));
        const QDate start(size.firstYear, 1, 1);
        const int days = int(start.daysTo(QDate(size.firstYear + size.years, 1, 1)));
        int made = 0;
        while (made < size.rides) {
            const int r = int(rng.bounded(size.routes));
            const QString code = made % 997 == 5 ? QStringLiteral("999%1").arg(made % 1000, 3, 10, QLatin1Char('0')) : routeCodes[r];
            double kilo = routeKilo[r] * (rng.bounded(100) + 1) / 100.0;
            if (made % 301 == 0)
                kilo = -kilo / 10.0;
            StatementScope s(ins);
            ins.bindText(1, code);
            ins.bindText(2, start.addDays(rng.bounded(days)).toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
            ins.bindText(3, QStringLiteral("起点～終点"));
            ins.bindDouble(4, kilo);
            ins.step();
            if (sqlite3_changes(per->handle()) > 0)
                ++made;
        }
    }
    tp.commit();
}

} // namespace tabi::bench
