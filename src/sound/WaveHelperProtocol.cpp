#include "sound/WaveHelperProtocol.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

SHelperFormat ToHelperFormat(const WAVEFORMATEX& format) {
    SHelperFormat helperFormat;
    helperFormat.m_nRate = format.nSamplesPerSec;
    helperFormat.m_nChannels = format.nChannels;
    helperFormat.m_nBits = format.wBitsPerSample;
    return helperFormat;
}

WAVEFORMATEX FromHelperFormat(const SHelperFormat& format) {
    WAVEFORMATEX waveFormat{};
    waveFormat.wFormatTag = WAVE_FORMAT_PCM;
    waveFormat.nChannels = format.m_nChannels;
    waveFormat.nSamplesPerSec = format.m_nRate;
    waveFormat.wBitsPerSample = format.m_nBits;
    waveFormat.nBlockAlign =
        static_cast<std::uint16_t>(format.m_nChannels * ((format.m_nBits + 7u) / 8u));
    waveFormat.nAvgBytesPerSec = format.m_nRate * waveFormat.nBlockAlign;
    return waveFormat;
}

bool SendHelperMessage(int nSocket, const SHelperMessage& message, int nFd, bool bDontWait) {
    iovec data{const_cast<SHelperMessage*>(&message), sizeof message};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (nFd >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* pControl = CMSG_FIRSTHDR(&header);
        pControl->cmsg_level = SOL_SOCKET;
        pControl->cmsg_type = SCM_RIGHTS;
        pControl->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(pControl), &nFd, sizeof(int));
    }
    const int nFlags = MSG_NOSIGNAL | (bDontWait ? MSG_DONTWAIT : 0);
    for (;;) {
        const ssize_t nSent = sendmsg(nSocket, &header, nFlags);
        if (nSent == static_cast<ssize_t>(sizeof message)) {
            return true;
        }
        if (nSent < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

EReceive ReceiveHelperMessage(int nSocket, SHelperMessage& message, int* pnFd, bool bDontWait) {
    if (pnFd != nullptr) {
        *pnFd = -1;
    }
    iovec data{&message, sizeof message};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    const int nFlags = MSG_CMSG_CLOEXEC | (bDontWait ? MSG_DONTWAIT : 0);
    ssize_t nReceived;
    do {
        nReceived = recvmsg(nSocket, &header, nFlags);
    } while (nReceived < 0 && errno == EINTR);
    if (nReceived == 0) {
        return EReceive::Closed;
    }
    if (nReceived < 0) {
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? EReceive::Empty : EReceive::Failed;
    }
    int nFd = -1;
    for (cmsghdr* pControl = CMSG_FIRSTHDR(&header); pControl != nullptr;
         pControl = CMSG_NXTHDR(&header, pControl)) {
        if (pControl->cmsg_level == SOL_SOCKET && pControl->cmsg_type == SCM_RIGHTS) {
            std::memcpy(&nFd, CMSG_DATA(pControl), sizeof(int));
        }
    }
    if (nReceived != static_cast<ssize_t>(sizeof message) || (header.msg_flags & MSG_TRUNC)) {
        if (nFd >= 0) {
            close(nFd);
        }
        return EReceive::Failed;
    }
    if (pnFd != nullptr) {
        *pnFd = nFd;
    } else if (nFd >= 0) {
        close(nFd);
    }
    return EReceive::Message;
}

void SendHelperLog(int nSocket, const char* pszText) {
    SHelperMessage message;
    message.m_nType = EHelperMessage::Log;
    std::size_t nLeft = std::strlen(pszText);
    while (nLeft > 0) {
        const std::size_t nPiece = nLeft < MAXPNAMELEN - 1 ? nLeft : MAXPNAMELEN - 1;
        std::memcpy(message.m_szName, pszText, nPiece);
        message.m_szName[nPiece] = '\0';
        if (!SendHelperMessage(nSocket, message)) {
            return;
        }
        pszText += nPiece;
        nLeft -= nPiece;
    }
}
