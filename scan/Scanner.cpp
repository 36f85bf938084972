#include "scan/Scanner.h"

#include <chrono>
#include <climits>
#include <cstdio>

#include "base/Diagnostics.h"
#include "base/EscapeField.h"
#include "repair/BackupFormat.h"
#include "res/Strings.h"
#include "scan/Mounts.h"

CScanner::CScanner(const SCANREQUEST& req, const CScanEnv& env) : m_req(req), m_env(env), m_pAccess(env.pAccess) {}

CScanner::~CScanner() = default;
CScanner::CScanner(CScanner&&) noexcept = default;

std::string CScanner::MakePattern(const std::string& strTarget) {
    // Only absolute paths name something on disk; a display path of an item
    // outside the file system ("Network") must not resolve against the
    // current folder.
    if (strTarget.empty() || strTarget[0] != '/')
        return std::string();
    if (strTarget.back() == '/')
        return strTarget + "*";
    return strTarget + "/*";
}

void CScanner::RunScan() {
    m_strEngineVer = m_env.pEngine->GetTorvaneVersion();
    m_bVerdicts = m_env.pVerdicts && m_env.pVerdicts->BeginScan(m_strEngineVer);
    // Read once a scan, when first asked: a list edited since the last scan
    // counts.
    if (m_env.pAllow)
        m_env.pAllow->Reload();
    // Several workers: files in flight at once, the walk and the counters
    // staying here. Their engines run on their own threads and serve no
    // window; the file checks they share are taken in turn.
    std::unique_ptr<CLockedFileAccess> pLocked;
    // An engine that pipelines is worth a worker even alone: it holds the
    // files ahead while the walk goes on.
    if ((!m_env.pWorkers || m_env.pWorkers->GetWorkerCount() <= 1) && m_env.pEngine->GetPipelineDepth() > 1) {
        m_pSingleWorker = std::make_unique<CSingleWorker>(m_env.pWorkers ? m_env.pWorkers->GetWorker(0) : m_env.pEngine);
        m_env.pWorkers = m_pSingleWorker.get();
    }
    if (m_env.pWorkers && (m_env.pWorkers->GetWorkerCount() > 1 || m_pSingleWorker)) {
        for (size_t i = 0; i < m_env.pWorkers->GetWorkerCount(); ++i)
            m_env.pWorkers->GetWorker(i)->SetWait(nullptr);
        pLocked = std::make_unique<CLockedFileAccess>(m_env.pAccess);
        m_pAccess = pLocked.get();
        m_pWorkers = std::make_unique<CScanWorkers>(
            m_env.pWorkers, [this](SFileJob& job, IFarsendEngine* pEngine) { WorkOnFile(job, pEngine); });
    }

    m_mapMounts.clear();
    m_mapDevices.clear();
    const std::vector<CMount> arMounts = m_env.pDrives->GetMounts();
    for (const CMount& mount : OneDrivePerMount(arMounts))
        m_mapMounts[mount.strPath] = mount.nType;
    // Every mount by its device, so a file system is known however it is
    // reached; a system one stays unwalkable even where another line of the
    // table calls the same device storage.
    for (const CMount& mount : arMounts) {
        if (mount.nDev == 0)
            continue;
        auto it = m_mapDevices.find(mount.nDev);
        if (it == m_mapDevices.end() || IsWalkableDriveType(it->second))
            m_mapDevices[mount.nDev] = mount.nType;
    }
    const std::vector<CMount> arDrives = UserDrives(arMounts);

    for (const CScanTarget& target : m_req.arTargets) {
        if (m_bStop)
            break;
        if (target.bAllDrives) {
            for (const CMount& drive : arDrives) {
                if (m_bStop)
                    break;
                Walk(MakePattern(drive.strPath), WALK_DRIVE_ROOT, drive.nDev);
            }
            continue;
        }
        // Resolved once, before the walk: rows, backups and records name the
        // real path, and nothing met later is reached through a link.
        const std::string& strTarget = target.strPath;
        std::string strReal;
        CFileId id;
        if (strTarget.empty() || strTarget[0] != '/' || !m_env.pLister->Canonicalize(strTarget, &strReal, &id))
            continue;
        // Nothing on a system file system is opened: reading some of its
        // files blocks for good, and none of them holds anything to scan.
        if (id.IsSet() && !IsStorageDevice(id.nDev)) {
            NotScanned(strReal, SKIP_SYSTEM_FS);
            continue;
        }
        if (m_req.bFileTargets) {
            // A file named as a target is that file alone; a FIFO, socket or
            // device is counted and said, never opened.
            EEntryKind eKind = ENTRY_FILE;
            if (!m_pAccess->GetFileId(strReal, &id))
                eKind = id.IsSet() && !m_pAccess->IsSameFolder(strReal, id) ? ENTRY_SPECIAL : ENTRY_FOLDER;
            if (eKind != ENTRY_FOLDER) {
                m_env.pView->Drain();
                if (m_bStop)
                    break;
                const std::string_view strName = std::string_view(strReal).substr(strReal.rfind('/') + 1);
                MeetFile(strReal, strName, eKind, id, CFileId(), true);
                continue;
            }
        }
        std::string strPattern = MakePattern(strReal);
        if (!strPattern.empty())
            Walk(strPattern, WALK_TARGET, id.nDev);
    }
    // The files in flight finish, as the file under way does.
    FinishWorkers();
    FinishWaiting();
    m_pWorkers.reset();
    m_pAccess = m_env.pAccess;
    EndFileFaults();
    // What a stopped scan found clean is as true as a whole scan's.
    if (m_bVerdicts)
        m_env.pVerdicts->EndScan();
    m_env.pView->ScanEnded(m_bStop);
}

