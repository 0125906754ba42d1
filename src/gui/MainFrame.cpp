#include "gui/MainFrame.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include <wx/accel.h>
#include <wx/cshelp.h>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "controls/Pictures.h"
#include "gui/AboutBox.h"
#include "gui/AccessibilityAdapter.h"
#include "gui/CommandTable.h"
#include "gui/FineTunerWindow.h"
#include "gui/HelpNote.h"
#include "gui/KlavoraForm.h"
#include "gui/MenuShortcuts.h"
#include "gui/SurveyWindow.h"
#include "gui/TemperamentFiles.h"
#include "gui/ToolBarStyle.h"
#include "gui/WxPictures.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"

namespace {

// A caption, a system menu and a minimize box: no sizing border, no
// maximize box.
constexpr long kFrameStyle = wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX;
constexpr int kTunerPaneWidth = 60;
// Refits allowed after one show or hide of a bar.
constexpr int kMaxRefits = 4;
constexpr int kFirstViewCommand = ID_NEW_TEMPERAMENT;
constexpr int kLastViewCommand = ID_EXACT_TEMPERAMENTS;

}  // namespace

const char* const CMainFrame::kIdleText = "For Help, press F1";

CMainFrame::CMainFrame()
    : wxFrame(nullptr, wxID_ANY, "Klavora", wxDefaultPosition, wxDefaultSize, kFrameStyle) {
    SetIcons(MakeProgramIcons());
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    BuildAccelerators();

    m_pForm = new CKlavoraForm(this);
    m_formSize = m_pForm->GetSize();
    m_nRefitsLeft = kMaxRefits;
    FitToForm();

    Bind(wxEVT_MENU, &CMainFrame::OnViewCommand, this, WxIdOfCommand(kFirstViewCommand),
         WxIdOfCommand(kLastViewCommand));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewCommand, this, WxIdOfCommand(kFirstViewCommand),
         WxIdOfCommand(kLastViewCommand));
    for (int id : {ID_APP_ABOUT, ID_APP_EXIT, ID_HELP_FINDER, ID_DEFAULT_HELP, ID_CONTEXT_HELP,
                   ID_HELP, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        Bind(wxEVT_MENU, &CMainFrame::OnFrameCommand, this, WxIdOfCommand(id));
    }
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateBarCommand, this, WxIdOfCommand(id));
    }
    Bind(wxEVT_CHAR_HOOK, &CMainFrame::OnCharHook, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_SIZE, &CMainFrame::OnSize, this);
    Bind(wxEVT_SYS_COLOUR_CHANGED, &CMainFrame::OnThemeChanged, this);

    m_pView = std::make_unique<CKlavoraView>(*m_pForm);
    m_pForm->SetView(m_pView.get());
    m_pump.Start();
    m_pForm->HoldMessages();
    m_pView->OnInitialUpdate();
    m_pForm->RefreshDrawnControls();
    UpdateTunerPane();
    m_pFiles = std::make_unique<CTemperamentFiles>(*this);
    m_fnSurvey = [this](CFineTunerWindow& tuner) { ShowSurvey(tuner); };
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowFineTuner(); }, WxIdOfCommand(ID_FINE_TUNER));
    Bind(
        wxEVT_UPDATE_UI,
        [this](wxUpdateUIEvent& event) {
            // Whenever Tune with Microphone could run.
            CCmdUI ui(ID_TUNE_MICROPHONE);
            event.Enable(m_pFineTuner != nullptr ||
                         (m_pView && m_pView->OnUpdateCommand(&ui) && ui.m_bEnabled));
        },
        WxIdOfCommand(ID_FINE_TUNER));
}

void CMainFrame::ShowFineTuner() {
    if (!m_pView) {
        return;
    }
    if (m_pFineTuner == nullptr) {
        m_pFineTuner = new CFineTunerWindow(this, *m_pView);
        m_pFineTuner->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
            if (event.GetEventObject() == m_pFineTuner) {
                m_pFineTuner = nullptr;
            }
            event.Skip();
        });
        SetSurveyCommand(m_fnSurvey);
        if (m_pSurvey != nullptr) {
            // A survey still open goes on with the new tuner's readings.
            m_pFineTuner->Tuner().AddObserver(&m_pSurvey->ReadingFeed());
        }
        m_pFineTuner->Show();
        CFineTunerWindow* pWindow = m_pFineTuner;
        CallAfter([this, pWindow] {
            if (m_pFineTuner == pWindow) {
                pWindow->MoveBeside(this);
            }
        });
    }
    m_pFineTuner->Show();
    m_pFineTuner->Raise();
}

