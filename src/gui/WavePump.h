// SPDX-License-Identifier: GPL-3.0-or-later
// CWavePump brings the sound devices' completions to the view through a
// CWaveDispatcher on the user-interface lock: buffers that change nothing on
// screen are handled on the dispatcher's sound thread while the window sleeps;
// the rest reach the user-interface thread as calls queued on the wx event
// loop. Start, Stop and the destructor are called on the user-interface thread.
#pragma once

#include <memory>

class CWaveDispatcher;

class CWavePump {
public:
    CWavePump();
    ~CWavePump();
    CWavePump(const CWavePump&) = delete;
    CWavePump& operator=(const CWavePump&) = delete;

    // Starts serving the current wave layer.
    void Start();
    // Stops; no completion is delivered after this returns.
    void Stop();

private:
    std::unique_ptr<CWaveDispatcher> m_pDispatcher;
};
