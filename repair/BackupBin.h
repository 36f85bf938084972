// What the Backup Bin shows and does, without a window: its rows (kept as
// bytes, never read back from the list), their ticks, the numbering, the
// restore and empty passes and which buttons they leave enabled.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/FileId.h"
#include "controls/ListText.h"
#include "repair/BackupFormat.h"

class IAllowList;

// A backup file as the bin lists it.
struct CBackupBinItem {
    std::string strFileName;  // the backup file's name in the work folder
    CBackupInfo info;         // where it came from
    int64_t nTime = 0;        // when it was taken (the file's modification time, seconds)
    // The file the name held when listed: restore and delete act on that
    // file only, never on another that took its name since.
    CFileId id;
    // Put there by a quarantine, and by which finding; else a repair's backup.
    bool bQuarantined = false;
    std::string strVirus;
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
    RESTORE_GONE,          // the backup listed is no longer under its name: restored or deleted elsewhere
    RESTORE_NAME_TAKEN,    // a quarantined file's name holds something else now: nothing replaced
};
// A short reason in words, for the command line and the log.
const char* GetRestoreResultText(ERestoreResult eResult);

enum EDeleteResult {
    DELETE_OK = 0,
    DELETE_GONE,    // the backup listed is no longer under its name; nothing was deleted
    DELETE_FAILED,  // it is there and stays
};

// The backup store as the bin uses it. Restore and delete take the
// identity the listing gave (an unset one: whatever backup the name holds)
// and act on that very file alone.
class IBackupBinStore {
public:
    virtual ~IBackupBinStore() = default;
    // Every backup file in the work folder, in the order to show them.
    virtual std::vector<CBackupBinItem> ListBackups() const = 0;
    // RESTORE_OK only when the content is back and the backup file is gone.
    virtual ERestoreResult RestoreBackup(const std::string& strFileName, const CFileId& id) = 0;
    virtual EDeleteResult DeleteBackup(const std::string& strFileName, const CFileId& id) = 0;
    // Removes what writers that are gone left half-written in the folder.
    virtual void RemoveLeftovers() = 0;
    // Whether the folder may have changed since the last call: cheap, for a
    // window that asks on a timer. The first call starts watching.
    virtual bool TakeChange() = 0;
    // Ends the watch.
    virtual void StopWatch() = 0;
};

struct CBackupBinRow {
    CBackupBinItem item;
    bool bChecked = false;
    int nListed = 0;  // its place in the store's own order
};

// The columns: number, source name, when it was taken, source folder,
// backup or quarantine, the quarantined finding, backup file (hidden).
enum EBackupBinColumn {
    BIN_COL_NUM = 0,
    BIN_COL_NAME,
    BIN_COL_DATE,
    BIN_COL_FOLDER,
    BIN_COL_KIND,
    BIN_COL_VIRUS,
    BIN_COL_FILE,
    BIN_COL_COUNT
};

// A backup's time as the Bin and quillet-bin show it: local time,
// "YYYY-MM-DD HH:MM:SS" ("-" when it cannot be told).
std::string FormatBackupTime(int64_t nTime);

struct CRestoreOutcome {
    // Indices of the rows removed, each as it was at its removal, in order:
    // a list that deletes them one after another ends up like the bin.
    std::vector<int> arRemoved;
    int nFailed = 0;  // ticked rows whose restore failed; they stay, ticked
    int nGone = 0;    // ticked rows whose backup was gone (RESTORE_GONE); they go
    // Each ticked row not restored here: the backup file's name and why.
    std::vector<std::pair<std::string, ERestoreResult>> arFailures;
    // Restored but not allowed (RestoreChecked(true)): the file's path and why.
    std::vector<std::pair<std::string, std::string>> arNotAllowed;
};

struct CDeleteOutcome {
    std::vector<int> arRemoved;  // as CRestoreOutcome::arRemoved
    int nFailed = 0;             // could not be deleted; they stay
    int nGone = 0;               // gone, or their name holds another file now; the rows go
    // Each row not deleted here: the backup file's name and why.
    std::vector<std::pair<std::string, EDeleteResult>> arFailures;
};

struct CEmptyOutcome {
    int nDeleted = 0;
    int nFailed = 0;  // backups that could not be deleted; they stay listed
    int nGone = 0;    // listed backups already gone, or whose name holds another file now
};

class CBackupBin {
public:
    // pAllow: where "restore and allow" puts a finding; none: nothing is allowed.
    explicit CBackupBin(IBackupBinStore& store, IAllowList* pAllow = nullptr);
    ~CBackupBin();
    CBackupBin(const CBackupBin&) = delete;
    CBackupBin& operator=(const CBackupBin&) = delete;

    // Refills the rows from the store, none ticked; returns their number.
    // Changes of the store from here on are noticed by StoreChanged.
    int Load();
    // Whether the store may have changed since the rows were read.
    bool StoreChanged() { return m_store.TakeChange(); }
    // Reads the rows again; a row whose backup is still the same file keeps
    // its tick. False when the rows came back as they were.
    bool Reload();

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
    // A click on any other header: the rows sorted by that column, then
    // reversed, then back in the store's order; the order holds across
    // reloads. False when nCol is no such column.
    bool SortByColumn(int nCol);
    const CListSort& GetSort() const { return m_sort; }

    // Restores every ticked row from the top; a row goes when its restore
    // succeeded or its backup was gone. bAllow: each file a quarantine put
    // there is allowed with its finding once back; a repair's backup has no
    // finding and is only restored.
    CRestoreOutcome RestoreChecked(bool bAllow = false);
    // What a menu acts on: the ticked rows, else the row it was opened on.
    std::vector<int> GetActionRows(int nMenuRow) const;
    // Deletes these rows' backups for good, each only while it is still the
    // file listed; a row goes when its backup went or was gone.
    CDeleteOutcome DeleteRows(const std::vector<int>& arRows);
    // Every one of these rows came from a quarantine and can be allowed.
    bool CanAllow(const std::vector<int>& arRows) const;
    // Deletes the backups of the rows, as listed: one written since, or a
    // name that now holds another file, is left alone. Then reads the
    // store again.
    CEmptyOutcome Empty();

    // Restore and Empty need rows; Exit is always there when no pass runs.
    bool CanRestore() const { return !m_arRows.empty(); }
    bool CanEmpty() const { return !m_arRows.empty(); }

private:
    bool IsRow(int nRow) const { return nRow >= 0 && static_cast<size_t>(nRow) < m_arRows.size(); }
    void ApplySort();

    IBackupBinStore& m_store;
    IAllowList* m_pAllow;
    std::vector<CBackupBinRow> m_arRows;
    bool m_bTickAllNext = false;  // what the next click on header 0 does
    CListSort m_sort;
};
