#include "gui/WavePump.h"

#include <wx/app.h>

#include "platform/WaveLayer.h"

void CWavePump::Start() {
    Stop();
    m_pState = std::make_shared<SState>(GetWaveLayer());
    std::shared_ptr<SState> pState = m_pState;
    m_pState->m_pLayer->SetWakeHandler([pState] { Wake(pState); });
}

void CWavePump::Stop() {
    if (!m_pState) {
        return;
    }
    m_pState->m_bActive.store(false, std::memory_order_release);
    m_pState->m_pLayer->SetWakeHandler(nullptr);
    m_pState.reset();
}

void CWavePump::Wake(const std::shared_ptr<SState>& pState) {
    if (!pState->m_bActive.load(std::memory_order_acquire) || wxTheApp == nullptr) {
        return;
    }
    // One queued call drains everything that has arrived until it runs.
    if (pState->m_bQueued.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    wxTheApp->CallAfter([pState] {
        pState->m_bQueued.store(false, std::memory_order_release);
        if (pState->m_bActive.load(std::memory_order_acquire)) {
            pState->m_pLayer->Pump();
        }
    });
}
