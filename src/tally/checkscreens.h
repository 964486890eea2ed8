#pragma once

#include "ui/checklistscreen.h"

namespace tabi::tally {

// "未乗路線一覧表示": every route in service with its riding state, reducible to the routes not completely ridden.
class TMijo : public ui::CheckListScreen {
    Q_OBJECT
public:
    explicit TMijo(QWidget* parent = nullptr);

private:
    std::shared_ptr<Database> m_per;
};

// "乗車実績確認": every ride with the operator and name of its route, for looking the record over.
class TCJosha : public ui::CheckListScreen {
    Q_OBJECT
public:
    explicit TCJosha(QWidget* parent = nullptr);

private:
    std::shared_ptr<Database> m_per;
};

} // namespace tabi::tally
