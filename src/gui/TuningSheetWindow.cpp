#include "gui/TuningSheetWindow.h"

#include <algorithm>
#include <memory>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/graphics.h>
#include <wx/print.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/HelpTopics.h"
#include "presenter/MessageHost.h"
#include "storetool/WindowFiles.h"

namespace {

constexpr int kPageMargin = 8;
const wxColour kDesk(128, 128, 128);

// The page for the printer: one sheet, drawn on the print dialog's cairo
// context in points and fitted to the paper.
class CSheetPrintout : public wxPrintout {
public:
    explicit CSheetPrintout(const CTuningSheetDlg& dlg)
        : wxPrintout(wxString::FromUTF8(dlg.Info().name)), m_dlg(dlg) {}

    bool HasPage(int page) override { return page == 1; }
    void GetPageInfo(int* minPage, int* maxPage, int* fromPage, int* toPage) override {
        *minPage = *maxPage = *fromPage = *toPage = 1;
    }
    bool OnPrintPage(int page) override {
        wxDC* pDC = GetDC();
        auto* pContext = pDC != nullptr ? static_cast<cairo_t*>(pDC->GetHandle()) : nullptr;
        if (page != 1 || pContext == nullptr) {
            return false;
        }
        // The toolkit's printer context counts in dots of its resolution
        // from the paper's corner; the sheet counts in points.
        const double dots = std::max(1, pDC->GetPPI().GetWidth()) / 72.0;
        int width = 0;
        int height = 0;
        pDC->GetSize(&width, &height);
        cairo_save(pContext);
        cairo_scale(pContext, dots, dots);
        m_dlg.PaintFitted(pContext, width / dots, height / dots);
        cairo_restore(pContext);
        return true;
    }

private:
    const CTuningSheetDlg& m_dlg;
};

// The settings of the last print, so that the dialog offers them again.
wxPrintDialogData& PrintSettings() {
    static wxPrintDialogData data;
    return data;
}

}  // namespace

CTuningSheetWindow::CTuningSheetWindow(wxWindow* pParent, Source source, IMessageHost& host,
                                       std::function<void(const std::string&)> showHelp)
    : wxDialog(pParent, wxID_ANY, CTuningSheetDlg::kCaption, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX),
      m_source(std::move(source)),
      m_host(host),
      m_showHelp(std::move(showHelp)) {
    SetFont(MakeDialogFont());
    CreateControls();
    FollowSource();
    Place(pParent);
    Bind(wxEVT_IDLE, [this](wxIdleEvent& event) {
        FollowSource();
        event.Skip();
    });
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_F1 && !event.HasAnyModifiers()) {
            m_showHelp(HelpTopicOfWindow(HelpWindow::kTuningSheet));
            return;
        }
        event.Skip();
    });
}

void CTuningSheetWindow::Place(wxWindow* pParent) {
    // The page as tall as the screen allows, beside the main window where
    // there is room, else over its right edge.
    const int display = wxDisplay::GetFromWindow(pParent);
    const wxRect screen =
        wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    // What the buttons take above the page.
    m_pPage->SetMinSize(wxSize(0, 0));
    const int bar = GetSizer()->CalcMin().GetHeight();
    m_pPage->SetMinSize(wxSize(DuX(100), DuY(100)));
    const int pageHeight = std::max(DuY(100), std::min(1000, screen.GetHeight() - bar - 60));
    const int pageWidth = static_cast<int>(pageHeight * CTuningSheetDlg::PageWidth() /
                                           CTuningSheetDlg::PageHeight()) +
                          2 * kPageMargin;
    SetClientSize(std::max(pageWidth, GetSizer()->GetMinSize().GetWidth()), bar + pageHeight);
    const wxRect main = pParent->GetScreenRect();
    const wxSize size = GetSize();
    int x = main.GetRight() + DuX(4);
    if (x + size.GetWidth() > screen.GetRight()) {
        x = std::max(screen.GetLeft(), screen.GetRight() - size.GetWidth());
    }
    Move(x, screen.GetTop());
}

