// The Linux objects behind the program's interfaces, built once by the
// program and owned in one place for the life of the main window. Windows
// get them only through Get(), as core's interfaces.
#pragma once

#include <cstdint>
#include <string>

#include "platform/BackupStore.h"
#include "platform/DBusAgentNotifier.h"
#include "platform/HostEngine.h"
#include "platform/LinuxNamespace.h"
#include "platform/MountTable.h"
#include "platform/PosixDirLister.h"
#include "platform/PosixFileAccess.h"
#include "platform/SystemClock.h"
#include "platform/XdgRegistry.h"
#include "scan/ScanServices.h"

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

    CScanServices Get() {
        CScanServices services;
        services.pEngine = &engine;
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
        return services;
    }
};
