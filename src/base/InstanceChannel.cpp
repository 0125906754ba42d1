#include "base/InstanceChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// A request is the tag and an absolute path; the answer is the tag of the
// acknowledgement. Anything longer than a path can be is not a request.
const char kRequestTag[] = "KLAVORA-OPEN\n";
const char kAnswer[] = "KLAVORA-OK";
constexpr std::size_t kLongestRequest = 8192;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int DatagramSocket() {
    return ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Whether a program still receives at the socket path: a datagram socket
// whose owner has gone refuses the connection.
bool SomeoneListens(const sockaddr_un& address) {
    const int fd = DatagramSocket();
    if (fd < 0) {
        return false;
    }
    const bool listening =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return listening;
}

}  // namespace

std::string SafeRuntimeFolder(const char* runtimeDir) {
    if (runtimeDir == nullptr || runtimeDir[0] != '/') {
        return std::string();
    }
    struct stat st {};
    if (::lstat(runtimeDir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0) {
        return std::string();
    }
    return runtimeDir;
}

std::string InstanceName(const std::string& display, const std::string& storePath) {
    // FNV-1a over both, apart.
    std::uint64_t hash = 1469598103934665603ull;
    for (const std::string* part : {&display, &storePath}) {
        for (unsigned char c : *part) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        hash = (hash ^ 0xffu) * 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("org.klavora.Klavora-") + hex;
}

CInstanceServer::~CInstanceServer() {
    Close();
}

bool CInstanceServer::Listen(const std::string& path, std::string& why) {
    Close();
    sockaddr_un address;
    if (!MakeAddress(path, address)) {
        why = "the socket's path is too long";
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            why = "something else lies at the socket's path";
            return false;
        }
        if (SomeoneListens(address)) {
            why = "another program listens there";
            return false;
        }
        ::unlink(path.c_str());
    }
    const int fd = DatagramSocket();
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = std::strerror(errno);
        ::close(fd);
        return false;
    }
    // The folder already keeps everyone else out; the socket does too.
    ::chmod(path.c_str(), 0600);
    m_nFd = fd;
    m_strPath = path;
    return true;
}

std::vector<std::string> CInstanceServer::TakeRequests() {
    std::vector<std::string> requests;
    if (m_nFd < 0) {
        return requests;
    }
    // Bounded: what was waiting when the call began, at most a few dozen.
    for (int i = 0; i < 32; ++i) {
        char buffer[kLongestRequest + 1];
        iovec part{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        sockaddr_un sender{};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_nFd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;  // nothing more waiting
        }
        bool sameUser = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
                ucred credentials{};
                std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
                sameUser = credentials.uid == ::geteuid();
            }
        }
        const std::string text(buffer, static_cast<std::size_t>(n));
        const std::size_t tag = sizeof kRequestTag - 1;
        if (!sameUser || (message.msg_flags & MSG_TRUNC) != 0 || text.size() <= tag + 1 ||
            text.compare(0, tag, kRequestTag) != 0 || text[tag] != '/' ||
            text.find('\0') != std::string::npos) {
            continue;
        }
        requests.push_back(text.substr(tag));
        if (message.msg_namelen > sizeof(sa_family_t)) {
            ::sendto(m_nFd, kAnswer, sizeof kAnswer - 1, MSG_DONTWAIT | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&sender), message.msg_namelen);
        }
    }
    return requests;
}

void CInstanceServer::Close() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
        m_nFd = -1;
        ::unlink(m_strPath.c_str());
        m_strPath.clear();
    }
}

bool HandFileToInstance(const std::string& socketPath, const std::string& file, int timeoutMs) {
    sockaddr_un address;
    if (!MakeAddress(socketPath, address) || file.empty() || file[0] != '/' ||
        file.size() + sizeof kRequestTag > kLongestRequest) {
        return false;
    }
    const int fd = DatagramSocket();
    if (fd < 0) {
        return false;
    }
    // An address of its own, chosen by the kernel, for the answer.
    sockaddr_un own{};
    own.sun_family = AF_UNIX;
    const std::string request = kRequestTag + file;
    bool answered = false;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&own), sizeof(sa_family_t)) == 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            pollfd p{fd, POLLIN, 0};
            const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                break;
            }
            char answer[sizeof kAnswer];
            const ssize_t n = ::recv(fd, answer, sizeof answer, MSG_DONTWAIT);
            if (n == static_cast<ssize_t>(sizeof kAnswer - 1) &&
                std::memcmp(answer, kAnswer, sizeof kAnswer - 1) == 0) {
                answered = true;
                break;
            }
        }
    }
    ::close(fd);
    return answered;
}
