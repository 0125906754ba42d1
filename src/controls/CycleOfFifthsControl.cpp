#include "controls/CycleOfFifthsControl.h"

#include <algorithm>

#include "tuning/NoteSpelling.h"
#include "tuning/NumberFormat.h"
#include "tuning/Temperament.h"

namespace {

struct CellCorner {
    int left;
    int top;
};

// Left and top corners, index i being the position in the circle and the
// fifth that starts on that note. C stands at the top, the names run clockwise.
constexpr CellCorner kNameCorners[12] = {{132, 3},   {200, 28},  {247, 75},  {259, 139},
                                         {247, 204}, {200, 254}, {132, 276}, {50, 254},
                                         {9, 204},   {3, 139},   {9, 75},    {50, 28}};
constexpr CellCorner kOffsetCorners[12] = {{168, 12},  {226, 52},  {250, 107}, {250, 175},
                                           {226, 234}, {168, 272}, {89, 272},  {27, 234},
                                           {10, 175},  {10, 107},  {27, 52},   {89, 12}};

// Horizontally centred; the vertical-centring bit without single-line mode
// leaves the text at the top of its rectangle.
constexpr unsigned kCellFormat = kTextCenter | kTextVCenter;
// Room kept between an offset and a name, another offset or the edge.
constexpr int kGap = 2;

FontSpec OffsetFont(int nHeight) {
    return FontSpec{"Arial", nHeight, kFontWeightNormal, FontQuality::Proof};
}

}  // namespace

CCycleOfFifthsControl::CCycleOfFifthsControl() {
    for (std::size_t i = 0; i < kCellCount; ++i) {
        m_arcNames[i] =
            Rect{kNameCorners[i].left, kNameCorners[i].top, kNameCorners[i].left + kNameCellWidth,
                 kNameCorners[i].top + kNameCellHeight};
        m_arcOffsets[i] = Rect{kOffsetCorners[i].left, kOffsetCorners[i].top,
                               kOffsetCorners[i].left + kOffsetCellWidth,
                               kOffsetCorners[i].top + kOffsetCellHeight};
        m_astrNames[i] = CircleNoteName(static_cast<int>(i));
    }
}

void CCycleOfFifthsControl::SetWindow(ICanvas* pCanvas) {
    m_pCanvas = pCanvas;
    m_pTemperament = nullptr;
    m_bPlaced = false;
}

bool CCycleOfFifthsControl::CanDraw() const {
    return m_pCanvas != nullptr && m_pCanvas->IsWindow();
}

std::string CCycleOfFifthsControl::FormatOffset(double dCents) {
    return FormatStreamDouble(dCents);
}

void CCycleOfFifthsControl::SetTemperament(const CTemperament* pTemperament) {
    m_pTemperament = pTemperament;
    DrawOffsets();
}

void CCycleOfFifthsControl::DrawOffsets() {
    if (!CanDraw()) {
        return;
    }
    for (const Rect& rc : m_arcOffsets) {
        m_pCanvas->FillRect(rc, kBackground);
    }
    // Texts that stood outside their cells go too.
    if (m_bPlaced) {
        for (std::size_t i = 0; i < kCellCount; ++i) {
            if (m_aPlaced[i].rc != m_arcOffsets[i]) {
                m_pCanvas->FillRect(m_aPlaced[i].rc, kBackground);
            }
        }
    }
    if (m_pTemperament == nullptr) {
        return;
    }
    // Each fifth as a tuner's meter reads it: the stored offset in the
    // classic arithmetic, the true distance from a pure fifth in the exact one.
    std::array<std::string, kCellCount> astrTexts;
    for (std::size_t i = 0; i < kCellCount; ++i) {
        astrTexts[i] = FormatOffset(m_pTemperament->FifthDeviation(static_cast<int>(i)));
    }
    const Rect rcClient = m_pCanvas->GetClientRect();
    if (!m_bPlaced || astrTexts != m_astrPlaced || rcClient != m_rcPlacedClient) {
        PlaceOffsets(astrTexts);
        m_astrPlaced = astrTexts;
        m_rcPlacedClient = rcClient;
        m_bPlaced = true;
    }
    for (std::size_t i = 0; i < kCellCount; ++i) {
        m_pCanvas->DrawText(astrTexts[i], m_aPlaced[i].rc, OffsetFont(m_aPlaced[i].nHeight),
                            kOffsetText, kBackground, kCellFormat);
    }
}

