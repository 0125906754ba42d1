#include "gui/KlavoraApp.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gdk/gdk.h>
#include <glib.h>
#include <wx/cmdline.h>
#include <wx/cshelp.h>
#include <wx/filename.h>

#include "gui/FirstStart.h"
#include "gui/HelpNote.h"
#include "gui/MainFrame.h"
#include "gui/SingleInstance.h"
#include "gui/TemperamentFiles.h"
#include "sound/SoundHelperPath.h"
#include "sound/WaveHelperLink.h"

wxIMPLEMENT_APP_NO_MAIN(CKlavoraApp);

int main(int argc, char** argv) {
    // Nothing here draws with OpenGL, but GTK probes GLX when it opens the
    // display, and on a machine without a GPU driver that maps Mesa's
    // software renderer with all of LLVM (some 50 MB resident). A user who
    // wants GTK's GL anyway can still set GDK_GL.
    setenv("GDK_GL", "disable", 0);
    // The sound devices are probed before the window shows; the helper that
    // probes them starts now, so that its start-up runs alongside the
    // toolkit's and the window's, and the probe finds it ready.
    CWaveHelperLink::StartAhead(FindSoundHelper());
    return wxEntry(argc, argv);
}

CKlavoraApp::CKlavoraApp() {
    // Before the toolkit starts: the desktop matches the windows to the
    // desktop entry by these, the application id on Wayland and the X
    // window's class (the entry's StartupWMClass) on X11.
    g_set_prgname(KLAVORA_APP_ID);
    gdk_set_program_class("Klavora");
}

bool CKlavoraApp::OnInit() {
    // The standard command line only (--help and the toolkit's options).
    if (!wxApp::OnInit()) {
        return m_bHelpOnly;
    }
    SetAppName("Klavora");
    wxHelpProvider::Set(new CHelpNoteProvider);

    std::string error;
    if (!PrepareStoreOnFirstStart(error)) {
        // The program still runs; without the store it has no temperaments.
        std::fprintf(stderr, "klavora: the settings store could not be created: %s\n",
                     error.c_str());
    }

    // A file for a program that runs already goes to it, and this start
    // ends; else this program takes the files of later starts.
    m_pInstance = std::make_unique<CSingleInstance>();
    if (!m_strFile.empty() && m_pInstance->HandOver(m_strFile)) {
        m_bHandedOver = true;
        return true;
    }

    CMainFrame* pFrame = new CMainFrame;
    SetTopWindow(pFrame);
    pFrame->Show();
    m_pInstance->Serve(
        [pFrame](const std::string& file) { pFrame->GetTemperamentFiles().OpenLater(file); });
    if (!m_strFile.empty()) {
        pFrame->GetTemperamentFiles().OpenLater(m_strFile);
    }
    // Building the window freed much more than it keeps; give it back.
    CallAfter([] { malloc_trim(0); });
    return true;
}

bool CKlavoraApp::OnCmdLineHelp(wxCmdLineParser& parser) {
    m_bHelpOnly = true;
    return wxApp::OnCmdLineHelp(parser);
}

void CKlavoraApp::OnInitCmdLine(wxCmdLineParser& parser) {
    wxApp::OnInitCmdLine(parser);
    parser.AddParam("FILE.scl", wxCMD_LINE_VAL_STRING, wxCMD_LINE_PARAM_OPTIONAL);
}

bool CKlavoraApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    if (!wxApp::OnCmdLineParsed(parser)) {
        return false;
    }
    if (parser.GetParamCount() > 0) {
        wxFileName file(parser.GetParam(0));
        file.MakeAbsolute();
        m_strFile = std::string(file.GetFullPath().utf8_str());
    }
    return true;
}

int CKlavoraApp::OnRun() {
    return m_bHelpOnly || m_bHandedOver ? 0 : wxApp::OnRun();
}

int CKlavoraApp::OnExit() {
    // No file may reach the window once it is gone.
    if (m_pInstance) {
        m_pInstance->StopServing();
    }
    return wxApp::OnExit();
}
