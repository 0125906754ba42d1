// SPDX-License-Identifier: GPL-3.0-or-later
// The channel by which a second start of the program hands a file to the one
// already running for the same user, display and store: a datagram socket in
// the user's runtime folder, which only that user can enter. The running
// program listens on it (CInstanceServer, polled from its event loop, never
// waiting); the new start sends the file's path and waits a bounded time for
// the acknowledgement (HandFileToInstance). Any thread, one object per thread.
#pragma once

#include <string>
#include <vector>

// The folder the channel may live in: the runtime folder given (as
// $XDG_RUNTIME_DIR names it) when it is a folder of this user that nobody
// else can read or enter; empty for anything else, and then the program runs
// without the channel.
std::string SafeRuntimeFolder(const char* runtimeDir);

// The file name shared by the channel's socket and lock for a display and a
// store file, "org.klavora.Klavora-<16 hex digits>": two programs on other
// displays or with other stores are different programs to the user.
std::string InstanceName(const std::string& display, const std::string& storePath);

class CInstanceServer {
public:
    CInstanceServer() = default;
    ~CInstanceServer();
    CInstanceServer(const CInstanceServer&) = delete;
    CInstanceServer& operator=(const CInstanceServer&) = delete;

    // Listens at the path. A socket left behind by a program that has ended
    // is replaced; a program still listening there, or anything that is not
    // a socket, makes it fail, leaving the path as it is.
    bool Listen(const std::string& path, std::string& why);
    // The socket to watch for input; -1 when not listening.
    int Fd() const { return m_nFd; }
    // Every request waiting, without waiting for more: the absolute paths
    // sent by programs of this user, each acknowledged. Anything else is
    // dropped unanswered.
    std::vector<std::string> TakeRequests();
    // Stops listening and removes the socket.
    void Close();

private:
    int m_nFd = -1;
    std::string m_strPath;
};

// Sends an absolute file path to the program listening at socketPath; true
// once it acknowledged, within timeoutMs.
bool HandFileToInstance(const std::string& socketPath, const std::string& file, int timeoutMs);
