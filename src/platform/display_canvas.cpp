// Presenting the back buffer in a Qt widget.
#include "platform/display_canvas.h"

#include "platform/image_host.h"

#include <QPaintEvent>
#include <QPainter>

namespace qv::platform {

DisplayCanvas::DisplayCanvas(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted from the frame, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int32_t DisplayCanvas::client_width() const { return width(); }
int32_t DisplayCanvas::client_height() const { return height(); }

void DisplayCanvas::present(const ImageView& area) {
    // The view points into the back buffer, which the next frame overwrites: keep a copy.
    frame_ = image_of(area).copy();
    // A magnified display shows its frame at the widget's logical size.
    frame_.setDevicePixelRatio(Display::magnification());
    update();
}

void DisplayCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(event->rect(), Qt::black);
    painter.drawImage(QPoint(0, 0), frame_);
}

} // namespace qv::platform
