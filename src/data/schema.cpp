#include "schema.h"

#include "error.h"
#include <QHash>

namespace tabi {
namespace {

FieldDef text(const QString& name, int size, const QString& label = {}, int width = 0) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::Text;
    f.size = size;
    f.label = label;
    f.displayWidth = width;
    return f;
}
FieldDef real(const QString& name, const QString& label = {}, const QString& format = {}, int width = 0) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::Real;
    f.label = label;
    f.format = format;
    f.displayWidth = width;
    return f;
}
FieldDef integer(const QString& name, const QString& label = {}, int width = 0, const QString& format = {}) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::Integer;
    f.label = label;
    f.displayWidth = width;
    f.format = format;
    return f;
}
FieldDef smallint(const QString& name, const QString& label = {}, const QString& format = {}, int width = 0) {
    FieldDef f = integer(name, label, width, format);
    f.type = FieldType::SmallInt;
    return f;
}
FieldDef timestamp(const QString& name, const QString& label = {}, const QString& format = {}, int width = 0) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::Timestamp;
    f.label = label;
    f.format = format;
    f.displayWidth = width;
    return f;
}
FieldDef hidden(FieldDef f) {
    f.hidden = true;
    return f;
}
FieldDef withDefault(FieldDef f, const QString& sql) {
    f.defaultSql = sql;
    return f;
}
// A field whose title is short ("発") with its caption in full ("発時刻") for tooltips and messages.
FieldDef withHint(FieldDef f, const QString& hint) {
    f.hint = hint;
    return f;
}

FieldDef required(FieldDef f) {
    f.notNull = true;
    return f;
}

IndexDef order(const QStringList& fields) { return IndexDef{QString(), fields, false}; }
IndexDef stored(const QString& name, const QStringList& fields, bool unique) { return IndexDef{name, fields, unique}; }

TableDef table(const QString& name, DbKind db, QList<FieldDef> fields, const QStringList& key, QList<IndexDef> indexes = {},
               bool keyUnique = true) {
    TableDef t;
    t.name = name;
    t.db = db;
    t.key = key;
    t.keyUnique = keyUnique;
    t.indexes = std::move(indexes);
    // Key fields can never be empty; the engine refuses a row without them.
    for (FieldDef& f : fields)
        if (key.contains(f.name))
            f.notNull = true;
    t.fields = std::move(fields);
    return t;
}

// Result columns shared by the classification and category tables and their group/total tables.
QList<FieldDef> resultFields(const QString& dateFormat) {
    return {real(QStringLiteral("TOTAL_KILO"), QStringLiteral("路線キロ"), QStringLiteral("#,##0.0")),
            real(QStringLiteral("TOTAL_JOSHA_KILO"), QStringLiteral("乗車キロ"), QStringLiteral("#,##0.0")),
            real(QStringLiteral("JOSHA_RATIO"), QStringLiteral("乗車率"), QStringLiteral("##0.00"), 6),
            timestamp(QStringLiteral("KANJO_DATE"), QStringLiteral("完乗年月日"), dateFormat, 10)};
}

