// SPDX-License-Identifier: GPL-3.0-or-later
// The beat-rate lines of what the main window plays now, for the Fine Tuner:
// each interval that sounds in the view's play mode, on its note, octave,
// temperament and Standard A, reckoned as the tuning sheet reckons them.
// Empty for a single note or without a temperament. User-interface thread.
#pragma once

#include <string>
#include <vector>

class CKlavoraView;

std::vector<std::string> PlayedBeatLines(const CKlavoraView& view);