void CScanner::WalkFolder(const std::string& strPattern) {
    Walk(strPattern, WALK_TARGET, 0);
}

bool CScanner::IsStorageDevice(uint64_t nDev) const {
    auto it = m_mapDevices.find(nDev);
    // A device the table does not name (a btrfs subvolume) belongs to the
    // storage that holds it.
    return it == m_mapDevices.end() || IsWalkableDriveType(it->second);
}

bool CScanner::EntersFolder(const std::string& strPath, EWalkRule eRule, uint64_t nParentDev,
                            const CFileId& id) const {
    auto it = m_mapMounts.find(strPath);
    // A drive root's walk stays on its drive: nested drives get walks of
    // their own, pseudo file systems none.
    if (eRule == WALK_DRIVE_ROOT && it != m_mapMounts.end())
        return false;
    // Another file system begins here, whatever path led to it.
    if (id.IsSet() && nParentDev != 0 && id.nDev != nParentDev && m_mapDevices.count(id.nDev))
        return eRule == WALK_TARGET && IsStorageDevice(id.nDev);
    return it == m_mapMounts.end() || IsWalkableDriveType(it->second);
}

void CScanner::Walk(const std::string& strPattern, EWalkRule eRule, uint64_t nDev) {
    size_t nSlash = strPattern.rfind('/');
    if (nSlash == std::string::npos)
        return;
    const std::string strMask = strPattern.substr(nSlash + 1);

    // An explicit stack: a chain of folders as deep as paths allow must not
    // exhaust the thread's stack. Each level holds its listing, not a handle,
    // so depth costs no descriptors either.
    struct SFrame {
        std::string strFolder;
        CFileId folderId;  // as the parent's listing named it; unset for the target
        uint64_t nDev = 0;  // its file system, 0 when not known
        CDirListing listing;
        size_t nNext = 0;
    };
    std::vector<SFrame> arStack(1);
    arStack[0].strFolder = strPattern.substr(0, nSlash);
    arStack[0].nDev = nDev;
    if (!m_env.pLister->ListFolder(arStack[0].strFolder, false, arStack[0].listing))
        NotScanned(arStack[0].strFolder.empty() ? "/" : arStack[0].strFolder, SKIP_FOLDER_UNREADABLE);

    std::string strPath;
    while (!arStack.empty()) {
        SFrame& frame = arStack.back();
        if (frame.nNext >= frame.listing.GetCount()) {
            arStack.pop_back();
            continue;
        }
        m_env.pView->Drain();
        if (m_bStop)
            return;

        size_t i = frame.nNext++;
        std::string_view strName = frame.listing.GetName(i);
        EEntryKind eKind = frame.listing.GetKind(i);
        if (strName.empty() || (strName[0] == '.' && !m_req.bHidden) || eKind == ENTRY_LINK)
            continue;
        if (eKind == ENTRY_FOLDER && !m_req.bSubfolders)
            continue;

        strPath.assign(frame.strFolder);
        strPath += '/';
        strPath += strName;
        if (strPath.size() >= PATH_MAX) {
            NotScanned(strPath, SKIP_PATH_TOO_LONG);
            continue;
        }

        if (eKind == ENTRY_FOLDER) {
            if (strPath.size() + 1 + strMask.size() >= PATH_MAX) {
                NotScanned(strPath, SKIP_PATH_TOO_LONG);
                continue;
            }
            if (!EntersFolder(strPath, eRule, frame.nDev, frame.listing.GetId(i)))
                continue;
            SFrame child;
            child.strFolder = strPath;
            child.folderId = frame.listing.GetId(i);
            child.nDev = child.folderId.IsSet() ? child.folderId.nDev : frame.nDev;
            if (!m_env.pLister->ListFolder(child.strFolder, false, child.listing,
                                           child.folderId.IsSet() ? &child.folderId : nullptr))
                NotScanned(child.strFolder, SKIP_FOLDER_UNREADABLE);
            arStack.push_back(std::move(child));  // frame is invalid from here
            continue;
        }
        MeetFile(strPath, strName, eKind, frame.listing.GetId(i), frame.folderId);
    }
}

