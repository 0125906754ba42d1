// SPDX-License-Identifier: GPL-3.0-or-later
// The toolbar's 16 x 16 pictures, one per command, drawn as anti-aliased
// shapes on a transparent ground. Each shows the verb of its command: a
// plus, a pencil, a cross, a turning arrow, a microphone, a loudspeaker, the
// notes of an interval or chord with its name, an octave arrow, help marks.
// They are drawn in the theme's foreground colour, so that they read on a
// light toolbar and a dark one, pressed or not.
#include <algorithm>
#include <cmath>
#include <string>

#include "controls/Painter.h"
#include "controls/Pictures.h"
#include "controls/PixelFont.h"

namespace {

constexpr int kSize = 16;

constexpr Rgba kWhite = MakeRgba(255, 255, 255);
constexpr Rgba kPaper = MakeRgba(252, 250, 242);

// The colours of the pictures. The ink is the theme's foreground colour;
// beside a light ink (a dark theme) the other colours are lighter too, so
// that every picture stands out from the toolbar as well as it does on a
// light one.
struct SPalette {
    Rgba ink;
    Rgba ring;  // the circle of fifths under the temperament badges
    Rgba brass;
    Rgba brassDark;
    Rgba red;
    Rgba green;
    Rgba blue;
    Rgba blueDark;
    Rgba steel;
    Rgba steelDark;
    Rgba minor;
    Rgba major;
    Rgba perfect;
};

SPalette PaletteFor(Rgba ink) {
    if (!IsLightInk(ink)) {
        return SPalette{ink,
                        MakeRgba(ink.r, ink.g, ink.b, 90),
                        MakeRgba(204, 150, 48),
                        MakeRgba(138, 96, 24),
                        MakeRgba(204, 40, 36),
                        MakeRgba(36, 150, 64),
                        MakeRgba(36, 94, 196),
                        MakeRgba(22, 58, 130),
                        MakeRgba(196, 200, 208),
                        MakeRgba(96, 100, 112),
                        MakeRgba(36, 94, 196),
                        MakeRgba(196, 60, 30),
                        MakeRgba(30, 128, 72)};
    }
    return SPalette{ink,
                    MakeRgba(ink.r, ink.g, ink.b, 110),
                    MakeRgba(232, 188, 90),
                    MakeRgba(190, 140, 50),
                    MakeRgba(250, 100, 90),
                    MakeRgba(90, 205, 120),
                    MakeRgba(110, 165, 245),
                    MakeRgba(60, 110, 200),
                    MakeRgba(214, 218, 226),
                    MakeRgba(150, 156, 170),
                    MakeRgba(120, 170, 250),
                    MakeRgba(250, 130, 90),
                    MakeRgba(90, 200, 130)};
}

// The commands, named for the code below.
enum Command {
    kOptions = 32775,
    kNew = 32771,
    kEdit = 32773,
    kDelete = 32774,
    kRotateLeft = 32822,
    kRotateRight = 32823,
    kTune = 32780,
    kPlay = 32779,
    kSingle = 32804,
    kMinorThird = 32808,
    kMajorThird = 32805,
    kFourth = 32812,
    kFifth = 32811,
    kMinorTriad = 32809,
    kMajorTriad = 32806,
    kOctaveLower = 32820,
    kOctaveHigher = 32818,
    kContextHelp = 57669,
    kHelpTopics = 57667,
    kAbout = 57664,
};

// A small circle of fifths: a ring of twelve dots with the first one red.
void Cycle(CPainter& p, const SPalette& c, double cx, double cy, double r) {
    p.Ring(cx, cy, r + 0.9, r - 0.9, c.ring);
    for (int i = 0; i < 12; ++i) {
        const PointF d = CPainter::OnCircle(cx, cy, r, i * 30.0);
        p.Disc(d.x, d.y, i == 0 ? 1.25 : 0.85, i == 0 ? c.red : c.ink);
    }
}

void PlusBadge(CPainter& p, const SPalette& c, double cx, double cy) {
    p.Disc(cx, cy, 4.2, kWhite);
    p.Disc(cx, cy, 3.5, c.green);
    p.Line(cx - 2.0, cy, cx + 2.0, cy, 1.3, kWhite);
    p.Line(cx, cy - 2.0, cx, cy + 2.0, 1.3, kWhite);
}

void CrossBadge(CPainter& p, const SPalette& c, double cx, double cy) {
    p.Line(cx - 2.6, cy - 2.6, cx + 2.6, cy + 2.6, 3.4, kWhite);
    p.Line(cx - 2.6, cy + 2.6, cx + 2.6, cy - 2.6, 3.4, kWhite);
    p.Line(cx - 2.4, cy - 2.4, cx + 2.4, cy + 2.4, 1.8, c.red);
    p.Line(cx - 2.4, cy + 2.4, cx + 2.4, cy - 2.4, 1.8, c.red);
}

void Pencil(CPainter& p, const SPalette& c) {
    // Lying from the lower left (tip) to the upper right (eraser).
    p.Line(6.0, 10.0, 14.0, 2.0, 4.2, kWhite);
    p.Polygon({{2.2, 13.8}, {3.6, 9.6}, {6.4, 12.4}}, MakeRgba(232, 196, 148));
    p.Polygon({{2.2, 13.8}, {2.9, 11.7}, {4.3, 13.1}}, c.ink);
    p.Line(5.2, 11.0, 12.0, 4.2, 3.0, MakeRgba(240, 184, 40));
    p.Line(5.6, 11.4, 12.4, 4.6, 0.8, MakeRgba(190, 130, 20));
    p.Line(12.2, 3.9, 13.4, 2.7, 3.0, MakeRgba(222, 120, 130));
}

// A turning arrow around the red first note of the circle: it rises from
// the lower left, passes over the top and comes down on the right. The
// counter-clockwise picture is its mirror image.
void TurningArrow(CPainter& p, const SPalette& c) {
    const double cx = 8.0, cy = 8.3, r = 5.3;
    const double aEnd = 118.0;
    p.Arc(cx, cy, r, 2.1, 215.0, aEnd, c.blue);
    const double rad = aEnd * 3.14159265358979 / 180.0;
    const double tx = std::cos(rad), ty = std::sin(rad);  // direction of travel
    const PointF e = CPainter::OnCircle(cx, cy, r, aEnd);
    const double ux = std::sin(rad), uy = -std::cos(rad);  // outwards
    p.Polygon({{e.x + ux * 3.4 - tx * 0.4, e.y + uy * 3.4 - ty * 0.4},
               {e.x - ux * 3.4 - tx * 0.4, e.y - uy * 3.4 - ty * 0.4},
               {e.x + tx * 3.9, e.y + ty * 3.9}},
              c.blue);
    p.Disc(cx, cy, 1.9, c.red);
}

CRgbaImage Mirrored(const CRgbaImage& image) {
    CRgbaImage out(image.Width(), image.Height());
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            out.SetPixel(image.Width() - 1 - x, y, image.Pixel(x, y));
        }
    }
    return out;
}

