// The engine binding on Linux: the engine runs in farsend-host, one request
// per entry-point call. A host that dies or outlives the watchdog is reaped,
// the call gets its fail-safe answer, and the next call starts a fresh host.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/FarsendEngine.h"
#include "farsend/host/HostProtocol.h"

struct SHostOptions {
    std::string strHostPath;  // "" = farsend-host beside this program, then libexec
    std::string strLibrary;   // "" = libfarsend.so by bare name, found by the host
    int nWatchdogMs = 15000;  // per call, plus time for the file's size
    // Turning on may load a large signature database: a host gets this long
    // (a full ClamAV database takes some seconds; a slow machine, a few
    // times that). QUILLET_ENGINE_START_MS in the environment sets it.
    int nStartMs = 120000;
    std::vector<std::string> arEnv;  // "NAME=value" the host gets beside ours
};

class CHostEngine : public IFarsendEngine {
public:
    explicit CHostEngine(SHostOptions options = SHostOptions());
    ~CHostEngine() override;
    CHostEngine(const CHostEngine&) = delete;
    CHostEngine& operator=(const CHostEngine&) = delete;

    // The engine library to load at the next start ("" = the bundled one),
    // and the settings its host gets in its environment.
    void SetLibrary(std::string strLibrary) { m_options.strLibrary = std::move(strLibrary); }
    void SetHostEnvironment(std::vector<std::string> arEnv) { m_options.arEnv = std::move(arEnv); }
    const SHostOptions& GetOptions() const { return m_options; }
    // How long turning on may take, from the next start on.
    void SetStartLimitMs(int nMs) { m_options.nStartMs = nMs; }

    // Whether the loaded engine lets its host fork copies of itself.
    bool CanFork() const { return m_bCanFork; }
    // Worker mode, set before Load: this engine's host is a copy forked by
    // pZygote's (loaded, CanFork), and a fault costs that copy only. The
    // zygote serves any number of workers, one fork at a time.
    void SetZygote(CHostEngine* pZygote) { m_pZygote = pZygote; }

    int Load() override;
    int BeginLoad() override;
    int PollLoad() override { return WaitLoad(0); }
    // PollLoad that waits up to nWaitMs (-1: as long as turning on may take)
    // for the engine to be ready. A host still turning on when its time is
    // up is given up: load status 1.
    int WaitLoad(int64_t nWaitMs);
    std::string GetLoadError() const override { return m_strLoadError; }
    void Unload() override;
    bool IsLoaded() const override { return m_bLoaded; }

    uint32_t GetFileFormat(const std::string& strPath) override;
    uint32_t ProbeInto(const std::string& strPath, bool* pbFaulted = nullptr) override;
    bool RecoverFile(uint32_t hProbe, int16_t* pnOutcome) override;
    int16_t GetVirusReport(uint32_t hProbe) override;
    std::string GetVirusName(uint32_t hProbe) override;
    std::string GetTorvaneVersion() override;
    void CloseProbe(uint32_t hProbe) override;
    size_t GetPipelineDepth() const override;
    void PrepareFile(const std::string& strPath) override;

    // For tests: how many hosts were started, and the current one's pid.
    int GetHostStarts() const { return m_nHostStarts; }
    // Waits for the answers of the closes made so far, so that a fault in
    // one is counted now.
    unsigned GetFaultCount() override;
    void SetWait(IEngineWait* pWait) override { m_pWait = pWait; }
    // From any thread: the call waiting for its host ends as a hang would.
    void Abandon() override;
    std::string TakeFaultReason() override { return std::move(m_strFaultReason); }
    std::string TakeScanNote() override { return std::move(m_strScanNote); }
    bool TakeScannedFile(SScannedFile* pFile) override;
    unsigned GetLostCount() const override { return m_nLost; }
    pid_t GetHostPid() const { return m_pidHost; }

