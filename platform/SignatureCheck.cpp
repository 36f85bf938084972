#include "platform/SignatureCheck.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "engine/RegularFile.h"
#include "res/Strings.h"

extern char** environ;

namespace {

// A folder of a million names is not listed to the end for a start-up line.
constexpr size_t MAX_NAMES = 10000;
constexpr int DAEMON_TIMEOUT_MS = 1000;
constexpr int SYSTEMCTL_TIMEOUT_MS = 2000;
constexpr size_t MAX_ANSWER = 1024;

int64_t NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int LeftMs(int64_t nDeadline) { return static_cast<int>(std::max<int64_t>(0, nDeadline - NowMs())); }

void ReadContainer(int nDirFd, SDATABASEFILE* pFile) {
    // No link followed, no FIFO waited on: O_NONBLOCK opens one at once.
    const int nFd = openat(nDirFd, pFile->strName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        pFile->strProblem = errno == ELOOP ? LoadText(IDS_SIG_FOLDER_LINK) : strerror(errno);
        return;
    }
    struct stat st;
    if (fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        pFile->strProblem = LoadText(IDS_SIG_NOT_REGULAR);
        close(nFd);
        return;
    }
    unsigned char arHeader[DATABASE_HEADER_SIZE];
    size_t nRead = 0;
    while (nRead < sizeof arHeader) {
        const ssize_t n = read(nFd, arHeader + nRead, sizeof arHeader - nRead);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            pFile->strProblem = strerror(errno);
            close(nFd);
            return;
        }
        if (n == 0)
            break;
        nRead += static_cast<size_t>(n);
    }
    close(nFd);
    pFile->eHeader = ParseDatabaseHeader(arHeader, nRead, &pFile->header);
}