void CScanner::MeetFile(const std::string& strPath, std::string_view strName, EEntryKind eKind, CFileId id,
                        const CFileId& folderId, bool bTarget) {
    m_env.pView->SetLabel(LABEL_CURRENT_FILE, strPath);
    ++m_nScanned;
    m_env.pView->SetLabel(LABEL_SCANNED, std::to_string(m_nScanned));
    m_bOfficeFile = false;
    // FIFOs, sockets and devices are shown and counted but never opened:
    // opening one could block the walk for good. One the user named is said.
    if (eKind != ENTRY_FILE) {
        if (bTarget)
            NotScanned(strPath, SKIP_NOT_REGULAR);
        return;
    }
    if (!FilterFile(strPath)) {
        if (bTarget)
            NotScanned(strPath, SKIP_NOT_LISTED);
        return;
    }
    // The engine is handed the file the walk met, or one saved in its place
    // in the same folder; never one reached through a folder that was
    // swapped for a link since, and never a link.
    if (id.IsSet() && !IsSameFile(strPath, id)) {
        CFileId now;
        if (!m_pAccess->GetFileId(strPath, &now) ||
            (folderId.IsSet() && !m_pAccess->IsSameFolder(strPath.substr(0, strPath.rfind('/')), folderId))) {
            Diagnose("changed since its folder was listed (a link, or another folder on the way); not scanned",
                     strPath);
            return;
        }
        id = now;
    }
    auto pHold = std::make_unique<CModeHold>(m_pAccess);
    if (!CheckFileAccess(false, strPath, pHold.get())) {
        NotScanned(strPath, SKIP_UNREADABLE);
        return;
    }
    // Found clean before and not changed since: counted, not read again.
    if (m_bVerdicts && m_env.pVerdicts->IsKnownClean(strPath, id)) {
        ++m_nUnchanged;
        return;
    }
    if (m_pWorkers) {
        auto pJob = std::make_unique<SFileJob>();
        pJob->nSerial = ++m_nJobSerial;
        pJob->strPath = strPath;
        pJob->strName = strName;
        pJob->id = id;
        pJob->bOfficeFile = m_bOfficeFile;
        pJob->pHold = std::move(pHold);
        // At most one file per worker in flight; meanwhile finished ones
        // are shown in the walk's order.
        ApplyFinished();
        // An engine that answers faster than a thread wakes gains nothing
        // from workers: the file is done here, once those in flight are in
        // (else one early slow stretch would keep the scan on the workers).
        // Not for an engine that pipelines: its answers come quick because
        // the files were handed over ahead.
        if (m_pWorkers->GetAverageJobNs() < INLINE_JOB_NS && m_env.pWorkers->GetWorker(0)->GetPipelineDepth() <= 1) {
            FinishWorkers();
            IFarsendEngine* pEngine = m_env.pWorkers->GetWorker(0);
            pEngine->SetWait(m_env.pWait);
            const auto tStart = std::chrono::steady_clock::now();
            WorkOnFile(*pJob, pEngine);
            m_pWorkers->RecordJobTime(std::chrono::steady_clock::now() - tStart);
            pEngine->SetWait(nullptr);
            Settle(std::move(pJob));
            return;
        }
        while (!m_pWorkers->HasFreeWorker()) {
            WaitForWorkers();
            ApplyFinished();
        }
        m_pWorkers->Submit(std::move(pJob));
        return;
    }
    BeginFileFaults(strPath);
    SFileWork work;
    work.pEngine = m_env.pEngine;
    work.pRows = m_env.pResults;
    work.nInfected = m_nInfected;
    work.bLabels = true;
    work.bOfficeFile = m_bOfficeFile;
    work.pHold = pHold.get();
    if (IsScannableFormat(m_env.pEngine->GetFileFormat(strPath)))
        ScanFile(work, strPath, strName, id);
    if (m_bVerdicts && work.bScanned && work.nInfected == m_nInfected && work.strScanNote.empty())
        m_env.pVerdicts->RememberClean(work.scanned);
    m_nInfected = work.nInfected;
    if (!work.strScanNote.empty())
        NotScanned(strPath, SKIP_ENGINE_PARTIAL, work.strScanNote);
    m_env.pView->RowsSettled(m_nInfected);
}

