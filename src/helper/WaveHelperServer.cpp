#include "helper/WaveHelperServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// Asks the layer for a device's capabilities and copies them into the reply.
MMRESULT GetCaps(CWaveLayer& layer, EWaveDirection nDirection, SHelperMessage& message) {
    SWaveCaps caps{};
    const MMRESULT nResult = layer.DeviceCaps(nDirection, message.m_nValue, &caps);
    std::memcpy(message.m_szName, caps.szPname, sizeof message.m_szName);
    message.m_nFormats = caps.dwFormats;
    message.m_nChannels = caps.wChannels;
    return nResult;
}

}  // namespace

// One device the program opened: its layer handle, its arena, and a header
// for each place in the arena that the program has queued.
struct CWaveHelperServer::SDevice : public CWaveSink {
    SDevice(CWaveHelperServer& server, std::uint32_t nHandle, EWaveDirection nDirection)
        : m_server(server), m_nHandle(nHandle), m_nDirection(nDirection) {}
    ~SDevice() override {
        if (m_pArena != nullptr) {
            munmap(m_pArena, m_nArenaBytes);
        }
    }
    void OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) override {
        m_server.OnDeviceMessage(*this, nMessage, pHeader);
    }

    CWaveHelperServer& m_server;
    const std::uint32_t m_nHandle;
    const EWaveDirection m_nDirection;
    std::uint32_t m_nStream = 0;  // the layer's handle

    char* m_pArena = nullptr;
    std::uint64_t m_nArenaBytes = 0;
    std::map<std::uint64_t, WAVEHDR> m_headers;  // by offset; the map keeps them in place
};

CWaveHelperServer::CWaveHelperServer(int nSocket, CWaveLayer& layer)
    : m_nSocket(nSocket), m_layer(layer) {
    m_nWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int nWake = m_nWake;
    m_layer.SetWakeHandler([nWake] {
        const std::uint64_t nOne = 1;
        // A full counter already says "wake up".
        static_cast<void>(write(nWake, &nOne, sizeof nOne));
    });
    m_beat = std::thread([this] { BeatWhileBusy(); });
}

CWaveHelperServer::~CWaveHelperServer() {
    {
        std::lock_guard<std::mutex> lock(m_busyMutex);
        m_bEnding = true;
    }
    m_busyChanged.notify_all();
    m_beat.join();
    while (!m_devices.empty()) {
        Close(m_devices.begin()->first);
    }
    m_layer.SetWakeHandler(nullptr);
    if (m_nWake >= 0) {
        close(m_nWake);
    }
}

void CWaveHelperServer::Send(const SHelperMessage& message) {
    if (!m_bSocketBroken && !SendHelperMessage(m_nSocket, message)) {
        m_bSocketBroken = true;
    }
}

void CWaveHelperServer::BeatWhileBusy() {
    std::unique_lock<std::mutex> lock(m_busyMutex);
    while (!m_bEnding) {
        m_busyChanged.wait(lock, [this] { return m_bBusy || m_bEnding; });
        const std::uint64_t nRequest = m_nRequest;
        // A request still being served a beat later, and after every beat.
        while (!m_busyChanged.wait_for(lock, std::chrono::milliseconds(kHelperBusyBeatMs), [&] {
            return !m_bBusy || m_nRequest != nRequest || m_bEnding;
        })) {
            SHelperMessage busy;
            busy.m_nType = EHelperMessage::Busy;
            // Packets go out whole, whichever thread sends them; a full
            // socket drops the beat, which is harmless.
            static_cast<void>(SendHelperMessage(m_nSocket, busy, -1, true));
        }
    }
}

