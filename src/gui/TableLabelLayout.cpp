#include "gui/TableLabelLayout.h"

#include <algorithm>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/stattext.h>

namespace {

constexpr double kPointStep = 0.5;
constexpr double kSmallestPoints = 5.0;

}  // namespace

CTableLabelLayout::CTableLabelLayout(wxWindow* pMeasure, const wxFont& font, int nLeft, int nRight)
    : m_pMeasure(pMeasure), m_nLeft(nLeft), m_nRight(nRight) {
    m_fonts.push_back(font);
}

bool CTableLabelLayout::HasFont(std::size_t nIndex) {
    // The smaller fonts are found only when a row does not fit in the larger
    // ones: each costs a drawing of the digits.
    while (nIndex >= m_fonts.size() && !m_bAllFonts) {
        const double points = m_fonts.back().GetFractionalPointSize() - kPointStep;
        wxFont smaller = m_fonts.back();
        smaller.SetFractionalPointSize(points);
        if (points < kSmallestPoints || DigitInkHeight(smaller) < kMinDigitHeight) {
            m_bAllFonts = true;
        } else {
            m_fonts.push_back(smaller);
        }
    }
    return nIndex < m_fonts.size();
}

int CTableLabelLayout::DigitInkHeight(const wxFont& font) {
    const wxString digits = "0123456789";
    wxBitmap bitmap(8, 8, 24);
    wxMemoryDC dc(bitmap);
    dc.SetFont(font);
    const wxSize extent = dc.GetTextExtent(digits);
    dc.SelectObject(wxNullBitmap);
    bitmap.Create(extent.GetWidth() + 4, extent.GetHeight() + 4, 24);
    dc.SelectObject(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetFont(font);
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText(digits, 2, 2);
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    int nTop = -1;
    int nBottom = -1;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (image.GetRed(x, y) < 128) {
                if (nTop < 0) {
                    nTop = y;
                }
                nBottom = y;
                break;
            }
        }
    }
    return nTop < 0 ? 0 : nBottom - nTop + 1;
}

void CTableLabelLayout::AddRow(const std::vector<wxStaticText*>& apLabels,
                               const std::vector<int>& anCentres, int nTop, bool bUp) {
    SRow row;
    row.apLabels = apLabels;
    row.anCentres = anCentres;
    row.nTop = nTop;
    row.bUp = bUp;
    m_rows.push_back(row);
}

void CTableLabelLayout::SetCaption(wxStaticText* pCaption, int nTop) {
    m_pCaption = pCaption;
    m_nCaptionTop = nTop;
}

void CTableLabelLayout::LayoutAll() {
    for (SRow& row : m_rows) {
        LayoutRow(row);
    }
    PlaceCaption();
}

void CTableLabelLayout::LayoutRowOf(const wxStaticText* pLabel) {
    for (SRow& row : m_rows) {
        if (std::find(row.apLabels.begin(), row.apLabels.end(), pLabel) != row.apLabels.end()) {
            LayoutRow(row);
            PlaceCaption();
            return;
        }
    }
}

std::vector<int> CTableLabelLayout::Widths(const SRow& row, const wxFont& font) const {
    std::vector<int> anWidths;
    for (const wxStaticText* pLabel : row.apLabels) {
        int nWidth = 0;
        int nHeight = 0;
        const wxString text = pLabel->GetLabelText();
        if (!text.empty()) {
            m_pMeasure->GetTextExtent(text, &nWidth, &nHeight, nullptr, nullptr, &font);
        }
        anWidths.push_back(nWidth);
    }
    return anWidths;
}

bool CTableLabelLayout::FitsLine(const SRow& row, const std::vector<int>& anWidths,
                                 std::size_t first, std::size_t step) const {
    // Empty labels take no room; each value must stay between the bounds
    // and keep the gap to the value before it on the line.
    int nPreviousRight = m_nLeft - kMinGap;
    for (std::size_t j = first; j < anWidths.size(); j += step) {
        if (anWidths[j] == 0) {
            continue;
        }
        const int nLeft = row.anCentres[j] - anWidths[j] / 2;
        if (nLeft < nPreviousRight + kMinGap || nLeft + anWidths[j] > m_nRight) {
            return false;
        }
        nPreviousRight = nLeft + anWidths[j];
    }
    return true;
}

void CTableLabelLayout::LayoutRow(SRow& row) {
    // One line in the largest font that fits; else two lines, again in the
    // largest font that fits; else two lines in the smallest font.
    std::size_t nFont = 0;
    std::vector<int> anWidths;
    bool bFits = false;
    for (std::size_t i = 0; HasFont(i); ++i) {
        anWidths = Widths(row, m_fonts[i]);
        if (FitsLine(row, anWidths, 0, 1)) {
            nFont = i;
            bFits = true;
            break;
        }
    }
    const bool bTwoLines = !bFits;
    if (bTwoLines) {
        for (std::size_t i = 0; HasFont(i); ++i) {
            anWidths = Widths(row, m_fonts[i]);
            nFont = i;
            if (FitsLine(row, anWidths, 0, 2) && FitsLine(row, anWidths, 1, 2)) {
                break;
            }
        }
    }
    const wxFont* pFont = &m_fonts[nFont];
    row.bTwoLines = bTwoLines;

    int nWidthUnused = 0;
    int nLineHeight = 0;
    m_pMeasure->GetTextExtent("0", &nWidthUnused, &nLineHeight, nullptr, nullptr, pFont);
    for (std::size_t j = 0; j < row.apLabels.size(); ++j) {
        wxStaticText* pLabel = row.apLabels[j];
        const bool bAway = bTwoLines && j % 2 == 1;
        const int nTop = row.nTop + (bAway ? (row.bUp ? -nLineHeight : nLineHeight) : 0);
        // A little wider than the text, so the toolkit never cuts it short;
        // the text is centred in it.
        const int nWidth = anWidths[j] + 4;
        if (pLabel->GetFont() != *pFont) {
            pLabel->SetFont(*pFont);
        }
        pLabel->SetSize(row.anCentres[j] - nWidth / 2, nTop, nWidth, nLineHeight);
    }
}

void CTableLabelLayout::PlaceCaption() {
    if (m_pCaption == nullptr) {
        return;
    }
    // The caption stays clear of a second line under the keys.
    int nTop = m_nCaptionTop;
    for (const SRow& row : m_rows) {
        if (row.bTwoLines && !row.bUp) {
            for (const wxStaticText* pLabel : row.apLabels) {
                nTop = std::max(nTop, pLabel->GetRect().GetBottom() + 2);
            }
        }
    }
    const wxRect rc = m_pCaption->GetRect();
    if (rc.y != nTop) {
        m_pCaption->SetSize(rc.x, nTop, rc.width, rc.height);
    }
}
