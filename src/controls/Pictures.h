// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures, drawn in code so that they need no image files and
// can be checked headless: the keyboard octave, the banner with its cents
// scale, the pointing-hand cursor, the program icon and the toolbar pictures.
// Any thread.
#pragma once

#include <string>
#include <vector>

#include "controls/RgbaImage.h"

// One octave from C to B, 274 x 138, whose keys cover exactly the key regions
// of CKeyboardControl: black naturals parted by light lines, white
// accidentals with a grey band at their lower end.
CRgbaImage DrawKeyboardPicture();

// The 710 x 50 banner: the channel the cents meter draws its bar in, and
// under it the meter's piecewise cents scale, a flat sign at the left end, a
// sharp sign at the right end and "CENTS" under a marker at zero.
CRgbaImage DrawBannerPicture();
// The cents the banner marks with long ticks, and those it labels.
const std::vector<int>& BannerMajorTicks();
const std::vector<int>& BannerLabelledCents();

struct CursorPicture {
    CRgbaImage image;  // 32 x 32; alpha 0 is transparent
    int nHotX = 0;
    int nHotY = 0;
};
// The pointing hand shown over the keys and the circle's names; its hot spot
// is the tip of the index finger.
CursorPicture DrawHandCursor();

// The program icon at a square size (16 to 256 are used), and the same
// picture as a scalable SVG drawing.
CRgbaImage DrawProgramIcon(int nSize);
std::string DrawProgramIconSvg();

// The toolbar's commands from left to right; 0 stands for a separator.
const std::vector<int>& ToolbarLayout();
// The ink of the toolbar pictures on a light theme.
constexpr Rgba kToolbarInk = MakeRgba(38, 36, 40);
// Whether an ink is light (the foreground of a dark theme).
bool IsLightInk(Rgba ink);
// The 16 x 16 picture of a toolbar command in the theme's foreground colour
// (ink); empty for an unknown command.
CRgbaImage DrawToolbarPicture(int nCommand, Rgba ink = kToolbarInk);
