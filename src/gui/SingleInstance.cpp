#include "gui/SingleInstance.h"

#include <glib-unix.h>

#include <cstdlib>

#include <wx/defs.h>
#include <wx/snglinst.h>

#include "store/Store.h"

namespace {

// How long a new start waits for the running program to take its file.
constexpr int kHandOverMs = 5000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

CSingleInstance::CSingleInstance() {
    const std::string folder = SafeRuntimeFolder(std::getenv("XDG_RUNTIME_DIR"));
    if (folder.empty()) {
        return;
    }
    const std::string name =
        InstanceName(Env("WAYLAND_DISPLAY") + "|" + Env("DISPLAY"), StoreFilePath());
    m_strSocket = folder + "/" + name + ".socket";
    m_pChecker = std::make_unique<wxSingleInstanceChecker>();
    if (!m_pChecker->Create(wxString::FromUTF8(name + ".lock"), wxString::FromUTF8(folder))) {
        m_pChecker.reset();
    }
}

CSingleInstance::~CSingleInstance() {
    StopServing();
}

bool CSingleInstance::HandOver(const std::string& file) {
    return m_pChecker && m_pChecker->IsAnotherRunning() &&
           HandFileToInstance(m_strSocket, file, kHandOverMs);
}

void CSingleInstance::Serve(std::function<void(const std::string&)> onFile) {
    std::string why;
    if (!m_pChecker || m_pChecker->IsAnotherRunning() || !m_server.Listen(m_strSocket, why)) {
        return;
    }
    m_onFile = std::move(onFile);
    m_nWatch = g_unix_fd_add(m_server.Fd(), G_IO_IN, &CSingleInstance::OnReadable, this);
}

void CSingleInstance::StopServing() {
    if (m_nWatch != 0) {
        g_source_remove(m_nWatch);
        m_nWatch = 0;
    }
    m_server.Close();
}

gboolean CSingleInstance::OnReadable(gint, GIOCondition, gpointer data) {
    auto* self = static_cast<CSingleInstance*>(data);
    for (const std::string& file : self->m_server.TakeRequests()) {
        if (self->m_onFile) {
            self->m_onFile(file);
        }
    }
    return G_SOURCE_CONTINUE;
}
