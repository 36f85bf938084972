#include "platform/PosixDirLister.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Diagnostics.h"

namespace {

EEntryKind KindFromMode(mode_t nMode) {
    if (S_ISDIR(nMode))
        return ENTRY_FOLDER;
    if (S_ISREG(nMode))
        return ENTRY_FILE;
    if (S_ISLNK(nMode))
        return ENTRY_LINK;
    return ENTRY_SPECIAL;
}

CFileId IdOf(const struct stat& st) {
    return CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

}  // namespace

bool CPosixDirLister::Canonicalize(const std::string& strPath, std::string* pstrReal, CFileId* pId) {
    char* pszReal = realpath(strPath.c_str(), nullptr);
    if (!pszReal)
        return false;
    *pstrReal = pszReal;
    free(pszReal);
    struct stat st;
    if (pId && lstat(pstrReal->c_str(), &st) == 0)
        *pId = IdOf(st);
    return true;
}

bool CPosixDirLister::ListFolder(const std::string& strFolder, bool bFollowLink, CDirListing& listing,
                                 const CFileId* pExpect) {
    listing.Clear();
    const char* pszFolder = strFolder.empty() ? "/" : strFolder.c_str();
    // A folder met in the walk that was swapped for a link since it was
    // listed is not followed; O_NONBLOCK keeps a FIFO in its place from
    // blocking the open.
    int nFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (bFollowLink ? 0 : O_NOFOLLOW);
    int nFd = open(pszFolder, nFlags);
    if (nFd < 0) {
        Diagnose("cannot list folder", pszFolder, errno);
        return false;
    }
    struct stat stFolder;
    // A folder whose parent's listing named another one: something was
    // swapped in on the way (a level above turned into a link).
    if (fstat(nFd, &stFolder) != 0 || (pExpect && !(IdOf(stFolder) == *pExpect))) {
        Diagnose("folder changed since its parent was listed; not entered", pszFolder);
        close(nFd);
        return false;
    }
    DIR* pDir = fdopendir(nFd);
    if (!pDir) {
        close(nFd);
        return false;
    }
    while (dirent* pEntry = readdir(pDir)) {
        const char* pszName = pEntry->d_name;
        if (pszName[0] == '.' && (pszName[1] == '\0' || (pszName[1] == '.' && pszName[2] == '\0')))
            continue;
        EEntryKind eKind;
        CFileId id;
        switch (pEntry->d_type) {
        case DT_LNK: eKind = ENTRY_LINK; break;
        case DT_REG:
            // The entry's inode costs no call; where a file system reports
            // another one than stat does, the walk checks the folder instead.
            eKind = ENTRY_FILE;
            id = CFileId{static_cast<uint64_t>(stFolder.st_dev), static_cast<uint64_t>(pEntry->d_ino)};
            break;
        case DT_DIR:
        case DT_UNKNOWN: {
            // Files and folders are remembered by identity: what the engine
            // is handed, and the folder the walk enters next, must be these.
            struct stat st;
            // Gone already: nothing to count.
            if (fstatat(dirfd(pDir), pszName, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            eKind = KindFromMode(st.st_mode);
            if (eKind == ENTRY_FILE || eKind == ENTRY_FOLDER)
                id = IdOf(st);
            break;
        }
        default: eKind = ENTRY_SPECIAL; break;
        }
        listing.Add(pszName, strlen(pszName), eKind, id);
    }
    closedir(pDir);
    listing.Sort();
    return true;
}
