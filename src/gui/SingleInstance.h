// SPDX-License-Identifier: GPL-3.0-or-later
// CSingleInstance keeps one program per user, display and store for the
// files given to it: a start with a file while another program runs hands the
// file to that one and ends; the program that runs first listens for such
// files and gives each to the main window's import. Without a safe runtime
// folder every start runs on its own, as without a file. User-interface
// thread only.
#pragma once

#include <glib.h>

#include <functional>
#include <memory>
#include <string>

#include "base/InstanceChannel.h"

class wxSingleInstanceChecker;

class CSingleInstance {
public:
    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when another program of this user, display and store runs and
    // took the file (an absolute path); this start then ends.
    bool HandOver(const std::string& file);
    // When this is the first program: listens for the files of later starts
    // and gives each to onFile from the event loop.
    void Serve(std::function<void(const std::string&)> onFile);
    void StopServing();

private:
    static gboolean OnReadable(gint fd, GIOCondition condition, gpointer data);

    std::string m_strSocket;
    std::unique_ptr<wxSingleInstanceChecker> m_pChecker;
    CInstanceServer m_server;
    std::function<void(const std::string&)> m_onFile;
    guint m_nWatch = 0;
};
