#include "sound/SharedArena.h"

#include <sys/mman.h>
#include <unistd.h>

CSharedArena::~CSharedArena() {
    CloseFile();
    if (m_pData != nullptr) {
        munmap(m_pData, m_nBytes);
    }
}

bool CSharedArena::Create(std::uint64_t nBytes) {
    const int nFile = memfd_create("klavora-sound-buffers", MFD_CLOEXEC);
    if (nFile < 0 || ftruncate(nFile, static_cast<off_t>(nBytes)) != 0) {
        if (nFile >= 0) {
            close(nFile);
        }
        return false;
    }
    void* pData = mmap(nullptr, nBytes, PROT_READ | PROT_WRITE, MAP_SHARED, nFile, 0);
    if (pData == MAP_FAILED) {
        close(nFile);
        return false;
    }
    m_pData = static_cast<char*>(pData);
    m_nBytes = nBytes;
    m_nFile = nFile;
    return true;
}

void CSharedArena::CloseFile() {
    if (m_nFile >= 0) {
        close(m_nFile);
        m_nFile = -1;
    }
}

const CSharedArena::SPlace* CSharedArena::PlaceFor(WAVEHDR* pHeader) {
    auto it = m_places.find(pHeader);
    if (it != m_places.end() && it->second.m_nCapacity >= pHeader->dwBufferLength) {
        return &it->second;
    }
    // Places start on cache lines, so that two buffers never share one.
    const std::uint64_t nOffset = (m_nUsed + 63) & ~std::uint64_t{63};
    if (nOffset + pHeader->dwBufferLength > m_nBytes) {
        return nullptr;
    }
    m_nUsed = nOffset + pHeader->dwBufferLength;
    m_byOffset[nOffset] = pHeader;
    return &(m_places[pHeader] = SPlace{nOffset, pHeader->dwBufferLength});
}

WAVEHDR* CSharedArena::HeaderAt(std::uint64_t nOffset) const {
    const auto it = m_byOffset.find(nOffset);
    return it == m_byOffset.end() ? nullptr : it->second;
}
