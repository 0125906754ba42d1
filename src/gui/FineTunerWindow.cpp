#include "gui/FineTunerWindow.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <functional>
#include <initializer_list>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/display.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/DescribedAccessible.h"
#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/WxCanvas.h"
#include "presenter/KlavoraView.h"
#include "storetool/PlayedBeatLines.h"
#include "tuning/NumberFormat.h"

namespace {

constexpr int kFaceWidth = 620;
constexpr int kFaceHeight = 400;
const char* const kFaceName = "Fine tuner reading";
const char* const kCalibrationHelp =
    "Play a reference of known frequency, a tuning fork or an electronic reference, into "
    "the microphone, type its frequency and choose Calibrate: Klavora listens for five "
    "seconds and corrects its readings and its tones by the clock error it finds. "
    "Loopback Check plays a tone and listens to it, through a cable or the air, to tell "
    "whether input and output agree.";

std::string InTuneLabel(double dCents) {
    return "\xC2\xB1" + FormatStreamDouble(dCents) + (dCents == 1.0 ? " cent" : " cents");
}

// One button of a window's bar: where to keep it (or null), its label and id,
// and what a press does.
struct SBarButton {
    wxButton** ppButton;
    const char* label;
    int id;
    std::function<void()> action;
};

// Makes the buttons in the order given, each added to pBar with nFlags and a
// gap, and keeps them where asked.
void AddBarButtons(wxWindow* pParent, wxBoxSizer* pBar, std::initializer_list<SBarButton> buttons,
                   int nFlags, int gap) {
    for (const SBarButton& b : buttons) {
        auto* pButton = new wxButton(pParent, b.id, b.label);
        pButton->Bind(wxEVT_BUTTON, [action = b.action](wxCommandEvent&) { action(); });
        pBar->Add(pButton, 0, nFlags, gap);
        if (b.ppButton != nullptr) {
            *b.ppButton = pButton;
        }
    }
}

}  // namespace

CFineTunerWindow::CFineTunerWindow(wxWindow* pParent, CKlavoraView& view)
    : wxDialog(pParent, wxID_ANY, kTitle, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX),
      m_pTuner(std::make_unique<CFineTuner>(view, *this)) {
    SetFont(MakeDialogFont());
    m_messages.SetParent(this);
    m_pTuner->SetBeatLines(PlayedBeatLines);
    CreateControls();
    Place(pParent);
    m_poll.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { m_pTuner->OnPoll(); });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { CloseTuner(); });
    m_pTuner->Open();
}

CFineTunerWindow::~CFineTunerWindow() {
    m_poll.Stop();
    m_pTuner->Close();
}

void CFineTunerWindow::CloseTuner() {
    if (m_bClosing) {
        return;
    }
    m_bClosing = true;
    m_poll.Stop();
    m_pTuner->Close();
    if (m_pCalibration != nullptr) {
        m_pCalibration->Hide();
    }
    Hide();
    Destroy();
}

void CFineTunerWindow::CreateControls() {
    const int gap = DuX(4);
    auto* pTop = new wxBoxSizer(wxVERTICAL);
    m_pFace = new wxWindow(this, wxID_ANY, wxDefaultPosition, wxSize(kFaceWidth, kFaceHeight),
                           wxFULL_REPAINT_ON_RESIZE);
    m_pCanvas = std::make_unique<CWxCanvas>(m_pFace);
    m_pFace->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        // Once the canvas has taken the new size.
        CallAfter([this] {
            if (!m_bClosing) {
                m_pTuner->Paint();
            }
        });
    });
    if (auto* widget = static_cast<GtkWidget*>(m_pFace->GetHandle())) {
        m_pAccessible = InstallDescribedAccessible(widget, true);
        if (m_pAccessible == nullptr) {
            m_pAccessible = gtk_widget_get_accessible(widget);
        }
        atk_object_set_role(m_pAccessible, ATK_ROLE_LEVEL_BAR);
        atk_object_set_name(m_pAccessible, kFaceName);
    }
    pTop->Add(m_pFace, 1, wxEXPAND);

    auto* pBar = new wxBoxSizer(wxHORIZONTAL);
    m_pAnyNote = new wxCheckBox(this, wxID_ANY, "&Any note");
    m_pAnyNote->Bind(wxEVT_CHECKBOX,
                     [this](wxCommandEvent&) { m_pTuner->SetAnyNote(m_pAnyNote->GetValue()); });
    pBar->Add(m_pAnyNote, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap * 3);
    pBar->Add(new wxStaticText(this, wxID_ANY, "&In tune:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT,
              gap);
    m_pInTune = new wxChoice(this, wxID_ANY);
    for (double d : CFineTuner::InTuneChoices()) {
        m_pInTune->Append(wxString::FromUTF8(InTuneLabel(d)));
    }
    m_pInTune->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        const int n = m_pInTune->GetSelection();
        if (n >= 0 && n < static_cast<int>(CFineTuner::InTuneChoices().size())) {
            m_pTuner->SetInTuneCents(CFineTuner::InTuneChoices()[static_cast<std::size_t>(n)]);
        }
    });
    pBar->Add(m_pInTune, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap * 3);
    pBar->AddStretchSpacer();
    AddBarButtons(
        this, pBar,
        {
            {&m_pListen, "&Listen", wxID_ANY, [this] { m_pTuner->OnListen(); }},
            {&m_pCalibrate, "&Calibrate...", wxID_ANY, [this] { ShowCalibrationWindow(); }},
            {&m_pSurvey, "&Survey...", wxID_ANY,
             [this] {
                 if (m_fnSurvey) {
                     m_fnSurvey();
                 }
             }},
            // Close has the id of Cancel, so that Escape closes the window too.
            {nullptr, "Close", wxID_CANCEL, [this] { CloseTuner(); }},
        },
        wxALIGN_CENTER_VERTICAL | wxLEFT, gap);
    m_pSurvey->Enable(false);
    pTop->Add(pBar, 0, wxEXPAND | wxALL, gap * 2);
    SetSizer(pTop);
}

