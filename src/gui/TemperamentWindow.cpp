#include "gui/TemperamentWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/HelpBook.h"
#include "presenter/MessageHost.h"
#include "presenter/TemperamentDlg.h"

namespace {

constexpr int kIdName = 1025;
constexpr int kIdFirstOffset = 1026;
constexpr int kIdComma = 1040;
constexpr int kIdSave = 1038;
constexpr int kIdHelp = 9;
constexpr int kIdNameGroup = 1055;
constexpr int kIdOffsetGroup = 1024;

const char* const kFifthLabels[12] = {"C to G:",   "G to D:",   "D to A:",   "A to E:",
                                      "E to B:",   "B to F#:",  "F# to C#:", "C# to G#",
                                      "G# to Eb:", "Eb to Bb:", "Bb to F:",  "F to C:"};

std::string FromWx(const wxString& text) {
    return std::string(text.utf8_str());
}

// Replaces an edit's text only when it differs, so the caret of the edit
// being typed in stays where it is.
void ShowText(wxTextCtrl* pEdit, const std::string& text) {
    const wxString value = wxString::FromUTF8(text);
    if (pEdit->GetValue() != value) {
        pEdit->ChangeValue(value);
    }
}

}  // namespace

CTemperamentWindow::CTemperamentWindow(wxWindow* pParent, CTemperamentDlg& dlg, IMessageHost& host)
    : wxDialog(pParent, wxID_ANY, "New Temperament", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_dlg(dlg),
      m_host(host) {
    SetFont(MakeDialogFont());
    CreateControls();
    CentreOnParent();
    CHelpBook::BindDialogKey(this, HelpWindow::kEditor);

    SetTitle(m_dlg.OnInitDialog());
    m_pName->Enable(m_dlg.NameEnabled());
    m_pNameGroup->SetLabel(wxString());
    FillControls();
}

void CTemperamentWindow::CreateControls() {
    const int gap = DuX(4);
    wxBoxSizer* pTop = new wxBoxSizer(wxVERTICAL);

    auto* pNameSizer = new wxStaticBoxSizer(
        new wxStaticBox(this, kIdNameGroup, "Enter the name of the temperament:"), wxHORIZONTAL);
    m_pNameGroup = pNameSizer->GetStaticBox();
    pNameSizer->Add(new wxStaticText(m_pNameGroup, wxID_ANY, "Name:"), 0,
                    wxALIGN_CENTER_VERTICAL | wxALL, gap);
    m_pName = new wxTextCtrl(m_pNameGroup, kIdName, wxString(), wxDefaultPosition,
                             wxSize(-1, CompactEditHeight(this)));
    m_pName->Bind(wxEVT_TEXT, &CTemperamentWindow::OnNameChanged, this);
    pNameSizer->Add(m_pName, 1, wxALIGN_CENTER_VERTICAL | wxALL, gap);
    pTop->Add(pNameSizer, 0, wxEXPAND | wxALL, gap * 2);

    wxBoxSizer* pMiddle = new wxBoxSizer(wxHORIZONTAL);
    auto* pOffsetSizer = new wxStaticBoxSizer(
        new wxStaticBox(this, kIdOffsetGroup, "Enter the offsets from pure fifths (in cents):"),
        wxVERTICAL);
    wxStaticBox* pOffsetBox = pOffsetSizer->GetStaticBox();
    wxFlexGridSizer* pGrid = new wxFlexGridSizer(3, DuY(3), gap);
    for (int k = 0; k < 12; ++k) {
        pGrid->Add(new wxStaticText(pOffsetBox, wxID_ANY, kFifthLabels[k]), 0,
                   wxALIGN_CENTER_VERTICAL);
        wxTextCtrl* pEdit =
            new wxTextCtrl(pOffsetBox, kIdFirstOffset + k, wxString(), wxDefaultPosition,
                           wxSize(DuX(64), CompactEditHeight(this)));
        pEdit->Bind(wxEVT_KILL_FOCUS, &CTemperamentWindow::OnOffsetKillFocus, this);
        m_apOffsets[static_cast<std::size_t>(k)] = pEdit;
        pGrid->Add(pEdit, 0, wxALIGN_CENTER_VERTICAL);
        pGrid->Add(new wxStaticText(pOffsetBox, wxID_ANY, "cents"), 0, wxALIGN_CENTER_VERTICAL);
    }
    pOffsetSizer->Add(pGrid, 0, wxALL, gap);
    pMiddle->Add(pOffsetSizer, 0, wxEXPAND | wxRIGHT, gap * 2);

    auto* pCommaSizer =
        new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, "Remaining comma:"), wxVERTICAL);
    m_pComma =
        new wxStaticText(pCommaSizer->GetStaticBox(), kIdComma, "24", wxDefaultPosition,
                         wxSize(DuX(67), -1), wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    pCommaSizer->Add(m_pComma, 0, wxEXPAND | wxALL, gap * 2);
    pMiddle->Add(pCommaSizer, 0, wxALIGN_TOP);
    pTop->Add(pMiddle, 1, wxEXPAND | wxLEFT | wxRIGHT, gap * 2);

    // Created in their order on screen, which is the order Tab follows.
    wxButton* pSave = new wxButton(this, kIdSave, "&Save");
    pSave->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Save(); });
    wxButton* pCancel = new wxButton(this, wxID_CANCEL, "Cancel");
    wxButton* pHelp = new wxButton(this, kIdHelp, "Help");
    pHelp->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (!FinishPendingLeave()) {
            return;
        }
        CHelpBook::ShowOverDialog(this, HelpTopicOfWindow(HelpWindow::kEditor));
    });
    pTop->Add(ButtonRow({pSave, pCancel, pHelp}, gap), 0, wxEXPAND | wxALL, gap * 2);

    // No button is the default: Enter in an edit does not close the dialog.
    SetDefaultItem(nullptr);
    SetSizerAndFit(pTop);
}

