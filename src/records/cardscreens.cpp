#include "records/cardscreens.h"

#include "photos/photoviewer.h"
#include "routes/codejumpdialog.h"
#include "ui/command.h"

#include <QPushButton>

namespace tabi::records {

namespace {

using Kind = RecordCard::Kind;

const QStringList kPhotoChoices{QStringLiteral("なし"), QStringLiteral("あり")};

RecordCard::Field edit(const char* name, const char* caption, const char* field, int width) {
    return {name, QString::fromUtf8(caption), QString::fromLatin1(field), Kind::Edit, width, {}, {}, false};
}

RecordCard::Field date(const char* name, const char* caption, const char* field, bool red = false) {
    return {name, QString::fromUtf8(caption), QString::fromLatin1(field), Kind::Date, 0, {}, {}, red};
}

RecordCard::Field number(const char* name, const char* caption, const char* field, const char* note = "") {
    return {name, QString::fromUtf8(caption), QString::fromLatin1(field), Kind::Number, 0, {}, QString::fromUtf8(note),
            false};
}

RecordCard::Field choice(const char* name, const char* caption, const char* field, const QStringList& items,
                         int width = 0) {
    return {name, QString::fromUtf8(caption), QString::fromLatin1(field), Kind::Choice, width, items, {}, false};
}

RecordCard::Config ropeways() {
    RecordCard::Config c;
    c.className = QStringLiteral("TFSAKUDO");
    c.table = QStringLiteral("SAKUDO");
    c.codeField = QStringLiteral("ROSEN_CD");
    c.detailTable = QStringLiteral("SAKUDOJ");
    c.rememberKey = QStringLiteral("SakudoForMove");
    c.photoKeys = photos::PhotoKeys::routes(); // ropeways share the routes' folders
    c.jumpDialog = [](std::shared_ptr<Database> ref, QWidget* owner) {
        return new routes::TCode_I3(std::move(ref), owner);
    };
    c.header = {
        {edit("EditROSEN_CD", "路線番号：", "ROSEN_CD", 72),
         choice("DBComboBoxKEN", "都道府県：", "KEN", prefectures())},
        {edit("EditJIGYOSHA", "事業者名：", "JIGYOSHA", 385), edit("EditJIMUSHO", "事務所：", "JIMUSHO", 385)},
        {edit("EditKUKAN", "区間：", "KUKAN", 525)},
    };
    c.basic = {
        {choice("DBComboBoxSHURUI", "分類：", "BUNRUI_SHURUI", {QStringLiteral("普通"), QStringLiteral("特殊")}),
         choice("DBComboBoxROPE", "", "BUNRUI_ROPE",
                {QStringLiteral("単線"), QStringLiteral("複式単線"), QStringLiteral("複線(２線)"),
                 QStringLiteral("複線(３線)"), QStringLiteral("複線(４線)"), QStringLiteral("複線(５線)")}),
         choice("DBComboBoxKOZO", "", "BUNRUI_KOZO",
                {QStringLiteral("交走式"), QStringLiteral("自動循環式"), QStringLiteral("固定循環式"),
                 QStringLiteral("滑走式")})},
        {date("EditKYOKA", "許可年月日：", "KYOKA_DATE"), date("EditKAITSU", "開通年月日：", "KAITSU_DATE"),
         date("EditHAISHI", "廃止年月日：", "HAISHI_DATE", true)},
        {number("EditKILO", "キロ程：", "KILO"), edit("EditDORYOKU", "動力：", "DORYOKU", 60)},
        {edit("EditBIKO1", "備考１：", "BIKO1", 665)},
        {edit("EditBIKO2", "備考２：", "BIKO2", 665)},
        {choice("DBComboBoxPHOTO", "写真：", "PHOTO", kPhotoChoices, 100)},
    };
    c.detail = {
        {date("EditJOSHA_DATE", "乗車年月日：", "JOSHA_DATE")},
        {edit("EditBIKO", "補足：", "BIKO", 452)},
    };
    return c;
}

RecordCard::Config places() {
    RecordCard::Config c;
    c.className = QStringLiteral("TF_Others2");
    c.table = QStringLiteral("OTHERS");
    c.codeField = QStringLiteral("OTHERS_CD");
    c.detailTable = QStringLiteral("OTHERSJ");
    c.rememberKey = QStringLiteral("OthersForMove");
    c.photoKeys = photos::PhotoKeys::others();
    c.jumpDialog = [](std::shared_ptr<Database> ref, QWidget* owner) {
        return new routes::TCode_I4(std::move(ref), owner);
    };
    c.header = {
        {edit("EditOTHERS_CD", "その他番号：", "OTHERS_CD", 72), edit("EditYUBIN", "郵便番号：", "YUBIN", 105),
         choice("DBComboBoxKEN", "都道府県：", "KEN", prefectures())},
        {edit("EditOTHERS_KANA", "名称(かな)：", "OTHERS_KANA", 385),
         edit("EditOTHERS_KANJI", "名称(漢字)：", "OTHERS_KANJI", 385)},
    };
    c.basic = {
        {edit("EditJUSHO1", "住所１：", "JUSHO1", 525)},
        {edit("EditJUSHO2", "住所２：", "JUSHO2", 525)},
        {edit("EditTEL", "電話番号：", "TEL", 137)},
        {number("EditLATITUDE", "緯度：", "LATITUDE", "(DD.DDDDDD)"),
         number("EditLONGITUDE", "経度：", "LONGITUDE", "(DDD.DDDDDD)"),
         number("EditHEIGHT", "標高：", "HEIGHT", "(m)")},
        {edit("EditBIKO1", "備考１：", "BIKO1", 665)},
        {edit("EditBIKO2", "備考２：", "BIKO2", 665)},
        {choice("DBComboBoxPHOTO", "写真：", "PHOTO", kPhotoChoices, 100)},
    };
    c.detail = {
        {date("EditVISIT_DATE", "訪問年月日：", "VISIT_DATE"), date("EditSTAMP_DATE", "記録年月日：", "STAMP_DATE")},
        {edit("EditBIKO", "補足：", "BIKO", 452)},
    };
    return c;
}

} // namespace

TFSAKUDO::TFSAKUDO(QWidget* parent) : RecordCard(ropeways(), parent) {
    m_viewer = new photos::TPhoto(this);
    ui::connectCommand(photoButton(), this, [this] { photoCommand(); });
}

void TFSAKUDO::photoCommand() {
    m_viewer->setCode(currentCode());
    m_viewer->run();
}

TF_Others2::TF_Others2(QWidget* parent) : RecordCard(places(), parent) {}

} // namespace tabi::records
