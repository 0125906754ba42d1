// SPDX-License-Identifier: GPL-3.0-or-later
// CKlavoraApp is the application object: on start it creates the store on
// the first start, builds the main window and shows it; the window's closing
// ends the program. User-interface thread only.
#pragma once

#include <memory>
#include <string>

#include <wx/app.h>

class CSingleInstance;

class CKlavoraApp : public wxApp {
public:
    CKlavoraApp();
    bool OnInit() override;
    // --help prints the usage and ends the program with status 0, as a
    // command line's help does, rather than as a failed start.
    bool OnCmdLineHelp(wxCmdLineParser& parser) override;
    // The command line may name a Scala file to import.
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;
    int OnRun() override;
    int OnExit() override;

private:
    bool m_bHelpOnly = false;
    // The file of the command line (absolute), and whether the program that
    // already runs took it, so that this start ends at once.
    std::string m_strFile;
    bool m_bHandedOver = false;
    std::unique_ptr<CSingleInstance> m_pInstance;
};
