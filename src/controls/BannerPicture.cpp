// SPDX-License-Identifier: GPL-3.0-or-later
// The banner over which the cents meter draws: a black channel for the bar
// and under it the meter's own scale, every tick placed with the meter's
// column mapping so that the bar ends exactly at the mark it means.
#include <cstdlib>
#include <cstring>
#include <string>

#include "controls/CentsMeter.h"
#include "controls/Painter.h"
#include "controls/Pictures.h"
#include "controls/PixelFont.h"

namespace {

constexpr int kWidth = 710;
constexpr int kHeight = 50;

constexpr Rgba kPlateTop = MakeRgba(30, 29, 28);
constexpr Rgba kPlateBottom = MakeRgba(14, 14, 14);
constexpr Rgba kChannel = MakeRgba(0, 0, 0);
constexpr Rgba kChannelRim = MakeRgba(84, 80, 72);
constexpr Rgba kEngraving = MakeRgba(226, 218, 196);
constexpr Rgba kFaint = MakeRgba(120, 115, 104);
constexpr Rgba kBrass = MakeRgba(214, 172, 86);

// Rows of the scale under the channel.
constexpr int kBaseline = 23;
constexpr int kMajorTickEnd = 29;  // exclusive
constexpr int kMinorTickEnd = 27;  // exclusive
constexpr int kHalfTickEnd = 26;   // exclusive
constexpr int kLabelTop = 30;
constexpr int kMarkerTop = 38;
constexpr int kWordTop = 42;

void Tick(CRgbaImage& image, int nColumn, int nEnd, Rgba colour) {
    image.FillRect(Rect{nColumn, kBaseline, nColumn + 1, nEnd}, colour);
}

void Label(CRgbaImage& image, int nColumn, const std::string& text, Rgba colour) {
    const int w = PixelTextWidth(PixelFont::Regular, text);
    DrawPixelText(image, PixelFont::Regular, nColumn - w / 2, kLabelTop, text, colour);
}

// The flat and sharp signs, drawn with the numerals' one-pixel strokes but
// twice their height so that the ends of the scale read at a glance.
const char* const kFlatRows[] = {
    "#......", "#......", "#......", "#......", "#......", "#.###..", "###.##.",
    "##...##", "#....##", "#...##.", "#..##..", "#.##...", "###....",
};
const char* const kSharpRows[] = {
    ".....#..", "..#..#..", "..#..#..", "..#.####", "########", "####.#..", "..#..#..",
    "..#.####", "########", "####.#..", "..#..#..", "..#..#..", "..#.....",
};
constexpr int kSignRows = 13;

void Sign(CRgbaImage& image, const char* const* rows, int nRows, int nColumn, int nTop) {
    const int w = static_cast<int>(std::strlen(rows[0]));
    const int left = nColumn - w / 2;
    for (int r = 0; r < nRows; ++r) {
        for (int c = 0; c < w; ++c) {
            if (rows[r][c] == '#') {
                image.SetPixel(left + c, nTop + r, kEngraving);
            }
        }
    }
}

}  // namespace

const std::vector<int>& BannerMajorTicks() {
    static const std::vector<int> cents{-100, -50, -10, 0, 10, 50, 100};
    return cents;
}

const std::vector<int>& BannerLabelledCents() {
    static const std::vector<int> cents = [] {
        std::vector<int> c;
        for (int v = -90; v < -10; v += 10) {
            c.push_back(v);
        }
        for (int v = -10; v <= 10; ++v) {
            c.push_back(v);
        }
        for (int v = 20; v <= 90; v += 10) {
            c.push_back(v);
        }
        return c;
    }();
    return cents;
}

CRgbaImage DrawBannerPicture() {
    CRgbaImage image(kWidth, kHeight);
    CPainter painter(image);
    painter.VerticalGradient(Rect{0, 0, kWidth, kHeight}, kPlateTop, kPlateBottom);

    // The channel the bar is drawn in, with a thin rim around it.
    const Rect bar{CCentsMeter::kBarLeft, CCentsMeter::kBarTop, CCentsMeter::kBarRight,
                   CCentsMeter::kBarBottom};
    image.FillRect(bar.Deflated(-1), kChannelRim);
    image.FillRect(bar, kChannel);

    const int nLeft = CCentsMeter::CentsToColumn(-100.0);
    const int nRight = CCentsMeter::CentsToColumn(100.0);
    image.FillRect(Rect{nLeft, kBaseline, nRight + 1, kBaseline + 1}, kFaint);
    // The steep zone within ten cents of zero is underlined in brass.
    image.FillRect(Rect{CCentsMeter::CentsToColumn(-10.0), kBaseline,
                        CCentsMeter::CentsToColumn(10.0) + 1, kBaseline + 1},
                   kBrass);

    // Five-cent ticks where the scale is wide enough for them.
    for (int c = 15; c < 50; c += 10) {
        Tick(image, CCentsMeter::CentsToColumn(c), kHalfTickEnd, kFaint);
        Tick(image, CCentsMeter::CentsToColumn(-c), kHalfTickEnd, kFaint);
    }
    for (int c : BannerLabelledCents()) {
        Tick(image, CCentsMeter::CentsToColumn(c), kMinorTickEnd, kEngraving);
        Label(image, CCentsMeter::CentsToColumn(c), std::to_string(std::abs(c)),
              c == 0 ? kBrass : kEngraving);
    }
    for (int c : BannerMajorTicks()) {
        Tick(image, CCentsMeter::CentsToColumn(c), kMajorTickEnd, c == 0 ? kBrass : kEngraving);
    }

    // Under the end ticks, in place of the numerals 100.
    Sign(image, kFlatRows, kSignRows, nLeft + 3, kLabelTop);
    Sign(image, kSharpRows, kSignRows, nRight, kLabelTop);

    // A small marker under the zero, and the unit under it.
    const int nZero = CCentsMeter::kZeroColumn;
    painter.Polygon({{nZero + 0.5, kMarkerTop},
                     {nZero + 3.5, kMarkerTop + 3.0},
                     {nZero - 2.5, kMarkerTop + 3.0}},
                    kBrass);
    const std::string word = "CENTS";
    const int nWordWidth = PixelTextWidth(PixelFont::Regular, word);
    DrawPixelText(image, PixelFont::Regular, nZero - nWordWidth / 2, kWordTop, word, kEngraving);
    return image;
}
