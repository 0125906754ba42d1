// SPDX-License-Identifier: GPL-3.0-or-later
// The help book as the program carries it, and the ways into it: Help
// Topics, F1 in the main window and in every dialog, and the editor's Help
// button, each checked by the page the help window shows and its title.
#include <wx/button.h>
#include <wx/filesys.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpdlg.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/regex.h>
#include <wx/sstream.h>
#include <wx/stream.h>

#include <map>
#include <set>

#include "gui/AboutBox.h"
#include "gui/GuiTestSupport.h"
#include "gui/HelpBook.h"
#include "gui/HelpTopics.h"
#include "gui/OptionsWindow.h"
#include "gui/StandardAWindow.h"
#include "gui/TemperamentWindow.h"

namespace {

// A file of the book, or "<missing>".
std::string BookFile(const std::string& name) {
    wxFileSystem fs;
    std::unique_ptr<wxFSFile> file(fs.OpenFile(CHelpBook::BookLocation() + "#zip:" + name));
    if (!file || file->GetStream() == nullptr) {
        return "<missing>";
    }
    wxStringOutputStream out(nullptr, wxConvUTF8);
    file->GetStream()->Read(out);
    return std::string(out.GetString().utf8_str());
}

std::set<std::string> AnchorsOf(const std::string& html) {
    std::set<std::string> anchors;
    wxRegEx re("<a name=\"([^\"]+)\"", wxRE_ADVANCED);
    wxString rest = wxString::FromUTF8(html);
    while (re.Matches(rest)) {
        anchors.insert(std::string(re.GetMatch(rest, 1).utf8_str()));
        size_t start = 0, length = 0;
        re.GetMatch(&start, &length, 0);
        rest = rest.Mid(start + length);
    }
    return anchors;
}

// Every value of an attribute (href, src, value) in a page.
std::vector<std::string> ValuesOf(const std::string& html, const char* attribute) {
    std::vector<std::string> values;
    wxRegEx re(wxString(attribute) + "=\"([^\"]+)\"", wxRE_ADVANCED);
    wxString rest = wxString::FromUTF8(html);
    while (re.Matches(rest)) {
        values.emplace_back(re.GetMatch(rest, 1).utf8_str());
        size_t start = 0, length = 0;
        re.GetMatch(&start, &length, 0);
        rest = rest.Mid(start + length);
    }
    return values;
}

// "" when a link ("page.html#part", "#part" within from) leads somewhere.
std::string CheckLink(const std::string& from, const std::string& link) {
    const size_t hash = link.find('#');
    const std::string page = hash == 0 ? from : link.substr(0, hash);
    const std::string html = BookFile(page);
    if (html == "<missing>") {
        return from + ": " + link + " leads to no page";
    }
    if (hash != std::string::npos && AnchorsOf(html).count(link.substr(hash + 1)) == 0) {
        return from + ": " + link + " leads to no section";
    }
    return std::string();
}

std::string ShownPage(wxHtmlHelpWindow* pHelp) {
    return pHelp != nullptr ? std::string(pHelp->GetHtmlWindow()->GetOpenedPage().utf8_str())
                            : std::string("<no help window>");
}

// What a modal help window showed before the test closed it.
struct SShownHelp {
    std::string title;
    std::string page;
    std::string anchor;
};

// Closes the modal help window the next step opens, noting what it showed.
void WhenHelpDialogOpens(SShownHelp& shown) {
    wxTheApp->CallAfter([&shown] {
        for (wxWindow* pWindow : wxTopLevelWindows) {
            auto* pHelp = dynamic_cast<wxHtmlHelpDialog*>(pWindow);
            if (pHelp != nullptr && pHelp->IsModal()) {
                shown.title = std::string(pHelp->GetTitle().utf8_str());
                wxHtmlWindow* pHtml = pHelp->GetHelpWindow()->GetHtmlWindow();
                shown.page = std::string(pHtml->GetOpenedPage().utf8_str());
                shown.anchor = std::string(pHtml->GetOpenedAnchor().utf8_str());
                pHelp->EndModal(wxID_OK);
                return;
            }
        }
    });
}

void PressF1(wxWindow* pWindow) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = WXK_F1;
    event.SetEventObject(pWindow);
    pWindow->GetEventHandler()->ProcessEvent(event);
}

}  // namespace

TEST_F(GuiTest, TheBookHoldsEveryTopicAndEveryLinkLeadsSomewhere) {
    // The project file names the contents, the index and the first page.
    const std::string project = BookFile("klavora.hhp");
    ASSERT_NE(project, "<missing>");
    EXPECT_NE(project.find("Contents file=contents.hhc"), std::string::npos);
    EXPECT_NE(project.find("Index file=index.hhk"), std::string::npos);

    // Every topic the program opens exists, up to its section.
    for (const std::string& topic : AllHelpTopics()) {
        EXPECT_EQ(CheckLink("", topic), "") << topic;
    }
    // Every entry of contents and index, every link and picture of every
    // page of the contents.
    std::set<std::string> pages;
    for (const char* list : {"contents.hhc", "index.hhk"}) {
        for (const std::string& value : ValuesOf(BookFile(list), "value")) {
            if (value.find(".html") != std::string::npos) {
                EXPECT_EQ(CheckLink(list, value), "");
                pages.insert(value.substr(0, value.find('#')));
            }
        }
    }
    EXPECT_GE(pages.size(), 14u);
    for (const std::string& page : pages) {
        const std::string html = BookFile(page);
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
        for (const std::string& link : ValuesOf(html, "href")) {
            EXPECT_EQ(CheckLink(page, link), "");
        }
        for (const std::string& picture : ValuesOf(html, "src")) {
            EXPECT_NE(BookFile(picture), "<missing>") << page << ": " << picture;
        }
    }
}

