// farsend-host: runs the scan engine in a process of its own, so that a
// crash, abort, exit or hang inside the engine costs the front end one
// request and a restart, never the program. One request at a time over the
// socket pair on descriptor 3.
//
// Usage: farsend-host [LIBRARY]   (default: libfarsend.so by bare name)

#include <dlfcn.h>
#include <errno.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <string>
#include <utility>

#include "engine/FarsendAbi.h"
#include "engine/FarsendEngine.h"
#include "engine/RegularFile.h"
#include "farsend/host/HostProtocol.h"

using namespace farsend;

namespace {

struct SEngine {
    PFN_dlGetFileFormat_Farsend pfnFormat;
    PFN_dlProbeInto_Farsend pfnProbe;
    PFN_dlRecoverFile_Farsend pfnRecover;
    PFN_dlGetVirusReport_Farsend pfnReport;
    PFN_dlGetVirusName_Farsend pfnName;
    PFN_dlGetTorvaneVersion_Farsend pfnVersion;
    PFN_dlCloseProbe_Farsend pfnClose;
    PFN_dlTurnOnTorvane_Farsend pfnTurnOn;
    PFN_dlTurnOffTorvane_Farsend pfnTurnOff;
    // Optional: why the last format, probe or recover call could not do its
    // work (a daemon gone, a file that could not be read); NULL or "" when
    // it did.
    const char* (*pfnLastError)(void);
    // Optional: the limit that stopped the last probe part way.
    PFN_dlGetScanNote_Farsend pfnScanNote;
    // Optional: which file the last clean probe read.
    PFN_dlGetScannedFile_Farsend pfnScannedFile;
    // Optional: told of a file ahead of its probe.
    PFN_dlPrepareProbe_Farsend pfnPrepare;
};

const int g_fd = HOST_SOCKET_FD;
// An engine that pipelines waits on a daemon that wants every core: no
// spinning for the front end's next request.
bool g_bNeverSpin = false;

bool SendReply(uint8_t nOp, uint32_t nValue, const char* pszText = nullptr, uint8_t nFlags = 0,
               const SScannedFile* pScanned = nullptr, uint8_t nDepth = 0) {
    char arBuf[sizeof(SReply) + SCANNED_FILE_BYTES + MAX_TEXT_BYTES];
    SReply reply{};
    reply.nOp = nOp;
    reply.nFlags = pScanned ? static_cast<uint8_t>(nFlags | REPLY_SCANNED_FILE) : nFlags;
    reply.nDepth = nDepth;
    reply.nValue = nValue;
    memcpy(arBuf, &reply, sizeof reply);
    size_t nLen = sizeof reply;
    if (pScanned) {
        memcpy(arBuf + nLen, pScanned->arValue, sizeof pScanned->arValue);
        memcpy(arBuf + nLen + sizeof pScanned->arValue, &pScanned->nAskedNs, sizeof pScanned->nAskedNs);
        nLen += SCANNED_FILE_BYTES;
    }
    if (pszText) {
        // The engine's text is copied at once, and never more than we carry.
        size_t nText = strnlen(pszText, MAX_TEXT_BYTES);
        memcpy(arBuf + nLen, pszText, nText);
        nLen += nText;
    }
    for (;;) {
        ssize_t n = send(g_fd, arBuf, nLen, MSG_NOSIGNAL);
        if (n >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// One recvmsg; a descriptor passed with the message lands in *pnFd.
ssize_t ReceiveOnce(char* pBuf, size_t nSize, int nFlags, int* pnFd) {
    iovec iov{pBuf, nSize};
    alignas(cmsghdr) char arControl[CMSG_SPACE(sizeof(int))];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = arControl;
    msg.msg_controllen = sizeof arControl;
    ssize_t n = recvmsg(g_fd, &msg, nFlags | MSG_CMSG_CLOEXEC);
    if (n < 0)
        return n;
    for (cmsghdr* pHeader = CMSG_FIRSTHDR(&msg); pHeader; pHeader = CMSG_NXTHDR(&msg, pHeader)) {
        if (pHeader->cmsg_level == SOL_SOCKET && pHeader->cmsg_type == SCM_RIGHTS &&
            pHeader->cmsg_len >= CMSG_LEN(sizeof(int))) {
            int nFd;
            memcpy(&nFd, CMSG_DATA(pHeader), sizeof nFd);
            if (*pnFd >= 0)
                close(*pnFd);
            *pnFd = nFd;
        }
    }
    return n;
}

// Returns the message length, or -1 when the front end is gone. A passed
// descriptor, if any, goes to *pnFd (else -1).
ssize_t ReceiveRequest(char* pBuf, size_t nSize, int* pnFd) {
    *pnFd = -1;
    static CSpinGauge gauge;  // how long the front end takes to ask again
    const int64_t nStart = MonotonicNs();
    const bool bSpin = gauge.ShouldSpin() && !g_bNeverSpin;
    for (;;) {
        ssize_t n = ReceiveOnce(pBuf, nSize, MSG_DONTWAIT, pnFd);
        if (n >= 0) {
            gauge.Record(MonotonicNs() - nStart);
            return n == 0 ? -1 : n;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        if (!bSpin || MonotonicNs() - nStart > SPIN_NS)
            break;
        // Let anything else that is ready on this core run first: with
        // more runnable threads than cores, a bare spin starves the peer.
        sched_yield();
    }
    for (;;) {
        ssize_t n = ReceiveOnce(pBuf, nSize, 0, pnFd);
        if (n >= 0) {
            gauge.Record(MonotonicNs() - nStart);
            return n == 0 ? -1 : n;
        }
        if (errno != EINTR)
            return -1;
    }
}

// The loader's words, naming the library: "PATH: reason".
std::string LoaderReason(const std::string& strLibrary) {
    const char* pszError = dlerror();
    std::string strReason = pszError ? pszError : "the loader gave no reason";
    if (strReason.compare(0, strLibrary.size() + 2, strLibrary + ": ") != 0)
        strReason = strLibrary + ": " + strReason;
    return strReason;
}

bool Resolve(void* hLib, const std::string& strLibrary, SEngine& engine, std::string* pstrReason) {
    static const char* const arNames[] = {FARSEND_ENTRY_NAMES};
    constexpr size_t nEntries = sizeof arNames / sizeof arNames[0];
    void* arProcs[nEntries];
    for (size_t i = 0; i < nEntries; ++i) {
        arProcs[i] = dlsym(hLib, arNames[i]);
        if (!arProcs[i]) {
            *pstrReason = LoaderReason(strLibrary);
            return false;
        }
    }
    engine.pfnFormat = reinterpret_cast<PFN_dlGetFileFormat_Farsend>(arProcs[0]);
    engine.pfnProbe = reinterpret_cast<PFN_dlProbeInto_Farsend>(arProcs[1]);
    engine.pfnRecover = reinterpret_cast<PFN_dlRecoverFile_Farsend>(arProcs[2]);
    engine.pfnReport = reinterpret_cast<PFN_dlGetVirusReport_Farsend>(arProcs[3]);
    engine.pfnName = reinterpret_cast<PFN_dlGetVirusName_Farsend>(arProcs[4]);
    engine.pfnVersion = reinterpret_cast<PFN_dlGetTorvaneVersion_Farsend>(arProcs[5]);
    engine.pfnClose = reinterpret_cast<PFN_dlCloseProbe_Farsend>(arProcs[6]);
    engine.pfnTurnOn = reinterpret_cast<PFN_dlTurnOnTorvane_Farsend>(arProcs[7]);
    engine.pfnTurnOff = reinterpret_cast<PFN_dlTurnOffTorvane_Farsend>(arProcs[8]);
    engine.pfnLastError = reinterpret_cast<const char* (*)(void)>(dlsym(hLib, "dlGetLastError_Farsend"));
    engine.pfnScanNote = reinterpret_cast<PFN_dlGetScanNote_Farsend>(dlsym(hLib, FARSEND_SCAN_NOTE_NAME));
    engine.pfnScannedFile =
        reinterpret_cast<PFN_dlGetScannedFile_Farsend>(dlsym(hLib, FARSEND_SCANNED_FILE_NAME));
    return true;
}

// The engine's answer, or, when it says the call could not do its work,
// its reason: the front end counts that as the engine's fault.
bool SendAnswer(const SEngine& engine, uint8_t nOp, uint32_t nValue, const char* pszText = nullptr,
                bool* pbFailed = nullptr, const SScannedFile* pScanned = nullptr) {
    const char* pszError = engine.pfnLastError ? engine.pfnLastError() : nullptr;
    const bool bFailed = pszError && *pszError;
    if (pbFailed)
        *pbFailed = bFailed;
    if (bFailed)
        return SendReply(nOp, 0, pszError, REPLY_ENGINE_ERROR);
    return SendReply(nOp, nValue, pszText, 0, pScanned);
}

// The coarse wall clock file times are taken from, read before the engine
// opens the file.
int64_t CoarseClockNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// When each file told of ahead was told: the engine may have opened it then,
// so a clean verdict's file times are weighed against that moment.
std::deque<std::pair<std::string, int64_t>> g_arPrepared;
constexpr size_t MAX_PREPARED = 64;

void NotePrepared(const std::string& strPath) {
    if (g_arPrepared.size() >= MAX_PREPARED)
        g_arPrepared.pop_front();
    g_arPrepared.emplace_back(strPath, CoarseClockNs());
}

// The moment strPath was told of, else nNowNs; the files told of before it
// were given up.
int64_t TakePreparedTime(const std::string& strPath, int64_t nNowNs) {
    for (auto it = g_arPrepared.begin(); it != g_arPrepared.end(); ++it) {
        if (it->first != strPath)
            continue;
        const int64_t nAt = it->second;
        g_arPrepared.erase(g_arPrepared.begin(), it + 1);
        return nAt < nNowNs ? nAt : nNowNs;
    }
    return nNowNs;
}

// A clean probe's answer carries the engine's note, if any, and the file it
// read, in the same reply, so a clean file costs no extra round trip.
bool SendProbeAnswer(const SEngine& engine, uint8_t nOp, uint32_t nValue, int64_t nAskedNs) {
    SScannedFile scanned;
    scanned.nAskedNs = nAskedNs;
    const bool bScanned = nValue == 0 && engine.pfnScannedFile && engine.pfnScannedFile(scanned.arValue) == 1;
    return SendAnswer(engine, nOp, nValue, nValue == 0 && engine.pfnScanNote ? engine.pfnScanNote() : nullptr,
                      nullptr, bScanned ? &scanned : nullptr);
}

// A library named by its path is checked first: the loader would wait for
// good on a FIFO in its place. *pnErr is OpenRegularFile's.
void* OpenLibrary(const std::string& strPath, std::string* pstrReason, int* pnErr) {
    const int nFd = OpenRegularFile(strPath, pnErr);
    if (nFd < 0) {
        *pstrReason = strPath + ": " + RegularFileError(*pnErr);
        return nullptr;
    }
    close(nFd);
    void* hLib = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!hLib)
        *pstrReason = LoaderReason(strPath);
    return hLib;
}

// The engine beside the host first, then the system paths by bare name;
// never the current folder. Looked up by hand rather than through RUNPATH,
// which a dlopen wrapper (as sanitizers install) would not apply.
void* OpenEngine(std::string* pstrLibrary, std::string* pstrReason) {
    char szExe[4096];
    ssize_t n = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (n > 0) {
        std::string strPath(szExe, static_cast<size_t>(n));
        strPath.resize(strPath.rfind('/') + 1);
        strPath += FARSEND_LIBRARY_NAME;
        int nErr = 0;
        *pstrLibrary = strPath;
        if (void* hLib = OpenLibrary(strPath, pstrReason, &nErr))
            return hLib;
        // Something other than a file in its place is never passed over.
        if (nErr != 0 && nErr != ENOENT)
            return nullptr;
        if (nErr == ENOENT)
            pstrReason->clear();
    }
    void* hLib = dlopen(FARSEND_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
    // The one beside us, when there was one, is the one meant.
    if (hLib || pstrReason->empty())
        *pstrLibrary = FARSEND_LIBRARY_NAME;
    if (!hLib && pstrReason->empty())
        *pstrReason = LoaderReason(FARSEND_LIBRARY_NAME);
    return hLib;
}

// A copy of this host, serving the socket nFd as its descriptor 3 with the
// engine as it is now. Returns the copy's pid in the parent (0 when none);
// returns -1 in the copy, which goes on serving.
pid_t ForkWorker(int nFd) {
    // Copies are reaped by the system: the front end kills them, never waits.
    signal(SIGCHLD, SIG_IGN);
    const pid_t pidParent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        close(nFd);
        return pid > 0 ? pid : 0;
    }
    // The copy dies with the host it came from, as the host dies with the
    // front end; a parent already gone leaves nothing to serve.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != pidParent)
        _exit(1);
    signal(SIGCHLD, SIG_DFL);
    // Descriptor 3 is the host's own socket, so the passed one is another.
    dup2(nFd, HOST_SOCKET_FD);
    close(nFd);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // Die with the front end; a host outliving it would hold the engine open.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        return 1;
    signal(SIGPIPE, SIG_IGN);
    // Ctrl-C in a terminal reaches the whole process group: the front end
    // decides what it stops; the file under way still finishes.
    signal(SIGINT, SIG_IGN);
    close_range(HOST_SOCKET_FD + 1, ~0u, 0);

    // Why the library cannot be loaded goes with the failure, in the
    // loader's words.
    std::string strLibrary = argc > 1 ? argv[1] : "", strReason;
    int nErr = 0;
    void* hLib = argc > 1 ? OpenLibrary(strLibrary, &strReason, &nErr) : OpenEngine(&strLibrary, &strReason);
    SEngine engine{};
    if (!hLib || !Resolve(hLib, strLibrary, engine, &strReason)) {
        SendReply(OP_HELLO, HELLO_LOAD_FAILED, strReason.c_str());
        return 1;
    }
    engine.pfnTurnOn();
    // An optional export, absent from older engines: why the engine cannot
    // work after all, in words for the user.
    using PFN_GetTurnOnError = const char* (*)(void);
    if (auto pfnError = reinterpret_cast<PFN_GetTurnOnError>(dlsym(hLib, "dlGetTurnOnError_Farsend"))) {
        const char* pszError = pfnError();
        if (pszError && *pszError) {
            SendReply(OP_HELLO, HELLO_ENGINE_ERROR, pszError);
            return 1;
        }
    }
    auto pfnCanFork = reinterpret_cast<PFN_dlCanFork_Farsend>(dlsym(hLib, FARSEND_CAN_FORK_NAME));
    const bool bCanFork = pfnCanFork && pfnCanFork() != 0;
    // Files ahead only with both halves of the pair.
    auto pfnDepth = reinterpret_cast<PFN_dlGetPipelineDepth_Farsend>(dlsym(hLib, FARSEND_PIPELINE_DEPTH_NAME));
    engine.pfnPrepare = reinterpret_cast<PFN_dlPrepareProbe_Farsend>(dlsym(hLib, FARSEND_PREPARE_PROBE_NAME));
    const int nDepth = pfnDepth && engine.pfnPrepare ? pfnDepth() : 0;
    g_bNeverSpin = nDepth > 1;
    if (!SendReply(OP_HELLO, HELLO_READY, nullptr, bCanFork ? HELLO_FLAG_CAN_FORK : 0, nullptr,
                   static_cast<uint8_t>(nDepth < 0 ? 0 : nDepth > 64 ? 64 : nDepth)))
        return 1;

    bool bWorker = false;  // a copy: it never forks, nor turns the engine off
    // A copy ends without the library's destructors: freeing the engine
    // would write to, and so copy, every page it shares with its host.
    auto End = [&bWorker](int nStatus) {
        if (bWorker)
            _exit(nStatus);
        return nStatus;
    };
    char arBuf[MAX_MESSAGE + 1];
    std::string strPath;
    for (;;) {
        int nPassedFd = -1;
        ssize_t nLen = ReceiveRequest(arBuf, sizeof arBuf, &nPassedFd);
        if (nLen < static_cast<ssize_t>(sizeof(SRequest)) || nLen > static_cast<ssize_t>(MAX_MESSAGE))
            return End(0);  // gone, or not speaking our protocol
        SRequest req;
        memcpy(&req, arBuf, sizeof req);
        strPath.assign(arBuf + sizeof req, static_cast<size_t>(nLen) - sizeof req);
        // Paths with a NUL byte cannot name a file; the engine never sees one.
        bool bPathOk = strPath.find('\0') == std::string::npos;

        if (nPassedFd >= 0 && req.nOp != OP_FORK_WORKER) {
            close(nPassedFd);
            nPassedFd = -1;
        }

        bool bSent = true;
        switch (req.nOp) {
        case OP_FORMAT:
            bSent = bPathOk ? SendAnswer(engine, req.nOp, engine.pfnFormat(strPath.c_str()))
                            : SendReply(req.nOp, FORMAT_FAULT);
            break;
        case OP_PROBE: {
            const int64_t nAskedNs = CoarseClockNs();
            bSent = bPathOk ? SendProbeAnswer(engine, req.nOp, engine.pfnProbe(strPath.c_str()), nAskedNs)
                            : SendReply(req.nOp, 0);
            break;
        }
        case OP_FORMAT_PROBE: {
            const int64_t nAskedNs = CoarseClockNs();
            uint32_t nFormat = bPathOk ? engine.pfnFormat(strPath.c_str()) : FORMAT_FAULT;
            // An engine that pipelines has its answers at hand: both go
            // together, one wake-up of the front end a file rather than two.
            // A crash in its probe then costs the format's answer too: the
            // file is the engine's fault either way.
            if (bPathOk && g_bNeverSpin) {
                const char* pszError = engine.pfnLastError ? engine.pfnLastError() : nullptr;
                if (pszError && *pszError) {
                    bSent = SendReply(req.nOp, 0, pszError, REPLY_ENGINE_ERROR);
                    break;
                }
                const uint32_t hProbe = IsScannableFormat(nFormat) ? engine.pfnProbe(strPath.c_str()) : 0;
                bSent = SendReply(req.nOp, nFormat);
                if (bSent && IsScannableFormat(nFormat))
                    bSent = SendProbeAnswer(engine, req.nOp, hProbe, TakePreparedTime(strPath, nAskedNs));
                break;
            }
            // A failed format is the whole answer: no probe follows it.
            bool bFailed = false;
            bSent = bPathOk ? SendAnswer(engine, req.nOp, nFormat, nullptr, &bFailed) : SendReply(req.nOp, nFormat);
            if (bSent && !bFailed && IsScannableFormat(nFormat))
                bSent = SendProbeAnswer(engine, req.nOp, engine.pfnProbe(strPath.c_str()), nAskedNs);
            break;
        }
        case OP_RECOVER:
            bSent = SendAnswer(engine, req.nOp, static_cast<uint16_t>(engine.pfnRecover(req.nArg)));
            break;
        case OP_REPORT:
            bSent = SendReply(req.nOp, static_cast<uint16_t>(engine.pfnReport(req.nArg)));
            break;
        case OP_NAME: {
            const char* pszName = engine.pfnName(req.nArg);
            bSent = SendReply(req.nOp, 0, pszName ? pszName : "");
            break;
        }
        case OP_VERSION: {
            const char* pszVersion = engine.pfnVersion();
            bSent = SendReply(req.nOp, 0, pszVersion ? pszVersion : "");
            break;
        }
        case OP_PREPARE:
            if (bPathOk && engine.pfnPrepare) {
                NotePrepared(strPath);
                engine.pfnPrepare(strPath.c_str());
            }
            break;
        case OP_CLOSE:
            engine.pfnClose(req.nArg);
            bSent = SendReply(req.nOp, 0);
            break;
        case OP_TURN_OFF:
            // The engine a copy shares stays on: its host turns it off.
            if (!bWorker)
                engine.pfnTurnOff();
            SendReply(req.nOp, 0);
            _exit(0);
        case OP_FORK_WORKER: {
            if (bWorker || !bCanFork || nPassedFd < 0) {
                if (nPassedFd >= 0)
                    close(nPassedFd);
                bSent = SendReply(req.nOp, 0);
                break;
            }
            const pid_t pid = ForkWorker(nPassedFd);
            if (pid < 0) {
                bWorker = true;  // the copy: its requests come on the new socket
                break;
            }
            bSent = SendReply(req.nOp, static_cast<uint32_t>(pid));
            break;
        }
        default:
            return End(1);
        }
        if (!bSent)
            return End(0);
    }
}