    static std::string DefaultHostPath();

private:
    bool StartHost();
    // The host runs, its greeting not yet read.
    bool SpawnHost();
    // Worker mode: a copy of the zygote's host serves us.
    bool ForkHost();
    // A host just started on the socket nFd: no call in flight, no probe live.
    void AdoptHost(int nFd, pid_t pid);
    // In the zygote, from any thread: a copy of our host serving the socket
    // nFd; its pid, or 0. *pnStart: which of our hosts made it.
    pid_t ForkWorker(int nFd, int* pnStart);
    // In the zygote, from any thread: the host that was started nStart-th
    // has died or been replaced.
    bool IsHostGone(int nStart);
    // The host died or failed its call: the fault is counted and the host
    // ended; a copy that went down with its zygote is told apart.
    void HostFailed(const char* pszWhat, const std::string& strFile);
    // Reads the greeting: an ENGINE_LOAD_ code.
    int AwaitHello();
    void KillHost();
    bool EnsureHost();
    void DropPrefetch();
    bool SettleAcks();
    // Hands the waiting time to m_pWait; false when it gives the call up.
    bool Serve(uint64_t nCall, int64_t nElapsedMs);
    bool Send(uint8_t nOp, uint32_t nArg, const std::string& strPath);
    // One reply of op nOp; false on death, timeout or nonsense. strFile gives
    // the watchdog the size of the file being worked on.
    // nLimitMs: the wait before the watchdog (0: the per-call one).
    // nSlot: whose answer times decide the spin (default: the op's).
    bool Receive(uint8_t nOp, uint32_t* pnValue, std::string* pstrText, const std::string& strFile,
                 int64_t nLimitMs = 0, int nSlot = -1);
    // Send and receive one reply; kills the host on any failure.
    bool Call(uint8_t nOp, uint32_t nArg, const std::string& strPath, uint32_t* pnValue,
              std::string* pstrText, const std::string& strFile);
    bool IsLive(uint32_t hProbe) const;

    SHostOptions m_options;
    bool m_bLoaded = false;
    bool m_bLoading = false;  // spawned by BeginLoad, greeting not yet read
    int64_t m_nLoadStartNs = 0;
    std::string m_strLoadError;
    std::string m_strFaultReason;  // the engine's words on its last failed call
    std::string m_strScanNote;     // the limit that stopped the last clean probe
    SScannedFile m_scanned;        // the file the last clean probe read
    bool m_bScanned = false;
    int m_nFd = -1;
    pid_t m_pidHost = -1;
    bool m_bCanFork = false;
    uint8_t m_nReplyFlags = 0;  // of the last reply received
    uint8_t m_nReplyDepth = 0;
    size_t m_nDepth = 0;  // files ahead the engine would be told of
    CHostEngine* m_pZygote = nullptr;
    std::mutex m_mutexFork;  // in a zygote: one fork request at a time
    int m_nWakeFd = -1;      // wakes a waiting call for Abandon
    std::atomic<bool> m_bInReceive{false};
    std::atomic<bool> m_bAbandoned{false};
    int m_nHostStarts = 0;
    unsigned m_nFaults = 0;
    unsigned m_nLost = 0;     // faults that were the zygote's death, not ours
    int m_nZygoteStart = 0;   // which of the zygote's hosts our copy came from
    bool m_bEngineError = false;  // the last reply: the engine could not do the call
    int m_nPendingAcks = 0;
    // Handles the current host gave out, with their paths; a handle from a
    // host that has since died is never sent to its successor.
    std::unordered_map<uint32_t, std::string> m_mapLive;
    // The probe answered with the last format request, kept for the
    // ProbeInto of the same path that follows it.
    bool m_bPrefetched = false;
    std::string m_strPrefetchPath;
    uint32_t m_hPrefetch = 0;
    bool m_bPrefetchFaulted = false;
    std::string m_strPrefetchNote;
    SScannedFile m_prefetchScanned;
    bool m_bPrefetchScanned = false;
    IEngineWait* m_pWait = nullptr;
    bool m_bServing = false;     // m_pWait runs: no call may start
    uint64_t m_nCallSerial = 0;
    // How long each kind of answer takes, by op; the fused request's second
    // answer, the probe's, has a slot of its own where no op is.
    static constexpr int SPIN_SLOT_FUSED_PROBE = 0;
    farsend::CSpinGauge m_arSpin[16];
    static constexpr int64_t WAIT_SLICE_MS = 15;
};
