#include "platform/XdgRegistry.h"

#include "platform/FileBytes.h"
#include "platform/UserHome.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// Relative entries in the XDG variables are to be ignored.
bool IsAbsolute(const char* psz) {
    return psz && psz[0] == '/';
}

std::string TempName() {
    uint32_t nRandom = 0;
    if (getrandom(&nRandom, sizeof nRandom, GRND_NONBLOCK) != sizeof nRandom) {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        nRandom = static_cast<uint32_t>(ts.tv_nsec) ^ (static_cast<uint32_t>(getpid()) << 16);
    }
    char szName[32];
    std::snprintf(szName, sizeof szName, ".quillet-%08x.tmp", nRandom);
    return szName;
}

}  // namespace

CXdgRegistry::CXdgRegistry() : m_strUserBase(UserBaseFromEnv()), m_strMachineBase(MachineBaseFromEnv()) {}

CXdgRegistry::CXdgRegistry(std::string strUserBase, std::string strMachineBase)
    : m_strUserBase(std::move(strUserBase)), m_strMachineBase(std::move(strMachineBase)) {}

std::string CXdgRegistry::UserBaseFromEnv() {
    const char* pszConfig = getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(pszConfig))
        return pszConfig;
    std::string strHome = UserHomeFolder();
    return strHome.empty() ? std::string() : strHome + "/.config";
}

std::string CXdgRegistry::MachineBaseFromEnv() {
    const char* pszDirs = getenv("XDG_CONFIG_DIRS");
    std::string strDirs = pszDirs ? pszDirs : "";
    size_t nStart = 0;
    while (nStart <= strDirs.size()) {
        size_t nEnd = strDirs.find(':', nStart);
        if (nEnd == std::string::npos)
            nEnd = strDirs.size();
        std::string strDir = strDirs.substr(nStart, nEnd - nStart);
        if (IsAbsolute(strDir.c_str()))
            return strDir;
        nStart = nEnd + 1;
    }
    return "/etc/xdg";
}

bool CXdgRegistry::IsValidName(const std::string& strName) {
    return !strName.empty() && strName != "." && strName != ".." && strName.find('/') == std::string::npos &&
           strName.find('\0') == std::string::npos;
}

bool CXdgRegistry::SplitKey(const std::string& strKey, std::vector<std::string>* parParts) {
    parParts->clear();
    size_t nStart = 0;
    for (;;) {
        size_t nEnd = strKey.find('\\', nStart);
        std::string strPart = strKey.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        if (!IsValidName(strPart))
            return false;
        parParts->push_back(strPart);
        if (nEnd == std::string::npos)
            break;
        nStart = nEnd + 1;
    }
    // Everything lives under "Software"; the config folders are that already.
    if (parParts->front() == "Software")
        parParts->erase(parParts->begin());
    return !parParts->empty();
}

int CXdgRegistry::OpenKey(EHive eHive, const std::string& strKey, bool bCreate) const {
    const std::string& strBase = GetBase(eHive);
    std::vector<std::string> arKey;
    if (!IsAbsolute(strBase.c_str()) || !SplitKey(strKey, &arKey))
        return -1;
    // Base folders are followed as they are (a config folder may well be a
    // link); the walk goes by descriptors so no part is looked up twice.
    std::vector<std::string> arParts;
    size_t nStart = 1;
    while (nStart < strBase.size()) {
        size_t nEnd = strBase.find('/', nStart);
        if (nEnd == std::string::npos)
            nEnd = strBase.size();
        std::string strPart = strBase.substr(nStart, nEnd - nStart);
        if (!strPart.empty() && strPart != ".")
            arParts.push_back(strPart);
        nStart = nEnd + 1;
    }
    arParts.insert(arParts.end(), arKey.begin(), arKey.end());

    const mode_t nMode = eHive == HIVE_CURRENT_USER ? 0700 : 0755;
    int nFd = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const std::string& strPart : arParts) {
        if (nFd < 0)
            return -1;
        int nNext = openat(nFd, strPart.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (nNext < 0 && errno == ENOENT && bCreate) {
            if (mkdirat(nFd, strPart.c_str(), nMode) == 0 || errno == EEXIST)
                nNext = openat(nFd, strPart.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        close(nFd);
        nFd = nNext;
    }
    return nFd;
}

bool CXdgRegistry::QueryValue(EHive eHive, const std::string& strKey, const std::string& strName, size_t nMax,
                              std::string* pstrData) {
    if (!IsValidName(strName))
        return false;
    int nDir = OpenKey(eHive, strKey, false);
    if (nDir < 0)
        return false;
    // Non-blocking so a FIFO in a value's place cannot hold the caller.
    int nFd = openat(nDir, strName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    close(nDir);
    if (nFd < 0)
        return false;
    struct stat st;
    bool bOk = fstat(nFd, &st) == 0 && S_ISREG(st.st_mode);
    std::string strData;
    char arBuf[4096];
    while (bOk && strData.size() < nMax) {
        size_t nWant = std::min(sizeof arBuf, nMax - strData.size());
        ssize_t n = read(nFd, arBuf, nWant);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            bOk = false;
        if (n <= 0)
            break;
        strData.append(arBuf, static_cast<size_t>(n));
    }
    close(nFd);
    if (bOk)
        *pstrData = std::move(strData);
    return bOk;
}

bool CXdgRegistry::SetValue(EHive eHive, const std::string& strKey, const std::string& strName,
                            const std::string& strData) {
    if (!IsValidName(strName))
        return false;
    int nDir = OpenKey(eHive, strKey, true);
    if (nDir < 0)
        return false;
    // Records hold the paths of infected files: the user's own eyes only.
    const mode_t nMode = eHive == HIVE_CURRENT_USER ? 0600 : 0644;
    std::string strTemp;
    int nFd = -1;
    for (int nTry = 0; nTry < 16 && nFd < 0; ++nTry) {
        strTemp = TempName();
        nFd = openat(nDir, strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, nMode);
        if (nFd < 0 && errno != EEXIST)
            break;
    }
    bool bOk = false;
    if (nFd >= 0) {
        bOk = WriteAllBytes(nFd, strData);
        bOk = close(nFd) == 0 && bOk;
        // rename() replaces a link in the value's place; it never writes
        // through it.
        bOk = bOk && renameat(nDir, strTemp.c_str(), nDir, strName.c_str()) == 0;
        if (!bOk)
            unlinkat(nDir, strTemp.c_str(), 0);
    }
    close(nDir);
    return bOk;
}
