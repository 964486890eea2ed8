#pragma once

#include "data/database.h"

#include <initializer_list>

// A small network written into a reference database, read back as every user reads it:
//
//   本線A   甲 0 ── 乙 10 ── 丙 20 ── 丁 30
//   支線B            乙 0 ── 戊 5 ── 己 12
//   新幹線S 甲 0 ─────────────────── 丁 25        (category 13)
//   迂回T1  甲 0 ── 癸 15;  迂回T2  癸 0 ── 丁 15  (30 km like 本線A, but with a change)
//   環状L   丙 0 ── 庚 3 ── 辛 6 ── 丙 9           (a loop: its first station is also its last)
//   連絡C   丁駅 0 ── 己 8                         (丁駅 is 丁 by its station code, not by its name)
//   遠方X   乙 0 ── 壬 4                           (another 乙, far away; nothing connects to it)
//   廃線Z   甲 0 ── 丁 1                           (abolished)
namespace tabi::test {

struct FixtureStation {
    const char* name;
    double kilo;
    double lat, lon;
    qint64 code = 0; // EKI_ID.STATION_ID, 0 for none
};

struct FixtureRoute {
    const char* code;
    const char* name;
    const char* category;
    double length;
    std::initializer_list<FixtureStation> stations;
    const char* abolished = nullptr;
};

inline void writeFixtureNetwork(Database& ref) {
    // Places: one position per name, 乙 of 遠方X far from the other.
    const double k = 35.0, o = 139.0;
    const std::initializer_list<FixtureRoute> routes = {
        {"100001",
         "本線A",
         "11",
         30,
         {{"甲", 0, k, o}, {"乙", 10, k, o + 0.1}, {"丙", 20, k, o + 0.2}, {"丁", 30, k, o + 0.3, 900}}},
        {"100002",
         "支線B",
         "11",
         12,
         {{"乙", 0, k, o + 0.1}, {"戊", 5, k + 0.05, o + 0.1}, {"己", 12, k + 0.1, o + 0.1}}},
        {"100003", "新幹線S", "13", 25, {{"甲", 0, k, o}, {"丁", 25, k, o + 0.3, 900}}},
        {"100004", "迂回T1", "11", 15, {{"甲", 0, k, o}, {"癸", 15, k - 0.1, o + 0.15}}},
        {"100005", "迂回T2", "11", 15, {{"癸", 0, k - 0.1, o + 0.15}, {"丁", 15, k, o + 0.3, 900}}},
        {"100006",
         "環状L",
         "11",
         9,
         {{"丙", 0, k, o + 0.2}, {"庚", 3, k + 0.02, o + 0.2}, {"辛", 6, k + 0.02, o + 0.22}, {"丙", 9, k, o + 0.2}}},
        {"100007", "連絡C", "11", 8, {{"丁駅", 0, k, o + 0.301, 900}, {"己", 8, k + 0.1, o + 0.1}}},
        {"100008", "遠方X", "11", 4, {{"乙", 0, k + 5, o}, {"壬", 4, k + 5, o + 0.05}}},
        {"100009", "廃線Z", "11", 1, {{"甲", 0, k, o}, {"丁", 1, k, o + 0.3, 900}}, "2000-04-01 00:00:00"},
    };
    ref.exec(QStringLiteral("DELETE FROM MASTER; DELETE FROM EKI; DELETE FROM EKI_ICHI; DELETE FROM EKI_ID;"));
    Statement master(ref, QStringLiteral("INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, KBN_CD, KILO, HAISHI_DATE) "
                                         "VALUES (?, ?, ?, ?, ?)"));
    Statement eki(ref, QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, EKI_KANJI, EKI_KANA) VALUES (?, ?, ?, ?)"));
    Statement ichi(ref,
                   QStringLiteral("INSERT INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE) VALUES (?, ?, ?, ?)"));
    Statement id(ref, QStringLiteral("INSERT INTO EKI_ID (ROSEN_CD, KILO, STATION_ID) VALUES (?, ?, ?)"));
    for (const FixtureRoute& r : routes) {
        const QString code = QString::fromUtf8(r.code);
        master.bindText(1, code);
        master.bindText(2, QString::fromUtf8(r.name));
        master.bindText(3, QString::fromUtf8(r.category));
        master.bindDouble(4, r.length);
        if (r.abolished)
            master.bindText(5, QString::fromUtf8(r.abolished));
        else
            master.bindNull(5);
        master.step();
        master.reset();
        for (const FixtureStation& s : r.stations) {
            const QString name = QString::fromUtf8(s.name);
            eki.bindText(1, code);
            eki.bindDouble(2, s.kilo);
            eki.bindText(3, name);
            // Readings in hiragana for 甲 only, so that a search in katakana has to fold them.
            eki.bindText(4, name == QStringLiteral("甲") ? QStringLiteral("こう") : QString());
            eki.step();
            eki.reset();
            ichi.bindText(1, code);
            ichi.bindDouble(2, s.kilo);
            ichi.bindDouble(3, s.lat);
            ichi.bindDouble(4, s.lon);
            ichi.step();
            ichi.reset();
            if (s.code) {
                id.bindText(1, code);
                id.bindDouble(2, s.kilo);
                id.bindInt(3, s.code);
                id.step();
                id.reset();
            }
        }
    }
}

} // namespace tabi::test
