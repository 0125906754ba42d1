// SPDX-License-Identifier: GPL-3.0-or-later
// CFineTunerWindow is the Fine Tuner: a resizable window beside the main one
// with the tuner's face, the "Any note" and in-tune band controls, Listen,
// Calibrate and Survey. It is a thin layer over CFineTuner, which does all
// the work; the face is drawn through a canvas and told to screen readers
// through an accessible object of its own. The calibration has a small
// window of its own, opened from Calibrate. User-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "gui/WxMessageHost.h"
#include "presenter/FineTuner.h"
#include "presenter/FineTunerForm.h"

class CKlavoraView;
class CWxCanvas;
class wxButton;
class wxCheckBox;
class wxChoice;
class wxGauge;
class wxStaticText;
class wxTextCtrl;
typedef struct _AtkObject AtkObject;

class CFineTunerWindow : public wxDialog, public IFineTunerForm {
public:
    static constexpr const char* kTitle = "Fine Tuner";

    CFineTunerWindow(wxWindow* pParent, CKlavoraView& view);
    ~CFineTunerWindow() override;

    // The presenter: its readings, for a survey or a log (AddObserver).
    CFineTuner& Tuner() { return *m_pTuner; }
    // What Survey... runs; the button is disabled while there is none.
    void SetSurveyHandler(std::function<void()> fnSurvey);
    // Ends the listening it started; the window then destroys itself.
    void CloseTuner();

    // Moves the window beside pParent where the screen has room; the window
    // manager may place a new window where it likes until it is shown.
    void MoveBeside(wxWindow* pParent);
    wxWindow* Face() const { return m_pFace; }
    wxDialog* CalibrationWindow() const { return m_pCalibration; }
    void ShowCalibrationWindow();

    // ---- IFineTunerForm ----
    ICanvas* GetFaceCanvas() override;
    void TellFace(const SAccessibleState& state) override;
    void Announce(const std::string& text) override;
    void PollAfter(int nMs) override;
    void CallSoon(std::function<void()> fn) override;
    void ShowControls(const SFineControls& controls) override;
    void ShowCalibration(const SCalibrationView& calibration) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;

private:
    void CreateControls();
    void CreateCalibrationWindow();
    // Sizes the window and places it beside the main window.
    void Place(wxWindow* pParent);

    std::unique_ptr<CFineTuner> m_pTuner;
    wxWindow* m_pFace = nullptr;
    std::unique_ptr<CWxCanvas> m_pCanvas;
    AtkObject* m_pAccessible = nullptr;
    wxCheckBox* m_pAnyNote = nullptr;
    wxChoice* m_pInTune = nullptr;
    wxButton* m_pListen = nullptr;
    wxButton* m_pCalibrate = nullptr;
    wxButton* m_pSurvey = nullptr;
    std::function<void()> m_fnSurvey;
    wxTimer m_poll;
    CWxMessageHost m_messages;
    bool m_bClosing = false;

    // The calibration window and its controls.
    wxDialog* m_pCalibration = nullptr;
    wxTextCtrl* m_pReference = nullptr;
    wxGauge* m_pProgress = nullptr;
    wxStaticText* m_pStatus = nullptr;
    wxStaticText* m_pCorrection = nullptr;
    wxButton* m_pStart = nullptr;
    wxButton* m_pLoopback = nullptr;
    wxButton* m_pStop = nullptr;
    wxButton* m_pReset = nullptr;
    SCalibrationView m_calibration;
    bool m_bCanCalibrate = false;
};
