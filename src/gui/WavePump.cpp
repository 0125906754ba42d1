#include "gui/WavePump.h"

#include <wx/app.h>

#include "gui/UiThreadLock.h"
#include "sound/WaveDispatcher.h"
#include "sound/WaveLayer.h"

CWavePump::CWavePump() = default;

CWavePump::~CWavePump() {
    Stop();
}

void CWavePump::Start() {
    Stop();
    m_pDispatcher = std::make_unique<CWaveDispatcher>(
        GetWaveLayer(), UiThreadLock(), [](const std::function<void()>& fnCall) {
            if (wxTheApp != nullptr) {
                wxTheApp->CallAfter(fnCall);  // wx keeps a copy of its own
            }
        });
    m_pDispatcher->Start();
}

void CWavePump::Stop() {
    if (m_pDispatcher) {
        m_pDispatcher->Stop();
        m_pDispatcher.reset();
    }
}
