#include "tally/checklists.h"

#include "data/error.h"
#include "data/routenames.h"
#include "data/rules.h"
#include "data/statements.h"
#include "data/stepcursor.h"

namespace tabi::tally {

namespace {

const QString kUnriddenList = QStringLiteral("CFM_MIJO");
const QString kRideCheckList = QStringLiteral("CFM_JOSHA");
const QString kRideCheckOrder = QStringLiteral("JOSHA_DATE;ROSEN_CD");

// A list step appends to the list without emptying it. Its key refuses a row that is already there; the step says
// which one, so that the user knows to empty the list first.
[[noreturn]] void alreadyListed(const QString& what) {
    throw Error(QStringLiteral("%1 はすでに一覧にあります。一覧は変わっていません。\n"
                               "全消で一覧を空にしてから、やり直してください。")
                    .arg(what));
}

void runStatement(const Db& ref, const QStringList& lines) {
    Transaction tx(*ref);
    ref->execLines(lines);
    tx.commit();
}

} // namespace

// --- unridden routes -----------------------------------------------------------------------------------------------

void clearUnriddenList(const Db& ref) {
    runStatement(ref, sql::clearUnriddenList());
}

void listRoutesInService(const Db& ref) {
    Transaction tx(*ref);
    StepCursor list(ref, kUnriddenList, QStringLiteral("ROSEN_CD"));
    StepCursor routes(ref, QStringLiteral("MASTER"), QStringLiteral("ROSEN_CD"),
                      {QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_KANJI"), QStringLiteral("SHOZOKU"),
                       QStringLiteral("KITEN"), QStringLiteral("SHUTEN"), QStringLiteral("KILO"),
                       QStringLiteral("HAISHI_DATE")});
    const int rCode = routes.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int rName = routes.fieldIndex(QStringLiteral("ROSEN_KANJI"));
    const int rShozoku = routes.fieldIndex(QStringLiteral("SHOZOKU"));
    const int rFrom = routes.fieldIndex(QStringLiteral("KITEN"));
    const int rTo = routes.fieldIndex(QStringLiteral("SHUTEN"));
    const int rKilo = routes.fieldIndex(QStringLiteral("KILO"));
    const int rAbolished = routes.fieldIndex(QStringLiteral("HAISHI_DATE"));
    const int lCode = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int lShozoku = list.fieldIndex(QStringLiteral("SHOZOKU"));
    const int lSection = list.fieldIndex(QStringLiteral("ROSEN_KUKAN"));
    const int lKilo = list.fieldIndex(QStringLiteral("KILO"));
    const int lRidden = list.fieldIndex(QStringLiteral("JOSHA_KILO"));
    const bool mayCollide = !list.isEmpty();
    forEachRecord(routes, [&] {
        if (rules::isAbolished(rules::dateText(routes.asString(rAbolished))))
            return;
        const QString code = routes.asString(rCode);
        if (mayCollide && list.findKey({code}))
            alreadyListed(QStringLiteral("路線番号 %1").arg(code));
        list.append();
        list.setText(lCode, code);
        setCutText(list, lSection,
                   routes.asString(rName) + u'(' + routes.asString(rFrom) + u'～' + routes.asString(rTo) + u')');
        setCutText(list, lShozoku, routes.asString(rShozoku));
        // A route without a length counts 0, as does the ridden length until it is summed. Both are written
        // rather than left to the table's defaults, so that the post need not read the row back.
        list.setFloat(lKilo, routes.asFloat(rKilo));
        list.setFloat(lRidden, 0);
        list.post();
    });
    list.first();
    tx.commit();
}

void sumRiddenKiloOfList(const Db& ref, const Db& personal) {
    Transaction tx(*ref);
    // The sum of every route's rides, from one pass over the rides in route and date order.
    QHash<QString, double> sums;
    {
        StepCursor rides(personal, QStringLiteral("JOSHA"), QStringLiteral("ROSEN_CD;JOSHA_DATE"),
                         {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"), QStringLiteral("JOSHA_KILO")});
        const int code = rides.fieldIndex(QStringLiteral("ROSEN_CD"));
        const int kilo = rides.fieldIndex(QStringLiteral("JOSHA_KILO"));
        QString current;
        double sum = 0;
        forEachRecord(rides, [&] {
            const QString c = rides.asString(code);
            if (c != current) {
                if (!current.isEmpty())
                    sums.insert(current, sum);
                current = c;
                sum = 0;
            }
            sum += rides.asFloat(kilo);
        });
        if (!current.isEmpty())
            sums.insert(current, sum);
    }
    StepCursor list(ref, kUnriddenList, QStringLiteral("ROSEN_CD"),
                    {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_KILO")});
    const int code = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int ridden = list.fieldIndex(QStringLiteral("JOSHA_KILO"));
    forEachRecord(list, [&] {
        list.edit();
        list.setFloat(ridden, sums.value(list.asString(code), 0.0));
    });
    list.first();
    tx.commit();
}

void unriddenKiloOfList(const Db& ref) {
    Transaction tx(*ref);
    StepCursor list(ref, kUnriddenList, QStringLiteral("ROSEN_CD"),
                    {QStringLiteral("KILO"), QStringLiteral("JOSHA_KILO"), QStringLiteral("MIJO_KILO")});
    const int kilo = list.fieldIndex(QStringLiteral("KILO"));
    const int ridden = list.fieldIndex(QStringLiteral("JOSHA_KILO"));
    const int unridden = list.fieldIndex(QStringLiteral("MIJO_KILO"));
    forEachRecord(list, [&] {
        list.edit();
        list.setFloat(unridden, list.asFloat(kilo) - list.asFloat(ridden));
    });
    list.first();
    tx.commit();
}

void ratioOfList(const Db& ref) {
    Transaction tx(*ref);
    StepCursor list(ref, kUnriddenList, QStringLiteral("ROSEN_CD"),
                    {QStringLiteral("KILO"), QStringLiteral("JOSHA_KILO"), QStringLiteral("JOSHA_RATIO")});
    const int kilo = list.fieldIndex(QStringLiteral("KILO"));
    const int ridden = list.fieldIndex(QStringLiteral("JOSHA_KILO"));
    const int ratio = list.fieldIndex(QStringLiteral("JOSHA_RATIO"));
    forEachRecord(list, [&] {
        list.edit();
        list.setFloat(ratio, rules::ratio(list.asFloat(kilo), list.asFloat(ridden)));
    });
    list.first();
    tx.commit();
}

void dropCompletedRoutes(const Db& ref) {
    runStatement(ref, sql::dropCompletedRoutes());
}

// --- ride check list -----------------------------------------------------------------------------------------------

void clearRideCheckList(const Db& ref) {
    runStatement(ref, sql::clearRideCheckList());
}

void copyRidesToCheckList(const Db& ref, const Db& personal) {
    Transaction tx(*ref);
    StepCursor list(ref, kRideCheckList, kRideCheckOrder);
    // Rides are copied in the list's own order (date, then route code): the rows are appended at the end of the
    // list's index and stored in that order, so that the later steps, which visit the list in this order, touch
    // each stored page once instead of jumping about a large list.
    StepCursor rides(personal, QStringLiteral("JOSHA"), kRideCheckOrder,
                     {QStringLiteral("ROSEN_CD"), QStringLiteral("JOSHA_DATE"), QStringLiteral("JOSHA_KUKAN"),
                      QStringLiteral("JOSHA_KILO")});
    const int rCode = rides.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int rDate = rides.fieldIndex(QStringLiteral("JOSHA_DATE"));
    const int rSection = rides.fieldIndex(QStringLiteral("JOSHA_KUKAN"));
    const int rKilo = rides.fieldIndex(QStringLiteral("JOSHA_KILO"));
    const int lCode = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int lDate = list.fieldIndex(QStringLiteral("JOSHA_DATE"));
    const int lSection = list.fieldIndex(QStringLiteral("JOSHA_KUKAN"));
    const int lKilo = list.fieldIndex(QStringLiteral("JOSHA_KILO"));
    const int lRemark = list.fieldIndex(QStringLiteral("BIKO"));
    const QString negative = QString::fromUtf16(kNegativeRideRemark);
    const bool mayCollide = !list.isEmpty();
    forEachRecord(rides, [&] {
        const QVariant date = rides.value(rDate);
        const QVariant code = rides.value(rCode);
        if (mayCollide && list.findKey({date, code}))
            alreadyListed(QStringLiteral("乗車年月日 %1・路線番号 %2 の乗車")
                              .arg(rules::dateText(date.toString()), code.toString()));
        list.append();
        list.setValue(lDate, date);
        list.setValue(lCode, code);
        setCutText(list, lSection, rides.asString(rSection));
        list.setValue(lKilo, rides.value(rKilo));
        if (rides.asFloat(rKilo) < 0)
            list.setText(lRemark, negative);
        list.post();
    });
    list.first();
    tx.commit();
}

void completeRideCheckList(const Db& ref) {
    Transaction tx(*ref);
    const QHash<QString, RouteNames> routes = routeNamesByCode(ref);
    StepCursor list(
        ref, kRideCheckList, kRideCheckOrder,
        {QStringLiteral("ROSEN_CD"), QStringLiteral("SHOZOKU"), QStringLiteral("JOSHA_KUKAN"), QStringLiteral("BIKO")});
    const int code = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int shozoku = list.fieldIndex(QStringLiteral("SHOZOKU"));
    const int section = list.fieldIndex(QStringLiteral("JOSHA_KUKAN"));
    const int remark = list.fieldIndex(QStringLiteral("BIKO"));
    const QString noOperator = QStringLiteral("■■■■■■■■");
    const QString noName = QStringLiteral("■■■■");
    const QString noRoute = QString::fromUtf16(kNoRouteRemark);
    forEachRecord(list, [&] {
        list.edit();
        const auto route = routes.constFind(list.asString(code));
        const QString ridden = list.asString(section);
        if (route != routes.cend()) {
            setCutText(list, shozoku, route->operatorName);
            setCutText(list, section, route->name + u'(' + ridden + u')');
        } else {
            list.setText(shozoku, noOperator);
            setCutText(list, section, noName + u'(' + ridden + u')');
            list.setText(remark, noRoute);
        }
    });
    list.first();
    tx.commit();
}

} // namespace tabi::tally
