// SPDX-License-Identifier: GPL-3.0-or-later
// CTemperamentFiles carries the main window's commands for temperaments in
// files: Import Scala File, Export Scala File and Tuning Sheet, whose states
// follow the view's; and the Scala files that reach the window from outside
// (the command line, another start of the program, a file dropped on the
// window), each imported as Import Scala File imports it once no other
// dialog is open and the command is enabled. User-interface thread only.
#pragma once

#include <deque>
#include <string>

#include <wx/timer.h>

class CMainFrame;
class CTemperament;
class CTuningSheetWindow;

class CTemperamentFiles {
public:
    explicit CTemperamentFiles(CMainFrame& frame);
    ~CTemperamentFiles();
    CTemperamentFiles(const CTemperamentFiles&) = delete;
    CTemperamentFiles& operator=(const CTemperamentFiles&) = delete;

    // A file to import as soon as the window can: now, or when the dialog
    // that is open closes.
    void OpenLater(const std::string& path);
    // The import of one file: the preview, or the message that says why the
    // file cannot be imported.
    void Import(const std::string& path);
    void ImportWithChooser();
    void ExportWithChooser();
    void ShowSheet();

    CTuningSheetWindow* SheetWindow() const { return m_pSheet; }
    std::size_t WaitingFiles() const { return m_waiting.size(); }

private:
    // The temperament the main window shows, or null.
    const CTemperament* Current() const;
    bool ImportEnabled() const;
    void TryWaiting();

    CMainFrame& m_frame;
    std::deque<std::string> m_waiting;
    wxTimer m_retry;
    bool m_bImporting = false;
    CTuningSheetWindow* m_pSheet = nullptr;
};
