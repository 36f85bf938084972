// Opening a file the program reads by name (settings, engines, databases)
// without ever blocking: a FIFO in its place would hold open() and read()
// for good, a device could be anything. Shared by the front end, the host
// and the engines, so it stays header-only.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

// What OpenRegularFile reports for something other than a regular file.
constexpr int NOT_REGULAR_FILE = -2;

// A descriptor open for reading on the regular file strName names (relative
// to nDirFd, AT_FDCWD for a plain path); -1 with *pnErr = errno, or -1 with
// *pnErr = NOT_REGULAR_FILE. Links are followed, as any reader would.
inline int OpenRegularFile(const std::string& strName, int* pnErr, int nDirFd = AT_FDCWD) {
    int nFd = openat(nDirFd, strName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        *pnErr = errno;
        return -1;
    }
    struct stat st;
    if (fstat(nFd, &st) != 0) {
        *pnErr = errno;
        close(nFd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        *pnErr = S_ISDIR(st.st_mode) ? EISDIR : NOT_REGULAR_FILE;
        close(nFd);
        return -1;
    }
    *pnErr = 0;
    return nFd;
}

// Why OpenRegularFile or ReadRegularFile failed, in a few words.
inline std::string RegularFileError(int nErr) {
    if (nErr == NOT_REGULAR_FILE)
        return "not a regular file";
    if (nErr == EISDIR)
        return "a folder, not a file";
    return strerror(nErr);
}

// The whole content of the regular file strPath; false with *pnErr as
// OpenRegularFile gives it, or the read's errno.
inline bool ReadRegularFile(const std::string& strPath, std::string* pstrText, int* pnErr) {
    const int nFd = OpenRegularFile(strPath, pnErr);
    if (nFd < 0)
        return false;
    pstrText->clear();
    char arBuf[65536];
    for (;;) {
        const ssize_t n = read(nFd, arBuf, sizeof arBuf);
        if (n > 0) {
            pstrText->append(arBuf, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *pnErr = errno;
        break;
    }
    close(nFd);
    return *pnErr == 0;
}
