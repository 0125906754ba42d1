#include "gui/SurveyWindow.h"

#include <algorithm>
#include <cmath>

#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

#include "audio/FineAnalyser.h"
#include "audio/PitchTable.h"
#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "presenter/KlavoraView.h"
#include "presenter/MessageHost.h"
#include "tuning/TemperamentSet.h"

namespace {

// The table's and the circle's colours for a residual: in tune green, sharp
// red, flat blue; on the circle's black ground, lighter shades.
wxColour MarkColour(ResidualMark mark, bool bOnBlack) {
    switch (mark) {
        case ResidualMark::kInTune:
            return bOnBlack ? wxColour(90, 220, 90) : wxColour(0, 120, 0);
        case ResidualMark::kSharp:
            return bOnBlack ? wxColour(255, 110, 110) : wxColour(200, 0, 0);
        case ResidualMark::kFlat:
            return bOnBlack ? wxColour(120, 170, 255) : wxColour(0, 60, 210);
        case ResidualMark::kNotMeasured:
            break;
    }
    return wxColour(110, 110, 110);
}

const char* MarkWord(ResidualMark mark) {
    switch (mark) {
        case ResidualMark::kInTune:
            return "in tune";
        case ResidualMark::kSharp:
            return "sharp";
        case ResidualMark::kFlat:
            return "flat";
        case ResidualMark::kNotMeasured:
            break;
    }
    return "";
}

enum NoteColumn { kNote, kHz, kCents, kHeard, kSpread, kResidual, kMoved, kNoteColumns };
enum RankColumn { kRank, kName, kRotation, kStandardA, kRms, kLargest, kRankColumns };

wxString Utf8(const std::string& text) {
    return wxString::FromUTF8(text);
}

// The survey's catalogue as the main window holds it now.
std::vector<SCatalogueEntry> ViewCatalogue(const CKlavoraView& view) {
    const CTemperamentSet* set = view.GetTemperaments();
    return set != nullptr ? CatalogueOf(*set) : std::vector<SCatalogueEntry>();
}

}  // namespace

CSurveyWindow::CSurveyWindow(wxWindow* pParent, CKlavoraView& view, IMessageHost& host)
    : wxFrame(pParent, wxID_ANY, CSurveyDlg::kCaption, wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE | wxFRAME_FLOAT_ON_PARENT),
      m_view(view),
      m_host(host),
      m_dlg(ViewCatalogue(view), view.Arithmetic(), view.GetStandardA()),
      m_arithmetic(view.Arithmetic()),
      m_dStandardA(view.GetStandardA()) {
    m_nCatalogueSize = ViewCatalogue(view).size();
    SetFont(MakeDialogFont());
    CreateControls();
    ShowAll();
    if (pParent != nullptr) {
        // Beside the window it was opened from where there is room.
        const int display = wxDisplay::GetFromWindow(pParent);
        const wxRect screen =
            wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
        const wxRect parent = pParent->GetScreenRect();
        int x = parent.GetRight() + DuX(4);
        if (x + GetSize().GetWidth() > screen.GetRight()) {
            x = std::max(screen.GetLeft(), screen.GetRight() - GetSize().GetWidth());
        }
        Move(x, std::max(screen.GetTop(), parent.GetTop()));
    }
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
        if (event.GetActive()) {
            FollowView();
        }
        event.Skip();
    });
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE && !event.HasAnyModifiers()) {
            Close();
            return;
        }
        event.Skip();
    });
}

CSurveyWindow::~CSurveyWindow() = default;

bool CSurveyWindow::CFeed::OnFineReading(const CFineReading& reading) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.push_back(reading);
    return true;
}

void CSurveyWindow::CFeed::OnFineReadingsShown() {
    std::vector<CFineReading> readings;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        readings.swap(m_pending);
    }
    for (const CFineReading& reading : readings) {
        m_window.OnReading(reading);
    }
}

void CSurveyWindow::CFeed::OnFineReadingsReset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.clear();
}

