#include "gui/UiThreadLock.h"

#include <glib.h>

#include <thread>

namespace {

// Never freed: the user-interface thread still holds it when the program ends.
CUiLock* g_pUiLock = nullptr;
std::thread::id g_uiThread;
GPollFunc g_pfnPoll = nullptr;

// The event loop's wait for events, with the lock let go for its length.
gint PollWithoutLock(GPollFD* pFds, guint nFds, gint nTimeout) {
    if (std::this_thread::get_id() != g_uiThread) {
        return g_pfnPoll(pFds, nFds, nTimeout);
    }
    g_pUiLock->unlock();
    const gint nResult = g_pfnPoll(pFds, nFds, nTimeout);
    // Held by the sound thread only while it refills or measures a buffer.
    g_pUiLock->lock();
    return nResult;
}

}  // namespace

CUiLock& UiThreadLock() {
    if (g_pUiLock == nullptr) {
        g_pUiLock = new CUiLock;
        g_pUiLock->lock();
        g_uiThread = std::this_thread::get_id();
        GMainContext* pContext = g_main_context_default();
        g_pfnPoll = g_main_context_get_poll_func(pContext);
        g_main_context_set_poll_func(pContext, PollWithoutLock);
    }
    return *g_pUiLock;
}
