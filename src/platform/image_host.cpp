// Presenting into an image.
#include "platform/image_host.h"

namespace qv::platform {

QImage image_of(const ImageView& view) {
    return QImage(reinterpret_cast<const uchar*>(view.pixels.data()), view.width, view.height,
                  static_cast<qsizetype>(view.stride) * 4, QImage::Format_RGB32);
}

ImageHost::ImageHost(int32_t client_width, int32_t client_height)
    : width_(client_width), height_(client_height) {}

void ImageHost::present(const ImageView& client_area) { frame_ = image_of(client_area).copy(); }

} // namespace qv::platform
