#include "gui/AboutBox.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "controls/Pictures.h"
#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/HelpBook.h"
#include "gui/WxPictures.h"

const char* const CAboutBox::kNotice = "Klavora, a tuning aid for historical temperaments";

const char* const CAboutBox::kAcknowledgement =
    "Thanks to the harpsichord, organ and piano tuners who tried the early versions, reported "
    "what did not work and shared their temperaments, and to the players who told us what a "
    "tuner needs to hear.";

const char* const CAboutBox::kDisclaimer =
    "Limitation of Liability\n"
    "This program is provided \"as is\", without warranty of any kind, express or implied, "
    "including but not limited to the warranties of merchantability, fitness for a particular "
    "purpose and noninfringement. In no event shall the authors be liable for any claim, "
    "damages or other liability, whether direct, indirect, incidental or consequential, arising "
    "from the use of this program or the inability to use it.\n\n"
    "Klavora is free software: you can redistribute it and/or modify it under the terms of the "
    "GNU General Public License as published by the Free Software Foundation, either version 3 "
    "of the License, or (at your option) any later version. The licence's text is at "
    "https://www.gnu.org/licenses/gpl-3.0.html.";

CAboutBox::CAboutBox(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, "About Klavora", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    SetFont(MakeDialogFont());
    const int gap = DuX(4);
    auto* pGroup =
        new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, "Klavora Version 5.1"), wxVERTICAL);
    wxStaticBox* pBox = pGroup->GetStaticBox();

    const wxBitmap picture(ToWxImage(DrawProgramIcon(48)));
    pGroup->Add(new wxStaticBitmap(pBox, wxID_ANY, picture), 0, wxALIGN_CENTER | wxALL, gap);
    pGroup->Add(new wxStaticText(pBox, wxID_ANY, kNotice, wxDefaultPosition, wxDefaultSize,
                                 wxALIGN_CENTRE_HORIZONTAL),
                0, wxALIGN_CENTER | wxALL, gap);

    const long editStyle = wxTE_MULTILINE | wxTE_READONLY | wxBORDER_SUNKEN | wxVSCROLL;
    m_pAcknowledgement = new wxTextCtrl(pBox, 1021, wxString(), wxDefaultPosition,
                                        wxSize(DuX(195), DuY(40)), editStyle | wxTE_CENTRE);
    m_pDisclaimer = new wxTextCtrl(pBox, 1022, wxString(), wxDefaultPosition,
                                   wxSize(DuX(195), DuY(40)), editStyle);
    m_pAcknowledgement->ChangeValue(kAcknowledgement);
    m_pDisclaimer->ChangeValue(wxString(kNotice) + "\n\n" + kDisclaimer);
    pGroup->Add(m_pAcknowledgement, 0, wxEXPAND | wxALL, gap);
    pGroup->Add(m_pDisclaimer, 0, wxEXPAND | wxALL, gap);

    wxButton* pOk = new wxButton(this, wxID_OK, "OK");
    pOk->SetDefault();
    wxBoxSizer* pTop = new wxBoxSizer(wxVERTICAL);
    pTop->Add(pGroup, 1, wxEXPAND | wxALL, gap * 2);
    pTop->Add(pOk, 0, wxALIGN_CENTER | wxLEFT | wxRIGHT | wxBOTTOM, gap * 2);
    SetSizerAndFit(pTop);
    CentreOnParent();
    CHelpBook::BindDialogKey(this, HelpWindow::kAbout);
    pOk->SetFocus();
}
