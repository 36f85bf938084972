#include "platform/MountWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

CMountWatch::CMountWatch() {
    m_nFd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
}

CMountWatch::~CMountWatch() {
    if (m_nFd >= 0)
        close(m_nFd);
}

bool CMountWatch::HasChanged() {
    if (m_nFd < 0)
        return false;
    struct pollfd pfd = {m_nFd, POLLPRI, 0};
    if (poll(&pfd, 1, 0) <= 0 || !(pfd.revents & (POLLPRI | POLLERR)))
        return false;
    // Read through from the start, as watchers of this file do.
    char arBuf[16384];
    if (lseek(m_nFd, 0, SEEK_SET) == 0) {
        while (read(m_nFd, arBuf, sizeof arBuf) > 0) {
        }
    }
    return true;
}
