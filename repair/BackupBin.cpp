#include "repair/BackupBin.h"

#include <algorithm>
#include <ctime>

#include "base/Diagnostics.h"
#include "base/PathParts.h"
#include "res/Strings.h"
#include "scan/AllowList.h"
#include "tree/NameOrder.h"

const char* GetRestoreResultText(ERestoreResult eResult) {
    if (eResult < RESTORE_OK || eResult > RESTORE_NAME_TAKEN)
        eResult = RESTORE_WRITE_FAILED;
    return LoadText(static_cast<EStringId>(IDS_RESTORE_OK + eResult));
}

CBackupBin::CBackupBin(IBackupBinStore& store, IAllowList* pAllow) : m_store(store), m_pAllow(pAllow) {}

CBackupBin::~CBackupBin() {
    m_store.StopWatch();
}

int CBackupBin::Load() {
    // Changes made during the listing are seen by the next StoreChanged.
    m_store.TakeChange();
    m_arRows.clear();
    for (CBackupBinItem& item : m_store.ListBackups())
        m_arRows.push_back(CBackupBinRow{std::move(item), false, GetCount()});
    ApplySort();
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
    case BIN_COL_DATE:
        return FormatBackupTime(item.nTime);
    case BIN_COL_KIND:
        return LoadText(item.bQuarantined ? IDS_KIND_QUARANTINE : IDS_KIND_BACKUP);
    case BIN_COL_VIRUS:
        return item.bQuarantined ? item.strVirus : std::string();
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

bool CBackupBin::SortByColumn(int nCol) {
    if (nCol <= BIN_COL_NUM || nCol >= BIN_COL_FILE)
        return false;
    m_sort.Click(nCol);
    ApplySort();
    return true;
}

void CBackupBin::ApplySort() {
    const int nCol = m_sort.IsSorted() ? m_sort.GetColumn() : BIN_COL_NUM;
    auto Compare = [&](const CBackupBinRow& a, const CBackupBinRow& b) {
        switch (nCol) {
        case BIN_COL_NAME:
            if (int n = CompareNames(a.item.info.strName, b.item.info.strName))
                return n;
            return CompareNames(a.item.info.strFolder, b.item.info.strFolder);
        case BIN_COL_FOLDER:
            if (int n = CompareNames(a.item.info.strFolder, b.item.info.strFolder))
                return n;
            return CompareNames(a.item.info.strName, b.item.info.strName);
        case BIN_COL_DATE:
            return a.item.nTime < b.item.nTime ? -1 : a.item.nTime > b.item.nTime ? 1 : 0;
        case BIN_COL_KIND:
            return static_cast<int>(a.item.bQuarantined) - static_cast<int>(b.item.bQuarantined);
        case BIN_COL_VIRUS:
            return CompareNames(a.item.bQuarantined ? a.item.strVirus : std::string(),
                                b.item.bQuarantined ? b.item.strVirus : std::string());
        default:
            return 0;
        }
    };
    const bool bDescending = m_sort.IsSorted() && m_sort.IsDescending();
    // Ties, and the unsorted list, keep the store's order.
    std::sort(m_arRows.begin(), m_arRows.end(), [&](const CBackupBinRow& a, const CBackupBinRow& b) {
        const int n = Compare(a, b);
        if (n != 0)
            return bDescending ? n > 0 : n < 0;
        return a.nListed < b.nListed;
    });
}

std::string FormatBackupTime(int64_t nTime) {
    const time_t t = static_cast<time_t>(nTime);
    struct tm tmLocal;
    char sz[32];
    if (!localtime_r(&t, &tmLocal) || strftime(sz, sizeof sz, "%Y-%m-%d %H:%M:%S", &tmLocal) == 0)
        return "-";
    return sz;
}

CRestoreOutcome CBackupBin::RestoreChecked(bool bAllow) {
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
        } else if (bAllow) {
            // The file is back under its own name: its content is what the
            // finding was about.
            const std::string strPath = JoinPath(item.info.strFolder, item.info.strName);
            std::string strWhy;
            bool bAllowed = false;
            if (!item.bQuarantined)
                strWhy = LoadText(IDS_BIN_ALLOW_NOT_QUARANTINED);
            else if (!m_pAllow)
                strWhy = LoadText(IDS_ALLOW_NO_HOME);
            else
                bAllowed = m_pAllow->Allow(strPath, CFileId(), item.strVirus, &strWhy);
            if (!bAllowed) {
                Diagnose("restored, not allowed (" + strWhy + ")", strPath);
                outcome.arNotAllowed.emplace_back(strPath, strWhy);
            }
        }
        m_arRows.erase(m_arRows.begin() + static_cast<std::ptrdiff_t>(i));
        outcome.arRemoved.push_back(static_cast<int>(i));
    }
    return outcome;
}

std::vector<int> CBackupBin::GetActionRows(int nMenuRow) const {
    std::vector<int> arRows;
    for (int i = 0; i < GetCount(); ++i)
        if (IsChecked(i))
            arRows.push_back(i);
    if (arRows.empty() && IsRow(nMenuRow))
        arRows.push_back(nMenuRow);
    return arRows;
}

bool CBackupBin::CanAllow(const std::vector<int>& arRows) const {
    if (!m_pAllow || arRows.empty())
        return false;
    for (int nRow : arRows)
        if (!IsRow(nRow) || !GetRow(nRow).item.bQuarantined)
            return false;
    return true;
}

CDeleteOutcome CBackupBin::DeleteRows(const std::vector<int>& arRows) {
    CDeleteOutcome outcome;
    std::vector<int> arSorted(arRows);
    std::sort(arSorted.begin(), arSorted.end());
    arSorted.erase(std::unique(arSorted.begin(), arSorted.end()), arSorted.end());
    // From the top, so each removal's index is the row's place at that moment.
    int nRemoved = 0;
    for (int nListed : arSorted) {
        const int nRow = nListed - nRemoved;
        if (!IsRow(nRow))
            continue;
        const CBackupBinItem& item = m_arRows[static_cast<size_t>(nRow)].item;
        const EDeleteResult eResult = m_store.DeleteBackup(item.strFileName, item.id);
        if (eResult == DELETE_FAILED) {
            ++outcome.nFailed;
            outcome.arFailures.emplace_back(item.strFileName, eResult);
            Diagnose("backup could not be deleted", item.strFileName);
            continue;
        }
        if (eResult == DELETE_GONE) {
            ++outcome.nGone;
            outcome.arFailures.emplace_back(item.strFileName, eResult);
            Diagnose("backup gone or replaced since it was listed; left alone", item.strFileName);
        }
        m_arRows.erase(m_arRows.begin() + nRow);
        outcome.arRemoved.push_back(nRow);
        ++nRemoved;
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
