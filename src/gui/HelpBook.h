// SPDX-License-Identifier: GPL-3.0-or-later
// CHelpBook shows the program's help book, which is compiled into the
// program, in wx's HTML help viewer. Nothing is loaded until help is first
// asked for. From the main window the book opens in a help window of its own
// that stays open beside the program; from a modal dialog it opens in a
// modal help window over the dialog, because a window beside a modal dialog
// takes no input until the dialog closes. User-interface thread only.
#pragma once

#include <memory>
#include <string>

#include <wx/string.h>

#include "gui/HelpTopics.h"

class wxDialog;
class wxHtmlHelpController;
class wxWindow;

class CHelpBook {
public:
    CHelpBook();
    ~CHelpBook();
    CHelpBook(const CHelpBook&) = delete;
    CHelpBook& operator=(const CHelpBook&) = delete;

    // The first page, in the help window.
    bool ShowContents();
    // A topic ("page.html" or "page.html#section") in the help window.
    bool ShowTopic(const std::string& topic);
    // The help window's controller; null until help was first shown.
    wxHtmlHelpController* GetController() const { return m_pController.get(); }

    // A topic in a modal help window over a modal dialog; returns once the
    // user has closed it.
    static bool ShowOverDialog(wxWindow* pDialog, const std::string& topic);

    // The topic of the window with the focus: that of the nearest control
    // (the window itself or one it lies in, up to pTop) that has one, else
    // that of the window as a whole.
    static std::string TopicForFocus(const wxWindow* pFocus, const wxWindow* pTop,
                                     HelpWindow window);

    // Lets F1 in a dialog open the topic of its focused control, over it.
    static void BindDialogKey(wxDialog* pDialog, HelpWindow window);

    // Where wx's file system finds the book; makes it known on the first call.
    static wxString BookLocation();
    // The help window's title, the page title in place of %s.
    static const char* const kTitleFormat;

private:
    bool Prepare();

    std::unique_ptr<wxHtmlHelpController> m_pController;
    bool m_bLoaded = false;
};
