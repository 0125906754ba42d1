#include <gtest/gtest.h>

#include <cstdlib>

#include "controls/KeyboardControl.h"
#include "controls/Pictures.h"

namespace {

struct HitCase {
    int x;
    int y;
    int nExpected;  // NoteIndex + 1, or 0
};

// Twice the area of a polygon by the shoelace formula.
long DoubleArea(const std::vector<KeyPoint>& v) {
    long sum = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const KeyPoint& a = v[i];
        const KeyPoint& b = v[(i + 1) % v.size()];
        sum += static_cast<long>(a.x) * b.y - static_cast<long>(b.x) * a.y;
    }
    return std::labs(sum);
}

int Luma(const Rgba& p) {
    return (299 * p.r + 587 * p.g + 114 * p.b) / 1000;
}

}  // namespace

TEST(KeyboardControl, HitTestAtAndAroundTheOutlines) {
    const CKeyboardControl keyboard;
    const HitCase cases[] = {
        // Points named for the keyboard: accidental above, natural below, strips.
        {30, 40, 2},
        {30, 100, 1},
        {23, 40, 0},
        {200, 100, 10},
        {233, 100, 0},
        {240, 40, 11},
        // C: the top left vertex is inside, the right and bottom edges are not.
        {1, 1, 1},
        {0, 1, 0},
        {1, 0, 0},
        {21, 75, 1},
        {22, 75, 0},
        {21, 76, 1},
        {36, 136, 1},
        {37, 136, 0},
        {36, 137, 0},
        // C#: a rectangle from (25, 1) up to but not including (43, 75).
        {25, 1, 2},
        {24, 1, 0},
        {42, 74, 2},
        {43, 74, 0},
        {42, 75, 0},
        // D: the step at row 76 where the key widens under the accidentals.
        {45, 75, 3},
        {44, 75, 0},
        {39, 76, 3},
        {39, 75, 0},
        {38, 100, 0},
        {74, 136, 3},
        {75, 136, 0},
        {67, 1, 3},
        {68, 1, 0},
        // E and F meet with a strip over the full height.
        {111, 1, 5},
        {112, 1, 0},
        {114, 136, 0},
        {115, 136, 6},
        // B: the last key, and the border right of it.
        {252, 1, 12},
        {251, 40, 0},
        {235, 76, 12},
        {271, 136, 12},
        {272, 136, 0},
        {273, 50, 0},
        // Outside the picture altogether.
        {-1, 50, 0},
        {50, -1, 0},
        {300, 50, 0},
        {50, 200, 0},
    };
    for (const HitCase& c : cases) {
        EXPECT_EQ(keyboard.HitTest(c.x, c.y), c.nExpected) << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST(KeyboardControl, KeysAreDisjointAndCoverTheirOutlinesExactly) {
    const CKeyboardControl keyboard;
    long anPixels[CKeyboardControl::kKeyCount] = {};
    for (int y = 0; y < CKeyboardControl::kPictureHeight; ++y) {
        for (int x = 0; x < CKeyboardControl::kPictureWidth; ++x) {
            int nInside = 0;
            for (int note = 0; note < CKeyboardControl::kKeyCount; ++note) {
                if (keyboard.Region(note).Contains(x, y)) {
                    ++nInside;
                    ++anPixels[note];
                }
            }
            ASSERT_LE(nInside, 1) << "keys overlap at (" << x << ", " << y << ")";
        }
    }
    // Each key holds exactly as many pixels as its outline encloses.
    for (int note = 0; note < CKeyboardControl::kKeyCount; ++note) {
        EXPECT_EQ(2 * anPixels[note], DoubleArea(keyboard.Region(note).Vertices()))
            << "note " << note;
    }
}

TEST(KeyboardPicture, EveryKeyShowsItsColourAndTheStripsSeparateThem) {
    const CRgbaImage picture = DrawKeyboardPicture();
    ASSERT_EQ(picture.Width(), 274);
    ASSERT_EQ(picture.Height(), 138);
    const CKeyboardControl keyboard;
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const Rgba p = picture.Pixel(x, y);
            ASSERT_EQ(p.a, 255) << "at (" << x << ", " << y << ")";
            const int nKey = keyboard.HitTest(x, y);
            if (nKey == 0) {
                continue;
            }
            if (!CKeyboardControl::IsAccidental(nKey - 1)) {
                ASSERT_LT(Luma(p), 70)
                    << "natural " << nKey - 1 << " at (" << x << ", " << y << ")";
            } else if (y < 68) {
                ASSERT_GT(Luma(p), 215) << "accidental at (" << x << ", " << y << ")";
            } else {
                ASSERT_GT(Luma(p), 110) << "band at (" << x << ", " << y << ")";
                ASSERT_LT(Luma(p), 190) << "band at (" << x << ", " << y << ")";
            }
        }
    }
    // Light lines part the naturals over their lower half, and the accidentals'
    // bands reach down to row 75, one row past their regions.
    for (int x : {37, 38, 75, 76, 112, 114, 152, 154, 192, 194, 232, 234}) {
        for (int y = 76; y < 137; ++y) {
            ASSERT_GT(Luma(picture.Pixel(x, y)), 150) << "strip at (" << x << ", " << y << ")";
        }
    }
    for (int x : {25, 42, 71, 139, 185, 231, 248}) {
        const int nLuma = Luma(picture.Pixel(x, 75));
        EXPECT_GT(nLuma, 110) << "band at (" << x << ", 75)";
        EXPECT_LT(nLuma, 190) << "band at (" << x << ", 75)";
    }
}

// The mark of the note Space would choose lies on that key alone, clear of
// its edges, and the arrows step round the octave.
TEST(KeyboardControl, TheMarkLiesOnItsKeyAndTheArrowsGoRound) {
    const CKeyboardControl keyboard;
    for (int note = 0; note < CKeyboardControl::kKeyCount; ++note) {
        const Rect mark = keyboard.NoteMark(note);
        ASSERT_FALSE(mark.IsEmpty()) << note;
        for (int y = mark.top - 2; y < mark.bottom + 2; ++y) {
            for (int x = mark.left - 2; x < mark.right + 2; ++x) {
                ASSERT_EQ(keyboard.HitTest(x, y), note + 1) << note << " at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(CKeyboardControl::StepNote(0, -1), 11);
    EXPECT_EQ(CKeyboardControl::StepNote(11, 1), 0);
    EXPECT_EQ(CKeyboardControl::StepNote(4, 1), 5);
}
