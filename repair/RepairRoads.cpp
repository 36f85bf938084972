#include "repair/RepairRoads.h"

#include "base/PathParts.h"
#include "repair/BackupFormat.h"
#include "res/Strings.h"

#include <cstdio>

namespace {

// The notice kinds in the order the roads test a state.
struct SNoticeKind {
    EResultState eState;
    EStringId eText;
};
constexpr SNoticeKind g_arNoticeKinds[] = {
    {STATE_UNREPAIRABLE, IDS_NOTICE_UNREPAIRABLE},
    {STATE_NEW_VIRUS, IDS_NOTICE_NEW_VIRUS},
    {STATE_SUSPECTED, IDS_NOTICE_SUSPECTED},
    {STATE_AFTER_DECRYPTION, IDS_NOTICE_ENCRYPTED},
    {STATE_REPAIRED, IDS_NOTICE_REPAIRED},
    {STATE_AFTER_DECOMPRESSION, IDS_NOTICE_DECOMPRESSION},
};
constexpr int NOTICE_KINDS = sizeof g_arNoticeKinds / sizeof g_arNoticeKinds[0];

// The index of a state among the notice kinds, -1 for none.
int NoticeKind(EResultState eState) {
    for (int i = 0; i < NOTICE_KINDS; ++i)
        if (eState == g_arNoticeKinds[i].eState)
            return i;
    return -1;
}

class CBusy {
public:
    explicit CBusy(bool& bBusy) : m_bBusy(bBusy) { m_bBusy = true; }
    ~CBusy() { m_bBusy = false; }

private:
    bool& m_bBusy;
};

std::string FormatCount(EStringId eId, int nCount) {
    char szText[256];
    std::snprintf(szText, sizeof szText, LoadText(eId), nCount);
    return szText;
}

}  // namespace

std::string GetRepairNotice(EResultState eState) {
    int nKind = NoticeKind(eState);
    return nKind < 0 ? std::string() : LoadText(g_arNoticeKinds[nKind].eText);
}

CRepairRoads::CRepairRoads(CScanner& scanner, IRepairView& view) : m_scanner(scanner), m_view(view) {}

void CRepairRoads::OnRepair() {
    if (m_bBusy)
        return;
    IResultList* pRows = m_scanner.GetResults();
    std::vector<int> arTicked;
    for (int i = 0; i < pRows->GetItemCount(); ++i)
        if (pRows->GetCheck(i))
            arTicked.push_back(i);
    if (arTicked.empty()) {
        m_view.ShowMessage(LoadText(IDS_REPAIR_SELECT_ITEM), LoadText(IDS_REPAIR_CAPTION), ICON_EXCLAMATION);
        return;
    }
    RepairRows(arTicked);
}

void CRepairRoads::RepairRows(const std::vector<int>& arRows) {
    if (m_bBusy || arRows.empty())
        return;
    CBusy busy(m_bBusy);
    IResultList* pRows = m_scanner.GetResults();
    const int nCount = static_cast<int>(arRows.size());
    m_view.OpenProgress();
    m_view.SetProgressPos(0);
    m_view.SetProgressRange(nCount > 0xFFFF ? 0xFFFF : nCount);

    bool arSuppressed[NOTICE_KINDS] = {};
    int nProcessed = 0;
    for (int nRow : arRows) {
        if (nRow < 0 || nRow >= pRows->GetItemCount())
            continue;
        const std::string strPath = pRows->GetPath(nRow);
        int nKind = NoticeKind(pRows->GetState(nRow));
        if (nKind >= 0 && !arSuppressed[nKind]) {
            bool bDontShow = false;
            if (m_view.ShowNotice(strPath + "\n" + LoadText(g_arNoticeKinds[nKind].eText), &bDontShow))
                arSuppressed[nKind] = bDontShow;
            if (g_arNoticeKinds[nKind].eState == STATE_REPAIRED)
                pRows->SetCheck(nRow, false);
        }
        m_view.SetProgressText(LoadText(IDS_REPAIR_PROGRESS) + strPath);
        if (IsScannableFormat(m_scanner.GetEngine()->GetFileFormat(strPath)))
            RepairFile(nRow, strPath);
        m_view.Drain();
        m_view.SetProgressPos(++nProcessed);
    }
    m_view.CloseProgress();
    // What the pass could not repair may still go into the Bin, once asked.
    std::vector<int> arLeft;
    for (int nRow : arRows)
        if (CanQuarantine(nRow) && pRows->GetState(nRow) != STATE_REPAIRABLE)
            arLeft.push_back(nRow);
    if (arLeft.empty() || !m_scanner.CanQuarantine())
        return;
    const std::string strAsk = arLeft.size() == 1
                                   ? pRows->GetPath(arLeft[0]) + "\n" + LoadText(IDS_REPAIR_OFFER_QUARANTINE_ONE)
                                   : FormatCount(IDS_REPAIR_OFFER_QUARANTINE_MANY, static_cast<int>(arLeft.size()));
    if (m_view.AskYesNo(strAsk, LoadText(IDS_REPAIR_CAPTION)))
        MoveRowsToBin(arLeft);
}

