#pragma once

#include "../netmap/fixture.h"
#include "data/database.h"
#include "data/routenames.h"
#include "netmap/coverage.h"
#include "network/network.h"

// The small network of these tests, in memory and as the reference database holds it.
namespace tabi::test {

// 100001 東海道線 (JR東日本): 東京 0, 品川 6.8, 川崎 18.2, 横浜 28.8, positioned, category 11.
// 200001 本線 (甲鉄道): 甲 0, 乙 5.0; 200002 本線 (乙鉄道): 丙 0, 丁 3.0, both positioned, category 21.
// 300001 未測線 (丙鉄道): 戊 0, 己 4.0, without positions.
inline tabi::network::Network fixtureNetwork() {
    tabi::network::Route tokaido = makeRoute("100001", 28.8,
                                             {{"東京", 0, 13, 35.6812, 139.7671},
                                              {"品川", 6.8, 13, 35.6285, 139.7388},
                                              {"川崎", 18.2, 14, 35.5313, 139.6969},
                                              {"横浜", 28.8, 14, 35.4658, 139.6223}});
    tokaido.name = QStringLiteral("東海道線");
    tabi::network::Route a =
        makeRoute("200001", 5.0, {{"甲", 0, 27, 34.70, 135.50}, {"乙", 5.0, 27, 34.74, 135.52}}, false, "21");
    a.name = QStringLiteral("本線");
    tabi::network::Route b =
        makeRoute("200002", 3.0, {{"丙", 0, 40, 33.59, 130.42}, {"丁", 3.0, 40, 33.61, 130.44}}, false, "21");
    b.name = QStringLiteral("本線");
    tabi::network::Route c = makeRoute("300001", 4.0, {{"戊", 0, 1, 0, 0}, {"己", 4.0, 1, 0, 0}}, false, "31");
    c.name = QStringLiteral("未測線");
    return makeNetwork({tokaido, a, b, c});
}

inline QHash<QString, RouteNames> fixtureNames() {
    return {{QStringLiteral("100001"), {QStringLiteral("東海道線"), QStringLiteral("JR東日本")}},
            {QStringLiteral("200001"), {QStringLiteral("本線"), QStringLiteral("甲鉄道")}},
            {QStringLiteral("200002"), {QStringLiteral("本線"), QStringLiteral("乙鉄道")}},
            {QStringLiteral("300001"), {QStringLiteral("未測線"), QStringLiteral("丙鉄道")}}};
}

// Replaces the routes and stations of the reference database by the network's, with their operators.
inline void storeNetwork(Database& ref, const tabi::network::Network& net, const QHash<QString, RouteNames>& names) {
    Transaction tx(ref);
    ref.exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI; DELETE FROM EKI_ICHI; DELETE FROM ROSEN_SEN"));
    Statement master(ref, QStringLiteral("INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, SHOZOKU, KILO) "
                                         "VALUES (?, ?, ?, ?, ?)"));
    Statement eki(ref, QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, EKI_KANJI, SHURUI) "
                                      "VALUES (?, ?, '○', ?, '旅')"));
    Statement ichi(ref, QStringLiteral("INSERT INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD) "
                                       "VALUES (?, ?, ?, ?, ?)"));
    for (const tabi::network::Route& r : net.routes) {
        {
            StatementScope s(master);
            master.bindText(1, r.code);
            master.bindText(2, r.name);
            master.bindText(3, r.category);
            master.bindText(4, names.value(r.code).operatorName);
            master.bindDouble(5, r.length);
            master.step();
        }
        for (const tabi::network::Station& st : r.stations) {
            {
                StatementScope s(eki);
                eki.bindText(1, r.code);
                eki.bindDouble(2, st.kilo);
                eki.bindText(3, st.name);
                eki.step();
            }
            if (st.positioned) {
                StatementScope s(ichi);
                ichi.bindText(1, r.code);
                ichi.bindDouble(2, st.kilo);
                ichi.bindDouble(3, st.lat);
                ichi.bindDouble(4, st.lon);
                ichi.bindInt(5, st.ken);
                ichi.step();
            }
        }
    }
    tx.commit();
}

inline netmap::Ride ride(const char* code, const char* day, const char* section, double kilo) {
    return {QString::fromUtf8(code), QString::fromUtf8(day), QString::fromUtf8(section), kilo};
}

} // namespace tabi::test
