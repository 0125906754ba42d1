// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window over a private store and the simulated sound card:
// its bars, the routing of commands through menus, accelerators, toolbar and
// keys, the form's forwarding of clicks and choices, and the end of a run.
#include <wx/accel.h>
#include <wx/menu.h>
#include <wx/odcombo.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include <gtk/gtk.h>

#include "controls/KeyboardControl.h"
#include "controls/Pictures.h"
#include "gui/CommandTable.h"
#include "gui/DialogUnits.h"
#include "gui/GuiTestSupport.h"
#include "gui/MenuShortcuts.h"
#include "tuning/Temperament.h"
#include "tuning/TemperamentSet.h"

namespace {

// A point inside a key of the keyboard picture.
wxPoint PointOnKey(int note) {
    const CKeyboardControl keyboard;
    for (int y = 0; y < CKeyboardControl::kPictureHeight; y += 3) {
        for (int x = 0; x < CKeyboardControl::kPictureWidth; x += 3) {
            if (keyboard.HitTest(x, y) == note + 1 && keyboard.HitTest(x + 2, y + 2) == note + 1) {
                return wxPoint(x + 1, y + 1);
            }
        }
    }
    return wxPoint(-1, -1);
}

bool MenuChecked(wxFrame* pFrame, int id) {
    pFrame->DoMenuUpdates();
    return pFrame->GetMenuBar()->IsChecked(WxIdOfCommand(id));
}

bool MenuEnabled(wxFrame* pFrame, int id) {
    pFrame->DoMenuUpdates();
    return pFrame->GetMenuBar()->IsEnabled(WxIdOfCommand(id));
}

wxKeyEvent CharHook(int keyCode, int modifiers, int raw) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = keyCode;
    event.m_uniChar = keyCode;
    event.m_rawCode = static_cast<wxUint32>(raw);
    event.m_controlDown = (modifiers & wxMOD_CONTROL) != 0;
    event.m_shiftDown = (modifiers & wxMOD_SHIFT) != 0;
    return event;
}

}  // namespace

TEST_F(GuiTest, FrameMenusBarsAndAccelerators) {
    AddDevices();
    OpenFrame();
    EXPECT_EQ(m_pFrame->GetTitle(), "Klavora");
    const long style = m_pFrame->GetWindowStyleFlag();
    EXPECT_EQ(style & (wxRESIZE_BORDER | wxMAXIMIZE_BOX), 0);
    EXPECT_NE(style & wxMINIMIZE_BOX, 0);
    // The form fills the client area, centred if the toolbar is wider.
    EXPECT_EQ(Form()->GetSize(), wxSize(DuX(490), DuY(282)));
    EXPECT_EQ(m_pFrame->GetClientSize().GetHeight(), DuY(282));

    // Every menu item, in order, with its text, prompt, kind and separators.
    wxMenuBar* pBar = m_pFrame->GetMenuBar();
    std::vector<std::string> items;
    std::vector<std::string> expected;
    std::string popup;
    for (const SCommandInfo& info : CommandTable()) {
        if (popup != info.pszPopup) {
            popup = info.pszPopup;
            expected.push_back("popup " + popup);
        }
        // The hint "Shift_F1" is shown as the key it stands for.
        const std::string text =
            info.nId == ID_CONTEXT_HELP ? "What's &This?\tShift+F1" : info.pszText;
        expected.push_back(text + "|" + CommandPrompt(info.nId) + (info.bCheck ? "|check" : ""));
        if (info.bSeparatorAfter) {
            expected.push_back("-");
        }
    }
    for (size_t m = 0; m < pBar->GetMenuCount(); ++m) {
        items.push_back("popup " + pBar->GetMenuLabel(m).ToStdString());
        for (const wxMenuItem* pItem : pBar->GetMenu(m)->GetMenuItems()) {
            items.push_back(pItem->IsSeparator() ? "-"
                                                 : pItem->GetItemLabel().ToStdString() + "|" +
                                                       pItem->GetHelp().ToStdString() +
                                                       (pItem->IsCheckable() ? "|check" : ""));
        }
    }
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i], expected[i]) << i;
    }

    // The toolbar: the pictures in their order, tooltips and prompts.
    wxToolBar* pTools = m_pFrame->GetToolBar();
    ASSERT_NE(pTools, nullptr);
    ASSERT_EQ(pTools->GetToolsCount(), ToolbarLayout().size());
    for (size_t i = 0; i < ToolbarLayout().size(); ++i) {
        const int id = ToolbarLayout()[i];
        const wxToolBarToolBase* pTool = pTools->GetToolByPos(static_cast<int>(i));
        EXPECT_EQ(pTool->IsSeparator(), id == 0) << i;
        if (id != 0) {
            EXPECT_EQ(pTool->GetId(), WxIdOfCommand(id));
            EXPECT_EQ(pTool->GetShortHelp().ToStdString(), CommandTooltip(id));
            EXPECT_EQ(pTool->GetLongHelp().ToStdString(), CommandPrompt(id));
        }
    }

    wxStatusBar* pStatus = m_pFrame->GetStatusBar();
    ASSERT_EQ(pStatus->GetFieldsCount(), 2);
    EXPECT_EQ(pStatus->GetStatusText(0), "For Help, press F1");
    EXPECT_EQ(pStatus->GetStatusText(1), "Tuner Off");
    EXPECT_GE(pStatus->GetStatusWidth(1), 60);

    // The accelerators: exactly the table; Ctrl+N has none.
    const wxAcceleratorTable* pAccel = m_pFrame->GetAcceleratorTable();
    for (const SAccelInfo& accel : AcceleratorTable()) {
        wxKeyEvent key = CharHook(accel.nKeyCode,
                                  accel.nFlags == wxACCEL_CTRL    ? wxMOD_CONTROL
                                  : accel.nFlags == wxACCEL_SHIFT ? wxMOD_SHIFT
                                                                  : 0,
                                  0);
        EXPECT_EQ(pAccel->GetCommand(key), WxIdOfCommand(accel.nCommand)) << accel.nCommand;
    }
    wxKeyEvent ctrlN = CharHook('N', wxMOD_CONTROL, 'n');
    EXPECT_EQ(pAccel->GetCommand(ctrlN), -1);
    // The key itself is swallowed, so the menu's own shortcut cannot run it.
    EXPECT_TRUE(m_pFrame->GetEventHandler()->ProcessEvent(ctrlN));
    EXPECT_EQ(Form()->GetRunningDialog(), nullptr);
}

