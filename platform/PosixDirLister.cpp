#include "platform/PosixDirLister.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

bool CPosixDirLister::ListFolder(const std::string& strFolder, bool bFollowLink, CDirListing& listing) {
    listing.Clear();
    const char* pszFolder = strFolder.empty() ? "/" : strFolder.c_str();
    // A folder met in the walk that was swapped for a link since it was
    // listed is not followed; O_NONBLOCK keeps a FIFO in its place from
    // blocking the open.
    int nFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (bFollowLink ? 0 : O_NOFOLLOW);
    int nFd = open(pszFolder, nFlags);
    if (nFd < 0)
        return false;
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
        switch (pEntry->d_type) {
        case DT_DIR: eKind = ENTRY_FOLDER; break;
        case DT_REG: eKind = ENTRY_FILE; break;
        case DT_LNK: eKind = ENTRY_LINK; break;
        case DT_UNKNOWN: {
            struct stat st;
            // Gone already: nothing to count.
            if (fstatat(dirfd(pDir), pszName, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            eKind = KindFromMode(st.st_mode);
            break;
        }
        default: eKind = ENTRY_SPECIAL; break;
        }
        listing.Add(pszName, strlen(pszName), eKind);
    }
    closedir(pDir);
    listing.Sort();
    return true;
}
