// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive technology (a screen reader, a braille display) is told
// about the main form's controls that the toolkit cannot describe by itself:
// the temperament list and the drawn controls (the cents meter, the three
// readout panels, the keyboard picture and the circle of fifths). Each gets a
// role and a name; what it shows is told as text and, where it is a number
// on a scale, as a value. CAccessibleForm follows the view's state and says
// which descriptions changed and when a new reading is to be announced.
// User-interface thread only.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "presenter/AnnouncementPacer.h"

class CKlavoraView;

enum class AccessibleRole {
    ComboBox,  // the temperament list
    Text,      // a readout panel: read-only text under a name
    LevelBar,  // the cents meter
    Slider,    // the keyboard: one of twelve notes
    Chart,     // the circle of fifths
};

struct SAccessibleControl {
    int nId;
    AccessibleRole role;
    const char* pszName;
    bool bHasValue;  // a number on a scale, besides the text
    int nLabelId;    // the control whose caption labels it, or 0
};

// The controls described here, in the form's order.
const std::vector<SAccessibleControl>& AccessibleControls();
// The entry of a control; null for one the toolkit describes itself.
const SAccessibleControl* FindAccessibleControl(int controlId);

struct SAccessibleState {
    std::string text;  // what the control shows, in words
    double dValue = 0.0;
    double dMinimum = 0.0;
    double dMaximum = 0.0;
    double dStep = 0.0;
    bool operator==(const SAccessibleState& o) const {
        return text == o.text && dValue == o.dValue && dMinimum == o.dMinimum &&
               dMaximum == o.dMaximum && dStep == o.dStep;
    }
    bool operator!=(const SAccessibleState& o) const { return !(*this == o); }
};

// What a control shows now, from the view's state.
SAccessibleState DescribeControl(const CKlavoraView& view, int controlId);
// A note name as it is spoken: "C#/Db" is "C sharp or D flat", "Eb" "E flat".
std::string SpokenNoteName(const std::string& name);
// The reading the tuner shows, as it is announced: "3.2 cents sharp, 415.77
// Hertz"; "Out of range" when the panels show dashes; empty with no reading.
std::string SpokenReading(const CKlavoraView& view);

class CAccessibleForm {
public:
    using Clock = CAnnouncementPacer::Clock;

    struct SUpdate {
        // The controls whose description changed since the last poll (all of
        // them on the first), with the new description.
        std::vector<std::pair<int, SAccessibleState>> changed;
        // A reading to announce now, if any.
        std::optional<std::string> announcement;
        // When to poll again for a reading held back; empty when none is.
        std::optional<Clock::time_point> pollAt;
    };

    // Compares the view's state with what was told before. A new reading is
    // announced at most twice a second, the newest one first when several
    // came in between; stopping to listen drops one not yet announced.
    SUpdate Poll(const CKlavoraView& view, Clock::time_point now);

private:
    std::map<int, SAccessibleState> m_told;
    unsigned m_nReadings = 0;
    CAnnouncementPacer m_pacer;
};
