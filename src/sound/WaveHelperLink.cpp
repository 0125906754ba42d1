#include "sound/WaveHelperLink.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/DebugOutput.h"
#include "sound/DebugLineLimiter.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The helper's output is passed on at most this fast. Past the byte budget the
// reader stops reading for the rest of the second, so a runaway writer waits;
// the sound libraries write that much only from an error loop (PortAudio's
// can print an assertion over and over at hundreds of megabytes a second).
constexpr int kLinesPerSecond = 40;
constexpr std::size_t kBytesPerSecond = 64 * 1024;

// Helpers that were killed but had not ended yet, reaped later.
std::mutex g_reapMutex;
std::vector<pid_t> g_toReap;

void ReapLeftovers() {
    std::lock_guard<std::mutex> lock(g_reapMutex);
    g_toReap.erase(std::remove_if(g_toReap.begin(), g_toReap.end(),
                                  [](pid_t nPid) { return waitpid(nPid, nullptr, WNOHANG) != 0; }),
                   g_toReap.end());
}

void CloseFd(int& nFd) {
    if (nFd >= 0) {
        close(nFd);
        nFd = -1;
    }
}

// A copy of nFd at 10 or above, so that placing it at a low number in the
// child never meets the descriptor itself.
int HighCopy(int nFd) {
    const int nCopy = fcntl(nFd, F_DUPFD_CLOEXEC, 10);
    close(nFd);
    return nCopy;
}

// A started helper process: its id, the program's end of its socket and the
// read end of its standard error.
struct SSpawned {
    pid_t m_nPid = -1;
    int m_nSocket = -1;
    int m_nErrors = -1;
};

// Starts the helper at strPath with its socket as descriptor 3 and its
// standard error on a pipe; false, with the reason in strError, if it could
// not be started (the descriptors are then closed).
bool Spawn(const std::string& strPath, SSpawned& child, std::string& strError) {
    int sockets[2] = {-1, -1};
    int errors[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) != 0 ||
        pipe2(errors, O_CLOEXEC) != 0) {
        strError = "no sockets";
        for (int nFd : {sockets[0], sockets[1], errors[0], errors[1]}) {
            if (nFd >= 0) {
                close(nFd);
            }
        }
        return false;
    }
    const int nChildSocket = HighCopy(sockets[1]);
    const int nChildErrors = HighCopy(errors[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, nChildErrors, 2);
    posix_spawn_file_actions_adddup2(&actions, nChildSocket, 3);
    // Nothing else of the program's goes along (the toolkit's descriptors).
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    char szSocket[] = "3";
    char* argv[] = {const_cast<char*>(strPath.c_str()), szSocket, nullptr};
    const int nSpawned =
        posix_spawn(&child.m_nPid, strPath.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(nChildSocket);
    close(nChildErrors);
    child.m_nSocket = sockets[0];
    child.m_nErrors = errors[0];
    if (nSpawned != 0) {
        child.m_nPid = -1;
        strError = std::strerror(nSpawned);
        CloseFd(child.m_nSocket);
        CloseFd(child.m_nErrors);
        return false;
    }
    return true;
}

// The helper started ahead of its first use, until a link takes it over. One
// never taken over is ended when the program ends.
struct SAhead {
    std::mutex m_mutex;
    std::string m_strPath;
    SSpawned m_child;

    ~SAhead() { End(); }
    void End() {
        std::lock_guard<std::mutex> lock(m_mutex);
        CloseFd(m_child.m_nSocket);
        CloseFd(m_child.m_nErrors);
        if (m_child.m_nPid > 0) {
            kill(m_child.m_nPid, SIGKILL);
            // Reaped if it ends within moments; else the system reaps it.
            for (int i = 0; i < 200 && waitpid(m_child.m_nPid, nullptr, WNOHANG) == 0; ++i) {
                usleep(1000);
            }
        }
        m_child = SSpawned{};
        m_strPath.clear();
    }
    // Hands the helper over if it was started for strPath.
    bool Take(const std::string& strPath, SSpawned& child) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_child.m_nPid <= 0 || m_strPath != strPath) {
            return false;
        }
        child = m_child;
        m_child = SSpawned{};
        m_strPath.clear();
        return true;
    }
};

SAhead g_ahead;

}  // namespace

CWaveHelperLink::CWaveHelperLink() = default;

CWaveHelperLink::~CWaveHelperLink() {
    Kill();
}

