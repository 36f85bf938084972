// The program's Linux objects for windows under test, with everything that
// would reach the user's own folders pointed into one temporary folder: the
// work folder and its backups (ROOT/work), the registry (ROOT/config for
// the user, ROOT/xdg for the machine) and the tree's home (ROOT/home).
#pragma once

#include <string>

#include "fakes/FakeWorkFolder.h"
#include "platform/BackupStore.h"
#include "platform/HistoryFile.h"
#include "platform/LinuxNamespace.h"
#include "platform/PlatformServices.h"
#include "platform/XdgRegistry.h"

struct CTempServices {
    explicit CTempServices(const std::string& strRoot)
        : registry(strRoot + "/config", strRoot + "/xdg"),
          workFolder(strRoot + "/work"),
          backups(strRoot + "/work"),
          folders(&platform.drives, strRoot + "/home"),
          history(strRoot + "/history") {}

    CPlatformServices platform;
    CXdgRegistry registry;
    CFakeWorkFolder workFolder;
    CBackupStore backups;
    CLinuxNamespace folders;
    CHistoryFile history;

    CScanServices Get() {
        CScanServices services = platform.Get();
        services.pRegistry = &registry;
        services.pWorkFolder = &workFolder;
        services.pBackup = &backups;
        services.pBin = &backups;
        services.pNamespace = &folders;
        services.pHistory = &history;
        return services;
    }
};