void CScanner::WorkOnFile(SFileJob& job, IFarsendEngine* pEngine) {
    for (int nTry = 0;; ++nTry) {
        const unsigned nFaults = pEngine->GetFaultCount();
        const unsigned nLost = pEngine->GetLostCount();
        SFileWork work;
        work.pEngine = pEngine;
        work.pRows = &job.rows;
        work.bOfficeFile = job.bOfficeFile;
        work.pHold = job.pHold.get();
        work.pJob = &job;
        if (IsScannableFormat(pEngine->GetFileFormat(job.strPath)))
            ScanFile(work, job.strPath, job.strName, job.id);
        job.strScanNote = std::move(work.strScanNote);
        const unsigned nNewFaults = pEngine->GetFaultCount() - nFaults;
        if (nNewFaults == 0) {
            job.bScannedClean = work.bScanned && job.rows.GetCount() == 0 && job.strScanNote.empty();
            job.scanned = work.scanned;
            break;
        }
        // Calls lost only to another process's death (the host the engine
        // was copied from) say nothing of the file: it is scanned once more,
        // on a fresh copy, unless its repair had begun.
        if (nTry == 0 && !work.bRepairBegun && pEngine->GetLostCount() - nLost == nNewFaults) {
            job.rows = CResultRows();
            continue;
        }
        job.bFaulted = true;
        job.strFaultReason = pEngine->TakeFaultReason();
        break;
    }
    // The engine is done with the file: its mode goes back now.
    job.pHold.reset();
}

void CScanner::ApplyFinished() {
    while (std::unique_ptr<SFileJob> pJob = m_pWorkers->TakeDoneHead())
        Settle(std::move(pJob));
    FinishWaiting(true);
}

void CScanner::Settle(std::unique_ptr<SFileJob> pJob) {
    if (m_arWaiting.empty() && !pJob->pPending) {
        ApplyJob(*pJob);
        return;
    }
    if (m_arWaiting.empty())
        m_tWaitingSince = std::chrono::steady_clock::now();
    if (pJob->pPending)
        ++m_nWaitingQuarantines;
    m_arWaiting.push_back(std::move(pJob));
    FinishWaiting(true);
}

