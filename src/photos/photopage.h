#pragma once

#include "photos/photocontrols.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tabi::photos {

// The "写真" page shared by the route, ropeway and place screens: the photo of the current number stretched to
// 420 x 280 (or the caption "画像なし" when there is none), its description in an editable text area, an
// information line and the five buttons. The host calls pageShown() with its current code each time the page
// is shown, and keeps its record from changing while the page is up.
class PhotoPage : public QWidget, public PhotoControls {
    Q_OBJECT
public:
    // imageTop: 8 on the route master screen, 6 on the others.
    explicit PhotoPage(PhotoKeys keys, int imageTop = 6, QWidget* parent = nullptr);
    ~PhotoPage() override;

    // TabSheetPShow: CODE_PHOTO := code, number "00", LoadPhotoFile, ChangeButtonProperty.
    void pageShown(const QString& code);

    // The buttons' commands (first, prior, next, plus5, save), series(), imageArea(), memo() and button() come
    // from PhotoControls.
    QLabel* noImageCaption() const { return m_caption; }
    QLineEdit* infoLine() const { return m_info; }

private:
    QLabel* m_caption = nullptr;
};

} // namespace tabi::photos
