// What happens to a finding: the one place where a file is held, backed up,
// tested for access, checked to be the file that was met, cleaned and probed
// again. The scan's automatic road, the Repair pass and the double-click all
// come here; they differ only in what they do with the answer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/FarsendEngine.h"
#include "repair/RepairInterfaces.h"
#include "scan/ModeHold.h"
#include "scan/ScanInterfaces.h"
#include "scan/ScanTypes.h"

// What a treatment needs of the scan it serves: its access test, its
// backups (numbered as the scan numbers them) and its file checks.
class ITreatmentServices {
public:
    virtual ~ITreatmentServices() = default;
    virtual IFileAccess* GetTreatmentAccess() = 0;
    // The access test with its one retry; added bits stay in pHold.
    virtual bool CheckFileAccess(bool bWrite, const std::string& strPath, CModeHold* pHold) = 0;
    // Takes the next backup number; false when no backup was written.
    virtual bool BackupFile(const std::string& strFolder, const std::string& strName, CFileId* pId) = 0;
    virtual bool IsSameFile(const std::string& strPath, const CFileId& id) = 0;
    // Moves the file into the Bin with a record of the finding; nMode: the
    // mode to give back (UINT32_MAX: the file's own).
    // ppPending: see IBackupWriter::QuarantineFile.
    virtual EQuarantined QuarantineFile(const std::string& strFolder, const std::string& strName, const CFileId& id,
                                        const std::string& strVirus, uint32_t nMode,
                                        std::unique_ptr<IPendingQuarantine>* ppPending = nullptr) = 0;
};

// The state a row takes for how its quarantine ended.
EResultState QuarantineState(EQuarantined eResult);

// A file whose extension always has it backed up before a cleaning, whatever
// the backup option says. The whole path is looked at: a '.' in a folder
// name counts when the file name has none.
bool IsAlwaysBackup(const std::string& strPath);

// How one cleaning ended.
enum ECleaned {
    CLEANED_REPAIRED,  // cleaned, and the probe after it finds the file clean
    CLEANED_FURTHER,   // cleaned, and the probe after it finds another infection
    CLEANED_STATE,     // the row takes the state given (the file was not cleaned)
    CLEANED_ENDED,     // nothing more is known; the row stays as it is
};

class CFileTreatment {
public:
    // strName: the file name to back up under; id: the file that was met
    // (unset: the one held); bBackup: a backup before every cleaning;
    // nFaults: the engine's fault count when the file's handling began.
    CFileTreatment(ITreatmentServices& services, IFarsendEngine* pEngine, const std::string& strPath,
                   std::string_view strName, const CFileId& id, bool bBackup, CModeHold* pModeHold, unsigned nFaults);

    // Holds the file against every other Quillet program and thread until
    // the treatment ends; false when it cannot be held. A cleaning takes the
    // hold itself when it was not taken before.
    bool Hold();

    // One cleaning of the finding hProbe: the hold, a backup, the access
    // test, the check that the path still holds the file, the engine's
    // cleaning and the probe after it. hProbe is closed unless the engine
    // failed inside the cleaning. CLEANED_FURTHER leaves the new finding in
    // *phNext; CLEANED_STATE leaves the row's state in *peState.
    ECleaned CleanOnce(uint32_t hProbe, uint32_t* phNext, EResultState* peState);

    // Moves the file into the Backup Bin: the state its row takes, which is
    // STATE_QUARANTINE_DONE only when the file is gone and its copy is in.
    EResultState Quarantine(const std::string& strVirus);
    // The same, left half done: with *ppPending set the copy is named and
    // the rest is the caller's (IBackupWriter::FinishQuarantines), while it
    // keeps the hold (TakeHold); otherwise the state the row takes.
    EResultState BeginQuarantine(const std::string& strVirus, std::unique_ptr<IPendingQuarantine>* ppPending);
    std::unique_ptr<IFileHold> TakeHold() { return std::move(m_pFileHold); }

private:
    ECleaned Refuse(uint32_t hProbe, EResultState eState, EResultState* peState);

    ITreatmentServices& m_services;
    IFarsendEngine* m_pEngine;
    std::string m_strPath;
    std::string m_strName;
    CFileId m_id;
    bool m_bBackup;
    CModeHold* m_pModeHold;
    unsigned m_nFaults;
    std::unique_ptr<IFileHold> m_pFileHold;
};
