// The platform objects a scan results dialog works with, handed down by the
// main dialog; tests hand fakes.
#pragma once

#include "engine/FarsendEngine.h"
#include "scan/EventLog.h"
#include "scan/ScanInterfaces.h"

struct CScanServices {
    IFarsendEngine* pEngine = nullptr;
    IDirLister* pLister = nullptr;
    IDriveSource* pDrives = nullptr;
    IFileAccess* pAccess = nullptr;
    IRegistry* pRegistry = nullptr;
    IAgentNotifier* pNotifier = nullptr;
    IClock* pClock = nullptr;
};
