#include "platform/HostEngine.h"
#include "platform/SafePath.h"
#include "base/Diagnostics.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <functional>
#include <thread>
#include <vector>

#include "engine/PassDescriptor.h"
#include "farsend/host/HostProtocol.h"

extern char** environ;

using namespace farsend;

namespace {

// Extra watchdog time for a large file: a slow disk still reads 4 MB a second.
int64_t FileAllowanceMs(const std::string& strFile) {
    struct stat st;
    if (strFile.empty() || stat(strFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<int64_t>(st.st_size / 4096);
}

// The kernel's parent-death signal, by which a host dies with us, follows
// the thread that started the host: one started by a scan's worker thread
// would die when that thread ends. Other threads hand their starts to one
// thread that lives as long as the program.
struct SSpawner {
    std::mutex mutexCaller;  // one start at a time
    std::mutex mutex;
    std::condition_variable cv;
    const std::function<void()>* pfnJob = nullptr;
    bool bDone = false;
};

void RunOnLastingThread(const std::function<void()>& fnJob) {
    if (gettid() == getpid()) {
        fnJob();
        return;
    }
    // Never freed: the thread may outlive static destruction.
    static SSpawner* s_pSpawner = [] {
        SSpawner* p = new SSpawner;
        std::thread([p] {
            std::unique_lock<std::mutex> lock(p->mutex);
            for (;;) {
                p->cv.wait(lock, [p] { return p->pfnJob != nullptr; });
                (*p->pfnJob)();
                p->pfnJob = nullptr;
                p->bDone = true;
                p->cv.notify_all();
            }
        }).detach();
        return p;
    }();
    std::lock_guard<std::mutex> caller(s_pSpawner->mutexCaller);
    std::unique_lock<std::mutex> lock(s_pSpawner->mutex);
    s_pSpawner->bDone = false;
    s_pSpawner->pfnJob = &fnJob;
    s_pSpawner->cv.notify_all();
    s_pSpawner->cv.wait(lock, [] { return s_pSpawner->bDone; });
}

// A request with one descriptor riding along.
bool SendRequestWithDescriptor(int nSocket, uint8_t nOp, int nFd) {
    SRequest req{};
    req.nOp = nOp;
    return SendWithDescriptor(nSocket, &req, sizeof req, nFd) == static_cast<ssize_t>(sizeof req);
}

// A copy's host whose end of the socket is closed has exited.
bool PeerHungUp(int nFd) {
    pollfd pfd{nFd, POLLIN, 0};
    return poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR)) != 0;
}

// Forking copies a page table, not the engine: quick even for a large one.
constexpr int64_t FORK_LIMIT_MS = 10000;

}  // namespace

