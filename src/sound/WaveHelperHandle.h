// SPDX-License-Identifier: GPL-3.0-or-later
// The program's record of one device open in the sound helper, shared by the
// two sources of CWaveHelperLayer. Private to src/sound.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "sound/SharedArena.h"
#include "sound/WaveHelperLayer.h"

// One open device: where its buffers have their places in the shared arena,
// which of them are with the helper, and the completions still to deliver.
struct CWaveHelperLayer::SHandle {
    EWaveDirection m_nDirection = EWaveDirection::Playback;
    WAVEFORMATEX m_format{};
    CWaveSink* m_pSink = nullptr;
    std::shared_ptr<CWaveHelperLink> m_pLink;  // null once lost
    CSharedArena m_arena;
    std::vector<WAVEHDR*> m_inFlight;  // with the helper
    std::deque<WAVEHDR*> m_completions;
    bool m_bStarted = false;  // recording: between a start and a reset
    bool m_bLost = false;
    bool m_bLostPending = false;

    // Whether sound should be moving, so that the helper has to keep talking.
    bool Running() const {
        return !m_bLost && !m_inFlight.empty() && (m_bStarted || !IsRecording(m_nDirection));
    }
};
