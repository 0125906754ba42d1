// SPDX-License-Identifier: GPL-3.0-or-later
// The printed tuning sheet: one A4 page, drawn with cairo as PDF or SVG, that
// holds a temperament's circle of fifths, its five tables, the bearing plan
// with its beat rates and check thirds, and a legend. Any thread, one sheet at
// a time per call.
#pragma once

#include <cairo.h>

#include <array>
#include <string>
#include <vector>

#include "sheet/SheetLayout.h"
#include "tuning/BearingPlan.h"
#include "tuning/Temperament.h"

enum class SheetFormat { Pdf, Svg };

// By the file name's extension, ".pdf" or ".svg" in any letter case.
bool SheetFormatOfPath(const std::string& path, SheetFormat& format);

struct TuningSheetInfo {
    std::string name;
    double standardA = 415.0;
    Bearing bearing = Bearing::F3toF4;
    SheetDate date;
    // A survey of the instrument: how far each note lies from this sheet's
    // target, in cents (NaN where it was not measured), shown in a column
    // "measured" of the plan and a row of the tables; and where it came from.
    bool hasMeasured = false;
    std::array<double, 12> measuredCents{};
    std::string measuredFrom;
};

// Draws the page for the temperament (already rotated) into bytes; false
// with a reason when cairo fails.
bool RenderTuningSheet(const TuningSheetInfo& info, const CTemperament& t, SheetFormat format,
                       std::string& bytes, std::string& why);

// Draws the page onto a context whose units are the page's points, origin at
// its top left, as a window or a printer wants it.
void PaintTuningSheet(cairo_t* pContext, const TuningSheetInfo& info, const CTemperament& t);

// Lays the page out without writing it and lists each line of text that
// runs out of its block or into another line; empty when the page is clean.
std::vector<std::string> CheckTuningSheetLayout(const TuningSheetInfo& info, const CTemperament& t);
