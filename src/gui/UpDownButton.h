// CUpDownButton is a small pair of arrow buttons, one over the other, beside
// a read-only number edit: a click on the upper half steps up, on the lower
// half steps down, and the arrow keys do the same while the edit has the
// focus. GTK's own spin buttons are too large for the dialog's rows, hence
// this one. User-interface thread only.
#pragma once

#include <functional>

#include <wx/window.h>

class CUpDownButton : public wxWindow {
public:
    // fnStep receives -1 for the up arrow and +1 for the down arrow, as the
    // classic up-down control reports its position change.
    CUpDownButton(wxWindow* pParent, int id, const wxPoint& pos, const wxSize& size,
                  std::function<void(int)> fnStep);

    // Lets the arrow keys of a buddy window step too.
    void AttachBuddy(wxWindow* pBuddy);
    // Steps as a click on the upper (delta -1) or lower (+1) half does.
    void Step(int delta);

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnBuddyKey(wxKeyEvent& event);

    std::function<void(int)> m_fnStep;
};
