#include "repair/BackupBin.h"

#include "res/Strings.h"
#include "scan/Diagnostics.h"

const char* GetRestoreResultText(ERestoreResult eResult) {
    if (eResult < RESTORE_OK || eResult > RESTORE_NAME_TAKEN)
        eResult = RESTORE_WRITE_FAILED;
    return LoadText(static_cast<EStringId>(IDS_RESTORE_OK + eResult));
}

CBackupBin::CBackupBin(IBackupBinStore& store) : m_store(store) {}

CBackupBin::~CBackupBin() {
    m_store.StopWatch();
}

int CBackupBin::Load() {
    // Changes made during the listing are seen by the next StoreChanged.
    m_store.TakeChange();
    m_arRows.clear();
    for (CBackupBinItem& item : m_store.ListBackups())
        m_arRows.push_back(CBackupBinRow{std::move(item), false});
    return GetCount();
}

bool CBackupBin::Reload() {
    std::vector<CBackupBinRow> arOld = std::move(m_arRows);
    Load();
    bool bSame = arOld.size() == m_arRows.size();
    for (size_t i = 0; i < m_arRows.size(); ++i) {
        CBackupBinRow& row = m_arRows[i];
        for (const CBackupBinRow& old : arOld)
            if (old.item.strFileName == row.item.strFileName && old.item.id == row.item.id) {
                row.bChecked = old.bChecked;
                break;
            }
        if (bSame && (arOld[i].item.strFileName != row.item.strFileName || !(arOld[i].item.id == row.item.id)))
            bSame = false;
    }
    return !bSame;
}

std::string CBackupBin::GetCellText(int nRow, int nCol) const {
    if (!IsRow(nRow))
        return std::string();
    const CBackupBinItem& item = m_arRows[static_cast<size_t>(nRow)].item;
    switch (nCol) {
    case BIN_COL_NUM:
        return std::to_string(nRow + 1);
    case BIN_COL_NAME:
        return item.info.strName;
    case BIN_COL_FOLDER:
        // The header keeps "" for the root; show it as the root.
        return item.info.strFolder.empty() ? std::string("/") : item.info.strFolder;
    case BIN_COL_FILE:
        return item.strFileName;
    default:
        return std::string();
    }
}

bool CBackupBin::IsChecked(int nRow) const {
    return IsRow(nRow) && m_arRows[static_cast<size_t>(nRow)].bChecked;
}

void CBackupBin::SetCheck(int nRow, bool bChecked) {
    if (IsRow(nRow))
        m_arRows[static_cast<size_t>(nRow)].bChecked = bChecked;
}

void CBackupBin::ToggleCheck(int nRow) {
    SetCheck(nRow, !IsChecked(nRow));
}

bool CBackupBin::HasChecked() const {
    for (const CBackupBinRow& row : m_arRows)
        if (row.bChecked)
            return true;
    return false;
}

bool CBackupBin::OnColumnClick(int nCol) {
    if (nCol != BIN_COL_NUM || m_arRows.empty())
        return false;
    for (CBackupBinRow& row : m_arRows)
        row.bChecked = m_bTickAllNext;
    m_bTickAllNext = !m_bTickAllNext;
    return true;
}

CRestoreOutcome CBackupBin::RestoreChecked() {
    CRestoreOutcome outcome;
    // The row count is asked again after every removal; the row that moves
    // up into a freed place is examined next.
    for (size_t i = 0; i < m_arRows.size();) {
        if (!m_arRows[i].bChecked) {
            ++i;
            continue;
        }
        const CBackupBinItem& item = m_arRows[i].item;
        const ERestoreResult eResult = m_store.RestoreBackup(item.strFileName, item.id);
        if (eResult == RESTORE_GONE) {
            // Not in the store any more: the row goes, though nothing was
            // restored here.
            ++outcome.nGone;
            outcome.arFailures.emplace_back(item.strFileName, eResult);
            Diagnose(std::string("not restored (") + GetRestoreResultText(eResult) + ")",
                     JoinPath(item.info.strFolder, item.info.strName));
        } else if (eResult != RESTORE_OK) {
            // Its backup is still in the store: keep the row, ticked.
            ++outcome.nFailed;
            outcome.arFailures.emplace_back(m_arRows[i].item.strFileName, eResult);
            Diagnose(std::string("restore failed (") + GetRestoreResultText(eResult) + ")",
                     JoinPath(item.info.strFolder, item.info.strName));
            ++i;
            continue;
        }
        m_arRows.erase(m_arRows.begin() + static_cast<std::ptrdiff_t>(i));
        outcome.arRemoved.push_back(static_cast<int>(i));
    }
    return outcome;
}

CEmptyOutcome CBackupBin::Empty() {
    CEmptyOutcome outcome;
    m_store.RemoveLeftovers();
    // Only what the user was shown: a backup taken since stays.
    for (const CBackupBinRow& row : m_arRows) {
        switch (m_store.DeleteBackup(row.item.strFileName, row.item.id)) {
        case DELETE_OK:
            ++outcome.nDeleted;
            break;
        case DELETE_GONE:
            ++outcome.nGone;
            Diagnose("backup gone or replaced since it was listed; left alone", row.item.strFileName);
            break;
        case DELETE_FAILED:
            ++outcome.nFailed;
            Diagnose("backup could not be deleted", row.item.strFileName);
            break;
        }
    }
    // Rows of backups that are still there stay in sight.
    Load();
    return outcome;
}
