#include "controls/CycleOfFifthsControl.h"

#include "temper/NumberFormat.h"
#include "temper/Temperament.h"

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
const char* const kNames[12] = {"C", "G", "D", "A", "E", "B", "F#", "C#", "G#", "Eb", "Bb", "F"};

// Horizontally centred; the vertical-centring bit without single-line mode
// leaves the text at the top of its cell.
constexpr unsigned kCellFormat = kTextCenter | kTextVCenter;
// An offset such as -5.865 is wider than its 40-pixel cell at this font
// size; cut to the cell it would lose its sign and read as widened, so it
// may spill past the cell's sides.
constexpr unsigned kOffsetFormat = kCellFormat | kTextNoClip;

}  // namespace

CCycleOfFifthsControl::CCycleOfFifthsControl() {
    for (std::size_t i = 0; i < kCellCount; ++i) {
        m_arcNames[i] =
            Rect{kNameCorners[i].left, kNameCorners[i].top, kNameCorners[i].left + kNameCellWidth,
                 kNameCorners[i].top + kNameCellHeight};
        m_arcOffsets[i] = Rect{kOffsetCorners[i].left, kOffsetCorners[i].top,
                               kOffsetCorners[i].left + kOffsetCellWidth,
                               kOffsetCorners[i].top + kOffsetCellHeight};
        m_astrNames[i] = kNames[i];
    }
}

void CCycleOfFifthsControl::SetWindow(ICanvas* pCanvas) {
    m_pCanvas = pCanvas;
    m_pTemperament = nullptr;
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
    if (m_pTemperament == nullptr) {
        return;
    }
    const FontSpec font{"Arial", kOffsetCellHeight, kFontWeightNormal, FontQuality::Proof};
    for (std::size_t i = 0; i < kCellCount; ++i) {
        const double dOffset = m_pTemperament->GetOffset(static_cast<int>(i));
        m_pCanvas->DrawText(FormatOffset(dOffset), m_arcOffsets[i], font, kOffsetText, kBackground,
                            kOffsetFormat);
    }
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
