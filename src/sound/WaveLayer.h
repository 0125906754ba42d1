// SPDX-License-Identifier: GPL-3.0-or-later
// The wave audio layer: the small set of recording and playback calls that the
// device classes are written against, with the records, flags, result codes and
// messages they use. The program runs PortAudio behind it (in a helper process,
// see CWaveHelperLayer); a simulator stands in for tests. All calls are made on
// the user-interface thread, or on the sound thread of CWaveDispatcher while it
// holds the user-interface lock, so never on two threads at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

using MMRESULT = unsigned int;

// Result codes and their numbers.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;
constexpr MMRESULT WAVERR_SYNC = 35;
// Codes of this program's own: a stream that stopped by itself (the sound
// server went away or stopped delivering), and a call the sound system did
// not answer within its time limit.
constexpr MMRESULT WAVERR_LOST = 40;
constexpr MMRESULT WAVERR_TIMEOUT = 41;

// Longest error text including its terminating zero.
constexpr unsigned int MAXERRORLENGTH = 256;

// Device id of the default device of each direction.
constexpr int WAVE_MAPPER = -1;

// Messages delivered to a sink.
constexpr unsigned int MM_WOM_DONE = 0x3BD;
constexpr unsigned int MM_WIM_DATA = 0x3C0;
// Sent once, with a null header, when an open stream stops by itself; every
// buffer it held has been returned (with its own message) before this one.
constexpr unsigned int MM_WIM_LOST = 0x3F0;
constexpr unsigned int MM_WOM_LOST = 0x3F1;
// Sent, with a null header, to the layer's start sink when a start of the
// sound system that was under way has ended, ready or not.
constexpr unsigned int MM_WAVE_STARTED = 0x3F2;

// Whether the sound system can answer: ready, still starting (the program's
// layer starts its helper process in the background), or it could not be
// started.
enum class EWaveSystem { Ready, Starting, Failed };

// Capability bits: one per rate, channel count and sample size.
constexpr std::uint32_t WAVE_FORMAT_1M08 = 0x1;
constexpr std::uint32_t WAVE_FORMAT_1S08 = 0x2;
constexpr std::uint32_t WAVE_FORMAT_1M16 = 0x4;
constexpr std::uint32_t WAVE_FORMAT_1S16 = 0x8;
constexpr std::uint32_t WAVE_FORMAT_2M08 = 0x10;
constexpr std::uint32_t WAVE_FORMAT_2S08 = 0x20;
constexpr std::uint32_t WAVE_FORMAT_2M16 = 0x40;
constexpr std::uint32_t WAVE_FORMAT_2S16 = 0x80;
constexpr std::uint32_t WAVE_FORMAT_4M08 = 0x100;
constexpr std::uint32_t WAVE_FORMAT_4S08 = 0x200;
constexpr std::uint32_t WAVE_FORMAT_4M16 = 0x400;
constexpr std::uint32_t WAVE_FORMAT_4S16 = 0x800;

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// One row of the capability table.
struct SWaveFormatRow {
    std::uint32_t m_nFlag;
    unsigned int m_nRate;
    unsigned int m_nChannels;
    unsigned int m_nBits;
};

// The twelve rows, in flag order.
extern const SWaveFormatRow g_waveFormatTable[12];

// The row for a capability bit, or null for any other value.
const SWaveFormatRow* FindWaveFormat(std::uint32_t nFlag);

// True if the capability bits dwFormats list the single capability bit nFlag.
bool WaveFormatListed(std::uint32_t dwFormats, std::uint32_t nFlag);

struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};

// True if the record describes PCM with 1 or 2 channels of 8 or 16 bits at a
// positive rate, with consistent block align and byte rate.
bool WaveFormatValid(const WAVEFORMATEX& format);

// The capability bit for a valid format, or 0 if its rate is not in the table.
std::uint32_t WaveFormatFlag(const WAVEFORMATEX& format);

// Header flags.
constexpr std::uint32_t WHDR_DONE = 0x1;
constexpr std::uint32_t WHDR_PREPARED = 0x2;
constexpr std::uint32_t WHDR_INQUEUE = 0x10;

// One buffer handed to a device. The program owns it except between queueing
// and the delivery of its completion message.
struct WAVEHDR {
    char* lpData;
    std::uint32_t dwBufferLength;
    std::uint32_t dwBytesRecorded;
    std::uintptr_t dwUser;
    std::uint32_t dwFlags;
};

// Longest device name including its terminating zero.
constexpr unsigned int MAXPNAMELEN = 128;

// The capabilities of a device of either direction.
struct SWaveCaps {
    char szPname[MAXPNAMELEN];
    std::uint32_t dwFormats;
    std::uint16_t wChannels;
};

// Which way a device's sound goes. The numbers travel between the program and
// its sound helper.
enum class EWaveDirection : std::uint32_t { Playback = 0, Recording = 1 };
inline bool IsRecording(EWaveDirection nDirection) {
    return nDirection == EWaveDirection::Recording;
}