bool CTemperamentWindow::ReadControls() {
    m_dlg.m_strName = FromWx(m_pName->GetValue());
    // Every readable entry is taken; only an unreadable one keeps its
    // previous value, and the first of them is reported and focused.
    wxTextCtrl* pFirstBad = nullptr;
    for (int k = 0; k < 12; ++k) {
        wxTextCtrl* pEdit = OffsetEdit(k);
        if (!m_dlg.SetOffsetText(k, FromWx(pEdit->GetValue())) && pFirstBad == nullptr) {
            pFirstBad = pEdit;
        }
    }
    if (pFirstBad != nullptr) {
        m_host.MessageBox(kEnterNumber, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        pFirstBad->SetFocus();
        return false;
    }
    return true;
}

void CTemperamentWindow::FillControls() {
    m_pComma->SetLabelText(wxString::FromUTF8(m_dlg.m_strRemainingComma));
    ShowText(m_pName, m_dlg.m_strName);
    for (int k = 0; k < 12; ++k) {
        ShowText(OffsetEdit(k), m_dlg.GetOffsetText(k));
    }
}

void CTemperamentWindow::LeaveOffsetEdit() {
    if (m_bLeaving) {
        return;
    }
    m_bLeaving = true;
    m_bLastReadGood = ReadControls();
    m_dlg.UpdateRemainingComma();
    FillControls();
    m_bLeaving = false;
}

void CTemperamentWindow::Save() {
    if (m_bLeaving) {
        return;
    }
    // What is in the edits now is what gets saved, even when the focus never
    // left the last one typed in; a leave still waiting has nothing to add.
    m_bLeavePending = false;
    m_bLeaving = true;
    const bool read = ReadControls();
    m_dlg.UpdateRemainingComma();
    FillControls();
    if (!read) {
        m_bLeaving = false;
        return;
    }
    const CTemperamentDlg::SaveResult result = m_dlg.OnSave(m_host);
    m_bLeaving = false;
    switch (result) {
        case CTemperamentDlg::kFocusName:
            m_pName->SetFocus();
            m_pName->SelectAll();
            break;
        case CTemperamentDlg::kClose:
            if (IsModal()) {
                EndModal(wxID_OK);
            } else {
                SetReturnCode(wxID_OK);
                Hide();
            }
            break;
        case CTemperamentDlg::kStayOpen:
            break;
    }
}

bool CTemperamentWindow::FinishPendingLeave() {
    if (!m_bLeavePending) {
        return true;
    }
    m_bLeavePending = false;
    LeaveOffsetEdit();
    return m_bLastReadGood;
}

void CTemperamentWindow::OnOffsetKillFocus(wxFocusEvent& event) {
    event.Skip();
    // Handled once the focus has settled: a message box shown from inside a
    // focus change would disturb it. A click that moved the focus may handle
    // it first (FinishPendingLeave), and then this does nothing.
    m_bLeavePending = true;
    CallAfter([this] {
        if (m_bLeavePending && IsShown()) {
            m_bLeavePending = false;
            LeaveOffsetEdit();
        }
    });
}

void CTemperamentWindow::OnNameChanged(wxCommandEvent& event) {
    m_dlg.m_strName = FromWx(m_pName->GetValue());
    event.Skip();
}
