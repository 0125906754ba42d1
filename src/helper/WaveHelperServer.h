// SPDX-License-Identifier: GPL-3.0-or-later
// CWaveHelperServer is the sound helper process's side of the link to the
// program: it serves the program's requests on a wave layer (PortAudio in the
// helper), keeps a header for every place in a device's shared arena, and
// tells the program of every buffer done and every stream lost. Run it on the
// helper's main thread; it returns when the program asks it to end or goes
// away.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "sound/WaveHelperProtocol.h"
#include "sound/WaveLayer.h"

class CWaveHelperServer {
public:
    CWaveHelperServer(int nSocket, CWaveLayer& layer);
    ~CWaveHelperServer();
    CWaveHelperServer(const CWaveHelperServer&) = delete;
    CWaveHelperServer& operator=(const CWaveHelperServer&) = delete;

    // Reads the device lists, says hello, then serves until told to quit or
    // until the program's end of the socket closes.
    void Run();

private:
    struct SDevice;

    // Answers one request; false when the helper should end. Says Busy
    // while it takes long.
    bool Serve(SHelperMessage& message, int nFd);
    bool ServeRequest(SHelperMessage& message, int nFd);
    MMRESULT Open(const SHelperMessage& message, int nFd);
    MMRESULT Queue(SDevice& device, const SHelperMessage& message);
    MMRESULT Close(std::uint32_t nHandle);
    SDevice* Find(std::uint32_t nHandle);
    // A completion or loss from the layer, passed on to the program.
    void OnDeviceMessage(SDevice& device, unsigned int nMessage, WAVEHDR* pHeader);
    void Send(const SHelperMessage& message);
    // The thread that says Busy while a request takes long.
    void BeatWhileBusy();

    const int m_nSocket;
    CWaveLayer& m_layer;
    int m_nWake = -1;  // an event counter the layer's wake handler bumps
    bool m_bSocketBroken = false;
    std::map<std::uint32_t, std::unique_ptr<SDevice>> m_devices;  // by the program's handle
    std::mutex m_busyMutex;
    std::condition_variable m_busyChanged;
    std::uint64_t m_nRequest = 0;  // guarded: counts the requests begun
    bool m_bBusy = false;          // guarded: a request is being served
    bool m_bEnding = false;        // guarded
    std::thread m_beat;
};
