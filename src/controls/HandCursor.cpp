// SPDX-License-Identifier: GPL-3.0-or-later
// The pointing-hand cursor, drawn pixel by pixel for a crisp outline.
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
