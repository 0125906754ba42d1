// SPDX-License-Identifier: GPL-3.0-or-later
// CPainter draws anti-aliased shapes (discs, rings, arcs, thick lines,
// polygons, rounded rectangles) into a CRgbaImage by sampling each pixel on
// a fine grid. It serves the pictures drawn in code. Any thread may use a
// painter over an image it alone touches.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/RgbaImage.h"

struct PointF {
    double x = 0.0;
    double y = 0.0;
};

class CPainter {
public:
    // Coordinates are continuous: pixel (x, y) covers [x, x+1) x [y, y+1).
    explicit CPainter(CRgbaImage& image, int nSamples = 4) : m_image(image), m_nSamples(nSamples) {}

    void Disc(double cx, double cy, double r, Rgba colour);
    void Ellipse(double cx, double cy, double rx, double ry, Rgba colour);
    // The band between two radii.
    void Ring(double cx, double cy, double rOuter, double rInner, Rgba colour);
    // A band of the given width along a circle from angle a0 to a1 in degrees,
    // measured clockwise from the top (12 o'clock), with square ends.
    void Arc(double cx, double cy, double r, double width, double a0, double a1, Rgba colour);
    // A line of the given width with round ends.
    void Line(double x0, double y0, double x1, double y1, double width, Rgba colour);
    void Polygon(const std::vector<PointF>& points, Rgba colour);
    void RoundRect(double x0, double y0, double x1, double y1, double radius, Rgba colour);
    // A rectangle shaded from one colour at its top to another at its bottom.
    void VerticalGradient(const Rect& rc, Rgba top, Rgba bottom);

    // Fills every sample inside the bounds for which inside(x, y) holds.
    // A template, so that the test is inlined into the sampling loop: it
    // runs for every sample of every pixel in the bounds.
    template <typename Inside>
    void Shape(double x0, double y0, double x1, double y1, const Inside& inside, Rgba colour);

    // A point on a circle at an angle in degrees clockwise from the top.
    static PointF OnCircle(double cx, double cy, double r, double degrees);

private:
    CRgbaImage& m_image;
    int m_nSamples;
};

// Linear mix of two colours, t = 0 gives a, t = 1 gives b.
Rgba Mix(Rgba a, Rgba b, double t);

template <typename Inside>
void CPainter::Shape(double x0, double y0, double x1, double y1, const Inside& inside,
                     Rgba colour) {
    const int px0 = std::max(static_cast<int>(std::floor(x0)), 0);
    const int py0 = std::max(static_cast<int>(std::floor(y0)), 0);
    const int px1 = std::min(static_cast<int>(std::ceil(x1)), m_image.Width());
    const int py1 = std::min(static_cast<int>(std::ceil(y1)), m_image.Height());
    const int n = std::max(m_nSamples, 1);
    const double step = 1.0 / n;
    for (int py = py0; py < py1; ++py) {
        for (int px = px0; px < px1; ++px) {
            int nHits = 0;
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    if (inside(px + (sx + 0.5) * step, py + (sy + 0.5) * step)) {
                        ++nHits;
                    }
                }
            }
            if (nHits > 0) {
                m_image.BlendPixel(px, py, colour, static_cast<double>(nHits) / (n * n));
            }
        }
    }
}
