// SPDX-License-Identifier: GPL-3.0-or-later
// CWaveHelperLayer is the program's wave layer: the real work runs in a sound
// helper process (klavora-sound, which runs CWavePortAudio), and every call
// here is a request to it with a time limit. PortAudio runs there, not in the
// program, because a sound server that goes away can leave PortAudio with a
// thread that spins or waits for ever and cannot be stopped from inside the
// process; the helper can always be ended. So the user-interface thread never
// waits on the sound server longer than a short bound: a call that is not
// answered in time fails with WAVERR_TIMEOUT, a helper that stops answering
// while a stream runs is noticed by the link's watch, and a lost stream ends
// its helper (and with it any runaway thread). A helper is started in the
// background: at once when the one before was ended, so that the next use
// finds it ready, and its PortAudio meets the sound server as it is then.
// The program's buffers stay in the program: each open device has a shared
// arena that its buffers are copied through, so the helper never touches the
// program's memory.
// One thread at a time, as for every wave layer (see WaveLayer.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sound/WaveHelperLink.h"
#include "sound/WaveLayer.h"

class CWaveHelperLayer : public CWaveLayer {
public:
    struct SLimits {
        int m_nStartMs = 10000;  // from starting a helper to its hello, in the background
        int m_nWaitMs = 400;     // a call waits this long, once, for a helper that is starting
        int m_nCallMs = 400;     // any request, while the helper says nothing
        int m_nBusyMs = 900;     // any request, while the helper says it is at work
        int m_nQuitMs = 1000;    // a helper asked to end, before it is killed
        int m_nQuietMs = 250;    // a running stream's helper this silent is asked for a sign
        int m_nAnswerMs = 500;   // of life, which must come within this
    };

    // Looks for the helper with fnFindHelper whenever one is started; an
    // empty path means that none was found.
    explicit CWaveHelperLayer(std::function<std::string()> fnFindHelper);
    CWaveHelperLayer(std::function<std::string()> fnFindHelper, SLimits limits);
    // The helper at strHelperPath.
    explicit CWaveHelperLayer(std::string strHelperPath);
    CWaveHelperLayer(std::string strHelperPath, SLimits limits);
    ~CWaveHelperLayer() override;
    CWaveHelperLayer(const CWaveHelperLayer&) = delete;
    CWaveHelperLayer& operator=(const CWaveHelperLayer&) = delete;

    unsigned int DeviceCount(EWaveDirection nDirection) override;
    MMRESULT DeviceCaps(EWaveDirection nDirection, int nDeviceId, SWaveCaps* pCaps) override;
    MMRESULT OpenStream(EWaveDirection nDirection, std::uint32_t* pnHandle, int nDeviceId,
                        const WAVEFORMATEX* pFormat, CWaveSink* pSink) override;
    MMRESULT PrepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                           WAVEHDR* pHeader) override;
    MMRESULT UnprepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                             WAVEHDR* pHeader) override;
    MMRESULT QueueHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                         WAVEHDR* pHeader) override;
    MMRESULT StartStream(EWaveDirection nDirection, std::uint32_t nHandle) override;
    MMRESULT ResetStream(EWaveDirection nDirection, std::uint32_t nHandle) override;
    MMRESULT CloseStream(EWaveDirection nDirection, std::uint32_t nHandle) override;
    MMRESULT SetStreamLatency(EWaveDirection nDirection, std::uint32_t nHandle,
                              unsigned int nMilliseconds) override;
    void RefreshDevices() override;
    EWaveSystem WaitForSoundSystem(int nWaitMs) override;
    EWaveSystem SoundSystemState() const override;
    void SetStartSink(CWaveSink* pSink) override { m_pStartSink = pSink; }

    int Pump() override;
    bool PumpQuietly() override;
    bool WaitForMessages(int nTimeoutMs) override;
    void SetWakeHandler(std::function<void()> fnWake) override;

    // The running helper's process id (or, while none is ready, that of the
    // one starting), or -1.
    int HelperPid() const;

private:
    struct SHandle;
    using Clock = std::chrono::steady_clock;

    // The running helper; null while none is ready. Starts one unless one is
    // starting or the last start failed, and waits for a starting one once.
    std::shared_ptr<CWaveHelperLink> Link();
    // Reaps what ended, replaces a running helper that ended, and takes
    // note of a start that ended.
    void Settle();
    // Starts a helper in the background, looking for its program first.
    void Launch();
    // Makes a starting helper that said hello the running one, and gives up
    // one that failed to start.
    void CheckStart();
    // Ends a helper and marks every stream it held as lost; a replacement
    // starts at once. bWaited: the caller has waited on the helper already,
    // so that the next calls do not wait for the replacement.
    void DropLink(const std::shared_ptr<CWaveHelperLink>& pLink, const std::string& strWhy,
                  bool bWaited = false);
    // Lets a helper end by itself in the background (killed after m_nQuitMs).
    void Retire(std::shared_ptr<CWaveHelperLink> pLink);
    // Reaps the retired helpers that ended or ran out of time.
    void ReapRetired(bool bAll);
    // Watches the running helper while any of its streams runs.
    void UpdateWatch();
    // A request to pLink; a helper that does not answer in time is dropped.
    MMRESULT Call(const std::shared_ptr<CWaveHelperLink>& pLink, SHelperMessage& message,
                  int nFd = -1);
    // Applies the events that arrived: buffers done, streams lost.
    void ApplyEvents();
    // Pump and PumpQuietly.
    int Deliver(bool bQuietly, bool* pbLeft);
    void Lose(SHandle& handle);
    SHandle* Find(EWaveDirection nDirection, std::uint32_t nHandle);

    bool AnyDeviceOpen() const;
    // A request about an open handle that carries no more than a number.
    MMRESULT Simple(EWaveDirection nDirection, std::uint32_t nHandle, EHelperMessage nType,
                    int nValue = 0);
    void WakeUp();

    const std::function<std::string()> m_fnFindHelper;
    const SLimits m_limits;
    std::shared_ptr<CWaveHelperLink> m_pLink;      // ready
    std::shared_ptr<CWaveHelperLink> m_pStarting;  // started, no hello yet
    bool m_bWaitedForStart = false;                // a call has waited for m_pStarting already
    bool m_bStartFailed = false;  // the last start failed: only WaitForSoundSystem tries again
    bool m_bStartEnded = false;   // a start ended since the start sink was told
    CWaveSink* m_pStartSink = nullptr;
    // Helpers asked to end, and when they are killed if they have not.
    std::vector<std::pair<std::shared_ptr<CWaveHelperLink>, Clock::time_point>> m_retired;
    // Helpers started so far; m_bNoInputs and m_bNoOutputs describe the
    // device counts of helper number m_nCountedHelper.
    unsigned int m_nHelpersStarted = 0;
    unsigned int m_nCountedHelper = 0;
    bool m_bNoInputs = false;
    bool m_bNoOutputs = false;
    std::map<std::uint32_t, std::unique_ptr<SHandle>> m_handles;
    std::uint32_t m_nNextHandle = 1;

    std::mutex m_wakeMutex;  // the links' reader threads call the wake handler
    std::function<void()> m_fnWake;
};
