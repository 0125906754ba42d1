// SPDX-License-Identifier: GPL-3.0-or-later
// CKeyboardControl knows where the twelve keys of the one-octave keyboard
// picture lie, answers which key is under a point, and where the picture
// marks the key that its own keys move and choose; it draws nothing.
// User-interface thread only.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "controls/Canvas.h"

struct KeyPoint {
    int x = 0;
    int y = 0;
};

// One closed polygon in the picture's client pixels. A pixel belongs to it when
// the pixel's centre lies inside under the winding rule; for the key outlines,
// whose edges are all horizontal or vertical, that puts left and top edges
// inside and right and bottom edges outside, as for rectangles.
class CKeyRegion {
public:
    CKeyRegion() = default;
    explicit CKeyRegion(std::vector<KeyPoint> vertices);

    bool Contains(int x, int y) const;
    const std::vector<KeyPoint>& Vertices() const { return m_vertices; }

private:
    std::vector<KeyPoint> m_vertices;
    // The vertices' bounding box: a point outside it is outside the region.
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nRight = -1;
    int m_nBottom = -1;
};

class CKeyboardControl {
public:
    static constexpr int kPictureWidth = 274;
    static constexpr int kPictureHeight = 138;
    static constexpr int kKeyCount = 12;

    CKeyboardControl();

    // The key under a point in the picture's client coordinates: its NoteIndex
    // plus 1, or 0 over no key (the border and the strips between keys).
    int HitTest(int x, int y) const;

    const CKeyRegion& Region(int note) const { return m_regions[static_cast<std::size_t>(note)]; }
    // Whether the note is an accidental (C#, D#, F#, G#, A#).
    static bool IsAccidental(int note);

    // The keys the picture answers while it has the focus.
    enum Key { kKeyLeft = 1, kKeyRight, kKeySpace };
    // The note a step of Left (-1) or Right (+1) leads to from a note:
    // chromatically, round the octave.
    static int StepNote(int note, int delta);
    // Where the picture marks a note for Space: a bar across the foot of
    // its key, clear of the key's edges.
    Rect NoteMark(int note) const;

private:
    std::array<CKeyRegion, kKeyCount> m_regions;
};
