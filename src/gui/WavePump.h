// CWavePump brings the sound devices' completions to the user-interface
// thread: the wave layer's wake handler (called on a thread of the layer)
// only queues one call on the wx event loop, and that call, on the
// user-interface thread, runs the layer's Pump, which hands the finished
// buffers to the view. Start, Stop and the destructor are called on the
// user-interface thread.
#pragma once

#include <atomic>
#include <memory>

class CWaveLayer;

class CWavePump {
public:
    CWavePump() = default;
    ~CWavePump() { Stop(); }
    CWavePump(const CWavePump&) = delete;
    CWavePump& operator=(const CWavePump&) = delete;

    // Installs the wake handler on the current wave layer.
    void Start();
    // Removes it. A wake already on its way finds the pump stopped and does
    // nothing, so no completion is delivered after this returns.
    void Stop();
    bool IsRunning() const { return m_pState != nullptr; }

private:
    // Shared with the wake handler, which may outlive this object by a call.
    struct SState {
        explicit SState(CWaveLayer* pLayer) : m_pLayer(pLayer) {}
        CWaveLayer* const m_pLayer;
        // Written on the user-interface thread, read by the waking thread.
        std::atomic<bool> m_bActive{true};
        // Set by the waking thread when it queues a call, cleared by that call.
        std::atomic<bool> m_bQueued{false};
    };

    static void Wake(const std::shared_ptr<SState>& pState);

    std::shared_ptr<SState> m_pState;
};