CHostEngine::CHostEngine(SHostOptions options) : m_options(std::move(options)) {
    if (m_options.strHostPath.empty())
        m_options.strHostPath = DefaultHostPath();
    if (const char* pszStart = getenv("QUILLET_ENGINE_START_MS")) {
        const long nMs = strtol(pszStart, nullptr, 10);
        if (nMs > 0 && nMs <= INT_MAX)
            m_options.nStartMs = static_cast<int>(nMs);
    }
    m_nWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CHostEngine::~CHostEngine() {
    KillHost();
    if (m_nWakeFd >= 0)
        close(m_nWakeFd);
}

void CHostEngine::Abandon() {
    if (!m_bInReceive || m_nWakeFd < 0)
        return;
    m_bAbandoned = true;
    const uint64_t nOne = 1;
    (void)!write(m_nWakeFd, &nOne, sizeof nOne);
}

std::string CHostEngine::DefaultHostPath() {
    // Beside the program (the build tree), then where an installation puts
    // it relative to the program (so a moved installation still works),
    // then where this build was to be installed.
    std::string strBeside = ProgramFolder() + "/farsend-host";
    if (access(strBeside.c_str(), X_OK) == 0)
        return strBeside;
#ifdef QUILLET_RELATIVE_LIBEXECDIR
    std::string strRelative = ProgramFolder() + "/../" QUILLET_RELATIVE_LIBEXECDIR "/farsend-host";
    if (access(strRelative.c_str(), X_OK) == 0)
        return strRelative;
#endif
#ifdef QUILLET_LIBEXECDIR
    return std::string(QUILLET_LIBEXECDIR) + "/farsend-host";
#else
    return strBeside;
#endif
}

bool CHostEngine::SpawnHost() {
    int arFds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, arFds) != 0)
        return false;
    // The child end must land on descriptor 3 without its close-on-exec flag;
    // dup2 onto itself would keep the flag, so move it away first.
    if (arFds[1] == HOST_SOCKET_FD) {
        int nFd = fcntl(arFds[1], F_DUPFD_CLOEXEC, HOST_SOCKET_FD + 1);
        close(arFds[1]);
        arFds[1] = nFd;
    }
    if (arFds[1] < 0) {
        close(arFds[0]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, arFds[1], HOST_SOCKET_FD);
    std::vector<char*> arArgv;
    arArgv.push_back(const_cast<char*>(m_options.strHostPath.c_str()));
    if (!m_options.strLibrary.empty())
        arArgv.push_back(const_cast<char*>(m_options.strLibrary.c_str()));
    arArgv.push_back(nullptr);
    // Our environment, with the engine's settings in place of any of the
    // same names.
    std::vector<char*> arEnvp;
    for (char** pp = environ; *pp; ++pp) {
        const char* pszEq = strchr(*pp, '=');
        const size_t nName = pszEq ? static_cast<size_t>(pszEq - *pp) + 1 : strlen(*pp);
        bool bReplaced = false;
        for (const std::string& strSet : m_options.arEnv)
            bReplaced = bReplaced || strSet.compare(0, nName, *pp, nName) == 0;
        if (!bReplaced)
            arEnvp.push_back(*pp);
    }
    for (std::string& strSet : m_options.arEnv)
        arEnvp.push_back(strSet.data());
    arEnvp.push_back(nullptr);
    pid_t pid = -1;
    int nErr = 0;
    RunOnLastingThread([&] {
        nErr = posix_spawn(&pid, m_options.strHostPath.c_str(), &actions, nullptr, arArgv.data(), arEnvp.data());
    });
    posix_spawn_file_actions_destroy(&actions);
    close(arFds[1]);
    if (nErr != 0) {
        close(arFds[0]);
        return false;
    }
    AdoptHost(arFds[0], pid);
    return true;
}

void CHostEngine::AdoptHost(int nFd, pid_t pid) {
    m_nFd = nFd;
    m_pidHost = pid;
    ++m_nHostStarts;
    m_nPendingAcks = 0;
    m_mapLive.clear();
}

int CHostEngine::AwaitHello() {
    uint32_t nStatus = HELLO_LOAD_FAILED;
    std::string strText;
    m_bCanFork = false;
    const bool bAnswered = Receive(OP_HELLO, &nStatus, &strText, std::string(), m_options.nStartMs);
    if (!bAnswered || nStatus != HELLO_READY) {
        KillHost();
        if (bAnswered && nStatus == HELLO_ENGINE_ERROR) {
            m_strLoadError = strText;
            Diagnose("the engine cannot work", strText);
            return ENGINE_LOAD_ENGINE_ERROR;
        }
        // The host names the library and gives the loader's reason.
        if (!bAnswered || strText.empty())
            strText = "the engine crashed or hung while turning on";
        Diagnose("the engine cannot be loaded", strText);
        return ENGINE_LOAD_FAILED;
    }
    m_bCanFork = (m_nReplyFlags & HELLO_FLAG_CAN_FORK) != 0;
    m_nDepth = m_nReplyDepth;
    return ENGINE_LOAD_OK;
}

bool CHostEngine::StartHost() {
    if (m_pZygote)
        return ForkHost();
    return SpawnHost() && AwaitHello() == ENGINE_LOAD_OK;
}

