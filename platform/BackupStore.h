// The backup store on disk: one private folder of numbered backup files.
// Nothing here follows a symbolic link, writes outside the folder, or leaves
// a partial file behind: copies go to a temporary name and are renamed into
// place only when complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "repair/BackupFormat.h"
#include "repair/RepairInterfaces.h"

// base/Palisar, base = $TMPDIR when set, else $XDG_STATE_HOME, else
// ~/.local/state.
std::string GetWorkDirPath();

// Creates the work folder (mode 0700, and the missing folders above it) and
// returns the highest number among the names in it; 0 when none or when the
// folder cannot be read.
uint32_t PrepareWorkDir(std::string* pstrWorkDir);

struct CBackupEntry {
    std::string strFileName;  // inside the work folder
    CBackupInfo info;
    uint64_t nContentSize = 0;
};

class CBackupStore : public IBackupWriter {
public:
    explicit CBackupStore(std::string strWorkDir);

    // The folder is a real directory of ours that no one else may write.
    bool IsUsable() const;

    bool WriteBackup(uint32_t nNumber, const std::string& strFolder, const std::string& strName) override;
    // Backup files in name order; anything else in the folder is left out.
    std::vector<CBackupEntry> List() const;
    // Writes the content back to where it came from, then deletes the
    // backup; false with both left as they were on any failure.
    bool Restore(const std::string& strFileName) const;
    // Deletes a backup file; anything that is not one is left alone.
    bool Delete(const std::string& strFileName) const;

    const std::string& GetWorkDir() const { return m_strWorkDir; }

private:
    int OpenWorkDir() const;

    std::string m_strWorkDir;
};
