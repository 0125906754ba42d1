// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes, as the dialogs' and the view's logic asks for them: a text,
// a caption, buttons and an icon; the answer is the button pressed. The window
// layer shows them; tests answer them. User-interface thread only.
#pragma once

#include <string>

enum : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    // The second button (No of Yes and No) is the default one, the one that
    // Enter presses.
    MB_DEFBUTTON2 = 0x100,
};
enum DialogResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The caption of the framework's own messages, such as "Please enter a number.".
constexpr const char* kAppCaption = "Klavora";
constexpr const char* kEnterNumber = "Please enter a number.";

class IMessageHost {
public:
    virtual ~IMessageHost() = default;
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
};