QList<TableDef> referenceTables() {
    const DbKind R = DbKind::Reference;
    const QString ymd = QStringLiteral("yyyy-mm-dd");
    const QString YMD = QStringLiteral("YYYY-MM-DD");
    QList<TableDef> t;

    t << table(QStringLiteral("MASTER"), R,
               {text(QStringLiteral("ROSEN_CD"), 6, QStringLiteral("路線番号")),
                text(QStringLiteral("ROSEN_KANJI"), 50, QStringLiteral("名称(漢字)")),
                text(QStringLiteral("ROSEN_KANA"), 50, QStringLiteral("名称(かな)")),
                text(QStringLiteral("KBN_CD"), 2, QStringLiteral("区分")),
                text(QStringLiteral("SHOZOKU"), 50, QStringLiteral("所属")),
                text(QStringLiteral("KITEN"), 50, QStringLiteral("区間")),
                text(QStringLiteral("SHUTEN"), 50),
                real(QStringLiteral("KILO"), QStringLiteral("キロ程"), QStringLiteral("##,##0.0")),
                real(QStringLiteral("KIKAN"), QStringLiteral("軌間(m)"), QStringLiteral("0.000")),
                timestamp(QStringLiteral("KAITSU_DATE"), QStringLiteral("開通年月日"), ymd),
                timestamp(QStringLiteral("HAISHI_DATE"), QStringLiteral("廃止年月日"), ymd),
                text(QStringLiteral("DENKA"), 8, QStringLiteral("電化状況")),
                smallint(QStringLiteral("VOLT1"), QStringLiteral("電圧１"), QStringLiteral("##,##0")),
                smallint(QStringLiteral("VOLT2"), QStringLiteral("電圧２"), QStringLiteral("##,##0")),
                text(QStringLiteral("SANSHU"), 50, QStringLiteral("第３種事業者")),
                text(QStringLiteral("PHOTO"), 4, QStringLiteral("写真")),
                text(QStringLiteral("BIKO1"), 80, QStringLiteral("備考１")),
                text(QStringLiteral("BIKO2"), 80, QStringLiteral("備考２"))},
               {QStringLiteral("ROSEN_CD")},
               // Both route orders also carry what the tallies read, so they read the index alone.
               {order({QStringLiteral("ROSEN_CD"), QStringLiteral("KILO"), QStringLiteral("HAISHI_DATE")}),
                order({QStringLiteral("KBN_CD"), QStringLiteral("ROSEN_CD"), QStringLiteral("KILO"),
                       QStringLiteral("HAISHI_DATE")})});

    t << table(QStringLiteral("EKI"), R,
               {hidden(text(QStringLiteral("ROSEN_CD"), 6)),
                real(QStringLiteral("KILO"), QStringLiteral("キロ程"), QStringLiteral("0.0")),
                text(QStringLiteral("HYOJI"), 2, QStringLiteral("○")),
                text(QStringLiteral("EKI_KANJI"), 50, QStringLiteral("駅名(漢字)")),
                text(QStringLiteral("EKI_KANA"), 50, QStringLiteral("駅名(かな)")),
                hidden(real(QStringLiteral("HEIGHT"))),
                text(QStringLiteral("SHURUI"), 2, QStringLiteral("種")),
                timestamp(QStringLiteral("KAIGYO_DATE"), QStringLiteral("開業年月日"), ymd),
                text(QStringLiteral("BIKO"), 50, QStringLiteral("備考(接続・改称等)"))},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("KILO")});

    t << table(QStringLiteral("KAITSU"), R,
               {hidden(text(QStringLiteral("ROSEN_CD"), 6)), integer(QStringLiteral("EDA_NO"), QStringLiteral("枝番"), 4),
                text(QStringLiteral("KUKAN"), 50, QStringLiteral("区間"), 40),
                text(QStringLiteral("TANFUKU"), 4, QStringLiteral("単複")),
                real(QStringLiteral("KILO"), QStringLiteral("キロ程"), QStringLiteral("0.0"), 7),
                timestamp(QStringLiteral("KAITSU_DATE"), QStringLiteral("開通年月日"), ymd, 10),
                text(QStringLiteral("BIKO"), 50, QStringLiteral("備考"), 22)},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("EDA_NO")});

    t << table(QStringLiteral("KUBUN"), R,
               QList<FieldDef>{text(QStringLiteral("KBN_CD"), 2, QStringLiteral("番号")),
                               text(QStringLiteral("KBN_KANJI"), 30, QStringLiteral("名称"))} +
                   resultFields(ymd),
               {QStringLiteral("KBN_CD")});

    t << table(QStringLiteral("BUNRUI"), R,
               QList<FieldDef>{text(QStringLiteral("BUNRUI_CD"), 3, QStringLiteral("番号")),
                               text(QStringLiteral("BUNRUI_KANJI"), 30, QStringLiteral("名称"))} +
                   resultFields(YMD),
               {QStringLiteral("BUNRUI_CD")});

    t << table(QStringLiteral("BUNRUI4"), R,
               {text(QStringLiteral("BUNRUI_CD"), 3, QStringLiteral("番号")),
                text(QStringLiteral("BUNRUI_KANJI"), 30, QStringLiteral("名称"))},
               {QStringLiteral("BUNRUI_CD")}, {stored(QStringLiteral("BUNRUI_CD"), {QStringLiteral("BUNRUI_CD")}, true)});

    t << table(QStringLiteral("SAKUDO"), R,
               {text(QStringLiteral("ROSEN_CD"), 6, QStringLiteral("路線番号")),
                text(QStringLiteral("KEN"), 8, QStringLiteral("都道府県")),
                text(QStringLiteral("KUKAN"), 80, QStringLiteral("区間")),
                text(QStringLiteral("JIGYOSHA"), 50, QStringLiteral("事業者名")),
                text(QStringLiteral("JIMUSHO"), 50, QStringLiteral("事務所")),
                text(QStringLiteral("BUNRUI_SHURUI"), 4, QStringLiteral("分類")),
                text(QStringLiteral("BUNRUI_ROPE"), 10, QStringLiteral("分類")),
                text(QStringLiteral("BUNRUI_KOZO"), 10, QStringLiteral("分類")),
                real(QStringLiteral("KILO"), QStringLiteral("キロ程")), text(QStringLiteral("DORYOKU"), 4, QStringLiteral("動力")),
                timestamp(QStringLiteral("KYOKA_DATE"), QStringLiteral("許可年月日"), ymd),
                timestamp(QStringLiteral("KAITSU_DATE"), QStringLiteral("開通年月日"), ymd),
                hidden(timestamp(QStringLiteral("JOSHA_DATE"), {}, ymd)),
                timestamp(QStringLiteral("HAISHI_DATE"), QStringLiteral("廃止年月日"), ymd),
                text(QStringLiteral("PHOTO"), 4, QStringLiteral("写真")),
                text(QStringLiteral("BIKO1"), 80, QStringLiteral("備考１")),
                text(QStringLiteral("BIKO2"), 80, QStringLiteral("備考２"))},
               {QStringLiteral("ROSEN_CD")});

    t << table(QStringLiteral("OTHERS"), R,
               {text(QStringLiteral("OTHERS_CD"), 6, QStringLiteral("その他番号")),
                text(QStringLiteral("KEN"), 8, QStringLiteral("都道府県")),
                text(QStringLiteral("OTHERS_KANJI"), 50, QStringLiteral("名称(漢字)")),
                text(QStringLiteral("OTHERS_KANA"), 50, QStringLiteral("名称(かな)")),
                text(QStringLiteral("YUBIN"), 8, QStringLiteral("郵便番号")),
                text(QStringLiteral("JUSHO1"), 50, QStringLiteral("住所１")),
                text(QStringLiteral("JUSHO2"), 50, QStringLiteral("住所２")),
                text(QStringLiteral("TEL"), 13, QStringLiteral("電話番号")),
                real(QStringLiteral("LATITUDE"), QStringLiteral("緯度"), QStringLiteral("0.000000")),
                real(QStringLiteral("LONGITUDE"), QStringLiteral("経度"), QStringLiteral("0.000000")),
                real(QStringLiteral("HEIGHT"), QStringLiteral("標高")), text(QStringLiteral("PHOTO"), 4, QStringLiteral("写真")),
                hidden(timestamp(QStringLiteral("VISIT_DATE"), {}, ymd)),
                hidden(timestamp(QStringLiteral("STAMP_DATE"), {}, ymd)),
                text(QStringLiteral("BIKO1"), 80, QStringLiteral("備考１")),
                text(QStringLiteral("BIKO2"), 80, QStringLiteral("備考２"))},
               {QStringLiteral("OTHERS_CD")});

    t << table(QStringLiteral("VER"), R,
               {withDefault(timestamp(QStringLiteral("VER_DATE"), {}, YMD),
                            QStringLiteral("(date('now','localtime') || ' 00:00:00')")),
                withDefault(text(QStringLiteral("BIKO"), 30), QStringLiteral("''"))},
               {QStringLiteral("VER_DATE")});

    for (const QString& name : {QStringLiteral("BUNRUI2"), QStringLiteral("BUNRUI3")}) {
        const bool total = name == QLatin1String("BUNRUI3");
        t << table(name, R,
                   QList<FieldDef>{text(QStringLiteral("BUNRUI_CD"), 3), text(QStringLiteral("BUNRUI_KANJI"), 30)} +
                       resultFields(YMD),
                   total ? QStringList{} : QStringList{QStringLiteral("BUNRUI_CD")},
                   total ? QList<IndexDef>{stored(QStringLiteral("BUNRUI_CD"), {QStringLiteral("BUNRUI_CD")}, true)}
                         : QList<IndexDef>{});
    }
    for (const QString& name : {QStringLiteral("KUBUN2"), QStringLiteral("KUBUN3")})
        t << table(name, R,
                   QList<FieldDef>{text(QStringLiteral("KBN_CD"), 2, {}, 3), text(QStringLiteral("KBN_KANJI"), 30)} +
                       resultFields(ymd),
                   {QStringLiteral("KBN_CD")});

    t << table(QStringLiteral("TOSHI2"), R,
               {integer(QStringLiteral("NEN"), {}, 6), integer(QStringLiteral("JOSHA_NO"), {}, 6),
                real(QStringLiteral("JOSHA_KILO"), {}, QStringLiteral("#,##0.0")),
                integer(QStringLiteral("HAISHI_NO"), {}, 6),
                real(QStringLiteral("HAISHI_KILO"), {}, QStringLiteral("#,##0.0")),
                text(QStringLiteral("BIKO"), 30, {}, 30)},
               {QStringLiteral("NEN")});

    t << table(QStringLiteral("TMP_JOSHA_KUBUN"), R,
               {text(QStringLiteral("KBN_CD"), 2), text(QStringLiteral("ROSEN_CD"), 6),
                timestamp(QStringLiteral("JOSHA_DATE"), {}, ymd), real(QStringLiteral("JOSHA_KILO"), {}, QStringLiteral("0.0"))},
               {QStringLiteral("KBN_CD")}, {}, false);

    t << table(QStringLiteral("CFM_MIJO"), R,
               {text(QStringLiteral("ROSEN_CD"), 6, QStringLiteral("路線番号")),
                text(QStringLiteral("SHOZOKU"), 30, QStringLiteral("所属"), 14),
                text(QStringLiteral("ROSEN_KUKAN"), 30, QStringLiteral("路線区間(未乗区間ではない)"), 38),
                withDefault(real(QStringLiteral("KILO"), QStringLiteral("路線キロ"), QStringLiteral("#,##0.0"), 8),
                            QStringLiteral("0")),
                withDefault(real(QStringLiteral("JOSHA_KILO"), QStringLiteral("乗車キロ"), QStringLiteral("#,##0.0"), 8),
                            QStringLiteral("0")),
                real(QStringLiteral("MIJO_KILO"), QStringLiteral("未乗キロ"), QStringLiteral("#,##0.0"), 8),
                real(QStringLiteral("JOSHA_RATIO"), QStringLiteral("乗車率"), QStringLiteral("##0.00"), 6)},
               {QStringLiteral("ROSEN_CD")});

    t << table(QStringLiteral("CFM_JOSHA"), R,
               {timestamp(QStringLiteral("JOSHA_DATE"), QStringLiteral("乗車年月日"), ymd, 10),
                text(QStringLiteral("ROSEN_CD"), 6, QStringLiteral("路線番号")),
                text(QStringLiteral("SHOZOKU"), 30, QStringLiteral("所属"), 14),
                text(QStringLiteral("JOSHA_KUKAN"), 80, QStringLiteral("路線名称(乗車区間)"), 32),
                real(QStringLiteral("JOSHA_KILO"), QStringLiteral("乗車キロ"), QStringLiteral("#,##0.0"), 8),
                text(QStringLiteral("BIKO"), 30, QStringLiteral("備考"), 18)},
               {QStringLiteral("JOSHA_DATE"), QStringLiteral("ROSEN_CD")});

    t << table(QStringLiteral("CFM_FILES"), R,
               {text(QStringLiteral("FILE_NAME"), 255, QStringLiteral("ファイル名(*.JPG)"), 16),
                smallint(QStringLiteral("WIDTH"), QStringLiteral("幅"), {}, 6),
                smallint(QStringLiteral("HEIGHT"), QStringLiteral("高さ"), {}, 6),
                text(QStringLiteral("ROSEN_CD"), 6, QStringLiteral("路線番号")),
                text(QStringLiteral("ROSEN_KANJI"), 30, QStringLiteral("路線名称"), 18),
                text(QStringLiteral("SHOZOKU"), 30, QStringLiteral("所属"), 18),
                text(QStringLiteral("BIKO"), 255, QStringLiteral("備考"), 18)},
               {QStringLiteral("FILE_NAME")});

    // The national network read from the public station data set. These tables sit beside EKI and MASTER
    // and are written only by the network import; the screens of the route master never read them.
    // EKI_ICHI: the position and prefecture of each EKI row (same key), for the map and prefecture figures.
    t << table(QStringLiteral("EKI_ICHI"), R,
               {text(QStringLiteral("ROSEN_CD"), 6), real(QStringLiteral("KILO")), real(QStringLiteral("LATITUDE")),
                real(QStringLiteral("LONGITUDE")),
                // JIS X 0401 prefecture number, 1 北海道 … 47 沖縄県; null where the source names none.
                smallint(QStringLiteral("KEN_CD"))},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("KILO")});
    // ROSEN_SEN: the track of each route as a polyline in travelling order, each point with its kilometre
    // post on the route (the same scale as EKI.KILO), so that a section between two posts can be drawn.
    t << table(QStringLiteral("ROSEN_SEN"), R,
               {text(QStringLiteral("ROSEN_CD"), 6), integer(QStringLiteral("SEQ")), real(QStringLiteral("KILO")),
                real(QStringLiteral("LATITUDE")), real(QStringLiteral("LONGITUDE"))},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("SEQ")});
    // EKI_ID: the identity of each EKI row (same key) in the imported network: the same station on several
    // routes has one STATION_ID (the data set's station code), so that journeys can change routes there.
    t << table(QStringLiteral("EKI_ID"), R,
               {text(QStringLiteral("ROSEN_CD"), 6), real(QStringLiteral("KILO")), integer(QStringLiteral("STATION_ID"))},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("KILO")});
    // NET_ROSEN: which route each route of the network import became, and the values the last import wrote,
    // so that a later import keeps codes and tells the user's changes from its own. A code issued once stays
    // here for good, so it is never issued again.
    t << table(QStringLiteral("NET_ROSEN"), R,
               {text(QStringLiteral("SRC_KEY"), 200), text(QStringLiteral("ROSEN_CD"), 6), integer(QStringLiteral("LINE_CD")),
                text(QStringLiteral("ROSEN_KANJI"), 50), text(QStringLiteral("ROSEN_KANA"), 50),
                text(QStringLiteral("KBN_CD"), 2), text(QStringLiteral("SHOZOKU"), 50),
                text(QStringLiteral("KITEN"), 50), text(QStringLiteral("SHUTEN"), 50), real(QStringLiteral("KILO")),
                timestamp(QStringLiteral("HAISHI_DATE")), text(QStringLiteral("SEN_HASH"), 40)},
               {QStringLiteral("SRC_KEY")});
    // NET_EKI: the stations the last import wrote to EKI, with the values it wrote.
    t << table(QStringLiteral("NET_EKI"), R,
               {text(QStringLiteral("ROSEN_CD"), 6), integer(QStringLiteral("SEQ")), text(QStringLiteral("SRC_NAME"), 50),
                real(QStringLiteral("KILO")), text(QStringLiteral("EKI_KANJI"), 50), text(QStringLiteral("EKI_KANA"), 50)},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("SEQ")});
    // NET_SOURCE: where the imported network came from, for the attribution its licence asks for.
    t << table(QStringLiteral("NET_SOURCE"), R,
               {integer(QStringLiteral("SOURCE_NO")), timestamp(QStringLiteral("IMPORT_DATE")),
                text(QStringLiteral("SOURCE_COMMIT"), 80), text(QStringLiteral("FOLDER"), 250),
                text(QStringLiteral("AUTHOR"), 80)},
               {QStringLiteral("SOURCE_NO")});
    // NET_OFFER: the answers to the offer of the network supplied with the program, one row per supplied copy
    // (its SOURCE_COMMIT), so that a database is asked once: "配置" laid out when the database was made, "更新"
    // accepted, "見送り" declined.
    t << table(QStringLiteral("NET_OFFER"), R,
               {text(QStringLiteral("SOURCE_COMMIT"), 80), text(QStringLiteral("ANSWER"), 8),
                timestamp(QStringLiteral("ANSWER_DATE"))},
               {QStringLiteral("SOURCE_COMMIT")});
    return t;
}

