// SPDX-License-Identifier: GPL-3.0-or-later
// The world a window test runs in: a private store created as on a first
// start, a simulated sound card with one recording and one playback device,
// and the real main frame with its form and view. Message boxes go to a
// scripted host; modal dialogs are driven by scripts that run inside their
// modal loops and are closed by force if a script leaves them open.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <glib.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/frame.h>

#include "gui/CommandTable.h"
#include "gui/FirstStart.h"
#include "gui/KlavoraForm.h"
#include "gui/MainFrame.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "store/RegistryKey.h"
#include "store/StoreSetup.h"
#include "support/ScriptedMessages.h"
#include "support/StoreSettings.h"
#include "support/TempStore.h"
#include "support/WaveSimulator.h"

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static bool m_bReady;
};

class GuiTest : public ::testing::Test {
protected:
    GuiTest() : m_layer(&m_sim) {}
    ~GuiTest() override { CloseFrame(); }

    void SetUp() override { ASSERT_TRUE(GuiEnvironment::m_bReady) << "no display"; }

    // The sound card most tests use.
    void AddDevices() {
        m_sim.AddInDevice("Line In");
        m_sim.AddOutDevice("Speakers");
    }
    // Builds and shows the main window as the program's start does.
    void OpenFrame() {
        std::string error;
        ASSERT_TRUE(PrepareStoreOnFirstStart(error)) << error;
        m_pFrame = new CMainFrame;
        Form()->SetMessageHost(&m_host);
        m_pFrame->Show();
        Settle();
    }
    // Closes the window as the user does; the frame is gone afterwards.
    void CloseFrame() {
        if (m_pFrame != nullptr) {
            m_pFrame->Close(true);
            m_pFrame = nullptr;
            Settle();
        }
    }
    CKlavoraForm* Form() const { return m_pFrame->GetForm(); }
    CKlavoraView* View() const { return m_pFrame->GetView(); }

    // Lets the toolkit and wx handle what is waiting, a bounded number of times.
    static void Settle() {
        for (int i = 0; i < 50 && wxTheApp->Pending(); ++i) {
            wxTheApp->Dispatch();
        }
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }

    // Runs the event loop as the program does, asleep between events (which
    // lets the sound thread in), until done() holds or nMs have passed.
    static bool RunLoopUntil(const std::function<bool()>& done, int nMs) {
        // A tick, so that each sleep is short and done() is asked again.
        const guint nTick = g_timeout_add(
            5, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
        bool bDone = done();
        while (!bDone && std::chrono::steady_clock::now() < deadline) {
            g_main_context_iteration(nullptr, TRUE);
            wxTheApp->ProcessPendingEvents();
            bDone = done();
        }
        g_source_remove(nTick);
        return bDone;
    }

    // Sends a command to the frame, as a menu item or accelerator does.
    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, WxIdOfCommand(id));
        event.SetEventObject(m_pFrame);
        m_pFrame->GetEventHandler()->ProcessEvent(event);
    }

    // Runs script inside the modal loop of the next dialog the form runs.
    // Whatever the script leaves open is cancelled, so no test can hang.
    template <typename Window>
    void WhenDialogRuns(std::function<void(Window&)> script) {
        m_bScriptRan = false;
        wxTheApp->CallAfter([this, script] {
            wxDialog* pDialog = Form()->GetRunningDialog();
            Window* pWindow = dynamic_cast<Window*>(pDialog);
            if (pWindow == nullptr) {
                ADD_FAILURE() << "the expected dialog is not running";
            } else {
                m_bScriptRan = true;
                script(*pWindow);
            }
            if (pDialog != nullptr && pDialog->IsModal()) {
                pDialog->EndModal(wxID_CANCEL);
            }
        });
    }

    std::string Setting(const std::string& name) { return ReadStoredSetting(name); }

    CTempStore m_store;
    CWaveSimulator m_sim;
    CScopedWaveLayer m_layer;
    CScriptedHost m_host;
    CMainFrame* m_pFrame = nullptr;
    bool m_bScriptRan = false;
};