bool CHostEngine::ForkHost() {
    int arFds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, arFds) != 0)
        return false;
    const pid_t pid = m_pZygote->ForkWorker(arFds[1], &m_nZygoteStart);
    close(arFds[1]);
    if (pid <= 0) {
        close(arFds[0]);
        return false;
    }
    AdoptHost(arFds[0], pid);
    return true;
}

pid_t CHostEngine::ForkWorker(int nFd, int* pnStart) {
    std::lock_guard<std::mutex> lock(m_mutexFork);
    // Asked from a worker's thread: whoever our own calls serve is not its.
    IEngineWait* pWait = m_pWait;
    m_pWait = nullptr;
    uint32_t nPid = 0;
    const int64_t nLimitMs = std::max<int64_t>(FORK_LIMIT_MS, m_options.nWatchdogMs);
    // A host found gone is started anew, once: its engine loads again.
    for (int nTry = 0; nTry < 2; ++nTry) {
        if (!EnsureHost() || !m_bCanFork)
            break;
        // Closes answered late must not be taken for the fork's answer.
        if (SettleAcks() && SendRequestWithDescriptor(m_nFd, OP_FORK_WORKER, nFd) &&
            Receive(OP_FORK_WORKER, &nPid, nullptr, std::string(), nLimitMs)) {
            *pnStart = m_nHostStarts;
            break;
        }
        Diagnose("engine host gone while forking a worker; it starts anew", std::string());
        KillHost();
    }
    m_pWait = pWait;
    return static_cast<pid_t>(nPid);
}

bool CHostEngine::IsHostGone(int nStart) {
    std::lock_guard<std::mutex> lock(m_mutexFork);
    // Its socket closes as it dies, before its copies are sent their
    // parent-death signal: a copy found dead finds this already true.
    return m_nHostStarts != nStart || m_nFd < 0 || PeerHungUp(m_nFd);
}

void CHostEngine::HostFailed(const char* pszWhat, const std::string& strFile) {
    ++m_nFaults;
    if (m_pZygote && m_pZygote->IsHostGone(m_nZygoteStart)) {
        // The copy went down with its zygote: the file is not to blame.
        ++m_nLost;
        Diagnose("engine lost with the host it was copied from; it starts anew", strFile);
    } else {
        Diagnose(pszWhat, strFile);
    }
    KillHost();
}

void CHostEngine::KillHost() {
    bool bExited = false;
    if (m_nFd >= 0) {
        bExited = m_pZygote && PeerHungUp(m_nFd);
        close(m_nFd);
        m_nFd = -1;
    }
    if (m_pidHost > 0 && m_pZygote) {
        // A copy is its zygote's child, reaped there; one that has exited
        // may already have left its pid to another process.
        if (!bExited)
            kill(m_pidHost, SIGKILL);
        m_pidHost = -1;
    } else if (m_pidHost > 0) {
        kill(m_pidHost, SIGKILL);
        while (waitpid(m_pidHost, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pidHost = -1;
    }
    m_nPendingAcks = 0;
    m_mapLive.clear();
    m_bPrefetched = false;
}

bool CHostEngine::EnsureHost() {
    if (!m_bLoaded)
        return false;
    if (m_nFd >= 0)
        return true;
    return StartHost();
}

int CHostEngine::Load() {
    if (m_pZygote) {
        // A copy of a loaded engine: nothing to wait for.
        if (!m_bLoaded) {
            m_strLoadError.clear();
            m_bLoaded = ForkHost();
        }
        return m_bLoaded ? ENGINE_LOAD_OK : ENGINE_LOAD_FAILED;
    }
    const int nResult = BeginLoad();
    return nResult == ENGINE_LOAD_PENDING ? WaitLoad(-1) : nResult;
}

int CHostEngine::BeginLoad() {
    if (m_bLoaded)
        return ENGINE_LOAD_OK;
    if (m_pZygote)
        return Load();
    if (m_bLoading)
        return ENGINE_LOAD_PENDING;
    m_strLoadError.clear();
    if (!SpawnHost())
        return ENGINE_LOAD_FAILED;
    m_bLoading = true;
    m_nLoadStartNs = MonotonicNs();
    return ENGINE_LOAD_PENDING;
}

int CHostEngine::WaitLoad(int64_t nWaitMs) {
    if (m_bLoaded)
        return ENGINE_LOAD_OK;
    if (!m_bLoading)
        return m_strLoadError.empty() ? ENGINE_LOAD_FAILED : ENGINE_LOAD_ENGINE_ERROR;
    auto LeftMs = [this] { return m_options.nStartMs - (MonotonicNs() - m_nLoadStartNs) / 1000000; };
    pollfd pfd{m_nFd, POLLIN, 0};
    int nReady;
    do {
        const int64_t nLeftMs = std::max<int64_t>(LeftMs(), 0);
        const int64_t nTimeoutMs = nWaitMs < 0 ? nLeftMs : std::min(nWaitMs, nLeftMs);
        nReady = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(nTimeoutMs, INT_MAX)));
    } while (nReady < 0 && errno == EINTR);
    if (nReady == 0 && LeftMs() > 0)
        return ENGINE_LOAD_PENDING;
    if (nReady == 0) {
        // A host that hangs turning on would hold the engine, and every
        // scan waiting for it, for good.
        m_bLoading = false;
        KillHost();
        char szWhy[80];
        snprintf(szWhy, sizeof szWhy, "it did not turn on within %g s; it was given up", m_options.nStartMs / 1000.0);
        Diagnose("the engine cannot be loaded", szWhy);
        return ENGINE_LOAD_FAILED;
    }
    m_bLoading = false;
    int nResult = AwaitHello();
    m_bLoaded = nResult == ENGINE_LOAD_OK;
    return nResult;
}

