// SPDX-License-Identifier: GPL-3.0-or-later
// Where a drawn control shows that it has the keyboard focus: a frame along
// the inside of its client area. Pure geometry; any thread.
#pragma once

#include <vector>

#include "controls/Canvas.h"

constexpr int kFocusFrameWidth = 2;

// The four bars of the frame, none of them outside the client area; none
// for an area too small to hold a frame.
std::vector<Rect> FocusFrame(const Rect& client, int nWidth = kFocusFrameWidth);
