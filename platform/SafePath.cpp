#include "platform/SafePath.h"

#include <errno.h>
#include <limits.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Walks the levels of strFolder from "/" down; each one must be a real
// folder.
int WalkLevels(const std::string& strFolder) {
    // "." and ".." are refused before anything is opened, wherever they stand.
    if (strFolder.empty() || strFolder[0] != '/' || (strFolder + "/").find("/./") != std::string::npos ||
        (strFolder + "/").find("/../") != std::string::npos) {
        errno = EINVAL;
        return -1;
    }
    int nFd = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    size_t nPos = 1;
    while (nFd >= 0 && nPos < strFolder.size()) {
        size_t nEnd = strFolder.find('/', nPos);
        if (nEnd == std::string::npos)
            nEnd = strFolder.size();
        if (nEnd == nPos) {  // "//"
            ++nPos;
            continue;
        }
        const std::string strLevel = strFolder.substr(nPos, nEnd - nPos);
        int nNext = openat(nFd, strLevel.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int nErr = errno;
        if (nNext < 0) {
            // O_PATH|O_NOFOLLOW opens a link itself; O_DIRECTORY then says
            // ENOTDIR. Say what it is.
            struct stat st;
            if (nErr == ENOTDIR && fstatat(nFd, strLevel.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                nErr = ELOOP;
            close(nFd);
            errno = nErr;
            return -1;
        }
        close(nFd);
        nFd = nNext;
        nPos = nEnd + 1;
    }
    return nFd;
}

}  // namespace

int OpenFolderNoFollow(const std::string& strFolder) {
    return WalkLevels(strFolder);
}

int OpenNoFollow(const std::string& strPath, int nFlags) {
    size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos) {
        errno = EINVAL;
        return -1;
    }
    const std::string strName = strPath.substr(nSlash + 1);
    if (strName.empty() || strName == "." || strName == "..") {
        if (strPath == "/")
            return open("/", nFlags | O_CLOEXEC);
        errno = EINVAL;
        return -1;
    }
    int nDir = WalkLevels(nSlash == 0 ? std::string("/") : strPath.substr(0, nSlash));
    if (nDir < 0)
        return -1;
    int nFd = openat(nDir, strName.c_str(), nFlags | O_NOFOLLOW | O_CLOEXEC);
    int nErr = errno;
    close(nDir);
    errno = nErr;
    return nFd;
}

std::string ProgramFolder() {
    char szBuf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", szBuf, sizeof szBuf - 1);
    if (n <= 0)
        return std::string();
    const std::string strExe(szBuf, static_cast<size_t>(n));
    const size_t nSlash = strExe.rfind('/');
    return nSlash == std::string::npos ? std::string() : strExe.substr(0, nSlash);
}
