// What the Backup Bin shows and does, without a window: its rows (kept as
// bytes, never read back from the list), their ticks, the numbering, the
// restore and empty passes and which buttons they leave enabled.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "repair/BackupFormat.h"

// A backup file as the bin lists it.
struct CBackupBinItem {
    std::string strFileName;  // the backup file's name in the work folder
    CBackupInfo info;         // where it came from
    int64_t nTime = 0;        // when it was taken (the file's modification time, seconds)
};

// What became of one restore. Only RESTORE_OK removes the backup.
enum ERestoreResult {
    RESTORE_OK = 0,
    RESTORE_NOT_A_BACKUP,  // gone, or not a backup file of ours
    RESTORE_BAD_FOLDER,    // not absolute, a level is a link, or it cannot be made or opened
    RESTORE_NOT_A_FILE,    // something other than a regular file is in the way
    RESTORE_NOT_WRITABLE,  // the file in the way is one its user could not write
    RESTORE_OWNER,         // the file in the way has an owner, group or ACL that could not be kept
    RESTORE_WRITE_FAILED,  // disk full, a read or write error: nothing was replaced
};
// A short reason in words, for the command line and the log.
const char* GetRestoreResultText(ERestoreResult eResult);

// The backup store as the bin uses it.
class IBackupBinStore {
public:
    virtual ~IBackupBinStore() = default;
    // Every backup file in the work folder, in the order to show them.
    virtual std::vector<CBackupBinItem> ListBackups() const = 0;
    // RESTORE_OK only when the content is back and the backup file is gone.
    virtual ERestoreResult RestoreBackup(const std::string& strFileName) = 0;
    virtual bool DeleteBackup(const std::string& strFileName) = 0;
    // Removes what writers that are gone left half-written in the folder.
    virtual void RemoveLeftovers() = 0;
};

struct CBackupBinRow {
    CBackupBinItem item;
    bool bChecked = false;
};

// The columns: number, source name, source folder, backup file (hidden).
enum EBackupBinColumn { BIN_COL_NUM = 0, BIN_COL_NAME, BIN_COL_FOLDER, BIN_COL_FILE, BIN_COL_COUNT };

struct CRestoreOutcome {
    // Indices of the rows removed, each as it was at its removal, in order:
    // a list that deletes them one after another ends up like the bin.
    std::vector<int> arRemoved;
    int nFailed = 0;  // ticked rows whose restore failed; they stay, ticked
    // Each failure: the backup file's name and why.
    std::vector<std::pair<std::string, ERestoreResult>> arFailures;
};

struct CEmptyOutcome {
    int nDeleted = 0;
    int nFailed = 0;  // backups that could not be deleted; they stay listed
};

class CBackupBin {
public:
    explicit CBackupBin(IBackupBinStore& store);

    // Refills the rows from the store, none ticked; returns their number.
    int Load();

    int GetCount() const { return static_cast<int>(m_arRows.size()); }
    const CBackupBinRow& GetRow(int nRow) const { return m_arRows[static_cast<size_t>(nRow)]; }
    // A cell's text as bytes: the number is the row's position from 1, so
    // removing a row renumbers every row after it.
    std::string GetCellText(int nRow, int nCol) const;
    // The count label.
    std::string GetCountText() const { return std::to_string(GetCount()); }

    bool IsChecked(int nRow) const;
    void SetCheck(int nRow, bool bChecked);
    void ToggleCheck(int nRow);
    bool HasChecked() const;

    // A click on a column header: only column 0 counts, and only with rows.
    // The first such click clears every tick, the next ticks all, and so
    // on. True when the ticks were set.
    bool OnColumnClick(int nCol);

    // Restores every ticked row from the top; a row goes only when its
    // restore succeeded.
    CRestoreOutcome RestoreChecked();
    // Deletes every backup in the store, listed or not, then shows what is
    // left (only what could not be deleted).
    CEmptyOutcome Empty();

    // Restore and Empty need rows; Exit is always there when no pass runs.
    bool CanRestore() const { return !m_arRows.empty(); }
    bool CanEmpty() const { return !m_arRows.empty(); }

private:
    bool IsRow(int nRow) const { return nRow >= 0 && static_cast<size_t>(nRow) < m_arRows.size(); }

    IBackupBinStore& m_store;
    std::vector<CBackupBinRow> m_arRows;
    bool m_bTickAllNext = false;  // what the next click on header 0 does
};
