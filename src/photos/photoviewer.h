#pragma once

#include "photos/photocontrols.h"

#include <QDialog>

namespace tabi::photos {

// TPhoto "写真表示": the photos of one ropeway or route in a small modal window. A missing photo or description
// shows the placeholder NOPHOTO.JPG / NOPHOTO.TXT; the photo is drawn at its own size from the top-left corner
// and clipped. Owner's use: setCode(code) (CODE_PHOTO), then run().
class TPhoto : public QDialog, public PhotoControls {
    Q_OBJECT
public:
    explicit TPhoto(QWidget* parent = nullptr);
    ~TPhoto() override;

    void setCode(const QString& code);
    QString code() const;

    // FormActivate (number "00", LoadPhotoFile, ChangeButtonProperty), then the modal run through the seam.
    int run();
    void activate();

    // The buttons' commands (first, prior, next, plus5, save), series(), imageArea(), memo() and button() come
    // from PhotoControls.
};

} // namespace tabi::photos
