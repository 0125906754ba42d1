#include "base/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Recursive so that a capture may itself write debug output; held while the
// capture runs so that a capture is never called after it was removed.
// Both live until the process ends (never destroyed), so that objects torn
// down at exit, such as the sound layer, can still write.
std::recursive_mutex& CaptureMutex() {
    static std::recursive_mutex* pMutex = new std::recursive_mutex;
    return *pMutex;
}

DebugCaptureFn& Capture() {
    static DebugCaptureFn* pCapture = new DebugCaptureFn;
    return *pCapture;
}

bool DebugToStderr() {
    const char* pszValue = std::getenv("KLAVORA_DEBUG");
    return pszValue != nullptr && std::strcmp(pszValue, "1") == 0;
}

}  // namespace

void OutputDebugText(const char* pszText) {
    if (pszText == nullptr) {
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(CaptureMutex());
        if (Capture()) {
            Capture()(pszText);
        }
    }
    if (DebugToStderr()) {
        std::fputs(pszText, stderr);
        std::fflush(stderr);
    }
}

DebugCaptureFn SetDebugCapture(DebugCaptureFn fnCapture) {
    std::lock_guard<std::recursive_mutex> lock(CaptureMutex());
    DebugCaptureFn fnPrevious = std::move(Capture());
    Capture() = std::move(fnCapture);
    return fnPrevious;
}

struct CDebugOutputCapture::SState {
    mutable std::mutex m_mutex;
    std::string m_strText;
};

CDebugOutputCapture::CDebugOutputCapture() : m_pState(new SState) {
    SState* pState = m_pState;
    m_fnPrevious = SetDebugCapture([pState](const char* pszText) {
        std::lock_guard<std::mutex> lock(pState->m_mutex);
        pState->m_strText += pszText;
    });
}

CDebugOutputCapture::~CDebugOutputCapture() {
    SetDebugCapture(std::move(m_fnPrevious));
    delete m_pState;
}

std::string CDebugOutputCapture::Text() const {
    std::lock_guard<std::mutex> lock(m_pState->m_mutex);
    return m_pState->m_strText;
}

void CDebugOutputCapture::Clear() {
    std::lock_guard<std::mutex> lock(m_pState->m_mutex);
    m_pState->m_strText.clear();
}
