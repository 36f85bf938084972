// One message with an open descriptor riding along (SCM_RIGHTS), shared by
// the front end handing a socket to an engine's host and by an engine
// handing a file to its daemon.
#pragma once

#include <errno.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

// The bytes sent, or -1 with errno set; an interrupted send is tried again.
inline ssize_t SendWithDescriptor(int nSocket, const void* pData, size_t nLen, int nFd) {
    iovec iov{const_cast<void*>(pData), nLen};
    alignas(cmsghdr) char arControl[CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = arControl;
    msg.msg_controllen = sizeof arControl;
    cmsghdr* pHeader = CMSG_FIRSTHDR(&msg);
    pHeader->cmsg_level = SOL_SOCKET;
    pHeader->cmsg_type = SCM_RIGHTS;
    pHeader->cmsg_len = CMSG_LEN(sizeof(int));
    memcpy(CMSG_DATA(pHeader), &nFd, sizeof nFd);
    ssize_t nSent;
    while ((nSent = sendmsg(nSocket, &msg, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return nSent;
}
