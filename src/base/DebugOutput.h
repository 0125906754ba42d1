// SPDX-License-Identifier: GPL-3.0-or-later
// The program's diagnostic channel: device classes write one line per event
// here. Lines go to standard error when KLAVORA_DEBUG=1; tests can install a
// capture to read them. Any thread may call it.
#pragma once

#include <functional>
#include <string>

// Writes text exactly as given (callers end their lines with "\r\n").
void OutputDebugText(const char* pszText);
inline void OutputDebugText(const std::string& strText) {
    OutputDebugText(strText.c_str());
}

// Receives every text passed to OutputDebugText while installed.
using DebugCaptureFn = std::function<void(const char*)>;

// Installs a capture (an empty function removes it) and returns the previous one.
DebugCaptureFn SetDebugCapture(DebugCaptureFn fnCapture);

// Collects the debug output while it lives and restores the previous capture.
class CDebugOutputCapture {
public:
    CDebugOutputCapture();
    ~CDebugOutputCapture();
    CDebugOutputCapture(const CDebugOutputCapture&) = delete;
    CDebugOutputCapture& operator=(const CDebugOutputCapture&) = delete;

    // Everything written since construction or the last Clear.
    std::string Text() const;
    void Clear();

private:
    struct SState;
    SState* m_pState;
    DebugCaptureFn m_fnPrevious;
};