void CMainFrame::SetSurveyCommand(std::function<void(CFineTunerWindow&)> fnSurvey) {
    m_fnSurvey = std::move(fnSurvey);
    if (m_pFineTuner == nullptr) {
        return;
    }
    CFineTunerWindow* pWindow = m_pFineTuner;
    m_pFineTuner->SetSurveyHandler(
        m_fnSurvey ? std::function<void()>([this, pWindow] { m_fnSurvey(*pWindow); })
                   : std::function<void()>());
}

void CMainFrame::ShowSurvey(CFineTunerWindow& tuner) {
    if (!m_pView) {
        return;
    }
    if (m_pSurvey == nullptr) {
        // A window of the main frame's, so that it stays open with its
        // results when the Fine Tuner closes.
        m_pSurvey = new CSurveyWindow(this, *m_pView, *m_pForm);
        // Its destroy event comes when only the wxWindow part is left: what
        // is needed then is taken now.
        wxObject* pWindow = m_pSurvey;
        IFineReadingObserver* pFeed = &m_pSurvey->ReadingFeed();
        m_pSurvey->Bind(wxEVT_DESTROY, [this, pWindow, pFeed](wxWindowDestroyEvent& event) {
            if (event.GetEventObject() == pWindow) {
                if (m_pFineTuner != nullptr) {
                    m_pFineTuner->Tuner().RemoveObserver(pFeed);
                }
                m_pSurvey = nullptr;
            }
            event.Skip();
        });
    }
    tuner.Tuner().AddObserver(&m_pSurvey->ReadingFeed());
    m_pSurvey->Show();
    m_pSurvey->Raise();
}

CMainFrame::~CMainFrame() {
    ShutDownView();
}

void CMainFrame::BuildMenus() {
    wxMenuBar* pBar = new wxMenuBar;
    wxMenu* pMenu = nullptr;
    std::string popup;
    for (const SCommandInfo& info : CommandTable()) {
        if (pMenu == nullptr || popup != info.pszPopup) {
            popup = info.pszPopup;
            pMenu = new wxMenu;
            pBar->Append(pMenu, wxString::FromUTF8(popup));
        }
        wxString text = wxString::FromUTF8(info.pszText);
        // GTK draws a shortcut hint from the key it names, and "Shift_F1"
        // names none; written as a key, the hint shows.
        text.Replace("\tShift_F1", "\tShift+F1");
        wxMenuItem* pItem = pMenu->Append(WxIdOfCommand(info.nId), text,
                                          wxString::FromUTF8(CommandPrompt(info.nId)),
                                          info.bCheck ? wxITEM_CHECK : wxITEM_NORMAL);
        if (ShowsShortcutOnly(info.nId)) {
            ShowShortcutOnly(pItem);
        }
        if (info.bSeparatorAfter) {
            pMenu->AppendSeparator();
        }
    }
    SetMenuBar(pBar);
}

void CMainFrame::BuildToolBar() {
    wxToolBar* pBar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    ApplyCompactToolBarStyle(pBar);
    pBar->SetToolBitmapSize(wxSize(16, 16));
    for (int id : ToolbarLayout()) {
        if (id == 0) {
            pBar->AddSeparator();
            continue;
        }
        const SCommandInfo* info = FindCommand(id);
        const bool check = info != nullptr && info->bCheck;
        pBar->AddTool(WxIdOfCommand(id), wxString(), MakeToolbarBitmap(id), wxNullBitmap,
                      check ? wxITEM_CHECK : wxITEM_NORMAL, wxString::FromUTF8(CommandTooltip(id)),
                      wxString::FromUTF8(CommandPrompt(id)));
    }
    pBar->Realize();
    // The buttons show pictures only: a screen reader reads their tooltips.
    CAccessibilityAdapter::NameToolButtons(pBar);
}