bool CRepairRoads::CanQuarantine(int nRow) const {
    IResultList* pRows = m_scanner.GetResults();
    return nRow >= 0 && nRow < pRows->GetItemCount() && IsStillInfected(pRows->GetState(nRow));
}

std::vector<int> CRepairRoads::GetUnrepairableRows() const {
    IResultList* pRows = m_scanner.GetResults();
    std::vector<int> arRows;
    for (int nRow = 0; nRow < pRows->GetItemCount(); ++nRow)
        if (CanQuarantine(nRow) && pRows->GetState(nRow) != STATE_REPAIRABLE)
            arRows.push_back(nRow);
    return arRows;
}

int CRepairRoads::QuarantineRows(const std::vector<int>& arRows) {
    if (m_bBusy)
        return 0;
    CBusy busy(m_bBusy);
    return MoveRowsToBin(arRows);
}

int CRepairRoads::MoveRowsToBin(const std::vector<int>& arRows) {
    IResultList* pRows = m_scanner.GetResults();
    int nMoved = 0;
    for (int nRow : arRows) {
        // A row of a file an earlier row already moved is not offered again.
        if (!CanQuarantine(nRow))
            continue;
        const std::string strPath = pRows->GetPath(nRow);
        std::string strFolder, strName;
        SplitPath(strPath, &strFolder, &strName);
        // Its own unreadable file is read with the owner's bits added, and
        // given back its mode when it is restored.
        CModeHold hold(m_scanner.GetAccess());
        m_scanner.CheckFileAccess(false, strPath, &hold);
        CFileTreatment treatment(m_scanner, m_scanner.GetEngine(), strPath, strName, CFileId(), true, &hold,
                                 m_scanner.GetEngine()->GetFaultCount());
        const EResultState eState = treatment.Quarantine(pRows->GetVirusName(nRow));
        if (eState == STATE_QUARANTINE_DONE) {
            ++nMoved;
            // The file is gone: so is every finding of it.
            for (int i = 0; i < pRows->GetItemCount(); ++i)
                if (i != nRow && pRows->GetPath(i) == strPath && CanQuarantine(i))
                    pRows->SetState(i, eState);
        }
        pRows->SetState(nRow, eState);
        m_view.Drain();
    }
    return nMoved;
}

bool CRepairRoads::CanAllow(int nRow) const {
    return m_scanner.GetAllowList() && CanQuarantine(nRow);
}

