#pragma once

#include <QImage>
#include <QWidget>

namespace tabi::routes {

// Shows the top-left part of a drawing's raster, as large as the picture the drawing declared, inside a scroll
// area that scrolls over that size. Whatever lies beyond the raster shows white.
class RasterView : public QWidget {
    Q_OBJECT
public:
    explicit RasterView(QWidget* parent = nullptr);
    void setImage(const QImage* image) {
        m_image = image;
        update();
    }
    void setPictureSize(const QSize& size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* m_image = nullptr;
};

} // namespace tabi::routes
