// SPDX-License-Identifier: GPL-3.0-or-later
// CSharedArena is the memory one open device shares with the sound helper: an
// anonymous file mapped into the program, whose descriptor goes to the helper
// with the open request, and the places the device's buffers have in it. The
// program's buffers stay its own; their sound is copied through their places.
// One thread at a time.
#pragma once

#include <cstdint>
#include <map>

#include "sound/WaveLayer.h"

class CSharedArena {
public:
    struct SPlace {
        std::uint64_t m_nOffset;
        std::uint32_t m_nCapacity;
    };

    CSharedArena() = default;
    ~CSharedArena();
    CSharedArena(const CSharedArena&) = delete;
    CSharedArena& operator=(const CSharedArena&) = delete;

    // Makes and maps an arena of nBytes (address space only until written);
    // false when the system gives no memory.
    bool Create(std::uint64_t nBytes);
    // The arena's file, to hand to the helper; closed by CloseFile, after
    // which the mapping alone keeps the memory.
    int File() const { return m_nFile; }
    void CloseFile();

    char* Data() const { return m_pData; }
    // The header's place, given one if it has none that fits; null when the
    // arena is full.
    const SPlace* PlaceFor(WAVEHDR* pHeader);
    // The header whose place starts at nOffset, or null.
    WAVEHDR* HeaderAt(std::uint64_t nOffset) const;

private:
    char* m_pData = nullptr;
    std::uint64_t m_nBytes = 0;
    int m_nFile = -1;
    std::uint64_t m_nUsed = 0;
    std::map<WAVEHDR*, SPlace> m_places;
    std::map<std::uint64_t, WAVEHDR*> m_byOffset;
};
