// A whole buffer written through a descriptor, past short writes and
// interrupts: the one loop every file the program writes goes through.
#pragma once

#include <errno.h>
#include <unistd.h>

#include <string_view>

// False with errno set (EIO when the file took nothing).
inline bool WriteAllBytes(int nFd, std::string_view bytes) {
    size_t nDone = 0;
    while (nDone < bytes.size()) {
        const ssize_t n = write(nFd, bytes.data() + nDone, bytes.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    return true;
}
