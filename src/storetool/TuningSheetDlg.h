// SPDX-License-Identifier: GPL-3.0-or-later
// CTuningSheetDlg is the logic of the window that shows the tuning sheet of
// the main window's temperament as it stands (its rotation and arithmetic)
// at its Standard A: the page drawn to fit the window or the paper, the
// bearing chosen there, and the page saved as PDF or SVG. It follows the main
// window, so the sheet never shows another temperament than the one chosen.
// User-interface thread only.
#pragma once

#include <cairo.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sheet/TuningSheet.h"
#include "tuning/Temperament.h"

class CTuningSheetDlg {
public:
    static constexpr const char* kCaption = "Tuning Sheet";

    // Takes the temperament the main window shows; true when the sheet
    // changes with it (a new name, offset, rotation, arithmetic or Standard A).
    bool Follow(const std::string& name, const CTemperament& t, double standardA);
    bool HasTemperament() const { return m_temperament.has_value(); }
    const CTemperament& Temperament() const { return *m_temperament; }
    const TuningSheetInfo& Info() const { return m_info; }

    // "Tuning Sheet: Werckmeister III".
    std::string Title() const;

    // The bearings to choose from, in the order the window lists them.
    static const std::vector<Bearing>& Bearings();
    int BearingIndex() const;
    void SetBearingIndex(int index);

    // A file name to offer for the sheet in a format.
    std::string OfferedFileName(SheetFormat format) const;
    // Writes the sheet in the format; false with the message to show.
    bool Save(const std::string& path, SheetFormat format, std::string& message) const;

    // Draws the page as large as it fits into an area of width by height
    // units of the context, centred, the page's own white included.
    void PaintFitted(cairo_t* pContext, double width, double height) const;
    // The page's size in points, for the window's proportions.
    static double PageWidth();
    static double PageHeight();

private:
    std::optional<CTemperament> m_temperament;
    TuningSheetInfo m_info;
};
