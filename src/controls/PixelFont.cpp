#include "controls/PixelFont.h"

#include <cstring>

namespace {

struct Glyph {
    char ch;
    const char* rows[7];
};

// 7 rows: narrow 4-wide digits so that scale numerals 15 pixels apart stay
// clear of each other, and 5-wide capitals for words.
const Glyph kRegular[] = {
    {'0', {".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."}},
    {'1', {"..#.", ".##.", "..#.", "..#.", "..#.", "..#.", ".###"}},
    {'2', {".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"}},
    {'3', {".##.", "#..#", "...#", ".##.", "...#", "#..#", ".##."}},
    {'4', {"..#.", ".##.", "#.#.", "#.#.", "####", "..#.", "..#."}},
    {'5', {"####", "#...", "###.", "...#", "...#", "#..#", ".##."}},
    {'6', {".##.", "#...", "#...", "###.", "#..#", "#..#", ".##."}},
    {'7', {"####", "...#", "..#.", "..#.", ".#..", ".#..", ".#.."}},
    {'8', {".##.", "#..#", "#..#", ".##.", "#..#", "#..#", ".##."}},
    {'9', {".##.", "#..#", "#..#", ".###", "...#", "...#", ".##."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'N', {"#...#", "##..#", "##..#", "#.#.#", "#..##", "#..##", "#...#"}},
    {'S', {".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'-', {"....", "....", "....", "####", "....", "....", "...."}},
};

// 3 x 5: interval marks on toolbar pictures.
const Glyph kSmall[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}},
    {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"##.", "..#", ".#.", "#..", "###"}},
    {'3', {"##.", "..#", ".#.", "..#", "##."}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}},
    {'5', {"###", "#..", "##.", "..#", "##."}},
    {'6', {".##", "#..", "###", "#.#", "###"}},
    {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}},
    {'9', {"###", "#.#", "###", "..#", "##."}},
    {'M', {"#...#", "##.##", "#.#.#", "#...#", "#...#"}},
    {'m', {".....", ".....", "####.", "#.#.#", "#.#.#"}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'-', {"...", "...", "###", "...", "..."}},
};

template <size_t N>
const Glyph* Find(const Glyph (&glyphs)[N], char ch) {
    for (const Glyph& g : glyphs) {
        if (g.ch == ch) {
            return &g;
        }
    }
    return nullptr;
}

}  // namespace

int PixelFontHeight(PixelFont font) {
    return font == PixelFont::Small ? 5 : 7;
}

const char* const* PixelGlyph(PixelFont font, char ch, int* pnWidth) {
    const Glyph* g = font == PixelFont::Small ? Find(kSmall, ch) : Find(kRegular, ch);
    if (pnWidth != nullptr) {
        *pnWidth = g != nullptr ? static_cast<int>(std::strlen(g->rows[0]))
                                : (font == PixelFont::Small ? 3 : 4);
    }
    return g != nullptr ? g->rows : nullptr;
}

int PixelTextWidth(PixelFont font, const std::string& text, int nSpacing) {
    int nWidth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int w = 0;
        PixelGlyph(font, text[i], &w);
        nWidth += w + (i + 1 < text.size() ? nSpacing : 0);
    }
    return nWidth;
}

void DrawPixelText(CRgbaImage& image, PixelFont font, int x, int y, const std::string& text,
                   Rgba colour, int nSpacing) {
    const int h = PixelFontHeight(font);
    for (char ch : text) {
        int w = 0;
        const char* const* rows = PixelGlyph(font, ch, &w);
        if (rows != nullptr) {
            for (int r = 0; r < h; ++r) {
                for (int c = 0; c < w; ++c) {
                    if (rows[r][c] == '#') {
                        image.BlendPixel(x + c, y + r, colour);
                    }
                }
            }
        }
        x += w + nSpacing;
    }
}
