// The 4-bit BMP writer of the art generator.
#include "bmp4.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qvart {
namespace {

constexpr uint32_t FILE_HEADER_SIZE = 14;
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t PALETTE_SIZE = 16 * 4;
constexpr uint32_t PIXELS_PER_METRE = 2835; // 72 dpi, what image viewers expect

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

} // namespace

bool write_bmp4(const std::string& path, const Canvas& canvas) {
    const auto width = static_cast<uint32_t>(canvas.width);
    const auto height = static_cast<uint32_t>(canvas.height);
    const uint32_t stride = (width * 4 + 31) / 32 * 4;
    const uint32_t data_offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE + PALETTE_SIZE;
    const uint32_t image_size = stride * height;

    std::vector<uint8_t> out;
    out.reserve(data_offset + image_size);
    out.push_back('B');
    out.push_back('M');
    put_u32(out, data_offset + image_size);
    put_u32(out, 0);
    put_u32(out, data_offset);
    put_u32(out, INFO_HEADER_SIZE);
    put_u32(out, width);
    put_u32(out, height); // positive: rows stored bottom-up
    put_u16(out, 1);      // planes
    put_u16(out, 4);      // bits per pixel
    put_u32(out, 0);      // BI_RGB, uncompressed
    put_u32(out, image_size);
    put_u32(out, PIXELS_PER_METRE);
    put_u32(out, PIXELS_PER_METRE);
    put_u32(out, 16); // colours used
    put_u32(out, 16); // colours important
    for (const Rgb& c : PALETTE) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int32_t y = canvas.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int32_t x = 0; x < canvas.width; ++x) {
            const uint8_t index = canvas.at(x, y) & 0x0F;
            // The left pixel of each pair sits in the high nibble.
            row[static_cast<std::size_t>(x / 2)] |= (x % 2 == 0) ? index << 4 : index;
        }
        out.insert(out.end(), row.begin(), row.end());
    }

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "qv-art: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "qv-art: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace qvart