void StatLocal(int nDirFd, SDATABASEFILE* pFile) {
    struct stat st;
    if (fstatat(nDirFd, pFile->strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        pFile->strProblem = strerror(errno);
    else if (S_ISLNK(st.st_mode))
        pFile->strProblem = LoadText(IDS_SIG_FOLDER_LINK);
    else if (!S_ISREG(st.st_mode))
        pFile->strProblem = LoadText(IDS_SIG_NOT_REGULAR);
}

int ConnectDaemon(const std::string& strAddress, int64_t nDeadline, std::string* pstrWhy) {
    sockaddr_storage addr = {};
    socklen_t nLen = 0;
    int nFamily = AF_UNIX;
    if (strAddress.compare(0, 5, "unix:") == 0 && strAddress.size() > 5) {
        const std::string strPath = strAddress.substr(5);
        auto* pUnix = reinterpret_cast<sockaddr_un*>(&addr);
        if (strPath.size() >= sizeof pUnix->sun_path) {
            *pstrWhy = strerror(ENAMETOOLONG);
            return -1;
        }
        pUnix->sun_family = AF_UNIX;
        memcpy(pUnix->sun_path, strPath.c_str(), strPath.size() + 1);
        nLen = sizeof(sockaddr_un);
    } else if (strAddress.compare(0, 4, "tcp:") == 0) {
        const std::string strRest = strAddress.substr(4);
        const size_t nColon = strRest.rfind(':');
        if (nColon == std::string::npos || nColon == 0 || nColon + 1 == strRest.size()) {
            *pstrWhy = strerror(EINVAL);
            return -1;
        }
        addrinfo hints = {};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* pList = nullptr;
        const int nErr = getaddrinfo(strRest.substr(0, nColon).c_str(), strRest.substr(nColon + 1).c_str(), &hints, &pList);
        if (nErr != 0 || !pList) {
            *pstrWhy = gai_strerror(nErr);
            return -1;
        }
        memcpy(&addr, pList->ai_addr, pList->ai_addrlen);
        nLen = pList->ai_addrlen;
        nFamily = pList->ai_family;
        freeaddrinfo(pList);
    } else {
        *pstrWhy = strerror(EINVAL);
        return -1;
    }
    const int nSocket = socket(nFamily, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (nSocket < 0) {
        *pstrWhy = strerror(errno);
        return -1;
    }
    if (connect(nSocket, reinterpret_cast<sockaddr*>(&addr), nLen) != 0) {
        if (errno != EINPROGRESS) {
            *pstrWhy = strerror(errno);
            close(nSocket);
            return -1;
        }
        pollfd fd = {nSocket, POLLOUT, 0};
        int nErr = 0;
        socklen_t nErrLen = sizeof nErr;
        if (poll(&fd, 1, LeftMs(nDeadline)) <= 0 ||
            getsockopt(nSocket, SOL_SOCKET, SO_ERROR, &nErr, &nErrLen) != 0 || nErr != 0) {
            *pstrWhy = nErr ? strerror(nErr) : LoadText(IDS_SIG_DAEMON_SILENT);
            close(nSocket);
            return -1;
        }
    }
    return nSocket;
}

// systemctl's one-word answer for the unit; "" when it cannot be had in time.
std::string SystemctlIsActive() {
    int arPipe[2];
    if (pipe2(arPipe, O_CLOEXEC) != 0)
        return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, arPipe[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char szProgram[] = "systemctl", szVerb[] = "is-active", szUnit[] = "clamav-freshclam.service";
    char* arArgv[] = {szProgram, szVerb, szUnit, nullptr};
    pid_t nPid = -1;
    const int nSpawn = posix_spawnp(&nPid, szProgram, &actions, nullptr, arArgv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(arPipe[1]);
    std::string strOut;
    if (nSpawn == 0) {
        const int64_t nDeadline = NowMs() + SYSTEMCTL_TIMEOUT_MS;
        char arBuf[256];
        for (;;) {
            pollfd fd = {arPipe[0], POLLIN, 0};
            if (poll(&fd, 1, LeftMs(nDeadline)) <= 0) {
                kill(nPid, SIGKILL);
                strOut.clear();
                break;
            }
            const ssize_t n = read(arPipe[0], arBuf, sizeof arBuf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (strOut.size() < MAX_ANSWER)
                strOut.append(arBuf, static_cast<size_t>(n));
        }
        while (waitpid(nPid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close(arPipe[0]);
    return strOut.substr(0, strOut.find('\n'));
}

bool Exists(const char* pszPath) {
    struct stat st;
    return stat(pszPath, &st) == 0;
}

}  // namespace

void ReadSignatureFolder(const std::string& strFolder, SSIGNATUREHEALTH* pHealth) {
    pHealth->strFolder = strFolder;
    pHealth->arFiles.clear();
    // The folder itself is not followed through a link either: where the
    // signatures are is said, not guessed at.
    const int nDirFd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nDirFd < 0) {
        struct stat st;
        const int nErr = errno;
        pHealth->strFolderProblem =
            lstat(strFolder.c_str(), &st) == 0 && S_ISLNK(st.st_mode) ? LoadText(IDS_SIG_FOLDER_LINK) : strerror(nErr);
        return;
    }
    DIR* pDir = fdopendir(dup(nDirFd));
    if (!pDir) {
        pHealth->strFolderProblem = strerror(errno);
        close(nDirFd);
        return;
    }
    errno = 0;
    size_t nNames = 0;
    while (const dirent* pEntry = readdir(pDir)) {
        if (++nNames > MAX_NAMES)
            break;
        SDATABASEFILE file;
        file.strName = pEntry->d_name;
        file.eKind = DatabaseKindOf(file.strName);
        if (file.eKind != DATABASE_NONE)
            pHealth->arFiles.push_back(std::move(file));
        errno = 0;
    }
    if (errno != 0)
        pHealth->strFolderProblem = strerror(errno);
    closedir(pDir);
    std::sort(pHealth->arFiles.begin(), pHealth->arFiles.end(),
              [](const SDATABASEFILE& a, const SDATABASEFILE& b) { return a.strName < b.strName; });
    for (SDATABASEFILE& file : pHealth->arFiles) {
        if (file.eKind == DATABASE_CONTAINER)
            ReadContainer(nDirFd, &file);
        else
            StatLocal(nDirFd, &file);
    }
    close(nDirFd);
}

bool AskDaemonVersion(const std::string& strAddress, int nTimeoutMs, std::string* pstrLine, std::string* pstrWhy) {
    pstrLine->clear();
    const int64_t nDeadline = NowMs() + nTimeoutMs;
    const int nSocket = ConnectDaemon(strAddress, nDeadline, pstrWhy);
    if (nSocket < 0)
        return false;
    static const char s_arCommand[] = "zVERSION";  // with its NUL
    if (send(nSocket, s_arCommand, sizeof s_arCommand, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof s_arCommand)) {
        *pstrWhy = strerror(errno);
        close(nSocket);
        return false;
    }
    std::string strAnswer;
    bool bEnded = false;
    while (!bEnded && strAnswer.size() < MAX_ANSWER) {
        pollfd fd = {nSocket, POLLIN, 0};
        const int nReady = poll(&fd, 1, LeftMs(nDeadline));
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0) {
            *pstrWhy = LoadText(IDS_SIG_DAEMON_SILENT);
            close(nSocket);
            return false;
        }
        char arBuf[256];
        const ssize_t n = recv(nSocket, arBuf, sizeof arBuf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        strAnswer.append(arBuf, static_cast<size_t>(n));
        bEnded = strAnswer.find('\0') != std::string::npos || strAnswer.find('\n') != std::string::npos;
    }
    close(nSocket);
    strAnswer = strAnswer.substr(0, strAnswer.find_first_of(std::string("\0\n", 2)));
    if (strAnswer.empty()) {
        *pstrWhy = LoadText(IDS_SIG_DAEMON_CLOSED);
        return false;
    }
    *pstrLine = strAnswer;
    return true;
}

EUpdaterState FindUpdaterState(bool* pbSystemd) {
    struct stat st;
    *pbSystemd = stat("/run/systemd/system", &st) == 0 && S_ISDIR(st.st_mode);
    if (*pbSystemd) {
        const std::string strState = SystemctlIsActive();
        if (strState == "active" || strState == "activating" || strState == "reloading")
            return UPDATER_ACTIVE;
        for (const char* pszUnit : {"/lib/systemd/system/clamav-freshclam.service",
                                    "/usr/lib/systemd/system/clamav-freshclam.service",
                                    "/etc/systemd/system/clamav-freshclam.service"})
            if (Exists(pszUnit))
                return UPDATER_STOPPED;
        return UPDATER_MISSING;
    }
    // Without systemd its init script leaves a pid file.
    std::string strPid;
    int nErr = 0;
    if (ReadRegularFile("/run/clamav/freshclam.pid", &strPid, &nErr)) {
        const long nPid = strtol(strPid.c_str(), nullptr, 10);
        std::string strComm;
        if (nPid > 0 && ReadRegularFile("/proc/" + std::to_string(nPid) + "/comm", &strComm, &nErr) &&
            strComm.compare(0, 9, "freshclam") == 0)
            return UPDATER_ACTIVE;
    }
    return Exists("/usr/bin/freshclam") ? UPDATER_STOPPED : UPDATER_MISSING;
}

void CSignatureCheck::Check(SSIGNATUREHEALTH* pHealth) {
    *pHealth = SSIGNATUREHEALTH();
    bool bDefaultFolder = false;
    if (m_choice.strEngine == "clamav") {
        pHealth->bChecked = true;
        const std::string strFolder =
            m_choice.strDatabase.empty() ? std::string(DEFAULT_CLAMAV_DATABASE) : m_choice.strDatabase;
        bDefaultFolder = strFolder == DEFAULT_CLAMAV_DATABASE;
        ReadSignatureFolder(strFolder, pHealth);
    } else if (m_choice.strEngine == "clamd") {
        std::string strAddress = m_choice.strClamd;
        if (strAddress.empty()) {
            std::string strConf;
            int nErr = 0;
            if (ReadRegularFile(CLAMD_CONFIG, &strConf, &nErr))
                strAddress = ClamdAddressFromConfig(strConf);
        }
        if (strAddress.empty())
            return;
        pHealth->bChecked = true;
        pHealth->strDaemon = strAddress;
        pHealth->bDaemonAnswered =
            AskDaemonVersion(strAddress, DAEMON_TIMEOUT_MS, &pHealth->strDaemonLine, &pHealth->strDaemonProblem);
        // The daemon Debian starts loads the folder the updater fills.
        bDefaultFolder = m_choice.strClamd.empty();
    }
    // Only the folder the updater fills is its business.
    if (bDefaultFolder)
        pHealth->eUpdater = FindUpdaterState(&pHealth->bSystemd);
}
