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

#include <string>

#include "engine/FarsendAbi.h"
#include "engine/FarsendEngine.h"
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
};

const int g_fd = HOST_SOCKET_FD;

bool SendReply(uint8_t nOp, uint32_t nValue, const char* pszText = nullptr, uint8_t nFlags = 0) {
    char arBuf[sizeof(SReply) + MAX_TEXT_BYTES];
    SReply reply{};
    reply.nOp = nOp;
    reply.nFlags = nFlags;
    reply.nValue = nValue;
    memcpy(arBuf, &reply, sizeof reply);
    size_t nLen = sizeof reply;
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

// Returns the message length, or -1 when the front end is gone.
ssize_t ReceiveRequest(char* pBuf, size_t nSize) {
    int64_t nStart = MonotonicNs();
    for (;;) {
        ssize_t n = recv(g_fd, pBuf, nSize, MSG_DONTWAIT);
        if (n >= 0)
            return n == 0 ? -1 : n;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        if (MonotonicNs() - nStart > SPIN_NS)
            break;
        // Let anything else that is ready on this core run first: with
        // more runnable threads than cores, a bare spin starves the peer.
        sched_yield();
    }
    for (;;) {
        ssize_t n = recv(g_fd, pBuf, nSize, 0);
        if (n >= 0)
            return n == 0 ? -1 : n;
        if (errno != EINTR)
            return -1;
    }
}

bool Resolve(void* hLib, SEngine& engine) {
    static const char* const arNames[] = {FARSEND_ENTRY_NAMES};
    constexpr size_t nEntries = sizeof arNames / sizeof arNames[0];
    void* arProcs[nEntries];
    for (size_t i = 0; i < nEntries; ++i) {
        arProcs[i] = dlsym(hLib, arNames[i]);
        if (!arProcs[i])
            return false;
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
    return true;
}

// The engine's answer, or, when it says the call could not do its work,
// its reason: the front end counts that as the engine's fault.
bool SendAnswer(const SEngine& engine, uint8_t nOp, uint32_t nValue) {
    const char* pszError = engine.pfnLastError ? engine.pfnLastError() : nullptr;
    if (pszError && *pszError)
        return SendReply(nOp, 0, pszError, REPLY_ENGINE_ERROR);
    return SendReply(nOp, nValue);
}

// The engine beside the host first, then the system paths by bare name;
// never the current folder. Looked up by hand rather than through RUNPATH,
// which a dlopen wrapper (as sanitizers install) would not apply.
void* OpenEngine() {
    char szExe[4096];
    ssize_t n = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (n > 0) {
        std::string strPath(szExe, static_cast<size_t>(n));
        strPath.resize(strPath.rfind('/') + 1);
        strPath += FARSEND_LIBRARY_NAME;
        if (void* hLib = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL))
            return hLib;
    }
    return dlopen(FARSEND_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

int main(int argc, char** argv) {
    // Die with the front end; a host outliving it would hold the engine open.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        return 1;
    signal(SIGPIPE, SIG_IGN);
    close_range(HOST_SOCKET_FD + 1, ~0u, 0);

    void* hLib = argc > 1 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : OpenEngine();
    SEngine engine{};
    if (!hLib || !Resolve(hLib, engine)) {
        SendReply(OP_HELLO, HELLO_LOAD_FAILED);
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
    if (!SendReply(OP_HELLO, HELLO_READY))
        return 1;

    char arBuf[MAX_MESSAGE + 1];
    std::string strPath;
    for (;;) {
        ssize_t nLen = ReceiveRequest(arBuf, sizeof arBuf);
        if (nLen < static_cast<ssize_t>(sizeof(SRequest)) || nLen > static_cast<ssize_t>(MAX_MESSAGE))
            return 0;  // gone, or not speaking our protocol
        SRequest req;
        memcpy(&req, arBuf, sizeof req);
        strPath.assign(arBuf + sizeof req, static_cast<size_t>(nLen) - sizeof req);
        // Paths with a NUL byte cannot name a file; the engine never sees one.
        bool bPathOk = strPath.find('\0') == std::string::npos;

        bool bSent = true;
        switch (req.nOp) {
        case OP_FORMAT:
            bSent = bPathOk ? SendAnswer(engine, req.nOp, engine.pfnFormat(strPath.c_str()))
                            : SendReply(req.nOp, FORMAT_FAULT);
            break;
        case OP_PROBE:
            bSent = bPathOk ? SendAnswer(engine, req.nOp, engine.pfnProbe(strPath.c_str())) : SendReply(req.nOp, 0);
            break;
        case OP_FORMAT_PROBE: {
            uint32_t nFormat = bPathOk ? engine.pfnFormat(strPath.c_str()) : FORMAT_FAULT;
            bSent = bPathOk ? SendAnswer(engine, req.nOp, nFormat) : SendReply(req.nOp, nFormat);
            if (bSent && IsScannableFormat(nFormat))
                bSent = SendAnswer(engine, req.nOp, engine.pfnProbe(strPath.c_str()));
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
        case OP_CLOSE:
            engine.pfnClose(req.nArg);
            bSent = SendReply(req.nOp, 0);
            break;
        case OP_TURN_OFF:
            engine.pfnTurnOff();
            SendReply(req.nOp, 0);
            _exit(0);
        default:
            return 1;
        }
        if (!bSent)
            return 0;
    }
}
