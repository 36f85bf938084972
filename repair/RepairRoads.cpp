#include "repair/RepairRoads.h"

#include "repair/BackupFormat.h"

const char* const g_szRepairCaption = "DovErad";
const char* const g_szRepairSelectItem = "Please select item.";
const char* const g_szRepairSubmitAddress = "samples@kestrum.example";

namespace {

// The notice kinds in the order the roads test a Status.
struct SNoticeKind {
    int nState;
    const char* pszText;
};

std::string SubmitText(const char* pszLead) {
    return std::string(pszLead) + "\nPlease submit this file to Kestrum(" + g_szRepairSubmitAddress + ").";
}

const std::string* NoticeTexts() {
    static const std::string arTexts[] = {
        "This file is unrepairable.",
        SubmitText("You are infected New Virus!!"),
        SubmitText("It is suspected as a virus."),
        "This file is encrypted.\nRepair the virus after decryption.",
        "Repair is done.",
        "Repair the virus after decompression.",
    };
    return arTexts;
}

const int g_arNoticeStates[] = {STATE_UNREPAIRABLE,     STATE_NEW_VIRUS, STATE_SUSPECTED,
                                STATE_AFTER_DECRYPTION, STATE_REPAIRED,  STATE_AFTER_DECOMPRESSION};
constexpr int NOTICE_KINDS = 6;

// The index of a Status among the notice kinds, -1 for none.
int NoticeKind(const std::string& strStatus) {
    for (int i = 0; i < NOTICE_KINDS; ++i)
        if (strStatus == GetStateText(g_arNoticeStates[i]))
            return i;
    return -1;
}

// The always-backup test over the whole path, a '.' in a folder name included.
bool IsAlwaysBackup(const std::string& strPath) {
    char szExt[3];
    return GetExtension(strPath, szExt) && ExtensionInList(szExt, g_szAlwaysBackupExtensions);
}

class CBusy {
public:
    explicit CBusy(bool& bBusy) : m_bBusy(bBusy) { m_bBusy = true; }
    ~CBusy() { m_bBusy = false; }

private:
    bool& m_bBusy;
};

}  // namespace

std::string GetRepairNotice(const std::string& strStatus) {
    int nKind = NoticeKind(strStatus);
    return nKind < 0 ? std::string() : NoticeTexts()[nKind];
}

std::string GetRepairQuestion() {
    return "Do you want to repair it in safety?";
}

CRepairRoads::CRepairRoads(CScanner& scanner, IRepairView& view) : m_scanner(scanner), m_view(view) {}

void CRepairRoads::OnRepair() {
    if (m_bBusy)
        return;
    CBusy busy(m_bBusy);
    IResultList* pRows = m_scanner.GetResults();
    int nTicked = 0;
    for (int i = 0; i < pRows->GetItemCount(); ++i)
        nTicked += pRows->GetCheck(i) ? 1 : 0;
    if (nTicked == 0) {
        m_view.ShowMessage(g_szRepairSelectItem, g_szRepairCaption, ICON_EXCLAMATION);
        return;
    }
    m_view.OpenProgress();
    m_view.SetProgressPos(0);
    m_view.SetProgressRange(nTicked > 0xFFFF ? 0xFFFF : nTicked);

    bool arSuppressed[NOTICE_KINDS] = {};
    int nProcessed = 0;
    for (int nRow = 0; nRow < pRows->GetItemCount(); ++nRow) {
        if (!pRows->GetCheck(nRow))
            continue;
        const std::string strPath = pRows->GetItemText(nRow, RESULT_COL_PATH);
        const std::string strStatus = pRows->GetItemText(nRow, RESULT_COL_STATUS);
        int nKind = NoticeKind(strStatus);
        if (nKind >= 0 && !arSuppressed[nKind]) {
            bool bDontShow = false;
            if (m_view.ShowNotice(strPath + "\n" + NoticeTexts()[nKind], &bDontShow))
                arSuppressed[nKind] = bDontShow;
            if (g_arNoticeStates[nKind] == STATE_REPAIRED)
                pRows->SetCheck(nRow, false);
        }
        m_view.SetProgressText("Repairing  : " + strPath);
        if (IsScannableFormat(m_scanner.GetEngine()->GetFileFormat(strPath)))
            RepairFile(nRow, strPath);
        m_view.Drain();
        m_view.SetProgressPos(++nProcessed);
    }
    m_view.CloseProgress();
}

