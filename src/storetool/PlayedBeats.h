// SPDX-License-Identifier: GPL-3.0-or-later
// The beat rates of what is playing: for a play mode on a note, the intervals
// that sound between the voices (a third, a fourth or a fifth, or the three
// of a triad), each with the beats per second of its nearly coinciding
// partials, reckoned as the tuning sheet reckons them, and the line that
// tells a tuner what to count. Pure functions.
#pragma once

#include <string>
#include <vector>

#include "tuning/Temperament.h"

enum class PlayedIntervalKind { MinorThird, MajorThird, Fourth, Fifth };

struct PlayedInterval {
    PlayedIntervalKind kind = PlayedIntervalKind::MajorThird;
    int lowerKey = 0;  // keys as the sheet counts them, C4 = 60
    int upperKey = 0;
    double beats = 0;  // per second; positive wide, negative narrow
};

// The intervals sounding in play mode 0..6 (single notes sound none) on note
// 0..11 at an octave factor (1 for the Standard A octave, 2 an octave
// higher, 0.5 lower), the temperament's offsets read in the given
// arithmetic: lower voices first, the outer interval of a triad last.
std::vector<PlayedInterval> PlayedIntervals(const CTemperament& t, FifthArithmetic arithmetic,
                                            double standardA, int note, double octaveFactor,
                                            int playMode);

// "Major third C4-E4: 10.4 beats per second wide", "Fifth C4-G4: pure".
std::string PlayedIntervalText(const PlayedInterval& interval);
