// SPDX-License-Identifier: GPL-3.0-or-later
// IFineTunerForm is what the Fine Tuner asks of its window: the face's
// canvas, what a screen reader is told, the state of the window's controls
// and of its calibration window, message boxes, and calls a little later.
// The wx window implements it; tests use a fake. User-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "presenter/AccessibleForm.h"
#include "presenter/MessageHost.h"

class ICanvas;

// The state of the window's own controls.
struct SFineControls {
    bool bAnyNote = false;
    double dInTuneCents = 1.0;
    bool bCanListen = false;     // Listen: neither listening nor playing
    bool bCanCalibrate = false;  // Calibrate: a recording device to listen with

    friend bool operator==(const SFineControls& a, const SFineControls& b) {
        return a.bAnyNote == b.bAnyNote && a.dInTuneCents == b.dInTuneCents &&
               a.bCanListen == b.bCanListen && a.bCanCalibrate == b.bCanCalibrate;
    }
    friend bool operator!=(const SFineControls& a, const SFineControls& b) { return !(a == b); }
};

// What the calibration window shows.
struct SCalibrationView {
    bool bRunning = false;
    double dProgress = 0.0;  // 0..1 while running
    std::string status;      // what happened last, or what is happening
    std::string correction;  // the correction in force
    bool bCanReset = false;
};

class IFineTunerForm : public IMessageHost {
public:
    ~IFineTunerForm() override = default;

    // The face's canvas; null while the window has none.
    virtual ICanvas* GetFaceCanvas() = 0;
    // A new description of the face for screen readers, and a reading to say now.
    virtual void TellFace(const SAccessibleState& state) = 0;
    virtual void Announce(const std::string& text) = 0;
    // Asks for CFineTuner::OnPoll in nMs; a later request replaces an earlier one.
    virtual void PollAfter(int nMs) = 0;
    // Runs fn after the handler now running, unless the window is gone by then.
    virtual void CallSoon(std::function<void()> fn) = 0;
    virtual void ShowControls(const SFineControls& controls) = 0;
    virtual void ShowCalibration(const SCalibrationView& calibration) = 0;
};