void CFineTunerWindow::Place(wxWindow* pParent) {
    // Opens with a face of the full size, and shrinks down to a small one.
    m_pFace->SetMinSize(wxSize(kFaceWidth, kFaceHeight));
    SetClientSize(GetSizer()->CalcMin());
    m_pFace->SetMinSize(wxSize(DuX(120), DuY(80)));
    SetMinClientSize(GetSizer()->CalcMin());
    MoveBeside(pParent);
}

void CFineTunerWindow::MoveBeside(wxWindow* pParent) {
    const int display = wxDisplay::GetFromWindow(pParent);
    const wxRect screen =
        wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    const wxRect main = pParent->GetScreenRect();
    const wxSize size = GetSize();
    int x = main.GetRight() + DuX(4);
    if (x + size.GetWidth() > screen.GetRight()) {
        x = std::max(screen.GetLeft(), screen.GetRight() - size.GetWidth());
    }
    Move(x, std::max(screen.GetTop(), main.GetTop()));
}

void CFineTunerWindow::SetSurveyHandler(std::function<void()> fnSurvey) {
    m_fnSurvey = std::move(fnSurvey);
    m_pSurvey->Enable(static_cast<bool>(m_fnSurvey));
}

// ---- The calibration window ----

void CFineTunerWindow::CreateCalibrationWindow() {
    m_pCalibration = new wxDialog(this, wxID_ANY, CFineTuner::kCalibrationCaption);
    wxDialog* d = m_pCalibration;
    d->SetFont(MakeDialogFont());
    const int gap = DuX(4);
    auto* pTop = new wxBoxSizer(wxVERTICAL);
    auto* pHelp = new wxStaticText(d, wxID_ANY, kCalibrationHelp);
    pHelp->Wrap(DuX(220));
    pTop->Add(pHelp, 0, wxALL, gap * 2);
    auto* pLine = new wxBoxSizer(wxHORIZONTAL);
    pLine->Add(new wxStaticText(d, wxID_ANY, "&Reference (Hz):"), 0,
               wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    m_pReference =
        new wxTextCtrl(d, wxID_ANY, wxString::FromUTF8(m_pTuner->DefaultReferenceText()));
    pLine->Add(m_pReference, 1, wxALIGN_CENTER_VERTICAL);
    pTop->Add(pLine, 0, wxEXPAND | wxLEFT | wxRIGHT, gap * 2);
    m_pProgress = new wxGauge(d, wxID_ANY, 100);
    pTop->Add(m_pProgress, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    m_pStatus = new wxStaticText(d, wxID_ANY, " ");
    pTop->Add(m_pStatus, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    m_pCorrection = new wxStaticText(d, wxID_ANY, " ");
    pTop->Add(m_pCorrection, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    auto* pBar = new wxBoxSizer(wxHORIZONTAL);
    const auto reference = [this] { return std::string(m_pReference->GetValue().utf8_str()); };
    AddBarButtons(d, pBar,
                  {
                      {&m_pStart, "&Calibrate", wxID_ANY,
                       [this, reference] { m_pTuner->StartCalibration(reference()); }},
                      {&m_pLoopback, "&Loopback Check", wxID_ANY,
                       [this, reference] { m_pTuner->StartLoopbackCheck(reference()); }},
                      {&m_pStop, "&Stop", wxID_ANY, [this] { m_pTuner->StopCalibration(); }},
                      {&m_pReset, "R&eset", wxID_ANY, [this] { m_pTuner->ResetCalibration(); }},
                      {nullptr, "Close", wxID_CANCEL,
                       [this] {
                           m_pTuner->StopCalibration();
                           m_pCalibration->Hide();
                       }},
                  },
                  wxRIGHT, gap);
    pTop->Add(pBar, 0, wxALL, gap * 2);
    d->SetSizerAndFit(pTop);
    d->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
        m_pTuner->StopCalibration();
        m_pCalibration->Hide();
    });
}

void CFineTunerWindow::ShowCalibrationWindow() {
    if (m_pCalibration == nullptr) {
        CreateCalibrationWindow();
    } else if (!m_pCalibration->IsShown()) {
        m_pReference->SetValue(wxString::FromUTF8(m_pTuner->DefaultReferenceText()));
    }
    ShowCalibration(m_pTuner->Calibration());
    // Below the Fine Tuner where the screen has room, so that the face stays
    // in sight; else over its lower edge.
    const wxRect mine = GetScreenRect();
    const int display = wxDisplay::GetFromWindow(this);
    const wxRect screen =
        wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    const wxSize size = m_pCalibration->GetSize();
    const int y = std::max(screen.GetTop(), std::min(mine.GetBottom() + DuY(2),
                                                     screen.GetBottom() - size.GetHeight()));
    m_pCalibration->Move(mine.GetLeft(), y);
    m_pCalibration->Show();
    m_pCalibration->Raise();
}

// ---- IFineTunerForm ----

ICanvas* CFineTunerWindow::GetFaceCanvas() {
    return m_bClosing ? nullptr : m_pCanvas.get();
}

void CFineTunerWindow::TellFace(const SAccessibleState& state) {
    if (m_pAccessible != nullptr) {
        TellDescription(m_pAccessible, state);
    }
}

void CFineTunerWindow::Announce(const std::string& text) {
    if (m_pAccessible != nullptr) {
        ::Announce(m_pAccessible, text);
    }
}

void CFineTunerWindow::PollAfter(int nMs) {
    m_poll.StartOnce(std::max(1, nMs));
}

void CFineTunerWindow::CallSoon(std::function<void()> fn) {
    // Pending calls of a window that is destroyed are dropped with it.
    CallAfter([this, fn = std::move(fn)] {
        if (!m_bClosing) {
            fn();
        }
    });
}

void CFineTunerWindow::ShowControls(const SFineControls& controls) {
    m_pAnyNote->SetValue(controls.bAnyNote);
    const auto& choices = CFineTuner::InTuneChoices();
    const auto it = std::find(choices.begin(), choices.end(), controls.dInTuneCents);
    m_pInTune->SetSelection(it == choices.end() ? wxNOT_FOUND
                                                : static_cast<int>(it - choices.begin()));
    m_pListen->Enable(controls.bCanListen);
    m_bCanCalibrate = controls.bCanCalibrate;
    m_pCalibrate->Enable(controls.bCanCalibrate);
    if (m_pCalibration != nullptr) {
        ShowCalibration(m_calibration);
    }
}

void CFineTunerWindow::ShowCalibration(const SCalibrationView& calibration) {
    m_calibration = calibration;
    if (m_pCalibration == nullptr) {
        return;
    }
    m_pProgress->SetValue(static_cast<int>(calibration.dProgress * 100 + 0.5));
    m_pStatus->SetLabel(wxString::FromUTF8(calibration.status.empty() ? " " : calibration.status));
    m_pStatus->Wrap(DuX(220));
    m_pCorrection->SetLabel(wxString::FromUTF8(calibration.correction));
    m_pStart->Enable(!calibration.bRunning && m_bCanCalibrate);
    m_pLoopback->Enable(!calibration.bRunning && m_bCanCalibrate);
    m_pStop->Enable(calibration.bRunning);
    m_pReset->Enable(!calibration.bRunning && calibration.bCanReset);
    m_pCalibration->Layout();
    m_pCalibration->Fit();
}

int CFineTunerWindow::MessageBox(const std::string& text, const std::string& caption,
                                 unsigned type) {
    return m_messages.MessageBox(text, caption, type);
}
