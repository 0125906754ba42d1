// SPDX-License-Identifier: GPL-3.0-or-later
// CHelpNoteProvider keeps the short help texts of the controls and shows
// What's This notes: the text of the clicked control in a small note under
// the pointer. At most one note is open. It closes at the next key (Escape
// does nothing else), the next click anywhere in the program (which then
// does what it does), or when the program's window is left. The note takes
// neither the mouse nor the keyboard, so What's This can always capture the
// mouse again. User-interface thread only.
#pragma once

#include <wx/cshelp.h>
#include <wx/eventfilter.h>
#include <wx/weakref.h>
#include <wx/window.h>

class CHelpNoteProvider : public wxSimpleHelpProvider, public wxEventFilter {
public:
    CHelpNoteProvider();
    ~CHelpNoteProvider() override;

    // Shows the window's help text in a note, closing the note shown before.
    // False when the window has no help text.
    bool ShowHelp(wxWindowBase* pWindow) override;

    // Closes the open note; false when none was open.
    bool CloseNote();
    // The note on screen, or null.
    wxWindow* OpenNote() const;

    // Watches the program's events for what closes an open note.
    int FilterEvent(wxEvent& event) override;

    // The provider in use, when it is one of these; else null.
    static CHelpNoteProvider* Get();
    // Closes the open note of the provider in use; false when none was open.
    static bool CloseOpenNote();

private:
    wxWeakRef<wxWindow> m_pNote;
};
