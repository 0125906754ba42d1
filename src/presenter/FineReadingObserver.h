// SPDX-License-Identifier: GPL-3.0-or-later
// IFineReadingObserver takes the Fine Tuner's readings as they come: every
// reading of the fine analysis (about one each 50 ms while the window
// listens), in order, whether the window shows it or not. A survey, a log or a
// chart registers one with CFineTuner::AddObserver.
#pragma once

#include "audio/FineReading.h"

class IFineReadingObserver {
public:
    virtual ~IFineReadingObserver() = default;

    // One reading. Runs with the user-interface lock held, on the sound
    // thread or on the user-interface thread: keep it short and touch no
    // window. Returns true when what the observer shows has changed; the
    // window is then woken and OnFineReadingsShown follows on the
    // user-interface thread (once for several such readings).
    virtual bool OnFineReading(const CFineReading& reading) = 0;
    // On the user-interface thread, after readings for which OnFineReading
    // returned true.
    virtual void OnFineReadingsShown() {}
    // The readings before no longer continue: listening stopped or started
    // afresh, or the window closed.
    virtual void OnFineReadingsReset() {}
};
