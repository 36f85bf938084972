#include "platform/PosixFileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool CPosixFileAccess::Access(const std::string& strPath, bool bWrite) {
    if (!bWrite && strPath == m_strLastPath) {
        if (m_nUid == 0 || (m_nLastUid == m_nUid && (m_nLastMode & S_IRUSR)))
            return true;
    }
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
    m_strLastPath.clear();
    return fchmodat(AT_FDCWD, strPath.c_str(), nMode & 07777, AT_SYMLINK_NOFOLLOW) == 0;
}

bool CPosixFileAccess::GetFileId(const std::string& strPath, CFileId* pId) {
    struct stat st;
    m_strLastPath.clear();
    if (lstat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *pId = CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    m_strLastPath = strPath;
    m_nLastUid = st.st_uid;
    m_nLastMode = st.st_mode;
    return true;
}

bool CPosixFileAccess::IsSameFolder(const std::string& strFolder, const CFileId& id) {
    struct stat st;
    return lstat(strFolder.empty() ? "/" : strFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == id;
}