// GTK runs the accelerator of a menu item whenever the focused control does
// not take the key, so a shortcut the menu only shows must have none.
TEST_F(GuiTest, ShortcutsShownWithoutAnAcceleratorRunNothing) {
    AddDevices();
    OpenFrame();
    wxMenuBar* pBar = m_pFrame->GetMenuBar();
    std::vector<int> hintsOnly;
    for (const SCommandInfo& info : CommandTable()) {
        if (ShowsShortcutOnly(info.nId)) {
            hintsOnly.push_back(info.nId);
        }
        const wxMenuItem* pItem = pBar->FindItem(WxIdOfCommand(info.nId));
        ASSERT_NE(pItem, nullptr) << info.nId;
        const bool shown = std::string(info.pszText).find('\t') != std::string::npos;
        EXPECT_EQ(!ShownShortcut(pItem).empty(), shown) << info.pszText;
        EXPECT_EQ(HasWorkingShortcut(pItem), shown && !ShowsShortcutOnly(info.nId)) << info.pszText;
    }
    EXPECT_EQ(hintsOnly, (std::vector<int>{ID_NEW_TEMPERAMENT, ID_EDIT_TEMPERAMENT,
                                           ID_DELETE_TEMPERAMENT, ID_HELP_FINDER}));
    EXPECT_EQ(ShownShortcut(pBar->FindItem(WxIdOfCommand(ID_NEW_TEMPERAMENT))), "<Primary>n");

    // The keys as GTK delivers them to the window when no control takes them.
    bool bDialogRan = false;
    auto* pWindow = static_cast<GtkWidget*>(m_pFrame->GetHandle());
    for (guint key : {GDK_KEY_n, GDK_KEY_e, GDK_KEY_d}) {
        wxTheApp->CallAfter([&] {
            if (wxDialog* pDialog = Form()->GetRunningDialog()) {
                bDialogRan = true;
                pDialog->EndModal(wxID_CANCEL);
            }
        });
        EXPECT_FALSE(gtk_accel_groups_activate(G_OBJECT(pWindow), key, GDK_CONTROL_MASK)) << key;
        Settle();
    }
    EXPECT_FALSE(bDialogRan);
    EXPECT_TRUE(m_host.m_boxes.empty());
    // A real accelerator still works that way.
    EXPECT_TRUE(gtk_accel_groups_activate(G_OBJECT(pWindow), GDK_KEY_p, GDK_CONTROL_MASK));
    EXPECT_TRUE(View()->IsPlaying());
}

