// Restore: the backup's content back where it came from.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/BackupStore.h"
#include "platform/BackupStoreIo.h"

ERestoreResult CBackupStore::Restore(const std::string& strFileName) const {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return RESTORE_NOT_A_BACKUP;
    CBackupInfo info;
    uint64_t nContent = 0;
    CFd backup(OpenBackup(dir.Get(), strFileName, &info, &nContent));
    if (!backup.IsOpen() || !IsPlainName(info.strName))
        return RESTORE_NOT_A_BACKUP;
    // Only absolute folders, as the writer records them ("" is the root).
    if (!info.strFolder.empty() && info.strFolder[0] != '/')
        return RESTORE_BAD_FOLDER;

    // The last level of the folder comes back if it was removed; a folder
    // that is now a link is not written through.
    const std::string strFolder = info.strFolder.empty() ? "/" : info.strFolder;
    mkdir(strFolder.c_str(), 0777);
    CFd target(open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!target.IsOpen())
        return RESTORE_BAD_FOLDER;

    // A file in the way keeps its permissions; a new one gets the usual ones.
    mode_t nMode = 0666;
    struct stat st;
    if (fstatat(target.Get(), info.strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(st.st_mode))
            return RESTORE_NOT_A_FILE;
        nMode = st.st_mode & 07777;
    } else {
        mode_t nMask = umask(0);
        umask(nMask);
        nMode &= ~nMask;
    }
    std::string strTemp;
    CFd out(CreateLockedTemp(target.Get(), &strTemp, 0600));
    if (!out.IsOpen())
        return RESTORE_WRITE_FAILED;
    bool bOk = CopyTransformed(backup.Get(), out.Get(), RotateLeft) && fchmod(out.Get(), nMode) == 0;
    bOk = close(out.Release()) == 0 && bOk;
    if (!bOk || renameat(target.Get(), strTemp.c_str(), target.Get(), info.strName.c_str()) != 0) {
        unlinkat(target.Get(), strTemp.c_str(), 0);
        return RESTORE_WRITE_FAILED;
    }
    unlinkat(dir.Get(), strFileName.c_str(), 0);
    return RESTORE_OK;
}
