// qvvoice-tool sheet [--bitmaps DIR] OUT.png: a contact sheet of every slot bitmap for art
// review. Each slot is drawn through the display onto a checkerboard, so transparent (black)
// pixels show the board, then enlarged three times with rulers every 8 pixels. Prints where
// each slot landed; bitmaps that fail to load are reported and make the exit status 1. A
// last panel writes sample numbers with both digit sets.
#include "verbs.h"

#include "graphics/display.h"
#include "graphics/logo.h"
#include "graphics/numbers.h"
#include "graphics/panel_bitmaps.h"
#include "graphics/start_logo.h"
#include "platform/bitmap_resources.h"
#include "platform/image_host.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace qvtool {

namespace {

constexpr int SCALE = 3;
constexpr int SHEET_WIDTH = 1560;
constexpr int MARGIN = 16;
constexpr int LABEL_HEIGHT = 18;
constexpr int RULER = 22; // room above and left of each image for tick marks and numbers
constexpr int TICK_STEP = 8;
constexpr int NUMBER_STEP = 32;
constexpr int CHECKER = 4; // logical pixels per checkerboard square
constexpr uint32_t CHECKER_LIGHT = 0xC8C8C8;
constexpr uint32_t CHECKER_DARK = 0x989898;
const QColor SHEET_BACKGROUND(0x30, 0x30, 0x38);
const QColor INK(0xE8, 0xE8, 0xE8);

struct Entry {
    std::string slot_name;
    std::string bitmap; // empty for a blank slot
    int32_t slot;
    bool loaded = false;
    int32_t width = 0;
    int32_t height = 0;
    int x = 0; // top-left of the enlarged image on the sheet
    int y = 0;
};

// Not a slot: numbers written with both digit sets, as the panels write them.
constexpr int32_t NUMBERS_SAMPLE = -1;
constexpr int32_t NUMBERS_WIDTH = 120;
constexpr int32_t NUMBERS_HEIGHT = 40;

// The largest slot the sheet shows, with room to spare.
constexpr int32_t STAGE_WIDTH = 240;
constexpr int32_t STAGE_HEIGHT = 224;

QGuiApplication& gui_app() {
    // A command-line tool draws text without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    static int argc = 1;
    static char name[] = "qvvoice-tool";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

std::vector<Entry> load_slots() {
    std::vector<Entry> entries;
    qv::draw_start_logo(qv::LOGO_RECTS, qv::LOGO_WIDTH, qv::LOGO_HEIGHT);
    entries.push_back({"SLOT_LOGO", "", qv::SLOT_LOGO});
    for (const qv::PanelBitmap& b : qv::PANEL_BITMAPS) {
        qv::Display::load_bitmap(b.name, b.slot, qv::Placement::VideoMemory);
        entries.push_back({std::string(b.slot_name), std::string(b.name), b.slot});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.slot < b.slot; });
    entries.push_back({"numbers", "", NUMBERS_SAMPLE});
    for (Entry& e : entries) {
        if (e.slot == NUMBERS_SAMPLE) {
            e.loaded = qv::Display::slot(qv::SLOT_TENKEY)->surface &&
                       qv::Display::slot(qv::SLOT_SYMBOL)->surface;
            e.width = NUMBERS_WIDTH;
            e.height = NUMBERS_HEIGHT;
            continue;
        }
        const qv::SurfaceSlot* s = qv::Display::slot(e.slot);
        e.loaded = s->surface != nullptr;
        e.width = s->width;
        e.height = s->height;
    }
    return entries;
}

QString label_of(const Entry& e);

// Places the entries in rows, left to right, each as wide as its picture or its label;
// returns the sheet height.
int lay_out(std::vector<Entry>& entries, const QFontMetrics& metrics) {
    int x = MARGIN;
    int y = MARGIN;
    int row_height = 0;
    for (Entry& e : entries) {
        const int w = std::max(RULER + e.width * SCALE, metrics.horizontalAdvance(label_of(e)));
        const int h = LABEL_HEIGHT + RULER + e.height * SCALE;
        if (x + w > SHEET_WIDTH - MARGIN && x > MARGIN) {
            x = MARGIN;
            y += row_height + MARGIN;
            row_height = 0;
        }
        e.x = x + RULER;
        e.y = y + LABEL_HEIGHT + RULER;
        x += w + MARGIN;
        row_height = std::max(row_height, h);
    }
    return y + row_height + MARGIN;
}

void draw_numbers() {
    const qv::Rect clip{0, 0, NUMBERS_WIDTH, NUMBERS_HEIGHT};
    qv::draw_number(clip, 16, 4, -12, 2);
    qv::draw_number(clip, 48, 4, 7, 3);
    qv::draw_number(clip, 88, 4, 105, 3);
    qv::draw_number(clip, 16, 16, 1000, 3);
    qv::draw_number(clip, 56, 16, -5, 2);
    qv::draw_number(clip, 88, 16, 0, 3);
    qv::draw_small_number(8, 28, -128);
    qv::draw_small_number(32, 28, 0);
    qv::draw_small_number(56, 28, 64);
    qv::draw_small_number(80, 28, 127);
    qv::draw_small_number(104, 28, -7);
}

// The slot as the display draws it over a checkerboard, at its own size.
QImage render_slot(const Entry& e) {
    for (int32_t y = 0; y < e.height; y += CHECKER)
        for (int32_t x = 0; x < e.width; x += CHECKER)
            qv::Display::fill_back({x, y, x + CHECKER, y + CHECKER},
                                   (x / CHECKER + y / CHECKER) % 2 == 0 ? CHECKER_LIGHT
                                                                        : CHECKER_DARK);
    if (e.slot == NUMBERS_SAMPLE)
        draw_numbers();
    else
        qv::Display::draw(0, 0, {0, 0, e.width, e.height}, e.slot);
    const qv::ImageView view =
        qv::view_of(*qv::Display::back_buffer(), qv::WideRect{0, 0, e.width, e.height});
    return qv::platform::image_of(view).copy();
}

void draw_rulers(QPainter& painter, const Entry& e) {
    painter.setPen(INK);
    for (int32_t v = 0; v <= e.width; v += TICK_STEP) {
        const int length = v % NUMBER_STEP == 0 ? 6 : 3;
        const int x = e.x + v * SCALE;
        painter.drawLine(x, e.y - 1, x, e.y - length);
        if (v % NUMBER_STEP == 0 && v < e.width)
            painter.drawText(x + 1, e.y - 8, QString::number(v));
    }
    for (int32_t v = 0; v <= e.height; v += TICK_STEP) {
        const int length = v % NUMBER_STEP == 0 ? 6 : 3;
        const int y = e.y + v * SCALE;
        painter.drawLine(e.x - 1, y, e.x - length, y);
        if (v % NUMBER_STEP == 0 && v < e.height)
            painter.drawText(QRect(e.x - RULER, y + 1, RULER - 4, 12), Qt::AlignRight,
                             QString::number(v));
    }
}

QString label_of(const Entry& e) {
    if (e.slot == NUMBERS_SAMPLE)
        return QStringLiteral("draw_number, draw_small_number");
    QString text = QStringLiteral("%1  %2").arg(e.slot).arg(QString::fromStdString(e.slot_name));
    if (!e.bitmap.empty())
        text += QStringLiteral("  %1").arg(QString::fromStdString(e.bitmap));
    if (e.loaded)
        text += QStringLiteral("  %1 x %2").arg(e.width).arg(e.height);
    else
        text += QStringLiteral("  (missing)");
    return text;
}

bool parse(Args args, std::string& out, std::string& folder) {
    if (args.size() == 3 && args[0] == "--bitmaps") {
        folder = std::string(args[1]);
        args = args.subspan(2);
    }
    if (args.size() != 1)
        return false;
    out = std::string(args[0]);
    return true;
}

} // namespace

