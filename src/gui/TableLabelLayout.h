// SPDX-License-Identifier: GPL-3.0-or-later
// CTableLabelLayout places the value labels of the table over and under the
// keyboard picture and the caption under them. Each row stays on one line
// where its values fit with room between them, in the form's font or a
// smaller one whose digits are still at least 7 pixels tall; values too wide
// for that use a second line, every other label moving away from the keys
// (up over the black keys, down under the white ones, the caption moving
// down with them). The values themselves are never changed. User-interface
// thread only.
#pragma once

#include <cstddef>
#include <vector>

#include <wx/font.h>

class wxStaticText;
class wxWindow;

class CTableLabelLayout {
public:
    // The smallest gap between two values on one line, and the smallest
    // height of a digit's ink, in pixels.
    static constexpr int kMinGap = 4;
    static constexpr int kMinDigitHeight = 7;

    // pMeasure is the window whose text extents are measured (the form);
    // the values may spread between nLeft and nRight.
    CTableLabelLayout(wxWindow* pMeasure, const wxFont& font, int nLeft, int nRight);

    // A row of labels from left to right, each centred on its centre x;
    // bUp says which way the second line lies.
    void AddRow(const std::vector<wxStaticText*>& apLabels, const std::vector<int>& anCentres,
                int nTop, bool bUp);
    void SetCaption(wxStaticText* pCaption, int nTop);

    // Lays out again the row that holds the label, for the texts the labels
    // hold now; any other label is ignored.
    void LayoutRowOf(const wxStaticText* pLabel);
    void LayoutAll();

    // How many pixels tall the digits come out in a font.
    static int DigitInkHeight(const wxFont& font);

private:
    struct SRow {
        std::vector<wxStaticText*> apLabels;
        std::vector<int> anCentres;
        int nTop = 0;
        bool bUp = false;
        bool bTwoLines = false;
    };
    void LayoutRow(SRow& row);
    // Whether there is a font at nIndex (0 is the form's), finding the
    // smaller ones as they are first needed.
    bool HasFont(std::size_t nIndex);
    // Whether the labels at positions first, first + step, ... fit on one
    // line with the given widths.
    bool FitsLine(const SRow& row, const std::vector<int>& anWidths, std::size_t first,
                  std::size_t step) const;
    std::vector<int> Widths(const SRow& row, const wxFont& font) const;
    void PlaceCaption();

    wxWindow* m_pMeasure;
    // The form's font first, then each smaller size still readable, as far
    // as they were needed; m_bAllFonts once the smallest is known.
    std::vector<wxFont> m_fonts;
    bool m_bAllFonts = false;
    int m_nLeft;
    int m_nRight;
    std::vector<SRow> m_rows;
    wxStaticText* m_pCaption = nullptr;
    int m_nCaptionTop = 0;
};