void CHostEngine::Unload() {
    if (!m_bLoaded) {
        // Still turning on: nothing to turn off.
        if (m_bLoading)
            KillHost();
        m_bLoading = false;
        return;
    }
    DropPrefetch();
    if (m_nFd >= 0 && SettleAcks() && Send(OP_TURN_OFF, 0, std::string())) {
        uint32_t nValue = 0;
        if (Receive(OP_TURN_OFF, &nValue, nullptr, std::string())) {
            // The host exits right after its answer; reap it without a kill
            // when it does so promptly.
            pollfd pfd{m_nFd, POLLIN, 0};
            poll(&pfd, 1, 1000);
        }
    }
    KillHost();
    m_bLoaded = false;
}

bool CHostEngine::Send(uint8_t nOp, uint32_t nArg, const std::string& strPath) {
    if (strPath.size() > MAX_PATH_BYTES)
        return false;
    char arBuf[MAX_MESSAGE];
    SRequest req{};
    req.nOp = nOp;
    req.nArg = nArg;
    memcpy(arBuf, &req, sizeof req);
    memcpy(arBuf + sizeof req, strPath.data(), strPath.size());
    for (;;) {
        ssize_t n = send(m_nFd, arBuf, sizeof req + strPath.size(), MSG_NOSIGNAL);
        if (n >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool CHostEngine::Receive(uint8_t nOp, uint32_t* pnValue, std::string* pstrText, const std::string& strFile,
                          int64_t nLimit, int nSlot) {
    // Abandon, from another thread, ends only a wait in progress.
    struct SInReceive {
        std::atomic<bool>& bFlag;
        explicit SInReceive(std::atomic<bool>& b) : bFlag(b) { bFlag = true; }
        ~SInReceive() { bFlag = false; }
    } inReceive(m_bInReceive);
    char arBuf[sizeof(SReply) + SCANNED_FILE_BYTES + MAX_TEXT_BYTES + 1];
    ssize_t n = -1;
    const int64_t nStart = MonotonicNs();
    CSpinGauge& gauge = m_arSpin[nSlot >= 0 ? nSlot : nOp % 16];
    // An engine that pipelines has its answers ready, or waits on a daemon
    // that wants every core.
    const bool bSpin = gauge.ShouldSpin() && GetPipelineDepth() <= 1;
    for (;;) {
        n = recv(m_nFd, arBuf, sizeof arBuf, MSG_DONTWAIT);
        if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            break;
        if (!bSpin || MonotonicNs() - nStart > SPIN_NS)
            break;
        // Let anything else that is ready on this core run first: with
        // more runnable threads than cores, a bare spin starves the peer.
        sched_yield();
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        int64_t nLimitMs = nLimit > 0 ? nLimit : m_options.nWatchdogMs;
        bool bExtended = false;
        const uint64_t nCall = ++m_nCallSerial;
        for (;;) {
            const int64_t nElapsedMs = (MonotonicNs() - nStart) / 1000000;
            int64_t nLeftMs = nLimitMs - nElapsedMs;
            if (nLeftMs <= 0) {
                // Only a call that outlives the base time pays for the stat.
                if (bExtended)
                    return false;
                bExtended = true;
                nLimitMs += FileAllowanceMs(strFile);
                continue;
            }
            // With someone to serve, the wait is cut into slices short
            // enough that a press of Stop is felt at once.
            if (m_pWait && nLeftMs > WAIT_SLICE_MS)
                nLeftMs = WAIT_SLICE_MS;
            pollfd arPfd[2] = {{m_nFd, POLLIN, 0}, {m_nWakeFd, POLLIN, 0}};
            int nReady = poll(arPfd, m_nWakeFd >= 0 ? 2 : 1, static_cast<int>(nLeftMs > INT_MAX ? INT_MAX : nLeftMs));
            if (nReady < 0 && errno != EINTR)
                return false;
            if (nReady > 0 && m_nWakeFd >= 0 && arPfd[1].revents != 0) {
                uint64_t nCount = 0;
                (void)!read(m_nWakeFd, &nCount, sizeof nCount);
                if (m_bAbandoned.exchange(false)) {
                    Diagnose("engine call abandoned; the engine starts anew", strFile);
                    return false;
                }
                if (arPfd[0].revents == 0)
                    continue;
            }
            if (nReady <= 0) {
                if (m_pWait && !Serve(nCall, nElapsedMs)) {
                    Diagnose("engine call given up by the user; the engine starts anew", strFile);
                    return false;
                }
                continue;
            }
            n = recv(m_nFd, arBuf, sizeof arBuf, MSG_DONTWAIT);
            if (n >= 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
    }
    if (n < static_cast<ssize_t>(sizeof(SReply)))
        return false;  // the host died (0), failed, or sent less than a reply
    gauge.Record(MonotonicNs() - nStart);
    SReply reply;
    memcpy(&reply, arBuf, sizeof reply);
    if (reply.nOp != nOp || static_cast<size_t>(n) > sizeof(SReply) + SCANNED_FILE_BYTES + MAX_TEXT_BYTES)
        return false;
    // The engine could not do the call's work: a fault, with its reason;
    // the host itself is well and keeps what the engine knows (a daemon
    // found gone).
    if (reply.nFlags & REPLY_ENGINE_ERROR) {
        m_strFaultReason.assign(arBuf + sizeof reply, static_cast<size_t>(n) - sizeof reply);
        m_bEngineError = true;
        return false;
    }
    m_nReplyFlags = reply.nFlags;
    m_nReplyDepth = reply.nDepth;
    *pnValue = reply.nValue;
    if (pstrText)
        pstrText->assign(arBuf + sizeof reply, static_cast<size_t>(n) - sizeof reply);
    return true;
}

bool CHostEngine::Serve(uint64_t nCall, int64_t nElapsedMs) {
    m_bServing = true;
    bool bGoOn = m_pWait->WhileWaiting(nCall, nElapsedMs);
    m_bServing = false;
    return bGoOn;
}

bool CHostEngine::SettleAcks() {
    // Closes are answered while the caller goes on; their answers are read
    // before the next request so a fault there is not blamed on it.
    while (m_nPendingAcks > 0) {
        uint32_t nValue = 0;
        if (!Receive(OP_CLOSE, &nValue, nullptr, std::string())) {
            HostFailed("engine failed (crashed or hung) closing a finding; it starts anew", std::string());
            return false;
        }
        --m_nPendingAcks;
    }
    return true;
}

bool CHostEngine::Call(uint8_t nOp, uint32_t nArg, const std::string& strPath, uint32_t* pnValue,
                       std::string* pstrText, const std::string& strFile) {
    // A path no file can have is refused here, without blaming the host;
    // so is a call from whoever is served while another call waits.
    if (strPath.size() > MAX_PATH_BYTES || m_bServing)
        return false;
    // An abandon that came after the last call ended is for no call.
    m_bAbandoned = false;
    m_bEngineError = false;
    // A host that cannot be started anew answers nothing: a fault too.
    if (!EnsureHost() || (!SettleAcks() && !EnsureHost())) {
        ++m_nFaults;
        return false;
    }
    if (!Send(nOp, nArg, strPath) || !Receive(nOp, pnValue, pstrText, strFile)) {
        if (m_bEngineError)
            ++m_nFaults;
        else
            HostFailed("engine failed (crashed or hung); it starts anew for the next call", strFile);
        return false;
    }
    return true;
}

// A clean probe's reply may name the file read ahead of its note.
static bool SplitScannedFile(uint8_t nFlags, std::string* pstrText, SScannedFile* pFile) {
    if (!(nFlags & REPLY_SCANNED_FILE) || pstrText->size() < SCANNED_FILE_BYTES)
        return false;
    memcpy(pFile->arValue, pstrText->data(), sizeof pFile->arValue);
    memcpy(&pFile->nAskedNs, pstrText->data() + sizeof pFile->arValue, sizeof pFile->nAskedNs);
    pstrText->erase(0, SCANNED_FILE_BYTES);
    return true;
}

bool CHostEngine::TakeScannedFile(SScannedFile* pFile) {
    if (!m_bScanned)
        return false;
    m_bScanned = false;
    *pFile = m_scanned;
    return true;
}

void CHostEngine::DropPrefetch() {
    if (!m_bPrefetched)
        return;
    m_bPrefetched = false;
    if (m_hPrefetch != 0)
        CloseProbe(m_hPrefetch);
    m_hPrefetch = 0;
}

bool CHostEngine::IsLive(uint32_t hProbe) const {
    return hProbe != 0 && m_mapLive.count(hProbe) != 0;
}

uint32_t CHostEngine::GetFileFormat(const std::string& strPath) {
    DropPrefetch();
    uint32_t nFormat = FORMAT_FAULT;
    if (!Call(OP_FORMAT_PROBE, 0, strPath, &nFormat, nullptr, strPath))
        return FORMAT_FAULT;
    if (!IsScannableFormat(nFormat))
        return nFormat;
    uint32_t hProbe = 0;
    m_bPrefetchFaulted = false;
    m_strPrefetchNote.clear();
    m_bPrefetchScanned = false;
    if (!Receive(OP_FORMAT_PROBE, &hProbe, &m_strPrefetchNote, strPath, 0, SPIN_SLOT_FUSED_PROBE)) {
        // The format was answered; the probe faulted.
        if (m_bEngineError)
            ++m_nFaults;
        else
            HostFailed("engine failed (crashed or hung) in the probe; it starts anew for the next call", strPath);
        hProbe = 0;
        m_bPrefetchFaulted = true;
    }
    if (hProbe != 0)
        m_mapLive[hProbe] = strPath;
    else if (!m_bPrefetchFaulted)
        m_bPrefetchScanned = SplitScannedFile(m_nReplyFlags, &m_strPrefetchNote, &m_prefetchScanned);
    m_bPrefetched = true;
    m_strPrefetchPath = strPath;
    m_hPrefetch = hProbe;
    return nFormat;
}

uint32_t CHostEngine::ProbeInto(const std::string& strPath, bool* pbFaulted) {
    if (pbFaulted)
        *pbFaulted = false;
    m_strScanNote.clear();
    m_bScanned = false;
    if (m_bPrefetched && m_strPrefetchPath == strPath) {
        m_bPrefetched = false;
        uint32_t hProbe = m_hPrefetch;
        m_hPrefetch = 0;
        if (pbFaulted)
            *pbFaulted = m_bPrefetchFaulted;
        if (hProbe == 0) {
            m_strScanNote = std::move(m_strPrefetchNote);
            m_bScanned = m_bPrefetchScanned;
            m_scanned = m_prefetchScanned;
        }
        return hProbe;
    }
    DropPrefetch();
    uint32_t hProbe = 0;
    std::string strNote;
    if (!Call(OP_PROBE, 0, strPath, &hProbe, &strNote, strPath)) {
        if (pbFaulted)
            *pbFaulted = true;
        return 0;
    }
    if (hProbe != 0) {
        m_mapLive[hProbe] = strPath;
    } else {
        m_bScanned = SplitScannedFile(m_nReplyFlags, &strNote, &m_scanned);
        m_strScanNote = std::move(strNote);
    }
    return hProbe;
}

bool CHostEngine::RecoverFile(uint32_t hProbe, int16_t* pnOutcome) {
    DropPrefetch();
    *pnOutcome = 0;
    if (!IsLive(hProbe))
        return false;
    const std::string strFile = m_mapLive[hProbe];
    uint32_t nValue = 0;
    if (!Call(OP_RECOVER, hProbe, std::string(), &nValue, nullptr, strFile)) {
        // The caller never uses the handle again; a host still alive holds it.
        if (m_bEngineError)
            CloseProbe(hProbe);
        return false;
    }
    *pnOutcome = static_cast<int16_t>(static_cast<uint16_t>(nValue));
    return true;
}

int16_t CHostEngine::GetVirusReport(uint32_t hProbe) {
    DropPrefetch();
    if (!IsLive(hProbe))
        return 1;
    uint32_t nValue = 0;
    if (!Call(OP_REPORT, hProbe, std::string(), &nValue, nullptr, std::string()))
        return 1;  // not repairable
    return static_cast<int16_t>(static_cast<uint16_t>(nValue));
}

std::string CHostEngine::GetVirusName(uint32_t hProbe) {
    DropPrefetch();
    if (!IsLive(hProbe))
        return std::string();
    uint32_t nValue = 0;
    std::string strName;
    if (!Call(OP_NAME, hProbe, std::string(), &nValue, &strName, std::string()))
        return std::string();
    return strName;
}

std::string CHostEngine::GetTorvaneVersion() {
    DropPrefetch();
    uint32_t nValue = 0;
    std::string strVersion;
    if (!Call(OP_VERSION, 0, std::string(), &nValue, &strVersion, std::string()))
        return std::string();
    return strVersion;
}

void CHostEngine::CloseProbe(uint32_t hProbe) {
    if (m_bPrefetched && hProbe == m_hPrefetch)
        m_bPrefetched = false;
    if (!IsLive(hProbe) || m_bServing)
        return;
    m_mapLive.erase(hProbe);
    if (m_nFd < 0)
        return;
    if (!Send(OP_CLOSE, hProbe, std::string())) {
        ++m_nFaults;
        KillHost();
        return;
    }
    ++m_nPendingAcks;
}

size_t CHostEngine::GetPipelineDepth() const {
    // A copy pipelines as its zygote's engine does.
    const size_t nDepth = m_pZygote ? m_pZygote->m_nDepth : m_nDepth;
    return nDepth > 1 ? nDepth : 1;
}

void CHostEngine::PrepareFile(const std::string& strPath) {
    // Nothing to wait for: a host that died is found out by the next call.
    if (GetPipelineDepth() <= 1 || m_bServing || strPath.size() > MAX_PATH_BYTES || !EnsureHost())
        return;
    Send(OP_PREPARE, 0, strPath);
}

unsigned CHostEngine::GetFaultCount() {
    if (m_nPendingAcks > 0 && m_nFd >= 0 && !m_bServing)
        SettleAcks();
    return m_nFaults;
}