int CRepairRoads::AllowRows(const std::vector<int>& arRows) {
    if (m_bBusy)
        return 0;
    CBusy busy(m_bBusy);
    IResultList* pRows = m_scanner.GetResults();
    int nAllowed = 0;
    for (int nRow : arRows) {
        if (!CanAllow(nRow))
            continue;
        const std::string strPath = pRows->GetPath(nRow);
        const std::string strVirus = pRows->GetVirusName(nRow);
        std::string strWhy;
        if (!m_scanner.GetAllowList()->Allow(strPath, CFileId(), strVirus, &strWhy)) {
            m_view.ShowMessage(strPath + "\n" + LoadText(IDS_ALLOW_FAILED) + " " + strWhy,
                               LoadText(IDS_PRODUCT_CAPTION), ICON_EXCLAMATION);
            continue;
        }
        ++nAllowed;
        // The same finding in the same file is allowed with it.
        for (int i = 0; i < pRows->GetItemCount(); ++i)
            if (pRows->GetPath(i) == strPath && pRows->GetVirusName(i) == strVirus && CanAllow(i))
                pRows->SetState(i, STATE_ALLOWED);
        m_view.Drain();
    }
    return nAllowed;
}

void CRepairRoads::OnDblclkResultList() {
    if (m_bBusy)
        return;
    CBusy busy(m_bBusy);
    IResultList* pRows = m_scanner.GetResults();
    int nRow = pRows->GetFirstSelected();
    if (nRow < 0)
        return;
    const std::string strPath = pRows->GetPath(nRow);
    const EResultState eState = pRows->GetState(nRow);
    if (eState == STATE_REPAIRABLE) {
        if (m_view.AskYesNo(strPath + "\n" + LoadText(IDS_REPAIR_QUESTION), LoadText(IDS_REPAIR_CAPTION)) &&
            IsScannableFormat(m_scanner.GetEngine()->GetFileFormat(strPath)))
            RepairFile(nRow, strPath);
        return;
    }
    std::string strNotice = GetRepairNotice(eState);
    if (!strNotice.empty())
        m_view.ShowMessage(strPath + "\n" + strNotice, LoadText(IDS_REPAIR_CAPTION), ICON_EXCLAMATION);
}

void CRepairRoads::RepairFile(int nRow, const std::string& strPath) {
    IFarsendEngine* pEngine = m_scanner.GetEngine();
    IResultList* pRows = m_scanner.GetResults();
    std::string strFolder, strName;
    SplitPath(strPath, &strFolder, &strName);
    // Bits the access test adds stay while the engine cleans the file.
    CModeHold hold(m_scanner.GetAccess());
    CFileTreatment treatment(m_scanner, pEngine, strPath, strName, CFileId(),
                             m_scanner.GetRequest().bBackup || IsAlwaysBackup(strPath), &hold, pEngine->GetFaultCount());
    // Held from before the first probe, so no other Quillet program cleans
    // the file between a finding and its cut; without it nothing is cleaned.
    const bool bHeld = treatment.Hold();

    bool bFaulted = false;
    uint32_t hProbe = pEngine->ProbeInto(strPath, &bFaulted);
    // A probe the engine failed in says nothing about the file.
    if (bFaulted || hProbe == 0)
        return;
    for (int nPass = 0;; ++nPass) {
        if (pEngine->GetVirusReport(hProbe) != STATE_REPAIRABLE || nPass == MAX_REPAIR_PASSES) {
            pEngine->CloseProbe(hProbe);
            return;
        }
        if (!bHeld) {
            pEngine->CloseProbe(hProbe);
            pRows->SetState(nRow, STATE_FAIL_TO_REPAIR);
            return;
        }
        EResultState eState = STATE_REPAIRABLE;
        switch (treatment.CleanOnce(hProbe, &hProbe, &eState)) {
        case CLEANED_REPAIRED:
            pRows->SetState(nRow, STATE_REPAIRED);
            pRows->SetCheck(nRow, false);
            return;
        case CLEANED_FURTHER:
            pRows->SetVirusName(nRow, pEngine->GetVirusName(hProbe));
            pRows->SetState(nRow, STATE_OVERLAPPED);
            continue;
        case CLEANED_STATE:
            pRows->SetState(nRow, eState);
            return;
        case CLEANED_ENDED:
            return;
        }
    }
}