pid_t CWaveHelperLink::StartAhead(const std::string& strPath) {
    g_ahead.End();
    SSpawned child;
    std::string strError;
    if (strPath.empty() || !Spawn(strPath, child, strError)) {
        // The first use tries again and says why.
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_ahead.m_mutex);
    g_ahead.m_strPath = strPath;
    g_ahead.m_child = child;
    return child.m_nPid;
}

bool CWaveHelperLink::Launch(const std::string& strPath, int nStartMs) {
    ReapLeftovers();
    if (pipe2(m_nQuit, O_CLOEXEC) != 0) {
        OutputDebugText("The sound helper could not be started: no sockets\r\n");
        return false;
    }
    SSpawned child;
    std::string strError;
    if (!g_ahead.Take(strPath, child) && !Spawn(strPath, child, strError)) {
        OutputDebugText("The sound helper " + strPath + " could not be started: " + strError +
                        "\r\n");
        MarkGone();
        return false;
    }
    m_nPid = child.m_nPid;
    m_nSocket = child.m_nSocket;
    m_nErrors = child.m_nErrors;
    m_startDeadline = Clock::now() + std::chrono::milliseconds(nStartMs);
    m_reader = std::thread([this] { ReadLoop(); });
    return true;
}

bool CWaveHelperLink::WaitReady(int nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(std::max(nTimeoutMs, 0)),
                  [this] { return m_state.m_bHello || m_state.m_bGone || m_state.m_bStartOver; });
    return m_state.m_bHello && !m_state.m_bGone;
}

bool CWaveHelperLink::IsReady() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.m_bHello && !m_state.m_bGone;
}

bool CWaveHelperLink::StartFailed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_state.m_bHello && (m_state.m_bGone || m_state.m_bStartOver);
}

bool CWaveHelperLink::Start(const std::string& strPath, int nTimeoutMs) {
    if (!Launch(strPath, nTimeoutMs)) {
        return false;
    }
    if (WaitReady(nTimeoutMs)) {
        return true;
    }
    OutputDebugText(IsGone()
                        ? "The sound helper ended before it was ready\r\n"
                        : "The sound helper was not ready within " + std::to_string(nTimeoutMs) +
                              " ms: the sound system does not answer; the helper was "
                              "stopped\r\n");
    Kill();
    return false;
}

void CWaveHelperLink::Watch(bool bOn, int nQuietMs, int nAnswerMs) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (bOn == m_bWatching) {
            return;
        }
        m_bWatching = bOn;
        m_nQuietMs = nQuietMs;
        m_nAnswerMs = nAnswerMs;
        m_lastHeard = Clock::now();
        m_bPinged = false;
    }
    if (bOn && m_nQuit[1] >= 0) {
        // The reader may sleep without end: it has a deadline now.
        const char ch = 'w';
        static_cast<void>(write(m_nQuit[1], &ch, 1));
    }
}

bool CWaveHelperLink::IsStalled() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.m_bStalled;
}

int CWaveHelperLink::CheckWatch(Clock::time_point now) {
    auto msUntil = [now](Clock::time_point at) {
        return static_cast<int>(
            std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(at - now).count()) +
            1);
    };
    bool bPing = false;
    int nSleepMs = -1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state.m_bGone) {
            return -1;
        }
        if (!m_state.m_bHello) {
            if (!m_state.m_bStartOver && now < m_startDeadline) {
                return msUntil(m_startDeadline);
            }
        } else if (m_bWatching && !m_state.m_bStalled) {
            if (!m_bPinged) {
                const Clock::time_point quietUntil =
                    m_lastHeard + std::chrono::milliseconds(m_nQuietMs);
                if (now < quietUntil) {
                    return msUntil(quietUntil);
                }
                m_bPinged = true;
                m_pingedAt = now;
                bPing = true;
                nSleepMs = msUntil(now + std::chrono::milliseconds(m_nAnswerMs));
            } else {
                const Clock::time_point answerBy =
                    m_pingedAt + std::chrono::milliseconds(m_nAnswerMs);
                if (now < answerBy) {
                    return msUntil(answerBy);
                }
            }
        } else {
            return -1;
        }
    }
    if (bPing) {
        SHelperMessage ping;
        ping.m_nType = EHelperMessage::Ping;
        // A full socket is no answer either: the check at the deadline says so.
        static_cast<void>(SendHelperMessage(m_nSocket, ping, -1, true));
        return nSleepMs;
    }
    const bool bHello = [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_state.m_bHello;
    }();
    Mark(bHello ? &SHelperState::m_bStalled : &SHelperState::m_bStartOver);
    return -1;
}

