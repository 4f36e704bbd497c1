// qvvoice-tool logo and sheet: the pictures must show exactly what the display draws.
#include "graphics/display.h"
#include "graphics/panel_bitmaps.h"
#include "graphics/start_logo.h"
#include "platform/bitmap_resources.h"
#include "platform/image_host.h"
#include "qt_app.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace qv::test {
namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

ToolRun run_tool(const QStringList& args) {
    QProcess tool;
    tool.start(QStringLiteral(QV_TOOL_PATH), args);
    ToolRun run;
    if (!tool.waitForFinished(60000))
        return run;
    run.status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = QString::fromUtf8(tool.readAllStandardOutput());
    run.err = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

class PictureVerbTest : public ::testing::Test {
protected:
    void SetUp() override {
        qt_app();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { Display::release(); }
    QTemporaryDir dir;
};

TEST_F(PictureVerbTest, LogoIsWhatStartUpDraws) {
    Display::release();
    platform::ImageHost window(LOGO_WIDTH, LOGO_HEIGHT);
    ASSERT_TRUE(Display::create());
    ASSERT_TRUE(Display::create_surfaces(LOGO_WIDTH, LOGO_HEIGHT, 1));
    ASSERT_TRUE(show_start_logo(window));
    const QImage drawn = window.frame();
    ASSERT_EQ(drawn.size(), QSize(LOGO_WIDTH, LOGO_HEIGHT));

    const QString path = dir.filePath(QStringLiteral("logo.png"));
    const ToolRun run = run_tool({QStringLiteral("logo"), QStringLiteral("--scale"), QStringLiteral("2"), path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage png = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(png.size(), QSize(2 * LOGO_WIDTH, 2 * LOGO_HEIGHT));
    int grey = 0;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x) {
            const QRgb expected = drawn.pixel(x / 2, y / 2) & 0xFFFFFFu;
            ASSERT_EQ(png.pixel(x, y) & 0xFFFFFFu, expected) << x << "," << y;
            grey += expected == 0xF0F0F0u;
        }
    EXPECT_GT(grey, 0); // the logo is not blank

    for (const QStringList& bad : {QStringList{QStringLiteral("logo")},
                                   QStringList{QStringLiteral("logo"), QStringLiteral("--scale"),
                                               QStringLiteral("0"), path}})
        EXPECT_EQ(run_tool(bad).status, 2);
}

TEST_F(PictureVerbTest, SheetShowsEveryBitmapOverTheBoardWhereBlackIsTransparent) {
    const QString path = dir.filePath(QStringLiteral("sheet.png"));
    const ToolRun run = run_tool({QStringLiteral("sheet"), path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage sheet = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(sheet.isNull());

    const QRegularExpression line(
        QStringLiteral(R"(^slot (\d+) (\w+) (\S+) (\d+)x(\d+) at (\d+),(\d+) scale (\d+)$)"),
        QRegularExpression::MultilineOption);
    int bitmaps = 0;
    for (auto m = line.globalMatch(run.out); m.hasNext();) {
        const QRegularExpressionMatch slot = m.next();
        const QString name = slot.captured(3);
        if (name == QStringLiteral("-"))
            continue; // the logo plate
        ++bitmaps;
        SCOPED_TRACE(name.toStdString());
        DecodedBitmap bitmap;
        ASSERT_TRUE(platform::decode_bitmap(name.toStdString(), bitmap));
        ASSERT_EQ(slot.captured(4).toInt(), bitmap.width);
        ASSERT_EQ(slot.captured(5).toInt(), bitmap.height);
        const int left = slot.captured(6).toInt();
        const int top = slot.captured(7).toInt();
        const int scale = slot.captured(8).toInt();
        for (int32_t y = 0; y < bitmap.height; ++y)
            for (int32_t x = 0; x < bitmap.width; ++x) {
                const uint32_t source = bitmap.pixels[static_cast<std::size_t>(y * bitmap.width + x)];
                const uint32_t shown = sheet.pixel(left + x * scale + scale / 2,
                                                   top + y * scale + scale / 2) & 0xFFFFFFu;
                if (source != 0) {
                    ASSERT_EQ(shown, source) << x << "," << y;
                } else {
                    ASSERT_TRUE(shown == 0xC8C8C8u || shown == 0x989898u) << x << "," << y;
                }
            }
    }
    EXPECT_EQ(bitmaps, static_cast<int>(PANEL_BITMAPS.size()));
}

TEST_F(PictureVerbTest, SheetNamesTheBitmapsThatDidNotLoad) {
    // An empty folder of bitmaps: the sheet is still written, with the failures listed.
    const QString path = dir.filePath(QStringLiteral("sheet.png"));
    QDir(dir.path()).mkdir(QStringLiteral("empty"));
    const ToolRun run = run_tool({QStringLiteral("sheet"), QStringLiteral("--bitmaps"),
                              dir.filePath(QStringLiteral("empty")), path});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(QFile::exists(path));
    for (const PanelBitmap& b : PANEL_BITMAPS)
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(b.name.data(),
                                                         static_cast<qsizetype>(b.name.size()))))
            << b.name;
}

} // namespace
} // namespace qv::test