TEST_F(GuiTest, ATuningSessionThroughTheWindow) {
    AddDevices();
    OpenFrame();
    CKlavoraView* pView = View();
    ASSERT_NE(pView, nullptr);
    // The first start put the catalogue into the store, sorted in the list.
    auto* pList = wxDynamicCast(Form()->Control(IDC_TEMPERAMENTS), wxOwnerDrawnComboBox);
    ASSERT_NE(pList, nullptr);
    ASSERT_EQ(static_cast<size_t>(pList->GetCount()), SeedCatalogue().size());
    for (unsigned i = 1; i < pList->GetCount(); ++i) {
        EXPECT_LT(pList->GetString(i - 1).CmpNoCase(pList->GetString(i)), 0);
    }
    EXPECT_EQ(pList->GetSelection(), 0);

    // The user picks a temperament from the list.
    const int pick = pList->FindString("Werckmeister III");
    ASSERT_GE(pick, 0);
    pList->SetSelection(pick);
    wxCommandEvent choice(wxEVT_COMBOBOX, IDC_TEMPERAMENTS);
    choice.SetEventObject(pList);
    choice.SetInt(pick);
    pList->GetEventHandler()->ProcessEvent(choice);
    EXPECT_EQ(pView->GetTemperamentName(), "Werckmeister III");

    // A click on the E key: the pointer really lies over it.
    wxWindow* pKeyboard = Form()->Control(IDC_KEYBOARD);
    const wxPoint onE = PointOnKey(4);
    pKeyboard->WarpPointer(onE.x, onE.y);
    Settle();
    EXPECT_TRUE(pView->WantsKeyCursor());
    wxMouseEvent move(wxEVT_MOTION);
    move.SetEventObject(pKeyboard);
    pKeyboard->GetEventHandler()->ProcessEvent(move);
    EXPECT_TRUE(pKeyboard->GetCursor().IsOk());
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    click.SetEventObject(pKeyboard);
    pKeyboard->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(pView->GetNote(), 4);

    // A click on the name G of the circle starts the temperament there.
    wxWindow* pCircle = Form()->Control(IDC_CYCLE_OF_FIFTHS);
    const Rect& cellG = pView->GetCycleOfFifths().NameCell(1);
    pCircle->WarpPointer((cellG.left + cellG.right) / 2, (cellG.top + cellG.bottom) / 2);
    Settle();
    wxMouseEvent circleClick(wxEVT_LEFT_DOWN);
    circleClick.SetEventObject(pCircle);
    pCircle->GetEventHandler()->ProcessEvent(circleClick);
    EXPECT_EQ(pView->GetTemperaments()->Find("Werckmeister III")->GetRotation(), 1);

    // Typed letters choose notes: upper case a semitone above.
    wxKeyEvent upperF = CharHook('F', wxMOD_SHIFT, 'F');
    m_pFrame->GetEventHandler()->ProcessEvent(upperF);
    EXPECT_EQ(pView->GetNote(), 6);
    wxKeyEvent lowerA = CharHook('A', 0, 'a');
    m_pFrame->GetEventHandler()->ProcessEvent(lowerA);
    EXPECT_EQ(pView->GetNote(), 9);

    // Play-mode commands do nothing while nothing plays.
    Menu(ID_PLAY_MAJOR_THIRDS);
    EXPECT_EQ(pView->GetPlayMode(), 0);
    EXPECT_FALSE(MenuEnabled(m_pFrame, ID_PLAY_MAJOR_THIRDS));

    // Play Notes from the menu.
    Menu(ID_PLAY_NOTES);
    ASSERT_TRUE(pView->IsPlaying());
    EXPECT_EQ(m_pFrame->GetStatusBar()->GetStatusText(1), "Playing...");
    EXPECT_TRUE(MenuChecked(m_pFrame, ID_PLAY_NOTES));
    EXPECT_TRUE(MenuChecked(m_pFrame, ID_PLAY_SINGLE));
    EXPECT_FALSE(MenuEnabled(m_pFrame, ID_NEW_TEMPERAMENT));
    EXPECT_FALSE(MenuEnabled(m_pFrame, ID_OPTIONS));
    m_pFrame->GetToolBar()->UpdateWindowUI();
    EXPECT_TRUE(m_pFrame->GetToolBar()->GetToolState(WxIdOfCommand(ID_PLAY_NOTES)));
    EXPECT_FALSE(m_pFrame->GetToolBar()->GetToolEnabled(WxIdOfCommand(ID_EDIT_TEMPERAMENT)));

    // Ctrl+3 as the accelerator table routes it.
    wxKeyEvent ctrl3 = CharHook('3', wxMOD_CONTROL, '3');
    const int command = CommandOfWxId(m_pFrame->GetAcceleratorTable()->GetCommand(ctrl3));
    Menu(command);
    EXPECT_EQ(pView->GetPlayMode(), 2);
    EXPECT_TRUE(MenuChecked(m_pFrame, ID_PLAY_MAJOR_THIRDS));
    EXPECT_FALSE(MenuChecked(m_pFrame, ID_PLAY_SINGLE));
    // A disabled command is refused whichever way it comes.
    EXPECT_FALSE(m_pFrame->RouteCommand(ID_EDIT_TEMPERAMENT));
    EXPECT_TRUE(m_pFrame->RouteCommand(ID_OCTAVE_HIGHER));
    EXPECT_EQ(pView->GetOctaveFactor(), 2.0);

    // A played buffer comes back: while the event loop sleeps, the sound
    // thread hands it to the view to be filled and queued again.
    const int queued = m_sim.QueuedOutCount();
    ASSERT_GT(queued, 0);
    m_sim.ClearPlayed();
    ASSERT_EQ(m_sim.Process(1), 1);
    EXPECT_EQ(m_sim.QueuedOutCount(), queued - 1);
    EXPECT_TRUE(RunLoopUntil([&] { return m_sim.QueuedOutCount() == queued; }, 2000));
    EXPECT_FALSE(m_sim.PlayedBytes().empty());

    // Tuning stops the playing.
    Menu(ID_TUNE_MICROPHONE);
    EXPECT_TRUE(pView->IsListening());
    EXPECT_FALSE(pView->IsPlaying());
    EXPECT_EQ(m_pFrame->GetStatusBar()->GetStatusText(1), "Listening...");
    EXPECT_TRUE(MenuChecked(m_pFrame, ID_TUNE_MICROPHONE));

    // The display mode, then closing the window writes the settings.
    Menu(ID_TUNE_MICROPHONE);
    Menu(ID_VIEW_FREQUENCIES);
    EXPECT_TRUE(MenuChecked(m_pFrame, ID_VIEW_FREQUENCIES));
    EXPECT_EQ(Setting("View"), "<missing>");
    CloseFrame();
    EXPECT_EQ(Setting("Temperament"), "Werckmeister III");
    EXPECT_EQ(Setting("View"), "5");
    EXPECT_EQ(Setting("StandardA"), "415");
    EXPECT_EQ(m_sim.OpenInCount() + m_sim.OpenOutCount(), 0);
}