void Microphone(CPainter& p, const SPalette& c) {
    p.Arc(8.0, 7.0, 4.2, 1.2, 90.0, 270.0, c.ink);
    p.Line(8.0, 11.2, 8.0, 13.6, 1.2, c.ink);
    p.Line(5.0, 14.4, 11.0, 14.4, 1.4, c.ink);
    p.RoundRect(5.2, 0.8, 10.8, 10.4, 2.8, c.steelDark);
    p.RoundRect(6.0, 1.6, 10.0, 9.6, 2.0, c.steel);
    for (double y = 3.2; y < 9.0; y += 1.6) {
        p.Line(6.6, y, 9.4, y, 0.6, c.steelDark);
    }
}

void Loudspeaker(CPainter& p, const SPalette& c) {
    p.Polygon({{1.5, 5.5}, {4.5, 5.5}, {8.5, 2.0}, {8.5, 14.0}, {4.5, 10.5}, {1.5, 10.5}}, c.ink);
    p.Polygon({{2.5, 6.5}, {4.8, 6.5}, {7.5, 4.2}, {7.5, 11.8}, {4.8, 9.5}, {2.5, 9.5}},
              c.steelDark);
    p.Arc(8.5, 8.0, 3.4, 1.3, 45.0, 135.0, c.blue);
    p.Arc(8.5, 8.0, 6.0, 1.3, 40.0, 140.0, c.blue);
}

