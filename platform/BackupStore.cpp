#include "platform/BackupStore.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

constexpr size_t COPY_BLOCK = 256 * 1024;

class CFd {
public:
    explicit CFd(int nFd = -1) : m_nFd(nFd) {}
    ~CFd() { Reset(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_nFd; }
    bool IsOpen() const { return m_nFd >= 0; }
    int Release() {
        int nFd = m_nFd;
        m_nFd = -1;
        return nFd;
    }
    void Reset(int nFd = -1) {
        if (m_nFd >= 0)
            close(m_nFd);
        m_nFd = nFd;
    }

private:
    int m_nFd;
};

bool ReadFull(int nFd, unsigned char* p, size_t nSize, size_t* pnGot) {
    size_t nGot = 0;
    while (nGot < nSize) {
        ssize_t n = read(nFd, p + nGot, nSize - nGot);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        nGot += static_cast<size_t>(n);
    }
    *pnGot = nGot;
    return true;
}

bool WriteFull(int nFd, const unsigned char* p, size_t nSize) {
    while (nSize > 0) {
        ssize_t n = write(nFd, p, nSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

// Copies nFrom to the end, transforming each block; false on any read or
// write error, or when the source ends before nExpected bytes.
bool CopyTransformed(int nFrom, int nTo, void (*pfnTransform)(unsigned char*, size_t)) {
    std::unique_ptr<unsigned char[]> pBuf(new unsigned char[COPY_BLOCK]);
    for (;;) {
        size_t nGot = 0;
        if (!ReadFull(nFrom, pBuf.get(), COPY_BLOCK, &nGot))
            return false;
        if (nGot == 0)
            return true;
        pfnTransform(pBuf.get(), nGot);
        if (!WriteFull(nTo, pBuf.get(), nGot))
            return false;
    }
}

// A temporary file in dirfd, created exclusively, never through a link.
int CreateTemp(int nDirFd, std::string* pstrName, mode_t nMode) {
    static unsigned s_nCounter = 0;
    for (int nTry = 0; nTry < 100; ++nTry) {
        std::string strName = ".quillet-" + std::to_string(getpid()) + "-" + std::to_string(++s_nCounter) + ".tmp";
        int nFd = openat(nDirFd, strName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, nMode);
        if (nFd >= 0) {
            *pstrName = strName;
            return nFd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// A plain file name: not empty, no '/', not "." or "..".
bool IsPlainName(const std::string& strName) {
    return !strName.empty() && strName != "." && strName != ".." && strName.find('/') == std::string::npos &&
           strName.find('\0') == std::string::npos;
}

// Opens a backup file of ours in the work folder and reads its header.
int OpenBackup(int nDirFd, const std::string& strFileName, CBackupInfo* pInfo, uint64_t* pnContent) {
    if (!IsPlainName(strFileName))
        return -1;
    int nFd = openat(nDirFd, strFileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0)
        return -1;
    struct stat st;
    unsigned char arHeader[BACKUP_HEADER_SIZE];
    size_t nGot = 0;
    if (fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        st.st_size < static_cast<off_t>(BACKUP_HEADER_SIZE) || !ReadFull(nFd, arHeader, sizeof arHeader, &nGot) ||
        !ParseBackupHeader(arHeader, nGot, pInfo)) {
        close(nFd);
        return -1;
    }
    *pnContent = static_cast<uint64_t>(st.st_size) - BACKUP_HEADER_SIZE;
    return nFd;
}

bool MakeFolders(const std::string& strPath, mode_t nMode) {
    // Each missing level of the path, from the top down.
    for (size_t nPos = 1; nPos <= strPath.size(); ++nPos) {
        if (nPos < strPath.size() && strPath[nPos] != '/')
            continue;
        std::string strPart = strPath.substr(0, nPos);
        if (mkdir(strPart.c_str(), nMode) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

}  // namespace

std::string GetWorkDirPath() {
    const char* pszTmp = getenv("TMPDIR");
    if (pszTmp && *pszTmp)
        return std::string(pszTmp) + (pszTmp[strlen(pszTmp) - 1] == '/' ? "" : "/") + "Palisar";
    const char* pszState = getenv("XDG_STATE_HOME");
    if (pszState && pszState[0] == '/')
        return std::string(pszState) + "/Palisar";
    const char* pszHome = getenv("HOME");
    return std::string(pszHome && *pszHome ? pszHome : "") + "/.local/state/Palisar";
}

uint32_t PrepareWorkDir(std::string* pstrWorkDir) {
    *pstrWorkDir = GetWorkDirPath();
    MakeFolders(*pstrWorkDir, 0700);
    CBackupStore store(*pstrWorkDir);
    if (!store.IsUsable())
        return 0;
    std::vector<std::string> arNames;
    int nFd = open(pstrWorkDir->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* pDir = nFd >= 0 ? fdopendir(nFd) : nullptr;
    if (!pDir) {
        if (nFd >= 0)
            close(nFd);
        return 0;
    }
    while (dirent* pEntry = readdir(pDir)) {
        if (pEntry->d_type == DT_DIR)
            continue;
        if (pEntry->d_type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(pDir), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
                continue;
        }
        arNames.push_back(pEntry->d_name);
    }
    closedir(pDir);
    return HighestBackupNumber(arNames);
}

CBackupStore::CBackupStore(std::string strWorkDir) : m_strWorkDir(std::move(strWorkDir)) {}

int CBackupStore::OpenWorkDir() const {
    int nFd = open(m_strWorkDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nFd < 0)
        return -1;
    struct stat st;
    // Another user's folder, or one others may write, could be planted with
    // files or read by them: not ours to keep backups in.
    if (fstat(nFd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 022) != 0) {
        close(nFd);
        return -1;
    }
    return nFd;
}

bool CBackupStore::IsUsable() const {
    int nFd = OpenWorkDir();
    if (nFd < 0)
        return false;
    close(nFd);
    return true;
}

bool CBackupStore::WriteBackup(uint32_t nNumber, const std::string& strFolder, const std::string& strName) {
    unsigned char arHeader[BACKUP_HEADER_SIZE];
    if (!IsPlainName(strName) || !BuildBackupHeader(strFolder, strName, arHeader))
        return false;
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return false;
    const std::string strSource = JoinPath(strFolder, strName);
    CFd source(open(strSource.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!source.IsOpen() || fstat(source.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;

    std::string strTemp;
    CFd target(CreateTemp(dir.Get(), &strTemp, 0600));
    if (!target.IsOpen())
        return false;
    bool bOk = WriteFull(target.Get(), arHeader, sizeof arHeader) &&
               CopyTransformed(source.Get(), target.Get(), RotateRight);
    // A write error can surface only at close; the backup counts only then.
    bOk = close(target.Release()) == 0 && bOk;
    const std::string strFileName = MakeBackupFileName(nNumber, strName);
    if (bOk && renameat(dir.Get(), strTemp.c_str(), dir.Get(), strFileName.c_str()) == 0)
        return true;
    unlinkat(dir.Get(), strTemp.c_str(), 0);
    return false;
}

std::vector<CBackupEntry> CBackupStore::List() const {
    std::vector<CBackupEntry> arEntries;
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return arEntries;
    int nListFd = dup(dir.Get());
    DIR* pDir = nListFd >= 0 ? fdopendir(nListFd) : nullptr;
    if (!pDir) {
        if (nListFd >= 0)
            close(nListFd);
        return arEntries;
    }
    while (dirent* pEntry = readdir(pDir)) {
        if (pEntry->d_name[0] == '.')
            continue;
        CBackupEntry entry;
        int nFd = OpenBackup(dir.Get(), pEntry->d_name, &entry.info, &entry.nContentSize);
        if (nFd < 0)
            continue;
        close(nFd);
        entry.strFileName = pEntry->d_name;
        arEntries.push_back(std::move(entry));
    }
    closedir(pDir);
    std::sort(arEntries.begin(), arEntries.end(),
              [](const CBackupEntry& a, const CBackupEntry& b) { return a.strFileName < b.strFileName; });
    return arEntries;
}

bool CBackupStore::Restore(const std::string& strFileName) const {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return false;
    CBackupInfo info;
    uint64_t nContent = 0;
    CFd backup(OpenBackup(dir.Get(), strFileName, &info, &nContent));
    // Only absolute folders, as the writer records them ("" is the root).
    if (!backup.IsOpen() || !IsPlainName(info.strName) || (!info.strFolder.empty() && info.strFolder[0] != '/'))
        return false;

    // The last level of the folder comes back if it was removed; a folder
    // that is now a link is not written through.
    const std::string strFolder = info.strFolder.empty() ? "/" : info.strFolder;
    mkdir(strFolder.c_str(), 0777);
    CFd target(open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!target.IsOpen())
        return false;

    // A file in the way keeps its permissions; a new one gets the usual ones.
    mode_t nMode = 0666;
    struct stat st;
    if (fstatat(target.Get(), info.strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode))
            return false;
        if (S_ISREG(st.st_mode))
            nMode = st.st_mode & 07777;
    } else {
        mode_t nMask = umask(0);
        umask(nMask);
        nMode &= ~nMask;
    }
    std::string strTemp;
    CFd out(CreateTemp(target.Get(), &strTemp, 0600));
    if (!out.IsOpen())
        return false;
    bool bOk = CopyTransformed(backup.Get(), out.Get(), RotateLeft) && fchmod(out.Get(), nMode) == 0;
    bOk = close(out.Release()) == 0 && bOk;
    if (!bOk || renameat(target.Get(), strTemp.c_str(), target.Get(), info.strName.c_str()) != 0) {
        unlinkat(target.Get(), strTemp.c_str(), 0);
        return false;
    }
    unlinkat(dir.Get(), strFileName.c_str(), 0);
    return true;
}

bool CBackupStore::Delete(const std::string& strFileName) const {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return false;
    CBackupInfo info;
    uint64_t nContent = 0;
    int nFd = OpenBackup(dir.Get(), strFileName, &info, &nContent);
    if (nFd < 0)
        return false;
    close(nFd);
    return unlinkat(dir.Get(), strFileName.c_str(), 0) == 0;
}
