// Files in flight on several engine workers at once, each worker a thread
// with an engine of its own. The walk hands a file to a free worker and
// takes results back oldest first, so rows come in the walk's order. A
// worker whose engine pipelines holds several files, telling the engine of
// those after the one under way.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/FileId.h"
#include "engine/ScannedFile.h"
#include "repair/RepairInterfaces.h"
#include "scan/ResultRows.h"
#include "scan/ScanInterfaces.h"

class CModeHold;

// One file's engine work and what it gave.
struct SFileJob {
    uint64_t nSerial = 0;
    std::string strPath;
    std::string strName;
    CFileId id;
    bool bOfficeFile = false;
    std::unique_ptr<CModeHold> pHold;  // the access retry's bits, until the engine is done
    // Filled by the worker.
    CResultRows rows;  // numbered from 1 within the file
    bool bFaulted = false;
    std::string strFaultReason;
    std::string strScanNote;  // the limit that stopped the engine part way
    // The engine read the whole file and found it clean.
    SScannedFile scanned;
    bool bScannedClean = false;
    // A quarantine left half done (its copy named, the file in place) for
    // the row nPendingRow, with the file still held.
    std::unique_ptr<IFileHold> pFileHold;
    std::unique_ptr<IPendingQuarantine> pPending;
    size_t nPendingRow = 0;
    bool bTold = false;  // its worker's engine was told of it ahead
};

class CScanWorkers {
public:
    // fnWork runs on a worker's thread with that worker's engine.
    using FnWork = std::function<void(SFileJob& job, IFarsendEngine* pEngine)>;
    CScanWorkers(IEngineWorkers* pWorkers, FnWork fnWork);
    ~CScanWorkers();
    CScanWorkers(const CScanWorkers&) = delete;
    CScanWorkers& operator=(const CScanWorkers&) = delete;

    // A worker whose engine is ready and holds fewer jobs than it may.
    bool HasFreeWorker();
    // Needs a free worker.
    void Submit(std::unique_ptr<SFileJob> pJob);
    // The oldest job once it is done; null while it runs or there is none.
    std::unique_ptr<SFileJob> TakeDoneHead();
    bool IsEmpty();
    // Waits up to nMs for a job to finish.
    void WaitForChange(int nMs);
    // The oldest running job: its serial and how long it has run (ms).
    bool GetOldestRunning(uint64_t* pnSerial, int64_t* pnElapsedMs);
    // Ends the calls in flight, as for a hang; the jobs held behind them
    // end unscanned, as faults.
    void AbandonAll();
    // What a file's engine work takes, on average (workers' and the caller's).
    void RecordJobTime(std::chrono::steady_clock::duration time);
    int64_t GetAverageJobNs() const { return m_nAvgJobNs.load(std::memory_order_relaxed); }

private:
    struct SSlot {
        IFarsendEngine* pEngine = nullptr;
        SFileJob* pJob = nullptr;  // running here, owned by m_arQueue
        std::deque<SFileJob*> arHeld;  // to run here next, oldest first
        size_t nDepth = 1;  // jobs it may hold, the running one included
        int64_t nStartMs = 0;  // when the running one started
        std::condition_variable cvWork;  // this slot got a job, or the end
        std::atomic<bool> bHasJob{false};
        bool bReady = false;  // its engine loaded: it may be given jobs
        std::thread thread;
    };
    struct SQueued {
        std::unique_ptr<SFileJob> pJob;
        bool bDone = false;
    };
    void Run(size_t nSlot);

    IEngineWorkers* m_pEngines;
    FnWork m_fnWork;
    std::mutex m_mtx;
    std::condition_variable m_cvDone;  // a job finished
    std::atomic<unsigned> m_nDone{0};  // jobs finished, and workers made ready, so far
    std::atomic<int64_t> m_nAvgJobNs{0};
    std::atomic<bool> m_bPipelined{false};  // a worker's engine pipelines
    std::vector<std::unique_ptr<SSlot>> m_arSlots;
    std::deque<SQueued> m_arQueue;  // walk order
    bool m_bQuit = false;
};
