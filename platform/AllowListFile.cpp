#include "platform/AllowListFile.h"
#include "platform/BackupStoreIo.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include "base/Diagnostics.h"
#include "engine/RegularFile.h"
#include "platform/XdgRegistry.h"
#include "res/Strings.h"

namespace {

constexpr size_t HASH_READ_BYTES = 64 * 1024;

// Not a link, not a FIFO, not a folder, not too large: *pstrText holds it.
enum EListRead { LIST_READ, LIST_MISSING, LIST_UNUSABLE };

EListRead ReadList(const std::string& strPath, std::string* pstrText, std::string* pstrWhy, mode_t* pnMode) {
    pstrText->clear();
    // O_NOFOLLOW: a link in the list's place is said, not followed to
    // wherever it points; O_NONBLOCK: a FIFO there does not hold the scan.
    const int nFd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        const int nErr = errno;
        if (nErr == ENOENT)
            return LIST_MISSING;
        *pstrWhy = nErr == ELOOP ? LoadText(IDS_ALLOW_LINK) : strerror(nErr);
        return LIST_UNUSABLE;
    }
    struct stat st {};
    EListRead eRead = LIST_READ;
    if (fstat(nFd, &st) != 0) {
        *pstrWhy = strerror(errno);
        eRead = LIST_UNUSABLE;
    } else if (!S_ISREG(st.st_mode)) {
        *pstrWhy = RegularFileError(S_ISDIR(st.st_mode) ? EISDIR : NOT_REGULAR_FILE);
        eRead = LIST_UNUSABLE;
    } else if (static_cast<uint64_t>(st.st_size) > MAX_ALLOW_LIST_BYTES) {
        *pstrWhy = LoadText(IDS_ALLOW_TOO_LARGE);
        eRead = LIST_UNUSABLE;
    }
    if (pnMode)
        *pnMode = st.st_mode & 07777;
    char arBuf[65536];
    while (eRead == LIST_READ) {
        const ssize_t n = read(nFd, arBuf, sizeof arBuf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *pstrWhy = strerror(errno);
            eRead = LIST_UNUSABLE;
        } else if (n == 0) {
            break;
        } else if (pstrText->size() + static_cast<size_t>(n) > MAX_ALLOW_LIST_BYTES) {
            // Grown past the bound since it was looked at.
            *pstrWhy = LoadText(IDS_ALLOW_TOO_LARGE);
            eRead = LIST_UNUSABLE;
        } else {
            pstrText->append(arBuf, static_cast<size_t>(n));
        }
    }
    close(nFd);
    if (eRead != LIST_READ)
        pstrText->clear();
    return eRead;
}


std::string Format(EStringId eId, const std::string& str1, const std::string& str2 = std::string()) {
    char szBuf[4096];
    snprintf(szBuf, sizeof szBuf, LoadText(eId), str1.c_str(), str2.c_str());
    return szBuf;
}

}  // namespace

bool HashRegularFile(const std::string& strPath, const CFileId& id, std::string* pstrHex, int* pnErr) {
    const int nFd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        *pnErr = errno;
        return false;
    }
    struct stat st;
    *pnErr = 0;
    if (fstat(nFd, &st) != 0)
        *pnErr = errno;
    else if (!S_ISREG(st.st_mode))
        *pnErr = NOT_REGULAR_FILE;
    else if (id.IsSet() && !(id == CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}))
        *pnErr = ESTALE;
    GChecksum* pSum = *pnErr == 0 ? g_checksum_new(G_CHECKSUM_SHA256) : nullptr;
    std::string strBuf(HASH_READ_BYTES, '\0');
    while (pSum) {
        const ssize_t n = read(nFd, strBuf.data(), strBuf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *pnErr = errno;
        if (n <= 0)
            break;
        g_checksum_update(pSum, reinterpret_cast<const guchar*>(strBuf.data()), n);
    }
    close(nFd);
    if (pSum && *pnErr == 0)
        *pstrHex = g_checksum_get_string(pSum);
    if (pSum)
        g_checksum_free(pSum);
    return *pnErr == 0;
}

std::string CAllowListFile::PathFromEnv() {
    const std::string strBase = CXdgRegistry::UserBaseFromEnv();
    return strBase.empty() ? std::string() : strBase + "/quillet/allow.list";
}

void CAllowListFile::Reload() {
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bLoaded = false;
    m_list.Clear();
}

void CAllowListFile::LoadLocked() {
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    m_list.Clear();
    if (m_strPath.empty())
        return;
    std::string strText, strWhy;
    switch (ReadList(m_strPath, &strText, &strWhy, nullptr)) {
    case LIST_READ: m_list.Parse(strText, m_strPath); break;
    case LIST_MISSING: break;
    case LIST_UNUSABLE: {
        // Every finding is shown then: the list only ever hides rows.
        char szWhat[512];
        snprintf(szWhat, sizeof szWhat, LoadText(IDS_ALLOW_NOT_USED), strWhy.c_str());
        Diagnose(szWhat, m_strPath);
        break;
    }
    }
}

