#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "controls/CentsMeter.h"
#include "controls/Pictures.h"
#include "support/RecordingCanvas.h"

namespace {

std::string PictureDir() {
    std::filesystem::create_directories(KLAVORA_PICTURE_DIR);
    return KLAVORA_PICTURE_DIR;
}

// Lays the fills a display object made over a picture.
void ApplyFills(CRgbaImage& image, const CRecordingCanvas& canvas) {
    for (const auto& call : canvas.Calls()) {
        if (call.kind == CRecordingCanvas::CallKind::Fill) {
            image.FillRect(call.rc, MakeRgba(call.colour.r, call.colour.g, call.colour.b));
        }
    }
}

int Luma(const Rgba& p) {
    return (299 * p.r + 587 * p.g + 114 * p.b) / 1000;
}

std::uint32_t ReadU32(const std::vector<std::uint8_t>& data, size_t at) {
    return (std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) |
           (std::uint32_t{data[at + 2]} << 8) | data[at + 3];
}

}  // namespace

TEST(BannerPicture, TicksStandAtTheMetersColumnsOverABlackChannel) {
    const CRgbaImage banner = DrawBannerPicture();
    ASSERT_EQ(banner.Width(), 710);
    ASSERT_EQ(banner.Height(), 50);
    // The long ticks of -100, -50, -10, 0, 10, 50 and 100 cents, and every
    // labelled cent within ten of zero 15 pixels apart.
    for (int x : {9, 84, 204, 354, 504, 624, 699}) {
        for (int y = 24; y < 29; ++y) {
            EXPECT_GT(Luma(banner.Pixel(x, y)), 120) << "tick at (" << x << ", " << y << ")";
            EXPECT_LT(Luma(banner.Pixel(x - 1, y)), 60) << "beside tick at " << x;
            EXPECT_LT(Luma(banner.Pixel(x + 1, y)), 60) << "beside tick at " << x;
        }
    }
    for (int x = 219; x < 504; x += 15) {
        EXPECT_GT(Luma(banner.Pixel(x, 25)), 120) << "cent tick at " << x;
        EXPECT_LT(Luma(banner.Pixel(x - 1, 25)), 60) << "beside cent tick at " << x;
    }
    // The short ticks sit lower than the long ones reach.
    EXPECT_LT(Luma(banner.Pixel(219, 28)), 60);
    // The bar's area is pure black, as a reset meter paints it, so the meter
    // never leaves a seam on the picture.
    for (int y = 5; y < 21; ++y) {
        for (int x = 8; x < 700; ++x) {
            ASSERT_EQ(banner.Pixel(x, y), MakeRgba(0, 0, 0)) << "at (" << x << ", " << y << ")";
        }
    }
}

TEST(CursorPicture, HandPointsWithItsFingertipAtTheHotSpot) {
    const CursorPicture cursor = DrawHandCursor();
    ASSERT_EQ(cursor.image.Width(), 32);
    ASSERT_EQ(cursor.image.Height(), 32);
    EXPECT_EQ(cursor.nHotX, 13);
    EXPECT_EQ(cursor.nHotY, 1);
    // The outline of the fingertip is under the hot spot, nothing above it.
    EXPECT_EQ(cursor.image.Pixel(13, 1), MakeRgba(0, 0, 0));
    EXPECT_EQ(cursor.image.Pixel(13, 0).a, 0);
    EXPECT_EQ(cursor.image.Pixel(13, 2), MakeRgba(255, 255, 255));
    // The mask is clean: every pixel fully shown or fully clear.
    int nShown = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const std::uint8_t a = cursor.image.Pixel(x, y).a;
            ASSERT_TRUE(a == 0 || a == 255);
            nShown += a == 255;
        }
    }
    EXPECT_GT(nShown, 200);
}

TEST(ToolbarPictures, OneDistinctPictureForEveryButton) {
    const std::vector<int>& layout = ToolbarLayout();
    std::vector<int> commands;
    for (int command : layout) {
        if (command != 0) {
            commands.push_back(command);
        }
    }
    EXPECT_EQ(commands, (std::vector<int>{32775, 32771, 32773, 32774, 32822, 32823, 32780,
                                          32779, 32804, 32808, 32805, 32812, 32811, 32809,
                                          32806, 32820, 32818, 57669, 57667, 57664}));
    std::set<std::vector<std::uint8_t>> seen;
    for (int command : commands) {
        const CRgbaImage picture = DrawToolbarPicture(command);
        ASSERT_EQ(picture.Width(), 16) << command;
        ASSERT_EQ(picture.Height(), 16) << command;
        int nInk = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                nInk += picture.Pixel(x, y).a > 128;
            }
        }
        EXPECT_GT(nInk, 20) << command;
        EXPECT_LT(nInk, 200) << command << " should stand on a transparent ground";
        EXPECT_TRUE(seen.insert(picture.Data()).second) << command << " repeats a picture";
    }
    EXPECT_TRUE(DrawToolbarPicture(12345).IsEmpty());
}

// WCAG's relative luminance of a colour, and the contrast of two colours.
double Luminance(double r, double g, double b) {
    auto lin = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
}

