// SPDX-License-Identifier: GPL-3.0-or-later
// One wx application for the whole test program; the tests need a display.
#include "gui/GuiTestSupport.h"

#include <wx/init.h>

bool GuiEnvironment::m_bReady = false;

void GuiEnvironment::SetUp() {
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);
    m_bReady = wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
}

void GuiEnvironment::TearDown() {
    if (m_bReady) {
        wxTheApp->OnExit();
    }
    wxEntryCleanup();
}

namespace {
const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);
}  // namespace
