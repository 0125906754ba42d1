// SPDX-License-Identifier: GPL-3.0-or-later
// CTuningSheetWindow shows the tuning sheet of the main window's temperament
// beside it: the page as it prints, drawn with the sheet's own cairo drawing,
// the bearing to choose, Save as PDF, Save as SVG and Print through the
// toolkit's print dialog (a printer, or a PDF file). The logic
// (CTuningSheetDlg) holds the sheet; the window asks the source for the
// temperament whenever it idles and redraws when it changed. User-interface
// thread only.
#pragma once

#include <functional>
#include <string>

#include <wx/dialog.h>

#include "storetool/TuningSheetDlg.h"

class CTemperament;
class IMessageHost;
class wxChoice;

class CTuningSheetWindow : public wxDialog {
public:
    // What the main window shows now: false when it shows no temperament.
    using Source = std::function<bool(std::string& name, CTemperament& t, double& standardA)>;

    CTuningSheetWindow(wxWindow* pParent, Source source, IMessageHost& host,
                       std::function<void(const std::string&)> showHelp);

    // Takes the main window's temperament again; redraws when it changed.
    void FollowSource();
    const CTuningSheetDlg& Sheet() const { return m_dlg; }
    wxChoice* BearingChoice() const { return m_pBearing; }

    // The buttons: a file dialog, then the file; the print dialog.
    void SaveAs(SheetFormat format);
    void Print();

private:
    void CreateControls();
    // Sizes the window for the page and places it beside the main window.
    void Place(wxWindow* pParent);

    CTuningSheetDlg m_dlg;
    Source m_source;
    IMessageHost& m_host;
    std::function<void(const std::string&)> m_showHelp;
    wxWindow* m_pPage = nullptr;
    wxChoice* m_pBearing = nullptr;
};