bool CAllowListFile::IsAllowed(const std::string& strPath, const CFileId& id, const std::string& strVirus) {
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        LoadLocked();
        // Only a name the list holds is worth reading the file for.
        if (!m_list.HasVirus(strVirus))
            return false;
    }
    std::string strHash;
    int nErr = 0;
    if (!HashRegularFile(strPath, id, &strHash, &nErr))
        return false;
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_list.IsAllowed(strHash, strVirus);
}

bool CAllowListFile::Allow(const std::string& strPath, const CFileId& id, const std::string& strVirus,
                           std::string* pstrWhy) {
    std::string strWhy;
    if (m_strPath.empty() || strVirus.empty()) {
        *pstrWhy = LoadText(m_strPath.empty() ? IDS_ALLOW_NO_HOME : IDS_ALLOW_NO_NAME);
        return false;
    }
    std::string strHash;
    int nErr = 0;
    if (!HashRegularFile(strPath, id, &strHash, &nErr)) {
        *pstrWhy = nErr == ENOENT || nErr == ESTALE || nErr == ELOOP || nErr == NOT_REGULAR_FILE
                       ? std::string(LoadText(IDS_ALLOW_FILE_CHANGED))
                       : Format(IDS_ALLOW_FILE_UNREADABLE, strerror(nErr));
        return false;
    }
    // A private folder: the list says which of the user's files hold what.
    const std::string strFolder = m_strPath.substr(0, m_strPath.rfind('/'));
    if (g_mkdir_with_parents(strFolder.c_str(), 0700) != 0) {
        *pstrWhy = Format(IDS_ALLOW_CANNOT_WRITE, m_strPath, strerror(errno));
        return false;
    }
    const int nDirFd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDirFd < 0) {
        *pstrWhy = Format(IDS_ALLOW_CANNOT_WRITE, m_strPath, strerror(errno));
        return false;
    }
    // The folder, not the list, is locked: the list is replaced by rename,
    // so a lock of it would be a lock of a file no longer in use.
    if (m_fnTestHook)
        m_fnTestHook("lock");
    while (flock(nDirFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *pstrWhy = Format(IDS_ALLOW_CANNOT_WRITE, m_strPath, strerror(errno));
            close(nDirFd);
            return false;
        }
    }
    std::string strText;
    mode_t nMode = 0600;
    const EListRead eRead = ReadList(m_strPath, &strText, &strWhy, &nMode);
    if (eRead == LIST_UNUSABLE) {
        // Never replaced: what is in its place may be the user's.
        *pstrWhy = Format(IDS_ALLOW_CANNOT_WRITE, m_strPath, strWhy);
        close(nDirFd);
        return false;
    }
    if (eRead == LIST_MISSING)
        nMode = 0600;
    CAllowList list;
    list.Parse(strText, m_strPath);
    bool bOk = true;
    if (!list.IsAllowed(strHash, strVirus)) {
        std::string strNew = strText;
        if (!strNew.empty() && strNew.back() != '\n')
            strNew += '\n';
        strNew += list.Add(strHash, strVirus);
        if (strNew.size() > MAX_ALLOW_LIST_BYTES) {
            *pstrWhy = Format(IDS_ALLOW_CANNOT_WRITE, m_strPath, LoadText(IDS_ALLOW_TOO_LARGE));
            close(nDirFd);
            return false;
        }
        if (m_fnTestHook)
            m_fnTestHook("read");
        // Whole or not at all: a reader meets the old list or the new one.
        std::string strTemp = m_strPath + ".XXXXXX";
        const int nFd = mkostemp(strTemp.data(), O_CLOEXEC);
        bOk = nFd >= 0;
        if (bOk) {
            bOk = fchmod(nFd, nMode) == 0 && WriteFull(nFd, reinterpret_cast<const unsigned char*>(strNew.data()), strNew.size()) && fsync(nFd) == 0;
            bOk = close(nFd) == 0 && bOk;
            bOk = bOk && rename(strTemp.c_str(), m_strPath.c_str()) == 0;
            const int nErrWrite = errno;
            if (!bOk)
                unlink(strTemp.c_str());
            errno = nErrWrite;
        }
        if (!bOk)
            *pstrWhy = Format(IDS_ALLOW_CANNOT_WRITE, m_strPath, strerror(errno));
        else
            fsync(nDirFd);
    }
    close(nDirFd);
    if (bOk) {
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_bLoaded)
            m_list.Add(strHash, strVirus);
    }
    return bOk;
}
