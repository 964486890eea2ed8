#pragma once

#include "records/recordcard.h"

namespace tabi::photos {
class TPhoto;
}

namespace tabi::records {

// "普通索道": one ropeway of SAKUDO with the user's first ride (SAKUDOJ) and its photos, which it shares with
// the route of the same code. Remembers its ropeway under "SakudoForMove"; jumps through TCode_I3.
class TFSAKUDO : public RecordCard {
    Q_OBJECT
public:
    explicit TFSAKUDO(QWidget* parent = nullptr);

    // BitBtnP1 "写真(&P)" (hidden): the photo window for the current ropeway.
    void photoCommand();
    photos::TPhoto* photoViewer() const { return m_viewer; }

private:
    photos::TPhoto* m_viewer = nullptr;
};

// "その他訪問履歴等": one place of OTHERS with the user's first visit (OTHERSJ) and its photos from the places'
// own folders. Remembers its place under "OthersForMove"; jumps through TCode_I4.
class TF_Others2 : public RecordCard {
    Q_OBJECT
public:
    explicit TF_Others2(QWidget* parent = nullptr);
};

} // namespace tabi::records