void CSurveyWindow::CreateControls() {
    const int gap = DuX(4);
    auto* pPanel = new wxPanel(this);
    auto* pTop = new wxBoxSizer(wxVERTICAL);

    m_pStatus = new wxStaticText(pPanel, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                 wxST_NO_AUTORESIZE);
    pTop->Add(m_pStatus, 0, wxEXPAND | wxALL, gap * 2);

    auto* pMiddle = new wxBoxSizer(wxHORIZONTAL);
    m_pNotes = new wxListCtrl(pPanel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES);
    // Each column as wide as its widest text, in the window's own font.
    const auto columnWidth = [this](const char* title, const char* sample) {
        int w = 0;
        int h = 0;
        const wxFont bold = GetFont().Bold();
        GetTextExtent(sample, &w, &h, nullptr, nullptr, &bold);
        return std::max(GetTextExtent(title).GetWidth(), w) + DuX(10);
    };
    const struct {
        const char* title;
        const char* sample;
        int align;
    } noteColumns[kNoteColumns] = {
        {"Note", "C#/Db", wxLIST_FORMAT_LEFT},
        {"Hz", "1234.56", wxLIST_FORMAT_RIGHT},
        {"Cents", "+49.9", wxLIST_FORMAT_RIGHT},
        {"Heard", "99", wxLIST_FORMAT_RIGHT},
        {"Spread", "9.9", wxLIST_FORMAT_RIGHT},
        {"Residual", "+49.9  in tune", wxLIST_FORMAT_LEFT},
        {"Moved", "+49.9 (+49.9 beside the shift)", wxLIST_FORMAT_LEFT},
    };
    for (int c = 0; c < kNoteColumns; ++c) {
        m_pNotes->AppendColumn(noteColumns[c].title,
                               static_cast<wxListColumnFormat>(noteColumns[c].align),
                               columnWidth(noteColumns[c].title, noteColumns[c].sample));
    }
    for (int n = 0; n < 12; ++n) {
        m_pNotes->InsertItem(n, Utf8(m_dlg.Cell(n).strNote));
    }
    int tableWidth = 0;
    for (int c = 0; c < kNoteColumns; ++c) {
        tableWidth += m_pNotes->GetColumnWidth(c);
    }
    wxRect row;
    m_pNotes->GetItemRect(0, row);
    m_pNotes->SetMinSize(
        wxSize(tableWidth + DuX(6), std::max(row.GetHeight(), DuY(10)) * 13 + DuY(8)));
    m_pNotes->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { UpdateButtons(); });
    m_pNotes->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { UpdateButtons(); });
    m_pNotes->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_DELETE || event.GetKeyCode() == WXK_BACK) {
            ClearSelectedNote();
            return;
        }
        event.Skip();
    });
    pMiddle->Add(m_pNotes, 1, wxEXPAND | wxRIGHT, gap);

    m_pCircle = new wxWindow(pPanel, wxID_ANY);
    m_pCircle->SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_pCircle->SetMinSize(wxSize(DuX(150), DuX(150)));
    m_pCircle->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { PaintCircle(); });
    m_pCircle->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        m_pCircle->Refresh();
        event.Skip();
    });
    pMiddle->Add(m_pCircle, 0, wxEXPAND);
    pTop->Add(pMiddle, 1, wxEXPAND | wxLEFT | wxRIGHT, gap * 2);

    auto* pNoteBar = new wxBoxSizer(wxHORIZONTAL);
    m_pClear = new wxButton(pPanel, wxID_ANY, "C&lear Note");
    m_pClear->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ClearSelectedNote(); });
    auto* pClearAll = new wxButton(pPanel, wxID_ANY, "Clear &All");
    pClearAll->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        m_dlg.OnClearAll();
        ShowAll();
    });
    m_pSaveTemperament = new wxButton(pPanel, wxID_ANY, "&Save as Temperament...");
    m_pSaveTemperament->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SaveAsTemperament(); });
    pNoteBar->Add(m_pClear, 0, wxRIGHT, gap);
    pNoteBar->Add(pClearAll, 0, wxRIGHT, gap);
    pNoteBar->AddStretchSpacer();
    pNoteBar->Add(m_pSaveTemperament, 0);
    pTop->Add(pNoteBar, 0, wxEXPAND | wxALL, gap * 2);

    pTop->Add(new wxStaticText(pPanel, wxID_ANY,
                               "&Ranking (best Standard A for each, least "
                               "squares in cents):"),
              0, wxLEFT | wxRIGHT, gap * 2);
    m_pRanking = new wxListCtrl(pPanel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES);
    const struct {
        const char* title;
        const char* sample;
        int align;
    } rankColumns[kRankColumns] = {
        {"#", "9", wxLIST_FORMAT_RIGHT},
        {"Temperament", "Neidhardt 1724 Grosse Stadt  (close)", wxLIST_FORMAT_LEFT},
        {"Rotation", "11 (F)", wxLIST_FORMAT_LEFT},
        {"Standard A", "415.0 Hz", wxLIST_FORMAT_RIGHT},
        {"RMS", "99.99", wxLIST_FORMAT_RIGHT},
        {"Largest", "+49.99 C#", wxLIST_FORMAT_LEFT},
    };
    for (int c = 0; c < kRankColumns; ++c) {
        m_pRanking->AppendColumn(rankColumns[c].title,
                                 static_cast<wxListColumnFormat>(rankColumns[c].align),
                                 columnWidth(rankColumns[c].title, rankColumns[c].sample));
    }
    m_pRanking->SetMinSize(
        wxSize(-1, std::max(row.GetHeight(), DuY(10)) * (CSurveyDlg::kShownRows + 1) + DuY(8)));
    pTop->Add(m_pRanking, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);

    m_pPass = new wxStaticText(pPanel, wxID_ANY, wxString());
    m_pPass->SetFont(m_pPass->GetFont().Bold());
    pTop->Add(m_pPass, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    m_pClose = new wxStaticText(pPanel, wxID_ANY, wxString());
    pTop->Add(m_pClose, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);

    auto* pInstrumentBar = new wxBoxSizer(wxHORIZONTAL);
    pInstrumentBar->Add(new wxStaticText(pPanel, wxID_ANY, "&Instrument:"), 0,
                        wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    m_pInstrument = new wxTextCtrl(pPanel, wxID_ANY);
    m_pInstrument->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { UpdateButtons(); });
    pInstrumentBar->Add(m_pInstrument, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    m_pCompare = new wxButton(pPanel, wxID_ANY, "Com&pare");
    m_pCompare->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Compare(); });
    m_pKeep = new wxButton(pPanel, wxID_ANY, "&Keep Survey");
    m_pKeep->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { KeepSurvey(); });
    pInstrumentBar->Add(m_pCompare, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    pInstrumentBar->Add(m_pKeep, 0, wxALIGN_CENTER_VERTICAL);
    pTop->Add(pInstrumentBar, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);
    m_pDrift = new wxStaticText(pPanel, wxID_ANY, wxString());
    pTop->Add(m_pDrift, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap * 2);

    auto* pClose = new wxButton(pPanel, wxID_CANCEL, "Close");
    pClose->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
    pTop->Add(pClose, 0, wxALIGN_RIGHT | wxALL, gap * 2);

    pPanel->SetSizer(pTop);
    auto* pFrameSizer = new wxBoxSizer(wxVERTICAL);
    pFrameSizer->Add(pPanel, 1, wxEXPAND);
    SetSizerAndFit(pFrameSizer);
    // Long texts wrap within the width the tables give.
    const int width = pPanel->GetClientSize().GetWidth() - gap * 4;
    for (wxStaticText* p : {m_pClose, m_pDrift}) {
        p->SetMinSize(wxSize(width, p->GetCharHeight() * 2));
    }
    m_pStatus->SetMinSize(wxSize(width, -1));
    SetSizerAndFit(pFrameSizer);
}

