#include "platform/BackupStore.h"

#include "platform/UserHome.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "base/Diagnostics.h"
#include "base/PathParts.h"
#include "platform/BackupStoreIo.h"
#include "platform/SafePath.h"

const char* const g_szTempPrefix = ".quillet-";

namespace {

constexpr size_t COPY_BLOCK = 256 * 1024;

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

// Every name in the folder but "." and "..".
std::vector<std::string> FolderNames(int nDirFd) {
    std::vector<std::string> arNames;
    int nListFd = openat(nDirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* pDir = nListFd >= 0 ? fdopendir(nListFd) : nullptr;
    if (!pDir) {
        if (nListFd >= 0)
            close(nListFd);
        return arNames;
    }
    while (dirent* pEntry = readdir(pDir)) {
        const char* psz = pEntry->d_name;
        if (psz[0] == '.' && (psz[1] == '\0' || (psz[1] == '.' && psz[2] == '\0')))
            continue;
        arNames.push_back(psz);
    }
    closedir(pDir);
    return arNames;
}


// The next number to try after nLast: numbers only grow, and a name read as
// a negative number or as the very top of the range (a stray "-1.log")
// never sends the counter below a backup already on disk.
bool NextNumber(uint32_t nLast, uint32_t nHighestOnDisk, uint32_t* pnNext) {
    uint32_t nBase = nLast == UINT32_MAX ? nHighestOnDisk : std::max(nLast, nHighestOnDisk);
    if (nBase == UINT32_MAX)
        return false;
    *pnNext = nBase + 1;
    return true;
}

}  // namespace

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

bool IsPlainName(const std::string& strName) {
    return !strName.empty() && strName != "." && strName != ".." && strName.find('/') == std::string::npos &&
           strName.find('\0') == std::string::npos;
}

int OpenBackup(int nDirFd, const std::string& strFileName, CBackupInfo* pInfo, uint64_t* pnContent,
               int64_t* pnTime, CFileId* pId) {
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
    if (pnTime)
        *pnTime = static_cast<int64_t>(st.st_mtime);
    if (pId)
        *pId = CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return nFd;
}

bool IsBackupGone(int nDirFd, const std::string& strFileName, const CFileId& id) {
    struct stat st;
    if (!IsPlainName(strFileName))
        return false;
    if (fstatat(nDirFd, strFileName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    return id.IsSet() && !(id == CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
}

bool HoldBackup(int nDirFd, const std::string& strFileName, int nFd, const CFileId& id) {
    // A lock this file system cannot give still leaves the check below.
    while (flock(nFd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat stFd, stName;
    if (fstat(nFd, &stFd) != 0 || fstatat(nDirFd, strFileName.c_str(), &stName, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const CFileId idFd{static_cast<uint64_t>(stFd.st_dev), static_cast<uint64_t>(stFd.st_ino)};
    return stName.st_dev == stFd.st_dev && stName.st_ino == stFd.st_ino && (!id.IsSet() || id == idFd);
}

int CreateLockedTemp(int nDirFd, std::string* pstrName, mode_t nMode) {
    static unsigned s_nCounter = 0;
    for (int nTry = 0; nTry < 100; ++nTry) {
        std::string strName =
            g_szTempPrefix + std::to_string(getpid()) + "-" + std::to_string(++s_nCounter) + ".tmp";
        int nFd = openat(nDirFd, strName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, nMode);
        if (nFd >= 0) {
            if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
                close(nFd);
                unlinkat(nDirFd, strName.c_str(), 0);
                return -1;
            }
            *pstrName = strName;
            return nFd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

CProcPath::CProcPath(int nFd) {
    snprintf(m_sz, sizeof m_sz, "/proc/self/fd/%d", nFd);
}

CPendingFile::CPendingFile(int nDirFd, mode_t nMode) : m_nDirFd(nDirFd) {
    // An unnamed file is linked through /proc, which a build chroot may lack.
    if (access("/proc/self/fd", X_OK) == 0)
        m_fd.Reset(openat(nDirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, nMode));
    if (!m_fd.IsOpen())
        m_fd.Reset(CreateLockedTemp(nDirFd, &m_strTemp, nMode));
}

CPendingFile::~CPendingFile() {
    if (!m_strTemp.empty())
        unlinkat(m_nDirFd, m_strTemp.c_str(), 0);
}

bool CPendingFile::LinkAs(const std::string& strName) {
    if (m_strTemp.empty()) {
        const CProcPath path(m_fd.Get());
        return linkat(AT_FDCWD, path.m_sz, m_nDirFd, strName.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    if (linkat(m_nDirFd, m_strTemp.c_str(), m_nDirFd, strName.c_str(), 0) != 0)
        return false;
    unlinkat(m_nDirFd, m_strTemp.c_str(), 0);
    m_strTemp.clear();
    return true;
}

bool CPendingFile::Name() {
    if (!m_strTemp.empty())
        return true;
    static std::atomic<unsigned> s_nCounter{0};
    const CProcPath path(m_fd.Get());
    for (int nTry = 0; nTry < 100; ++nTry) {
        std::string strName = g_szTempPrefix + std::to_string(getpid()) + "-r" + std::to_string(++s_nCounter) + ".tmp";
        if (linkat(AT_FDCWD, path.m_sz, m_nDirFd, strName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_strTemp = std::move(strName);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool CPendingFile::RenameOver(const std::string& strName) {
    if (renameat(m_nDirFd, m_strTemp.c_str(), m_nDirFd, strName.c_str()) != 0)
        return false;
    m_strTemp.clear();
    return true;
}

std::string GetWorkDirPath() {
    const char* pszTmp = getenv("TMPDIR");
    if (pszTmp && *pszTmp)
        return std::string(pszTmp) + (pszTmp[strlen(pszTmp) - 1] == '/' ? "" : "/") + "Palisar";
    const char* pszState = getenv("XDG_STATE_HOME");
    if (pszState && pszState[0] == '/')
        return std::string(pszState) + "/Palisar";
    std::string strHome = UserHomeFolder();
    return strHome.empty() ? std::string() : strHome + "/.local/state/Palisar";
}

uint32_t PrepareWorkDir(std::string* pstrWorkDir) {
    *pstrWorkDir = GetWorkDirPath();
    if (pstrWorkDir->empty())
        return 0;
    MakeFolders(*pstrWorkDir, 0700);
    CBackupStore store(*pstrWorkDir);
    store.RemoveLeftovers();
    int nFd = open(pstrWorkDir->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nFd < 0 || !store.IsUsable()) {
        if (nFd >= 0)
            close(nFd);
        return 0;
    }
    std::vector<std::string> arNames;
    for (std::string& strName : FolderNames(nFd)) {
        struct stat st;
        if (fstatat(nFd, strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
            continue;
        arNames.push_back(std::move(strName));
    }
    close(nFd);
    return HighestBackupNumber(arNames);
}

// The highest backup number in the work folder, without listing it for
// every claim: a watch on the folder hears of every name made or removed
// there, by any program, and a claim (made under the folder's lock) reads
// what it heard first. Whatever it cannot account for, the folder is
// listed again.
class CClaimWatch {
public:
    ~CClaimWatch() {
        if (m_nInotify >= 0)
            close(m_nInotify);
    }
    uint32_t Highest(int nDirFd) {
        std::lock_guard<std::mutex> lock(m_mtx);
        struct stat st;
        if (fstat(nDirFd, &st) != 0)
            return HighestClaimedNumber(FolderNames(nDirFd));
        if (!m_bWatching || st.st_dev != m_nDev || st.st_ino != m_nIno)
            Watch(nDirFd, st);
        else
            ReadEvents();
        if (!m_bKnown) {
            m_nHighest = HighestClaimedNumber(FolderNames(nDirFd));
            m_bKnown = m_bWatching;
        }
        return m_nHighest;
    }

private:
    void Watch(int nDirFd, const struct stat& st) {
        m_bWatching = m_bKnown = false;
        if (m_nInotify < 0)
            m_nInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_nInotify < 0)
            return;
        if (m_nWatch >= 0)
            inotify_rm_watch(m_nInotify, m_nWatch);
        const CProcPath path(nDirFd);
        m_nWatch = inotify_add_watch(m_nInotify, path.m_sz,
                                     IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF |
                                         IN_MOVE_SELF | IN_ONLYDIR);
        if (m_nWatch < 0)
            return;
        // Events of an earlier watch say nothing of this folder.
        ReadEvents();
        m_bWatching = true;
        m_bKnown = false;
        m_nDev = st.st_dev;
        m_nIno = st.st_ino;
    }
    void ReadEvents() {
        alignas(struct inotify_event) char arBuf[16384];
        for (;;) {
            const ssize_t nGot = read(m_nInotify, arBuf, sizeof arBuf);
            if (nGot <= 0) {
                if (nGot < 0 && errno == EINTR)
                    continue;
                return;
            }
            for (ssize_t nAt = 0; nAt + static_cast<ssize_t>(sizeof(struct inotify_event)) <= nGot;) {
                const auto* pEvent = reinterpret_cast<const struct inotify_event*>(arBuf + nAt);
                nAt += static_cast<ssize_t>(sizeof(struct inotify_event) + pEvent->len);
                const uint32_t nNumber =
                    pEvent->len > 0 ? HighestClaimedNumber(std::vector<std::string>{std::string(pEvent->name)}) : 0;
                const bool bNumbered = nNumber != 0;
                if (pEvent->wd == m_nWatch && pEvent->len > 0 && (pEvent->mask & (IN_CREATE | IN_MOVED_TO))) {
                    if (bNumbered && nNumber > m_nHighest)
                        m_nHighest = nNumber;
                } else if (pEvent->wd == m_nWatch && pEvent->len > 0 && (pEvent->mask & (IN_DELETE | IN_MOVED_FROM))) {
                    // Only the highest going changes what follows it.
                    if (bNumbered && nNumber >= m_nHighest)
                        m_bKnown = false;
                } else if (pEvent->wd == m_nWatch || (pEvent->mask & IN_Q_OVERFLOW)) {
                    m_bKnown = false;  // lost events, or the folder itself moved or went
                    if (pEvent->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))
                        m_bWatching = false;
                }
            }
        }
    }

    std::mutex m_mtx;
    int m_nInotify = -1;
    int m_nWatch = -1;
    bool m_bWatching = false;
    bool m_bKnown = false;
    dev_t m_nDev = 0;
    ino_t m_nIno = 0;
    uint32_t m_nHighest = 0;
};

CBackupStore::CBackupStore(std::string strWorkDir)
    : m_strWorkDir(std::move(strWorkDir)), m_pClaims(std::make_unique<CClaimWatch>()) {}

CBackupStore::~CBackupStore() {
    StopWatch();
}

int CBackupStore::OpenWorkDir() const {
    int nFd = open(m_strWorkDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nFd < 0)
        return -1;
    struct stat st;
    // Another user's folder, or one others may write, could be planted with
    // files or read by them: not ours to keep backups in.
    if (fstat(nFd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 022) != 0) {
        close(nFd);
        // No system call failed: nothing the caller says may name an old error.
        errno = 0;
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

bool CBackupStore::WriteBackup(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                               CFileId* pId) {
    return WriteCopy(pnNumber, strFolder, strName, pId, nullptr);
}

bool CBackupStore::WriteCopy(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                             CFileId* pId, SCopied* pCopied) {
    // The number is used up whatever becomes of the copy.
    uint32_t nNumber = *pnNumber == UINT32_MAX ? UINT32_MAX : *pnNumber + 1;
    *pnNumber = nNumber;
    const std::string strSource = JoinPath(strFolder, strName);
    auto Fail = [&](const char* pszWhy, int nErrno) {
        Diagnose(std::string(pCopied ? "not quarantined, file left in place (" : "backup failed, file not cleaned (") +
                     pszWhy + ")",
                 strSource, nErrno);
        return false;
    };

    unsigned char arHeader[BACKUP_HEADER_SIZE];
    if (!IsPlainName(strName) || !BuildBackupHeader(strFolder, strName, arHeader))
        return Fail("the folder or name is too long for a backup", 0);
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return Fail("the work folder is missing or not ours alone", errno);
    // Every level of the recorded path is a real folder, and the file is
    // the one the caller means: a folder swapped for a link since is not
    // read through.
    CFd source(OpenNoFollow(strSource, O_RDONLY | O_NONBLOCK));
    struct stat st;
    if (!source.IsOpen())
        return Fail("cannot open the file", errno);
    if (fstat(source.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fail("not a regular file", 0);
    const CFileId id{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    if (pId && pId->IsSet() && !(*pId == id))
        return Fail("another file is in its place now", 0);
    if (m_fnTestHook)
        m_fnTestHook("source");

    CPendingFile copy(dir.Get(), 0600);
    if (!copy.IsOpen())
        return Fail("cannot create a file in the work folder", errno);
    errno = 0;
    if (!WriteFull(copy.Get(), arHeader, sizeof arHeader) || !CopyTransformed(source.Get(), copy.Get(), RotateRight))
        return Fail("copy failed", errno);
    if (pCopied) {
        // A copy that is to take the file's place carries its record from
        // the moment it has a name.
        pCopied->stSource = st;
        if (!ReadFileAcl(source.Get(), &pCopied->strAcl))
            return Fail("its access ACL cannot be read", errno);
        if (!pCopied->fnBeforeName(copy.Get()))
            return Fail("its record could not be written", errno);
    }
    if (m_fnTestHook)
        m_fnTestHook("claim");

    // Several programs may share the folder: the claim is made under a lock
    // so that numbers follow the highest on disk, and the link itself
    // refuses a name that is taken. The lock is the folder's own (this open
    // of it), so nothing is left behind; it goes with the descriptor.
    if (flock(dir.Get(), LOCK_EX) != 0)
        return Fail("cannot lock the work folder", errno);
    const uint32_t nOnDisk = m_pClaims->Highest(dir.Get());
    if (nNumber == UINT32_MAX || nNumber <= nOnDisk) {
        if (!NextNumber(nNumber, nOnDisk, &nNumber))
            return Fail("no backup number left", 0);
    }
    for (int nTry = 0; nTry < 1000; ++nTry) {
        *pnNumber = nNumber;
        if (copy.LinkAs(MakeBackupFileName(nNumber, strName))) {
            if (pId)
                *pId = id;
            if (pCopied) {
                // The claim is made: other writers need not wait for the rest.
                flock(dir.Get(), LOCK_UN);
                pCopied->strFileName = MakeBackupFileName(nNumber, strName);
                pCopied->nCopyFd = fcntl(copy.Get(), F_DUPFD_CLOEXEC, 0);
                pCopied->nDirFd = dir.Release();
            }
            return true;
        }
        if (errno != EEXIST)
            return Fail("cannot name the backup", errno);
        if (!NextNumber(nNumber, nOnDisk, &nNumber))
            return Fail("no backup number left", 0);
    }
    return Fail("no free backup number", 0);
}

void CBackupStore::RemoveLeftovers() {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return;
    const size_t nPrefix = strlen(g_szTempPrefix);
    const size_t nSuffix = strlen(g_szQuarantineSuffix);
    const std::vector<std::string> arNames = FolderNames(dir.Get());
    for (const std::string& strName : arNames) {
        // A quarantine record whose backup was deleted by an older reader.
        if (strName.size() > nSuffix && strName.compare(strName.size() - nSuffix, nSuffix, g_szQuarantineSuffix) == 0) {
            struct stat st;
            if (fstatat(dir.Get(), strName.substr(0, strName.size() - nSuffix).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
                errno == ENOENT && fstatat(dir.Get(), strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(st.st_mode) && st.st_uid == geteuid())
                unlinkat(dir.Get(), strName.c_str(), 0);
            continue;
        }
        if (strName.compare(0, nPrefix, g_szTempPrefix) != 0 || strName.size() < 4 ||
            strName.compare(strName.size() - 4, 4, ".tmp") != 0)
            continue;
        CFd temp(openat(dir.Get(), strName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        // A live writer holds its lock; a file we cannot lock is left alone.
        if (!temp.IsOpen() || fstat(temp.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
            flock(temp.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        unlinkat(dir.Get(), strName.c_str(), 0);
    }
}

std::vector<CBackupEntry> CBackupStore::List() const {
    std::vector<CBackupEntry> arEntries;
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return arEntries;
    for (std::string& strName : FolderNames(dir.Get())) {
        if (strName[0] == '.')
            continue;
        CBackupEntry entry;
        int nFd = OpenBackup(dir.Get(), strName, &entry.info, &entry.nContentSize, &entry.nTime, &entry.id);
        if (nFd < 0)
            continue;
        close(nFd);
        entry.strFileName = std::move(strName);
        arEntries.push_back(std::move(entry));
    }
    std::sort(arEntries.begin(), arEntries.end(),
              [](const CBackupEntry& a, const CBackupEntry& b) { return a.strFileName < b.strFileName; });
    return arEntries;
}

std::vector<CBackupBinItem> CBackupStore::ListBackups() const {
    std::vector<CBackupBinItem> arItems;
    // Name order: the numbered names keep the backups in the order taken.
    for (CBackupEntry& entry : List()) {
        arItems.push_back(CBackupBinItem{std::move(entry.strFileName), std::move(entry.info), entry.nTime, entry.id});
        CQuarantineRecord record;
        if (ReadQuarantineRecord(arItems.back().strFileName, &record)) {
            arItems.back().bQuarantined = true;
            arItems.back().strVirus = std::move(record.strVirus);
        }
    }
    return arItems;
}

EDeleteResult CBackupStore::Delete(const std::string& strFileName, const CFileId& id) const {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return DELETE_FAILED;
    CBackupInfo info;
    uint64_t nContent = 0;
    CFd backup(OpenBackup(dir.Get(), strFileName, &info, &nContent));
    if (!backup.IsOpen())
        return IsBackupGone(dir.Get(), strFileName, id) ? DELETE_GONE : DELETE_FAILED;
    // Held until it is unlinked: a restore of it waits, then finds it gone.
    if (!HoldBackup(dir.Get(), strFileName, backup.Get(), id))
        return DELETE_GONE;
    if (unlinkat(dir.Get(), strFileName.c_str(), 0) != 0)
        return DELETE_FAILED;
    unlinkat(dir.Get(), (strFileName + g_szQuarantineSuffix).c_str(), 0);
    return DELETE_OK;
}

bool CBackupStore::TakeChange() {
    if (m_nWatchFd < 0)
        m_nWatchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nWatchFd < 0) {
        // No inotify to be had (too many instances): the folder's identity
        // and times. A change in the same clock tick as the last one may
        // then wait for the next.
        struct stat st;
        char sz[128] = "";
        if (lstat(m_strWorkDir.c_str(), &st) == 0)
            snprintf(sz, sizeof sz, "%ju.%ju.%jd.%ld.%jd.%ld", static_cast<uintmax_t>(st.st_dev),
                     static_cast<uintmax_t>(st.st_ino), static_cast<intmax_t>(st.st_mtim.tv_sec),
                     st.st_mtim.tv_nsec, static_cast<intmax_t>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec);
        const bool bChanged = m_strStamp != sz;
        m_strStamp = sz;
        return bChanged;
    }
    bool bChanged = false;
    alignas(struct inotify_event) char arBuf[4096];
    for (;;) {
        const ssize_t nGot = read(m_nWatchFd, arBuf, sizeof arBuf);
        if (nGot <= 0)
            break;
        bChanged = true;
        for (ssize_t nPos = 0; nPos + static_cast<ssize_t>(sizeof(inotify_event)) <= nGot;) {
            const auto* pEvent = reinterpret_cast<const inotify_event*>(arBuf + nPos);
            // The folder went or moved away: watch the path afresh.
            if (pEvent->wd == m_nWatch && (pEvent->mask & (IN_IGNORED | IN_MOVE_SELF))) {
                inotify_rm_watch(m_nWatchFd, m_nWatch);
                m_nWatch = -1;
            }
            nPos += static_cast<ssize_t>(sizeof(inotify_event) + pEvent->len);
        }
    }
    if (m_nWatch < 0) {
        m_nWatch = inotify_add_watch(m_nWatchFd, m_strWorkDir.c_str(),
                                     IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                         IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW);
        // A folder seen anew may hold anything.
        if (m_nWatch >= 0)
            bChanged = true;
    }
    return bChanged;
}

void CBackupStore::StopWatch() {
    if (m_nWatchFd >= 0)
        close(m_nWatchFd);
    m_nWatchFd = -1;
    m_nWatch = -1;
    m_strStamp.clear();
}
