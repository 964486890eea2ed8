#pragma once

#include "photos/photoseries.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tabi::photos {

// TPhoto "写真表示": the photos of one ropeway or route in a small modal window. A missing photo or description
// shows the placeholder NOPHOTO.JPG / NOPHOTO.TXT; the photo is drawn at its own size from the top-left corner
// and clipped. Owner's use: setCode(code) (CODE_PHOTO), then run().
class TPhoto : public QDialog {
    Q_OBJECT
public:
    explicit TPhoto(QWidget* parent = nullptr);
    ~TPhoto() override;

    void setCode(const QString& code);
    QString code() const;

    // FormActivate (number "00", LoadPhotoFile, ChangeButtonProperty), then the modal run through the seam.
    int run();
    void activate();

    void first();
    void prior();
    void next();
    void plus5();
    void save();

    PhotoSeries& series() { return m_series; }
    QLabel* imageArea() const { return m_image; }
    QPlainTextEdit* memo() const { return m_memo; }
    QPushButton* button(const QString& objectName) const;

private:
    template <class F> void command(F&& f);
    void showState();

    PhotoSeries m_series;
    QLineEdit* m_codePhoto = nullptr;
    QLabel* m_image = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QPushButton* m_first = nullptr;
    QPushButton* m_prior = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_plus5 = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace tabi::photos