// A note head as notation draws it: an oval leaning up to the right.
void NoteHead(CPainter& p, double cx, double cy, Rgba colour, double scale = 1.0) {
    const double a = 2.45 * scale, b = 1.7 * scale;
    p.Shape(
        cx - 3.0, cy - 2.5, cx + 3.0, cy + 2.5,
        [=](double x, double y) {
            const double dx = x - cx, dy = y - cy;
            const double u = 0.94 * dx + 0.34 * dy, v = -0.34 * dx + 0.94 * dy;
            return (u / a) * (u / a) + (v / b) * (v / b) <= 1.0;
        },
        colour);
}

// Heads stacked on one stem at the left, with the interval's name at the
// upper right in its family's colour.
void Chord(CPainter& p, const SPalette& c, CRgbaImage& image, std::initializer_list<double> heads,
           const char* label, Rgba colour) {
    double bottom = 0.0;
    for (double y : heads) {
        NoteHead(p, 4.2, y, c.ink, 0.86);
        bottom = std::max(bottom, y);
    }
    p.Line(6.3, bottom, 6.3, 1.0, 1.0, c.ink);
    const std::string text = label;
    const int w = PixelTextWidth(PixelFont::Small, text);
    DrawPixelText(image, PixelFont::Small, 16 - w, 1, text, colour);
}

// A note beside an arrow that points the way the octave moves.
void OctaveArrow(CPainter& p, const SPalette& c, bool bUp) {
    NoteHead(p, 4.2, 12.0, c.ink);
    p.Line(6.55, 12.0, 6.55, 2.5, 1.0, c.ink);
    const double x = 12.0;
    if (bUp) {
        p.Line(x, 14.5, x, 5.0, 2.0, c.blue);
        p.Polygon({{x - 3.6, 6.4}, {x + 3.6, 6.4}, {x, 1.0}}, c.blue);
    } else {
        p.Line(x, 1.5, x, 11.0, 2.0, c.blue);
        p.Polygon({{x - 3.6, 9.6}, {x + 3.6, 9.6}, {x, 15.0}}, c.blue);
    }
}

void QuestionMark(CPainter& p, double cx, double cy, double s, Rgba colour) {
    p.Arc(cx, cy - 2.0 * s, 2.2 * s, 1.5 * s, 270.0, 120.0, colour);
    p.Line(cx + 1.1 * s, cy - 0.1 * s, cx, cy + 1.2 * s, 1.5 * s, colour);
    p.Line(cx, cy + 1.2 * s, cx, cy + 2.0 * s, 1.5 * s, colour);
    p.Disc(cx, cy + 4.0 * s, 0.9 * s, colour);
}

void Pointer(CPainter& p) {
    const std::vector<PointF> arrow{{1.0, 1.0},  {1.0, 12.5}, {3.8, 9.9}, {5.8, 14.6},
                                    {7.6, 13.8}, {5.6, 9.2},  {9.2, 9.2}};
    // A pointer as the screen shows one: dark edge, white body, on any theme.
    p.Polygon(arrow, kToolbarInk);
    const std::vector<PointF> inner{{2.0, 3.4},  {2.0, 10.2}, {4.1, 8.3}, {6.2, 13.2},
                                    {6.6, 13.0}, {4.5, 8.2},  {7.0, 8.2}};
    p.Polygon(inner, kWhite);
}

void Book(CPainter& p, const SPalette& c) {
    p.RoundRect(2.5, 1.0, 13.5, 15.0, 1.2, c.blueDark);
    p.RoundRect(3.5, 1.0, 13.5, 14.0, 1.0, c.blue);
    p.Line(4.0, 14.4, 13.0, 14.4, 0.9, kPaper);
    p.Line(4.4, 1.5, 4.4, 13.6, 0.7, c.blueDark);
    QuestionMark(p, 9.0, 6.6, 1.0, kWhite);
}

void Information(CPainter& p, const SPalette& c) {
    p.Disc(8.0, 8.0, 7.4, c.blueDark);
    p.Disc(8.0, 8.0, 6.6, c.blue);
    p.Disc(8.0, 4.3, 1.2, kWhite);
    p.Line(8.0, 7.0, 8.0, 11.8, 2.0, kWhite);
    p.Line(6.6, 12.2, 9.6, 12.2, 1.0, kWhite);
}

