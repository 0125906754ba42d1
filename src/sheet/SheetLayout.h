// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the printed tuning sheet, apart from any drawing: where
// each block of the A4 page lies, how a beat rate, its metronome figure and a
// bearing step are written, how text is broken into lines, and the date in
// the title. Pure functions.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "tuning/BearingPlan.h"

// A rectangle on the page in points (1/72 inch), origin at the top left.
struct SheetBox {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;

    double Right() const { return x + w; }
    double Bottom() const { return y + h; }
    bool Overlaps(const SheetBox& o) const {
        return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom();
    }
    bool Inside(const SheetBox& o) const {
        return x >= o.x && y >= o.y && Right() <= o.Right() && Bottom() <= o.Bottom();
    }
};

struct SheetGeometry {
    double pageWidth = 0;
    double pageHeight = 0;
    SheetBox content;  // the page less its margins
    SheetBox title;
    SheetBox plan;    // the bearing plan, the sheet's main block
    SheetBox circle;  // the circle of fifths with its caption
    SheetBox thirds;  // the major thirds up the bearing
    SheetBox legend;
    SheetBox tables;  // the five tables

    // Space a block's title takes above the block's first line.
    double blockTitle = 0;
    // The bearing plan's lines: one per step, per check and for the heading.
    double planLineHeight = 0;
    double planFontSize = 0;
    double tableFontSize = 0;
    double textFontSize = 0;
    // From a table's caption to its values, and from its values to the next
    // caption.
    double tableRowStep = 0;
    // From one line of the legend to the next.
    double legendLeading = 0;

    std::vector<SheetBox> Blocks() const { return {title, plan, circle, thirds, legend, tables}; }
};

// An A4 page, portrait. With a survey's measured notes the tables take a
// sixth row: they are set a little closer, and so is the legend above them.
SheetGeometry A4SheetGeometry(bool bMeasured = false);

// Lines the plan takes: the column heading, each step, each check under a
// step and the closing check with its note.
int PlanLineCount(const BearingPlanResult& plan);
// How many plan lines fit in the plan block below its title.
int PlanLineCapacity(const SheetGeometry& g);

// A beat rate to one decimal, without its sign: "0.7".
std::string FormatBeatRate(double beats);
// "wide", "narrow", or "pure" when the rate rounds to 0.0.
std::string BeatSide(double beats);
// The range of a metronome, ticks per minute.
constexpr double kSlowestMetronome = 40;
constexpr double kFastestMetronome = 208;
// Beats per minute for a metronome, "45/min"; empty when pure, and a dash
// where even half or twice the figure lies outside the metronome's range.
std::string MetronomeFigure(double beats);

std::string IntervalName(IntervalKind kind);
// What a step says, e.g. "fifth down from D4", "octave up from F3", or for
// the fork "fork at 415 Hz".
std::string StepText(const BearingStep& step, double standardA);
// A check's interval, e.g. "F3-A3 major third".
std::string CheckText(const BeatingInterval& interval);

// Breaks text at spaces into lines no wider than width as measure finds them;
// a word wider than the line stands on a line of its own.
std::vector<std::string> WrapText(const std::string& text, double width,
                                  const std::function<double(const std::string&)>& measure);

// Text as cairo takes it: valid UTF-8, each byte that does not belong to a
// well-formed sequence replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);
// The longest head of text, cut at a character boundary, that measure finds
// no wider than width with an ellipsis added; text itself when it fits.
std::string FitWithEllipsis(const std::string& text, double width,
                            const std::function<double(const std::string&)>& measure);

// The title's date, "2026-03-01", and the document's creation time,
// "2026-03-01T12:00:00Z". A valid SOURCE_DATE_EPOCH (seconds since 1970,
// given as text) fixes both in UTC so that a sheet can be made again byte for
// byte; otherwise now, in local time for the date.
struct SheetDate {
    std::string date;
    std::string timestamp;
};
SheetDate MakeSheetDate(const char* sourceDateEpoch, std::time_t now);