QList<TableDef> personalTables() {
    const DbKind P = DbKind::Personal;
    const QString ymd = QStringLiteral("yyyy-mm-dd");
    const QString YMD = QStringLiteral("YYYY-MM-DD");
    QList<TableDef> t;

    t << table(QStringLiteral("JOSHA"), P,
               {hidden(text(QStringLiteral("ROSEN_CD"), 6)),
                timestamp(QStringLiteral("JOSHA_DATE"), QStringLiteral("乗車年月日"), ymd, 10),
                text(QStringLiteral("JOSHA_KUKAN"), 50, QStringLiteral("乗車区間")),
                real(QStringLiteral("JOSHA_KILO"), QStringLiteral("乗車キロ"), QStringLiteral("0.0"), 7),
                text(QStringLiteral("BIKO"), 50, QStringLiteral("備考"))},
               {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE")},
               // Both ride orders also carry the kilometres, so the tallies read every ride from an index alone.
               {order({QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"), QStringLiteral("JOSHA_KILO")}),
                order({QStringLiteral("JOSHA_DATE"), QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_KILO")})});

    t << table(QStringLiteral("SAKUDOJ"), P,
               {hidden(text(QStringLiteral("ROSEN_CD"), 6)),
                timestamp(QStringLiteral("JOSHA_DATE"), QStringLiteral("乗車年月日"), YMD),
                text(QStringLiteral("BIKO"), 50, QStringLiteral("補足"))},
               {QStringLiteral("ROSEN_CD")});

    t << table(QStringLiteral("OTHERSJ"), P,
               {required(hidden(text(QStringLiteral("OTHERS_CD"), 6))),
                timestamp(QStringLiteral("VISIT_DATE"), QStringLiteral("訪問年月日"), YMD),
                timestamp(QStringLiteral("STAMP_DATE"), QStringLiteral("記録年月日"), YMD),
                text(QStringLiteral("BIKO"), 50, QStringLiteral("補足"))},
               {}, {order({QStringLiteral("OTHERS_CD")})});

    t << table(QStringLiteral("TOSHI"), P,
               {integer(QStringLiteral("NEN"), QStringLiteral("年"), 4), integer(QStringLiteral("JOSHA_NO"), QStringLiteral("新規-"), 6),
                real(QStringLiteral("JOSHA_KILO"), QStringLiteral("乗車区間"), QStringLiteral("#,##0.0")),
                integer(QStringLiteral("HAISHI_NO"), QStringLiteral("既乗-"), 6),
                real(QStringLiteral("HAISHI_KILO"), QStringLiteral("廃止区間"), QStringLiteral("#,##0.0")),
                text(QStringLiteral("BIKO"), 30, QStringLiteral("備考"), 30)},
               {QStringLiteral("NEN")});

    t << table(QStringLiteral("RYOTEIM"), P,
               {text(QStringLiteral("RYOTEI_CD"), 8, QStringLiteral("旅程コード")),
                text(QStringLiteral("RYOTEI_NAME"), 50, QStringLiteral("旅程名称")),
                timestamp(QStringLiteral("RYOTEI_DATE"), QStringLiteral("年月日"), ymd)},
               {QStringLiteral("RYOTEI_CD")});

    t << table(QStringLiteral("RYOTEID"), P,
               {required(hidden(text(QStringLiteral("RYOTEI_CD"), 8))), hidden(timestamp(QStringLiteral("HATSU_DATE"))),
                withHint(timestamp(QStringLiteral("HATSU_TIME"), QStringLiteral("発"), QStringLiteral("HH:MM")),
                         QStringLiteral("発時刻")),
                withHint(text(QStringLiteral("HATSU_EKI"), 30, QStringLiteral("発")), QStringLiteral("発駅")),
                text(QStringLiteral("R_CD"), 6), text(QStringLiteral("R_NAME"), 30),
                integer(QStringLiteral("UNCHIN"), QStringLiteral("運賃"), 0, QStringLiteral("###,###")),
                integer(QStringLiteral("RYOKIN"), QStringLiteral("料金"), 0, QStringLiteral("###,###")),
                hidden(timestamp(QStringLiteral("CHAKU_DATE"))),
                withHint(timestamp(QStringLiteral("CHAKU_TIME"), QStringLiteral("着"), QStringLiteral("HH:MM")),
                         QStringLiteral("着時刻")),
                withHint(text(QStringLiteral("CHAKU_EKI"), 30, QStringLiteral("着")), QStringLiteral("着駅")),
                text(QStringLiteral("BIKO"), 50)},
               {}, {order({QStringLiteral("RYOTEI_CD")})});
    return t;
}

QString quoted(const QString& identifier) { return QLatin1Char('"') + identifier + QLatin1Char('"'); }

// Constraint names carry "TABLE.FIELD:rule" so that a refused write can be explained field by field.
QString check(const TableDef& t, const FieldDef& f, const QString& rule, const QString& expr) {
    return QStringLiteral("CONSTRAINT %1 CHECK (%2)").arg(quoted(t.name + QLatin1Char('.') + f.name + QLatin1Char(':') + rule), expr);
}

QString columnSql(const TableDef& t, const FieldDef& f) {
    const QString c = quoted(f.name);
    QString sql = c + QLatin1Char(' ');
    QStringList checks;
    switch (f.type) {
    case FieldType::Text:
        sql += QStringLiteral("TEXT");
        checks << check(t, f, QStringLiteral("len%1").arg(f.size), QStringLiteral("length(%1) <= %2").arg(c).arg(f.size));
        break;
    case FieldType::Real:
        sql += QStringLiteral("REAL");
        break;
    case FieldType::Integer:
        sql += QStringLiteral("INTEGER");
        checks << check(t, f, QStringLiteral("int32"), QStringLiteral("%1 BETWEEN -2147483648 AND 2147483647").arg(c));
        break;
    case FieldType::SmallInt:
        sql += QStringLiteral("INTEGER");
        checks << check(t, f, QStringLiteral("int16"), QStringLiteral("%1 BETWEEN -32768 AND 32767").arg(c));
        break;
    case FieldType::Timestamp:
        sql += QStringLiteral("TEXT");
        // "yyyy-mm-dd HH:MM:SS" naming a real day and time: the '+0 days' modifier normalises impossible
        // dates such as 2024-02-30, which then no longer equal the stored text.
        checks << check(t, f, QStringLiteral("timestamp"),
                        QStringLiteral("length(%1) = 19 AND datetime(%1, '+0 days') IS %1").arg(c));
        break;
    }
    if (f.notNull)
        sql += QStringLiteral(" NOT NULL");
    if (!f.defaultSql.isEmpty())
        sql += QStringLiteral(" DEFAULT ") + f.defaultSql;
    for (const QString& ck : checks)
        sql += QLatin1Char(' ') + ck;
    return sql;
}

} // namespace

QString tableCaption(const QString& tableName) {
    static const QHash<QString, QString> captions{
        {QStringLiteral("MASTER"), QStringLiteral("路線")},
        {QStringLiteral("EKI"), QStringLiteral("駅")},
        {QStringLiteral("KAITSU"), QStringLiteral("開通区間")},
        {QStringLiteral("KUBUN"), QStringLiteral("区分マスター")},
        {QStringLiteral("KUBUN2"), QStringLiteral("区分の小計")},
        {QStringLiteral("KUBUN3"), QStringLiteral("区分の合計")},
        {QStringLiteral("BUNRUI"), QStringLiteral("分類マスター")},
        {QStringLiteral("BUNRUI2"), QStringLiteral("分類の小計")},
        {QStringLiteral("BUNRUI3"), QStringLiteral("分類の合計")},
        {QStringLiteral("BUNRUI4"), QStringLiteral("その他分類マスター")},
        {QStringLiteral("SAKUDO"), QStringLiteral("普通索道")},
        {QStringLiteral("OTHERS"), QStringLiteral("その他訪問地")},
        {QStringLiteral("VER"), QStringLiteral("バージョン情報")},
        {QStringLiteral("TOSHI2"), QStringLiteral("年別集計の合計")},
        {QStringLiteral("TMP_JOSHA_KUBUN"), QStringLiteral("区分別集計の作業表")},
        {QStringLiteral("CFM_MIJO"), QStringLiteral("未乗路線一覧")},
        {QStringLiteral("CFM_JOSHA"), QStringLiteral("乗車実績確認")},
        {QStringLiteral("CFM_FILES"), QStringLiteral("関連写真ファイルの確認")},
        {QStringLiteral("JOSHA"), QStringLiteral("乗車実績")},
        {QStringLiteral("SAKUDOJ"), QStringLiteral("索道の乗車実績")},
        {QStringLiteral("OTHERSJ"), QStringLiteral("訪問の記録")},
        {QStringLiteral("TOSHI"), QStringLiteral("年別マスター")},
        {QStringLiteral("RYOTEIM"), QStringLiteral("旅程")},
        {QStringLiteral("RYOTEID"), QStringLiteral("旅程の行程")},
    };
    return captions.value(tableName.toUpper(), tableName);
}

QString fieldCaption(const FieldDef& field) {
    // Key fields that no grid shows have no title of their own: they are named as the screens name them.
    static const QHash<QString, QString> keys{{QStringLiteral("ROSEN_CD"), QStringLiteral("路線番号")},
                                              {QStringLiteral("RYOTEI_CD"), QStringLiteral("旅程コード")},
                                              {QStringLiteral("KILO"), QStringLiteral("キロ程")},
                                              {QStringLiteral("SEQ"), QStringLiteral("順番")}};
    QString caption = !field.hint.isEmpty() ? field.hint : field.label.trimmed();
    if (caption.isEmpty())
        caption = keys.value(field.name, field.name);
    return QStringLiteral("「%1」").arg(caption);
}

QString fieldCaption(const QString& tableName, const QString& fieldName) {
    if (const TableDef* t = findTable(tableName)) {
        const int i = t->fieldIndex(fieldName);
        if (i >= 0)
            return fieldCaption(t->fields[i]);
    }
    return QStringLiteral("「%1」").arg(fieldName);
}

int TableDef::fieldIndex(const QString& fieldName) const {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const FieldDef& TableDef::field(const QString& fieldName) const {
    const int i = fieldIndex(fieldName);
    if (i < 0)
        throw Error(QStringLiteral("表 %1 にフィールド %2 はありません。").arg(name, fieldName));
    return fields[i];
}

const QList<TableDef>& tables(DbKind db) {
    static const QList<TableDef> reference = referenceTables();
    static const QList<TableDef> personal = personalTables();
    return db == DbKind::Reference ? reference : personal;
}

const TableDef* findTable(const QString& name) {
    for (DbKind db : {DbKind::Reference, DbKind::Personal})
        for (const TableDef& t : tables(db))
            if (t.name.compare(name, Qt::CaseInsensitive) == 0)
                return &t;
    return nullptr;
}

QString physicalIndexName(const TableDef& table, const IndexDef& index) {
    return table.name + QLatin1Char('_') + (index.name.isEmpty() ? index.fields.join(QLatin1Char('_')) : index.name);
}

QString orderColumn(const TableDef& table, const QString& fieldName) {
    const FieldDef& f = table.field(fieldName);
    return f.notNull ? f.name : f.name + QStringLiteral("_ORD");
}

QStringList tableStatements(const TableDef& t) {
    QStringList out;
    {
        QStringList cols;
        for (const FieldDef& f : t.fields)
            cols << columnSql(t, f);
        QStringList generated;
        for (const IndexDef& ix : t.indexes)
            for (const QString& name : ix.fields) {
                const FieldDef& f = t.field(name);
                if (!f.notNull && !generated.contains(f.name)) {
                    generated << f.name;
                    cols << QStringLiteral("%1 TEXT GENERATED ALWAYS AS (ifnull(%2, '')) VIRTUAL")
                                .arg(quoted(orderColumn(t, f.name)), quoted(f.name));
                }
            }
        if (!t.key.isEmpty() && t.keyUnique) {
            QStringList k;
            for (const QString& f : t.key)
                k << quoted(f);
            cols << QStringLiteral("PRIMARY KEY (%1)").arg(k.join(QStringLiteral(", ")));
        }
        out << QStringLiteral("CREATE TABLE %1 (\n  %2\n) STRICT").arg(quoted(t.name), cols.join(QStringLiteral(",\n  ")));

        QList<IndexDef> indexes = t.indexes;
        if (!t.key.isEmpty() && !t.keyUnique)
            indexes.prepend(order(t.key));
        for (const IndexDef& ix : indexes) {
            // An order index also carries the rest of the key, so that rows with equal values come in key
            // order straight from the index (no sort step).
            QStringList fields = ix.fields;
            if (ix.name.isEmpty() && t.keyUnique)
                for (const QString& k : t.key)
                    if (!fields.contains(k))
                        fields << k;
            QStringList cols2;
            for (const QString& f : fields)
                cols2 << quoted(orderColumn(t, f));
            // A field sorted through its generated column is carried as it is too, so the index can cover it.
            for (const QString& f : fields)
                if (orderColumn(t, f) != f)
                    cols2 << quoted(f);
            out << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                       .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), quoted(physicalIndexName(t, ix)),
                            quoted(t.name), cols2.join(QStringLiteral(", ")));
        }
    }
    return out;
}

QStringList schemaStatements(DbKind db) {
    QStringList out;
    for (const TableDef& t : tables(db))
        out << tableStatements(t);
    return out;
}

} // namespace tabi