CWaveHelperLink::ECall CWaveHelperLink::Call(SHelperMessage& message, int nTimeoutMs, int nBusyMs,
                                             int nFd) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_state.m_bGone) {
        return ECall::Gone;
    }
    if (m_state.m_bStalled) {
        lock.unlock();
        Kill();
        return ECall::TimedOut;
    }
    message.m_nSerial = ++m_nSerial;
    m_nAwaited = message.m_nSerial;
    m_bReplied = false;
    lock.unlock();
    // A helper that stopped reading fills its socket: that is no answer either.
    if (!SendHelperMessage(m_nSocket, message, nFd, true)) {
        const bool bFull = errno == EAGAIN || errno == EWOULDBLOCK;
        if (!bFull) {
            MarkGone();
            return ECall::Gone;
        }
        Kill();
        return ECall::TimedOut;
    }
    lock.lock();
    // A helper that says nothing for nTimeoutMs is given up; one that says
    // it is at work on the request (Busy) is given up to nBusyMs.
    const Clock::time_point start = Clock::now();
    const Clock::time_point busyLimit = start + std::chrono::milliseconds(nBusyMs);
    m_lastHeard = std::max(m_lastHeard, start);
    for (;;) {
        const Clock::time_point silentLimit = m_lastHeard + std::chrono::milliseconds(nTimeoutMs);
        const Clock::time_point until = std::min(busyLimit, silentLimit);
        if (m_cv.wait_until(lock, until, [this] {
                return m_bReplied || m_state.m_bGone || m_state.m_bStalled;
            })) {
            break;
        }
        const Clock::time_point now = Clock::now();
        if (now >= busyLimit || now >= m_lastHeard + std::chrono::milliseconds(nTimeoutMs)) {
            break;
        }
    }
    m_nAwaited = 0;
    if (m_bReplied) {
        message = m_reply;
        return ECall::Answered;
    }
    if (m_state.m_bGone) {
        return ECall::Gone;
    }
    lock.unlock();
    Kill();
    return ECall::TimedOut;
}

std::vector<SHelperMessage> CWaveHelperLink::TakeEvents() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SHelperMessage> events(m_events.begin(), m_events.end());
    m_events.clear();
    return events;
}

bool CWaveHelperLink::WaitForEvents(int nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] {
        return !m_events.empty() || m_state.m_bGone || m_state.m_bFlooded || m_state.m_bStalled ||
               m_state.m_bStartOver;
    });
}

bool CWaveHelperLink::IsGone() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.m_bGone;
}

void CWaveHelperLink::Mark(bool SHelperState::*pFlag) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state.*pFlag) {
            return;
        }
        m_state.*pFlag = true;
    }
    m_cv.notify_all();
    if (m_fnWake) {
        m_fnWake();
    }
}

void CWaveHelperLink::MarkGone() {
    Mark(&SHelperState::m_bGone);
}

bool CWaveHelperLink::IsFlooded() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.m_bFlooded;
}

void CWaveHelperLink::AskToQuit() {
    if (!IsGone()) {
        SHelperMessage quit;
        quit.m_nType = EHelperMessage::Quit;
        static_cast<void>(SendHelperMessage(m_nSocket, quit, -1, true));
    }
}

void CWaveHelperLink::Stop(int nTimeoutMs) {
    AskToQuit();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                      [this] { return m_state.m_bGone; });
    }
    Kill();
}

void CWaveHelperLink::Kill() {
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
    }
    MarkGone();
    if (m_reader.joinable()) {
        const char ch = 'q';
        static_cast<void>(write(m_nQuit[1], &ch, 1));
        m_reader.join();
    }
    Reap();
    CloseFd(m_nSocket);
    CloseFd(m_nErrors);
    CloseFd(m_nQuit[0]);
    CloseFd(m_nQuit[1]);
}

void CWaveHelperLink::Reap() {
    if (m_nPid <= 0) {
        return;
    }
    // A killed process normally ends within moments; one stuck in the kernel
    // is reaped later, so that no zombie is left behind.
    for (int i = 0; i < 200; ++i) {
        const pid_t nDone = waitpid(m_nPid, nullptr, WNOHANG);
        if (nDone == m_nPid || (nDone < 0 && errno == ECHILD)) {
            m_nPid = -1;
            return;
        }
        usleep(1000);
    }
    std::lock_guard<std::mutex> lock(g_reapMutex);
    g_toReap.push_back(m_nPid);
    m_nPid = -1;
}