void CMainFrame::BuildStatusBar() {
    wxStatusBar* pBar = CreateStatusBar(2);
    // The tuner pane is 60 pixels wide, or as wide as its longest text
    // needs in the font the status bar uses here.
    wxClientDC dc(pBar);
    dc.SetFont(pBar->GetFont());
    int width = kTunerPaneWidth;
    for (const char* text : {"Audio Off", "Tuner Off", "Listening...", "Playing..."}) {
        width = std::max(width, dc.GetTextExtent(text).GetWidth() + 16);
    }
    const int widths[2] = {-1, width};
    pBar->SetStatusWidths(2, widths);
    SetStatusBarPane(0);
    SetStatusText(kIdleText, 0);
    SetStatusText("Audio Off", 1);
    CAccessibilityAdapter::DescribeStatusBar(pBar);
}

void CMainFrame::BuildAccelerators() {
    std::vector<wxAcceleratorEntry> entries;
    for (const SAccelInfo& accel : AcceleratorTable()) {
        entries.emplace_back(accel.nFlags, accel.nKeyCode, WxIdOfCommand(accel.nCommand));
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));
}

bool CMainFrame::Show(bool show) {
    const bool changed = wxFrame::Show(show);
    if (show && m_pForm != nullptr) {
        CallAfter([this] { m_pForm->ReleaseMessages(); });
    }
    return changed;
}

wxSize CMainFrame::WantedClientSize() const {
    // The form, or wider where a toolbar too wide for it holds the frame open.
    int width = m_formSize.GetWidth();
    const wxToolBar* pTools = GetToolBar();
    if (pTools != nullptr && pTools->IsShown()) {
        width = std::max(width, pTools->GetBestSize().GetWidth());
    }
    return wxSize(width, m_formSize.GetHeight());
}

void CMainFrame::FitToForm() {
    const wxSize wanted = WantedClientSize();
    if (GetClientSize() != wanted) {
        SetClientSize(wanted);
    }
    PlaceForm();
}

void CMainFrame::PlaceForm() {
    if (m_pForm == nullptr) {
        return;
    }
    const wxSize client = GetClientSize();
    m_pForm->SetSize(std::max(0, (client.GetWidth() - m_formSize.GetWidth()) / 2), 0,
                     m_formSize.GetWidth(), m_formSize.GetHeight());
}

void CMainFrame::OnSize(wxSizeEvent&) {
    // The form keeps its size; the frame's own layout would stretch it.
    PlaceForm();
    // The toolkit lays the bars out after a toggle in steps of its own, and
    // the client size is known for sure only in the size event that follows
    // each step: refit there, a bounded number of times, so a toolkit that
    // refuses the size cannot start an endless round of resizes.
    if (m_nRefitsLeft > 0 && GetClientSize() != WantedClientSize()) {
        --m_nRefitsLeft;
        CallAfter([this] { FitToForm(); });
    }
}

void CMainFrame::ShutDownView() {
    if (!m_pView) {
        return;
    }
    // The survey and the Fine Tuner let go of the view first, and the tuner
    // stops what it started.
    if (m_pSurvey != nullptr) {
        CSurveyWindow* pSurvey = m_pSurvey;
        pSurvey->Hide();
        delete pSurvey;  // its wxEVT_DESTROY handler forgets it
    }
    if (m_pFineTuner != nullptr) {
        m_pFineTuner->CloseTuner();
        m_pFineTuner = nullptr;
    }
    m_pView->OnDestroy();
    // No completion may reach the view from here on.
    m_pump.Stop();
    m_pForm->SetView(nullptr);
    m_pView.reset();
}

bool CMainFrame::RouteCommand(int nId) {
    if (!m_pView) {
        return false;
    }
    CCmdUI ui(nId);
    if (!m_pView->OnUpdateCommand(&ui) || !ui.m_bEnabled) {
        return false;
    }
    const bool ran = m_pView->OnCommand(nId);
    m_pForm->RefreshDrawnControls();
    UpdateTunerPane();
    return ran;
}

void CMainFrame::UpdateTunerPane() {
    if (!m_pView || GetStatusBar() == nullptr) {
        return;
    }
    CCmdUI ui(ID_TUNER_INDICATOR);
    m_pView->OnUpdateTunerIndicator(&ui);
    const wxString text = ui.m_strText != nullptr ? wxString(ui.m_strText) : wxString();
    if (GetStatusBar()->GetStatusText(1) != text) {
        SetStatusText(text, 1);
    }
}

void CMainFrame::ShowHelpForFocus() {
    m_help.ShowTopic(CHelpBook::TopicForFocus(wxWindow::FindFocus(), this, HelpWindow::kMain));
}