// Receives the completion messages of the devices opened with it: MM_WIM_DATA
// with a filled recording buffer, MM_WOM_DONE with a played buffer, and
// MM_WIM_LOST or MM_WOM_LOST when a stream stopped by itself. OnWaveMessage is
// called on the user-interface thread, from CWaveLayer::Pump.
class CWaveSink {
public:
    virtual ~CWaveSink() = default;
    virtual void OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) = 0;
    // Called from CWaveLayer::PumpQuietly, off the user-interface thread but
    // with the user-interface lock held: handles a message that needs nothing
    // of the window (a buffer to refill or to measure without a new reading)
    // and returns true. Returns false for any other message, which then comes
    // again through OnWaveMessage on the user-interface thread; before saying
    // false it may only have done what is harmless to do twice, and it never
    // queued the buffer again.
    virtual bool OnWaveMessageQuietly(unsigned int, WAVEHDR*) { return false; }
};

// Rules every implementation keeps:
// - A header is queued from QueueHeader until its completion
//   is delivered or a reset returns it; its WHDR_INQUEUE flag says so.
// - A reset returns every queued header at once (flags updated before it
//   returns); their completion messages follow at the next Pump.
// - Close forgets every header and every pending completion of the handle, even
//   when it reports a failure, so the program may free its buffers afterwards.
// - A completion is delivered only while its handle is open, and is dropped if
//   the program queued the same header again before it was delivered.
// - A stream that stops by itself is lost: every header it held comes back as
//   after a reset, then the lost message follows. Queueing and starting on a
//   lost handle fail with WAVERR_LOST; reset and close succeed.
// - No call waits on the sound system without a bound; one that was not
//   answered in time fails with WAVERR_TIMEOUT, and every stream of the layer
//   is lost from then on.
class CWaveLayer {
public:
    virtual ~CWaveLayer() = default;

    // The calls of both directions, which every layer implements once. A
    // handle is the number the layer gave when the device opened: zero is
    // no handle, and a layer never hands out the same number twice, so a
    // stale handle is always recognised as invalid.
    virtual unsigned int DeviceCount(EWaveDirection nDirection) = 0;
    virtual MMRESULT DeviceCaps(EWaveDirection nDirection, int nDeviceId, SWaveCaps* pCaps) = 0;
    virtual MMRESULT OpenStream(EWaveDirection nDirection, std::uint32_t* pnHandle, int nDeviceId,
                                const WAVEFORMATEX* pFormat, CWaveSink* pSink) = 0;
    virtual MMRESULT PrepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                   WAVEHDR* pHeader) = 0;
    virtual MMRESULT UnprepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                     WAVEHDR* pHeader) = 0;
    // Queues a buffer; playback runs whenever buffers are queued.
    virtual MMRESULT QueueHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                 WAVEHDR* pHeader) = 0;
    // Recording only; a playback handle is refused with MMSYSERR_INVALHANDLE.
    virtual MMRESULT StartStream(EWaveDirection nDirection, std::uint32_t nHandle) = 0;
    virtual MMRESULT ResetStream(EWaveDirection nDirection, std::uint32_t nHandle) = 0;
    virtual MMRESULT CloseStream(EWaveDirection nDirection, std::uint32_t nHandle) = 0;
    // How much sound the program keeps queued on an open playback device, so
    // that a sound server in between may hold as much. Before the first write;
    // layers without a buffer of their own ignore it.
    virtual MMRESULT SetStreamLatency(EWaveDirection nDirection, std::uint32_t nHandle,
                                      unsigned int nMilliseconds);

    // Forgets the device lists, so that the next query reads them afresh (a
    // sound server started after the program is found). Only while no device
    // is open; otherwise the lists are kept.
    virtual void RefreshDevices() {}

    // Whether the sound system can answer now, waiting up to nWaitMs for one
    // that is starting. A sound system that could not be started is looked
    // for and started again here (and only here and in RefreshDevices), so
    // that a helper put back in place is found. Layers that need no start are
    // always ready.
    virtual EWaveSystem WaitForSoundSystem(int /*nWaitMs*/) { return EWaveSystem::Ready; }
    // The same as it stands, without waiting or starting anything.
    virtual EWaveSystem SoundSystemState() const { return EWaveSystem::Ready; }
    // pSink (or nobody, for null) hears MM_WAVE_STARTED through Pump
    // whenever a start of the sound system ends. It must outlive its setting.
    virtual void SetStartSink(CWaveSink* /*pSink*/) {}

    // Delivers every completion that has arrived to its sink, in order, and
    // returns how many were delivered. Sinks may call any layer function,
    // including closing the device they are told about.
    virtual int Pump() = 0;

    // Delivers, through OnWaveMessageQuietly, the completions that arrived, in
    // order, until a sink declines one; that one and every later one of its
    // handle wait for Pump. Returns true if any completion is left for Pump.
    // A layer without a quiet path leaves everything to Pump.
    virtual bool PumpQuietly() { return true; }

    // Waits up to nTimeoutMs for a completion to arrive; true if one is waiting.
    virtual bool WaitForMessages(int nTimeoutMs) = 0;

    // fnWake runs whenever completions arrive, on a thread that is neither the
    // audio thread nor necessarily the user-interface thread; the program uses
    // it to wake its event loop, which then calls Pump.
    virtual void SetWakeHandler(std::function<void()> fnWake) = 0;
};