void CSurveyWindow::OnReading(const CFineReading& r) {
    if (m_dlg.OnReading(r)) {
        ShowAll();
    }
}

void CSurveyWindow::OnRecordedBlock(const void* pData, std::size_t nBytes, int nRate,
                                    int nChannels) {
    if (pData == nullptr || nRate <= 0 || nChannels <= 0) {
        return;
    }
    if (!m_pAnalyser || m_pAnalyser->GetSamplingRate() != nRate ||
        m_pAnalyser->GetChannels() != nChannels) {
        m_pAnalyser = std::make_unique<CFineAnalyser>(nRate, nChannels);
        m_pAnalyser->FollowFrequency(m_view.GetStandardA());
    }
    std::vector<CFineReading> readings;
    m_pAnalyser->Feed16(pData, nBytes, &readings);
    bool bChanged = false;
    for (const CFineReading& r : readings) {
        bChanged = m_dlg.OnReading(r) || bChanged;
    }
    if (bChanged) {
        ShowAll();
    }
}

void CSurveyWindow::FollowView() {
    const std::vector<SCatalogueEntry> catalogue = ViewCatalogue(m_view);
    bool bChanged = false;
    if (catalogue.size() != m_nCatalogueSize || m_view.Arithmetic() != m_arithmetic) {
        m_dlg.SetCatalogue(catalogue, m_view.Arithmetic());
        m_nCatalogueSize = catalogue.size();
        m_arithmetic = m_view.Arithmetic();
        bChanged = true;
    }
    if (m_view.GetStandardA() != m_dStandardA) {
        m_dStandardA = m_view.GetStandardA();
        m_dlg.SetStandardA(m_dStandardA);
        bChanged = true;
    }
    if (bChanged) {
        ShowAll();
    }
}