int run_sheet(Args args) {
    std::string out;
    std::string folder;
    if (!parse(args, out, folder)) {
        std::fprintf(stderr, "usage: qvvoice-tool sheet [--bitmaps DIR] OUT.png\n");
        return EXIT_USAGE;
    }
    gui_app();
    qv::platform::install_bitmap_decoder();
    if (!folder.empty())
        qv::platform::set_bitmap_folder(QString::fromStdString(folder));
    qv::Display::release();
    if (!qv::Display::create() || !qv::Display::create_surfaces(STAGE_WIDTH, STAGE_HEIGHT, 1)) {
        std::fprintf(stderr, "qvvoice-tool sheet: the display could not be created\n");
        return EXIT_FAILED;
    }
    std::vector<Entry> entries = load_slots();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    QImage sheet(SHEET_WIDTH, lay_out(entries, QFontMetrics(font)), QImage::Format_RGB32);
    sheet.fill(SHEET_BACKGROUND);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setFont(font);
    bool complete = true;
    for (const Entry& e : entries) {
        painter.setPen(INK);
        painter.drawText(e.x - RULER, e.y - RULER - LABEL_HEIGHT + 13, label_of(e));
        if (!e.loaded) {
            complete = false;
            std::fprintf(stderr, "qvvoice-tool sheet: %s did not load\n",
                         e.bitmap.empty() ? e.slot_name.c_str() : e.bitmap.c_str());
            continue;
        }
        painter.drawImage(QRect(e.x, e.y, e.width * SCALE, e.height * SCALE), render_slot(e));
        draw_rulers(painter, e);
        if (e.slot == NUMBERS_SAMPLE)
            continue;
        std::printf("slot %d %s %s %dx%d at %d,%d scale %d\n", e.slot, e.slot_name.c_str(),
                    e.bitmap.empty() ? "-" : e.bitmap.c_str(), e.width, e.height, e.x, e.y,
                    SCALE);
    }
    painter.end();
    qv::Display::release();
    if (!sheet.save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "qvvoice-tool sheet: cannot write %s\n", out.c_str());
        return EXIT_FAILED;
    }
    return complete ? EXIT_OK : EXIT_FAILED;
}

} // namespace qvtool
