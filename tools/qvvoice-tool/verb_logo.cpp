// qvvoice-tool logo [--scale N] OUT.png: the start-up logo exactly as start-up draws it, on a
// 128 × 16 client area, enlarged N times (default 4) with hard pixel edges for review.
#include "verbs.h"

#include "graphics/display.h"
#include "graphics/start_logo.h"
#include "platform/image_host.h"

#include <QImage>
#include <QString>

#include <charconv>
#include <cstdio>
#include <string>

namespace qvtool {

namespace {

constexpr int DEFAULT_SCALE = 4;
constexpr int MAX_SCALE = 32;

bool parse_scale(std::string_view text, int& scale) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), scale);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && scale >= 1 &&
           scale <= MAX_SCALE;
}

} // namespace

int run_logo(Args args) {
    int scale = DEFAULT_SCALE;
    if (args.size() == 3 && args[0] == "--scale") {
        if (!parse_scale(args[1], scale)) {
            std::fprintf(stderr, "qvvoice-tool logo: --scale takes 1 to %d\n", MAX_SCALE);
            return EXIT_USAGE;
        }
        args = args.subspan(2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: qvvoice-tool logo [--scale N] OUT.png\n");
        return EXIT_USAGE;
    }
    const std::string out(args[0]);

    qv::Display::release();
    qv::platform::ImageHost window(qv::LOGO_WIDTH, qv::LOGO_HEIGHT);
    if (!qv::Display::create() ||
        !qv::Display::create_surfaces(qv::LOGO_WIDTH, qv::LOGO_HEIGHT, 1) ||
        !qv::show_start_logo(window) || window.frame().isNull()) {
        std::fprintf(stderr, "qvvoice-tool logo: the display could not draw the logo\n");
        qv::Display::release();
        return EXIT_FAILED;
    }
    const QImage image = window.frame().scaled(qv::LOGO_WIDTH * scale, qv::LOGO_HEIGHT * scale,
                                               Qt::IgnoreAspectRatio, Qt::FastTransformation);
    qv::Display::release();
    if (!image.save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "qvvoice-tool logo: cannot write %s\n", out.c_str());
        return EXIT_FAILED;
    }
    std::printf("logo %dx%d drawn x%d into %s\n", qv::LOGO_WIDTH, qv::LOGO_HEIGHT, scale,
                out.c_str());
    return EXIT_OK;
}

} // namespace qvtool
