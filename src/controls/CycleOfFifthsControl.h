// SPDX-License-Identifier: GPL-3.0-or-later
// CCycleOfFifthsControl draws a temperament as a circle: the twelve note names
// in circle-of-fifths order, the offset of each fifth between its two notes,
// and the name the rotated temperament starts on in red. Each offset is drawn
// whole, in the largest font up to the cell height that fits the room its
// cell and the neighbourhood leave between the names. It also answers which
// name cell lies under a point. User-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "controls/Canvas.h"

class CTemperament;

class CCycleOfFifthsControl {
public:
    static constexpr int kCellCount = 12;
    static constexpr int kOffsetCellWidth = 40;
    static constexpr int kOffsetCellHeight = 20;
    static constexpr int kNameCellWidth = 35;
    static constexpr int kNameCellHeight = 25;
    // An offset's font never gets smaller than this; how far its text may
    // move up or down from the top of its cell to find room.
    static constexpr int kMinOffsetHeight = 8;
    static constexpr int kMaxOffsetShift = 8;

    CCycleOfFifthsControl();

    // The canvas of the drawing's window; forgets any temperament. The canvas
    // is borrowed and must outlive this object or be replaced first.
    void SetWindow(ICanvas* pCanvas);
    // Remembers the temperament (borrowed from the catalogue) and draws its
    // twelve offsets. A null temperament drops it, as ClearTemperament does.
    void SetTemperament(const CTemperament* pTemperament);
    // Holds no temperament any more; the next Paint leaves a black area.
    void ClearTemperament() { m_pTemperament = nullptr; }
    const CTemperament* GetTemperament() const { return m_pTemperament; }

    void DrawNoteNames();
    // Redraws the whole drawing: background, then offsets and names.
    void Paint();

    // 1-based index of the name cell under a point in client coordinates, or
    // 0. Offset cells and the space between cells never count.
    int HitTest(int x, int y) const;

    const Rect& NameCell(int i) const { return m_arcNames[static_cast<std::size_t>(i)]; }
    const Rect& OffsetCell(int i) const { return m_arcOffsets[static_cast<std::size_t>(i)]; }
    const std::string& NoteName(int i) const { return m_astrNames[static_cast<std::size_t>(i)]; }
    // Where offset i was last drawn: the text's rectangle and its font height.
    const Rect& OffsetTextRect(int i) const { return m_aPlaced[static_cast<std::size_t>(i)].rc; }

    // An offset as the circle writes it: six significant digits, g-style.
    static std::string FormatOffset(double dCents);

    static constexpr Colour kBackground = MakeColour(0, 0, 0);
    static constexpr Colour kOffsetText = MakeColour(255, 255, 255);
    static constexpr Colour kNameText = MakeColour(200, 200, 200);
    static constexpr Colour kHighlightText = MakeColour(255, 0, 0);

private:
    struct SPlacedText {
        Rect rc;
        int nHeight = 0;
    };
    bool CanDraw() const;
    void DrawOffsets();
    // Lays out the twelve offset texts, avoiding the name cells, the window's
    // edges and the offsets already placed.
    void PlaceOffsets(const std::array<std::string, kCellCount>& astrTexts);
    SPlacedText PlaceOffset(std::size_t i, const std::string& text,
                            const std::vector<Rect>& obstacles) const;

    ICanvas* m_pCanvas = nullptr;
    const CTemperament* m_pTemperament = nullptr;
    std::array<Rect, kCellCount> m_arcOffsets;
    std::array<Rect, kCellCount> m_arcNames;
    std::array<std::string, kCellCount> m_astrNames;
    // The last layout and the texts it was made for: a repaint of the same
    // offsets measures nothing again.
    std::array<SPlacedText, kCellCount> m_aPlaced;
    std::array<std::string, kCellCount> m_astrPlaced;
    Rect m_rcPlacedClient;
    bool m_bPlaced = false;
};
