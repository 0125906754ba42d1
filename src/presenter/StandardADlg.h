// SPDX-License-Identifier: GPL-3.0-or-later
// CStandardADlg is the logic of the Standard A dialog: one frequency, refused
// unless it lies between 200 and 600 Hz. User-interface thread only.
#pragma once

#include <string>

#include "presenter/MessageHost.h"

class CStandardADlg {
public:
    static constexpr double kLowest = 200.0;
    static constexpr double kHighest = 600.0;

    CStandardADlg() = default;

    void SetStandardA(double hertz) { m_dStandardA = hertz; }
    double GetStandardA() const { return m_dStandardA; }
    // The text the edit shows.
    std::string GetText() const;
    // OK with the edit's text: true when the dialog may close with OK. A text
    // that is no number or a value out of range is refused with its message,
    // and the value stays as it was.
    bool OnOK(const std::string& text, IMessageHost& host);

private:
    double m_dStandardA = 415.0;
};
