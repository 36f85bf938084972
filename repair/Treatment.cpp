#include "repair/Treatment.h"

#include "base/PathParts.h"
#include "repair/BackupFormat.h"

bool IsAlwaysBackup(const std::string& strPath) {
    char szExt[3];
    return GetExtension(strPath, szExt) && ExtensionInList(szExt, g_szAlwaysBackupExtensions);
}

CFileTreatment::CFileTreatment(ITreatmentServices& services, IFarsendEngine* pEngine, const std::string& strPath,
                               std::string_view strName, const CFileId& id, bool bBackup, CModeHold* pModeHold,
                               unsigned nFaults)
    : m_services(services),
      m_pEngine(pEngine),
      m_strPath(strPath),
      m_strName(strName),
      m_id(id),
      m_bBackup(bBackup),
      m_pModeHold(pModeHold),
      m_nFaults(nFaults) {}

bool CFileTreatment::Hold() {
    if (m_pFileHold)
        return true;
    // One cleaner at a time in every Quillet program: another's cut shifts
    // the bytes a finding points at. The engine checks them under the hold.
    m_pFileHold = m_services.GetTreatmentAccess()->HoldFile(m_strPath, m_id);
    if (!m_pFileHold)
        return false;
    m_id = m_pFileHold->GetId();
    return true;
}

ECleaned CFileTreatment::Refuse(uint32_t hProbe, EResultState eState, EResultState* peState) {
    m_pEngine->CloseProbe(hProbe);
    *peState = eState;
    return CLEANED_STATE;
}

ECleaned CFileTreatment::CleanOnce(uint32_t hProbe, uint32_t* phNext, EResultState* peState) {
    if (!Hold())
        return Refuse(hProbe, STATE_FAIL_TO_REPAIR, peState);
    // No cleaning without its backup: the user was promised a copy.
    if (m_bBackup) {
        std::string strFolder, strFileName;
        SplitPath(m_strPath, &strFolder, &strFileName);
        if (!m_services.BackupFile(strFolder, m_strName, &m_id))
            return Refuse(hProbe, STATE_FAIL_TO_REPAIR, peState);
    }
    if (!m_services.CheckFileAccess(true, m_strPath, m_pModeHold))
        return Refuse(hProbe, STATE_ACCESS_DENIED, peState);
    // Only the file that was held and backed up is cleaned: a link planted
    // in its place since is not followed.
    if (!m_services.IsSameFile(m_strPath, m_id))
        return Refuse(hProbe, STATE_FAIL_TO_REPAIR, peState);
    int16_t nOutcome = 0;
    // A fault inside the cleaning call ends the file's handling: the handle
    // is not used again and the row keeps its state.
    if (!m_pEngine->RecoverFile(hProbe, &nOutcome))
        return CLEANED_ENDED;
    m_pEngine->CloseProbe(hProbe);
    if (nOutcome == REPAIR_FAILED || nOutcome == REPAIR_ENCRYPTED) {
        *peState = nOutcome == REPAIR_FAILED ? STATE_FAIL_TO_REPAIR : STATE_AFTER_DECRYPTION;
        return CLEANED_STATE;
    }
    if (nOutcome != REPAIR_CLEANED)
        return CLEANED_ENDED;
    // A fault anywhere on this file so far (its closes included) ends its
    // handling: a hang is paid once, not once a pass.
    if (m_pEngine->GetFaultCount() != m_nFaults)
        return CLEANED_ENDED;
    bool bFaulted = false;
    const uint32_t hNext = m_pEngine->ProbeInto(m_strPath, &bFaulted);
    // Nothing is known after a fault: the row is not called repaired.
    if (bFaulted)
        return CLEANED_ENDED;
    if (hNext == 0)
        return CLEANED_REPAIRED;
    *phNext = hNext;
    return CLEANED_FURTHER;
}

EResultState QuarantineState(EQuarantined eResult) {
    switch (eResult) {
    case QUARANTINE_OK:
        return STATE_QUARANTINE_DONE;
    case QUARANTINE_CHANGED:
        return STATE_QUARANTINE_CHANGED;
    case QUARANTINE_READ_ONLY:
        return STATE_QUARANTINE_READ_ONLY;
    case QUARANTINE_NO_COPY:
        break;
    }
    return STATE_QUARANTINE_NO_COPY;
}

EResultState CFileTreatment::Quarantine(const std::string& strVirus) {
    return BeginQuarantine(strVirus, nullptr);
}

EResultState CFileTreatment::BeginQuarantine(const std::string& strVirus,
                                             std::unique_ptr<IPendingQuarantine>* ppPending) {
    // A file still in its place that cannot be held cannot be read to be
    // copied either.
    if (!Hold())
        return m_services.IsSameFile(m_strPath, m_id) ? STATE_QUARANTINE_NO_COPY : STATE_QUARANTINE_CHANGED;
    std::string strFolder, strFileName;
    SplitPath(m_strPath, &strFolder, &strFileName);
    uint32_t nMode = UINT32_MAX;
    if (m_pModeHold)
        m_pModeHold->GetKeptMode(&nMode);
    return QuarantineState(m_services.QuarantineFile(strFolder, m_strName, m_id, strVirus, nMode, ppPending));
}
