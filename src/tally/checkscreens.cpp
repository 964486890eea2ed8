#include "tally/checkscreens.h"

#include "tally/checklists.h"

#include "ui/dbgrid.h"

#include <QPushButton>

namespace tabi::tally {

TMijo::TMijo(QWidget* parent)
    : CheckListScreen(QStringLiteral("TMijo"), QStringLiteral("CFM_MIJO"), QStringLiteral("ROSEN_CD"), parent),
      m_per(Database::open(DbKind::Personal)) {
    auto ref = m_ref;
    auto per = m_per;
    addStep("BitBtnZ", QStringLiteral("全消(&Z)"), Busy | GridHidden, [=] { clearUnriddenList(ref); });
    addStep("BitBtnR", QStringLiteral("路線(&R)"), Busy, [=] { listRoutesInService(ref); });
    addStep("BitBtnJ", QStringLiteral("乗車(&J)"), Busy, [=] { sumRiddenKiloOfList(ref, per); });
    addStep("BitBtnM", QStringLiteral("未乗(&M)"), Busy, [=] { unriddenKiloOfList(ref); });
    addStep("BitBtnW", QStringLiteral("割合(&W)"), Busy, [=] { ratioOfList(ref); });
    addStep("BitBtnX", QStringLiteral("抽出(&X)"), Busy | GridHidden, [=] { dropCompletedRoutes(ref); });
    finishButtons();
}

TCJosha::TCJosha(QWidget* parent)
    : CheckListScreen(QStringLiteral("TCJosha"), QStringLiteral("CFM_JOSHA"), QStringLiteral("JOSHA_DATE;ROSEN_CD"),
                      parent),
      m_per(Database::open(DbKind::Personal)) {
    auto ref = m_ref;
    auto per = m_per;
    addStep("BitBtnZ", QStringLiteral("全消(&Z)"), Busy | GridHidden, [=] { clearRideCheckList(ref); });
    addStep("BitBtnJ", QStringLiteral("乗車(&J)"), Busy, [=] { copyRidesToCheckList(ref, per); });
    addStep("BitBtnR", QStringLiteral("路線(&R)"), Busy, [=] { completeRideCheckList(ref); });
    // The marks of a route missing from the route table show whole (the column's 14 characters count digits).
    grid()->fitColumnTo(QStringLiteral("SHOZOKU"), QStringLiteral("■■■■■■■■"));
    // Present in the layout, without a command.
    addButton("BitBtnX", QStringLiteral("抽出(&X)"))->setEnabled(false);
    finishButtons();
}

} // namespace tabi::tally
