// One scan: the target list turned into folder walks, every file met counted
// and shown, every eligible file handed to the engine, findings turned into
// numbered result rows.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/FarsendEngine.h"
#include "repair/RepairInterfaces.h"
#include "repair/Treatment.h"
#include "scan/AllowList.h"
#include "scan/ModeHold.h"
#include "scan/ScanInterfaces.h"
#include "scan/ScanTypes.h"
#include "scan/ScanWorkers.h"
#include "scan/VerdictCache.h"

// The file checks, taken in turn by the walk and the workers.
class CLockedFileAccess : public IFileAccess {
public:
    explicit CLockedFileAccess(IFileAccess* pAccess) : m_pAccess(pAccess) {}
    bool Access(const std::string& strPath, bool bWrite) override {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_pAccess->Access(strPath, bWrite);
    }
    bool GetMode(const std::string& strPath, uint32_t* pnMode) override {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_pAccess->GetMode(strPath, pnMode);
    }
    bool SetMode(const std::string& strPath, uint32_t nMode) override {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_pAccess->SetMode(strPath, nMode);
    }
    bool GetFileId(const std::string& strPath, CFileId* pId) override {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_pAccess->GetFileId(strPath, pId);
    }
    bool IsSameFolder(const std::string& strFolder, const CFileId& id) override {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_pAccess->IsSameFolder(strFolder, id);
    }
    // Not taken in turn: a hold may wait for another program's, and holds
    // keep no state of the checks.
    std::unique_ptr<IFileHold> HoldFile(const std::string& strPath, const CFileId& id) override {
        return m_pAccess->HoldFile(strPath, id);
    }

private:
    IFileAccess* m_pAccess;
    std::mutex m_mtx;
};

struct CScanEnv {
    IFarsendEngine* pEngine = nullptr;
    IDirLister* pLister = nullptr;
    IDriveSource* pDrives = nullptr;
    IFileAccess* pAccess = nullptr;
    IScanView* pView = nullptr;
    IResultList* pResults = nullptr;
    IBackupWriter* pBackup = nullptr;  // none: every backup fails quietly
    // More than one: files go to these engines, several at once.
    IEngineWorkers* pWorkers = nullptr;
    // Served while the walk waits for workers (the window); none: Drain.
    IEngineWait* pWait = nullptr;
    // Findings the user allowed give no row; none: every finding does.
    IAllowList* pAllow = nullptr;
    // Clean verdicts remembered from earlier scans; none: every file is read.
    IVerdictCache* pVerdicts = nullptr;
};

// A file is cleaned and probed again at most this often in one go; an
// engine that keeps "cleaning" without effect must not hold the scan.
constexpr int MAX_REPAIR_PASSES = 64;

class CScanner : public ITreatmentServices {
public:
    CScanner(const SCANREQUEST& req, const CScanEnv& env);
    ~CScanner();
    CScanner(CScanner&&) noexcept;

    // The whole scan; runs once.
    void RunScan();
    // Walks one folder pattern ("/home/ann/*"), depth first.
    void WalkFolder(const std::string& strPattern);
    // True when the file is to be scanned; sets m_bOfficeFile.
    bool FilterFile(const std::string& strPath);
    // pHold: where added bits stay until the engine is done; none puts the
    // mode back at once. The scan's own calls use the file's hold.
    bool CheckFileAccess(bool bWrite, const std::string& strPath, CModeHold* pHold = nullptr) override;
    // Takes the next free backup number, used up even when the copy fails;
    // false when no backup could be written. *pId as IBackupWriter says.
    bool BackupFile(const std::string& strFolder, const std::string& strName, CFileId* pId) override;
    // Just before a cleaning: the path still holds the regular file that was
    // backed up (or met by the walk), not a link or another file.
    bool IsSameFile(const std::string& strPath, const CFileId& id) override;
    IFileAccess* GetTreatmentAccess() override { return m_pAccess; }
    EQuarantined QuarantineFile(const std::string& strFolder, const std::string& strName, const CFileId& id,
                                const std::string& strVirus, uint32_t nMode,
                                std::unique_ptr<IPendingQuarantine>* ppPending = nullptr) override;

    // Asked from a handler while the walk drains: leave at the next entry.
    void Stop() { m_bStop = true; }
    bool IsStopped() const { return m_bStop; }
    // Files are in flight on several workers (only while the scan runs).
    bool IsParallel() const { return m_pWorkers != nullptr; }

    int GetScanned() const { return m_nScanned; }
    // Files, folders and targets said not to be (fully) scanned.
    int GetNotScanned() const { return m_nNotScanned; }
    int GetInfected() const { return m_nInfected; }
    // Files counted without the engine: found clean before and unchanged.
    int GetUnchanged() const { return m_nUnchanged; }
    bool IsOfficeFile() const { return m_bOfficeFile; }
    const std::string& GetEngineVersion() const { return m_strEngineVer; }
    const SCANREQUEST& GetRequest() const { return m_req; }
    // The last number a backup of this scan took (the start number if none).
    uint32_t GetLastBackupNo() const { return m_req.nLastBackupNo; }
    IFarsendEngine* GetEngine() const { return m_env.pEngine; }
    IResultList* GetResults() const { return m_env.pResults; }
    IFileAccess* GetAccess() const { return m_env.pAccess; }
    // Files can be moved into the Backup Bin (the scan has a store).
    bool CanQuarantine() const { return m_env.pBackup != nullptr; }
    // Where findings the user says are false go; null when there is none.
    IAllowList* GetAllowList() const { return m_env.pAllow; }

