// SPDX-License-Identifier: GPL-3.0-or-later
// ICanvas is the small drawing surface the display objects paint through: one
// per target window, so the objects never see the window system. Called on the
// user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

// A colour as red, green and blue, 0..255 each.
struct Colour {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Colour& a, const Colour& c) {
        return a.r == c.r && a.g == c.g && a.b == c.b;
    }
    friend bool operator!=(const Colour& a, const Colour& c) { return !(a == c); }
};

constexpr Colour MakeColour(int r, int g, int b) {
    return Colour{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                  static_cast<std::uint8_t>(b)};
}

// A rectangle in client pixels. Left and top edges lie inside it, right and
// bottom edges outside, so a 40 x 20 cell at (168, 12) is {168, 12, 208, 32}.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    // The rectangle moved inwards by d on every side.
    Rect Deflated(int d) const { return Rect{left + d, top + d, right - d, bottom - d}; }

    friend bool operator==(const Rect& a, const Rect& c) {
        return a.left == c.left && a.top == c.top && a.right == c.right && a.bottom == c.bottom;
    }
    friend bool operator!=(const Rect& a, const Rect& c) { return !(a == c); }
};

// Text format bits, with the values of the classic draw-text flags so that
// stored formats keep their meaning.
enum TextFormat : unsigned {
    kTextLeft = 0x00,
    kTextCenter = 0x01,
    kTextRight = 0x02,
    // Vertical centring takes effect only together with single-line mode;
    // without it the text starts at the top of the rectangle.
    kTextVCenter = 0x04,
    kTextBottom = 0x08,
    kTextSingleLine = 0x20,
    // Text wider than its rectangle spills past it instead of being cut off.
    kTextNoClip = 0x100,
};

enum class FontQuality { Default, Proof, Antialiased };

constexpr int kFontWeightNormal = 400;
constexpr int kFontWeightBold = 700;

// A font as the display objects ask for it: the face name, the cell height in
// pixels (ascent plus descent), the weight and the rendering quality.
struct FontSpec {
    std::string face;
    int nHeight = 0;
    int nWeight = kFontWeightNormal;
    FontQuality quality = FontQuality::Default;

    friend bool operator==(const FontSpec& a, const FontSpec& c) {
        return a.face == c.face && a.nHeight == c.nHeight && a.nWeight == c.nWeight &&
               a.quality == c.quality;
    }
};

class ICanvas {
public:
    virtual ~ICanvas() = default;

    // Whether the target window exists; drawing on a missing window is skipped
    // by the callers.
    virtual bool IsWindow() const = 0;
    // The window's client area, origin at its top left.
    virtual Rect GetClientRect() const = 0;
    virtual void FillRect(const Rect& rc, Colour colour) = 0;
    // Draws text into rc, clipped to it unless the format says otherwise, in
    // the given font. The text's own
    // cells are filled with the background colour, as an opaque text
    // background does.
    virtual void DrawText(const std::string& text, const Rect& rc, const FontSpec& font,
                          Colour textColour, Colour backColour, unsigned format) = 0;
    // How wide the text comes out in the given font, in pixels; its height
    // is the font's cell height. Lets a drawing choose a font that fits.
    virtual int TextWidth(const std::string& text, const FontSpec& font) = 0;
};