void CSurveyWindow::ShowAll() {
    m_pStatus->SetLabel(Utf8(m_dlg.StatusText()));
    ShowNotes();
    ShowRanking();
    m_pPass->SetLabel(Utf8(m_dlg.PassText()));
    m_pClose->SetLabel(Utf8(m_dlg.CloseText()));
    m_pDrift->SetLabel(Utf8(m_dlg.DriftText()));
    const int width = m_pClose->GetMinSize().GetWidth();
    if (width > 0) {
        m_pClose->Wrap(width);
        m_pDrift->Wrap(width);
    }
    m_pCircle->Refresh();
    UpdateButtons();
}

void CSurveyWindow::ShowNotes() {
    for (int n = 0; n < 12; ++n) {
        const CSurveyDlg::SCell cell = m_dlg.Cell(n);
        const std::string residual = cell.strResidual.empty()
                                         ? std::string()
                                         : cell.strResidual + "  " + MarkWord(cell.mark);
        const std::string texts[kNoteColumns] = {
            cell.strNote,
            cell.strHz,
            cell.strCents,
            cell.bMeasured ? std::to_string(cell.nHeard) : std::string(cell.bSounding ? "..." : ""),
            cell.strSpread,
            residual,
            m_dlg.DriftNoteText(n),
        };
        for (int c = 0; c < kNoteColumns; ++c) {
            if (m_pNotes->GetItemText(n, c) != Utf8(texts[c])) {
                m_pNotes->SetItem(n, c, Utf8(texts[c]));
            }
        }
        m_pNotes->SetItemTextColour(n, cell.mark == ResidualMark::kNotMeasured
                                           ? GetForegroundColour()
                                           : MarkColour(cell.mark, false));
        m_pNotes->SetItemBackgroundColour(
            n, cell.bSounding ? wxColour(255, 245, 200) : m_pNotes->GetBackgroundColour());
    }
}

void CSurveyWindow::ShowRanking() {
    const std::vector<CSurveyDlg::SRankRow> rows = m_dlg.Ranking();
    m_pRanking->DeleteAllItems();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CSurveyDlg::SRankRow& r = rows[i];
        const long item = m_pRanking->InsertItem(static_cast<long>(i), Utf8(r.strRank));
        const std::string texts[kRankColumns] = {
            r.strRank,     r.strName + (r.bClose ? "  (close)" : ""),
            r.strRotation, r.strStandardA,
            r.strRms,      r.strLargest};
        for (int c = 1; c < kRankColumns; ++c) {
            m_pRanking->SetItem(item, c, Utf8(texts[c]));
        }
        if (i == 0) {
            m_pRanking->SetItemFont(item, m_pRanking->GetFont().Bold());
        }
    }
}