    // The pattern a target expands to, "" when it names nothing walkable.
    static std::string MakePattern(const std::string& strTarget);

private:
    enum EWalkRule { WALK_DRIVE_ROOT, WALK_TARGET };
    // nDev: the file system the pattern's folder is on, 0 when not known.
    void Walk(const std::string& strPattern, EWalkRule eRule, uint64_t nDev);
    bool EntersFolder(const std::string& strPath, EWalkRule eRule, uint64_t nParentDev, const CFileId& id) const;
    bool IsStorageDevice(uint64_t nDev) const;
    // A file the engine faulted on is said once, after its handling.
    void BeginFileFaults(const std::string& strPath);
    void EndFileFaults();
    // bTarget: the user named this very file.
    void MeetFile(const std::string& strPath, std::string_view strName, EEntryKind eKind, CFileId id,
                  const CFileId& folderId, bool bTarget = false);
    // Said to the view, and counted.
    void NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail = std::string());
    // One file's engine work: the engine, where its rows go and how they
    // are numbered, and the mode held for it.
    struct SFileWork {
        IFarsendEngine* pEngine = nullptr;
        IResultList* pRows = nullptr;
        int nInfected = 0;     // rows so far
        bool bLabels = false;  // keeps the Infected label current
        bool bOfficeFile = false;
        CModeHold* pHold = nullptr;
        unsigned nFileFaults = 0;  // the engine's fault count when the file began
        // From the first cleaning on: it keeps the file held through every
        // cleaning and the probes after them.
        std::unique_ptr<CFileTreatment> pTreatment;
        std::string strScanNote;   // the probe found nothing, but read only part of the file
        bool bRepairBegun = false;  // a backup or a cleaning may have happened
        SFileJob* pJob = nullptr;   // a job's file: its quarantine is finished with others'
        SScannedFile scanned;       // the first probe answered clean on this file
        bool bScanned = false;
    };
    // id: the file the walk met at strPath (unset when not known).
    void ScanFile(SFileWork& work, const std::string& strPath, std::string_view strName, CFileId id);
    // The findings and their automatic repair, before any quarantine.
    void ScanFindings(SFileWork& work, const std::string& strPath, std::string_view strName, CFileId id);
    // The automatic road for the newest row: true with *phProbe set when the
    // file shows a further infection that needs a row of its own.
    bool AutoRepair(SFileWork& work, uint32_t hProbe, const std::string& strPath, std::string_view strName,
                    CFileId* pId, uint32_t* phProbe);
    // On a worker's thread.
    void WorkOnFile(SFileJob& job, IFarsendEngine* pEngine);
    // Rows and notes of the files done, oldest first, up to one still running.
    void ApplyFinished();
    void ApplyJob(const SFileJob& job);
    // A job done, in the walk's order: applied, or kept with those waiting
    // for their quarantines to be finished together.
    void Settle(std::unique_ptr<SFileJob> pJob);
    // Finishes the quarantines waiting and applies their jobs; bDue: only
    // when enough wait, or the oldest has waited long enough.
    void FinishWaiting(bool bDue = false);
    void WaitForWorkers();
    void FinishWorkers();
    static constexpr int WAIT_SLICE_MS = 15;
    // Below this a file's engine work costs less than handing it over.
    static constexpr int64_t INLINE_JOB_NS = 500000;

    SCANREQUEST m_req;
    CScanEnv m_env;

    bool m_bStop = false;
    int m_nScanned = 0;
    int m_nNotScanned = 0;
    int m_nInfected = 0;
    int m_nUnchanged = 0;
    bool m_bVerdicts = false;  // env's verdicts are in use this scan
    bool m_bOfficeFile = false;
    std::string m_strEngineVer;
    std::string m_strFaultFile;        // the file last handed to the engine
    unsigned m_nFaultsAtFile = 0;      // the engine's fault count before it
    std::unordered_set<std::string> m_setFaultReasons;  // said already
    std::unordered_map<std::string, int> m_mapMounts;  // mount point -> drive type
    std::unordered_map<uint64_t, int> m_mapDevices;    // device -> drive type
    IFileAccess* m_pAccess;  // env's, or its locked wrapper while workers run
    std::unique_ptr<CScanWorkers> m_pWorkers;
    uint64_t m_nJobSerial = 0;
    std::unique_ptr<std::mutex> m_pBackupLock = std::make_unique<std::mutex>();
    // Jobs done, oldest first, from the first with a quarantine to finish.
    std::vector<std::unique_ptr<SFileJob>> m_arWaiting;
    size_t m_nWaitingQuarantines = 0;
    std::chrono::steady_clock::time_point m_tWaitingSince;
    // One sync serves this many quarantines; a row waits this long at most.
    static constexpr size_t MAX_WAITING_QUARANTINES = 64;
    static constexpr int64_t MAX_WAITING_MS = 250;
    // The scan's one engine as a worker of its own.
    class CSingleWorker : public IEngineWorkers {
    public:
        explicit CSingleWorker(IFarsendEngine* pEngine) : m_pEngine(pEngine) {}
        size_t GetWorkerCount() const override { return 1; }
        IFarsendEngine* GetWorker(size_t i) override { return i == 0 ? m_pEngine : nullptr; }

    private:
        IFarsendEngine* m_pEngine;
    };
    std::unique_ptr<CSingleWorker> m_pSingleWorker;
};
