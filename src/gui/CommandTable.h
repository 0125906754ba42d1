// SPDX-License-Identifier: GPL-3.0-or-later
// The command vocabulary of the main frame: every menu item with its popup,
// text, status-bar prompt and tooltip, where separators stand, which items
// carry a check mark, and the accelerator table. Plain data, so the frame
// builds its bars from it and tests compare against it. Any thread.
#pragma once

#include <string>
#include <vector>

// The frame's own commands (the view's are in view/ViewIds.h).
enum FrameCommandId {
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_CONTEXT_HELP = 57669,
    ID_HELP = 57670,
    ID_DEFAULT_HELP = 57671,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// The window's commands for temperaments in files, after the others of the
// Temperament menu.
enum FileCommandId {
    ID_IMPORT_SCALA = 32850,
    ID_EXPORT_SCALA = 32851,
    ID_TUNING_SHEET = 32852,
};

// The Fine Tuner window, after the others of the Tuner menu.
enum TunerCommandId {
    ID_FINE_TUNER = 32860,
};

// wx takes menu and tool ids only below 32768, and most command numbers lie
// above it, so each command reaches wx shifted down by a fixed amount.
constexpr int kWxIdShift = 30000;
constexpr int WxIdOfCommand(int nCommand) {
    return nCommand - kWxIdShift;
}
constexpr int CommandOfWxId(int nWxId) {
    return nWxId + kWxIdShift;
}

struct SCommandInfo {
    int nId;
    const char* pszPopup;   // the menu the item sits in
    const char* pszText;    // item text with mnemonic and shortcut hint
    const char* pszPrompt;  // status-bar prompt, "\n", tooltip
    bool bSeparatorAfter;
    bool bCheck;  // a check item (and a toggle button on the toolbar)
};

// All menu items in menu order; popups appear in the order of their first item.
const std::vector<SCommandInfo>& CommandTable();
// The entry of a command; null for an unknown id.
const SCommandInfo* FindCommand(int nId);
// The prompt (before the "\n") and the tooltip (after it) of a command.
std::string CommandPrompt(int nId);
std::string CommandTooltip(int nId);

// Modifier bits of an accelerator, as wx uses them.
struct SAccelInfo {
    int nFlags;    // wxACCEL_CTRL, wxACCEL_SHIFT or wxACCEL_NORMAL
    int nKeyCode;  // a character or a wx key code
    int nCommand;  // the command number, not yet shifted for wx
};

// The thirteen accelerators. The shortcuts shown for New, Edit and Delete
// are hints only and have no entry.
const std::vector<SAccelInfo>& AcceleratorTable();
// Whether the item's text shows a shortcut that runs nothing: no accelerator
// of the table runs the item (New, Edit and Delete; Help Topics, whose F1
// runs help on the focus).
bool ShowsShortcutOnly(int nId);