void CTuningSheetWindow::CreateControls() {
    const int gap = DuX(4);
    auto* pTop = new wxBoxSizer(wxVERTICAL);
    auto* pBar = new wxBoxSizer(wxHORIZONTAL);
    pBar->Add(new wxStaticText(this, wxID_ANY, "&Bearing:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT,
              gap);
    m_pBearing = new wxChoice(this, wxID_ANY);
    for (Bearing b : CTuningSheetDlg::Bearings()) {
        m_pBearing->Append(wxString::FromUTF8(BearingName(b)));
    }
    m_pBearing->SetSelection(m_dlg.BearingIndex());
    m_pBearing->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        m_dlg.SetBearingIndex(m_pBearing->GetSelection());
        m_pPage->Refresh();
    });
    pBar->Add(m_pBearing, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap * 3);
    // Close has the id of Cancel, so that Escape closes the window too.
    const struct {
        const char* label;
        int id;
        std::function<void()> action;
    } buttons[] = {
        {"Save as &PDF...", wxID_ANY, [this] { SaveAs(SheetFormat::Pdf); }},
        {"Save as &SVG...", wxID_ANY, [this] { SaveAs(SheetFormat::Svg); }},
        {"P&rint...", wxID_ANY, [this] { Print(); }},
        {"Close", wxID_CANCEL, [this] { Close(); }},
        {"Help", wxID_ANY, [this] { m_showHelp(HelpTopicOfWindow(HelpWindow::kTuningSheet)); }},
    };
    for (const auto& b : buttons) {
        auto* pButton = new wxButton(this, b.id, b.label);
        pButton->Bind(wxEVT_BUTTON, [action = b.action](wxCommandEvent&) { action(); });
        pBar->Add(pButton, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    }
    pTop->Add(pBar, 0, wxALL, gap * 2);

    m_pPage = new wxWindow(this, wxID_ANY);
    m_pPage->SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_pPage->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        m_pPage->Refresh();
        event.Skip();
    });
    m_pPage->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        wxPaintDC dc(m_pPage);
        dc.SetBackground(wxBrush(kDesk));
        dc.Clear();
        wxGraphicsContext* pGraphics = dc.GetGraphicsContext();
        auto* pContext =
            pGraphics != nullptr ? static_cast<cairo_t*>(pGraphics->GetNativeContext()) : nullptr;
        if (pContext == nullptr) {
            return;
        }
        const wxSize size = m_pPage->GetClientSize();
        cairo_save(pContext);
        cairo_translate(pContext, kPageMargin, kPageMargin);
        m_dlg.PaintFitted(pContext, size.GetWidth() - 2 * kPageMargin,
                          size.GetHeight() - 2 * kPageMargin);
        cairo_restore(pContext);
    });
    pTop->Add(m_pPage, 1, wxEXPAND);
    SetSizer(pTop);
}

void CTuningSheetWindow::FollowSource() {
    std::string name;
    CTemperament t(std::array<double, 12>{});
    double standardA = 0;
    if (!m_source || !m_source(name, t, standardA) || !m_dlg.Follow(name, t, standardA)) {
        return;
    }
    SetTitle(wxString::FromUTF8(m_dlg.Title()));
    if (m_pPage != nullptr) {
        m_pPage->Refresh();
    }
}

void CTuningSheetWindow::SaveAs(SheetFormat format) {
    if (!m_dlg.HasTemperament()) {
        return;
    }
    const bool pdf = format == SheetFormat::Pdf;
    wxFileDialog chooser(this, pdf ? "Save Tuning Sheet as PDF" : "Save Tuning Sheet as SVG",
                         wxString(), wxString::FromUTF8(m_dlg.OfferedFileName(format)),
                         pdf ? "PDF files (*.pdf)|*.pdf" : "SVG files (*.svg)|*.svg",
                         wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (chooser.ShowModal() != wxID_OK) {
        return;
    }
    const std::string path =
        ChosenSavePath(std::string(chooser.GetPath().utf8_str()), pdf ? ".pdf" : ".svg", m_host,
                       CTuningSheetDlg::kCaption);
    std::string message;
    if (!path.empty() && !m_dlg.Save(path, format, message)) {
        m_host.MessageBox(message, CTuningSheetDlg::kCaption, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CTuningSheetWindow::Print() {
    if (!m_dlg.HasTemperament()) {
        return;
    }
    wxPrinter printer(&PrintSettings());
    CSheetPrintout printout(m_dlg);
    if (printer.Print(this, &printout, true)) {
        PrintSettings() = printer.GetPrintDialogData();
    } else if (wxPrinter::GetLastError() == wxPRINTER_ERROR) {
        m_host.MessageBox("Klavora could not print the tuning sheet.", CTuningSheetDlg::kCaption,
                          MB_OK | MB_ICONEXCLAMATION);
    }
}
