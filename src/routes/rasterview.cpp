#include "routes/rasterview.h"

#include <QPaintEvent>
#include <QPainter>

namespace tabi::routes {

RasterView::RasterView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RasterView::setPictureSize(const QSize& size) {
    setFixedSize(size);
    update();
}

void RasterView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), Qt::white);
    if (m_image)
        p.drawImage(event->rect().topLeft(), *m_image, event->rect());
}

} // namespace tabi::routes
