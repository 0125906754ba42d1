// SPDX-License-Identifier: GPL-3.0-or-later
// The messages between the program and its sound helper process, sent as
// packets over a socket pair (SOCK_SEQPACKET): requests from the program,
// each answered by one reply carrying the request's serial, and events from
// the helper at any time (a buffer done, a stream lost). Sound itself never
// travels in messages: each open device has a shared memory arena, handed
// over with the open request, in which the program's buffers have their
// places. Both sides may call these functions from any one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/WaveLayer.h"

enum class EHelperMessage : std::uint32_t {
    // Helper to program, once, when it is ready to serve.
    Hello = 1,
    // Requests (m_nDirection names the direction).
    NumDevs,     // reply: m_nValue, the device count
    GetCaps,     // m_nValue: device id; reply: m_nResult and the capabilities
    Open,        // m_nHandle (chosen by the program), m_nValue: device id, m_format,
                 // m_nLength: arena size; the arena's file descriptor rides along
    SetLatency,  // m_nHandle, m_nValue: milliseconds
    Queue,       // m_nHandle, m_nOffset and m_nLength: the buffer's place in the arena
    Start,       // m_nHandle
    Reset,       // m_nHandle
    Close,       // m_nHandle
    Quit,        // no reply: the helper ends
    // The answer to a request: m_nSerial is the request's, m_nResult its result.
    Reply,
    // Events: a buffer is done (m_nOffset, m_nLength bytes recorded), a stream
    // lost, and a piece of the helper's own debug output (in m_szName).
    Done,
    Lost,
    Log,
    // Program to helper: asks for a sign of life, answered at once with a
    // Reply of serial 0 (a stopped or stuck helper stays silent).
    Ping,
    // Helper to program, every kHelperBusyBeatMs while a request takes
    // longer: the helper is at work on it (the sound server is slow), not
    // stopped.
    Busy,
};

// The most buffers one open stream holds queued; the helper refuses more.
constexpr std::size_t kHelperMaxQueued = 1024;

// How often a helper at work on a long request says so.
constexpr int kHelperBusyBeatMs = 100;

// The sample format of a stream as it travels: always linear PCM, so the
// rate, the channel count and the sample size say all.
struct SHelperFormat {
    std::uint32_t m_nRate = 0;
    std::uint16_t m_nChannels = 0;
    std::uint16_t m_nBits = 0;
};

// The format a wave format record describes, and the PCM record for a format.
SHelperFormat ToHelperFormat(const WAVEFORMATEX& format);
WAVEFORMATEX FromHelperFormat(const SHelperFormat& format);

// The longest device name a message carries, with its terminating zero.
constexpr std::size_t kHelperNameBytes = 128;
static_assert(kHelperNameBytes == MAXPNAMELEN, "a device name travels whole");

// One message. Both processes are this program's own, built together, so the
// layout needs no version; the result is the number of a wave result code.
struct SHelperMessage {
    EHelperMessage m_nType = EHelperMessage::Reply;
    std::uint32_t m_nSerial = 0;
    std::uint32_t m_nHandle = 0;
    EWaveDirection m_nDirection = EWaveDirection::Playback;
    std::int32_t m_nValue = 0;
    std::uint32_t m_nResult = 0;
    std::uint64_t m_nOffset = 0;
    std::uint64_t m_nLength = 0;
    SHelperFormat m_format;
    std::uint32_t m_nFormats = 0;   // capability bits
    std::uint16_t m_nChannels = 0;  // the device's most channels
    char m_szName[kHelperNameBytes] = {};
};

// Sends one message, with a file descriptor when nFd >= 0. Never raises
// SIGPIPE; with bDontWait a full socket fails instead of waiting.
bool SendHelperMessage(int nSocket, const SHelperMessage& message, int nFd = -1,
                       bool bDontWait = false);

enum class EReceive { Message, Closed, Empty, Failed };

// Receives one message; a descriptor that came with it goes to *pnFd (else
// -1). With bDontWait an empty socket gives Empty.
EReceive ReceiveHelperMessage(int nSocket, SHelperMessage& message, int* pnFd,
                              bool bDontWait = false);

// Sends debug text as Log events, in pieces that fit the message.
void SendHelperLog(int nSocket, const char* pszText);

// The size of every device's shared arena: address space only, since the
// memory behind it is taken only where buffers are written.
constexpr std::uint64_t kHelperArenaBytes = 256ull << 20;
