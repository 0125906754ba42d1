// SPDX-License-Identifier: GPL-3.0-or-later
// The enabled and checked state of one command, as the view's update handlers
// decide it and the window layer shows it on menu items and toolbar buttons.
#pragma once

class CCmdUI {
public:
    explicit CCmdUI(int nID) : m_nID(nID) {}

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(int nCheck = 1) { m_bChecked = nCheck != 0; }
    void SetText(const char* pszText) { m_strText = pszText; }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bChecked = false;
    const char* m_strText = nullptr;
};
