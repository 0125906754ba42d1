#include "controls/FocusMark.h"

std::vector<Rect> FocusFrame(const Rect& client, int nWidth) {
    if (nWidth <= 0 || client.Width() < 2 * nWidth || client.Height() < 2 * nWidth) {
        return {};
    }
    const Rect& c = client;
    return {Rect{c.left, c.top, c.right, c.top + nWidth},
            Rect{c.left, c.bottom - nWidth, c.right, c.bottom},
            Rect{c.left, c.top + nWidth, c.left + nWidth, c.bottom - nWidth},
            Rect{c.right - nWidth, c.top + nWidth, c.right, c.bottom - nWidth}};
}
