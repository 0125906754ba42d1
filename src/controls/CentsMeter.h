// SPDX-License-Identifier: GPL-3.0-or-later
// CCentsMeter draws the deviation of the measured pitch as a horizontal bar
// over the banner picture, on a scale that is steeper near zero. It starts
// in the reset state. User-interface thread only.
#pragma once

#include "controls/Canvas.h"

class CCentsMeter {
public:
    // The bar's place in the banner picture.
    static constexpr int kBarLeft = 8;
    static constexpr int kBarRight = 700;
    static constexpr int kBarTop = 5;
    static constexpr int kBarBottom = 21;
    static constexpr int kZeroColumn = 354;
    static constexpr double kResetCents = -100.0;
    static constexpr Colour kBarColour = MakeColour(28, 240, 171);
    static constexpr Colour kBlack = MakeColour(0, 0, 0);

    CCentsMeter() = default;

    // The banner's canvas (borrowed).
    void SetWindow(ICanvas* pCanvas) {
        m_pCanvas = pCanvas;
        m_nDrawnColumn = kNoColumn;
    }
    // Stores the deviation in cents and draws the bar for it, unless the bar
    // already drawn ends at the same column.
    void SetCents(double dCents);
    // Stores the reset value and paints the whole bar area black.
    void ResetMeter();
    // Draws the bar again, whatever was drawn before.
    void Redraw() {
        m_nDrawnColumn = kNoColumn;
        SetCents(m_dCents);
    }
    double GetCents() const { return m_dCents; }

    // The column where the bar for a deviation ends: piecewise linear, 15
    // pixels a cent within 10 cents of zero, 3 up to 50 cents, 1.5 up to 100,
    // and pinned at 9 and 699 beyond. A value that is not a number gives the
    // reset state's column.
    static int CentsToColumn(double dCents);

private:
    void DrawBar(int nLeft, int nColumn, Colour colour);

    ICanvas* m_pCanvas = nullptr;
    double m_dCents = kResetCents;
    static constexpr int kNoColumn = -1;
    int m_nDrawnColumn = kNoColumn;  // where the bar drawn by SetCents ends
};
