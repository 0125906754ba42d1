#include "gui/KlavoraApp.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <wx/cshelp.h>

#include "gui/FirstStart.h"
#include "gui/MainFrame.h"

wxIMPLEMENT_APP_NO_MAIN(CKlavoraApp);

int main(int argc, char** argv) {
    // Nothing here draws with OpenGL, but GTK probes GLX when it opens the
    // display, and on a machine without a GPU driver that maps Mesa's
    // software renderer with all of LLVM (some 50 MB resident). A user who
    // wants GTK's GL anyway can still set GDK_GL.
    setenv("GDK_GL", "disable", 0);
    return wxEntry(argc, argv);
}

bool CKlavoraApp::OnInit() {
    // The standard command line only (--help and the toolkit's options).
    if (!wxApp::OnInit()) {
        return false;
    }
    SetAppName("Klavora");
    wxHelpProvider::Set(new wxSimpleHelpProvider);

    std::string error;
    if (!PrepareStoreOnFirstStart(error)) {
        // The program still runs; without the store it has no temperaments.
        std::fprintf(stderr, "klavora: the settings store could not be created: %s\n",
                     error.c_str());
    }

    CMainFrame* pFrame = new CMainFrame;
    SetTopWindow(pFrame);
    pFrame->Show();
    // Building the window freed much more than it keeps; give it back.
    CallAfter([] { malloc_trim(0); });
    return true;
}
