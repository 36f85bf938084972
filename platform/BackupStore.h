// The backup store on disk: one private folder of numbered backup files.
// Nothing here follows a symbolic link, writes outside the folder, replaces
// a backup or leaves a half-written file under a backup's name: copies are
// written unnamed (or under a locked temporary name) and linked into place
// under a number no file in the folder holds, only when complete.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "repair/BackupBin.h"
#include "repair/BackupFormat.h"
#include "repair/RepairInterfaces.h"

// base/Palisar, base = $TMPDIR when set, else $XDG_STATE_HOME, else
// ~/.local/state.
std::string GetWorkDirPath();

// Creates the work folder (mode 0700, and the missing folders above it),
// removes what dead writers left in it, and returns the highest number
// among the names in it; 0 when none or when the folder cannot be read.
uint32_t PrepareWorkDir(std::string* pstrWorkDir);

struct CBackupEntry {
    std::string strFileName;  // inside the work folder
    CBackupInfo info;
    uint64_t nContentSize = 0;
    int64_t nTime = 0;  // modification time of the backup file
    CFileId id;         // the backup file itself
};

class CClaimWatch;

class CBackupStore : public IBackupWriter, public IBackupBinStore {
public:
    explicit CBackupStore(std::string strWorkDir);
    ~CBackupStore() override;
    CBackupStore(const CBackupStore&) = delete;
    CBackupStore& operator=(const CBackupStore&) = delete;

    // The folder is a real directory of ours that no one else may write.
    bool IsUsable() const;

    bool WriteBackup(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                     CFileId* pId) override;
    // Backup files in name order; anything else in the folder is left out.
    std::vector<CBackupEntry> List() const;
    // Writes the content back to where it came from, then deletes the
    // backup; anything but RESTORE_OK leaves both as they were. id: the
    // file the name held when listed (unset: whatever backup it holds).
    // Restores and deletions of one backup take turns, so one of two done
    // at once finds it gone (RESTORE_GONE).
    ERestoreResult Restore(const std::string& strFileName, const CFileId& id = CFileId()) const;
    // Deletes a backup file; anything that is not one is left alone.
    EDeleteResult Delete(const std::string& strFileName, const CFileId& id = CFileId()) const;
    // Removes temporary files whose writer is gone.
    void RemoveLeftovers() override;

    // The bin's view of the same store.
    std::vector<CBackupBinItem> ListBackups() const override;
    ERestoreResult RestoreBackup(const std::string& strFileName, const CFileId& id) override {
        return Restore(strFileName, id);
    }
    EDeleteResult DeleteBackup(const std::string& strFileName, const CFileId& id) override {
        return Delete(strFileName, id);
    }
    // inotify on the folder; where none can be had, its inode and times.
    bool TakeChange() override;
    void StopWatch() override;

    const std::string& GetWorkDir() const { return m_strWorkDir; }

    // Tests change the disk at an exact moment of a write: called with
    // "source" once the source is open and checked, "claim" just before the
    // finished copy takes its name; in a restore, "restore" once the backup
    // is open and checked (before it is held), "replace" just before the
    // finished copy takes the file's name.
    std::function<void(const char* pszStage)> m_fnTestHook;

    // Quarantine: an ordinary backup and its record beside it, both on the
    // disk, and only then the file removed through its folder, while that
    // still holds the very file copied, unchanged. Whatever fails leaves the
    // file in place and takes the copy back: at every moment the file or its
    // copy is there. nMode: the mode to give back (the file's own when it
    // is UINT32_MAX).
    EQuarantined QuarantineFile(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                                const CFileId& id, const CQuarantineRecord& record, uint32_t nMode,
                                std::unique_ptr<IPendingQuarantine>* ppPending = nullptr) override;
    void FinishQuarantines(IPendingQuarantine* const* arPending, size_t nCount, EQuarantined* arResults) override;
    // The record beside a backup; false for a plain backup.
    bool ReadQuarantineRecord(const std::string& strFileName, CQuarantineRecord* pRecord) const;

private:
    int OpenWorkDir() const;
    struct SCopied {
        std::string strFileName;  // the backup's name
        int nDirFd = -1;          // the work folder, the caller's to close
        int nCopyFd = -1;         // the copy, open, the caller's to close
        struct stat stSource {};  // the file copied, as it was
        std::string strAcl;       // its access ACL; "" for none
        // Called with the finished copy before it takes its name.
        std::function<bool(int nFd)> fnBeforeName;
    };
    // A backup's copy; with pCopied, described and left open (not synced).
    bool WriteCopy(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName, CFileId* pId,
                   SCopied* pCopied);

    std::string m_strWorkDir;
    int m_nWatchFd = -1;  // the inotify instance, while watching
    int m_nWatch = -1;    // its watch of the folder, while the folder is there
    std::string m_strStamp;  // without inotify: the folder's identity and times as last seen
    // The highest number on disk, kept between claims.
    std::unique_ptr<CClaimWatch> m_pClaims;
};