TEST_F(GuiTest, HelpTopicsAndF1OpenTheHelpWindowAtTheirPages) {
    AddDevices();
    OpenFrame();
    CHelpBook& help = m_pFrame->GetHelpBook();
    // Nothing is loaded before help is asked for.
    EXPECT_EQ(help.GetController(), nullptr);

    Menu(ID_HELP_FINDER);
    Settle();
    ASSERT_NE(help.GetController(), nullptr);
    wxHtmlHelpFrame* pFrame = help.GetController()->GetFrame();
    ASSERT_NE(pFrame, nullptr);
    EXPECT_TRUE(pFrame->IsShown());
    EXPECT_EQ(pFrame->GetTitle(), "Klavora Help: Welcome to Klavora");
    EXPECT_NE(ShownPage(help.GetController()->GetHelpWindow()).find("#zip:index.html"),
              std::string::npos);

    // F1 shows the topic of the control with the focus, found from the
    // control or a window it lies in.
    const std::map<int, std::string> expected{
        {IDC_TEMPERAMENTS, "Choosing a temperament"},
        {IDC_CHANGE_STANDARD_A, "Standard A"},
        {IDC_CYCLE_OF_FIFTHS, "The circle of fifths"},
        {IDC_KEYBOARD, "The main window"},
        {IDC_BANNER, "The main window"},
    };
    for (const auto& [id, title] : expected) {
        const std::string topic =
            CHelpBook::TopicForFocus(Form()->Control(id), m_pFrame, HelpWindow::kMain);
        ASSERT_TRUE(help.ShowTopic(topic)) << topic;
        Settle();
        EXPECT_EQ(pFrame->GetTitle(), "Klavora Help: " + title) << id;
    }
    EXPECT_EQ(CHelpBook::TopicForFocus(nullptr, m_pFrame, HelpWindow::kMain), "main-window.html");
    EXPECT_EQ(CHelpBook::TopicForFocus(Form()->Control(IDC_KEYBOARD), m_pFrame, HelpWindow::kMain),
              "main-window.html#keyboard");

    // The key itself, as the user presses it.
    Form()->Control(IDC_TEMPERAMENTS)->SetFocus();
    PressF1(m_pFrame);
    Settle();
    EXPECT_TRUE(pFrame->IsShown());
    EXPECT_EQ(pFrame->GetTitle().Left(14), "Klavora Help: ");

    // Closing the program closes its help window too.
    CloseFrame();
    bool bLeft = false;
    for (wxWindow* pWindow : wxTopLevelWindows) {
        bLeft = bLeft ||
                (dynamic_cast<wxHtmlHelpFrame*>(pWindow) != nullptr && !pWindow->IsBeingDeleted());
    }
    EXPECT_FALSE(bLeft);
}

TEST_F(GuiTest, EveryDialogOpensItsOwnPageOverItself) {
    AddDevices();
    OpenFrame();
    SShownHelp button, key, standardA, options, about;

    WhenDialogRuns<CTemperamentWindow>([&](CTemperamentWindow& window) {
        WhenHelpDialogOpens(button);
        wxButton* pHelp = wxDynamicCast(window.FindWindow(9), wxButton);
        ASSERT_NE(pHelp, nullptr);
        wxCommandEvent click(wxEVT_BUTTON, 9);
        click.SetEventObject(pHelp);
        pHelp->GetEventHandler()->ProcessEvent(click);
        // An offset lies in its group box; F1 there opens its section.
        EXPECT_EQ(CHelpBook::TopicForFocus(window.OffsetEdit(4), &window, HelpWindow::kEditor),
                  "editor.html#offsets");
        EXPECT_EQ(CHelpBook::TopicForFocus(window.NameEdit(), &window, HelpWindow::kEditor),
                  "editor.html#name");
        WhenHelpDialogOpens(key);
        PressF1(&window);
        EXPECT_TRUE(window.IsModal());
    });
    Menu(ID_NEW_TEMPERAMENT);
    EXPECT_TRUE(m_bScriptRan);
    EXPECT_EQ(button.title, "Klavora Help: Creating and editing temperaments");
    EXPECT_NE(button.page.find("#zip:editor.html"), std::string::npos);
    EXPECT_EQ(key.title, "Klavora Help: Creating and editing temperaments");

    WhenDialogRuns<CStandardAWindow>([&](CStandardAWindow& window) {
        WhenHelpDialogOpens(standardA);
        PressF1(&window);
    });
    View()->OnChangeStandardA();
    EXPECT_EQ(standardA.title, "Klavora Help: Standard A");
    EXPECT_EQ(standardA.anchor, "change");

    WhenDialogRuns<COptionsWindow>([&](COptionsWindow& window) {
        WhenHelpDialogOpens(options);
        PressF1(&window);
    });
    Menu(ID_OPTIONS);
    EXPECT_EQ(options.title, "Klavora Help: Audio options");

    wxTheApp->CallAfter([&] {
        for (wxWindow* pWindow : wxTopLevelWindows) {
            if (auto* pBox = dynamic_cast<CAboutBox*>(pWindow)) {
                WhenHelpDialogOpens(about);
                PressF1(pBox);
                pBox->EndModal(wxID_OK);
            }
        }
    });
    Menu(ID_APP_ABOUT);
    EXPECT_EQ(about.title, "Klavora Help: Welcome to Klavora");
    // None of it left a help window behind.
    Settle();
    for (wxWindow* pWindow : wxTopLevelWindows) {
        EXPECT_TRUE(dynamic_cast<wxHtmlHelpDialog*>(pWindow) == nullptr ||
                    pWindow->IsBeingDeleted());
    }
}