void CScanner::FinishWaiting(bool bDue) {
    if (m_arWaiting.empty())
        return;
    if (bDue && m_nWaitingQuarantines < MAX_WAITING_QUARANTINES &&
        std::chrono::steady_clock::now() - m_tWaitingSince < std::chrono::milliseconds(MAX_WAITING_MS))
        return;
    std::vector<IPendingQuarantine*> arPending;
    for (const auto& pJob : m_arWaiting)
        if (pJob->pPending)
            arPending.push_back(pJob->pPending.get());
    std::vector<EQuarantined> arResults(arPending.size(), QUARANTINE_NO_COPY);
    if (m_env.pBackup)
        m_env.pBackup->FinishQuarantines(arPending.data(), arPending.size(), arResults.data());
    size_t nNext = 0;
    for (auto& pJob : m_arWaiting) {
        if (pJob->pPending) {
            pJob->rows.SetState(static_cast<int>(pJob->nPendingRow), QuarantineState(arResults[nNext++]));
            pJob->pPending.reset();
            pJob->pFileHold.reset();
        }
        ApplyJob(*pJob);
    }
    m_arWaiting.clear();
    m_nWaitingQuarantines = 0;
}

void CScanner::ApplyJob(const SFileJob& job) {
    if (job.bScannedClean && m_bVerdicts)
        m_env.pVerdicts->RememberClean(job.scanned);
    for (size_t i = 0; i < job.rows.GetCount(); ++i) {
        const CResultRow& row = job.rows.GetRow(i);
        ++m_nInfected;
        m_env.pView->SetLabel(LABEL_INFECTED, std::to_string(m_nInfected));
        m_env.pResults->AddResultRow(m_nInfected, row.strPath, row.strVirus, row.eState);
    }
    if (job.bFaulted) {
        if (!job.strFaultReason.empty() && m_setFaultReasons.insert(job.strFaultReason).second)
            m_env.pView->EngineFailed(job.strFaultReason);
        NotScanned(job.strPath, SKIP_ENGINE_FAULT);
    }
    if (!job.strScanNote.empty())
        NotScanned(job.strPath, SKIP_ENGINE_PARTIAL, job.strScanNote);
    m_env.pView->RowsSettled(m_nInfected);
}

void CScanner::WaitForWorkers() {
    m_pWorkers->WaitForChange(WAIT_SLICE_MS);
    // The window is served meanwhile; whoever serves it may give the calls
    // in flight up, as a hang is given up.
    uint64_t nSerial = 0;
    int64_t nElapsedMs = 0;
    if (m_env.pWait && m_pWorkers->GetOldestRunning(&nSerial, &nElapsedMs)) {
        if (!m_env.pWait->WhileWaiting(nSerial, nElapsedMs))
            m_pWorkers->AbandonAll();
    } else {
        m_env.pView->Drain();
    }
}

void CScanner::FinishWorkers() {
    if (!m_pWorkers)
        return;
    while (!m_pWorkers->IsEmpty()) {
        ApplyFinished();
        if (!m_pWorkers->IsEmpty())
            WaitForWorkers();
    }
}

void CScanner::NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail) {
    ++m_nNotScanned;
    m_env.pView->NotScanned(strPath, eReason, strDetail);
}

void CScanner::BeginFileFaults(const std::string& strPath) {
    EndFileFaults();
    m_strFaultFile = strPath;
    m_nFaultsAtFile = m_env.pEngine->GetFaultCount();
}

void CScanner::EndFileFaults() {
    // Asked when the engine is next needed (it waits for the file's last
    // close then anyway), so a clean file costs no extra wait.
    if (m_strFaultFile.empty())
        return;
    if (m_env.pEngine->GetFaultCount() != m_nFaultsAtFile) {
        const std::string strReason = m_env.pEngine->TakeFaultReason();
        if (!strReason.empty() && m_setFaultReasons.insert(strReason).second)
            m_env.pView->EngineFailed(strReason);
        NotScanned(m_strFaultFile, SKIP_ENGINE_FAULT);
    }
    m_strFaultFile.clear();
}

