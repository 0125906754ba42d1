// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for klavora-sound in tests of the program's side of the link: it
// speaks the helper's protocol with one fake recording device and behaves as
// $KLAVORA_FAKE_HELPER says:
//   record   every queued buffer is filled (each byte: the low byte of its
//            arena offset plus its index) and done once recording starts
//   mute     never says hello
//   hang     answers nothing after the second queued buffer
//   lose     at the start, reports the stream lost
//   flood    at the start, writes to standard error without end
//   hold     keeps every queued buffer (a stream of very long buffers)
//   slow-N   takes N ms over each device description, saying Busy meanwhile;
//   mute-N   the same, saying nothing
// and says hello only after $KLAVORA_FAKE_HELLO_MS milliseconds, if set.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sound/WaveHelperProtocol.h"

namespace {

struct SQueued {
    std::uint32_t m_nHandle;
    std::uint64_t m_nOffset;
    std::uint64_t m_nLength;
};

void SleepForever() {
    for (;;) {
        pause();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int nSocket = argc > 1 ? std::atoi(argv[1]) : 3;
    const char* pszMode = std::getenv("KLAVORA_FAKE_HELPER");
    const std::string strMode = pszMode != nullptr ? pszMode : "record";
    if (strMode == "mute") {
        SleepForever();
    }
    if (const char* pszDelay = std::getenv("KLAVORA_FAKE_HELLO_MS")) {
        usleep(static_cast<useconds_t>(std::atoi(pszDelay)) * 1000u);
    }
    SHelperMessage hello;
    hello.m_nType = EHelperMessage::Hello;
    SendHelperMessage(nSocket, hello);

    char* pArena = nullptr;
    std::vector<SQueued> queued;
    int nQueueRequests = 0;
    bool bStarted = false;
    for (;;) {
        SHelperMessage message;
        int nFd = -1;
        if (ReceiveHelperMessage(nSocket, message, &nFd) != EReceive::Message) {
            return 0;
        }
        message.m_nResult = MMSYSERR_NOERROR;
        switch (message.m_nType) {
            case EHelperMessage::Quit:
                return 0;
            case EHelperMessage::NumDevs:
                message.m_nValue = IsRecording(message.m_nDirection) ? 1 : 0;
                break;
            case EHelperMessage::GetCaps:
                if (strMode.compare(0, 5, "slow-") == 0 || strMode.compare(0, 5, "mute-") == 0) {
                    const int nMs = std::atoi(strMode.c_str() + 5);
                    for (int nSlept = 0; nSlept < nMs; nSlept += kHelperBusyBeatMs) {
                        usleep(kHelperBusyBeatMs * 1000);
                        if (strMode[0] == 's') {
                            SHelperMessage busy;
                            busy.m_nType = EHelperMessage::Busy;
                            SendHelperMessage(nSocket, busy);
                        }
                    }
                }
                if (!IsRecording(message.m_nDirection) ||
                    (message.m_nValue != 0 && message.m_nValue != WAVE_MAPPER)) {
                    message.m_nResult = MMSYSERR_BADDEVICEID;
                    break;
                }
                std::snprintf(message.m_szName, sizeof message.m_szName, "Fake Line In");
                message.m_nFormats = WAVE_FORMAT_4S16 | WAVE_FORMAT_2S16;
                message.m_nChannels = 2;
                break;
            case EHelperMessage::Open:
                pArena = static_cast<char*>(
                    mmap(nullptr, message.m_nLength, PROT_READ | PROT_WRITE, MAP_SHARED, nFd, 0));
                close(nFd);
                break;
            case EHelperMessage::Queue:
                if (strMode == "hang" && ++nQueueRequests > 2) {
                    SleepForever();
                }
                queued.push_back({message.m_nHandle, message.m_nOffset, message.m_nLength});
                break;
            case EHelperMessage::Start:
                bStarted = true;
                break;
            case EHelperMessage::Reset:
                // The returned buffers come before the reply, as from the real helper.
                for (const SQueued& buffer : queued) {
                    SHelperMessage done;
                    done.m_nType = EHelperMessage::Done;
                    done.m_nHandle = buffer.m_nHandle;
                    done.m_nOffset = buffer.m_nOffset;
                    SendHelperMessage(nSocket, done);
                }
                queued.clear();
                bStarted = false;
                break;
            default:
                break;
        }
        message.m_nType = EHelperMessage::Reply;
        SendHelperMessage(nSocket, message);
        if (!bStarted || strMode == "hold") {
            continue;
        }
        if (strMode == "lose") {
            SHelperMessage lost;
            lost.m_nType = EHelperMessage::Lost;
            lost.m_nHandle = message.m_nHandle;
            SendHelperMessage(nSocket, lost);
            bStarted = false;
        } else if (strMode == "flood") {
            for (;;) {
                std::fputs("Expression 'something' failed in 'a loop', line: 1\n", stderr);
            }
        } else {
            for (const SQueued& buffer : queued) {
                for (std::uint64_t i = 0; i < buffer.m_nLength; ++i) {
                    pArena[buffer.m_nOffset + i] = static_cast<char>(buffer.m_nOffset + i);
                }
                SHelperMessage done;
                done.m_nType = EHelperMessage::Done;
                done.m_nHandle = buffer.m_nHandle;
                done.m_nOffset = buffer.m_nOffset;
                done.m_nLength = buffer.m_nLength;
                SendHelperMessage(nSocket, done);
            }
            queued.clear();
        }
    }
}
