#pragma once

#include "photos/photoseries.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tabi::photos {

// The "写真" page shared by the route, ropeway and place screens: the photo of the current number stretched to
// 420 x 280 (or the caption "画像なし" when there is none), its description in an editable text area, an
// information line and the five buttons. The host calls pageShown() with its current code each time the page
// is shown, and keeps its record from changing while the page is up.
class PhotoPage : public QWidget {
    Q_OBJECT
public:
    // imageTop: 8 on the route master screen, 6 on the others.
    explicit PhotoPage(PhotoKeys keys, int imageTop = 6, QWidget* parent = nullptr);
    ~PhotoPage() override;

    // TabSheetPShow: CODE_PHOTO := code, number "00", LoadPhotoFile, ChangeButtonProperty.
    void pageShown(const QString& code);

    // The buttons' commands; an error (a photo that does not decode, a description that cannot be written) is
    // shown in the standard error box and ends the command.
    void first();
    void prior();
    void next();
    void plus5();
    void save();

    PhotoSeries& series() { return m_series; }
    QLabel* imageArea() const { return m_image; }
    QLabel* noImageCaption() const { return m_caption; }
    QPlainTextEdit* memo() const { return m_memo; }
    QLineEdit* infoLine() const { return m_info; }
    QPushButton* button(const QString& objectName) const;

private:
    template <class F> void command(F&& f);
    void showState();

    PhotoSeries m_series;
    QLineEdit* m_codePhoto = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_image = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QLineEdit* m_info = nullptr;
    QPushButton* m_first = nullptr;
    QPushButton* m_prior = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_plus5 = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace tabi::photos
