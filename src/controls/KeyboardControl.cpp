#include "controls/KeyboardControl.h"

#include <algorithm>

CKeyRegion::CKeyRegion(std::vector<KeyPoint> vertices) : m_vertices(std::move(vertices)) {
    if (m_vertices.empty()) {
        return;
    }
    m_nLeft = m_nRight = m_vertices[0].x;
    m_nTop = m_nBottom = m_vertices[0].y;
    for (const KeyPoint& p : m_vertices) {
        m_nLeft = std::min(m_nLeft, p.x);
        m_nRight = std::max(m_nRight, p.x);
        m_nTop = std::min(m_nTop, p.y);
        m_nBottom = std::max(m_nBottom, p.y);
    }
}

bool CKeyRegion::Contains(int x, int y) const {
    // The pixel centre lies within the box only for pixels from its left
    // (top) edge up to one before its right (bottom) edge.
    if (x < m_nLeft || x >= m_nRight || y < m_nTop || y >= m_nBottom) {
        return false;
    }
    // Winding number of the pixel centre (x + 0.5, y + 0.5), worked in doubled
    // coordinates so that everything stays integral.
    const long px = 2L * x + 1;
    const long py = 2L * y + 1;
    int nWinding = 0;
    const std::size_t n = m_vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        const KeyPoint& a = m_vertices[i];
        const KeyPoint& b = m_vertices[(i + 1) % n];
        const long ax = 2L * a.x, ay = 2L * a.y, bx = 2L * b.x, by = 2L * b.y;
        // Cross product sign: which side of edge a->b the point lies on.
        const long side = (bx - ax) * (py - ay) - (px - ax) * (by - ay);
        if (ay <= py) {
            if (by > py && side > 0) {
                ++nWinding;
            }
        } else if (by <= py && side < 0) {
            --nWinding;
        }
    }
    return nWinding != 0;
}

CKeyboardControl::CKeyboardControl() {
    // The outlines of the picture's keys, one per NoteIndex from C to B.
    m_regions = {{
        CKeyRegion({{1, 1}, {1, 137}, {37, 137}, {37, 76}, {22, 76}, {22, 1}}),
        CKeyRegion({{25, 1}, {25, 75}, {43, 75}, {43, 1}}),
        CKeyRegion(
            {{45, 1}, {45, 76}, {39, 76}, {39, 137}, {75, 137}, {75, 76}, {68, 76}, {68, 1}}),
        CKeyRegion({{71, 1}, {71, 75}, {89, 75}, {89, 1}}),
        CKeyRegion({{91, 1}, {91, 76}, {77, 76}, {77, 137}, {112, 137}, {112, 1}}),
        CKeyRegion({{115, 1}, {115, 137}, {152, 137}, {152, 76}, {136, 76}, {136, 1}}),
        CKeyRegion({{139, 1}, {139, 75}, {156, 75}, {156, 1}}),
        CKeyRegion({{158, 1},
                    {158, 76},
                    {155, 76},
                    {155, 137},
                    {192, 137},
                    {192, 76},
                    {183, 76},
                    {183, 1}}),
        CKeyRegion({{185, 1}, {185, 75}, {203, 75}, {203, 1}}),
        CKeyRegion({{205, 1},
                    {205, 76},
                    {195, 76},
                    {195, 137},
                    {232, 137},
                    {232, 76},
                    {228, 76},
                    {228, 1}}),
        CKeyRegion({{231, 1}, {231, 75}, {249, 75}, {249, 1}}),
        CKeyRegion({{252, 1}, {252, 76}, {235, 76}, {235, 137}, {272, 137}, {272, 1}}),
    }};
}

int CKeyboardControl::HitTest(int x, int y) const {
    for (int note = 0; note < kKeyCount; ++note) {
        if (m_regions[static_cast<std::size_t>(note)].Contains(x, y)) {
            return note + 1;
        }
    }
    return 0;
}

bool CKeyboardControl::IsAccidental(int note) {
    switch (note) {
        case 1:
        case 3:
        case 6:
        case 8:
        case 10:
            return true;
        default:
            return false;
    }
}

int CKeyboardControl::StepNote(int note, int delta) {
    return ((note + delta) % kKeyCount + kKeyCount) % kKeyCount;
}

Rect CKeyboardControl::NoteMark(int note) const {
    // The foot of a key is its lowest edge; every outline has one edge there.
    const std::vector<KeyPoint>& v = Region(StepNote(note, 0)).Vertices();
    int bottom = 0;
    for (const KeyPoint& p : v) {
        bottom = std::max(bottom, p.y);
    }
    int left = kPictureWidth;
    int right = 0;
    for (const KeyPoint& p : v) {
        if (p.y == bottom) {
            left = std::min(left, p.x);
            right = std::max(right, p.x);
        }
    }
    constexpr int kInset = 4;
    constexpr int kHeight = 5;
    return Rect{left + kInset, bottom - kInset - kHeight, right - kInset, bottom - kInset};
}
