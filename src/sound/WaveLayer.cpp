#include "sound/WaveLayer.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "sound/SoundHelperPath.h"
#include "sound/WaveHelperLayer.h"

const SWaveFormatRow g_waveFormatTable[12] = {
    {WAVE_FORMAT_1M08, 11025, 1, 8},  {WAVE_FORMAT_1S08, 11025, 2, 8},
    {WAVE_FORMAT_1M16, 11025, 1, 16}, {WAVE_FORMAT_1S16, 11025, 2, 16},
    {WAVE_FORMAT_2M08, 22050, 1, 8},  {WAVE_FORMAT_2S08, 22050, 2, 8},
    {WAVE_FORMAT_2M16, 22050, 1, 16}, {WAVE_FORMAT_2S16, 22050, 2, 16},
    {WAVE_FORMAT_4M08, 44100, 1, 8},  {WAVE_FORMAT_4S08, 44100, 2, 8},
    {WAVE_FORMAT_4M16, 44100, 1, 16}, {WAVE_FORMAT_4S16, 44100, 2, 16},
};

const SWaveFormatRow* FindWaveFormat(std::uint32_t nFlag) {
    for (const SWaveFormatRow& row : g_waveFormatTable) {
        if (row.m_nFlag == nFlag) {
            return &row;
        }
    }
    return nullptr;
}

bool WaveFormatListed(std::uint32_t dwFormats, std::uint32_t nFlag) {
    return FindWaveFormat(nFlag) != nullptr && (dwFormats & nFlag) != 0;
}

bool WaveFormatValid(const WAVEFORMATEX& format) {
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nSamplesPerSec == 0) {
        return false;
    }
    if (format.nChannels != 1 && format.nChannels != 2) {
        return false;
    }
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) {
        return false;
    }
    const unsigned int nAlign = format.nChannels * format.wBitsPerSample / 8u;
    return format.nBlockAlign == nAlign &&
           format.nAvgBytesPerSec == static_cast<std::uint64_t>(format.nSamplesPerSec) * nAlign;
}

std::uint32_t WaveFormatFlag(const WAVEFORMATEX& format) {
    for (const SWaveFormatRow& row : g_waveFormatTable) {
        if (row.m_nRate == format.nSamplesPerSec && row.m_nChannels == format.nChannels &&
            row.m_nBits == format.wBitsPerSample) {
            return row.m_nFlag;
        }
    }
    return 0;
}

namespace {

struct SErrorText {
    MMRESULT m_nCode;
    const char* m_pszText;
};

const SErrorText g_errorTexts[] = {
    {MMSYSERR_NOERROR, "The operation completed successfully."},
    {MMSYSERR_ERROR, "An unspecified error occurred in the sound system."},
    {MMSYSERR_BADDEVICEID, "The specified sound device ID is out of range."},
    {MMSYSERR_NOTENABLED, "The sound system could not be started."},
    {MMSYSERR_ALLOCATED, "The specified sound device is already in use."},
    {MMSYSERR_INVALHANDLE, "The sound device handle is not valid."},
    {MMSYSERR_NODRIVER, "The sound device is not available."},
    {MMSYSERR_NOMEM, "There is not enough memory available for this task."},
    {MMSYSERR_NOTSUPPORTED, "The sound device does not support this function."},
    {MMSYSERR_BADERRNUM, "The error number is not defined."},
    {MMSYSERR_INVALFLAG, "An invalid flag was passed to the sound system."},
    {MMSYSERR_INVALPARAM, "An invalid parameter was passed to the sound system."},
    {MMSYSERR_HANDLEBUSY, "The sound device handle is in use by another thread."},
    {WAVERR_BADFORMAT, "The sound device does not support the requested sample format."},
    {WAVERR_STILLPLAYING, "The buffer is still queued on the sound device."},
    {WAVERR_UNPREPARED, "The buffer has not been prepared."},
    {WAVERR_SYNC, "The sound device is synchronous."},
    {WAVERR_LOST, "The sound device stopped working."},
    {WAVERR_TIMEOUT, "The sound system did not answer in time."},
};

// The layer set by SetWaveLayer; null means the program's own layer.
std::atomic<CWaveLayer*> g_pCurrentLayer{nullptr};

}  // namespace

MMRESULT WaveErrorText(MMRESULT nError, char* pszText, unsigned int nSize) {
    if (pszText == nullptr || nSize == 0) {
        return MMSYSERR_INVALPARAM;
    }
    for (const SErrorText& entry : g_errorTexts) {
        if (entry.m_nCode == nError) {
            std::snprintf(pszText, nSize, "%s", entry.m_pszText);
            return MMSYSERR_NOERROR;
        }
    }
    std::snprintf(pszText, nSize, "Unknown sound system error %u.", nError);
    return MMSYSERR_BADERRNUM;
}

MMRESULT CWaveLayer::SetStreamLatency(EWaveDirection, std::uint32_t, unsigned int) {
    return MMSYSERR_NOERROR;
}

CWaveLayer* GetWaveLayer() {
    CWaveLayer* pLayer = g_pCurrentLayer.load(std::memory_order_acquire);
    if (pLayer != nullptr) {
        return pLayer;
    }
    // Created on first use and kept until the process ends.
    // It looks for the helper whenever it starts one.
    static CWaveHelperLayer helper(&FindSoundHelper);
    return &helper;
}

