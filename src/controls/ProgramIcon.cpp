// SPDX-License-Identifier: GPL-3.0-or-later
// The program icon: an ebony dial in a brass rim with the twelve notes of the
// circle of fifths and a tuning fork. It is described once as a list of
// shapes, which are either painted into a picture of any size or written out
// as a scalable SVG drawing, so the theme's icons and the window's icons are
// the same picture.
#include <cstdio>
#include <string>
#include <vector>

#include "controls/Painter.h"
#include "controls/Pictures.h"

namespace {

constexpr Rgba kIvory = MakeRgba(236, 228, 206);
constexpr Rgba kBrass = MakeRgba(206, 160, 72);
constexpr Rgba kBrassDark = MakeRgba(128, 92, 34);
constexpr Rgba kEbony = MakeRgba(34, 30, 28);
constexpr Rgba kEbonyLight = MakeRgba(64, 57, 52);
constexpr Rgba kRed = MakeRgba(214, 40, 36);
constexpr Rgba kSteel = MakeRgba(214, 218, 224);
constexpr Rgba kSteelDark = MakeRgba(120, 126, 136);

// One shape of the icon, in pixels of the size it was laid out for.
struct SIconShape {
    enum Kind { kDisc, kRing, kLine, kArc } kind;
    double x0, y0;  // centre, or the start of a line
    double x1, y1;  // the end of a line
    double r0, r1;  // radius (disc, arc), outer and inner radius (ring)
    double width;   // line and arc width
    double a0, a1;  // arc angles, degrees clockwise from the top
    Rgba colour;
};

std::vector<SIconShape> IconShapes(int nSize) {
    std::vector<SIconShape> shapes;
    // Everything is laid out on a 32-unit square and scaled.
    const double s = nSize / 32.0;
    const double c = 16.0 * s;
    auto disc = [&](double x, double y, double r, Rgba colour) {
        shapes.push_back({SIconShape::kDisc, x, y, 0, 0, r, 0, 0, 0, 0, colour});
    };
    auto line = [&](double x0, double y0, double x1, double y1, double width, Rgba colour) {
        shapes.push_back({SIconShape::kLine, x0, y0, x1, y1, 0, 0, width, 0, 0, colour});
    };

    // An ebony dial in a brass rim.
    disc(c, c, 15.8 * s, kBrassDark);
    disc(c, c, 15.0 * s, kBrass);
    disc(c, c, 13.6 * s, kEbony);
    shapes.push_back({SIconShape::kRing, c, c, 0, 0, 13.6 * s, 12.6 * s, 0, 0, 0, kEbonyLight});

    // The twelve notes of the circle of fifths, C at the top in red; too
    // small to read at the smallest size, where the fork alone remains.
    if (nSize >= 24) {
        for (int i = 0; i < 12; ++i) {
            const PointF p = CPainter::OnCircle(c, c, 10.6 * s, i * 30.0);
            disc(p.x, p.y, (i == 0 ? 1.5 : 1.15) * s, i == 0 ? kRed : kIvory);
        }
    }

    // A tuning fork: two tines joined by a U, and a stem.
    const double fork = nSize >= 24 ? 1.0 : 1.35;
    auto X = [&](double u) { return c + (u - 16.0) * s * fork; };
    auto Y = [&](double v) { return c + (v - 16.0) * s * fork; };
    const double tine = 1.9 * s * fork;
    line(X(13.4), Y(8.0), X(13.4), Y(17.0), tine, kSteel);
    line(X(18.6), Y(8.0), X(18.6), Y(17.0), tine, kSteel);
    shapes.push_back(
        {SIconShape::kArc, X(16.0), Y(17.0), 0, 0, 2.6 * s * fork, 0, tine, 90.0, 270.0, kSteel});
    line(X(16.0), Y(19.4), X(16.0), Y(25.0), 2.2 * s * fork, kSteel);
    // A shadow down the right of each tine gives the steel some depth.
    line(X(14.1), Y(8.6), X(14.1), Y(16.6), 0.5 * s * fork, kSteelDark);
    line(X(19.3), Y(8.6), X(19.3), Y(16.6), 0.5 * s * fork, kSteelDark);
    return shapes;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string SvgColour(Rgba colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    return text;
}

}  // namespace

CRgbaImage DrawProgramIcon(int nSize) {
    CRgbaImage image(nSize, nSize);
    CPainter painter(image, 6);
    for (const SIconShape& shape : IconShapes(nSize)) {
        switch (shape.kind) {
            case SIconShape::kDisc:
                painter.Disc(shape.x0, shape.y0, shape.r0, shape.colour);
                break;
            case SIconShape::kRing:
                painter.Ring(shape.x0, shape.y0, shape.r0, shape.r1, shape.colour);
                break;
            case SIconShape::kLine:
                painter.Line(shape.x0, shape.y0, shape.x1, shape.y1, shape.width, shape.colour);
                break;
            case SIconShape::kArc:
                painter.Arc(shape.x0, shape.y0, shape.r0, shape.width, shape.a0, shape.a1,
                            shape.colour);
                break;
        }
    }
    return image;
}

std::string DrawProgramIconSvg() {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" "
        "viewBox=\"0 0 32 32\">\n";
    for (const SIconShape& shape : IconShapes(32)) {
        const std::string colour = SvgColour(shape.colour);
        switch (shape.kind) {
            case SIconShape::kDisc:
                svg += "  <circle cx=\"" + Number(shape.x0) + "\" cy=\"" + Number(shape.y0) +
                       "\" r=\"" + Number(shape.r0) + "\" fill=\"" + colour + "\"/>\n";
                break;
            case SIconShape::kRing:
                svg += "  <circle cx=\"" + Number(shape.x0) + "\" cy=\"" + Number(shape.y0) +
                       "\" r=\"" + Number((shape.r0 + shape.r1) / 2.0) +
                       "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"" +
                       Number(shape.r0 - shape.r1) + "\"/>\n";
                break;
            case SIconShape::kLine:
                svg += "  <line x1=\"" + Number(shape.x0) + "\" y1=\"" + Number(shape.y0) +
                       "\" x2=\"" + Number(shape.x1) + "\" y2=\"" + Number(shape.y1) +
                       "\" stroke=\"" + colour + "\" stroke-width=\"" + Number(shape.width) +
                       "\" stroke-linecap=\"round\"/>\n";
                break;
            case SIconShape::kArc: {
                // Clockwise from a0 to a1, as the painter draws it.
                const PointF p0 = CPainter::OnCircle(shape.x0, shape.y0, shape.r0, shape.a0);
                const PointF p1 = CPainter::OnCircle(shape.x0, shape.y0, shape.r0, shape.a1);
                const bool bLarge = shape.a1 - shape.a0 > 180.0;
                svg += "  <path d=\"M " + Number(p0.x) + " " + Number(p0.y) + " A " +
                       Number(shape.r0) + " " + Number(shape.r0) + " 0 " + (bLarge ? "1" : "0") +
                       " 1 " + Number(p1.x) + " " + Number(p1.y) + "\" fill=\"none\" stroke=\"" +
                       colour + "\" stroke-width=\"" + Number(shape.width) + "\"/>\n";
                break;
            }
        }
    }
    svg += "</svg>\n";
    return svg;
}
