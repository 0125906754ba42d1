// CKlavoraApp is the application object: on start it creates the store on
// the first start, builds the main window and shows it; the window's closing
// ends the program. User-interface thread only.
#pragma once

#include <wx/app.h>

class CKlavoraApp : public wxApp {
public:
    CKlavoraApp();
    bool OnInit() override;
    // --help prints the usage and ends the program with status 0, as a
    // command line's help does, rather than as a failed start.
    bool OnCmdLineHelp(wxCmdLineParser& parser) override;
    int OnRun() override;

private:
    bool m_bHelpOnly = false;
};
