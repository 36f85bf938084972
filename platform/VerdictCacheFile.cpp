#include "platform/VerdictCacheFile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "base/Diagnostics.h"
#include "platform/FileBytes.h"
#include "platform/UserHome.h"

extern char** environ;

namespace {

constexpr char FILE_NAME[] = "verdicts";
constexpr char LOCK_NAME[] = "verdicts.lock";
// Bigger than MAX_KEYS records: not ours.
constexpr off_t MAX_FILE_BYTES = 64 << 20;

int64_t TimeNs(const timespec& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string StatLine(const struct stat& st) {
    return std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " " +
           std::to_string(TimeNs(st.st_mtim)) + " " + std::to_string(TimeNs(st.st_ctim));
}

// The folder made (0700) if missing and opened, when it is the user's and
// no one else's; -1 otherwise.
int OpenPrivateFolder(const std::string& strFolder, std::string* pstrWhy) {
    for (size_t nSlash = strFolder.find('/', 1);; nSlash = strFolder.find('/', nSlash + 1)) {
        const std::string strPart = strFolder.substr(0, nSlash);
        if (mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST) {
            *pstrWhy = strPart + ": " + strerror(errno);
            return -1;
        }
        if (nSlash == std::string::npos)
            break;
    }
    const int nDirFd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (nDirFd < 0 || fstat(nDirFd, &st) != 0) {
        *pstrWhy = strFolder + ": " + strerror(errno);
        if (nDirFd >= 0)
            close(nDirFd);
        return -1;
    }
    // Whoever else may write here could make any file pass for clean.
    if (st.st_uid != geteuid() || ((st.st_mode & 077) != 0 && fchmod(nDirFd, 0700) != 0)) {
        *pstrWhy = strFolder + ": not the user's own folder";
        close(nDirFd);
        return -1;
    }
    return nDirFd;
}

// The file's bytes when it is the user's own regular file, written by no
// one else; "" otherwise.
std::string ReadOwnFile(int nDirFd) {
    const int nFd = openat(nDirFd, FILE_NAME, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0)
        return std::string();
    std::string strBytes;
    struct stat st;
    if (fstat(nFd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0 &&
        st.st_size <= MAX_FILE_BYTES) {
        strBytes.resize(static_cast<size_t>(st.st_size));
        size_t nDone = 0;
        while (nDone < strBytes.size()) {
            const ssize_t n = read(nFd, strBytes.data() + nDone, strBytes.size() - nDone);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            nDone += static_cast<size_t>(n);
        }
        strBytes.resize(nDone);
    }
    close(nFd);
    return strBytes;
}

}  // namespace

CVerdictCacheFile::CVerdictCacheFile(const CHostEngine& engine) : m_engine(engine) {
    // Tests make files and scan them at once.
    if (const char* pszSettle = getenv("QUILLET_VERDICT_SETTLE_MS"))
        m_nSettleNs = static_cast<int64_t>(atoll(pszSettle)) * 1000000;
}

std::string CVerdictCacheFile::FolderFromEnv() {
    const char* pszCache = getenv("XDG_CACHE_HOME");
    if (pszCache && pszCache[0] == '/')
        return std::string(pszCache) + "/quillet";
    const std::string strHome = UserHomeFolder();
    return strHome.empty() ? std::string() : strHome + "/.cache/quillet";
}

bool CVerdictCacheFile::MakeIdentity(const std::string& strEngineVersion, std::string* pstrIdentity,
                                     std::string* pstrWhy) const {
    const SHostOptions& options = m_engine.GetOptions();
    std::string strLibrary = options.strLibrary;
    if (strLibrary.empty()) {
        const std::string strHost = options.strHostPath.empty() ? CHostEngine::DefaultHostPath() : options.strHostPath;
        strLibrary = strHost.substr(0, strHost.rfind('/') + 1) + "libfarsend.so";
    }
    struct stat st;
    if (stat(strLibrary.c_str(), &st) != 0) {
        *pstrWhy = strLibrary + ": " + strerror(errno);
        return false;
    }
    std::string strId = "library " + strLibrary + " " + StatLine(st) + "\nversion " + strEngineVersion + "\n";
    std::string strDatabase, strDaemon;
    std::vector<std::string> arSettings = options.arEnv;
    // What the host takes from our own environment too.
    for (char** ppsz = environ; ppsz && *ppsz; ++ppsz)
        if (strncmp(*ppsz, "QUILLET_CLAMAV_", 15) == 0 || strncmp(*ppsz, "FARSEND_", 8) == 0)
            arSettings.push_back(*ppsz);
    for (const std::string& strSetting : arSettings) {
        strId += "setting " + strSetting + "\n";
        if (strSetting.rfind("QUILLET_CLAMAV_DATABASE=", 0) == 0)
            strDatabase = strSetting.substr(24);
        else if (strSetting.rfind("QUILLET_CLAMD=", 0) == 0)
            strDaemon = strSetting.substr(14);
    }
    // The daemon's signatures are only known by the version it gives.
    if (!strDaemon.empty() && strEngineVersion.find('/') == std::string::npos) {
        *pstrWhy = "the daemon names no signature version";
        return false;
    }
    if (!strDatabase.empty()) {
        // Every signature file as it is now: any change, a new one or one
        // gone makes another identity.
        DIR* pDir = opendir(strDatabase.c_str());
        if (!pDir) {
            *pstrWhy = strDatabase + ": " + strerror(errno);
            return false;
        }
        std::vector<std::string> arLines;
        while (dirent* pEntry = readdir(pDir)) {
            if (strcmp(pEntry->d_name, ".") == 0 || strcmp(pEntry->d_name, "..") == 0)
                continue;
            struct stat stEntry;
            const std::string strPath = strDatabase + "/" + pEntry->d_name;
            if (stat(strPath.c_str(), &stEntry) == 0)
                arLines.push_back("signatures " + std::string(pEntry->d_name) + " " + StatLine(stEntry) + "\n");
            else
                arLines.push_back("signatures " + std::string(pEntry->d_name) + " unreadable\n");
        }
        closedir(pDir);
        std::sort(arLines.begin(), arLines.end());
        for (const std::string& strLine : arLines)
            strId += strLine;
    }
    *pstrIdentity = std::move(strId);
    return true;
}

bool CVerdictCacheFile::BeginScan(const std::string& strEngineVersion) {
    m_bActive = false;
    m_strOffReason.clear();
    m_mapFsTypes.clear();
    if (!m_bEnabled) {
        m_strOffReason = "turned off";
        return false;
    }
    const std::string strFolder = m_strFolder.empty() ? FolderFromEnv() : m_strFolder;
    std::string strIdentity;
    if (strFolder.empty()) {
        m_strOffReason = "no home folder";
        return false;
    }
    if (strEngineVersion.empty() || !MakeIdentity(strEngineVersion, &strIdentity, &m_strOffReason))
        return false;
    const int nDirFd = OpenPrivateFolder(strFolder, &m_strOffReason);
    if (nDirFd < 0)
        return false;
    m_known = CVerdictSet(strIdentity);
    m_known.Parse(ReadOwnFile(nDirFd));
    close(nDirFd);
    m_learnt = CVerdictSet(strIdentity);
    m_bActive = true;
    return true;
}

bool CVerdictCacheFile::IsKnownClean(const std::string& strPath, const CFileId& id) {
    if (!m_bActive || m_known.IsEmpty())
        return false;
    struct stat st;
    if (lstat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (id.IsSet() && (id.nDev != st.st_dev || id.nIno != st.st_ino)))
        return false;
    auto it = m_mapFsTypes.find(st.st_dev);
    if (it == m_mapFsTypes.end()) {
        struct statfs fs;
        if (statfs(strPath.c_str(), &fs) != 0)
            return false;
        it = m_mapFsTypes.emplace(st.st_dev, static_cast<uint64_t>(fs.f_type)).first;
    }
    SVerdictKey key;
    key.nDev = st.st_dev;
    key.nIno = st.st_ino;
    key.nSize = static_cast<uint64_t>(st.st_size);
    key.nMtimeNs = TimeNs(st.st_mtim);
    key.nCtimeNs = TimeNs(st.st_ctim);
    key.nFsType = it->second;
    return m_known.Contains(key);
}

void CVerdictCacheFile::RememberClean(const SScannedFile& file) {
    SVerdictKey key;
    if (m_bActive && RememberableKey(file, m_nSettleNs, &key))
        m_learnt.Add(key);
}

void CVerdictCacheFile::EndScan() {
    if (!m_bActive)
        return;
    m_bActive = false;
    // Read afresh by the next scan; a window keeps nothing meanwhile.
    m_known = CVerdictSet();
    if (m_learnt.IsEmpty())
        return;
    const std::string strFolder = m_strFolder.empty() ? FolderFromEnv() : m_strFolder;
    std::string strWhy;
    const int nDirFd = OpenPrivateFolder(strFolder, &strWhy);
    if (nDirFd < 0) {
        Diagnose("clean verdicts not kept: " + strWhy, strFolder);
        return;
    }
    // Another scan may have written since this one read: its verdicts stay.
    const int nLockFd = openat(nDirFd, LOCK_NAME, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    int nLocked = -1;
    while (nLockFd >= 0 && (nLocked = flock(nLockFd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (nLocked != 0) {
        Diagnose("clean verdicts not kept: cannot lock", strFolder + "/" + LOCK_NAME, errno);
        if (nLockFd >= 0)
            close(nLockFd);
        close(nDirFd);
        return;
    }
    CVerdictSet all(m_learnt.GetIdentity());
    all.Parse(ReadOwnFile(nDirFd));
    all.Merge(m_learnt);
    m_learnt = CVerdictSet(all.GetIdentity());
    const std::string strBytes = all.Serialize();
    // One name under the lock: what a killed writer left is replaced, and
    // nothing but a new file of ours (never a FIFO) is opened for writing.
    const std::string strTemp = std::string(FILE_NAME) + ".new";
    unlinkat(nDirFd, strTemp.c_str(), 0);
    const int nFd = openat(nDirFd, strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool bDone = nFd >= 0 && WriteAllBytes(nFd, strBytes);
    if (nFd >= 0 && close(nFd) != 0)
        bDone = false;
    if (bDone)
        bDone = renameat(nDirFd, strTemp.c_str(), nDirFd, FILE_NAME) == 0;
    if (!bDone) {
        Diagnose("clean verdicts not kept", strFolder + "/" + FILE_NAME, errno);
        unlinkat(nDirFd, strTemp.c_str(), 0);
    }
    close(nLockFd);
    close(nDirFd);
}