void CWaveHelperServer::Run() {
    // Reading the device lists starts PortAudio: done before the hello, so
    // that the program's bound on the start covers it, as it covers the
    // probe of the default devices.
    m_layer.DeviceCount(EWaveDirection::Playback);
    m_layer.DeviceCount(EWaveDirection::Recording);
    // The program's first questions are about the default devices. Their
    // capabilities (a dozen format probes each, every one a trip to the
    // sound server) are learnt now, while the program is still building its
    // window, and kept for its questions.
    SWaveCaps caps{};
    m_layer.DeviceCaps(EWaveDirection::Recording, WAVE_MAPPER, &caps);
    m_layer.DeviceCaps(EWaveDirection::Playback, WAVE_MAPPER, &caps);
    SHelperMessage hello;
    hello.m_nType = EHelperMessage::Hello;
    Send(hello);
    while (!m_bSocketBroken) {
        pollfd fds[2] = {{m_nSocket, POLLIN, 0}, {m_nWake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            std::uint64_t nCount = 0;
            static_cast<void>(read(m_nWake, &nCount, sizeof nCount));
            m_layer.Pump();
        }
        if (fds[0].revents == 0) {
            continue;
        }
        SHelperMessage message;
        int nFd = -1;
        const EReceive nReceived = ReceiveHelperMessage(m_nSocket, message, &nFd);
        if (nReceived == EReceive::Closed || nReceived == EReceive::Failed) {
            return;
        }
        if (nReceived == EReceive::Message && !Serve(message, nFd)) {
            return;
        }
    }
}

CWaveHelperServer::SDevice* CWaveHelperServer::Find(std::uint32_t nHandle) {
    auto it = m_devices.find(nHandle);
    return it != m_devices.end() ? it->second.get() : nullptr;
}

bool CWaveHelperServer::Serve(SHelperMessage& message, int nFd) {
    {
        std::lock_guard<std::mutex> lock(m_busyMutex);
        m_bBusy = true;
        ++m_nRequest;
    }
    m_busyChanged.notify_all();
    const bool bServed = ServeRequest(message, nFd);
    // Not told: the beat thread sees it at its next look, before any beat.
    std::lock_guard<std::mutex> lock(m_busyMutex);
    m_bBusy = false;
    return bServed;
}

bool CWaveHelperServer::ServeRequest(SHelperMessage& message, int nFd) {
    const EWaveDirection nDirection = message.m_nDirection;
    SDevice* pDevice = Find(message.m_nHandle);
    MMRESULT nResult = MMSYSERR_NOERROR;
    switch (message.m_nType) {
        case EHelperMessage::Quit:
            return false;
        case EHelperMessage::NumDevs:
            message.m_nValue = static_cast<std::int32_t>(m_layer.DeviceCount(nDirection));
            break;
        case EHelperMessage::GetCaps:
            nResult = GetCaps(m_layer, nDirection, message);
            break;
        case EHelperMessage::Open:
            nResult = Open(message, nFd);
            nFd = -1;
            break;
        case EHelperMessage::SetLatency:
            nResult = pDevice == nullptr || IsRecording(pDevice->m_nDirection)
                          ? MMSYSERR_INVALHANDLE
                          : m_layer.SetStreamLatency(pDevice->m_nDirection, pDevice->m_nStream,
                                                     static_cast<unsigned int>(message.m_nValue));
            break;
        case EHelperMessage::Queue:
            nResult = pDevice == nullptr ? MMSYSERR_INVALHANDLE : Queue(*pDevice, message);
            break;
        case EHelperMessage::Start:
            nResult = pDevice == nullptr || !IsRecording(pDevice->m_nDirection)
                          ? MMSYSERR_INVALHANDLE
                          : m_layer.StartStream(pDevice->m_nDirection, pDevice->m_nStream);
            break;
        case EHelperMessage::Reset:
            nResult = pDevice == nullptr
                          ? MMSYSERR_INVALHANDLE
                          : m_layer.ResetStream(pDevice->m_nDirection, pDevice->m_nStream);
            break;
        case EHelperMessage::Close:
            nResult = Close(message.m_nHandle);
            break;
        case EHelperMessage::Ping:
            break;
        default:
            nResult = MMSYSERR_NOTSUPPORTED;
            break;
    }
    if (nFd >= 0) {
        close(nFd);
    }
    // Completions due now (a reset's returned buffers) go out before the reply.
    m_layer.Pump();
    message.m_nType = EHelperMessage::Reply;
    message.m_nResult = nResult;
    Send(message);
    return true;
}

MMRESULT CWaveHelperServer::Open(const SHelperMessage& message, int nFd) {
    if (nFd < 0 || message.m_nLength == 0 || Find(message.m_nHandle) != nullptr) {
        if (nFd >= 0) {
            close(nFd);
        }
        return MMSYSERR_INVALPARAM;
    }
    void* pArena = mmap(nullptr, message.m_nLength, PROT_READ | PROT_WRITE, MAP_SHARED, nFd, 0);
    close(nFd);
    if (pArena == MAP_FAILED) {
        return MMSYSERR_NOMEM;
    }
    auto pDevice = std::make_unique<SDevice>(*this, message.m_nHandle, message.m_nDirection);
    pDevice->m_pArena = static_cast<char*>(pArena);
    pDevice->m_nArenaBytes = message.m_nLength;
    const WAVEFORMATEX format = FromHelperFormat(message.m_format);
    const MMRESULT nResult = m_layer.OpenStream(pDevice->m_nDirection, &pDevice->m_nStream,
                                                message.m_nValue, &format, pDevice.get());
    if (nResult == MMSYSERR_NOERROR) {
        m_devices.emplace(message.m_nHandle, std::move(pDevice));
    }
    return nResult;
}

MMRESULT CWaveHelperServer::Queue(SDevice& device, const SHelperMessage& message) {
    if (message.m_nLength == 0 || message.m_nLength > device.m_nArenaBytes ||
        message.m_nOffset > device.m_nArenaBytes - message.m_nLength) {
        return MMSYSERR_INVALPARAM;
    }
    WAVEHDR& header = device.m_headers[message.m_nOffset];
    if ((header.dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    header.lpData = device.m_pArena + message.m_nOffset;
    header.dwBufferLength = static_cast<std::uint32_t>(message.m_nLength);
    header.dwUser = message.m_nOffset;
    MMRESULT nResult = m_layer.PrepareHeader(device.m_nDirection, device.m_nStream, &header);
    if (nResult == MMSYSERR_NOERROR) {
        nResult = m_layer.QueueHeader(device.m_nDirection, device.m_nStream, &header);
    }
    return nResult;
}

MMRESULT CWaveHelperServer::Close(std::uint32_t nHandle) {
    SDevice* pDevice = Find(nHandle);
    if (pDevice == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    const MMRESULT nResult = m_layer.CloseStream(pDevice->m_nDirection, pDevice->m_nStream);
    // The layer let go of every header, whatever it reported.
    m_devices.erase(nHandle);
    return nResult;
}

void CWaveHelperServer::OnDeviceMessage(SDevice& device, unsigned int nMessage, WAVEHDR* pHeader) {
    SHelperMessage event;
    event.m_nHandle = device.m_nHandle;
    event.m_nDirection = device.m_nDirection;
    if (nMessage == MM_WIM_LOST || nMessage == MM_WOM_LOST) {
        event.m_nType = EHelperMessage::Lost;
    } else if ((nMessage == MM_WIM_DATA || nMessage == MM_WOM_DONE) && pHeader != nullptr) {
        event.m_nType = EHelperMessage::Done;
        event.m_nOffset = pHeader->dwUser;
        event.m_nLength =
            IsRecording(device.m_nDirection) ? pHeader->dwBytesRecorded : pHeader->dwBufferLength;
    } else {
        return;
    }
    Send(event);
}