bool CScanner::IsSameFile(const std::string& strPath, const CFileId& id) {
    CFileId now;
    return m_pAccess->GetFileId(strPath, &now) && (!id.IsSet() || now == id);
}

bool CScanner::FilterFile(const std::string& strPath) {
    if (IsAlwaysBackup(strPath))
        m_bOfficeFile = true;
    if (m_req.bAllFiles)
        return true;
    char szExt[3];
    return GetExtension(strPath, szExt) && ExtensionInList(szExt, g_szScanExtensions);
}

bool CScanner::CheckFileAccess(bool bWrite, const std::string& strPath, CModeHold* pHold) {
    IFileAccess* pAccess = m_pAccess;
    if (pAccess->Access(strPath, bWrite))
        return true;
    // One retry with the owner's read and write bits added, the counterpart
    // of clearing a read-only mark. The exact mode goes back at once when
    // the retry fails, else when the hold ends.
    uint32_t nMode = 0;
    if (!pAccess->GetMode(strPath, &nMode))
        return false;
    bool bChanged = pAccess->SetMode(strPath, nMode | 0600);
    bool bOk = pAccess->Access(strPath, bWrite);
    if (bChanged) {
        if (bOk && pHold)
            pHold->Keep(strPath, nMode);
        else
            pAccess->SetMode(strPath, nMode);
    }
    return bOk;
}

void CScanner::ScanFile(SFileWork& work, const std::string& strPath, std::string_view strName, CFileId id) {
    const int nBefore = work.nInfected;
    ScanFindings(work, strPath, strName, id);
    // What is still infected once the repair had its try goes into the Bin,
    // when the user asked for that. A repairable finding left alone because
    // automatic repair is off had no try.
    if (!m_req.bQuarantine || work.nInfected == nBefore)
        return;
    const int nRow = work.nInfected - 1;
    const EResultState eState = work.pRows->GetState(nRow);
    if (!IsStillInfected(eState) || (eState == STATE_REPAIRABLE && !m_req.bAutoRepair))
        return;
    work.bRepairBegun = true;
    if (!work.pTreatment)
        work.pTreatment =
            std::make_unique<CFileTreatment>(*this, work.pEngine, strPath, strName, id,
                                             m_req.bBackup || work.bOfficeFile, work.pHold, work.nFileFaults);
    if (!work.pJob) {
        work.pRows->SetState(nRow, work.pTreatment->Quarantine(work.pRows->GetVirusName(nRow)));
        return;
    }
    // The file stays held, and its row as it is, until the copy is synced
    // with others' and the file removed.
    std::unique_ptr<IPendingQuarantine> pPending;
    const EResultState eEnded = work.pTreatment->BeginQuarantine(work.pRows->GetVirusName(nRow), &pPending);
    if (!pPending) {
        work.pRows->SetState(nRow, eEnded);
        return;
    }
    work.pJob->pFileHold = work.pTreatment->TakeHold();
    work.pJob->pPending = std::move(pPending);
    work.pJob->nPendingRow = static_cast<size_t>(nRow);
}

