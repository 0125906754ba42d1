// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sound/WaveHelperProtocol.h"

// What the reader has learnt of the helper, each flag set once.
struct SHelperState {
    bool m_bHello = false;
    bool m_bGone = false;
    bool m_bFlooded = false;
    bool m_bStartOver = false;  // no hello within the start's time
    bool m_bStalled = false;
};

class CWaveHelperLink {
public:
    enum class ECall { Answered, TimedOut, Gone };

    CWaveHelperLink();
    ~CWaveHelperLink();
    CWaveHelperLink(const CWaveHelperLink&) = delete;
    CWaveHelperLink& operator=(const CWaveHelperLink&) = delete;

    // fnWake runs on the reader thread whenever events arrive, the helper
    // says hello, its start runs out of time, it stops answering, or it goes
    // away. Set it before Launch.
    void SetWakeHandler(std::function<void()> fnWake) { m_fnWake = std::move(fnWake); }

    // Starts the helper program without waiting for it: its hello arrives on
    // the reader thread. A helper started ahead for the same path is taken
    // over instead. False if it could not be started at all. A helper that
    // has not said hello within nStartMs has failed to start (StartFailed).
    bool Launch(const std::string& strPath, int nStartMs);
    // Waits up to nTimeoutMs for the hello; true once the helper is ready.
    bool WaitReady(int nTimeoutMs);
    bool IsReady() const;
    // The hello did not come within the start's time, or the helper ended first.
    bool StartFailed() const;
    // Launch, then WaitReady for nTimeoutMs; a helper not ready by then is killed.
    bool Start(const std::string& strPath, int nTimeoutMs);

    // Starts a helper for strPath now, without waiting, for the first Launch
    // with that path to take over: the helper's own start (PortAudio listing
    // the devices) then runs while the program builds its windows. One at a
    // time; one never taken over is ended when the program ends. Returns its
    // process id, or -1 if it could not be started.
    static pid_t StartAhead(const std::string& strPath);

    // Sends a request and waits for its reply, which then replaces message:
    // up to nTimeoutMs while the helper says nothing, up to nBusyMs in all
    // while it says that it is at work on the request (a slow sound server).
    // A helper that does not answer in time is killed.
    ECall Call(SHelperMessage& message, int nTimeoutMs, int nBusyMs, int nFd = -1);

    // While on, the reader watches the helper: after nQuietMs without a
    // message from it, it asks for a sign of life, and a helper that gives
    // none within nAnswerMs is stalled (stopped, or stuck in a loop that no
    // longer serves the program). The program turns it on while a stream
    // runs, when the helper has something to say all the time.
    void Watch(bool bOn, int nQuietMs, int nAnswerMs);
    bool IsStalled() const;

    // The events that have arrived, oldest first.
    std::vector<SHelperMessage> TakeEvents();
    // Waits up to nTimeoutMs for an event, a hello, a flood, a stall, a
    // failed start or the helper's end.
    bool WaitForEvents(int nTimeoutMs);
    bool IsGone() const;
    // Whether the helper wrote more to its standard error within a second
    // than its budget: a sign of a thread caught in an error loop.
    bool IsFlooded() const;

    // Asks the helper to end and waits up to nTimeoutMs; then kills it.
    void Stop(int nTimeoutMs);
    // Asks the helper to end, without waiting: it ends by itself (IsGone),
    // or the owner kills it later.
    void AskToQuit();
    // Ends the helper at once.
    void Kill();
    pid_t Pid() const { return m_nPid; }

private:
    using Clock = std::chrono::steady_clock;

    void ReadLoop();
    void ReadMessages();
    // The reader's watch over the start and a running stream: sets the
    // flags that are due and returns how long the next poll may sleep (-1:
    // without end).
    int CheckWatch(Clock::time_point now);
    void Mark(bool SHelperState::*pFlag);
    void MarkGone();
    void Reap();

    pid_t m_nPid = -1;
    int m_nSocket = -1;
    int m_nErrors = -1;         // the helper's standard error
    int m_nQuit[2] = {-1, -1};  // written to end the reader ('q') or to wake it ('w')
    std::thread m_reader;
    std::function<void()> m_fnWake;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    SHelperState m_state;
    std::uint32_t m_nSerial = 0;
    std::uint32_t m_nAwaited = 0;  // the serial a caller waits for
    bool m_bReplied = false;
    SHelperMessage m_reply;
    std::deque<SHelperMessage> m_events;
    Clock::time_point m_startDeadline;
    bool m_bWatching = false;
    int m_nQuietMs = 0;
    int m_nAnswerMs = 0;
    Clock::time_point m_lastHeard;  // the last message from the helper
    bool m_bPinged = false;         // a ping is waiting for its answer
    Clock::time_point m_pingedAt;
    bool m_bLineStart = true;  // reader thread: the helper's own output starts a line
};
