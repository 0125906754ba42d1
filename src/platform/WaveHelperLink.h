// CWaveHelperLink is one running sound helper process and the program's end
// of its socket: it starts the helper, sends requests and waits for their
// replies with a bound, collects the helper's events, and passes the
// helper's standard error on to the debug output (rate-limited). A reader
// thread of its own receives everything; the rest is called from the
// program's user-interface thread. A helper that does not answer in time is
// killed: it is the program's own child, and nothing of the program's memory
// is shared with it, so ending it is always safe.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/WaveHelperProtocol.h"

class CWaveHelperLink {
public:
    enum class ECall { Answered, TimedOut, Gone };

    CWaveHelperLink();
    ~CWaveHelperLink();
    CWaveHelperLink(const CWaveHelperLink&) = delete;
    CWaveHelperLink& operator=(const CWaveHelperLink&) = delete;

    // fnWake runs on the reader thread whenever events arrive or the helper
    // goes away. Set it before Start.
    void SetWakeHandler(std::function<void()> fnWake) { m_fnWake = std::move(fnWake); }

    // Starts the helper program and waits up to nTimeoutMs for its hello.
    // A helper started ahead for the same path is taken over instead.
    bool Start(const std::string& strPath, int nTimeoutMs);

    // Starts a helper for strPath now, without waiting, for the first Start
    // with that path to take over: the helper's own start (PortAudio listing
    // the devices) then runs while the program builds its windows. One at a
    // time; one never taken over is ended when the program ends. Returns its
    // process id, or -1 if it could not be started.
    static pid_t StartAhead(const std::string& strPath);

    // Sends a request and waits up to nTimeoutMs for its reply, which then
    // replaces message. A helper that does not answer in time is killed.
    ECall Call(SHelperMessage& message, int nTimeoutMs, int nFd = -1);

    // The events that have arrived, oldest first.
    std::vector<SHelperMessage> TakeEvents();
    // Waits up to nTimeoutMs for an event, a flood, or the helper's end.
    bool WaitForEvents(int nTimeoutMs);
    bool IsGone() const;
    // Whether the helper wrote more to its standard error within a second
    // than its budget: a sign of a thread caught in an error loop.
    bool IsFlooded() const;

    // Asks the helper to end and waits up to nTimeoutMs; then kills it.
    void Stop(int nTimeoutMs);
    // Ends the helper at once.
    void Kill();
    pid_t Pid() const { return m_nPid; }

private:
    void ReadLoop();
    void ReadMessages();
    void MarkGone();
    void MarkFlooded();
    void Reap();

    pid_t m_nPid = -1;
    int m_nSocket = -1;
    int m_nErrors = -1;     // the helper's standard error
    int m_nQuit[2] = {-1, -1};  // written to end the reader
    std::thread m_reader;
    std::function<void()> m_fnWake;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bHello = false;
    bool m_bGone = false;
    bool m_bFlooded = false;
    std::uint32_t m_nSerial = 0;
    std::uint32_t m_nAwaited = 0;  // the serial a caller waits for
    bool m_bReplied = false;
    SHelperMessage m_reply;
    std::deque<SHelperMessage> m_events;
    bool m_bLineStart = true;  // reader thread: the helper's own output starts a line
};