void CScanner::ScanFindings(SFileWork& work, const std::string& strPath, std::string_view strName, CFileId id) {
    IFarsendEngine* pEngine = work.pEngine;
    work.nFileFaults = pEngine->GetFaultCount();
    uint32_t hProbe = pEngine->ProbeInto(strPath);
    // No row is made up for a file read only in part, but it is not called
    // clean either.
    if (hProbe == 0) {
        work.strScanNote = pEngine->TakeScanNote();
        work.bScanned = pEngine->TakeScannedFile(&work.scanned);
    }
    // A finding the user allowed for this very content: counted as scanned,
    // no row. Only the first probe's: a further infection met after a
    // cleaning is another matter.
    if (hProbe != 0 && m_env.pAllow) {
        const std::string strVirus = pEngine->GetVirusName(hProbe);
        if (m_env.pAllow->IsAllowed(strPath, id, strVirus)) {
            pEngine->CloseProbe(hProbe);
            char szWhat[512];
            snprintf(szWhat, sizeof szWhat, LoadText(IDS_ALLOW_ALLOWED), EscapeField(strVirus).c_str());
            Diagnose(szWhat, strPath);
            return;
        }
    }
    for (int nPass = 0; hProbe != 0; ++nPass) {
        int16_t nCode = pEngine->GetVirusReport(hProbe);
        ++work.nInfected;
        if (work.bLabels)
            m_env.pView->SetLabel(LABEL_INFECTED, std::to_string(work.nInfected));
        work.pRows->AddResultRow(work.nInfected, strPath, pEngine->GetVirusName(hProbe), StateFromReport(nCode));

        nCode = pEngine->GetVirusReport(hProbe);
        if (nCode != STATE_REPAIRABLE || !m_req.bAutoRepair || nPass >= MAX_REPAIR_PASSES) {
            pEngine->CloseProbe(hProbe);
            return;
        }
        uint32_t hNext = 0;
        if (!AutoRepair(work, hProbe, strPath, strName, &id, &hNext))
            return;
        hProbe = hNext;
    }
}

bool CScanner::AutoRepair(SFileWork& work, uint32_t hProbe, const std::string& strPath, std::string_view strName,
                          CFileId* pId, uint32_t* phProbe) {
    IResultList* pRows = work.pRows;
    const int nRow = work.nInfected - 1;
    work.bRepairBegun = true;
    if (!work.pTreatment)
        work.pTreatment =
            std::make_unique<CFileTreatment>(*this, work.pEngine, strPath, strName, *pId,
                                             m_req.bBackup || work.bOfficeFile, work.pHold, work.nFileFaults);
    EResultState eState = STATE_REPAIRABLE;
    switch (work.pTreatment->CleanOnce(hProbe, phProbe, &eState)) {
    case CLEANED_REPAIRED:
        pRows->SetState(nRow, STATE_REPAIRED);
        return false;
    case CLEANED_FURTHER:
        pRows->SetVirusName(nRow, work.pEngine->GetVirusName(*phProbe));
        pRows->SetState(nRow, STATE_OVERLAPPED);
        return true;
    case CLEANED_STATE:
        pRows->SetState(nRow, eState);
        return false;
    case CLEANED_ENDED:
        break;
    }
    return false;
}

EQuarantined CScanner::QuarantineFile(const std::string& strFolder, const std::string& strName, const CFileId& id,
                                      const std::string& strVirus, uint32_t nMode,
                                      std::unique_ptr<IPendingQuarantine>* ppPending) {
    uint32_t nStart = 0;
    {
        std::lock_guard<std::mutex> lock(*m_pBackupLock);
        if (!m_env.pBackup) {
            ++m_req.nLastBackupNo;
            return QUARANTINE_NO_COPY;
        }
        nStart = m_req.nLastBackupNo;
    }
    CQuarantineRecord record;
    record.strVirus = strVirus;
    record.strEngine = m_strEngineVer;
    // The copy and its sync run beside the other workers'; the store claims
    // each number under its folder's lock, after the highest on the disk.
    uint32_t nNumber = nStart;
    const EQuarantined eResult =
        m_env.pBackup->QuarantineFile(&nNumber, strFolder, strName, id, record, nMode, ppPending);
    std::lock_guard<std::mutex> lock(*m_pBackupLock);
    if (m_req.nLastBackupNo == nStart || nNumber > m_req.nLastBackupNo)
        m_req.nLastBackupNo = nNumber;
    return eResult;
}

bool CScanner::BackupFile(const std::string& strFolder, const std::string& strName, CFileId* pId) {
    // Workers back files up one at a time: the numbers are the scan's.
    std::lock_guard<std::mutex> lock(*m_pBackupLock);
    if (!m_env.pBackup) {
        ++m_req.nLastBackupNo;
        return false;
    }
    return m_env.pBackup->WriteBackup(&m_req.nLastBackupNo, strFolder, strName, pId);
}
