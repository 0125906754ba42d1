#include "gui/HelpBook.h"

#include <algorithm>
#include <cstddef>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/fs_mem.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpdlg.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/image.h>
#include <wx/splitter.h>
#include <wx/treectrl.h>

#include "gui/WxPictures.h"

// The zipped book, made from the pages under help/ by the build.
extern const unsigned char kHelpBookZip[];
extern const std::size_t kHelpBookZipSize;

namespace {

constexpr const char* kBookFile = "klavora-help.zip";
// Contents, index and search beside the page; no bookmarks, which would
// have to be kept in a settings file of wx's own.
constexpr int kViewerStyle =
    wxHF_TOOLBAR | wxHF_FLAT_TOOLBAR | wxHF_CONTENTS | wxHF_INDEX | wxHF_SEARCH | wxHF_PRINT;

// The contents wide enough for the longest page title, the page wide enough
// for the main window's picture (831 pixels) beside them, the window never
// larger than the screen.
constexpr int kContentsWidth = 320;
constexpr int kWindowWidth = 1200;

wxSize WindowSize(const wxWindow* pNear) {
    const int index = pNear != nullptr ? wxDisplay::GetFromWindow(pNear) : wxNOT_FOUND;
    const wxRect area =
        wxDisplay(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index)).GetClientArea();
    return wxSize(std::min(kWindowWidth, area.GetWidth() - 40),
                  std::min(720, area.GetHeight() - 40));
}

void WidenContents(wxHtmlHelpWindow* pHelp) {
    if (pHelp != nullptr && pHelp->GetSplitterWindow() != nullptr &&
        pHelp->GetSplitterWindow()->IsSplit()) {
        pHelp->GetSplitterWindow()->SetSashPosition(kContentsWidth);
    }
}

// The dialog's title from the page it shows, as the frame's is made.
void UpdateTitle(wxHtmlHelpDialog* pDialog) {
    const wxHtmlHelpWindow* pHelp = pDialog->GetHelpWindow();
    if (pHelp == nullptr || pHelp->GetHtmlWindow() == nullptr) {
        return;
    }
    wxString title = CHelpBook::kTitleFormat;
    title.Replace("%s", pHelp->GetHtmlWindow()->GetOpenedPageTitle());
    if (pDialog->GetTitle() != title) {
        pDialog->SetTitle(title);
    }
}

// Opens the book in the contents, so that its pages are listed from the
// start rather than under one closed entry.
void ExpandContents(wxHtmlHelpWindow* pHelp) {
    wxTreeCtrl* pTree = pHelp != nullptr ? pHelp->GetTreeCtrl() : nullptr;
    if (pTree == nullptr || !pTree->GetRootItem().IsOk()) {
        return;
    }
    const wxTreeItemId root = pTree->GetRootItem();
    if (!pTree->HasFlag(wxTR_HIDE_ROOT)) {
        pTree->Expand(root);
    }
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = pTree->GetFirstChild(root, cookie); item.IsOk();
         item = pTree->GetNextChild(root, cookie)) {
        pTree->Expand(item);
    }
}

// The viewer with the program's icon and a size to read in.
class CHelpController : public wxHtmlHelpController {
public:
    CHelpController(int nStyle, wxWindow* pParent) : wxHtmlHelpController(nStyle, pParent) {}

protected:
    wxHtmlHelpFrame* CreateHelpFrame(wxHtmlHelpData* pData) override {
        wxHtmlHelpFrame* pFrame = wxHtmlHelpController::CreateHelpFrame(pData);
        pFrame->SetIcons(MakeProgramIcons());
        pFrame->SetSize(WindowSize(wxTheApp->GetTopWindow()));
        WidenContents(pFrame->GetHelpWindow());
        return pFrame;
    }
    wxHtmlHelpDialog* CreateHelpDialog(wxHtmlHelpData* pData) override {
        wxHtmlHelpDialog* pDialog = wxHtmlHelpController::CreateHelpDialog(pData);
        pDialog->SetIcons(MakeProgramIcons());
        pDialog->SetSize(WindowSize(m_parentWindow));
        WidenContents(pDialog->GetHelpWindow());
        pDialog->CentreOnParent();
        // The help window keeps the title of a frame up to date, not that of a
        // dialog; the dialog's follows the page shown whenever it idles.
        pDialog->Bind(wxEVT_IDLE, [pDialog](wxIdleEvent& event) {
            UpdateTitle(pDialog);
            event.Skip();
        });
        return pDialog;
    }
};

bool LoadBook(wxHtmlHelpController& controller) {
    controller.SetTitleFormat(CHelpBook::kTitleFormat);
    return controller.AddBook(CHelpBook::BookLocation());
}

}  // namespace

const char* const CHelpBook::kTitleFormat = "Klavora Help: %s";

CHelpBook::CHelpBook() = default;

CHelpBook::~CHelpBook() = default;

wxString CHelpBook::BookLocation() {
    static bool s_bRegistered = false;
    if (!s_bRegistered) {
        s_bRegistered = true;
        wxFileSystem::AddHandler(new wxMemoryFSHandler);
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) {
            wxImage::AddHandler(new wxPNGHandler);
        }
        // The book stays in the program's own data; wx keeps a copy only
        // from the first use of help on.
        wxMemoryFSHandler::AddFile(kBookFile, kHelpBookZip, kHelpBookZipSize);
    }
    return wxString("memory:") + kBookFile;
}

bool CHelpBook::Prepare() {
    if (!m_pController) {
        m_pController = std::make_unique<CHelpController>(kViewerStyle | wxHF_FRAME, nullptr);
        m_bLoaded = LoadBook(*m_pController);
    }
    return m_bLoaded;
}

bool CHelpBook::ShowContents() {
    return ShowTopic(kHelpContentsTopic);
}

bool CHelpBook::ShowTopic(const std::string& topic) {
    if (!Prepare() || !m_pController->Display(wxString::FromUTF8(topic))) {
        return false;
    }
    ExpandContents(m_pController->GetHelpWindow());
    return true;
}

bool CHelpBook::ShowOverDialog(wxWindow* pDialog, const std::string& topic) {
    // A dialog help window of its own, shown modally here rather than by the
    // controller, so that its title is right before it appears.
    CHelpController controller(kViewerStyle | wxHF_DIALOG, pDialog);
    if (!LoadBook(controller) || !controller.Display(wxString::FromUTF8(topic)) ||
        controller.GetDialog() == nullptr) {
        return false;
    }
    wxHtmlHelpDialog* pHelp = controller.GetDialog();
    ExpandContents(controller.GetHelpWindow());
    UpdateTitle(pHelp);
    pHelp->ShowModal();
    return true;
}

std::string CHelpBook::TopicForFocus(const wxWindow* pFocus, const wxWindow* pTop,
                                     HelpWindow window) {
    for (const wxWindow* pWindow = pFocus; pWindow != nullptr && pWindow != pTop;
         pWindow = pWindow->GetParent()) {
        if (const char* topic = HelpTopicOfControl(window, pWindow->GetId())) {
            return topic;
        }
        if (pWindow->IsTopLevel()) {
            break;
        }
    }
    return HelpTopicOfWindow(window);
}

void CHelpBook::BindDialogKey(wxDialog* pDialog, HelpWindow window) {
    pDialog->Bind(wxEVT_CHAR_HOOK, [pDialog, window](wxKeyEvent& event) {
        if (event.GetKeyCode() != WXK_F1 || event.HasAnyModifiers()) {
            event.Skip();
            return;
        }
        ShowOverDialog(pDialog, TopicForFocus(wxWindow::FindFocus(), pDialog, window));
    });
}
