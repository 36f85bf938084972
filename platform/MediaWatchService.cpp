#include "platform/MediaWatchService.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Utf8.h"
#include "engine/RegularFile.h"
#include "platform/DesktopNotifier.h"
#include "platform/MountTable.h"
#include "platform/XdgRegistry.h"
#include "res/Strings.h"

namespace {

const char* const AUTOSTART_NAME = "quillet-watch-media.desktop";
// Between two looks at a table that keeps changing: a drive mounted and
// unmounted without pause costs a few looks a second, not a core.
constexpr int64_t LOOK_GAP_MS = 200;
// An injected table (a plain file) gives no change events: it is looked at
// this often instead.
constexpr int FILE_LOOK_MS = 200;
constexpr int SIZE_TIMEOUT_MS = 3000;

int64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::string Format(EStringId eId, const std::string& str1, const std::string& str2) {
    std::vector<char> arBuf(str1.size() + str2.size() + strlen(LoadText(eId)) + 1);
    snprintf(arBuf.data(), arBuf.size(), LoadText(eId), str1.c_str(), str2.c_str());
    return arBuf.data();
}

bool MakeFolder(const std::string& strPath) {
    return mkdir(strPath.c_str(), 0700) == 0 || errno == EEXIST;
}

// A word of an Exec line: quoted when it holds a reserved character, with
// '%' doubled and the entry's own backslash escape on top.
bool ExecWord(const std::string& strWord, std::string* pstrOut) {
    bool bQuote = false;
    for (unsigned char ch : strWord) {
        if (ch < 0x20 || ch == 0x7F)
            return false;
        bQuote = bQuote || strchr(" \"'\\><~|&;$*?#()`", ch) != nullptr;
    }
    std::string strOut;
    for (char ch : strWord) {
        if (ch == '%')
            strOut += "%%";
        else if (bQuote && (ch == '"' || ch == '`' || ch == '$'))
            strOut += std::string("\\\\") + ch;
        else if (ch == '\\')
            strOut += "\\\\\\\\";
        else
            strOut += ch;
    }
    *pstrOut = bQuote ? "\"" + strOut + "\"" : strOut;
    return true;
}

std::string ReadTable(const std::string& strPath) {
    std::string strText;
    int nErr = 0;
    ReadRegularFile(strPath, &strText, &nErr);
    return strText;
}

std::vector<CMount> ParseTable(const std::string& strText) {
    return CMountTable::ParseMountInfo(strText, CMountTable::IsBlockDeviceRemovable);
}

bool IsUtf8(const std::string& str) {
    for (size_t i = 0; i < str.size();) {
        const CUtf8Char ch = DecodeUtf8(reinterpret_cast<const unsigned char*>(str.data()) + i, str.size() - i);
        if (!ch.bValid)
            return false;
        i += ch.nLen;
    }
    return true;
}

void ReapChildren() {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

}  // namespace

std::string MediaSettingsPath() {
    const std::string strBase = CXdgRegistry::UserBaseFromEnv();
    return strBase.empty() ? std::string() : strBase + "/quillet/media.conf";
}

bool ReadMediaSettingsFile(SMediaSettings* pSettings, std::string* pstrError) {
    const std::string strPath = MediaSettingsPath();
    std::string strText;
    int nErr = 0;
    if (strPath.empty() || !ReadRegularFile(strPath, &strText, &nErr)) {
        if (strPath.empty() || nErr == ENOENT)
            return true;
        *pstrError = Format(IDS_MEDIA_SETTINGS_UNREADABLE, strPath, RegularFileError(nErr));
        return false;
    }
    int nBadLine = 0;
    if (!ParseMediaSettings(strText, pSettings, &nBadLine)) {
        char szText[PATH_MAX + 256];
        snprintf(szText, sizeof szText, LoadText(IDS_MEDIA_SETTINGS_BAD_LINE), strPath.c_str(), nBadLine);
        *pstrError = szText;
        return false;
    }
    return true;
}

std::string MediaAutostartPath() {
    const std::string strBase = CXdgRegistry::UserBaseFromEnv();
    return strBase.empty() ? std::string() : strBase + "/autostart/" + AUTOSTART_NAME;
}

std::string MediaAutostartEntry(const std::string& strProgram) {
    std::string strExec;
    // A path the entry cannot carry (not UTF-8, a control character) gives
    // way to the one on the PATH.
    if (!ExecWord(strProgram, &strExec) || !IsUtf8(strProgram))
        strExec = "quillet";
    return std::string("[Desktop Entry]\n") + "Type=Application\n" + "Name=" + LoadText(IDS_MEDIA_ENTRY_NAME) + "\n" +
           "Comment=" + LoadText(IDS_MEDIA_ENTRY_COMMENT) + "\n" + "Exec=" + strExec + " --watch-media\n" +
           "Icon=quillet\n" + "Terminal=false\n" + "NoDisplay=true\n";
}

bool IsMediaWatchEnabled() {
    const std::string strPath = MediaAutostartPath();
    struct stat st;
    return !strPath.empty() && lstat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EnableMediaWatch(bool bOn, std::string* pstrWhy) {
    const std::string strBase = CXdgRegistry::UserBaseFromEnv();
    if (strBase.empty()) {
        *pstrWhy = LoadText(IDS_MEDIA_NO_CONFIG_FOLDER);
        return false;
    }
    const std::string strFolder = strBase + "/autostart";
    if (bOn && (!MakeFolder(strBase) || !MakeFolder(strFolder))) {
        *pstrWhy = strerror(errno);
        return false;
    }
    // The folder itself is never reached through a link.
    const int nDir = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nDir < 0) {
        *pstrWhy = strerror(errno);
        return !bOn && errno == ENOENT;
    }
    bool bOk = true;
    if (!bOn) {
        // A link in the entry's place goes; what it points to stays.
        bOk = unlinkat(nDir, AUTOSTART_NAME, 0) == 0 || errno == ENOENT;
        if (!bOk)
            *pstrWhy = strerror(errno);
        close(nDir);
        return bOk;
    }
    const CDesktopNotifier notifier;
    const std::string strText = MediaAutostartEntry(notifier.m_strOpen);
    const std::string strTemp = std::string(".") + AUTOSTART_NAME + "." + std::to_string(getpid());
    unlinkat(nDir, strTemp.c_str(), 0);
    const int nFd = openat(nDir, strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bOk = nFd >= 0 && write(nFd, strText.data(), strText.size()) == static_cast<ssize_t>(strText.size()) &&
          fsync(nFd) == 0;
    if (nFd >= 0)
        bOk = close(nFd) == 0 && bOk;
    bOk = bOk && renameat(nDir, strTemp.c_str(), nDir, AUTOSTART_NAME) == 0;
    if (!bOk) {
        *pstrWhy = strerror(errno);
        unlinkat(nDir, strTemp.c_str(), 0);
    }
    close(nDir);
    return bOk;
}

bool ReadOnBattery(const std::string& strFolder) {
    std::vector<SPowerSupply> arSupplies;
    DIR* pDir = opendir(strFolder.c_str());
    while (dirent* pEntry = pDir ? readdir(pDir) : nullptr) {
        if (pEntry->d_name[0] == '.')
            continue;
        SPowerSupply supply;
        int nErr = 0;
        const std::string strBase = strFolder + "/" + pEntry->d_name + "/";
        ReadRegularFile(strBase + "type", &supply.strType, &nErr);
        ReadRegularFile(strBase + "online", &supply.strOnline, &nErr);
        while (!supply.strType.empty() && (supply.strType.back() == '\n' || supply.strType.back() == ' '))
            supply.strType.pop_back();
        arSupplies.push_back(std::move(supply));
    }
    if (pDir)
        closedir(pDir);
    return IsOnBattery(arSupplies);
}

uint64_t ReadDriveSize(const std::string& strMountPath, int nTimeoutMs) {
    struct SState {
        std::mutex mutex;
        std::condition_variable cv;
        bool bDone = false;
        uint64_t nSize = 0;
    };
    auto pState = std::make_shared<SState>();
    std::thread([pState, strMountPath] {
        struct statvfs st {};
        const uint64_t nSize =
            statvfs(strMountPath.c_str(), &st) == 0 ? static_cast<uint64_t>(st.f_blocks) * st.f_frsize : 0;
        std::lock_guard<std::mutex> lock(pState->mutex);
        pState->nSize = nSize;
        pState->bDone = true;
        pState->cv.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(pState->mutex);
    pState->cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [&] { return pState->bDone; });
    return pState->bDone ? pState->nSize : 0;
}

int RunMediaWatch(int argc, char** argv) {
    if (argc == 2 && (strcmp(argv[1], "--enable") == 0 || strcmp(argv[1], "--disable") == 0)) {
        const bool bOn = strcmp(argv[1], "--enable") == 0;
        std::string strWhy;
        if (EnableMediaWatch(bOn, &strWhy))
            return 0;
        fputs(Format(bOn ? IDS_MEDIA_AUTOSTART_NOT_WRITTEN : IDS_MEDIA_AUTOSTART_NOT_REMOVED, MediaAutostartPath(),
                     strWhy)
                  .c_str(),
              stderr);
        return 2;
    }
    if (argc != 1) {
        fputs(LoadText(IDS_MEDIA_USAGE), stderr);
        return 64;
    }
    SMediaSettings settings;
    std::string strError;
    if (!ReadMediaSettingsFile(&settings, &strError)) {
        fputs(strError.c_str(), stderr);
        return 2;
    }
    CDesktopNotifier notifier;
    // Tests stand in for the table and for quillet.
    const char* pszTable = getenv("QUILLET_MOUNTINFO");
    const std::string strTable = pszTable && *pszTable ? pszTable : "/proc/self/mountinfo";
    const bool bTableEvents = !(pszTable && *pszTable);
    const char* pszOpen = getenv("QUILLET_MEDIA_OPEN");
    const std::string strOpen = pszOpen && *pszOpen ? pszOpen : notifier.m_strOpen;

    // Blocked before any thread starts (the bus's own included), so only
    // the loop hears them.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    const int nSignalFd = signalfd(-1, &set, SFD_CLOEXEC);

    std::string strWhy;
    if (notifier.Probe(&strWhy) != NOTIFY_SENT) {
        fputs(Format(IDS_MEDIA_NO_SERVICE, strWhy, "").c_str(), stderr);
        close(nSignalFd);
        return 2;
    }
    const int nTableFd = open(strTable.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);

    CMediaWatch watch;
    watch.Start(ParseTable(ReadTable(strTable)));
    int64_t nLastLook = MonotonicMs();
    int nStatus = 0;
    for (;;) {
        const int64_t nDue = watch.MsUntilDue(MonotonicMs());
        int nTimeout = bTableEvents ? -1 : FILE_LOOK_MS;
        if (nDue >= 0 && (nTimeout < 0 || nDue < nTimeout))
            nTimeout = static_cast<int>(nDue);
        pollfd arFds[2] = {{nSignalFd, POLLIN, 0}, {nTableFd, POLLPRI, 0}};
        const int nReady = poll(arFds, nTableFd >= 0 ? 2 : 1, nTimeout);
        if (nReady < 0 && errno != EINTR)
            break;
        if (arFds[0].revents & POLLIN)
            break;
        ReapChildren();
        // A table that keeps changing is looked at no more often than this.
        const int64_t nWait = nLastLook + LOOK_GAP_MS - MonotonicMs();
        if (nWait > 0) {
            pollfd signalPfd{nSignalFd, POLLIN, 0};
            if (poll(&signalPfd, 1, static_cast<int>(nWait)) > 0)
                break;
        }
        nLastLook = MonotonicMs();
        for (const CMount& drive : watch.Look(ParseTable(ReadTable(strTable)), nLastLook)) {
            const uint64_t nSize = ReadDriveSize(drive.strPath, SIZE_TIMEOUT_MS);
            const bool bOnBattery = settings.bSkipOnBattery && ReadOnBattery();
            const std::vector<std::string> arScan = {strOpen, drive.strPath};
            switch (DecideMediaStep(settings, nSize, bOnBattery)) {
            case MEDIA_SKIP:
                break;
            case MEDIA_SCAN_NOW:
                if (SpawnDetachedProgram(arScan) < 0)
                    fputs(Format(IDS_MEDIA_NOT_STARTED, strOpen, strerror(errno)).c_str(), stderr);
                break;
            case MEDIA_ASK:
                if (notifier.Send(MediaOfferText(drive.strPath, nSize), drive.strPath,
                                  SNotifyAction{LoadText(IDS_MEDIA_ACTION), arScan}, &strWhy) != NOTIFY_SENT) {
                    fputs(Format(IDS_MEDIA_NO_SERVICE, strWhy, "").c_str(), stderr);
                    nStatus = 2;
                }
                break;
            }
            if (nStatus != 0)
                break;
        }
        if (nStatus != 0)
            break;
    }
    if (nTableFd >= 0)
        close(nTableFd);
    if (nSignalFd >= 0)
        close(nSignalFd);
    return nStatus;
}
