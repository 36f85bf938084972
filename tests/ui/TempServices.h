// The program's Linux objects for windows under test, with everything that
// would reach the user's own folders pointed into one temporary folder: the
// work folder and its backups (ROOT/work), the registry (ROOT/config for
// the user, ROOT/xdg for the machine), the tree's home (ROOT/home), the
// windows' kept sizes (ROOT/windows) and the clean verdicts (ROOT/cache).
#pragma once

#include <string>

#include "fakes/FakeWorkFolder.h"
#include "platform/BackupStore.h"
#include "platform/HistoryFile.h"
#include "platform/LinuxNamespace.h"
#include "platform/PlatformServices.h"
#include "platform/WindowSizesFile.h"
#include "platform/XdgRegistry.h"

struct CTempServices {
    explicit CTempServices(const std::string& strRoot)
        : registry(strRoot + "/config", strRoot + "/xdg"),
          workFolder(strRoot + "/work"),
          backups(strRoot + "/work"),
          folders(&platform.drives, strRoot + "/home"),
          history(strRoot + "/history"),
          windowSizes(strRoot + "/windows") {
        platform.verdicts.SetFolder(strRoot + "/cache");
    }

    CPlatformServices platform;
    CXdgRegistry registry;
    CFakeWorkFolder workFolder;
    CBackupStore backups;
    CLinuxNamespace folders;
    CHistoryFile history;
    CWindowSizesFile windowSizes;

    CScanServices Get() {
        CScanServices services = platform.Get();
        services.pRegistry = &registry;
        services.pWorkFolder = &workFolder;
        services.pBackup = &backups;
        services.pBin = &backups;
        services.pNamespace = &folders;
        services.pHistory = &history;
        services.pWindowSizes = &windowSizes;
        return services;
    }
};
