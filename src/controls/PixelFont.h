// SPDX-License-Identifier: GPL-3.0-or-later
// Two small bitmap fonts for the pictures drawn in code (the banner's
// numerals and "CENTS", the toolbar's interval marks), which must not depend
// on a font engine. Any thread.
#pragma once

#include <string>

#include "controls/RgbaImage.h"

enum class PixelFont {
    Small,    // 3 x 5 digits and a few letters (M is 5 wide)
    Regular,  // 7 rows: 4-wide digits, 5-wide capitals
};

// Rows of a glyph, '#' for ink; empty when the font has no such character.
const char* const* PixelGlyph(PixelFont font, char ch, int* pnWidth);
int PixelFontHeight(PixelFont font);
// Width in pixels of a text with one blank column between glyphs.
int PixelTextWidth(PixelFont font, const std::string& text, int nSpacing = 1);
// Draws text with its top left at (x, y); unknown characters leave a gap as
// wide as a digit.
void DrawPixelText(CRgbaImage& image, PixelFont font, int x, int y, const std::string& text,
                   Rgba colour, int nSpacing = 1);
