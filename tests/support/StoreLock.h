// SPDX-License-Identifier: GPL-3.0-or-later
// Another process holding a write transaction on a store file, as a second
// program (or a second copy of the tool) does while it writes. The lock is
// taken when the constructor returns and let go by Release or destruction.
#pragma once

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class CStoreLock {
public:
    // exclusive: BEGIN EXCLUSIVE, which keeps readers out as well; otherwise
    // BEGIN IMMEDIATE, which lets them read but keeps other writers out.
    CStoreLock(const std::string& path, bool exclusive) {
        int toChild[2];
        int toParent[2];
        if (pipe(toChild) != 0 || pipe(toParent) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(toChild[1]);
            close(toParent[0]);
            sqlite3* db = nullptr;
            char ok = 0;
            if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                sqlite3_exec(db, exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", nullptr,
                             nullptr, nullptr) == SQLITE_OK) {
                ok = 1;
            }
            (void)!write(toParent[1], &ok, 1);
            char go = 0;
            (void)!read(toChild[0], &go, 1);  // returns at Release or when the parent is gone
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            _exit(0);
        }
        close(toChild[0]);
        close(toParent[1]);
        m_nRelease = toChild[1];
        char ok = 0;
        m_bLocked = m_pid > 0 && read(toParent[0], &ok, 1) == 1 && ok == 1;
        close(toParent[0]);
    }
    ~CStoreLock() { Release(); }
    CStoreLock(const CStoreLock&) = delete;
    CStoreLock& operator=(const CStoreLock&) = delete;

    bool Locked() const { return m_bLocked; }

    void Release() {
        if (m_nRelease >= 0) {
            close(m_nRelease);
            m_nRelease = -1;
        }
        if (m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
        m_bLocked = false;
    }

private:
    pid_t m_pid = -1;
    int m_nRelease = -1;
    bool m_bLocked = false;
};
