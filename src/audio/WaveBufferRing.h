// The ring of buffers a wave device owns: one separately allocated header and
// data block per buffer, each header's dwUser holding its index. Used by the
// device classes on the user-interface thread.
#pragma once

#include <vector>

#include "platform/WaveLayer.h"

class CWaveBufferRing {
public:
    // nCount slots, all empty; a negative count gives none.
    explicit CWaveBufferRing(int nCount);
    ~CWaveBufferRing();
    CWaveBufferRing(const CWaveBufferRing&) = delete;
    CWaveBufferRing& operator=(const CWaveBufferRing&) = delete;

    // Releases any existing buffers, then gives every slot a header and a
    // block of nSize bytes (none if nSize is not positive). False, with every
    // slot empty, if memory ran out.
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
    bool m_bAllocated = false;
    std::vector<WAVEHDR*> m_headers;
};
