// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard octave, painted key by key over the outlines the hit test uses,
// so that what the user sees and what a click selects cannot drift apart.
#include "controls/KeyboardControl.h"
#include "controls/Painter.h"
#include "controls/Pictures.h"

namespace {

// Ebony naturals, bone accidentals, and the light lines between them.
constexpr Rgba kLine = MakeRgba(214, 206, 188);
constexpr Rgba kLineShadow = MakeRgba(150, 143, 128);
constexpr Rgba kNaturalTop = MakeRgba(44, 40, 37);
constexpr Rgba kNaturalBottom = MakeRgba(24, 22, 21);
constexpr Rgba kNaturalLip = MakeRgba(58, 53, 48);
constexpr Rgba kAccidentalTop = MakeRgba(238, 234, 222);
constexpr Rgba kAccidentalBottom = MakeRgba(252, 250, 243);
constexpr Rgba kBandTop = MakeRgba(176, 171, 160);
constexpr Rgba kBandBottom = MakeRgba(138, 133, 124);

// First row of the grey band at the accidentals' lower end.
constexpr int kBandRow = 68;
// Last row an accidental is painted on.
constexpr int kAccidentalLastRow = 75;
// Rows of the lighter front edge of the naturals.
constexpr int kLipRow = 131;

}  // namespace

CRgbaImage DrawKeyboardPicture() {
    const int w = CKeyboardControl::kPictureWidth;
    const int h = CKeyboardControl::kPictureHeight;
    CRgbaImage image(w, h, kLine);
    const CKeyboardControl keyboard;

    // The accidentals stand on the naturals, so the lines beside their lower
    // ends fall into shadow.
    for (int note = 0; note < CKeyboardControl::kKeyCount; ++note) {
        if (!CKeyboardControl::IsAccidental(note)) {
            continue;
        }
        const auto& v = keyboard.Region(note).Vertices();
        const int left = v[0].x, right = v[2].x;
        image.FillRect(Rect{left - 1, 1, right + 1, kAccidentalLastRow + 1}, kLineShadow);
    }

    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int nKey = keyboard.HitTest(x, y);
            if (nKey == 0) {
                continue;
            }
            const int note = nKey - 1;
            if (CKeyboardControl::IsAccidental(note)) {
                const Rgba c = y >= kBandRow
                                   ? Mix(kBandTop, kBandBottom,
                                         (y - kBandRow) / double(kAccidentalLastRow - kBandRow))
                                   : Mix(kAccidentalTop, kAccidentalBottom, y / double(kBandRow));
                image.SetPixel(x, y, c);
            } else {
                const Rgba c = y >= kLipRow ? kNaturalLip
                                            : Mix(kNaturalTop, kNaturalBottom, y / double(kLipRow));
                image.SetPixel(x, y, c);
            }
        }
    }

    // The accidentals reach one row past their regions, down to the band's
    // last row, as their front faces do on the instrument.
    for (int note = 0; note < CKeyboardControl::kKeyCount; ++note) {
        if (CKeyboardControl::IsAccidental(note)) {
            const auto& v = keyboard.Region(note).Vertices();
            image.FillRect(Rect{v[0].x, kAccidentalLastRow, v[2].x, kAccidentalLastRow + 1},
                           kBandBottom);
        }
    }
    return image;
}
