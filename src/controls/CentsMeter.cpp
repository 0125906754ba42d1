#include "controls/CentsMeter.h"

#include <cmath>

int CCentsMeter::CentsToColumn(double c) {
    double x;
    if (std::isnan(c)) {
        // A failed measurement must not reach the integer conversion below.
        x = 9.0;
    } else if (c >= -10.0 && c <= 10.0) {
        x = 354.0 + 15.0 * c;
    } else if (c > 10.0 && c <= 50.0) {
        x = 504.0 + 3.0 * (c - 10.0);
    } else if (c >= -50.0 && c < -10.0) {
        x = 204.0 + 3.0 * (c + 10.0);
    } else if (c > 50.0 && c <= 100.0) {
        x = 624.0 + 1.5 * (c - 50.0);
    } else if (c >= -100.0 && c < -50.0) {
        x = 84.0 + 1.5 * (c + 50.0);
    } else if (c > 100.0) {
        x = 699.0;
    } else {
        x = 9.0;
    }
    return static_cast<int>(x);  // truncates toward zero
}

void CCentsMeter::SetCents(double dCents) {
    m_dCents = dCents;
    const int nColumn = CentsToColumn(dCents);
    if (nColumn == m_nDrawnColumn || m_pCanvas == nullptr || !m_pCanvas->IsWindow()) {
        return;
    }
    DrawBar(kBarLeft, nColumn, kBarColour);
    m_nDrawnColumn = nColumn;
}

void CCentsMeter::ResetMeter() {
    m_dCents = kResetCents;
    DrawBar(kBarLeft, kBarRight, kBlack);
    m_nDrawnColumn = kNoColumn;
}

void CCentsMeter::DrawBar(int nLeft, int nColumn, Colour colour) {
    if (m_pCanvas == nullptr || !m_pCanvas->IsWindow()) {
        return;
    }
    m_pCanvas->FillRect(Rect{nColumn, kBarTop, kBarRight, kBarBottom}, kBlack);
    m_pCanvas->FillRect(Rect{nLeft, kBarTop, nColumn, kBarBottom}, colour);
    // The centre mark at 0 cents shows in the bar colour whenever the bar
    // starts left of it, so it merges into a bar that covers it.
    const Colour mark = nLeft > kZeroColumn ? kBlack : colour;
    m_pCanvas->FillRect(Rect{kZeroColumn, kBarTop, kZeroColumn + 1, kBarBottom}, mark);
}
