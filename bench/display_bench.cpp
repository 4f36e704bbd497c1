// A full redraw like the editor's: about 200 colour-keyed copies covering the 592 × 288 client
// area one and a half times, and 400 one-pixel-wide column fills into the two canvases, beside
// a plain copy of the whole back buffer as the floor.
#include "graphics/display.h"
#include "graphics/surface.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

constexpr int32_t CLIENT_W = 592;
constexpr int32_t CLIENT_H = 288;
constexpr int32_t SOURCE_W = 232;
constexpr int32_t SOURCE_H = 200;
constexpr int32_t SOURCE_SLOTS[] = {1, 2, 3, 5};

// Artwork-like sources: flat runs of colour with about a third of the pixels transparent.
bool decode_bench_bitmap(std::string_view, qv::DecodedBitmap& out) {
    out.width = SOURCE_W;
    out.height = SOURCE_H;
    out.pixels.resize(static_cast<std::size_t>(SOURCE_W) * SOURCE_H);
    for (int32_t y = 0; y < SOURCE_H; ++y)
        for (int32_t x = 0; x < SOURCE_W; ++x)
            out.pixels[static_cast<std::size_t>(y * SOURCE_W + x)] =
                (x / 7 + y / 5) % 3 == 0 ? 0u : 0x203040u + static_cast<uint32_t>(x / 16);
    return true;
}

void set_up_display() {
    qv::Display::release();
    qv::Display::set_bitmap_decoder(decode_bench_bitmap);
    qv::Display::create();
    qv::Display::create_surfaces(CLIENT_W, CLIENT_H, 1);
    for (const int32_t slot : SOURCE_SLOTS)
        qv::Display::load_bitmap("BMP_BENCH", slot, qv::Placement::VideoMemory);
    qv::Display::create_blank_surface(200, 128, qv::SLOT_WAVE_CANVAS, qv::Placement::SystemMemory);
    qv::Display::create_blank_surface(200, 128, qv::SLOT_ENVELOPE_CANVAS,
                                      qv::Placement::SystemMemory);
}

void redraw_frame() {
    // 400 columns: each canvas repainted one column at a time.
    for (int32_t column = 0; column < 400; ++column) {
        const int32_t x = column % 200;
        const int32_t slot = column < 200 ? qv::SLOT_WAVE_CANVAS : qv::SLOT_ENVELOPE_CANVAS;
        qv::Display::fill_surface({x, 0, x + 1, 128}, 0x101830u + static_cast<uint32_t>(x), slot);
    }
    // The canvases, then 198 pieces of 32 × 32 scattered over the client area: 1.5 times its
    // area in all.
    qv::Display::draw(16, 16, {0, 0, 200, 128}, qv::SLOT_WAVE_CANVAS);
    qv::Display::draw(300, 16, {0, 0, 200, 128}, qv::SLOT_ENVELOPE_CANVAS);
    for (int32_t i = 0; i < 198; ++i) {
        const int32_t x = (i * 37) % (CLIENT_W - 32);
        const int32_t y = (i * 53) % (CLIENT_H - 32);
        const int32_t sx = (i * 29) % (SOURCE_W - 32);
        const int32_t sy = (i * 17) % (SOURCE_H - 32);
        qv::Display::draw_clipped({0, 0, CLIENT_W, CLIENT_H}, x, y, {sx, sy, sx + 32, sy + 32},
                                  SOURCE_SLOTS[i % 4]);
    }
}

void BM_FullRedraw(benchmark::State& state) {
    set_up_display();
    for (auto _ : state) {
        redraw_frame();
        benchmark::DoNotOptimize(qv::Display::back_buffer()->pixels.data());
        benchmark::ClobberMemory();
    }
    state.counters["pixels_copied"] = 2 * 200 * 128 + 198 * 32 * 32;
    qv::Display::release();
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

// The floor: one opaque copy of the whole client area.
void BM_PlainBackBufferCopy(benchmark::State& state) {
    qv::Surface from;
    qv::Surface to;
    qv::allocate_surface(from, CLIENT_W, CLIENT_H);
    qv::allocate_surface(to, CLIENT_W, CLIENT_H);
    for (auto _ : state) {
        qv::copy_opaque(to, 0, 0, from, {0, 0, CLIENT_W, CLIENT_H});
        benchmark::DoNotOptimize(to.pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainBackBufferCopy)->Unit(benchmark::kMicrosecond);

} // namespace
