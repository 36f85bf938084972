#include "platform/PosixFileAccess.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

class CFlockHold : public IFileHold {
public:
    CFlockHold(int nFd, const CFileId& id) : m_nFd(nFd), m_id(id) {}
    ~CFlockHold() override { close(m_nFd); }
    CFileId GetId() const override { return m_id; }

private:
    int m_nFd;
    CFileId m_id;
};

int64_t NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// An exclusive lock of the open file itself, not of the process: two opens
// in one process exclude each other as two programs do.
bool LockExclusive(int nFd, int nWaitMs) {
    const int64_t nDeadline = NowMs() + nWaitMs;
    for (;;) {
        if (flock(nFd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || NowMs() >= nDeadline)
            return false;
        struct timespec ts {0, 5 * 1000 * 1000};
        nanosleep(&ts, nullptr);
    }
}

}  // namespace

bool CPosixFileAccess::Access(const std::string& strPath, bool bWrite) {
    if (!bWrite && strPath == m_strLastPath) {
        if (m_nUid == 0 || (m_nLastUid == m_nUid && (m_nLastMode & S_IRUSR)))
            return true;
    }
    return access(strPath.c_str(), bWrite ? (R_OK | W_OK) : R_OK) == 0;
}

bool CPosixFileAccess::GetMode(const std::string& strPath, uint32_t* pnMode) {
    struct stat st;
    if (lstat(strPath.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    *pnMode = st.st_mode & 07777;
    return true;
}

bool CPosixFileAccess::SetMode(const std::string& strPath, uint32_t nMode) {
    m_strLastPath.clear();
    return fchmodat(AT_FDCWD, strPath.c_str(), nMode & 07777, AT_SYMLINK_NOFOLLOW) == 0;
}

bool CPosixFileAccess::GetFileId(const std::string& strPath, CFileId* pId) {
    struct stat st;
    m_strLastPath.clear();
    if (lstat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *pId = CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    m_strLastPath = strPath;
    m_nLastUid = st.st_uid;
    m_nLastMode = st.st_mode;
    return true;
}

bool CPosixFileAccess::IsSameFolder(const std::string& strFolder, const CFileId& id) {
    struct stat st;
    return lstat(strFolder.empty() ? "/" : strFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == id;
}

std::unique_ptr<IFileHold> CPosixFileAccess::HoldFile(const std::string& strPath, const CFileId& id) {
    // Looked at before it is opened: opening a device or a FIFO put in the
    // file's place could block or act on the device.
    const int nPathFd = open(strPath.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (nPathFd < 0)
        return nullptr;
    struct stat st;
    if (fstat(nPathFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(nPathFd);
        return nullptr;
    }
    const CFileId held{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    if (id.IsSet() && held != id) {
        close(nPathFd);
        return nullptr;
    }
    // The very file looked at is opened again through its descriptor. Any
    // access mode takes the lock, so a file its user may only write is held
    // too; some network file systems lock only a file open for writing.
    const std::string strSelf = "/proc/self/fd/" + std::to_string(nPathFd);
    for (int nMode : {O_RDONLY, O_WRONLY, O_RDWR}) {
        int nFd = open(strSelf.c_str(), nMode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (nFd < 0 && errno == ENOENT) {
            // No /proc (a bare chroot): by name, then checked to be that file.
            nFd = open(strPath.c_str(), nMode | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            struct stat now;
            if (nFd >= 0 && (fstat(nFd, &now) != 0 || !S_ISREG(now.st_mode) ||
                             CFileId{static_cast<uint64_t>(now.st_dev), static_cast<uint64_t>(now.st_ino)} != held)) {
                close(nFd);
                break;
            }
        }
        if (nFd < 0) {
            if (errno == EACCES)
                continue;
            break;
        }
        if (LockExclusive(nFd, HOLD_WAIT_MS)) {
            close(nPathFd);
            return std::make_unique<CFlockHold>(nFd, held);
        }
        const int nErr = errno;
        close(nFd);
        if (nErr != EBADF && nErr != ENOLCK)
            break;
    }
    close(nPathFd);
    return nullptr;
}
