// A window-less display host: frames presented to it are kept as a QImage, for tools that
// write what the display shows to a file and for tests.
#pragma once

#include "graphics/display.h"

#include <QImage>

namespace qv::platform {

// Wraps a view of native pixels as a QImage without copying; valid while the view is.
QImage image_of(const ImageView& view);

class ImageHost final : public DisplayHost {
public:
    ImageHost(int32_t client_width, int32_t client_height);
    int32_t client_width() const override { return width_; }
    int32_t client_height() const override { return height_; }
    void present(const ImageView& client_area) override;
    const QImage& frame() const { return frame_; }

private:
    int32_t width_;
    int32_t height_;
    QImage frame_;
};

} // namespace qv::platform
