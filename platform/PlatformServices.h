// The Linux objects behind the program's interfaces, built once by the
// program and owned in one place for the life of the main window. Windows
// get them only through Get(), as core's interfaces.
#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <string>

#include "platform/AllowListFile.h"
#include "platform/BackupStore.h"
#include "platform/DBusAgentNotifier.h"
#include "platform/EnginePool.h"
#include "platform/EngineSettingsFile.h"
#include "platform/HistoryFile.h"
#include "platform/HostEngine.h"
#include "platform/LinuxNamespace.h"
#include "platform/MountTable.h"
#include "platform/PosixDirLister.h"
#include "platform/PosixFileAccess.h"
#include "platform/ScheduleUnits.h"
#include "platform/SignatureCheck.h"
#include "platform/SystemClock.h"
#include "platform/VerdictCacheFile.h"
#include "platform/WindowSizesFile.h"
#include "platform/XdgRegistry.h"
#include "scan/ScanServices.h"

// The scan's engine workers, one per core, opened when a scan first asks
// (on the window's thread, which outlives every scan, so their hosts do).
class CLazyEnginePool : public IEngineWorkers {
public:
    explicit CLazyEnginePool(CHostEngine& main) : m_pool(main) {}
    size_t GetWorkerCount() const override {
        if (!m_bOpened) {
            m_bOpened = true;
            m_pool.Open(m_nWorkers);
        }
        return m_pool.GetWorkerCount();
    }
    // How many are opened (before the first scan asks): one per core unless
    // told otherwise.
    void SetWorkerCount(int nWorkers) { m_nWorkers = std::max(1, nWorkers); }
    // Their hosts end now rather than with the program.
    void Close() {
        m_pool.Close();
        m_bOpened = false;
    }
    IFarsendEngine* GetWorker(size_t i) override { return m_pool.GetWorker(i); }
    bool PrepareWorker(size_t i) override { return m_pool.PrepareWorker(i); }

private:
    mutable CEnginePool m_pool;
    mutable bool m_bOpened = false;
    int m_nWorkers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

// The work folder the environment names (see GetWorkDirPath).
class CLinuxWorkFolder : public IWorkFolder {
public:
    uint32_t Prepare(std::string* pstrPath) override { return PrepareWorkDir(pstrPath); }
};

struct CPlatformServices {
    CHostEngine engine;
    CPosixDirLister lister;
    CMountTable drives;
    CPosixFileAccess access;
    CXdgRegistry registry;
    CDBusAgentNotifier notifier;
    CSystemClock clock;
    // Both read the environment, which stays as it is while the program
    // runs: the store is over the folder Prepare makes.
    CLinuxWorkFolder workFolder;
    CBackupStore backups{GetWorkDirPath()};
    CLinuxNamespace folders{&drives};
    CLazyEnginePool workers{engine};
    CAllowListFile allowList;
    CHistoryFile history;
    CScheduleUnits schedules;
    CSignatureCheck signatures;
    CEngineSettingsFile engineSettings{engine, workers};
    CWindowSizesFile windowSizes;
    CVerdictCacheFile verdicts{engine};

    CScanServices Get() {
        CScanServices services;
        services.pEngine = &engine;
        services.pWorkers = &workers;
        services.pLister = &lister;
        services.pDrives = &drives;
        services.pAccess = &access;
        services.pRegistry = &registry;
        services.pNotifier = &notifier;
        services.pClock = &clock;
        services.pWorkFolder = &workFolder;
        services.pBackup = &backups;
        services.pBin = &backups;
        services.pNamespace = &folders;
        services.pAllow = &allowList;
        services.pHistory = &history;
        services.pSchedules = &schedules;
        services.pSignatures = &signatures;
        services.pEngineSettings = &engineSettings;
        services.pWindowSizes = &windowSizes;
        services.pVerdicts = &verdicts;
        return services;
    }
};
