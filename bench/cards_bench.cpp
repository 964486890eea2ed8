#include "cards_bench.h"

#include "data/database.h"
#include "data/settingsfile.h"
#include "records/cardscreens.h"
#include "ui/dbnavigator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace tabi;

namespace {

constexpr int kRecords = 2000;

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// 2,000 records replace the supplied ones; every other record has its first-visit row.
void fill(const QString& table, const QString& codeField, const QString& detailTable, const QString& extra) {
    auto ref = Database::open(DbKind::Reference);
    auto per = Database::open(DbKind::Personal);
    Transaction tr(*ref);
    Transaction tp(*per);
    ref->exec(QStringLiteral("DELETE FROM %1").arg(table));
    per->exec(QStringLiteral("DELETE FROM %1").arg(detailTable));
    Statement ins(*ref,
                  QStringLiteral("INSERT INTO %1 (%2, KEN, BIKO1) VALUES (?, '長野県', ?)").arg(table, codeField));
    Statement det(*per, QStringLiteral("INSERT INTO %1 (%2, %3, BIKO) VALUES (?, '2020-05-01 00:00:00', '初回')")
                            .arg(detailTable, codeField, extra));
    for (int i = 0; i < kRecords; ++i) {
        const QString code = QStringLiteral("%1").arg(100000 + i * 7, 6, 10, QLatin1Char('0'));
        {
            StatementScope s(ins);
            ins.bindText(1, code);
            ins.bindText(2, QStringLiteral("備考 %1").arg(i));
            ins.step();
        }
        if (i % 2 == 0) {
            StatementScope s(det);
            det.bindText(1, code);
            det.step();
        }
    }
    tr.commit();
    tp.commit();
}

void benchCard(const char* name, const QString& key, const std::function<records::RecordCard*()>& make) {
    settings::writeString(QStringLiteral("Form"), key, QStringLiteral("100700"));
    QElapsedTimer t;
    QVector<double> opens;
    for (int i = 0; i < 5; ++i) {
        t.start();
        std::unique_ptr<records::RecordCard> c(make());
        c->resize(1082, 531);
        c->show();
        c->activated();
        QApplication::processEvents();
        opens << t.nsecsElapsed() / 1e6;
    }
    std::printf("open %s (create, show, position): median %.1f ms  (target <= 150 ms)\n", name, median(opens));

    std::unique_ptr<records::RecordCard> c(make());
    c->resize(1082, 531);
    c->show();
    c->activated();
    QApplication::processEvents();
    QVector<double> moves;
    for (int i = 0; i < 500 && !c->records().eof(); ++i) {
        t.start();
        c->navigator()->click(ui::DBNavigator::Next); // as the user presses it: pending edits first, then the move
        (void)c->detail().recordCount();              // the group's fields read the linked row while repainting
        QApplication::processEvents();
        moves << t.nsecsElapsed() / 1e6;
    }
    std::printf("%s next record with its first-visit row following: median %.2f ms  (target <= 5 ms)\n", name,
                median(moves));
}

} // namespace

void runCardsBench(const QString& dir) {
    paths::setDataDir(dir);
    settings::setFilePath(dir + QStringLiteral("/bench.ini"));
    fill(QStringLiteral("SAKUDO"), QStringLiteral("ROSEN_CD"), QStringLiteral("SAKUDOJ"), QStringLiteral("JOSHA_DATE"));
    fill(QStringLiteral("OTHERS"), QStringLiteral("OTHERS_CD"), QStringLiteral("OTHERSJ"),
         QStringLiteral("VISIT_DATE"));
    benchCard("TFSAKUDO", QStringLiteral("SakudoForMove"), [] { return new records::TFSAKUDO; });
    benchCard("TF_Others2", QStringLiteral("OthersForMove"), [] { return new records::TF_Others2; });
}
