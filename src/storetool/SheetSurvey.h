// SPDX-License-Identifier: GPL-3.0-or-later
// A survey on the tuning sheet: the notes of a recording or of a saved
// survey, set against the sheet's own targets, so that the printed page shows
// what to correct; and, when the sheet names no temperament, the one the
// survey found.
#pragma once

#include <array>
#include <string>

#include "storetool/StoreTool.h"
#include "storetool/ToolSupport.h"
#include "tuning/SurveyNotes.h"
#include "tuning/Temperament.h"

// The temperament a survey fits best.
struct SSurveySheet {
    std::string name;
    int rotation = 0;
    double standardA = 415.0;  // to 0.1 Hz
};

// Reads the survey arg names: a recording when a file of that name exists,
// else a saved survey. anchor (0 for the stored Standard A) names a
// recording's notes. With findTemperament the catalogue is fitted and found
// is the best fit. On failure the reason is printed and status holds the
// exit code.
bool ReadSheetSurvey(ToolContext& ctx, CStoreSession& s, const std::string& arg, double anchor,
                     FifthArithmetic arithmetic, bool findTemperament, SSurveyNotes& notes,
                     std::string& from, SSurveySheet& found, int& status);

// Each measured note's cents from the temperament's target (already turned
// and in its arithmetic) at Standard A; NaN where not measured.
std::array<double, 12> MeasuredAgainst(const SSurveyNotes& notes, const CTemperament& t,
                                       double standardA);
