#include "gui/OptionsWindow.h"

#include <algorithm>
#include <functional>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/HelpBook.h"
#include "gui/UpDownButton.h"
#include "presenter/OptionsDlg.h"

namespace {

void FillList(wxChoice* pList, const std::vector<std::string>& names, int entry) {
    for (const std::string& name : names) {
        pList->Append(wxString::FromUTF8(name));
    }
    // A device id with no entry leaves the list without a selection.
    pList->SetSelection(entry >= 0 && entry < static_cast<int>(pList->GetCount()) ? entry
                                                                                  : wxNOT_FOUND);
}

}  // namespace

COptionsWindow::COptionsWindow(wxWindow* pParent, COptionsDlg& dlg)
    : wxDialog(pParent, wxID_ANY, "Klavora Options", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_dlg(dlg) {
    SetFont(MakeDialogFont());
    CreateControls();
    CentreOnParent();
    CHelpBook::BindDialogKey(this, HelpWindow::kOptions);

    m_dlg.OnInitDialog();
    FillList(m_pRecording, m_dlg.m_astrRecording,
             COptionsDlg::EntryOfDevice(m_dlg.m_nRecordingDevice));
    FillList(m_pPlayback, m_dlg.m_astrPlayback,
             COptionsDlg::EntryOfDevice(m_dlg.m_nPlaybackDevice));
    FillControls();
}

void COptionsWindow::CreateControls() {
    const int gap = DuX(4);
    auto* pGroup =
        new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, "Audio Options"), wxVERTICAL);
    wxStaticBox* pBox = pGroup->GetStaticBox();

    m_pUseDefaults = new wxCheckBox(pBox, 1056, "Use Default Settings");
    m_pUseDefaults->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        m_dlg.OnUseDefaults(m_pUseDefaults->GetValue());
        if (m_dlg.m_bUseDefaults) {
            m_pRecording->SetSelection(0);
            m_pPlayback->SetSelection(0);
        }
        FillControls();
    });
    pGroup->Add(m_pUseDefaults, 0, wxALL, gap);

    wxFlexGridSizer* pGrid = new wxFlexGridSizer(2, DuY(3), gap * 2);
    pGrid->AddGrowableCol(1);
    auto label = [&](const char* text) {
        pGrid->Add(new wxStaticText(pBox, wxID_ANY, text), 0, wxALIGN_CENTER_VERTICAL);
    };

    label("Sampling rate (Hz):");
    m_pRate44100 =
        new wxRadioButton(pBox, 1043, "44100 Hz", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    m_pRate22050 = new wxRadioButton(pBox, 1044, "22050 Hz");
    m_pRate44100->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) {
        m_dlg.OnRate44100();
        FillControls();
    });
    m_pRate22050->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) {
        m_dlg.OnRate22050();
        FillControls();
    });
    wxBoxSizer* pRates = new wxBoxSizer(wxHORIZONTAL);
    pRates->Add(m_pRate44100, 0, wxRIGHT, gap * 2);
    pRates->Add(m_pRate22050, 0);
    pGrid->Add(pRates, 0, wxALIGN_CENTER_VERTICAL);

    label("Recording device:");
    m_pRecording = new wxChoice(pBox, 1042, wxDefaultPosition, wxSize(DuX(141), -1));
    pGrid->Add(m_pRecording, 1, wxEXPAND);
    label("Playing device:");
    m_pPlayback = new wxChoice(pBox, 1045, wxDefaultPosition, wxSize(DuX(141), -1));
    pGrid->Add(m_pPlayback, 1, wxEXPAND);

    // A read-only number with its arrows beside it.
    auto number = [&](int editId, int arrowsId, wxTextCtrl*& pEdit, CUpDownButton*& pArrows,
                      std::function<void(int)> fnStep) {
        wxBoxSizer* pRow = new wxBoxSizer(wxHORIZONTAL);
        pEdit =
            new wxTextCtrl(pBox, editId, wxString(), wxDefaultPosition,
                           wxSize(DuX(40), CompactEditHeight(this)), wxTE_READONLY | wxTE_RIGHT);
        const int height = pEdit->GetBestSize().GetHeight();
        pArrows = new CUpDownButton(pBox, arrowsId, wxDefaultPosition, wxSize(DuX(11), height),
                                    std::move(fnStep));
        pArrows->AttachBuddy(pEdit);
        pRow->Add(pEdit, 0, wxALIGN_CENTER_VERTICAL);
        pRow->Add(pArrows, 0, wxALIGN_CENTER_VERTICAL);
        return pRow;
    };
    label("Number of buffers:");
    pGrid->Add(number(1047, 1051, m_pBufferCount, m_pCountArrows,
                      [this](int delta) {
                          m_dlg.OnBufferCountDelta(delta);
                          FillControls();
                      }),
               0, wxALIGN_CENTER_VERTICAL);
    label("Buffer size (samples):");
    wxBoxSizer* pSizeRow = number(1048, 1050, m_pBufferSize, m_pSizeArrows, [this](int delta) {
        m_dlg.OnBufferSizeDelta(delta);
        FillControls();
    });
    m_pDuration = new wxStaticText(pBox, 1052, "(n seconds)");
    // Room for the longest duration the arrows can reach.
    m_pDuration->SetMinSize(m_pDuration->GetTextExtent("(00.00 seconds)"));
    pSizeRow->Add(m_pDuration, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, gap * 2);
    pGrid->Add(pSizeRow, 0, wxEXPAND);
    pGroup->Add(pGrid, 1, wxEXPAND | wxALL, gap);

    wxButton* pOk = new wxButton(this, wxID_OK, "OK");
    pOk->SetDefault();
    pOk->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Accept(); });
    wxBoxSizer* pButtons = ButtonRow({pOk, new wxButton(this, wxID_CANCEL, "Cancel")}, gap);

    wxBoxSizer* pTop = new wxBoxSizer(wxVERTICAL);
    pTop->Add(pGroup, 1, wxEXPAND | wxALL, gap * 2);
    pTop->Add(pButtons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, gap * 2);
    SetSizerAndFit(pTop);
}

void COptionsWindow::FillControls() {
    m_pUseDefaults->SetValue(m_dlg.m_bUseDefaults);
    if (m_dlg.m_nSamplingRate == 44100) {
        m_pRate44100->SetValue(true);
    } else if (m_dlg.m_nSamplingRate == 22050) {
        m_pRate22050->SetValue(true);
    }
    m_pBufferCount->ChangeValue(wxString::Format("%u", m_dlg.m_nBufferCount));
    m_pBufferSize->ChangeValue(wxString::Format("%u", m_dlg.m_nBufferSize));
    m_pDuration->SetLabelText(wxString::FromUTF8(m_dlg.m_strDuration));
    const bool enable = m_dlg.ControlsEnabled();
    for (wxWindow* pWindow :
         std::initializer_list<wxWindow*>{m_pRate44100, m_pRate22050, m_pRecording, m_pPlayback,
                                          m_pBufferCount, m_pBufferSize}) {
        pWindow->Enable(enable);
    }
}

void COptionsWindow::Accept() {
    m_dlg.OnOK(m_pRecording->GetSelection(), m_pPlayback->GetSelection());
    if (IsModal()) {
        EndModal(wxID_OK);
    } else {
        SetReturnCode(wxID_OK);
        Hide();
    }
}
