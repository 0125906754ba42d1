// The pointing-hand cursor, drawn pixel by pixel for a crisp outline, and the
// program icon, drawn as shapes so that it scales to every size it is used at.
#include <cmath>

#include "controls/Painter.h"
#include "controls/Pictures.h"

namespace {

// '#' outline, '.' fill, '+' shaded fill, blank transparent. The tip of the
// index finger is the top of row 1 at columns 12 to 15.
const char* const kHandRows[32] = {
    "                                ", "            ####                ",
    "           #...+#               ", "           #...+#               ",
    "           #...+#               ", "           #...+#               ",
    "           #...+#               ", "           #...+####            ",
    "           #...+#..+####        ", "           #...+#..+#..+###     ",
    "           #...+#..+#..+#.+#    ", "     ###   #...+#..+#..+#.+#    ",
    "    #..+#  #...+#..+#..+#.+#    ", "    #...+# #...............#    ",
    "     #....................+#    ", "      #...................+#    ",
    "      #...................+#    ", "       #..................+#    ",
    "       #..................+#    ", "        #................+#     ",
    "        #................+#     ", "         #...............+#     ",
    "         #..............+#      ", "          #.............+#      ",
    "          #.............+#      ", "          ################      ",
    "                                ", "                                ",
    "                                ", "                                ",
    "                                ", "                                ",
};

constexpr Rgba kIvory = MakeRgba(236, 228, 206);
constexpr Rgba kBrass = MakeRgba(206, 160, 72);
constexpr Rgba kBrassDark = MakeRgba(128, 92, 34);
constexpr Rgba kEbony = MakeRgba(34, 30, 28);
constexpr Rgba kEbonyLight = MakeRgba(64, 57, 52);
constexpr Rgba kRed = MakeRgba(214, 40, 36);
constexpr Rgba kSteel = MakeRgba(214, 218, 224);
constexpr Rgba kSteelDark = MakeRgba(120, 126, 136);

}  // namespace

CursorPicture DrawHandCursor() {
    CursorPicture cursor;
    cursor.image = CRgbaImage(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            switch (kHandRows[y][x]) {
                case '#':
                    cursor.image.SetPixel(x, y, MakeRgba(0, 0, 0));
                    break;
                case '.':
                    cursor.image.SetPixel(x, y, MakeRgba(255, 255, 255));
                    break;
                case '+':
                    cursor.image.SetPixel(x, y, MakeRgba(192, 192, 192));
                    break;
                default:
                    break;
            }
        }
    }
    cursor.nHotX = 13;
    cursor.nHotY = 1;
    return cursor;
}

CRgbaImage DrawProgramIcon(int nSize) {
    CRgbaImage image(nSize, nSize);
    CPainter painter(image, 6);
    // Everything is laid out on a 32-unit square and scaled.
    const double s = nSize / 32.0;
    const double c = 16.0 * s;

    // An ebony dial in a brass rim.
    painter.Disc(c, c, 15.8 * s, kBrassDark);
    painter.Disc(c, c, 15.0 * s, kBrass);
    painter.Disc(c, c, 13.6 * s, kEbony);
    painter.Ring(c, c, 13.6 * s, 12.6 * s, kEbonyLight);

    // The twelve notes of the circle of fifths, C at the top in red; too
    // small to read at the smallest size, where the fork alone remains.
    if (nSize >= 24) {
        for (int i = 0; i < 12; ++i) {
            const PointF p = CPainter::OnCircle(c, c, 10.6 * s, i * 30.0);
            painter.Disc(p.x, p.y, (i == 0 ? 1.5 : 1.15) * s, i == 0 ? kRed : kIvory);
        }
    }

    // A tuning fork: two tines joined by a U, and a stem.
    const double fork = nSize >= 24 ? 1.0 : 1.35;
    auto X = [&](double u) { return c + (u - 16.0) * s * fork; };
    auto Y = [&](double v) { return c + (v - 16.0) * s * fork; };
    const double tine = 1.9 * s * fork;
    painter.Line(X(13.4), Y(8.0), X(13.4), Y(17.0), tine, kSteel);
    painter.Line(X(18.6), Y(8.0), X(18.6), Y(17.0), tine, kSteel);
    painter.Arc(X(16.0), Y(17.0), 2.6 * s * fork, tine, 90.0, 270.0, kSteel);
    painter.Line(X(16.0), Y(19.4), X(16.0), Y(25.0), 2.2 * s * fork, kSteel);
    // A shadow down the right of each tine gives the steel some depth.
    painter.Line(X(14.1), Y(8.6), X(14.1), Y(16.6), 0.5 * s * fork, kSteelDark);
    painter.Line(X(19.3), Y(8.6), X(19.3), Y(16.6), 0.5 * s * fork, kSteelDark);
    return image;
}