void CCycleOfFifthsControl::PlaceOffsets(const std::array<std::string, kCellCount>& astrTexts) {
    std::vector<Rect> obstacles(m_arcNames.begin(), m_arcNames.end());
    for (std::size_t i = 0; i < kCellCount; ++i) {
        m_aPlaced[i] = PlaceOffset(i, astrTexts[i], obstacles);
        obstacles.push_back(m_aPlaced[i].rc);
    }
}

CCycleOfFifthsControl::SPlacedText CCycleOfFifthsControl::PlaceOffset(
    std::size_t i, const std::string& text, const std::vector<Rect>& obstacles) const {
    // A name may cover a corner of an offset cell, and six significant
    // digits with a sign (or an exponent) are wider than the cell. The text
    // keeps to the row of its cell, centred on it where the names leave
    // room, and moves sideways, then a few pixels up or down, then to a
    // smaller font, until it stands whole and clear of every name.
    const Rect rcClient = m_pCanvas->GetClientRect();
    const Rect& cell = m_arcOffsets[i];
    const int nCentre = (cell.left + cell.right) / 2;
    for (int nHeight = kOffsetCellHeight; nHeight >= kMinOffsetHeight; --nHeight) {
        const int nWidth = m_pCanvas->TextWidth(text, OffsetFont(nHeight));
        for (int nStep = 0; nStep <= 2 * kMaxOffsetShift; ++nStep) {
            // 0, +1, -1, +2, -2, ...
            const int nShift = (nStep % 2 == 1) ? (nStep + 1) / 2 : -(nStep / 2);
            const int nTop = cell.top + nShift;
            if (nTop < rcClient.top || nTop + nHeight > rcClient.bottom) {
                continue;
            }
            int nLeft = rcClient.left + kGap;
            int nRight = rcClient.right - kGap;
            bool bBlocked = false;
            for (const Rect& rc : obstacles) {
                if (rc.top >= nTop + nHeight || rc.bottom <= nTop) {
                    continue;
                }
                if (rc.right <= nCentre) {
                    nLeft = std::max(nLeft, rc.right + kGap);
                } else if (rc.left >= nCentre) {
                    nRight = std::min(nRight, rc.left - kGap);
                } else {
                    bBlocked = true;
                    break;
                }
            }
            if (bBlocked || nRight - nLeft < nWidth) {
                continue;
            }
            const int nX = std::clamp(nCentre - nWidth / 2, nLeft, nRight - nWidth);
            return SPlacedText{Rect{nX, nTop, nX + nWidth, nTop + nHeight}, nHeight};
        }
    }
    // No room anywhere, even in the smallest font: the cell itself.
    return SPlacedText{Rect{cell.left, cell.top, cell.right, cell.top + kMinOffsetHeight},
                       kMinOffsetHeight};
}

void CCycleOfFifthsControl::DrawNoteNames() {
    if (!CanDraw()) {
        return;
    }
    // Without a temperament no name is marked.
    const int nRotation = m_pTemperament != nullptr ? m_pTemperament->GetRotation() : -1;
    const FontSpec font{"Arial", kNameCellHeight, kFontWeightBold, FontQuality::Proof};
    for (std::size_t i = 0; i < kCellCount; ++i) {
        m_pCanvas->FillRect(m_arcNames[i], kBackground);
        const Colour text = static_cast<int>(i) == nRotation ? kHighlightText : kNameText;
        m_pCanvas->DrawText(m_astrNames[i], m_arcNames[i], font, text, kBackground, kCellFormat);
    }
}

void CCycleOfFifthsControl::Paint() {
    if (!CanDraw()) {
        return;
    }
    m_pCanvas->FillRect(m_pCanvas->GetClientRect(), kBackground);
    if (m_pTemperament != nullptr) {
        // Names after offsets: where cells overlap, the name's background wins.
        DrawOffsets();
        DrawNoteNames();
    }
}

int CCycleOfFifthsControl::HitTest(int x, int y) const {
    for (std::size_t i = 0; i < kCellCount; ++i) {
        if (m_arcNames[i].Contains(x, y)) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}