void CRepairRoads::OnDblclkResultList() {
    if (m_bBusy)
        return;
    CBusy busy(m_bBusy);
    IResultList* pRows = m_scanner.GetResults();
    int nRow = pRows->GetFirstSelected();
    if (nRow < 0)
        return;
    const std::string strPath = pRows->GetItemText(nRow, RESULT_COL_PATH);
    const std::string strStatus = pRows->GetItemText(nRow, RESULT_COL_STATUS);
    if (strStatus == GetStateText(STATE_REPAIRABLE)) {
        if (m_view.AskYesNo(strPath + "\n" + GetRepairQuestion(), g_szRepairCaption) &&
            IsScannableFormat(m_scanner.GetEngine()->GetFileFormat(strPath)))
            RepairFile(nRow, strPath);
        return;
    }
    std::string strNotice = GetRepairNotice(strStatus);
    if (!strNotice.empty())
        m_view.ShowMessage(strPath + "\n" + strNotice, g_szRepairCaption, ICON_EXCLAMATION);
}

void CRepairRoads::RepairFile(int nRow, const std::string& strPath) {
    IFarsendEngine* pEngine = m_scanner.GetEngine();
    IResultList* pRows = m_scanner.GetResults();
    const bool bAlwaysBackup = IsAlwaysBackup(strPath);
    bool bRepaired = false;
    CFileId id;  // the file the first backup read; later ones must read it too

    for (int nPass = 0; nPass <= MAX_REPAIR_PASSES; ++nPass) {
        bool bFaulted = false;
        uint32_t hProbe = pEngine->ProbeInto(strPath, &bFaulted);
        // A probe the engine failed in says nothing about the file.
        if (bFaulted)
            return;
        if (hProbe == 0) {
            if (bRepaired) {
                pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_REPAIRED));
                pRows->SetCheck(nRow, false);
            }
            return;
        }
        if (bRepaired) {
            pRows->SetItemText(nRow, RESULT_COL_VIRUS, pEngine->GetVirusName(hProbe));
            pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_OVERLAPPED));
        }
        if (pEngine->GetVirusReport(hProbe) != STATE_REPAIRABLE || nPass == MAX_REPAIR_PASSES) {
            pEngine->CloseProbe(hProbe);
            return;
        }
        // No cleaning without its backup, and only of the file backed up:
        // a link planted in the row's place since the scan is not followed.
        if (m_scanner.GetRequest().bBackup || bAlwaysBackup) {
            std::string strFolder, strName;
            SplitPath(strPath, &strFolder, &strName);
            if (!m_scanner.BackupFile(strFolder, strName, &id)) {
                pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_FAIL_TO_REPAIR));
                pEngine->CloseProbe(hProbe);
                return;
            }
        }
        if (!m_scanner.CheckFileAccess(true, strPath)) {
            pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_ACCESS_DENIED));
            pEngine->CloseProbe(hProbe);
            return;
        }
        if (!m_scanner.IsSameFile(strPath, id)) {
            pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_FAIL_TO_REPAIR));
            pEngine->CloseProbe(hProbe);
            return;
        }
        int16_t nOutcome = 0;
        if (!pEngine->RecoverFile(hProbe, &nOutcome))
            return;
        pEngine->CloseProbe(hProbe);
        if (nOutcome == REPAIR_CLEANED) {
            bRepaired = true;
            continue;
        }
        if (nOutcome == REPAIR_FAILED)
            pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_FAIL_TO_REPAIR));
        else if (nOutcome == REPAIR_ENCRYPTED)
            pRows->SetItemText(nRow, RESULT_COL_STATUS, GetStateText(STATE_AFTER_DECRYPTION));
        return;
    }
}
