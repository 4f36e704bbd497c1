// Bitmap resources through QImage, which reads the 4-bit BMP files with their palettes.
#include "platform/bitmap_resources.h"

#include <QImage>

#include <algorithm>
#include <new>

// The embedded resources live in this static library; registering them by hand keeps them
// linked in. The macro must stand outside every namespace.
static void register_resources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

void init_resources() {
    static const bool registered = (register_resources(), true);
    (void)registered;
}

QString& folder() {
    static QString path = QStringLiteral(":/bitmaps");
    return path;
}

// Resource names are identifiers; anything else could walk out of the folder.
bool plain_name(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

} // namespace

namespace qv::platform {

bool decode_bitmap(std::string_view name, DecodedBitmap& out) {
    if (!plain_name(name))
        return false;
    init_resources();
    const QString path = folder() + QLatin1Char('/') +
                         QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
                         QStringLiteral(".bmp");
    QImage image(path);
    if (image.isNull())
        return false;
    image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    DecodedBitmap decoded;
    decoded.width = image.width();
    decoded.height = image.height();
    try {
        decoded.pixels.reserve(static_cast<std::size_t>(decoded.width) *
                               static_cast<std::size_t>(decoded.height));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            decoded.pixels.push_back(row[x] & 0x00FFFFFFu); // QRgb is 0xAARRGGBB
    }
    out = std::move(decoded);
    return true;
}

void install_bitmap_decoder() { Display::set_bitmap_decoder(decode_bitmap); }

void set_bitmap_folder(const QString& path) { folder() = path; }
QString bitmap_folder() { return folder(); }

} // namespace qv::platform
