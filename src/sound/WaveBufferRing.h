// SPDX-License-Identifier: GPL-3.0-or-later
// The ring of buffers a wave device owns: one separately allocated header and
// data block per buffer, each header's dwUser holding its index. Used by the
// device classes on the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "sound/WaveLayer.h"

class CWaveBufferRing {
public:
    // The most buffers a device can have queued at once.
    static constexpr int kMaxCount = 1024;
    // The largest buffer: twice the options dialog's largest choice, about six
    // seconds of sound; one buffer is filled or measured at a time on the
    // user-interface thread.
    static constexpr int kMaxSize = 1024 * 1024;
    // The most bytes one ring may hold: above the options dialog's largest
    // choice (100 buffers of 524288 bytes), and small enough that both
    // devices' rings together stay far below the memory of a machine.
    static constexpr long long kMaxBytes = 64LL * 1024 * 1024;

    // Why nCount buffers of nSize bytes, in frames of nFrameBytes, cannot be
    // used; empty when they can. Checked before anything is allocated.
    static std::string Unusable(int nCount, int nSize, int nFrameBytes);

    // nCount slots, all empty; a negative count gives none. A count above
    // kMaxCount gets no slots: such a ring is refused when it would be
    // allocated, and even its empty slots could fill the memory.
    explicit CWaveBufferRing(int nCount);
    ~CWaveBufferRing();
    CWaveBufferRing(const CWaveBufferRing&) = delete;
    CWaveBufferRing& operator=(const CWaveBufferRing&) = delete;

    // Releases any existing buffers, then gives every slot a header and a
    // block of nSize bytes (none if nSize is not positive). False, with every
    // slot empty, if memory ran out or the ring is beyond the limits.
    bool Allocate(int nSize);
    // Frees every block and header and empties the slots.
    void Release();

    bool Allocated() const { return m_bAllocated; }
    int Count() const { return static_cast<int>(m_headers.size()); }
    // The header in slot nIndex, or null when the slot is empty or out of range.
    WAVEHDR* Header(int nIndex) const;
    // True if pHeader is one of this ring's headers.
    bool Owns(const WAVEHDR* pHeader) const;

private:
    bool m_bTooMany = false;
    bool m_bAllocated = false;
    std::vector<WAVEHDR*> m_headers;
};