void Sliders(CPainter& p, const SPalette& c) {
    // On pixel centres, so that the thin tracks come out solid.
    const double xs[3] = {3.5, 8.5, 13.5};
    const double knobs[3] = {10.0, 4.5, 7.5};
    for (int i = 0; i < 3; ++i) {
        p.Line(xs[i], 1.5, xs[i], 14.5, 1.0, c.ink);
        p.RoundRect(xs[i] - 2.4, knobs[i] - 1.6, xs[i] + 2.4, knobs[i] + 1.6, 0.8, c.brassDark);
        p.RoundRect(xs[i] - 1.8, knobs[i] - 1.0, xs[i] + 1.8, knobs[i] + 1.0, 0.5, c.brass);
        p.Line(xs[i] - 1.6, knobs[i], xs[i] + 1.6, knobs[i], 0.6, c.brassDark);
    }
}

}  // namespace

bool IsLightInk(Rgba ink) {
    return 299 * ink.r + 587 * ink.g + 114 * ink.b > 128 * 1000;
}

const std::vector<int>& ToolbarLayout() {
    // clang-format off
    static const std::vector<int> layout{
        kOptions, 0,
        kNew, kEdit, kDelete, 0,
        kRotateLeft, kRotateRight, 0,
        kTune, kPlay, 0,
        kSingle, kMinorThird, kMajorThird, kFourth, kFifth, kMinorTriad, kMajorTriad, 0,
        kOctaveLower, kOctaveHigher, 0,
        kContextHelp, kHelpTopics, kAbout};
    // clang-format on
    return layout;
}

CRgbaImage DrawToolbarPicture(int nCommand, Rgba ink) {
    const SPalette c = PaletteFor(ink);
    CRgbaImage image(kSize, kSize);
    CPainter p(image, 6);
    switch (nCommand) {
        case kOptions:
            Sliders(p, c);
            break;
        case kNew:
            Cycle(p, c, 7.0, 7.0, 5.2);
            PlusBadge(p, c, 11.5, 11.5);
            break;
        case kEdit:
            Cycle(p, c, 7.0, 7.0, 5.2);
            Pencil(p, c);
            break;
        case kDelete:
            Cycle(p, c, 7.0, 7.0, 5.2);
            CrossBadge(p, c, 11.5, 11.5);
            break;
        case kRotateLeft:
            TurningArrow(p, c);
            return Mirrored(image);
        case kRotateRight:
            TurningArrow(p, c);
            break;
        case kTune:
            Microphone(p, c);
            break;
        case kPlay:
            Loudspeaker(p, c);
            break;
        case kSingle:
            NoteHead(p, 6.0, 12.0, c.ink);
            p.Line(8.35, 12.0, 8.35, 1.5, 1.1, c.ink);
            p.Polygon({{8.35, 1.5}, {12.5, 5.5}, {12.0, 8.5}, {9.0, 4.8}}, c.ink);
            break;
        case kMinorThird:
            Chord(p, c, image, {13.0, 9.0}, "m3", c.minor);
            break;
        case kMajorThird:
            Chord(p, c, image, {13.0, 9.0}, "M3", c.major);
            break;
        case kFourth:
            Chord(p, c, image, {13.0, 7.0}, "P4", c.perfect);
            break;
        case kFifth:
            Chord(p, c, image, {13.0, 5.0}, "P5", c.perfect);
            break;
        case kMinorTriad:
            Chord(p, c, image, {13.0, 9.0, 5.0}, "m", c.minor);
            break;
        case kMajorTriad:
            Chord(p, c, image, {13.0, 9.0, 5.0}, "M", c.major);
            break;
        case kOctaveLower:
            OctaveArrow(p, c, false);
            break;
        case kOctaveHigher:
            OctaveArrow(p, c, true);
            break;
        case kContextHelp:
            Pointer(p);
            QuestionMark(p, 12.0, 6.5, 1.0, c.blue);
            break;
        case kHelpTopics:
            Book(p, c);
            break;
        case kAbout:
            Information(p, c);
            break;
        default:
            return CRgbaImage();
    }
    return image;
}
