// SPDX-License-Identifier: GPL-3.0-or-later
// CSurveyWindow shows a survey of an instrument as the user plays the notes
// of one octave: the twelve cells as they fill (times heard, spread, the best
// fit's residual marked in tune or in colour), a cell to clear and play
// again, the ranking of the catalogue with each temperament's Standard A, its
// RMS and largest residual, the pass count, the residuals on a small circle
// of fifths, "Save as Temperament..." for the temperament the notes make, and
// an instrument's name to keep the survey under and to show how far it moved
// since it was last kept. The logic is CSurveyDlg's; this window shows it and
// forwards the user's actions.
//
// The readings come from whoever listens: OnReading takes each reading of
// the fine pitch analysis; OnRecordedBlock takes the recorder's 16-bit blocks
// and runs its own analysis over them. The main window's view gives the
// catalogue, the Exact Temperaments setting and Standard A, and takes a
// temperament saved here into its list. User-interface thread only.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include <wx/frame.h>

#include "presenter/FineReadingObserver.h"
#include "presenter/SurveyDlg.h"

class CFineAnalyser;
class CKlavoraView;
class IMessageHost;
class wxButton;
class wxListCtrl;
class wxStaticText;
class wxTextCtrl;
class wxWindow;

class CSurveyWindow : public wxFrame {
public:
    // pParent: the window it opens beside (the Fine Tuner); view: the main
    // window's; host: shows the messages of saving and comparing.
    CSurveyWindow(wxWindow* pParent, CKlavoraView& view, IMessageHost& host);
    ~CSurveyWindow() override;

    // A reading of the fine pitch analysis.
    void OnReading(const CFineReading& r);
    // A block as the recorder delivers it: 16-bit samples, interleaved.
    void OnRecordedBlock(const void* pData, std::size_t nBytes, int nRate, int nChannels);
    // The catalogue, the arithmetic or Standard A changed in the main window.
    void FollowView();
    // Takes the Fine Tuner's readings (CFineTuner::AddObserver): they arrive
    // on the sound thread and reach OnReading on the user-interface thread.
    IFineReadingObserver& ReadingFeed() { return m_feed; }

    const CSurveyDlg& Survey() const { return m_dlg; }
    CSurveyDlg& Survey() { return m_dlg; }
    // Shows everything anew from the logic.
    void ShowAll();

    wxListCtrl* NoteTable() const { return m_pNotes; }
    wxListCtrl* RankingTable() const { return m_pRanking; }
    wxTextCtrl* InstrumentEdit() const { return m_pInstrument; }

    // The buttons' actions.
    void ClearSelectedNote();
    void SaveAsTemperament();
    void SaveAsTemperament(const std::string& strName);
    void KeepSurvey();
    void Compare();

private:
    // Keeps the readings of the sound thread until the user-interface
    // thread shows them.
    class CFeed : public IFineReadingObserver {
    public:
        explicit CFeed(CSurveyWindow& window) : m_window(window) {}
        bool OnFineReading(const CFineReading& reading) override;
        void OnFineReadingsShown() override;
        void OnFineReadingsReset() override;

    private:
        CSurveyWindow& m_window;
        std::mutex m_mutex;
        std::vector<CFineReading> m_pending;
    };

    void CreateControls();
    void ShowNotes();
    void ShowRanking();
    void PaintCircle();
    void UpdateButtons();

    CKlavoraView& m_view;
    IMessageHost& m_host;
    CSurveyDlg m_dlg;
    FifthArithmetic m_arithmetic;
    std::size_t m_nCatalogueSize = 0;
    double m_dStandardA = 0;
    std::unique_ptr<CFineAnalyser> m_pAnalyser;
    CFeed m_feed{*this};

    wxStaticText* m_pStatus = nullptr;
    wxListCtrl* m_pNotes = nullptr;
    wxWindow* m_pCircle = nullptr;
    wxListCtrl* m_pRanking = nullptr;
    wxStaticText* m_pPass = nullptr;
    wxStaticText* m_pClose = nullptr;
    wxStaticText* m_pDrift = nullptr;
    wxTextCtrl* m_pInstrument = nullptr;
    wxButton* m_pClear = nullptr;
    wxButton* m_pSaveTemperament = nullptr;
    wxButton* m_pKeep = nullptr;
    wxButton* m_pCompare = nullptr;
};
