#pragma once

#include "ui/checklistscreen.h"

class QLabel;

namespace tabi::photos {

// "関連写真ファイルの確認": the photo folder of routes and ropeways against the route table.
class TFiles : public ui::CheckListScreen {
    Q_OBJECT
public:
    explicit TFiles(QWidget* parent = nullptr);

    // The small image area at the right of the navigator, shown only while a scan runs.
    QLabel* scanImage() const { return m_image; }
    void scanCommand();

private:
    QLabel* m_image = nullptr;
};

} // namespace tabi::photos
