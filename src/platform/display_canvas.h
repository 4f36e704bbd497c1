// The widget that shows the display's frames: it keeps the last presented frame and paints it
// pixel for pixel, so a high-DPI screen scales it up crisp instead of blurred.
#pragma once

#include "graphics/display.h"

#include <QImage>
#include <QWidget>

namespace qv::platform {

class DisplayCanvas : public QWidget, public DisplayHost {
public:
    explicit DisplayCanvas(QWidget* parent = nullptr);

    int32_t client_width() const override;
    int32_t client_height() const override;
    // Copies the frame and schedules a repaint; an expose repaints the same frame.
    void present(const ImageView& client_area) override;

    const QImage& frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
};

} // namespace qv::platform
