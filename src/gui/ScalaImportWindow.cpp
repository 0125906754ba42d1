#include "gui/ScalaImportWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/HelpBook.h"
#include "storetool/ScalaImportDlg.h"
#include "tuning/TemperamentTables.h"

namespace {

constexpr int kIdName = 1025;
constexpr int kIdImport = 1038;
constexpr int kIdHelp = 9;

// The editor's labels of the twelve fifths.
const char* const kFifthLabels[12] = {
    "C to G:",   "G to D:",   "D to A:",   "A to E:",   "E to B:",  "B to F#:",
    "F# to C#:", "C# to G#:", "G# to Eb:", "Eb to Bb:", "Bb to F:", "F to C:"};

wxString Utf8(const std::string& text) {
    return wxString::FromUTF8(text);
}

// Two columns of six label and value pairs, the values right-aligned.
wxSizer* PairGrid(wxWindow* pParent, const char* const* labels, const std::string* values,
                  int gap) {
    auto* pGrid = new wxFlexGridSizer(4, DuY(2), gap * 2);
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 2; ++column) {
            const int i = row + 6 * column;
            pGrid->Add(new wxStaticText(pParent, wxID_ANY, labels[i]), 0, wxALIGN_CENTER_VERTICAL);
            pGrid->Add(new wxStaticText(pParent, wxID_ANY, Utf8(values[i])), 0,
                       wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
        }
    }
    return pGrid;
}

}  // namespace

CScalaImportWindow::CScalaImportWindow(wxWindow* pParent, CScalaImportDlg& dlg, IMessageHost& host)
    : wxDialog(pParent, wxID_ANY, CScalaImportDlg::kCaption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_dlg(dlg),
      m_host(host) {
    SetFont(MakeDialogFont());
    CreateControls();
    CentreOnParent();
    CHelpBook::BindDialogKey(this, HelpWindow::kScalaImport);
    m_pName->SetFocus();
    m_pName->SelectAll();
}

void CScalaImportWindow::CreateControls() {
    const int gap = DuX(4);
    auto* pTop = new wxBoxSizer(wxVERTICAL);

    const std::string description = m_dlg.Description().empty() ? "(none)" : m_dlg.Description();
    auto* pDescription = new wxBoxSizer(wxHORIZONTAL);
    pDescription->Add(new wxStaticText(this, wxID_ANY, "Description:"), 0, wxRIGHT, gap);
    pDescription->Add(new wxStaticText(this, wxID_ANY, Utf8(description)), 1);
    pTop->Add(pDescription, 0, wxEXPAND | wxALL, gap * 2);

    auto* pMiddle = new wxBoxSizer(wxHORIZONTAL);
    const char* noteLabels[12];
    std::string notes[12];
    std::string fifths[12];
    for (int i = 0; i < 12; ++i) {
        noteLabels[i] = NoteName(i);
        notes[i] = m_dlg.NoteCentsText(i);
        fifths[i] = m_dlg.FifthOffsetText(i);
    }
    auto* pNotes = new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, "Notes, in cents above C:"),
                                        wxVERTICAL);
    pNotes->Add(PairGrid(pNotes->GetStaticBox(), noteLabels, notes, gap), 0, wxALL, gap);
    pMiddle->Add(pNotes, 0, wxEXPAND | wxRIGHT, gap * 2);
    auto* pFifths =
        new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, "Fifths, as offsets:"), wxVERTICAL);
    pFifths->Add(
        new wxStaticText(pFifths->GetStaticBox(), wxID_ANY, Utf8("in " + m_dlg.OffsetUnit())), 0,
        wxLEFT | wxRIGHT | wxTOP, gap);
    pFifths->Add(PairGrid(pFifths->GetStaticBox(), kFifthLabels, fifths, gap), 0, wxALL, gap);
    auto* pComma = new wxBoxSizer(wxHORIZONTAL);
    pComma->Add(new wxStaticText(pFifths->GetStaticBox(), wxID_ANY, "Remaining comma:"), 0, wxRIGHT,
                gap);
    pComma->Add(
        new wxStaticText(pFifths->GetStaticBox(), wxID_ANY, Utf8(m_dlg.RemainingCommaText())));
    pFifths->Add(pComma, 0, wxALL, gap);
    pMiddle->Add(pFifths, 1, wxEXPAND);
    pTop->Add(pMiddle, 1, wxEXPAND | wxLEFT | wxRIGHT, gap * 2);

    auto* pName = new wxBoxSizer(wxHORIZONTAL);
    pName->Add(new wxStaticText(this, wxID_ANY, "&Name:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT,
               gap);
    m_pName = new wxTextCtrl(this, kIdName, Utf8(m_dlg.m_strName), wxDefaultPosition,
                             wxSize(-1, CompactEditHeight(this)), wxTE_PROCESS_ENTER);
    // Enter in the name imports.
    m_pName->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Import(); });
    m_pName->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        m_dlg.m_strName = std::string(m_pName->GetValue().utf8_str());
        event.Skip();
    });
    pName->Add(m_pName, 1, wxALIGN_CENTER_VERTICAL);
    pTop->Add(pName, 0, wxEXPAND | wxALL, gap * 2);

    auto* pImport = new wxButton(this, kIdImport, "&Import");
    pImport->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Import(); });
    auto* pCancel = new wxButton(this, wxID_CANCEL, "Cancel");
    auto* pHelp = new wxButton(this, kIdHelp, "Help");
    pHelp->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        CHelpBook::ShowOverDialog(this, HelpTopicOfWindow(HelpWindow::kScalaImport));
    });
    pTop->Add(ButtonRow({pImport, pCancel, pHelp}, gap), 0, wxEXPAND | wxALL, gap * 2);
    SetDefaultItem(pImport);
    SetSizerAndFit(pTop);
}

void CScalaImportWindow::Import() {
    m_dlg.m_strName = std::string(m_pName->GetValue().utf8_str());
    switch (m_dlg.OnImport(m_host)) {
        case CTemperamentDlg::kFocusName:
            m_pName->SetFocus();
            m_pName->SelectAll();
            break;
        case CTemperamentDlg::kClose:
            EndModal(wxID_OK);
            break;
        case CTemperamentDlg::kStayOpen:
            break;
    }
}