// Every picture stands out from the toolbar of a light and of a dark theme,
// on a button at rest and on a pressed one: enough of its pixels, laid over
// the button, differ from it as much as text must from its ground.
TEST(ToolbarPictures, ReadOnLightAndDarkThemesPressedOrNot) {
    const struct {
        const char* theme;
        Rgba ink;
        Rgba ground;
    } themes[] = {
        {"light", MakeRgba(46, 52, 54), MakeRgba(246, 245, 244)},
        {"light, pressed", MakeRgba(46, 52, 54), MakeRgba(214, 209, 205)},
        {"dark", MakeRgba(238, 238, 236), MakeRgba(53, 53, 53)},
        {"dark, pressed", MakeRgba(238, 238, 236), MakeRgba(30, 30, 30)},
    };
    for (const auto& t : themes) {
        const double lg = Luminance(t.ground.r, t.ground.g, t.ground.b);
        for (int command : ToolbarLayout()) {
            if (command == 0) {
                continue;
            }
            const CRgbaImage picture = DrawToolbarPicture(command, t.ink);
            int nClear = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const Rgba p = picture.Pixel(x, y);
                    const double a = p.a / 255.0;
                    const double l =
                        Luminance(p.r * a + t.ground.r * (1 - a), p.g * a + t.ground.g * (1 - a),
                                  p.b * a + t.ground.b * (1 - a));
                    nClear += (std::max(l, lg) + 0.05) / (std::min(l, lg) + 0.05) >= 3.0;
                }
            }
            EXPECT_GE(nClear, 15) << command << " on the " << t.theme << " theme";
        }
    }
}

TEST(ProgramIcon, RoundBadgeOnATransparentGroundAtEverySize) {
    for (int size : {16, 32, 48, 64}) {
        const CRgbaImage icon = DrawProgramIcon(size);
        ASSERT_EQ(icon.Width(), size);
        EXPECT_EQ(icon.Pixel(0, 0).a, 0) << size;
        EXPECT_EQ(icon.Pixel(size - 1, size - 1).a, 0) << size;
        EXPECT_EQ(icon.Pixel(size / 2, size / 2).a, 255) << size;
    }
}

TEST(RgbaImage, PngHasTheChunksAndSizesReadersExpect) {
    CRgbaImage image(3, 2, MakeRgba(10, 20, 30, 40));
    const std::vector<std::uint8_t> png = image.EncodePng();
    const std::vector<std::uint8_t> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u + 25u + 12u);
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
    EXPECT_EQ(ReadU32(png, 8), 13u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(ReadU32(png, 16), 3u);
    EXPECT_EQ(ReadU32(png, 20), 2u);
    EXPECT_EQ(png[24], 8);  // bits per channel
    EXPECT_EQ(png[25], 6);  // RGBA
    EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");
    // A picture larger than one deflate block still encodes every row.
    const CRgbaImage large(300, 300, MakeRgba(1, 2, 3));
    EXPECT_GT(large.EncodePng().size(), 300u * 300u * 4u);
}

TEST(Pictures, WritesEveryPictureAsPng) {
    const std::string dir = PictureDir();
    EXPECT_TRUE(DrawKeyboardPicture().WritePng(dir + "/keyboard.png"));
    CRgbaImage banner = DrawBannerPicture();
    EXPECT_TRUE(banner.WritePng(dir + "/banner.png"));
    EXPECT_TRUE(banner.Scaled(2).WritePng(dir + "/banner_x2.png"));
    for (double cents : {5.0, -20.0, 75.0}) {
        CRecordingCanvas canvas(Rect{0, 0, 710, 50});
        CCentsMeter meter;
        meter.SetWindow(&canvas);
        meter.SetCents(cents);
        CRgbaImage shown = banner;
        ApplyFills(shown, canvas);
        EXPECT_TRUE(shown.Scaled(2).WritePng(dir + "/banner_meter_" +
                                             std::to_string(static_cast<int>(cents)) + ".png"));
    }
    const CursorPicture cursor = DrawHandCursor();
    EXPECT_TRUE(cursor.image.WritePng(dir + "/cursor.png"));
    EXPECT_TRUE(cursor.image.Scaled(8).WritePng(dir + "/cursor_x8.png"));
    for (int size : {16, 32, 48, 64}) {
        EXPECT_TRUE(DrawProgramIcon(size).WritePng(dir + "/icon" + std::to_string(size) + ".png"));
    }
    EXPECT_TRUE(DrawProgramIcon(32).Scaled(6).WritePng(dir + "/icon32_x6.png"));
    EXPECT_TRUE(DrawProgramIcon(16).Scaled(8).WritePng(dir + "/icon16_x8.png"));

    // The toolbar as it stands, at real size and enlarged, on a toolbar grey.
    const auto& layout = ToolbarLayout();
    CRgbaImage bar(static_cast<int>(layout.size()) * 24 + 4, 24, MakeRgba(236, 236, 236));
    int x = 4;
    for (int command : layout) {
        if (command == 0) {
            bar.FillRect(Rect{x + 2, 3, x + 3, 21}, MakeRgba(190, 190, 190));
            x += 6;
            continue;
        }
        const CRgbaImage picture = DrawToolbarPicture(command);
        EXPECT_TRUE(picture.WritePng(dir + "/tool_" + std::to_string(command) + ".png"));
        bar.Draw(picture, x, 4);
        x += 24;
    }
    EXPECT_TRUE(bar.WritePng(dir + "/toolbar.png"));
    EXPECT_TRUE(bar.Scaled(4).WritePng(dir + "/toolbar_x4.png"));
}
