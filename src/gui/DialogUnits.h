// SPDX-License-Identifier: GPL-3.0-or-later
// Converts the dialog units of the program's window layouts into pixels, with
// the base units of 6 x 13 pixels the pictures and hit regions were drawn for:
// x = du * 6 / 4 and y = du * 13 / 8, rounded to the nearest pixel as the
// classic dialog mapping does. Pure functions; any thread.
#pragma once

// Rounds n * mul / div to the nearest integer, halves away from zero.
constexpr int MulDivRound(int n, int mul, int div) {
    const long long p = static_cast<long long>(n) * mul;
    return static_cast<int>(p >= 0 ? (2 * p + div) / (2 * div) : -((-2 * p + div) / (2 * div)));
}

constexpr int DuX(int du) {
    return MulDivRound(du, 6, 4);
}

constexpr int DuY(int du) {
    return MulDivRound(du, 13, 8);
}

// A rectangle given in dialog units as x, y, width, height. Both corners are
// mapped, so adjacent rectangles stay adjacent in pixels.
struct DuRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    int Left() const { return DuX(x); }
    int Top() const { return DuY(y); }
    int Width() const { return DuX(x + w) - DuX(x); }
    int Height() const { return DuY(y + h) - DuY(y); }
};