void CSurveyWindow::PaintCircle() {
    wxAutoBufferedPaintDC dc(m_pCircle);
    dc.SetBackground(wxBrush(wxColour(0, 0, 0)));
    dc.Clear();
    const wxSize size = m_pCircle->GetClientSize();
    const double cx = size.GetWidth() / 2.0;
    const double cy = size.GetHeight() / 2.0;
    const double radius = std::max(10.0, std::min(cx, cy) - DuX(16));
    dc.SetPen(wxPen(wxColour(70, 70, 70)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawCircle(wxPoint(static_cast<int>(cx), static_cast<int>(cy)), static_cast<int>(radius));
    wxFont name = GetFont().Bold();
    wxFont small = GetFont();
    small.SetPointSize(std::max(6, GetFont().GetPointSize() - 1));
    // C at the top, then clockwise up the fifths.
    for (int i = 0; i < 12; ++i) {
        const int note = (7 * i) % 12;
        const double angle = 2 * M_PI * i / 12.0;
        const double x = cx + radius * std::sin(angle);
        const double y = cy - radius * std::cos(angle);
        const CSurveyDlg::SCell cell = m_dlg.Cell(note);
        const ResidualMark mark = m_dlg.Mark(note);
        const wxString label = wxString::FromUTF8(CPitchTable::Name(note));
        dc.SetFont(name);
        dc.SetTextForeground(cell.bSounding ? wxColour(255, 230, 120) : wxColour(200, 200, 200));
        const wxSize extent = dc.GetTextExtent(label);
        const int top = static_cast<int>(y) - extent.GetHeight();
        dc.DrawText(label, static_cast<int>(x) - extent.GetWidth() / 2, top);
        const wxString value =
            mark == ResidualMark::kNotMeasured ? wxString("--") : Utf8(cell.strResidual);
        dc.SetFont(small);
        dc.SetTextForeground(MarkColour(mark, true));
        const wxSize valueExtent = dc.GetTextExtent(value);
        dc.DrawText(value, static_cast<int>(x) - valueExtent.GetWidth() / 2, static_cast<int>(y));
    }
    dc.SetFont(small);
    dc.SetTextForeground(wxColour(200, 200, 200));
    const wxString caption = m_dlg.HasFit() ? "residuals, cents" : "";
    const wxSize extent = dc.GetTextExtent(caption);
    dc.DrawText(caption, static_cast<int>(cx) - extent.GetWidth() / 2,
                static_cast<int>(cy) - extent.GetHeight() / 2);
}

void CSurveyWindow::UpdateButtons() {
    const long selected = m_pNotes->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    m_pClear->Enable(selected >= 0 && m_dlg.Cell(static_cast<int>(selected)).bMeasured);
    m_pSaveTemperament->Enable(m_dlg.HasMeasuredTemperament());
    const bool bNamed = !m_pInstrument->GetValue().IsEmpty();
    m_pKeep->Enable(bNamed && m_dlg.HasFit());
    m_pCompare->Enable(bNamed);
}

void CSurveyWindow::ClearSelectedNote() {
    const long selected = m_pNotes->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (selected < 0) {
        return;
    }
    m_dlg.OnClearNote(static_cast<int>(selected));
    ShowAll();
}

void CSurveyWindow::SaveAsTemperament() {
    wxTextEntryDialog ask(this, "Name of the new temperament:", "Save as Temperament");
    if (ask.ShowModal() != wxID_OK) {
        return;
    }
    SaveAsTemperament(std::string(ask.GetValue().utf8_str()));
}

void CSurveyWindow::SaveAsTemperament(const std::string& strName) {
    if (m_dlg.OnSaveTemperament(strName, m_host) != CTemperamentDlg::kClose) {
        return;
    }
    // The new temperament joins the main window's list and this catalogue.
    m_view.AddSavedTemperament(m_dlg.Editor());
    FollowView();
}

void CSurveyWindow::KeepSurvey() {
    if (m_dlg.OnSaveSurvey(std::string(m_pInstrument->GetValue().utf8_str()), m_host)) {
        m_host.MessageBox(
            "The survey is kept as " + std::string(m_pInstrument->GetValue().utf8_str()) + ".",
            CSurveyDlg::kCaption, MB_OK | MB_ICONINFORMATION);
    }
    ShowAll();
}

void CSurveyWindow::Compare() {
    m_dlg.OnCompare(std::string(m_pInstrument->GetValue().utf8_str()), m_host);
    ShowAll();
}