TEST_F(GuiTest, StartWithoutSoundCardShowsItsMessageOverTheWindow) {
    OpenFrame();  // no devices at all
    // The start-up's message waited for the window and then went to the host.
    ASSERT_EQ(m_host.m_boxes.size(), 1u);
    EXPECT_EQ(m_host.m_boxes[0].text,
              "Klavora was unable to find a soundcard it can use.\r\n"
              "You will not be able to tune or play sounds.");
    EXPECT_EQ(m_host.m_boxes[0].caption, "Klavora");
    EXPECT_EQ(m_host.m_boxes[0].type, unsigned(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(Form()->HeldMessageCount(), 0u);
    EXPECT_FALSE(MenuEnabled(m_pFrame, ID_TUNE_MICROPHONE));
    EXPECT_FALSE(MenuEnabled(m_pFrame, ID_PLAY_NOTES));
    EXPECT_TRUE(MenuEnabled(m_pFrame, ID_NEW_TEMPERAMENT));
    Menu(ID_PLAY_NOTES);
    EXPECT_FALSE(View()->IsPlaying());
}

TEST_F(GuiTest, FirstStartCreatesTheStoreOnceOnly) {
    std::string error;
    ASSERT_FALSE(m_store.Exists());
    ASSERT_TRUE(PrepareStoreOnFirstStart(error)) << error;
    ASSERT_TRUE(m_store.Exists());
    // A catalogue the user emptied stays empty at the next start.
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    ASSERT_NE(key, nullptr);
    for (const SeedTemperament& seed : SeedCatalogue()) {
        reg.DeleteValue(key, seed.name);
    }
    reg.Close(key);
    const std::string before = CTempStore::ReadBytes(m_store.Path());
    ASSERT_TRUE(PrepareStoreOnFirstStart(error));
    EXPECT_EQ(CTempStore::ReadBytes(m_store.Path()), before);
    // A store that cannot be made is reported.
    setenv("KLAVORA_STORE", "/proc/klavora/none.db", 1);
    EXPECT_FALSE(PrepareStoreOnFirstStart(error));
    EXPECT_FALSE(error.empty());
}