// The text of a result code; unknown codes give a text naming the number.
// Returns MMSYSERR_BADERRNUM for an unknown code.
MMRESULT WaveErrorText(MMRESULT nError, char* pszText, unsigned int nSize);

// The layer that device objects use from their construction on. Until one is
// set, the first call creates the program's layer, which runs PortAudio in the
// sound helper process. The layer set must outlive every device object
// created while it was current.
CWaveLayer* GetWaveLayer();

// Sets the current layer (null returns to the program's layer) and returns
// the previous one. User-interface thread only.
CWaveLayer* SetWaveLayer(CWaveLayer* pLayer);

// Makes a layer current for the life of a scope, typically a test.
class CScopedWaveLayer {
public:
    explicit CScopedWaveLayer(CWaveLayer* pLayer) : m_pPrevious(SetWaveLayer(pLayer)) {}
    ~CScopedWaveLayer() { SetWaveLayer(m_pPrevious); }
    CScopedWaveLayer(const CScopedWaveLayer&) = delete;
    CScopedWaveLayer& operator=(const CScopedWaveLayer&) = delete;

private:
    CWaveLayer* m_pPrevious;
};

// Header bookkeeping shared by the implementations. Each returns the result
// code of the call it serves and updates the header's flags on success.
MMRESULT WavePrepareHeader(WAVEHDR* pHeader, const WAVEFORMATEX& format);
MMRESULT WaveUnprepareHeader(WAVEHDR* pHeader);
MMRESULT WaveQueueHeader(WAVEHDR* pHeader);  // checks and sets WHDR_INQUEUE
void WaveMarkDone(WAVEHDR* pHeader);         // clears WHDR_INQUEUE, sets WHDR_DONE

// The completions of one open handle, as a layer's delivery sees them.
struct SWaveMailbox {
    EWaveDirection m_nDirection = EWaveDirection::Playback;
    CWaveSink* m_pSink = nullptr;
    std::deque<WAVEHDR*>* m_pCompletions = nullptr;
    bool* m_pbLostPending = nullptr;
};

// The delivery shared by the layers' Pump and PumpQuietly: for each handle in
// turn, the completions waiting when its turn comes, then its lost message.
// fnFind looks a handle up again before every message, since a sink may close
// the device, or pump again from a message box; it returns false for a handle
// that is gone. Quietly, a declined message goes back to the front of its
// handle and the handle's turn ends, and *pbLeft says whether anything waits
// for Pump. Returns the number of messages handled.
int WaveDeliver(const std::vector<std::uint32_t>& handles,
                const std::function<bool(std::uint32_t, SWaveMailbox&)>& fnFind, bool bQuietly,
                bool* pbLeft = nullptr);

// Delivers a pending MM_WAVE_STARTED (bPending) to pSink, if there is one;
// true if delivered. Quietly, the sink may decline it, and it stays pending.
bool WaveDeliverStarted(CWaveSink* pSink, bool& bPending, bool bQuietly);

// A layer's whole Pump or PumpQuietly: WaveDeliver over its map from handle
// numbers to handles, in the map's order (fnMailbox gives the mailbox of a
// handle), then the start sink's pending MM_WAVE_STARTED. *pbLeft (if given)
// says whether anything waits for Pump.
template <typename HandleMap, typename MailboxOf>
int WaveDeliverAll(HandleMap& handles, MailboxOf fnMailbox, CWaveSink* pStartSink,
                   bool& bStartPending, bool bQuietly, bool* pbLeft) {
    std::vector<std::uint32_t> numbers;
    numbers.reserve(handles.size());
    for (const auto& entry : handles) {
        numbers.push_back(entry.first);
    }
    bool bLeft = false;
    int nDelivered = WaveDeliver(
        numbers,
        [&](std::uint32_t nHandle, SWaveMailbox& box) {
            const auto it = handles.find(nHandle);
            if (it == handles.end()) {
                return false;
            }
            box = fnMailbox(it->second);
            return true;
        },
        bQuietly, &bLeft);
    if (WaveDeliverStarted(pStartSink, bStartPending, bQuietly)) {
        ++nDelivered;
    }
    if (pbLeft != nullptr) {
        *pbLeft = bLeft || (bStartPending && pStartSink != nullptr);
    }
    return nDelivered;
}

// Copies a device name into a capability record, cutting it at a character
// boundary if it is too long.
void WaveCopyName(char* pszTarget, unsigned int nSize, const char* pszName);