CWaveLayer* SetWaveLayer(CWaveLayer* pLayer) {
    return g_pCurrentLayer.exchange(pLayer, std::memory_order_acq_rel);
}

MMRESULT WavePrepareHeader(WAVEHDR* pHeader, const WAVEFORMATEX& format) {
    if (pHeader == nullptr || pHeader->lpData == nullptr || pHeader->dwBufferLength == 0) {
        return MMSYSERR_INVALPARAM;
    }
    // Whole frames only: a partial frame could never be completed.
    if (format.nBlockAlign == 0 || pHeader->dwBufferLength % format.nBlockAlign != 0) {
        return MMSYSERR_INVALPARAM;
    }
    if ((pHeader->dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    pHeader->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveUnprepareHeader(WAVEHDR* pHeader) {
    if (pHeader == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((pHeader->dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    pHeader->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveQueueHeader(WAVEHDR* pHeader) {
    if (pHeader == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((pHeader->dwFlags & WHDR_PREPARED) == 0) {
        return WAVERR_UNPREPARED;
    }
    if ((pHeader->dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    pHeader->dwFlags = (pHeader->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    pHeader->dwBytesRecorded = 0;
    return MMSYSERR_NOERROR;
}

void WaveMarkDone(WAVEHDR* pHeader) {
    pHeader->dwFlags = (pHeader->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}

void WaveCopyName(char* pszTarget, unsigned int nSize, const char* pszName) {
    if (pszTarget == nullptr || nSize == 0) {
        return;
    }
    if (pszName == nullptr) {
        pszName = "";
    }
    std::size_t nLength = std::strlen(pszName);
    if (nLength >= nSize) {
        nLength = nSize - 1;
        // Do not cut a UTF-8 sequence: drop continuation bytes and their lead.
        while (nLength > 0 && (static_cast<unsigned char>(pszName[nLength]) & 0xC0) == 0x80) {
            --nLength;
        }
    }
    std::memcpy(pszTarget, pszName, nLength);
    pszTarget[nLength] = '\0';
}

namespace {

// One message to a sink; false if the sink declined it (quietly only).
bool DeliverOne(const SWaveMailbox& box, unsigned int nMessage, WAVEHDR* pHeader, bool bQuietly) {
    if (bQuietly) {
        return box.m_pSink->OnWaveMessageQuietly(nMessage, pHeader);
    }
    box.m_pSink->OnWaveMessage(nMessage, pHeader);
    return true;
}

}  // namespace

int WaveDeliver(const std::vector<std::uint32_t>& handles,
                const std::function<bool(std::uint32_t, SWaveMailbox&)>& fnFind, bool bQuietly,
                bool* pbLeft) {
    int nDelivered = 0;
    bool bLeft = false;
    for (std::uint32_t nHandle : handles) {
        SWaveMailbox box;
        if (!fnFind(nHandle, box)) {
            continue;
        }
        std::size_t nToDeliver = box.m_pCompletions->size();
        bool bDeclined = false;
        while (nToDeliver-- > 0) {
            if (!fnFind(nHandle, box) || box.m_pCompletions->empty()) {
                break;
            }
            // Taken before delivery: the sink may queue the same header again.
            WAVEHDR* pHeader = box.m_pCompletions->front();
            box.m_pCompletions->pop_front();
            if (box.m_pSink == nullptr) {
                continue;
            }
            const unsigned int nMessage = IsRecording(box.m_nDirection) ? MM_WIM_DATA : MM_WOM_DONE;
            if (!DeliverOne(box, nMessage, pHeader, bQuietly)) {
                if (fnFind(nHandle, box)) {
                    box.m_pCompletions->push_front(pHeader);
                }
                bDeclined = true;
                break;
            }
            ++nDelivered;
        }
        if (!fnFind(nHandle, box)) {
            continue;
        }
        if (!bDeclined && *box.m_pbLostPending && box.m_pCompletions->empty()) {
            *box.m_pbLostPending = false;
            if (box.m_pSink != nullptr) {
                const unsigned int nMessage =
                    IsRecording(box.m_nDirection) ? MM_WIM_LOST : MM_WOM_LOST;
                if (DeliverOne(box, nMessage, nullptr, bQuietly)) {
                    ++nDelivered;
                } else {
                    *box.m_pbLostPending = true;
                }
            }
        }
        bLeft = bLeft || !box.m_pCompletions->empty() || *box.m_pbLostPending;
    }
    if (pbLeft != nullptr) {
        *pbLeft = bLeft;
    }
    return nDelivered;
}

bool WaveDeliverStarted(CWaveSink* pSink, bool& bPending, bool bQuietly) {
    if (!bPending || pSink == nullptr) {
        return false;
    }
    // Cleared before delivery: the sink may use the layer, even start it anew.
    bPending = false;
    if (!bQuietly) {
        pSink->OnWaveMessage(MM_WAVE_STARTED, nullptr);
        return true;
    }
    if (pSink->OnWaveMessageQuietly(MM_WAVE_STARTED, nullptr)) {
        return true;
    }
    bPending = true;
    return false;
}
