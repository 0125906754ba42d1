// SPDX-License-Identifier: GPL-3.0-or-later
// A fixed-capacity single-producer single-consumer queue of pointers, the only
// structure the audio callback shares with the user-interface thread. Push and
// Pop never allocate, lock or wait. One thread may push and one thread may pop
// at a time; a role may pass to another thread only across a synchronisation
// point (such as stopping the audio stream) that orders the two.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

template <typename T>
class CWaveRing {
public:
    explicit CWaveRing(std::size_t nCapacity)
        : m_nSlots(nCapacity + 1), m_pSlots(new T*[nCapacity + 1]()) {}
    CWaveRing(const CWaveRing&) = delete;
    CWaveRing& operator=(const CWaveRing&) = delete;

    std::size_t Capacity() const { return m_nSlots - 1; }

    // Producer side. False when full.
    bool Push(T* pItem) {
        const std::size_t nTail = m_nTail.load(std::memory_order_relaxed);
        const std::size_t nNext = (nTail + 1) % m_nSlots;
        // Acquire: the consumer's read of the slot we may reuse is complete.
        if (nNext == m_nHead.load(std::memory_order_acquire)) {
            return false;
        }
        m_pSlots[nTail] = pItem;
        // Release: the slot (and whatever pItem points to) is visible before the index.
        m_nTail.store(nNext, std::memory_order_release);
        return true;
    }

    // Consumer side. False when empty.
    bool Pop(T*& pItem) {
        const std::size_t nHead = m_nHead.load(std::memory_order_relaxed);
        // Acquire: pairs with the producer's release of the tail.
        if (nHead == m_nTail.load(std::memory_order_acquire)) {
            return false;
        }
        pItem = m_pSlots[nHead];
        // Release: the slot has been read before the producer may reuse it.
        m_nHead.store((nHead + 1) % m_nSlots, std::memory_order_release);
        return true;
    }

    bool Empty() const {
        return m_nHead.load(std::memory_order_acquire) == m_nTail.load(std::memory_order_acquire);
    }

private:
    const std::size_t m_nSlots;
    std::unique_ptr<T*[]> m_pSlots;
    alignas(64) std::atomic<std::size_t> m_nHead{0};
    alignas(64) std::atomic<std::size_t> m_nTail{0};
};
