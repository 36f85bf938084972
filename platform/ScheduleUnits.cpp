#include "platform/ScheduleUnits.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/FileBytes.h"
#include "platform/UserHome.h"
#include "res/Strings.h"
#include "base/EscapeField.h"

extern char** environ;

namespace {

constexpr size_t MAX_UNIT_BYTES = 1 << 20;

std::string Format(EStringId eId, const std::string& str1, const std::string& str2 = std::string()) {
    char szBuf[8192];
    snprintf(szBuf, sizeof szBuf, LoadText(eId), str1.c_str(), str2.c_str());
    return szBuf;
}

std::string Folder(const char* pszVar, const char* pszUnderHome) {
    const char* psz = getenv(pszVar);
    if (psz && psz[0] == '/')
        return psz;
    const std::string strHome = UserHomeFolder();
    return strHome.empty() ? std::string() : strHome + pszUnderHome;
}

// Each missing folder of strPath, made with nMode.
bool MakeFolders(const std::string& strPath, mode_t nMode) {
    for (size_t n = 1; n <= strPath.size(); ++n) {
        if (n < strPath.size() && strPath[n] != '/')
            continue;
        const std::string strPart = strPath.substr(0, n);
        if (mkdir(strPart.c_str(), nMode) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::string FindOnPath(const char* pszProgram) {
    const char* pszPath = getenv("PATH");
    std::string strPath = pszPath ? pszPath : "/usr/bin:/bin";
    size_t nStart = 0;
    while (nStart <= strPath.size()) {
        size_t nEnd = strPath.find(':', nStart);
        if (nEnd == std::string::npos)
            nEnd = strPath.size();
        const std::string strDir = strPath.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (strDir.empty() || strDir[0] != '/')
            continue;
        const std::string strFile = strDir + "/" + pszProgram;
        struct stat st;
        if (stat(strFile.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(strFile.c_str(), X_OK) == 0)
            return strFile;
    }
    return std::string();
}

// A unit file's text: regular, never through a link, never a FIFO.
int ReadUnit(int nDir, const std::string& strFile, std::string* pstrText) {
    const int nFd = openat(nDir, strFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0)
        return errno;
    struct stat st {};
    int nErr = 0;
    if (fstat(nFd, &st) != 0)
        nErr = errno;
    else if (!S_ISREG(st.st_mode))
        nErr = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    char arBuf[16384];
    while (nErr == 0) {
        const ssize_t n = read(nFd, arBuf, sizeof arBuf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            nErr = n < 0 ? errno : 0;
            break;
        }
        pstrText->append(arBuf, static_cast<size_t>(n));
        if (pstrText->size() > MAX_UNIT_BYTES)
            nErr = EFBIG;
    }
    close(nFd);
    return nErr;
}

// strFile in nDir holds strText: a new file beside it, synced, then moved
// in its place (bKeep: only while the name is free). Returns 0 or errno.
int WriteUnit(int nDir, const std::string& strFile, const std::string& strText, bool bKeep) {
    const std::string strTemp = "." + strFile + ".tmp" + std::to_string(getpid());
    unlinkat(nDir, strTemp.c_str(), 0);
    const int nFd = openat(nDir, strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (nFd < 0)
        return errno;
    int nErr = WriteAllBytes(nFd, strText) ? 0 : errno;
    if (nErr == 0 && fsync(nFd) != 0)
        nErr = errno;
    if (close(nFd) != 0 && nErr == 0)
        nErr = errno;
    if (nErr == 0) {
        // A link takes the name only while it is free; a rename replaces
        // the entry itself, never what a link there points to.
        if (bKeep ? linkat(nDir, strTemp.c_str(), nDir, strFile.c_str(), 0) != 0
                  : renameat(nDir, strTemp.c_str(), nDir, strFile.c_str()) != 0)
            nErr = errno;
    }
    unlinkat(nDir, strTemp.c_str(), 0);
    return nErr;
}

const char WANTS_DIR[] = "timers.target.wants";

}  // namespace

CScheduleUnits::CScheduleUnits() {
    const std::string strConfig = Folder("XDG_CONFIG_HOME", "/.config");
    if (!strConfig.empty())
        m_strUnitDir = strConfig + "/systemd/user";
    const char* pszRoot = getenv("QUILLET_SYSTEMD_ROOT");
    m_strSystemdRoot = pszRoot && pszRoot[0] == '/' ? pszRoot : "/";
    char szExe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (n > 0) {
        std::string strExe(szExe, static_cast<size_t>(n));
        m_strScanProgram = strExe.substr(0, strExe.rfind('/') + 1) + "quillet-scan";
    }
}

bool CScheduleUnits::SystemdRuns(std::string* pstrWhy) const {
    struct stat st;
    const std::string strBooted = m_strSystemdRoot + (m_strSystemdRoot.back() == '/' ? "" : "/") + "run/systemd/system";
    if (stat(strBooted.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || FindOnPath("systemctl").empty()) {
        *pstrWhy = LoadText(IDS_SCHEDULE_NO_SYSTEMD);
        return false;
    }
    return true;
}

bool CScheduleUnits::Systemctl(const std::vector<std::string>& arArgs) const {
    const std::string strSystemctl = FindOnPath("systemctl");
    if (strSystemctl.empty())
        return false;
    std::vector<std::string> arAll{strSystemctl, "--user", "--quiet"};
    arAll.insert(arAll.end(), arArgs.begin(), arArgs.end());
    std::vector<char*> arArgv;
    for (std::string& str : arAll)
        arArgv.push_back(str.data());
    arArgv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int nStatus = -1;
    if (posix_spawn(&pid, strSystemctl.c_str(), &actions, nullptr, arArgv.data(), environ) == 0)
        while (waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
        }
    posix_spawn_file_actions_destroy(&actions);
    return nStatus != -1 && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

int CScheduleUnits::OpenUnitDir(bool bMake, std::string* pstrMessage) const {
    if (m_strUnitDir.empty()) {
        *pstrMessage = Format(IDS_SCHEDULE_CANNOT_WRITE, "$XDG_CONFIG_HOME/systemd/user", strerror(ENOENT));
        return -1;
    }
    if (bMake && !MakeFolders(m_strUnitDir, 0755)) {
        *pstrMessage = Format(IDS_SCHEDULE_CANNOT_WRITE, EscapeField(m_strUnitDir), strerror(errno));
        return -1;
    }
    // The folder may be a link (a dotfiles checkout): it is followed as the
    // user set it up. What matters is that nobody else can put units there.
    const int nDir = open(m_strUnitDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDir < 0) {
        if (errno != ENOENT || bMake)
            *pstrMessage = Format(IDS_SCHEDULE_CANNOT_READ, EscapeField(m_strUnitDir), strerror(errno));
        return -1;
    }
    struct stat st {};
    if (fstat(nDir, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 022) != 0) {
        *pstrMessage = Format(IDS_SCHEDULE_UNSAFE_FOLDER, EscapeField(m_strUnitDir));
        close(nDir);
        return -1;
    }
    return nDir;
}

int CScheduleUnits::Add(CSchedule& schedule, std::string* pstrMessage) {
    if (!SystemdRuns(pstrMessage))
        return 2;
    if (m_strScanProgram.empty() || access(m_strScanProgram.c_str(), X_OK) != 0) {
        *pstrMessage = Format(IDS_SCHEDULE_NO_SCANNER, EscapeField(m_strScanProgram));
        return 2;
    }
    // The words are checked before any file is made.
    schedule.strName = ScheduleName(1);
    std::string strService, strTimer, strWhat;
    switch (MakeScheduleUnits(schedule, m_strScanProgram, &strService, &strTimer, &strWhat)) {
    case EUnitMake::Ok:
        break;
    case EUnitMake::LineBreak:
        *pstrMessage = Format(IDS_SCHEDULE_LINE_BREAK, EscapeField(strWhat));
        return 2;
    case EUnitMake::NotAbsolute:
        *pstrMessage = Format(IDS_SCHEDULE_NOT_ON_DISK, EscapeField(strWhat));
        return 2;
    case EUnitMake::NoTarget:
        *pstrMessage = LoadText(IDS_SELECT_ITEM);
        return 2;
    case EUnitMake::BadOption:
        *pstrMessage = Format(IDS_SCHEDULE_BAD_OPTION, EscapeField(strWhat));
        return 2;
    }
    const int nDir = OpenUnitDir(true, pstrMessage);
    if (nDir < 0)
        return 2;
    // The lowest number free: the service's name is taken only while free,
    // so two adds at once get two names.
    int nErr = EEXIST;
    for (int nNumber = 1; nErr == EEXIST && nNumber < 100000; ++nNumber) {
        schedule.strName = ScheduleName(nNumber);
        const std::string strBase = ScheduleUnitBase(schedule.strName);
        struct stat st;
        if (fstatat(nDir, (strBase + ".timer").c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        MakeScheduleUnits(schedule, m_strScanProgram, &strService, &strTimer, &strWhat);
        nErr = WriteUnit(nDir, strBase + ".service", strService, true);
    }
    const std::string strBase = ScheduleUnitBase(schedule.strName);
    const std::string strTimerFile = strBase + ".timer";
    if (nErr != 0) {
        *pstrMessage = Format(IDS_SCHEDULE_CANNOT_WRITE, EscapeField(m_strUnitDir + "/" + strBase + ".service"),
                              strerror(nErr));
        close(nDir);
        return 2;
    }
    nErr = WriteUnit(nDir, strTimerFile, strTimer, false);
    std::string strFailed = m_strUnitDir + "/" + strTimerFile;
    if (nErr == 0) {
        // Enabled as systemctl enables it: a link from the target's wants.
        strFailed = m_strUnitDir + "/" + WANTS_DIR + "/" + strTimerFile;
        if (mkdirat(nDir, WANTS_DIR, 0755) != 0 && errno != EEXIST)
            nErr = errno;
        const int nWants = nErr ? -1 : openat(nDir, WANTS_DIR, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (nErr == 0 && nWants < 0)
            nErr = errno;
        if (nWants >= 0) {
            unlinkat(nWants, strTimerFile.c_str(), 0);
            if (symlinkat((m_strUnitDir + "/" + strTimerFile).c_str(), nWants, strTimerFile.c_str()) != 0)
                nErr = errno;
            close(nWants);
        }
    }
    if (nErr != 0) {
        // Nothing half made stays behind.
        unlinkat(nDir, strTimerFile.c_str(), 0);
        unlinkat(nDir, (strBase + ".service").c_str(), 0);
        *pstrMessage = Format(IDS_SCHEDULE_CANNOT_WRITE, EscapeField(strFailed), strerror(nErr));
        close(nDir);
        return 2;
    }
    fsync(nDir);
    close(nDir);
    pstrMessage->clear();
    if (!Systemctl({"daemon-reload"}))
        *pstrMessage = LoadText(IDS_SCHEDULE_NEXT_SESSION);
    else if (!Systemctl({"start", strTimerFile}))
        *pstrMessage = Format(IDS_SCHEDULE_START_FAILED, strTimerFile);
    return 0;
}

bool CScheduleUnits::ReadEntry(int nDir, const std::string& strName, CScheduleEntry* pEntry,
                               std::vector<std::string>* parArgv, bool* pbFound) const {
    pEntry->strName = strName;
    pEntry->bReadable = false;
    const std::string strBase = ScheduleUnitBase(strName);
    std::string arText[2];
    const char* arSuffix[2] = {".service", ".timer"};
    *pbFound = false;
    for (int i = 0; i < 2; ++i) {
        const std::string strFile = strBase + arSuffix[i];
        const int nErr = ReadUnit(nDir, strFile, &arText[i]);
        if (nErr == 0) {
            *pbFound = true;
            continue;
        }
        if (pEntry->strWhy.empty())
            pEntry->strWhy = nErr == ENOENT ? Format(IDS_SCHEDULE_UNIT_MISSING, strFile)
                                            : Format(IDS_SCHEDULE_CANNOT_READ, strFile, strerror(nErr));
        *pbFound = *pbFound || nErr != ENOENT;
    }
    if (!pEntry->strWhy.empty())
        return false;
    pEntry->bReadable = ReadScheduleUnits(strName, arText[0], arText[1], &pEntry->schedule, parArgv, &pEntry->strWhy);
    return pEntry->bReadable;
}

int CScheduleUnits::List(std::vector<CScheduleEntry>* parEntries, std::string* pstrMessage) {
    parEntries->clear();
    const int nDir = OpenUnitDir(false, pstrMessage);
    if (nDir < 0)
        return pstrMessage->empty() ? 0 : 2;  // no folder: no schedule
    std::vector<std::pair<long, std::string>> arNames;
    const int nDup = dup(nDir);
    DIR* pDir = nDup >= 0 ? fdopendir(nDup) : nullptr;
    while (dirent* p = pDir ? readdir(pDir) : nullptr) {
        const std::string strName = ScheduleNameOfUnit(p->d_name);
        const long nNumber = strName.empty() ? 0 : atol(strName.c_str() + strName.find('-') + 1);
        if (!strName.empty() && std::find(arNames.begin(), arNames.end(), std::make_pair(nNumber, strName)) == arNames.end())
            arNames.emplace_back(nNumber, strName);
    }
    if (pDir)
        closedir(pDir);
    std::sort(arNames.begin(), arNames.end());
    for (const auto& name : arNames) {
        CScheduleEntry entry;
        std::vector<std::string> arArgv;
        bool bFound = false;
        ReadEntry(nDir, name.second, &entry, &arArgv, &bFound);
        parEntries->push_back(std::move(entry));
    }
    close(nDir);
    return 0;
}

int CScheduleUnits::ReadCommand(const std::string& strName, std::vector<std::string>* parArgv,
                                std::string* pstrMessage) {
    const int nDir = IsScheduleName(strName) ? OpenUnitDir(false, pstrMessage) : -1;
    if (nDir < 0) {
        if (pstrMessage->empty())
            *pstrMessage = Format(IDS_SCHEDULE_NOT_FOUND, EscapeField(strName));
        return 2;
    }
    CScheduleEntry entry;
    bool bFound = false;
    const bool bRead = ReadEntry(nDir, strName, &entry, parArgv, &bFound);
    close(nDir);
    if (!bFound)
        *pstrMessage = Format(IDS_SCHEDULE_NOT_FOUND, strName);
    else if (!bRead)
        *pstrMessage = strName + ": " + entry.strWhy;
    return bRead ? 0 : 2;
}

int CScheduleUnits::Remove(const std::string& strName, std::string* pstrMessage) {
    const int nDir = IsScheduleName(strName) ? OpenUnitDir(false, pstrMessage) : -1;
    if (nDir < 0) {
        if (pstrMessage->empty())
            *pstrMessage = Format(IDS_SCHEDULE_NOT_FOUND, EscapeField(strName));
        return 2;
    }
    const std::string strBase = ScheduleUnitBase(strName);
    const std::string strTimerFile = strBase + ".timer", strServiceFile = strBase + ".service";
    struct stat st;
    const bool bFound = fstatat(nDir, strTimerFile.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ||
                        fstatat(nDir, strServiceFile.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!bFound) {
        close(nDir);
        *pstrMessage = Format(IDS_SCHEDULE_NOT_FOUND, strName);
        return 2;
    }
    // Stopped first where an instance runs; where none does, nothing runs.
    Systemctl({"stop", strTimerFile, strServiceFile});
    int nResult = 0;
    const std::string strLink = std::string(WANTS_DIR) + "/" + strTimerFile;
    for (const std::string& strFile : {strLink, strTimerFile, strServiceFile}) {
        if (unlinkat(nDir, strFile.c_str(), 0) != 0 && errno != ENOENT && nResult == 0) {
            *pstrMessage = Format(IDS_SCHEDULE_CANNOT_REMOVE, EscapeField(m_strUnitDir + "/" + strFile), strerror(errno));
            nResult = 2;
        }
    }
    close(nDir);
    Systemctl({"daemon-reload"});
    return nResult;
}

int LockScheduleRun(const std::string& strName, std::string* pstrPath, std::string* pstrWhy) {
    const char* pszRuntime = getenv("XDG_RUNTIME_DIR");
    std::string strDir = pszRuntime && pszRuntime[0] == '/' ? std::string(pszRuntime) + "/quillet"
                                                             : Folder("XDG_STATE_HOME", "/.local/state") + "/quillet";
    *pstrPath = strDir + "/schedule-" + strName + ".lock";
    if (strDir == "/quillet") {
        *pstrWhy = strerror(ENOENT);
        return -2;
    }
    if (!MakeFolders(strDir, 0700)) {
        *pstrWhy = strerror(errno);
        return -2;
    }
    const int nFd = open(pstrPath->c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (nFd < 0) {
        *pstrWhy = strerror(errno);
        return -2;
    }
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
        const int nErr = errno;
        close(nFd);
        if (nErr == EWOULDBLOCK)
            return -1;
        *pstrWhy = strerror(nErr);
        return -2;
    }
    return nFd;
}
