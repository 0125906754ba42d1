// SPDX-License-Identifier: GPL-3.0-or-later
// The tuning chart of one temperament: for each note its place in the five
// tables, and the beats per second that a tuner counts on the fifth, the major
// third and the minor third above it in the Standard A octave.
#pragma once

#include <string>
#include <vector>

#include "tuning/Temperament.h"

struct ChartRow {
    int note = 0;           // 0 C ... 11 B
    double cents = 0;       // above C
    double deviation = 0;   // from equal temperament
    double minorThird = 0;  // cents up to the minor third
    double majorThird = 0;  // cents up to the major third
    double frequency = 0;   // Hz, Standard A octave
    // Beats per second of the intervals above the note, signed: positive when
    // the interval is wider than pure, negative when narrower.
    double fifthBeats = 0;
    double majorThirdBeats = 0;
    double minorThirdBeats = 0;
    // The fifth that rises from this note: its distance from pure as the
    // arithmetic reads it (the stored offset in the classic one).
    double fifthOffset = 0;
};

// Beats of two partials that nearly coincide: the interval f1 -> f2 against
// the pure ratio q/p (p f2 against q f1), signed as above.
double BeatRate(double f1, double f2, int p, int q);

std::vector<ChartRow> BuildChart(const CTemperament& t, double standardA);

// The circle-of-fifths name of the fifth rising from a note, e.g. "C-G".
std::string FifthName(int lowerNote);

std::string FormatChartText(const std::string& name, const CTemperament& t, double standardA);
std::string FormatChartCsv(const std::vector<ChartRow>& rows);
