#include "platform/HistoryFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include "engine/RegularFile.h"
#include "platform/BackupStoreIo.h"
#include "platform/UserHome.h"
#include "res/Strings.h"

namespace {

constexpr const char* FILE_NAME = "history";

std::string Why(int nErr) {
    return nErr == ELOOP ? std::string(LoadText(IDS_HISTORY_LINK)) : RegularFileError(nErr);
}

// The file, opened without following a link and without waiting on a
// FIFO; -1 with *pnErr (NOT_REGULAR_FILE for anything but a regular file).
int OpenHistory(int nDirFd, const char* pszName, int nFlags, int* pnErr, struct stat* pSt) {
    const int nFd = openat(nDirFd, pszName, nFlags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (nFd < 0) {
        *pnErr = errno;
        return -1;
    }
    if (fstat(nFd, pSt) != 0) {
        *pnErr = errno;
        close(nFd);
        return -1;
    }
    if (!S_ISREG(pSt->st_mode)) {
        *pnErr = S_ISDIR(pSt->st_mode) ? EISDIR : NOT_REGULAR_FILE;
        close(nFd);
        return -1;
    }
    return nFd;
}

// The last nMax bytes of the open file of nSize bytes.
bool ReadTail(int nFd, uint64_t nSize, size_t nMax, std::string* pstr, int* pnErr) {
    const uint64_t nFrom = nSize > nMax ? nSize - nMax : 0;
    pstr->assign(static_cast<size_t>(nSize - nFrom), '\0');
    size_t nDone = 0;
    while (nDone < pstr->size()) {
        const ssize_t n = pread(nFd, pstr->data() + nDone, pstr->size() - nDone, static_cast<off_t>(nFrom + nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *pnErr = errno;
            return false;
        }
        if (n == 0)
            break;  // shortened meanwhile
        nDone += static_cast<size_t>(n);
    }
    pstr->resize(nDone);
    return true;
}

}  // namespace

std::string CHistoryFile::PathFromEnv() {
    const char* pszState = getenv("XDG_STATE_HOME");
    if (pszState && pszState[0] == '/')
        return std::string(pszState) + "/quillet/" + FILE_NAME;
    const std::string strHome = UserHomeFolder();
    return strHome.empty() ? std::string() : strHome + "/.local/state/quillet/" + FILE_NAME;
}

bool CHistoryFile::Append(const SHISTORYRECORD& rec, int64_t nNow, std::string* pstrWhy) {
    if (m_strPath.empty()) {
        *pstrWhy = LoadText(IDS_HISTORY_NO_FOLDER);
        return false;
    }
    const std::string strFolder = m_strPath.substr(0, m_strPath.rfind('/'));
    const std::string strName = m_strPath.substr(m_strPath.rfind('/') + 1);
    // Private: the history names the user's files and what was in them.
    if (g_mkdir_with_parents(strFolder.c_str(), 0700) != 0) {
        *pstrWhy = strerror(errno);
        return false;
    }
    const int nDirFd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDirFd < 0) {
        *pstrWhy = strerror(errno);
        return false;
    }
    // The folder is locked, not the file: pruning replaces the file, and an
    // appender waiting on the old one would write into a file no longer
    // there. Whoever gets the lock opens the file by name afterwards.
    while (flock(nDirFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *pstrWhy = strerror(errno);
            close(nDirFd);
            return false;
        }
    }
    int nErr = 0;
    struct stat st {};
    const int nFd = OpenHistory(nDirFd, strName.c_str(), O_RDWR | O_APPEND | O_CREAT, &nErr, &st);
    if (nFd < 0) {
        *pstrWhy = Why(nErr);
        close(nDirFd);
        return false;
    }
    const std::string strRecord = CScanHistory::Format(rec);
    // One write: a reader, or a crash, sees the record whole or torn, and a
    // torn one fails its length and checksum.
    ssize_t nWritten;
    do {
        nWritten = write(nFd, strRecord.data(), strRecord.size());
    } while (nWritten < 0 && errno == EINTR);
    bool bOk = nWritten == static_cast<ssize_t>(strRecord.size());
    if (!bOk) {
        *pstrWhy = nWritten < 0 ? strerror(errno) : strerror(ENOSPC);
        // What did get out is taken back; the next record starts clean.
        if (nWritten > 0)
            (void)!ftruncate(nFd, st.st_size);
    }

    // Pruning, still under the lock.
    std::string strText;
    const uint64_t nSize = static_cast<uint64_t>(st.st_size) + strRecord.size();
    if (bOk && ReadTail(nFd, nSize, HISTORY_READ_BYTES, &strText, &nErr)) {
        const std::vector<SHISTORYSPAN> arSpans = CScanHistory::Parse(strText);
        // Ours is the last whole record, or something is off: leave it be.
        const bool bOurs = !arSpans.empty() && arSpans.back().rec.strId == rec.strId &&
                           arSpans.back().nOffset + arSpans.back().nSize == strText.size();
        const std::vector<size_t> arKept = CScanHistory::ChooseKept(arSpans, nSize, nNow, m_limits);
        if (bOurs && (arKept.size() < arSpans.size() || nSize > strText.size())) {
            if (m_fnTestHook)
                m_fnTestHook("prune");
            std::string strNew;
            for (size_t i : arKept)
                strNew.append(strText, arSpans[i].nOffset, arSpans[i].nSize);
            std::string strTemp = m_strPath + ".XXXXXX";
            const int nTempFd = mkostemp(strTemp.data(), O_CLOEXEC);
            if (nTempFd >= 0) {
                bool bNew = fchmod(nTempFd, 0600) == 0 &&
                            WriteFull(nTempFd, reinterpret_cast<const unsigned char*>(strNew.data()), strNew.size()) &&
                            fsync(nTempFd) == 0;
                bNew = close(nTempFd) == 0 && bNew;
                // A failed prune keeps the whole file: nothing is lost.
                if (!bNew || rename(strTemp.c_str(), m_strPath.c_str()) != 0)
                    unlink(strTemp.c_str());
            }
        }
    }
    close(nFd);
    close(nDirFd);
    return bOk;
}

bool CHistoryFile::Read(std::vector<SHISTORYRECORD>* parRecords, std::string* pstrWhy, size_t nMaxRecords) {
    parRecords->clear();
    m_nLastReadBytes = 0;
    if (m_strPath.empty())
        return true;
    int nErr = 0;
    struct stat st {};
    const int nFd = OpenHistory(AT_FDCWD, m_strPath.c_str(), O_RDONLY, &nErr, &st);
    if (nFd < 0) {
        if (nErr == ENOENT)
            return true;
        *pstrWhy = Why(nErr);
        return false;
    }
    std::string strText;
    const bool bOk = ReadTail(nFd, static_cast<uint64_t>(st.st_size), HISTORY_READ_BYTES, &strText, &nErr);
    close(nFd);
    if (!bOk) {
        *pstrWhy = strerror(nErr);
        return false;
    }
    m_nLastReadBytes = strText.size();
    std::vector<SHISTORYSPAN> arSpans = CScanHistory::Parse(strText);
    const size_t nFirst = arSpans.size() > nMaxRecords ? arSpans.size() - nMaxRecords : 0;
    for (size_t i = nFirst; i < arSpans.size(); ++i)
        parRecords->push_back(std::move(arSpans[i].rec));
    return true;
}
