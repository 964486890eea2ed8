// Merging the derived routes into the reference database.
#include "netimport/netimport.h"

#include "netimport/reconcile.h"
#include "netimport/register.h"
#include "netimport/trackgraph.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/rules.h"
#include "data/schema.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <cmath>

namespace tabi::net {

namespace {

constexpr double kLengthMoveKm = 0.5; // a route's length moves only by more than this (or with a new terminal)
constexpr double kThinKm = 0.010;     // polyline thinning tolerance: the map draws within 10 m of the data set

QString ts(const QString& ymd) {
    return ymd.isEmpty() ? QString() : ymd + QStringLiteral(" 00:00:00");
}

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant() : QVariant(s);
}

bool sameKm(double a, double b) {
    return std::abs(a - b) < 1e-6;
}

double round1(double km) {
    return std::round(km * 10.0) / 10.0;
}

struct MasterRow {
    QString kanji, kana, kbn, shozoku, kiten, shuten, haishi;
    double kilo = 0;
    bool kiloNull = true;
};

struct NetRow {
    QString key, code;
    int lineCode = 0;
    QString kanji, kana, kbn, shozoku, kiten, shuten, haishi, senHash;
    double kilo = 0;
    bool seen = false;
};

struct EkiRow {
    qint64 kilo10 = 0;
    QString kanji, kana, shurui, kaigyo, hyoji;
};

struct FinalStation {
    int stationCode = 0; // the data set's station code
    qint64 kilo10 = 0;
    QString kanji, kana, shurui, kaigyo, srcName;
    QString importKana;   // what the data set says, kept in NET_EKI so that the user's changes stay visible
    bool imported = true; // false: a row of the sample (or the user) that stands for this station
    qint64 oldKilo10 = -1;
    GeoPoint pos;
    int prefecture = 0;
};

void ensureTables(Database& db) {
    for (const TableDef& t : tables(DbKind::Reference)) {
        Statement s(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1"));
        s.bindText(1, t.name);
        if (!s.step())
            for (const QString& sql : tableStatements(t))
                db.exec(sql);
    }
}

class Merger {
public:
    Merger(Database& db, ImportResult& result) : m_db(db), m_result(result) {}

    void load() {
        Statement m(m_db, QStringLiteral("SELECT ROSEN_CD, ROSEN_KANJI, ROSEN_KANA, KBN_CD, SHOZOKU, KITEN, SHUTEN, "
                                         "KILO, HAISHI_DATE FROM MASTER"));
        while (m.step()) {
            MasterRow r{m.columnText(1), m.columnText(2), m.columnText(3),   m.columnText(4),  m.columnText(5),
                        m.columnText(6), m.columnText(8), m.columnDouble(7), m.columnIsNull(7)};
            const QString code = m.columnText(0);
            m_master.insert(code, r);
            noteCode(code);
        }
        Statement n(m_db, QStringLiteral("SELECT SRC_KEY, ROSEN_CD, LINE_CD, ROSEN_KANJI, ROSEN_KANA, KBN_CD, SHOZOKU, "
                                         "KITEN, SHUTEN, KILO, HAISHI_DATE, SEN_HASH FROM NET_ROSEN"));
        while (n.step()) {
            NetRow r;
            r.key = n.columnText(0);
            r.code = n.columnText(1);
            r.lineCode = int(n.columnInt(2));
            r.kanji = n.columnText(3);
            r.kana = n.columnText(4);
            r.kbn = n.columnText(5);
            r.shozoku = n.columnText(6);
            r.kiten = n.columnText(7);
            r.shuten = n.columnText(8);
            r.kilo = n.columnDouble(9);
            r.haishi = n.columnText(10);
            r.senHash = n.columnText(11);
            m_net.insert(r.key, r);
            m_netCodes.insert(r.code);
            noteCode(r.code);
        }
        Statement b(m_db, QStringLiteral("SELECT BUNRUI_CD FROM BUNRUI"));
        while (b.step())
            m_bunrui.insert(b.columnText(0));
        Statement k(m_db, QStringLiteral("SELECT KBN_CD FROM KUBUN"));
        while (k.step())
            m_kubun.insert(k.columnText(0));
    }

    void merge(const DerivedRoute& r, int index) {
        const QString code = codeFor(r, index);
        ensureGroups(r);
        const bool existed = m_master.contains(code);
        NetRow* net = m_netByCode.value(code, nullptr);
        bool changed = false;
        bool reported = false;
        auto report = [&](const QString& text) {
            m_result.report << QStringLiteral("%1 %2（%3～%4）: %5").arg(code, r.name, r.start(), r.end(), text);
            reported = true;
        };

        const double derivedKm = round1(r.length());
        MasterRow want{r.name,
                       r.kana,
                       r.kbn,
                       r.operatorName,
                       r.start(),
                       r.end(),
                       ts(r.haishiDate),
                       r.officialKm > 0 ? r.officialKm : derivedKm,
                       false};
        MasterRow final = want;
        NetRow last;
        if (!existed) {
            Statement& ins = m_db.cached(
                QStringLiteral("INSERT INTO MASTER (ROSEN_CD, ROSEN_KANJI, ROSEN_KANA, KBN_CD, SHOZOKU, "
                               "KITEN, SHUTEN, KILO, HAISHI_DATE, PHOTO) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
                               "?8, ?9, 'なし')"));
            StatementScope insScope(ins);
            ins.bindText(1, code);
            ins.bind(2, want.kanji);
            ins.bind(3, textOrNull(want.kana));
            ins.bind(4, want.kbn);
            ins.bind(5, want.shozoku);
            ins.bind(6, want.kiten);
            ins.bind(7, want.shuten);
            ins.bindDouble(8, want.kilo);
            ins.bind(9, textOrNull(want.haishi));
            ins.step();
            m_master.insert(code, want);
            ++m_result.counts.routesNew;
        } else if (!net) {
            // A route that came with the program (or that the user entered) and stands for this one: its code,
            // name and rides stay; where its definition differs, the register's terminals, length and stations
            // take its place.
            final = m_master.value(code);
            if (m_reconciled.differs.value(index)) {
                QString share;
                if (const auto it = m_ridden.constFind(code); it != m_ridden.cend())
                    share = QStringLiteral("乗車キロ %1 km の乗車率は %2 % から %3 % になります。")
                                .arg(*it, 0, 'f', 1)
                                .arg(rules::ratio(final.kilo, *it), 0, 'f', 2)
                                .arg(rules::ratio(want.kilo, *it), 0, 'f', 2);
                report(QStringLiteral("定義が登録簿と違うので、%1～%2 %3 km を %4～%5 %6 km にし、駅を入れ替えました"
                                      "（この路線の乗車記録は区間を確かめてください）。%7")
                           .arg(final.kiten, final.shuten)
                           .arg(final.kilo, 0, 'f', 1)
                           .arg(want.kiten, want.shuten)
                           .arg(want.kilo, 0, 'f', 1)
                           .arg(share));
                Statement& up = m_db.cached(
                    QStringLiteral("UPDATE MASTER SET KITEN = ?1, SHUTEN = ?2, KILO = ?3 WHERE ROSEN_CD = ?4"));
                StatementScope upScope(up);
                up.bindText(1, want.kiten);
                up.bindText(2, want.shuten);
                up.bindDouble(3, want.kilo);
                up.bindText(4, code);
                up.step();
                for (const char* table : {"EKI", "EKI_ICHI", "EKI_ID"}) {
                    Statement& del =
                        m_db.cached(QStringLiteral("DELETE FROM %1 WHERE ROSEN_CD = ?1").arg(QLatin1String(table)));
                    StatementScope delScope(del);
                    del.bindText(1, code);
                    del.step();
                }
                final.kiten = want.kiten;
                final.shuten = want.shuten;
                final.kilo = want.kilo;
                m_master[code] = final;
                changed = true;
            }
        } else {
            const MasterRow cur = m_master.value(code);
            const bool terminalMoved = want.kiten != net->kiten || want.shuten != net->shuten;
            QStringList sets;
            QList<QVariant> values;
            auto field = [&](const char* name, const QString& curV, const QString& lastV, const QString& newV,
                             QString& out) {
                out = curV;
                if (curV == lastV) {
                    if (newV != curV) {
                        sets << QStringLiteral("%1 = ?%2").arg(QLatin1String(name)).arg(values.size() + 1);
                        values << textOrNull(newV);
                        out = newV;
                    }
                } else if (newV != lastV) {
                    report(QStringLiteral("%1 は利用者の値「%2」を残しました（取り込みの値「%3」）。")
                               .arg(QLatin1String(name), curV, newV));
                }
            };
            field("ROSEN_KANJI", cur.kanji, net->kanji, want.kanji, final.kanji);
            field("ROSEN_KANA", cur.kana, net->kana, want.kana, final.kana);
            field("KBN_CD", cur.kbn, net->kbn, want.kbn, final.kbn);
            field("SHOZOKU", cur.shozoku, net->shozoku, want.shozoku, final.shozoku);
            field("KITEN", cur.kiten, net->kiten, want.kiten, final.kiten);
            field("SHUTEN", cur.shuten, net->shuten, want.shuten, final.shuten);
            field("HAISHI_DATE", cur.haishi, net->haishi, want.haishi, final.haishi);
            final.kilo = cur.kilo;
            if (sameKm(cur.kilo, net->kilo) && !cur.kiloNull) {
                if (std::abs(want.kilo - cur.kilo) > kLengthMoveKm || (terminalMoved && !sameKm(want.kilo, cur.kilo))) {
                    sets << QStringLiteral("KILO = ?%1").arg(values.size() + 1);
                    values << want.kilo;
                    final.kilo = want.kilo;
                    report(QStringLiteral("キロ程を %1 から %2 km にしました。")
                               .arg(cur.kilo, 0, 'f', 1)
                               .arg(want.kilo, 0, 'f', 1));
                }
            } else if (std::abs(want.kilo - net->kilo) > kLengthMoveKm) {
                report(QStringLiteral("キロ程は利用者の値 %1 km を残しました（取り込みの値 %2 km）。")
                           .arg(cur.kilo, 0, 'f', 1)
                           .arg(want.kilo, 0, 'f', 1));
            }
            if (!sets.isEmpty()) {
                Statement& up = m_db.cached(QStringLiteral("UPDATE MASTER SET %1 WHERE ROSEN_CD = ?%2")
                                                .arg(sets.join(QStringLiteral(", ")))
                                                .arg(values.size() + 1));
                StatementScope upScope(up);
                for (int i = 0; i < values.size(); ++i)
                    up.bind(i + 1, values[i]);
                up.bindText(values.size() + 1, code);
                up.step();
                m_master[code] = final;
                changed = true;
            }
        }

        // The imported values to compare with next time: for the length, what stands now when the import left
        // it alone, so that an untouched length stays untouched.
        last.kilo = net && sameKm(m_master.value(code).kilo, net->kilo) ? final.kilo : want.kilo;
        if (!existed)
            last.kilo = want.kilo;

        // Stations, their positions and the track, on the length that stands.
        const double scale = r.length() > 0 ? final.kilo / r.length() : 1.0;
        const bool stationsChanged = mergeStations(code, r, scale, report);
        changed = changed || stationsChanged;
        const QString senHash = writeTrack(code, r, scale, net ? net->senHash : QString());

        // NET_ROSEN: the values this import wrote.
        const bool netChanged = !net || net->key != r.key || net->kanji != want.kanji || net->kana != want.kana ||
                                net->kbn != want.kbn || net->shozoku != want.shozoku || net->kiten != want.kiten ||
                                net->shuten != want.shuten || net->haishi != want.haishi ||
                                !sameKm(net->kilo, last.kilo) || net->senHash != senHash || net->lineCode != r.lineCode;
        if (netChanged) {
            if (net && net->key != r.key) {
                Statement& del = m_db.cached(QStringLiteral("DELETE FROM NET_ROSEN WHERE SRC_KEY = ?1"));
                StatementScope delScope(del);
                del.bindText(1, net->key);
                del.step();
            }
            Statement& put =
                m_db.cached(QStringLiteral("INSERT OR REPLACE INTO NET_ROSEN (SRC_KEY, ROSEN_CD, LINE_CD, ROSEN_KANJI, "
                                           "ROSEN_KANA, KBN_CD, SHOZOKU, KITEN, SHUTEN, KILO, HAISHI_DATE, SEN_HASH) "
                                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)"));
            StatementScope putScope(put);
            put.bindText(1, r.key);
            put.bindText(2, code);
            put.bindInt(3, r.lineCode);
            put.bind(4, want.kanji);
            put.bind(5, want.kana);
            put.bind(6, want.kbn);
            put.bind(7, want.shozoku);
            put.bind(8, want.kiten);
            put.bind(9, want.shuten);
            put.bindDouble(10, last.kilo);
            put.bind(11, textOrNull(want.haishi));
            put.bindText(12, senHash);
            put.step();
        }
        if (existed) {
            if (changed)
                ++m_result.counts.routesChanged;
            else
                ++m_result.counts.routesKept;
        }
        if (reported)
            ++m_result.counts.routesReported;
    }

    // Routes of earlier imports that this copy of the data set no longer has: kept, and named.
    void reportMissing() {
        for (auto it = m_net.begin(); it != m_net.end(); ++it) {
            if (it->seen || !m_master.contains(it->code))
                continue;
            m_result.report << QStringLiteral("%1 %2（%3～%4）: 駅データにないので、そのまま残しました。")
                                   .arg(it->code, it->kanji, it->kiten, it->shuten);
            ++m_result.counts.routesReported;
        }
    }

private:
    void noteCode(const QString& code) {
        if (code.size() != 6)
            return;
        bool ok = false;
        const int serial = code.mid(3).toInt(&ok);
        if (ok)
            m_maxSerial[code.left(3)] = std::max(m_maxSerial.value(code.left(3)), serial);
    }

    QString codeFor(const DerivedRoute& r, int index) {
        QString code;
        auto take = [&](NetRow& n) {
            n.seen = true;
            m_netByCode.insert(n.code, &n);
            code = n.code;
        };
        if (auto it = m_net.find(r.key); it != m_net.end() && !it->seen) {
            take(*it);
            return code;
        }
        // The same data line between the same terminals, under a name or key that changed.
        for (auto it = m_net.begin(); it != m_net.end(); ++it)
            if (!it->seen && it->lineCode == r.lineCode &&
                ((it->kiten == r.start() && it->shuten == r.end()) ||
                 (it->kiten == r.end() && it->shuten == r.start()))) {
                take(*it);
                return code;
            }
        // The same name and terminals under a renumbered data line.
        for (auto it = m_net.begin(); it != m_net.end(); ++it)
            if (!it->seen && it->kanji == r.name && it->shozoku == r.operatorName &&
                ((it->kiten == r.start() && it->shuten == r.end()) ||
                 (it->kiten == r.end() && it->shuten == r.start()))) {
                take(*it);
                return code;
            }
        // A route of the program's sample (or the user's own) that the reconciliation matched.
        if (const QString c = m_reconciled.codeOf.value(index); !c.isEmpty() && !m_claimed.contains(c)) {
            m_claimed.insert(c);
            return c;
        }
        const int serial = m_maxSerial.value(r.bunrui) + 1;
        if (serial > 999)
            throw Error(QStringLiteral("分類 %1 の路線番号が尽きました（%2）。").arg(r.bunrui, r.name));
        m_maxSerial[r.bunrui] = serial;
        return r.bunrui + QStringLiteral("%1").arg(serial, 3, 10, QLatin1Char('0'));
    }

    void ensureGroups(const DerivedRoute& r) {
        if (!m_bunrui.contains(r.bunrui)) {
            Statement& s = m_db.cached(QStringLiteral("INSERT INTO BUNRUI (BUNRUI_CD, BUNRUI_KANJI) VALUES (?1, ?2)"));
            StatementScope sScope(s);
            s.bindText(1, r.bunrui);
            s.bindText(2, r.bunruiName.isEmpty() ? r.bunrui : r.bunruiName.left(30));
            s.step();
            m_bunrui.insert(r.bunrui);
        }
        if (!m_kubun.contains(r.kbn)) {
            Statement& s = m_db.cached(QStringLiteral("INSERT INTO KUBUN (KBN_CD, KBN_KANJI) VALUES (?1, ?2)"));
            StatementScope sScope(s);
            s.bindText(1, r.kbn);
            s.bindText(2, categoryName(r.kbn));
            s.step();
            m_kubun.insert(r.kbn);
        }
    }

    template <typename Report>
    bool mergeStations(const QString& code, const DerivedRoute& r, double scale, Report&& report) {
        QMap<qint64, EkiRow> cur;
        {
            Statement& s =
                m_db.cached(QStringLiteral("SELECT KILO, EKI_KANJI, EKI_KANA, SHURUI, KAIGYO_DATE, HYOJI FROM EKI "
                                           "WHERE ROSEN_CD = ?1"));
            StatementScope sScope(s);
            s.bindText(1, code);
            while (s.step()) {
                const qint64 k = std::llround(s.columnDouble(0) * 10.0);
                cur.insert(k, {k, s.columnText(1), s.columnText(2), s.columnText(3), s.columnText(4), s.columnText(5)});
            }
        }
        struct OldEki {
            QString srcName, kanji, kana;
            qint64 kilo10 = 0;
            bool used = false;
        };
        QList<OldEki> old;
        {
            Statement& s = m_db.cached(
                QStringLiteral("SELECT SRC_NAME, KILO, EKI_KANJI, EKI_KANA FROM NET_EKI WHERE ROSEN_CD = ?1 "
                               "ORDER BY SEQ"));
            StatementScope sScope(s);
            s.bindText(1, code);
            while (s.step())
                old.append({s.columnText(0), s.columnText(2), s.columnText(3), std::llround(s.columnDouble(1) * 10.0)});
        }
        QSet<qint64> importedKeys; // rows the last import wrote
        for (const OldEki& e : std::as_const(old))
            importedKeys.insert(e.kilo10);
        QSet<qint64> sampleUsed;
        QList<FinalStation> fin;
        QHash<QString, int> occurrence;
        for (const DerivedStation& s : r.stations) {
            const int occ = occurrence[s.name]++;
            FinalStation f;
            f.stationCode = s.code;
            f.kilo10 = std::llround(s.km * scale * 10.0);
            f.kanji = s.name;
            f.kana = s.kana;
            f.shurui = s.abolished ? QStringLiteral("廃") : QStringLiteral("駅");
            f.kaigyo = ts(s.openDate);
            f.srcName = s.name;
            f.importKana = s.kana;
            f.pos = s.pos;
            f.prefecture = s.prefecture;
            int seen = 0;
            OldEki* o = nullptr;
            for (OldEki& e : old)
                if (e.srcName == s.name && seen++ == occ) {
                    o = &e;
                    break;
                }
            if (o) {
                o->used = true;
                const auto c = cur.constFind(o->kilo10);
                if (c == cur.constEnd()) {
                    report(QStringLiteral("駅 %1 は利用者が消したか動かしたので、戻しませんでした。").arg(s.name));
                    continue;
                }
                f.oldKilo10 = o->kilo10;
                if (c->kanji != o->kanji) {
                    if (s.name != o->kanji)
                        report(QStringLiteral("駅名は利用者の値「%1」を残しました（取り込みの値「%2」）。")
                                   .arg(c->kanji, s.name));
                    f.kanji = c->kanji;
                }
                if (c->kana != o->kana) {
                    if (s.kana != o->kana)
                        report(QStringLiteral("駅 %1 のかなは利用者の値「%2」を残しました（取り込みの値「%3」）。")
                                   .arg(c->kanji, c->kana, s.kana));
                    f.kana = c->kana;
                }
            } else {
                // A station of the sample (or one the user entered) under the same name stands for it.
                for (const EkiRow& c : std::as_const(cur))
                    if (sameStation(c.kanji, s.name) && !importedKeys.contains(c.kilo10) &&
                        !sampleUsed.contains(c.kilo10)) {
                        sampleUsed.insert(c.kilo10);
                        f.imported = false;
                        f.kilo10 = c.kilo10;
                        break;
                    }
            }
            fin << f;
        }
        // Rows that stay whatever this import says: the sample's and the user's, and imported rows of stations
        // this copy of the data set no longer has.
        QSet<qint64> reserved;
        for (const EkiRow& c : std::as_const(cur))
            reserved.insert(c.kilo10);
        for (const OldEki& e : std::as_const(old))
            if (e.used)
                reserved.remove(e.kilo10);
        for (const OldEki& e : std::as_const(old))
            if (!e.used && cur.contains(e.kilo10))
                report(QStringLiteral("駅 %1 は駅データにないので、そのまま残しました。").arg(e.kanji));
        // Distinct, increasing posts on the 0.1 km the key holds.
        qint64 prev = -1;
        QString prevName;
        for (FinalStation& f : fin) {
            if (!f.imported) {
                continue;
            }
            if (f.kilo10 <= prev) {
                report(QStringLiteral("駅 %1 と %2 が同じ 0.1 km に落ちるので、%1 を %3 km にしました。")
                           .arg(f.kanji, prevName)
                           .arg(double(prev + 1) / 10.0, 0, 'f', 1));
                f.kilo10 = prev + 1;
            }
            while (reserved.contains(f.kilo10)) {
                report(QStringLiteral("駅 %1 の %2 km には既に駅があるので、%3 km にしました。")
                           .arg(f.kanji)
                           .arg(double(f.kilo10) / 10.0, 0, 'f', 1)
                           .arg(double(f.kilo10 + 1) / 10.0, 0, 'f', 1));
                ++f.kilo10;
            }
            prev = f.kilo10;
            prevName = f.kanji;
        }

        // Write only what differs.
        int same = 0, differ = 0, added = 0;
        for (const FinalStation& f : std::as_const(fin)) {
            if (!f.imported)
                continue;
            if (f.oldKilo10 < 0) {
                ++added;
                continue;
            }
            const EkiRow& c = cur[f.oldKilo10];
            if (f.oldKilo10 == f.kilo10 && c.kanji == f.kanji && c.kana == f.kana && c.shurui == f.shurui &&
                c.kaigyo == f.kaigyo)
                ++same;
            else
                ++differ;
        }
        m_result.counts.stationsNew += added;
        m_result.counts.stationsChanged += differ;
        m_result.counts.stationsKept += same;
        for (const FinalStation& f : std::as_const(fin))
            if (!f.imported)
                ++m_result.counts.stationsKept;
        const bool stationsChanged = added > 0 || differ > 0;
        if (stationsChanged) {
            Statement& del = m_db.cached(QStringLiteral("DELETE FROM EKI WHERE ROSEN_CD = ?1 AND KILO = ?2"));
            StatementScope delScope(del);
            for (const FinalStation& f : std::as_const(fin))
                if (f.imported && f.oldKilo10 >= 0) {
                    del.bindText(1, code);
                    del.bindDouble(2, double(f.oldKilo10) / 10.0);
                    del.step();
                    del.reset();
                }
            Statement& ins =
                m_db.cached(QStringLiteral("INSERT INTO EKI (ROSEN_CD, KILO, HYOJI, EKI_KANJI, EKI_KANA, SHURUI, "
                                           "KAIGYO_DATE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
            StatementScope insScope(ins);
            for (const FinalStation& f : std::as_const(fin)) {
                if (!f.imported)
                    continue;
                const auto c = f.oldKilo10 >= 0 ? cur.constFind(f.oldKilo10) : cur.constEnd();
                ins.bindText(1, code);
                ins.bindDouble(2, double(f.kilo10) / 10.0);
                ins.bind(3, c != cur.constEnd() ? textOrNull(c->hyoji) : QVariant(QStringLiteral("○")));
                ins.bind(4, f.kanji.left(50));
                ins.bind(5, textOrNull(f.kana.left(50)));
                ins.bindText(6, f.shurui);
                ins.bind(7, textOrNull(f.kaigyo));
                ins.step();
                ins.reset();
            }
            Statement& delNet = m_db.cached(QStringLiteral("DELETE FROM NET_EKI WHERE ROSEN_CD = ?1"));
            StatementScope delNetScope(delNet);
            delNet.bindText(1, code);
            delNet.step();
            Statement& insNet =
                m_db.cached(QStringLiteral("INSERT INTO NET_EKI (ROSEN_CD, SEQ, SRC_NAME, KILO, EKI_KANJI, EKI_KANA) "
                                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6)"));
            StatementScope insNetScope(insNet);
            int seq = 0;
            for (const FinalStation& f : std::as_const(fin)) {
                if (!f.imported)
                    continue;
                insNet.bindText(1, code);
                insNet.bindInt(2, ++seq);
                insNet.bindText(3, f.srcName.left(50));
                insNet.bindDouble(4, double(f.kilo10) / 10.0);
                insNet.bindText(5, f.srcName.left(50));
                insNet.bindText(6, f.importKana.left(50));
                insNet.step();
                insNet.reset();
            }
        }
        writePositions(code, fin);
        writeIdentity(code, fin);
        return stationsChanged;
    }

    // EKI_ID: which station of the data set each row of the route is, so that the same station on several
    // routes is known as one.
    void writeIdentity(const QString& code, const QList<FinalStation>& fin) {
        QList<std::pair<qint64, int>> want, have;
        for (const FinalStation& f : fin)
            want.append({f.kilo10, f.stationCode});
        std::sort(want.begin(), want.end());
        Statement& s =
            m_db.cached(QStringLiteral("SELECT KILO, STATION_ID FROM EKI_ID WHERE ROSEN_CD = ?1 ORDER BY KILO"));
        StatementScope sScope(s);
        s.bindText(1, code);
        while (s.step())
            have.append({std::llround(s.columnDouble(0) * 10.0), int(s.columnInt(1))});
        s.reset();
        if (want == have)
            return;
        Statement& del = m_db.cached(QStringLiteral("DELETE FROM EKI_ID WHERE ROSEN_CD = ?1"));
        StatementScope delScope(del);
        del.bindText(1, code);
        del.step();
        Statement& ins = m_db.cached(
            QStringLiteral("INSERT OR REPLACE INTO EKI_ID (ROSEN_CD, KILO, STATION_ID) VALUES (?1, ?2, ?3)"));
        StatementScope insScope(ins);
        for (const auto& [kilo10, station] : std::as_const(want)) {
            ins.bindText(1, code);
            ins.bindDouble(2, double(kilo10) / 10.0);
            ins.bindInt(3, station);
            ins.step();
            ins.reset();
        }
    }

    void writePositions(const QString& code, const QList<FinalStation>& fin) {
        QStringList want, have;
        for (const FinalStation& f : fin)
            want << QStringLiteral("%1|%2|%3|%4")
                        .arg(f.kilo10)
                        .arg(f.pos.lat, 0, 'f', 6)
                        .arg(f.pos.lon, 0, 'f', 6)
                        .arg(f.prefecture);
        Statement& s =
            m_db.cached(QStringLiteral("SELECT KILO, LATITUDE, LONGITUDE, KEN_CD FROM EKI_ICHI WHERE ROSEN_CD = ?1 "
                                       "ORDER BY KILO"));
        StatementScope sScope(s);
        s.bindText(1, code);
        while (s.step())
            have << QStringLiteral("%1|%2|%3|%4")
                        .arg(std::llround(s.columnDouble(0) * 10.0))
                        .arg(s.columnDouble(1), 0, 'f', 6)
                        .arg(s.columnDouble(2), 0, 'f', 6)
                        .arg(s.columnIsNull(3) ? 0 : s.columnInt(3));
        s.reset();
        QStringList sorted = want;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return a.section(QLatin1Char('|'), 0, 0).toLongLong() < b.section(QLatin1Char('|'), 0, 0).toLongLong();
        });
        if (sorted == have)
            return;
        Statement& del = m_db.cached(QStringLiteral("DELETE FROM EKI_ICHI WHERE ROSEN_CD = ?1"));
        StatementScope delScope(del);
        del.bindText(1, code);
        del.step();
        Statement& ins =
            m_db.cached(QStringLiteral("INSERT OR REPLACE INTO EKI_ICHI (ROSEN_CD, KILO, LATITUDE, LONGITUDE, KEN_CD) "
                                       "VALUES (?1, ?2, ?3, ?4, ?5)"));
        StatementScope insScope(ins);
        for (const FinalStation& f : fin) {
            ins.bindText(1, code);
            ins.bindDouble(2, double(f.kilo10) / 10.0);
            ins.bindDouble(3, f.pos.lat);
            ins.bindDouble(4, f.pos.lon);
            if (f.prefecture > 0)
                ins.bindInt(5, f.prefecture);
            else
                ins.bindNull(5);
            ins.step();
            ins.reset();
        }
    }

    // The thinned track with posts on the route's length; rewritten only when it differs from the last import's.
    QString writeTrack(const QString& code, const DerivedRoute& r, double scale, const QString& lastHash) {
        const QList<int> keep = thinPolyline(r.track, kThinKm);
        QByteArray text;
        text.reserve(keep.size() * 32);
        for (int i : keep)
            text += QByteArray::number(r.track[i].lat, 'f', 6) + ',' + QByteArray::number(r.track[i].lon, 'f', 6) +
                    ',' + QByteArray::number(r.trackKm[i] * scale, 'f', 4) + ';';
        const QString hash = QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
        if (hash == lastHash)
            return hash;
        Statement& del = m_db.cached(QStringLiteral("DELETE FROM ROSEN_SEN WHERE ROSEN_CD = ?1"));
        StatementScope delScope(del);
        del.bindText(1, code);
        del.step();
        Statement& ins = m_db.cached(QStringLiteral("INSERT INTO ROSEN_SEN (ROSEN_CD, SEQ, KILO, LATITUDE, LONGITUDE) "
                                                    "VALUES (?1, ?2, ?3, ?4, ?5)"));
        StatementScope insScope(ins);
        int seq = 0;
        for (int i : keep) {
            ins.bindText(1, code);
            ins.bindInt(2, ++seq);
            ins.bindDouble(3, r.trackKm[i] * scale);
            ins.bindDouble(4, r.track[i].lat);
            ins.bindDouble(5, r.track[i].lon);
            ins.step();
            ins.reset();
        }
        return hash;
    }

    Database& m_db;
    ImportResult& m_result;
    QHash<QString, MasterRow> m_master;
    QHash<QString, NetRow> m_net;
    QHash<QString, NetRow*> m_netByCode;
    QSet<QString> m_netCodes;
    QSet<QString> m_claimed;
    QHash<QString, int> m_maxSerial;
    QSet<QString> m_bunrui, m_kubun;

    bool sameStation(const QString& a, const QString& b) const {
        return a == b || (m_aliases && m_aliases->station.value(a, a) == m_aliases->station.value(b, b));
    }

public:
    Reconciliation m_reconciled;
    // Kilometres ridden per route code in the personal record, to say what a changed definition does to a route's
    // ridden share; empty where there is no record.
    QHash<QString, double> m_ridden;
    const Aliases* m_aliases = nullptr; // spelling variants of the stations of routes already there
};

// The routes of the reference database that no import made: the sample's, the user's, a record's brought over.
QList<ExistingRoute> existingRoutes(Database& db) {
    QList<ExistingRoute> out;
    QHash<QString, int> at;
    Statement m(db,
                QStringLiteral("SELECT ROSEN_CD, ROSEN_KANJI, SHOZOKU, KITEN, SHUTEN, KILO, HAISHI_DATE FROM MASTER "
                               "WHERE ROSEN_CD NOT IN (SELECT ROSEN_CD FROM NET_ROSEN) ORDER BY ROSEN_CD"));
    while (m.step()) {
        at.insert(m.columnText(0), out.size());
        out.append({m.columnText(0),
                    m.columnText(1),
                    m.columnText(2),
                    m.columnText(3),
                    m.columnText(4),
                    m.columnText(6),
                    m.columnDouble(5),
                    {}});
    }
    Statement e(db, QStringLiteral("SELECT ROSEN_CD, EKI_KANJI FROM EKI WHERE ROSEN_CD NOT IN (SELECT ROSEN_CD FROM "
                                   "NET_ROSEN) ORDER BY ROSEN_CD, KILO"));
    while (e.step())
        if (const auto it = at.constFind(e.columnText(0)); it != at.constEnd())
            out[*it].stations << e.columnText(1);
    return out;
}

} // namespace

QString ImportResult::summary() const {
    return QStringLiteral("路線: 新規 %1、変更 %2、そのまま %3、報告あり %4\n駅: 新規 %5、変更 %6、そのまま %7")
        .arg(counts.routesNew)
        .arg(counts.routesChanged)
        .arg(counts.routesKept)
        .arg(counts.routesReported)
        .arg(counts.stationsNew)
        .arg(counts.stationsChanged)
        .arg(counts.stationsKept);
}

void addOperatorAliases(Aliases& aliases, const Source& source, const Rules& rules) {
    QList<int> companyCodes = source.companies.keys();
    std::sort(companyCodes.begin(), companyCodes.end());
    for (int code : std::as_const(companyCodes)) {
        const Company& c = source.companies[code];
        const QString written = rules.operatorName.value(c.name, c.name);
        for (const QString& n : {c.shortName, c.listedName, c.name})
            if (!n.isEmpty() && n != written && !aliases.operatorOf.contains(n))
                aliases.operatorOf.insert(n, written);
    }
}

ImportResult importNetwork(Database& db, const SourceLayout& layout, const ImportOptions& options) {
    const Rules& rules = Rules::builtIn();
    const Register reg =
        options.registerFolder.isEmpty() ? Register::builtIn() : Register::fromFolder(options.registerFolder);
    // The operators as a record may write them: the data set's short names (JR北海道) for the registered ones.
    Aliases aliases = Aliases::builtIn();
    Source source = readSource(layout);
    QStringList report = source.report;
    // With the abolished lines, the lines in service keep main/'s station order: extra/ lists some of them with
    // closed branches inline, which would otherwise change routes in service.
    QHash<int, QList<int>> openOrders;
    if (layout.withAbolished) {
        SourceLayout mainLayout = layout;
        mainLayout.lineDir = QFileInfo(layout.fallbackPolylineDir).absolutePath();
        mainLayout.withAbolished = false;
        if (!layout.fallbackPolylineDir.isEmpty() &&
            QFileInfo::exists(mainLayout.lineDir + QStringLiteral("/line.csv"))) {
            const Source inService = readSource(mainLayout);
            openOrders = inService.order;
            // A line extra/ alone has is none of the network in service.
            for (Line& line : source.lines)
                if (!line.closed && !openOrders.contains(line.code))
                    line.closed = true;
        }
    }
    addOperatorAliases(aliases, source, rules);
    const TrackGraph graph = TrackGraph::build(source, report, openOrders);
    const QList<DerivedRoute> routes = buildRoutes(source, graph, reg, rules, report);
    {
        int measured = 0;
        for (const DerivedRoute& r : routes)
            if (r.haishiDate.isEmpty() && r.officialKm <= 0)
                ++measured;
        report << QStringLiteral("公式のキロ程がない路線（測った長さのまま）: %1").arg(measured);
    }
    ImportResult result = mergeRoutes(db, routes, {source.sourceCommit, source.author, layout.root}, options, aliases);
    result.report = report + result.report;
    return result;
}

// The kilometres ridden on each route, from the personal record beside the reference database; none when there is
// no record or it cannot be read (the figures are only said in the report).
QHash<QString, double> riddenKiloByRoute(const QString& personalPath) {
    QHash<QString, double> ridden;
    if (personalPath.isEmpty() || !QFileInfo::exists(personalPath))
        return ridden;
    try {
        const auto per = Database::openFile(personalPath, DbKind::Personal);
        Statement s(*per, QStringLiteral("SELECT ROSEN_CD, total(JOSHA_KILO) FROM JOSHA GROUP BY ROSEN_CD"));
        while (s.step())
            ridden.insert(s.columnText(0), s.columnDouble(1));
    } catch (const Error&) {
        ridden.clear();
    }
    return ridden;
}

ImportResult mergeRoutes(Database& db, const QList<DerivedRoute>& routes, const SourceStamp& source,
                         const ImportOptions& options, const Aliases& aliases) {
    ImportResult result;
    result.folder = source.folder;
    result.routesDerived = routes.size();

    // Copy first, then import: the daily copy of the reference database is made before anything changes.
    if (!options.dryRun)
        backup::dailyCopy(db.path(), QDate::currentDate());

    Transaction tx(db);
    ensureTables(db);
    Merger merger(db, result);
    merger.load();
    merger.m_ridden =
        riddenKiloByRoute(options.personalPath.isNull() ? QFileInfo(db.path()).absolutePath() + QStringLiteral("/JJ.db")
                                                        : options.personalPath);
    merger.m_reconciled = reconcile(routes, existingRoutes(db), aliases);
    merger.m_aliases = &aliases;
    result.report << merger.m_reconciled.report;
    // Routes in service first: new codes are numbered in this order, so the abolished routes read with
    // --with-abolished take codes after them and every route in service gets the code it gets without them.
    QList<int> mergeOrder;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < routes.size(); ++i)
            if (routes[i].inService == (pass == 0))
                mergeOrder << i;
    int done = 0;
    for (int i : std::as_const(mergeOrder)) {
        try {
            merger.merge(routes[i], i);
        } catch (const Error& e) {
            throw Error(QStringLiteral("路線 %1（%2～%3、駅データの %4）を取り込めませんでした: %5")
                            .arg(routes[i].name, routes[i].start(), routes[i].end(), routes[i].lineName, e.message()),
                        e.kind());
        }
        if (options.progress)
            options.progress(++done, routes.size());
    }
    merger.reportMissing();
    const bool anyChange = result.counts.routesNew + result.counts.routesChanged + result.counts.stationsNew +
                               result.counts.stationsChanged >
                           0;
    if (anyChange || db.scalar(QStringLiteral("SELECT count(*) FROM NET_SOURCE")).toLongLong() == 0) {
        Statement s(db,
                    QStringLiteral("INSERT OR REPLACE INTO NET_SOURCE (SOURCE_NO, IMPORT_DATE, SOURCE_COMMIT, FOLDER, "
                                   "AUTHOR) VALUES (1, ?1, ?2, ?3, ?4)"));
        s.bindText(1, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"));
        s.bind(2, textOrNull(source.commit.left(80)));
        s.bindText(3, QDir::toNativeSeparators(source.folder).left(250));
        s.bind(4, textOrNull(source.author.left(80)));
        s.step();
    }
    if (!options.dryRun)
        tx.commit();
    return result;
}

bool hasImportedNetwork(Database& db) {
    Statement s(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'NET_ROSEN'"));
    if (!s.step())
        return false;
    s.reset();
    return db.scalar(QStringLiteral("SELECT count(*) FROM NET_ROSEN")).toLongLong() > 0;
}

QString attributionText(Database& db) {
    QString author;
    Statement s(db, QStringLiteral("SELECT AUTHOR FROM NET_SOURCE ORDER BY SOURCE_NO"));
    if (s.step())
        author = s.columnText(0);
    s.reset();
    return QStringLiteral("路線・駅のデータ: 駅データ station_database（作成: %1）をもとに加工\n"
                          "ライセンス: クリエイティブ・コモンズ 表示 - 継承 4.0 国際（CC BY-SA 4.0）")
        .arg(author.isEmpty() ? QStringLiteral("データ整備者") : author);
}

} // namespace tabi::net
