// The Linux objects behind the program's interfaces, owned in one place for
// the life of the main window.
#pragma once

#include "platform/DBusAgentNotifier.h"
#include "platform/HostEngine.h"
#include "platform/MountTable.h"
#include "platform/PosixDirLister.h"
#include "platform/PosixFileAccess.h"
#include "platform/SystemClock.h"
#include "platform/XdgRegistry.h"
#include "scan/ScanServices.h"

struct CPlatformServices {
    CHostEngine engine;
    CPosixDirLister lister;
    CMountTable drives;
    CPosixFileAccess access;
    CXdgRegistry registry;
    CDBusAgentNotifier notifier;
    CSystemClock clock;

    CScanServices Get() {
        return CScanServices{&engine, &lister, &drives, &access, &registry, &notifier, &clock};
    }
};
