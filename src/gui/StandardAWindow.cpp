#include "gui/StandardAWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/HelpBook.h"
#include "presenter/StandardADlg.h"
#include "tuning/NumberFormat.h"

namespace {

constexpr int kIdEdit = 1086;

}  // namespace

CStandardAWindow::CStandardAWindow(wxWindow* pParent, CStandardADlg& dlg, IMessageHost& host)
    : wxDialog(pParent, wxID_ANY, "Change Standard A", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_dlg(dlg),
      m_host(host) {
    SetFont(MakeDialogFont());
    const int gap = DuX(4);

    auto* pGroup = new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, "Standard A"), wxVERTICAL);
    wxStaticBox* pBox = pGroup->GetStaticBox();
    wxBoxSizer* pRow = new wxBoxSizer(wxHORIZONTAL);
    // The edit comes first among the controls that take the focus.
    pRow->Add(new wxStaticText(pBox, wxID_ANY, "A ="), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    m_pEdit = new wxTextCtrl(pBox, kIdEdit, wxString::FromUTF8(m_dlg.GetText()), wxDefaultPosition,
                             wxSize(DuX(60), CompactEditHeight(this)));
    pRow->Add(m_pEdit, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    pRow->Add(new wxStaticText(pBox, wxID_ANY, "Hertz (Hz)"), 0, wxALIGN_CENTER_VERTICAL);
    pGroup->Add(pRow, 0, wxALL, gap);
    wxStaticText* pNote = new wxStaticText(
        pBox, wxID_ANY, "Standard A may be any numeric value from 200 Hz to 600 Hz");
    pNote->Wrap(DuX(126));
    pGroup->Add(pNote, 0, wxALL, gap);

    wxBoxSizer* pButtons = new wxBoxSizer(wxVERTICAL);
    wxButton* pOk = new wxButton(this, wxID_OK, "OK");
    pOk->SetDefault();
    pOk->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Accept(); });
    pButtons->Add(pOk, 0, wxEXPAND | wxBOTTOM, gap);
    pButtons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxEXPAND);

    wxBoxSizer* pTop = new wxBoxSizer(wxHORIZONTAL);
    pTop->Add(pGroup, 1, wxEXPAND | wxALL, gap * 2);
    pTop->Add(pButtons, 0, wxTOP | wxBOTTOM | wxRIGHT, gap * 2);
    SetSizerAndFit(pTop);
    CentreOnParent();
    CHelpBook::BindDialogKey(this, HelpWindow::kStandardA);
    SelectEdit();
    // The toolkit places the caret when the window appears; select again then.
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        if (event.IsShown()) {
            CallAfter([this] { SelectEdit(); });
        }
        event.Skip();
    });
}

void CStandardAWindow::SelectEdit() {
    m_pEdit->SetFocus();
    m_pEdit->SelectAll();
}

void CStandardAWindow::Accept() {
    const std::string text(m_pEdit->GetValue().utf8_str());
    if (m_dlg.OnOK(text, m_host)) {
        if (IsModal()) {
            EndModal(wxID_OK);
        } else {
            SetReturnCode(wxID_OK);
            Hide();
        }
        return;
    }
    // A number out of range gives way to the value kept; text that is no
    // number stays for the user to correct.
    double value = 0.0;
    if (ScanDialogDouble(text, value)) {
        m_pEdit->ChangeValue(wxString::FromUTF8(m_dlg.GetText()));
    }
    SelectEdit();
}
