#include "platform/PosixFileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool CPosixFileAccess::Access(const std::string& strPath, bool bWrite) {
    return access(strPath.c_str(), bWrite ? (R_OK | W_OK) : R_OK) == 0;
}

bool CPosixFileAccess::GetMode(const std::string& strPath, uint32_t* pnMode) {
    struct stat st;
    if (lstat(strPath.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    *pnMode = st.st_mode & 07777;
    return true;
}

bool CPosixFileAccess::SetMode(const std::string& strPath, uint32_t nMode) {
    return fchmodat(AT_FDCWD, strPath.c_str(), nMode & 07777, AT_SYMLINK_NOFOLLOW) == 0;
}
