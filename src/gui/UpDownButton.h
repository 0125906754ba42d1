// SPDX-License-Identifier: GPL-3.0-or-later
// CUpDownButton is a small pair of arrow buttons, one over the other, beside
// a read-only number edit: a click on the upper half steps up, on the lower
// half steps down. It takes the focus from the keyboard and shows it; the
// arrow keys step once, Page Up and Page Down ten times, End and Home as far
// as the value goes, whether it or its edit has the focus. GTK's own spin
// buttons are too large for the dialog's rows, hence this one.
// User-interface thread only.
#pragma once

#include <functional>

#include <wx/window.h>

class wxTextCtrl;

class CUpDownButton : public wxWindow {
public:
    // fnStep receives -1 for the up arrow and +1 for the down arrow, as the
    // classic up-down control reports its position change.
    CUpDownButton(wxWindow* pParent, int id, const wxPoint& pos, const wxSize& size,
                  std::function<void(int)> fnStep);

    // Lets the keys of a buddy window step too; its text tells when a
    // repeated step has reached the end of the range.
    void AttachBuddy(wxTextCtrl* pBuddy);
    // Steps as a click on the upper (delta -1) or lower (+1) half does.
    void Step(int delta);

    bool AcceptsFocusFromKeyboard() const override { return IsEnabled(); }

private:
    // Steps up to nTimes times, stopping once the buddy's value stays.
    void StepRepeatedly(int delta, int nTimes);
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnKey(wxKeyEvent& event);
    void OnFocusChange(wxFocusEvent& event);

    std::function<void(int)> m_fnStep;
    wxTextCtrl* m_pBuddy = nullptr;
};
