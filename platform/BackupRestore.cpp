// Restore: the backup's content back where it came from. The folder is
// reached level by level without following a link, a file in the way is
// replaced only when its user could write it and only with its owner,
// group, mode and ACL kept, and the content takes the file's name in one
// rename once it is complete.

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <vector>

#include "base/Diagnostics.h"
#include "platform/BackupStore.h"
#include "platform/BackupStoreIo.h"
#include "platform/SafePath.h"

namespace {

const char* const ACL_XATTR = "system.posix_acl_access";


// The header's folder, every level opened without following a link; only
// the last level comes back when it was removed. Made by root, it gets its
// parent's owner and group, like a file made there.
int OpenRestoreFolder(const std::string& strHeaderFolder) {
    if (!strHeaderFolder.empty() && strHeaderFolder[0] != '/')
        return -1;
    const size_t nEnd = strHeaderFolder.find_last_not_of('/');
    const std::string strFolder = nEnd == std::string::npos ? std::string("/") : strHeaderFolder.substr(0, nEnd + 1);
    int nFd = OpenFolderNoFollow(strFolder);
    if (nFd >= 0 || errno != ENOENT || strFolder == "/")
        return nFd;
    const size_t nSlash = strFolder.rfind('/');
    const std::string strLast = strFolder.substr(nSlash + 1);
    // The walk stops at the first missing level, before it sees a ".." further on.
    if (!IsPlainName(strLast))
        return -1;
    CFd parent(OpenFolderNoFollow(nSlash == 0 ? std::string("/") : strFolder.substr(0, nSlash)));
    if (!parent.IsOpen())
        return -1;
    const bool bMade = mkdirat(parent.Get(), strLast.c_str(), 0777) == 0;
    if (!bMade && errno != EEXIST)
        return -1;
    nFd = openat(parent.Get(), strLast.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat stParent, stMade;
    if (bMade && nFd >= 0 && geteuid() == 0 && fstat(parent.Get(), &stParent) == 0 && fstat(nFd, &stMade) == 0 &&
        stMade.st_uid == 0 && fchownat(nFd, "", stParent.st_uid, stParent.st_gid, AT_EMPTY_PATH) != 0) {
        // Left root's: the file still goes back, into a folder its owner
        // may not write.
    }
    return nFd;
}

// Whether the user running the restore could write the file behind an
// O_PATH descriptor (the effective ids, the ACL, a read-only mount).
bool CanWrite(int nFd, int nFolderFd, const char* pszName) {
    if (faccessat(nFd, "", W_OK, AT_EACCESS | AT_EMPTY_PATH) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A kernel that cannot ask about a descriptor: ask about the name.
    return faccessat(nFolderFd, pszName, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The access ACL of the checked file (nFd, O_PATH); false when it cannot be
// told whether there is one. Without /proc the file is opened to be read,
// and only while it is still the one checked.
bool ReadAcl(int nFd, int nFolderFd, const char* pszName, const struct stat& stOld, std::vector<char>* parAcl) {
    const CProcPath path(nFd);
    CFd readable;
    if (access("/proc/self/fd", X_OK) != 0) {
        readable.Reset(openat(nFolderFd, pszName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st;
        if (!readable.IsOpen() || fstat(readable.Get(), &st) != 0 || !SameFile(st, stOld))
            return false;
    }
    auto fnGet = [&](void* p, size_t nSize) {
        return readable.IsOpen() ? fgetxattr(readable.Get(), ACL_XATTR, p, nSize)
                                 : getxattr(path.m_sz, ACL_XATTR, p, nSize);
    };
    for (int nTry = 0; nTry < 4; ++nTry) {
        ssize_t nSize = fnGet(nullptr, 0);
        if (nSize < 0)
            return errno == ENODATA || errno == ENOTSUP;
        parAcl->resize(static_cast<size_t>(nSize));
        nSize = fnGet(parAcl->data(), parAcl->size());
        if (nSize >= 0) {
            parAcl->resize(static_cast<size_t>(nSize));
            return true;
        }
        if (errno != ERANGE)  // ERANGE: it grew in between, ask again
            return false;
    }
    return false;
}


}  // namespace

ERestoreResult CBackupStore::Restore(const std::string& strFileName, const CFileId& id) const {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return RESTORE_NOT_A_BACKUP;
    CBackupInfo info;
    uint64_t nContent = 0;
    CFd backup(OpenBackup(dir.Get(), strFileName, &info, &nContent));
    if (!backup.IsOpen())
        return IsBackupGone(dir.Get(), strFileName, id) ? RESTORE_GONE : RESTORE_NOT_A_BACKUP;
    if (!IsPlainName(info.strName))
        return RESTORE_NOT_A_BACKUP;
    if (m_fnTestHook)
        m_fnTestHook("restore");
    // Held until the backup is deleted: another restore of it waits here
    // and then finds it gone, rather than write the file a second time.
    if (!HoldBackup(dir.Get(), strFileName, backup.Get(), id))
        return RESTORE_GONE;

    CFd folder(OpenRestoreFolder(info.strFolder));
    if (!folder.IsOpen())
        return RESTORE_BAD_FOLDER;
    const char* pszName = info.strName.c_str();

    // What is in the way: a regular file is replaced, keeping what makes it
    // the user's; a link is replaced, never followed; nothing else is.
    struct stat stOld {};
    CFd old(openat(folder.Get(), pszName, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!old.IsOpen() && errno != ENOENT)
        return RESTORE_BAD_FOLDER;
    if (old.IsOpen() && fstat(old.Get(), &stOld) != 0)
        return RESTORE_BAD_FOLDER;
    if (old.IsOpen() && !S_ISREG(stOld.st_mode) && !S_ISLNK(stOld.st_mode))
        return RESTORE_NOT_A_FILE;
    // A quarantined file went away whole: it comes back with what made it
    // the user's, and never over whatever took its name since.
    CQuarantineRecord record;
    const bool bQuarantined = ReadQuarantineRecord(strFileName, &record);
    if (bQuarantined && old.IsOpen())
        return RESTORE_NAME_TAKEN;
    const bool bReplace = old.IsOpen() && S_ISREG(stOld.st_mode);
    std::vector<char> arAcl;
    if (bReplace) {
        if (!CanWrite(old.Get(), folder.Get(), pszName))
            return RESTORE_NOT_WRITABLE;
        if (!ReadAcl(old.Get(), folder.Get(), pszName, stOld, &arAcl))
            return RESTORE_OWNER;
    } else if (bQuarantined) {
        stOld.st_uid = record.nUid;
        stOld.st_gid = record.nGid;
        stOld.st_mode = record.nMode;
        arAcl.assign(record.strAcl.begin(), record.strAcl.end());
    }
    // What the file gets back: the one it replaces, or its own record.
    const bool bKeep = bReplace || bQuarantined;

    // A new file is made like any other, so the kernel applies the umask
    // (or the folder's default ACL) and the umask is never read or changed
    // under another thread. A replacement starts private and gets the old
    // file's mode only once its content is in, since writing clears set-id
    // bits.
    CPendingFile copy(folder.Get(), bKeep ? 0600 : 0666);
    if (!copy.IsOpen())
        return RESTORE_WRITE_FAILED;
    struct stat stCopy, stFolder;
    if (fstat(copy.Get(), &stCopy) != 0)
        return RESTORE_WRITE_FAILED;
    // The owner and group are kept before any byte is written: a user who
    // may write someone else's file but not give one away is refused here,
    // not left with a file that changed hands. Root making a new file gives
    // it the folder's owner and group rather than keeping it for itself.
    uid_t nUid = stCopy.st_uid;
    gid_t nGid = stCopy.st_gid;
    if (bKeep) {
        nUid = stOld.st_uid;
        nGid = stOld.st_gid;
    } else if (geteuid() == 0 && fstat(folder.Get(), &stFolder) == 0) {
        nUid = stFolder.st_uid;
        nGid = stFolder.st_gid;
    }
    if ((nUid != stCopy.st_uid || nGid != stCopy.st_gid) && fchown(copy.Get(), nUid, nGid) != 0)
        return RESTORE_OWNER;

    if (!CopyTransformed(backup.Get(), copy.Get(), RotateLeft))
        return RESTORE_WRITE_FAILED;
    if (bKeep) {
        // The mode after the chown (which clears set-id bits), the ACL after
        // the mode (a chmod would rewrite its mask); a copy made in a folder
        // with a default ACL inherited one the old file may not have had.
        if (fchmod(copy.Get(), stOld.st_mode & 07777) != 0)
            return RESTORE_OWNER;
        if (!arAcl.empty() ? fsetxattr(copy.Get(), ACL_XATTR, arAcl.data(), arAcl.size(), 0) != 0
                           : fremovexattr(copy.Get(), ACL_XATTR) != 0 && errno != ENODATA && errno != ENOTSUP)
            return RESTORE_OWNER;
    }
    if (!copy.Name() || !copy.Close())
        return RESTORE_WRITE_FAILED;
    if (m_fnTestHook)
        m_fnTestHook("replace");

    // Only what was checked is replaced: a file that took its place since
    // (a save in between) stays, and so does one that appeared where there
    // was none.
    if (old.IsOpen()) {
        struct stat stNow;
        if (fstatat(folder.Get(), pszName, &stNow, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(stNow, stOld) ||
            !copy.RenameOver(info.strName))
            return RESTORE_WRITE_FAILED;
    } else if (!copy.LinkAs(info.strName)) {
        return RESTORE_WRITE_FAILED;
    }
    // The file is back; a backup left behind is only said, not a failure.
    if (unlinkat(dir.Get(), strFileName.c_str(), 0) != 0)
        Diagnose("restored, but the backup could not be deleted", strFileName, errno);
    else
        unlinkat(dir.Get(), (strFileName + g_szQuarantineSuffix).c_str(), 0);
    return RESTORE_OK;
}
