// SPDX-License-Identifier: GPL-3.0-or-later
// CMainFrame is the program's window: a fixed-size frame titled "Klavora"
// with the menus, accelerators, toolbar and status bar around the main form.
// It owns the view, routes every command to it only while the command's
// state enables it, shows the states on menu items and toolbar buttons, keeps
// the tuner pane of the status bar current, and shuts the view down when the
// window closes. User-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <wx/frame.h>

#include "gui/HelpBook.h"
#include "gui/WavePump.h"

class CFineTunerWindow;
class CSurveyWindow;
class CKlavoraForm;
class CKlavoraView;
class CTemperamentFiles;

class CMainFrame : public wxFrame {
public:
    // Builds the bars and the form, creates the view and runs its start-up.
    CMainFrame();
    ~CMainFrame() override;

    // Showing the frame also shows, once it is on screen, the messages its
    // start-up held back.
    bool Show(bool show = true) override;

    CKlavoraView* GetView() const { return m_pView.get(); }
    CKlavoraForm* GetForm() const { return m_pForm; }
    CHelpBook& GetHelpBook() { return m_help; }
    // The commands for temperaments in files, and the files from outside.
    CTemperamentFiles& GetTemperamentFiles() { return *m_pFiles; }

    // Runs a command of the view as a menu item, toolbar button or
    // accelerator does: only when its state enables it. True if it ran.
    bool RouteCommand(int nId);
    // Opens the Fine Tuner beside the main window, or raises it.
    void ShowFineTuner();
    CFineTunerWindow* FineTunerWindow() const { return m_pFineTuner; }
    // What the Fine Tuner's Survey... button runs; while none is set, the
    // button is disabled.
    void SetSurveyCommand(std::function<void(CFineTunerWindow&)> fnSurvey);
    // Opens the survey window fed by the Fine Tuner's readings, or raises it.
    void ShowSurvey(CFineTunerWindow& tuner);
    CSurveyWindow* SurveyWindow() const { return m_pSurvey; }
    // Sets the tuner pane from the view's state.
    void UpdateTunerPane();
    // The status-bar text shown while nothing else is.
    static const char* const kIdleText;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildAccelerators();
    // Sizes the frame so that its client area is the form, or centres the
    // form where the toolbar makes the frame wider.
    void FitToForm();
    void PlaceForm();
    wxSize WantedClientSize() const;
    // Saves the settings, stops the sound completions and deletes the view.
    void ShutDownView();
    // The help book at the topic of what has the focus.
    void ShowHelpForFocus();
    void ShowContextHelp();
    void ToggleBar(wxWindow* pBar);

    void OnViewCommand(wxCommandEvent& event);
    void OnUpdateViewCommand(wxUpdateUIEvent& event);
    void OnFrameCommand(wxCommandEvent& event);
    void OnUpdateBarCommand(wxUpdateUIEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnThemeChanged(wxSysColourChangedEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnSize(wxSizeEvent& event);

    CKlavoraForm* m_pForm = nullptr;
    std::unique_ptr<CKlavoraView> m_pView;
    CWavePump m_pump;
    wxSize m_formSize;
    int m_nRefitsLeft = 0;
    CHelpBook m_help;
    std::unique_ptr<CTemperamentFiles> m_pFiles;
    CFineTunerWindow* m_pFineTuner = nullptr;
    std::function<void(CFineTunerWindow&)> m_fnSurvey;
    CSurveyWindow* m_pSurvey = nullptr;
};
