// SPDX-License-Identifier: GPL-3.0-or-later
// CRgbaImage is a small picture in memory, 8-bit red, green, blue and alpha,
// rows top to bottom, that the program's pictures are drawn into and that can
// be written out as a PNG file. Any thread may use an image it alone touches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controls/Canvas.h"

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;

    friend bool operator==(const Rgba& p, const Rgba& q) {
        return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
    }
    friend bool operator!=(const Rgba& p, const Rgba& q) { return !(p == q); }
};

constexpr Rgba MakeRgba(int r, int g, int b, int a = 255) {
    return Rgba{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)};
}

class CRgbaImage {
public:
    CRgbaImage() = default;
    // A picture of the given size, every pixel set to fill (transparent by
    // default).
    CRgbaImage(int nWidth, int nHeight, Rgba fill = Rgba{});

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool IsEmpty() const { return m_nWidth <= 0 || m_nHeight <= 0; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight; }

    // Outside the picture: transparent black.
    Rgba Pixel(int x, int y) const;
    // Writes are dropped outside the picture.
    void SetPixel(int x, int y, Rgba colour);
    // Lays colour over the pixel with the given coverage 0..1 (source over).
    void BlendPixel(int x, int y, Rgba colour, double dCoverage = 1.0);
    void FillRect(const Rect& rc, Rgba colour);
    // Draws another picture over this one with its top left at (x, y).
    void Draw(const CRgbaImage& src, int x, int y);
    // The picture enlarged by a whole factor, each pixel a block.
    CRgbaImage Scaled(int nFactor) const;

    const std::vector<std::uint8_t>& Data() const { return m_data; }

    // The picture as a PNG file (8-bit RGBA, uncompressed deflate blocks).
    std::vector<std::uint8_t> EncodePng() const;
    bool WritePng(const std::string& path) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<std::uint8_t> m_data;
};