void CWaveHelperLink::ReadLoop() {
    CDebugLineLimiter limiter("Sound helper: ", kLinesPerSecond, kBytesPerSecond);
    bool bSocketOpen = true;
    bool bErrorsOpen = m_nErrors >= 0;
    while (bSocketOpen || bErrorsOpen) {
        const Clock::time_point now = Clock::now();
        const bool bPaused = limiter.Spent(now);
        pollfd fds[3] = {{m_nQuit[0], POLLIN, 0},
                         {bSocketOpen ? m_nSocket : -1, POLLIN, 0},
                         {bErrorsOpen && !bPaused ? m_nErrors : -1, POLLIN, 0}};
        int nTimeoutMs = CheckWatch(now);
        if (bPaused) {
            const int nResumeMs = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(limiter.ResumeAt() - now)
                    .count() +
                1);
            nTimeoutMs = nTimeoutMs < 0 ? nResumeMs : std::min(nTimeoutMs, nResumeMs);
        }
        if (poll(fds, 3, nTimeoutMs) < 0 && errno != EINTR) {
            break;
        }
        bool bQuit = false;
        if (fds[0].revents != 0) {
            char szWake[16];
            const ssize_t nWake = read(m_nQuit[0], szWake, sizeof szWake);
            bQuit = nWake <= 0 || std::memchr(szWake, 'q', static_cast<std::size_t>(nWake));
        }
        if (bQuit) {
            // Told to end (the helper was killed): what it wrote last tells why,
            // so take what is there, within the byte budget, and go.
            if (bErrorsOpen) {
                fcntl(m_nErrors, F_SETFL, O_NONBLOCK);
                char szChunk[4096];
                ssize_t nRead = 0;
                for (std::size_t nTaken = 0; nTaken < kBytesPerSecond &&
                                             (nRead = read(m_nErrors, szChunk, sizeof szChunk)) > 0;
                     nTaken += static_cast<std::size_t>(nRead)) {
                    limiter.Feed(szChunk, static_cast<std::size_t>(nRead), Clock::now());
                }
            }
            break;
        }
        if (fds[1].revents != 0) {
            ReadMessages();
            bSocketOpen = !IsGone();
        }
        if (fds[2].revents != 0) {
            char szChunk[4096];
            const ssize_t nRead = read(m_nErrors, szChunk, sizeof szChunk);
            if (nRead > 0) {
                limiter.Feed(szChunk, static_cast<std::size_t>(nRead), Clock::now());
                if (limiter.Spent(Clock::now())) {
                    Mark(&SHelperState::m_bFlooded);
                }
            } else if (nRead == 0 || errno != EINTR) {
                bErrorsOpen = false;
            }
        }
    }
    limiter.Finish(Clock::now());
    MarkGone();
}

void CWaveHelperLink::ReadMessages() {
    for (;;) {
        SHelperMessage message;
        const EReceive nReceived = ReceiveHelperMessage(m_nSocket, message, nullptr, true);
        if (nReceived == EReceive::Empty) {
            return;
        }
        if (nReceived != EReceive::Message) {
            MarkGone();
            return;
        }
        bool bWake = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Anything at all shows that the helper still serves the program.
            m_lastHeard = Clock::now();
            m_bPinged = false;
            if (message.m_nType == EHelperMessage::Log) {
                message.m_szName[MAXPNAMELEN - 1] = '\0';
                const std::string strText(message.m_szName);
                OutputDebugText((m_bLineStart ? "Sound helper: " : "") + strText);
                m_bLineStart = !strText.empty() && strText.back() == '\n';
                continue;
            }
            if (message.m_nType == EHelperMessage::Busy) {
                continue;
            }
            if (message.m_nType == EHelperMessage::Hello) {
                bWake = !m_state.m_bHello;
                m_state.m_bHello = true;
            } else if (message.m_nType == EHelperMessage::Reply) {
                if (message.m_nSerial == m_nAwaited && m_nAwaited != 0) {
                    m_reply = message;
                    m_bReplied = true;
                }
            } else {
                m_events.push_back(message);
                bWake = true;
            }
        }
        m_cv.notify_all();
        if (bWake && m_fnWake) {
            m_fnWake();
        }
    }
}
