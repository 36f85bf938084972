// The platform objects the main dialog and the scan results dialog work
// with, as core's interfaces: the program builds them once and hands them
// down; tests hand fakes or objects over temporary folders.
#pragma once

#include <cstdint>
#include <string>

#include "controls/WindowSizes.h"
#include "engine/FarsendEngine.h"
#include "repair/BackupBin.h"
#include "repair/RepairInterfaces.h"
#include "scan/AllowList.h"
#include "scan/EventLog.h"
#include "scan/History.h"
#include "scan/ScanInterfaces.h"
#include "scan/SignatureHealth.h"
#include "scan/VerdictCache.h"

class IEngineSettings;
class IFolderNamespace;
class ISchedules;

// The work folder backups go to, made ready when the main dialog starts.
class IWorkFolder {
public:
    virtual ~IWorkFolder() = default;
    // Creates the folder (and any missing folder above it) and removes what
    // dead writers left in it; *pstrPath is where it is. Returns the highest
    // number among the names in it, 0 when none or when it cannot be read.
    virtual uint32_t Prepare(std::string* pstrPath) = 0;
};

struct CScanServices {
    IFarsendEngine* pEngine = nullptr;
    // The engines a scan hands files to, several at once; none: pEngine alone.
    IEngineWorkers* pWorkers = nullptr;
    IDirLister* pLister = nullptr;
    IDriveSource* pDrives = nullptr;
    IFileAccess* pAccess = nullptr;
    IRegistry* pRegistry = nullptr;
    IAgentNotifier* pNotifier = nullptr;
    IClock* pClock = nullptr;
    // The work folder and the backup store in it: the scans write backups
    // through pBackup, the Backup Bin reads and restores through pBin.
    IWorkFolder* pWorkFolder = nullptr;
    IBackupWriter* pBackup = nullptr;
    IBackupBinStore* pBin = nullptr;
    // What the main dialog's folder tree shows.
    IFolderNamespace* pNamespace = nullptr;
    // Findings the user allowed: the scans skip them, the roads that allow
    // add to it.
    IAllowList* pAllow = nullptr;
    // The user's scheduled scans (the Schedule dialog).
    ISchedules* pSchedules = nullptr;
    // Where every scan leaves its record.
    IScanHistory* pHistory = nullptr;
    // How fresh the engine's signatures are (the main dialog's warning line
    // and information box).
    ISignatureHealth* pSignatures = nullptr;
    // The engine settings file and the engine it points (the settings dialog).
    IEngineSettings* pEngineSettings = nullptr;
    // The sizes the resizable windows had when they last closed.
    IWindowSizes* pWindowSizes = nullptr;
    // Clean verdicts kept from scan to scan; none: every file is read.
    IVerdictCache* pVerdicts = nullptr;
};
