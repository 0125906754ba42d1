#include "presenter/AccessibleForm.h"

#include <cmath>

#include "controls/CentsMeter.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "tuning/NumberFormat.h"
#include "tuning/Temperament.h"
#include "tuning/TemperamentTables.h"

namespace {

// The meter's scale; beyond it the bar stays pinned at its ends.
constexpr double kMeterRange = 100.0;

std::string Trimmed(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// The panels show dashes for a deviation beyond the meter's scale.
bool ShowsDashes(const std::string& text) {
    return text.compare(0, 3, "---") == 0;
}

// A deviation as it is said: "3.2 cents sharp", "0.5 cents flat", "0.0 cents".
std::string CentsPhrase(double cents) {
    const std::string amount = FormatFixed(std::fabs(cents), 1);
    if (amount == "0.0") {
        return "0.0 cents";
    }
    return amount + (cents > 0 ? " cents sharp" : " cents flat");
}

double MeterCents(const CKlavoraView& view) {
    const CCentsMeter* pMeter = view.GetCentsMeter();
    const double cents = pMeter != nullptr ? pMeter->GetCents() : CCentsMeter::kResetCents;
    if (std::isnan(cents)) {
        return CCentsMeter::kResetCents;
    }
    return std::fmax(-kMeterRange, std::fmin(kMeterRange, cents));
}

SAccessibleState DescribeMeter(const CKlavoraView& view) {
    SAccessibleState state;
    state.dValue = MeterCents(view);
    state.dMinimum = -kMeterRange;
    state.dMaximum = kMeterRange;
    state.dStep = 0.1;
    const std::string& shown = view.GetPanelCents().GetText();
    if (shown.empty()) {
        state.text = "No reading";
    } else if (ShowsDashes(shown)) {
        state.text = "Out of range";
    } else {
        state.text = CentsPhrase(view.GetCentsMeter()->GetCents());
    }
    return state;
}

SAccessibleState DescribeKeyboard(const CKlavoraView& view) {
    SAccessibleState state;
    state.dValue = view.GetNote();
    state.dMinimum = 0;
    state.dMaximum = 11;
    state.dStep = 1;
    state.text = SpokenNoteName(NoteName(view.GetNote()));
    return state;
}

SAccessibleState DescribeCircle(const CKlavoraView& view) {
    const CCycleOfFifthsControl& circle = view.GetCycleOfFifths();
    const CTemperament* t = circle.GetTemperament();
    SAccessibleState state;
    if (t == nullptr) {
        state.text = "No temperament";
        return state;
    }
    // The names run around the circle; fifth i goes from name i to name i+1.
    const int n = CCycleOfFifthsControl::kCellCount;
    state.text = "Starts on " + SpokenNoteName(circle.NoteName(t->GetRotation())) +
                 ". Fifths from pure, in cents:";
    for (int i = 0; i < n; ++i) {
        state.text += (i == 0 ? " " : ", ") + SpokenNoteName(circle.NoteName(i)) + " to " +
                      SpokenNoteName(circle.NoteName((i + 1) % n)) + " " +
                      CCycleOfFifthsControl::FormatOffset(t->GetOffset(i));
    }
    return state;
}

}  // namespace

const std::vector<SAccessibleControl>& AccessibleControls() {
    static const std::vector<SAccessibleControl> controls{
        {IDC_BANNER, AccessibleRole::LevelBar, "Cents meter", true, 0},
        {IDC_HERTZ_PANEL, AccessibleRole::Text, "Frequency", false, 0},
        {IDC_NOTE_PANEL, AccessibleRole::Text, "Note", false, 0},
        {IDC_CENTS_PANEL, AccessibleRole::Text, "Cents", false, 0},
        {IDC_TEMPERAMENTS, AccessibleRole::ComboBox, "Temperament", false, IDC_TEMPERAMENT_GROUP},
        {IDC_KEYBOARD, AccessibleRole::Slider, "Keyboard", true, 0},
        {IDC_CYCLE_OF_FIFTHS, AccessibleRole::Chart, "Cycle of Fifths", false, 0},
    };
    return controls;
}

const SAccessibleControl* FindAccessibleControl(int controlId) {
    for (const SAccessibleControl& control : AccessibleControls()) {
        if (control.nId == controlId) {
            return &control;
        }
    }
    return nullptr;
}

SAccessibleState DescribeControl(const CKlavoraView& view, int controlId) {
    switch (controlId) {
        case IDC_BANNER:
            return DescribeMeter(view);
        case IDC_HERTZ_PANEL:
            return {Trimmed(view.GetPanelHertz().GetText())};
        case IDC_NOTE_PANEL:
            return {Trimmed(view.GetPanelNote().GetText())};
        case IDC_CENTS_PANEL:
            return {Trimmed(view.GetPanelCents().GetText())};
        case IDC_TEMPERAMENTS:
            return {view.GetTemperamentName()};
        case IDC_KEYBOARD:
            return DescribeKeyboard(view);
        case IDC_CYCLE_OF_FIFTHS:
            return DescribeCircle(view);
        default:
            return {};
    }
}

std::string SpokenNoteName(const std::string& name) {
    std::string spoken;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char ch = name[i];
        if (ch == '#') {
            spoken += " sharp";
        } else if (ch == 'b' && i > 0 && name[i - 1] >= 'A' && name[i - 1] <= 'G') {
            spoken += " flat";
        } else if (ch == '/') {
            spoken += " or ";
        } else {
            spoken += ch;
        }
    }
    return spoken;
}

std::string SpokenReading(const CKlavoraView& view) {
    const std::string& cents = view.GetPanelCents().GetText();
    if (cents.empty() || view.GetCentsMeter() == nullptr) {
        return std::string();
    }
    if (ShowsDashes(cents)) {
        return "Out of range";
    }
    return CentsPhrase(view.GetCentsMeter()->GetCents()) + ", " +
           Trimmed(view.GetPanelHertz().GetText());
}

CAccessibleForm::SUpdate CAccessibleForm::Poll(const CKlavoraView& view, Clock::time_point now) {
    SUpdate update;
    for (const SAccessibleControl& control : AccessibleControls()) {
        SAccessibleState state = DescribeControl(view, control.nId);
        const auto it = m_told.find(control.nId);
        if (it == m_told.end() || it->second != state) {
            m_told[control.nId] = state;
            update.changed.emplace_back(control.nId, std::move(state));
        }
    }
    if (!view.IsListening()) {
        m_pacer.Clear();
    } else if (view.GetReadingCount() != m_nReadings) {
        const std::string reading = SpokenReading(view);
        if (!reading.empty()) {
            m_pacer.Offer(reading);
        }
    }
    m_nReadings = view.GetReadingCount();
    update.announcement = m_pacer.Take(now);
    update.pollAt = m_pacer.DueAt();
    return update;
}
