#pragma once

#include "photos/photoseries.h"

#include <QRect>

#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tabi::photos {

// What the "写真" page and the photo window have in common: one code's photo series shown in an image and a
// description, the five buttons that step through it and save the description (BitBtnT, BitBtnP, BitBtnN,
// BitBtn5, BitBtnS), and the hidden CODE_PHOTO field. The host widget lays the controls out; every command runs
// through the standard error box and ends with the controls showing the series' state.
class PhotoControls {
public:
    void first();
    void prior();
    void next();
    void plus5();
    void save();

    PhotoSeries& series() { return m_series; }
    QLabel* imageArea() const { return m_image; }
    QPlainTextEdit* memo() const { return m_memo; }
    QPushButton* button(const QString& objectName) const;

protected:
    PhotoControls(QWidget* host, PhotoKeys keys, bool placeholders);
    ~PhotoControls();

    struct ButtonFace {
        const char* caption;
        QRect geometry;
    };
    // Creates the five buttons on the host in the order first, prior, next, +5, save (also their focus order).
    void createButtons(const std::array<ButtonFace, 5>& faces);
    const std::array<QPushButton*, 5>& commandButtons() const { return m_buttons; }
    void createCodeField();
    // Starts the series at the code in CODE_PHOTO.
    void start();

    QLineEdit* m_codePhoto = nullptr;
    QLabel* m_image = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QLineEdit* m_info = nullptr;          // the information line, where the host has one
    bool m_hideImageWithoutPhoto = false; // the page hides the image to show its caption behind it

private:
    template <class F> void command(F&& f);
    void showState();

    QWidget* m_host;
    PhotoSeries m_series;
    std::array<QPushButton*, 5> m_buttons{};
    QString m_shownText; // the text area's text as last filled from the series
};

} // namespace tabi::photos