void CMainFrame::ShowContextHelp() {
    // What's This takes the mouse; no note of an earlier one stays open.
    CHelpNoteProvider::CloseOpenNote();
    SetStatusText("Select an object on which to get Help", 0);
    wxContextHelp help(this);
    SetStatusText(kIdleText, 0);
}

void CMainFrame::ToggleBar(wxWindow* pBar) {
    if (pBar == nullptr) {
        return;
    }
    pBar->Show(!pBar->IsShown());
    m_nRefitsLeft = kMaxRefits;
    SendSizeEvent();
    // The client area changes only once the toolkit has laid the bars out.
    CallAfter([this] { FitToForm(); });
}

void CMainFrame::OnViewCommand(wxCommandEvent& event) {
    RouteCommand(CommandOfWxId(event.GetId()));
}

void CMainFrame::OnUpdateViewCommand(wxUpdateUIEvent& event) {
    const int command = CommandOfWxId(event.GetId());
    CCmdUI ui(command);
    if (!m_pView || !m_pView->OnUpdateCommand(&ui)) {
        event.Skip();
        return;
    }
    event.Enable(ui.m_bEnabled);
    const SCommandInfo* info = FindCommand(command);
    if (info != nullptr && info->bCheck) {
        event.Check(ui.m_bChecked);
    }
}

void CMainFrame::OnFrameCommand(wxCommandEvent& event) {
    switch (CommandOfWxId(event.GetId())) {
        case ID_APP_EXIT:
            Close();
            break;
        case ID_APP_ABOUT: {
            CAboutBox box(this);
            box.ShowModal();
            break;
        }
        case ID_HELP_FINDER:
        case ID_DEFAULT_HELP:
            m_help.ShowContents();
            break;
        case ID_HELP:
            ShowHelpForFocus();
            break;
        case ID_CONTEXT_HELP:
            ShowContextHelp();
            break;
        case ID_VIEW_TOOLBAR:
            ToggleBar(GetToolBar());
            break;
        case ID_VIEW_STATUS_BAR:
            ToggleBar(GetStatusBar());
            break;
        default:
            event.Skip();
            break;
    }
}

void CMainFrame::OnUpdateBarCommand(wxUpdateUIEvent& event) {
    const wxWindow* pBar = CommandOfWxId(event.GetId()) == ID_VIEW_TOOLBAR
                               ? static_cast<wxWindow*>(GetToolBar())
                               : GetStatusBar();
    event.Check(pBar != nullptr && pBar->IsShown());
}

void CMainFrame::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    // The menu shows Ctrl+N, Ctrl+E and Ctrl+D, but no accelerator stands
    // behind them (see BuildMenus): the keys do nothing, and no control
    // gets them either.
    if (event.GetModifiers() == wxMOD_CONTROL && (key == 'N' || key == 'E' || key == 'D')) {
        return;
    }
    // F1 is the accelerator of help on what has the focus; the Help Topics
    // item only shows the key.
    if (key == WXK_F1 && !event.HasAnyModifiers()) {
        ShowHelpForFocus();
        return;
    }
    if (!event.HasModifiers() && m_pForm != nullptr) {
        // The key's symbol already tells a from A; key codes do not.
        const long raw = static_cast<long>(event.GetRawKeyCode());
        int ch = 0;
        if (raw >= 0x20 && raw < 0x7F) {
            ch = static_cast<int>(raw);
        } else if (event.GetUnicodeKey() != WXK_NONE && event.GetUnicodeKey() < 0x80) {
            const int letter = static_cast<int>(event.GetUnicodeKey());
            ch = event.ShiftDown() ? letter : std::tolower(letter);
        }
        if (ch != 0) {
            m_pForm->OnTypedChar(ch);
        }
    }
    event.Skip();
}

void CMainFrame::OnThemeChanged(wxSysColourChangedEvent& event) {
    // The toolbar's pictures follow the theme's foreground colour.
    if (wxToolBar* pBar = GetToolBar()) {
        for (int id : ToolbarLayout()) {
            if (id != 0) {
                pBar->SetToolNormalBitmap(WxIdOfCommand(id), MakeToolbarBitmap(id));
            }
        }
    }
    event.Skip();
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
    UpdateTunerPane();
    event.Skip();
}

void CMainFrame::OnClose(wxCloseEvent&) {
    ShutDownView();
    Destroy();
}
