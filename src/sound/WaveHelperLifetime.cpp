// SPDX-License-Identifier: GPL-3.0-or-later
// CWaveHelperLayer, part two: keeping a helper running. Starting one in the
// background, taking over the one that said hello, retiring and reaping the
// ones that ended or stopped answering, and watching the running one while
// any of its streams runs.
#include <algorithm>
#include <string>
#include <utility>

#include "base/DebugOutput.h"
#include "sound/WaveHelperHandle.h"

void CWaveHelperLayer::Launch() {
    const std::string strPath = m_fnFindHelper();
    m_bWaitedForStart = false;
    auto pLink = std::make_shared<CWaveHelperLink>();
    pLink->SetWakeHandler([this] { WakeUp(); });
    if (strPath.empty() || !pLink->Launch(strPath, m_limits.m_nStartMs)) {
        if (strPath.empty()) {
            OutputDebugText(
                "The sound helper klavora-sound was not found, or is not a program that can "
                "run\r\n");
        }
        m_bStartFailed = true;
        m_bStartEnded = true;
        return;
    }
    m_bStartFailed = false;
    m_pStarting = pLink;
}

void CWaveHelperLayer::CheckStart() {
    if (!m_pStarting) {
        return;
    }
    if (m_pStarting->IsReady()) {
        m_pLink = m_pStarting;
        m_pStarting.reset();
        ++m_nHelpersStarted;
        m_bStartEnded = true;
        UpdateWatch();
    } else if (m_pStarting->StartFailed()) {
        OutputDebugText(m_pStarting->IsGone()
                            ? "The sound helper ended before it was ready\r\n"
                            : "The sound helper was not ready within " +
                                  std::to_string(m_limits.m_nStartMs) +
                                  " ms: the sound system does not answer; the helper was "
                                  "stopped\r\n");
        m_pStarting->Kill();
        m_pStarting.reset();
        m_bStartFailed = true;
        m_bStartEnded = true;
    }
}

void CWaveHelperLayer::Settle() {
    ReapRetired(false);
    if (m_pLink && m_pLink->IsGone()) {
        ApplyEvents();
        DropLink(m_pLink, "the sound helper ended");
    }
    CheckStart();
}

std::shared_ptr<CWaveHelperLink> CWaveHelperLayer::Link() {
    Settle();
    if (m_pLink) {
        return m_pLink;
    }
    if (!m_pStarting && !m_bStartFailed) {
        Launch();
    }
    if (m_pStarting && !m_bWaitedForStart) {
        // Once per start: a call that found nothing ready waited its share,
        // and the calls after it answer at once until the helper is there.
        m_bWaitedForStart = true;
        m_pStarting->WaitReady(m_limits.m_nWaitMs);
        CheckStart();
    }
    return m_pLink;
}

EWaveSystem CWaveHelperLayer::WaitForSoundSystem(int nWaitMs) {
    Settle();
    if (m_pLink) {
        return EWaveSystem::Ready;
    }
    if (!m_pStarting) {
        // The last start failed: the helper is looked for again, in case it
        // was put in place since.
        Launch();
    }
    if (m_pStarting) {
        m_bWaitedForStart = true;
        m_pStarting->WaitReady(nWaitMs);
        CheckStart();
    }
    return SoundSystemState();
}

EWaveSystem CWaveHelperLayer::SoundSystemState() const {
    return m_pLink ? EWaveSystem::Ready : m_pStarting ? EWaveSystem::Starting : EWaveSystem::Failed;
}

void CWaveHelperLayer::Retire(std::shared_ptr<CWaveHelperLink> pLink) {
    if (!pLink) {
        return;
    }
    pLink->AskToQuit();
    m_retired.emplace_back(std::move(pLink),
                           Clock::now() + std::chrono::milliseconds(m_limits.m_nQuitMs));
}

void CWaveHelperLayer::ReapRetired(bool bAll) {
    const Clock::time_point now = Clock::now();
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if (bAll) {
            it->first->Stop(static_cast<int>(std::max<long long>(
                0,
                std::chrono::duration_cast<std::chrono::milliseconds>(it->second - now).count())));
        }
        if (bAll || it->first->IsGone() || now >= it->second) {
            it->first->Kill();
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }
}

void CWaveHelperLayer::UpdateWatch() {
    if (!m_pLink) {
        return;
    }
    bool bRunning = false;
    for (const auto& entry : m_handles) {
        bRunning = bRunning || (entry.second->m_pLink == m_pLink && entry.second->Running());
    }
    m_pLink->Watch(bRunning, m_limits.m_nQuietMs, m_limits.m_nAnswerMs);
}

void CWaveHelperLayer::Lose(SHandle& handle) {
    if (handle.m_bLost) {
        return;
    }
    for (WAVEHDR* pHeader : handle.m_inFlight) {
        WaveMarkDone(pHeader);
        handle.m_completions.push_back(pHeader);
    }
    handle.m_inFlight.clear();
    handle.m_bStarted = false;
    handle.m_bLost = true;
    handle.m_bLostPending = true;
    handle.m_pLink.reset();
}

void CWaveHelperLayer::DropLink(const std::shared_ptr<CWaveHelperLink>& pLink,
                                const std::string& strWhy, bool bWaited) {
    if (!pLink) {
        return;
    }
    // A copy: pLink may be m_pLink itself, which is reset below.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const std::shared_ptr<CWaveHelperLink> pKeep = pLink;
    pKeep->Kill();
    for (auto& entry : m_handles) {
        if (entry.second->m_pLink == pKeep) {
            Lose(*entry.second);
        }
    }
    if (m_pLink == pKeep) {
        m_pLink.reset();
        // The replacement starts now, so that the next use finds it ready.
        if (!m_pStarting) {
            Launch();
            m_bWaitedForStart = bWaited;
        }
    }
    OutputDebugText("Sound helper stopped: " + strWhy + "\r\n");
    WakeUp();
}
