// Quarantine: a finding moved into the backup store. The copy is an
// ordinary backup (its rotated content is already no program or document),
// on the disk with its record before the file is removed, and the file is
// removed only while its path still holds the very file copied, unchanged.

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "base/Diagnostics.h"
#include "base/PathParts.h"
#include "platform/BackupStore.h"
#include "platform/BackupStoreIo.h"
#include "platform/SafePath.h"

namespace {

// Where a quarantined file's record rides on its backup.
const char* const QUARANTINE_XATTR = "user.quillet.quarantine";

bool SameContent(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

bool ReadFileAcl(int nFd, std::string* pstrAcl) {
    pstrAcl->clear();
    for (int nTry = 0; nTry < 4; ++nTry) {
        ssize_t nSize = fgetxattr(nFd, "system.posix_acl_access", nullptr, 0);
        if (nSize < 0)
            return errno == ENODATA || errno == ENOTSUP;
        pstrAcl->resize(static_cast<size_t>(nSize));
        nSize = fgetxattr(nFd, "system.posix_acl_access", pstrAcl->data(), pstrAcl->size());
        if (nSize >= 0) {
            pstrAcl->resize(static_cast<size_t>(nSize));
            return true;
        }
        if (errno != ERANGE)  // it grew in between: ask again
            return false;
    }
    return false;
}

namespace {

// A copy named in the store whose file is still in place.
class CStagedQuarantine : public IPendingQuarantine {
public:
    CFd m_dir;
    CFd m_copy;
    std::string m_strFileName;  // the copy's
    std::string m_strFolder;
    std::string m_strName;
    struct stat m_stSource {};
    bool m_bEnded = false;

    ~CStagedQuarantine() override {
        if (!m_bEnded)
            TakeBack(QUARANTINE_NO_COPY, "it was not finished", 0);
    }
    // Anything that stops the removal takes the copy back: the file stays.
    EQuarantined TakeBack(EQuarantined eWhy, const char* pszWhy, int nErrno) {
        m_bEnded = true;
        unlinkat(m_dir.Get(), (m_strFileName + g_szQuarantineSuffix).c_str(), 0);
        unlinkat(m_dir.Get(), m_strFileName.c_str(), 0);
        Diagnose(std::string("not quarantined, file left in place (") + pszWhy + ")", JoinPath(m_strFolder, m_strName),
                 nErrno);
        return eWhy;
    }
};

}  // namespace

EQuarantined CBackupStore::QuarantineFile(uint32_t* pnNumber, const std::string& strFolder,
                                          const std::string& strName, const CFileId& id,
                                          const CQuarantineRecord& recordIn, uint32_t nMode,
                                          std::unique_ptr<IPendingQuarantine>* ppPending) {
    CFileId copied = id;
    SCopied out;
    // The record rides on the copy itself, so the backup appears with it;
    // where the file system keeps no such attribute, in a file beside it.
    std::string strRecord;
    bool bBeside = false;
    out.fnBeforeName = [&](int nFd) {
        CQuarantineRecord record = recordIn;
        if (record.nTime == 0)
            record.nTime = static_cast<int64_t>(time(nullptr));
        record.nUid = out.stSource.st_uid;
        record.nGid = out.stSource.st_gid;
        record.nMode = nMode == UINT32_MAX ? out.stSource.st_mode & 07777 : nMode & 07777;
        record.strAcl = out.strAcl;
        strRecord = FormatQuarantineRecord(record);
        if (fsetxattr(nFd, QUARANTINE_XATTR, strRecord.data(), strRecord.size(), 0) == 0)
            return true;
        bBeside = errno == ENOTSUP || errno == EPERM;
        return bBeside;
    };
    if (!WriteCopy(pnNumber, strFolder, strName, &copied, &out))
        return QUARANTINE_NO_COPY;
    auto pStaged = std::make_unique<CStagedQuarantine>();
    pStaged->m_dir.Reset(out.nDirFd);
    pStaged->m_copy.Reset(out.nCopyFd);
    pStaged->m_strFileName = out.strFileName;
    pStaged->m_strFolder = strFolder;
    pStaged->m_strName = strName;
    pStaged->m_stSource = out.stSource;
    if (bBeside) {
        CPendingFile pending(pStaged->m_dir.Get(), 0600);
        if (!pending.IsOpen() ||
            !WriteFull(pending.Get(), reinterpret_cast<const unsigned char*>(strRecord.data()), strRecord.size()) ||
            fsync(pending.Get()) != 0 || !pending.LinkAs(out.strFileName + g_szQuarantineSuffix))
            return pStaged->TakeBack(QUARANTINE_NO_COPY, "its record could not be written", errno);
    }
    if (ppPending) {
        *ppPending = std::move(pStaged);
        return QUARANTINE_OK;
    }
    IPendingQuarantine* pOne = pStaged.get();
    EQuarantined eResult = QUARANTINE_NO_COPY;
    FinishQuarantines(&pOne, 1, &eResult);
    return eResult;
}

void CBackupStore::FinishQuarantines(IPendingQuarantine* const* arPending, size_t nCount, EQuarantined* arResults) {
    std::vector<CStagedQuarantine*> arStaged(nCount);
    for (size_t i = 0; i < nCount; ++i) {
        arStaged[i] = static_cast<CStagedQuarantine*>(arPending[i]);
        arResults[i] = QUARANTINE_NO_COPY;
    }
    // Every copy, with its name, is on the disk before any file goes: a
    // crash after a removal finds the copy (one before it may leave the
    // file beside its copy, never neither). The writes are started together
    // so that one journal commit serves them all.
    for (CStagedQuarantine* p : arStaged)
        sync_file_range(p->m_copy.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    struct stat stSynced {};
    bool bDirSynced = false;
    for (size_t i = 0; i < nCount; ++i) {
        CStagedQuarantine& staged = *arStaged[i];
        if (fsync(staged.m_copy.Get()) != 0) {
            arResults[i] = staged.TakeBack(QUARANTINE_NO_COPY, "the copy could not be synced", errno);
            continue;
        }
        // Copies share the work folder: its names need one sync.
        struct stat stDir;
        const bool bKnown = fstat(staged.m_dir.Get(), &stDir) == 0;
        if (!(bKnown && bDirSynced && stDir.st_dev == stSynced.st_dev && stDir.st_ino == stSynced.st_ino)) {
            if (fsync(staged.m_dir.Get()) != 0) {
                arResults[i] = staged.TakeBack(QUARANTINE_NO_COPY, "the copy could not be synced", errno);
                continue;
            }
            stSynced = stDir;
            bDirSynced = bKnown;
        }
        arResults[i] = QUARANTINE_CHANGED;
    }
    for (size_t i = 0; i < nCount; ++i) {
        if (arResults[i] != QUARANTINE_CHANGED)
            continue;
        CStagedQuarantine& staged = *arStaged[i];
        if (m_fnTestHook)
            m_fnTestHook("remove");
        // The very file copied, reached from "/" without a link at any
        // level, and not written to since: anything else stays where it is.
        CFd folder(OpenFolderNoFollow(staged.m_strFolder.empty() ? std::string("/") : staged.m_strFolder));
        if (!folder.IsOpen()) {
            arResults[i] = staged.TakeBack(QUARANTINE_CHANGED, "its folder changed", errno);
            continue;
        }
        struct stat stNow;
        if (fstatat(folder.Get(), staged.m_strName.c_str(), &stNow, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(stNow.st_mode) || !SameContent(stNow, staged.m_stSource)) {
            arResults[i] = staged.TakeBack(QUARANTINE_CHANGED, "the file changed since it was copied", 0);
            continue;
        }
        if (unlinkat(folder.Get(), staged.m_strName.c_str(), 0) != 0) {
            const int nErr = errno;
            const bool bReadOnly = nErr == EROFS || nErr == EACCES || nErr == EPERM;
            arResults[i] =
                staged.TakeBack(bReadOnly ? QUARANTINE_READ_ONLY : QUARANTINE_CHANGED, "it could not be removed", nErr);
            continue;
        }
        staged.m_bEnded = true;
        arResults[i] = QUARANTINE_OK;
    }
}

bool CBackupStore::ReadQuarantineRecord(const std::string& strFileName, CQuarantineRecord* pRecord) const {
    CFd dir(OpenWorkDir());
    if (!dir.IsOpen())
        return false;
    CFd backup(openat(dir.Get(), strFileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const ssize_t nSize = backup.IsOpen() ? fgetxattr(backup.Get(), QUARANTINE_XATTR, nullptr, 0) : -1;
    if (nSize > 0 && nSize <= 65536) {
        std::string strRecord(static_cast<size_t>(nSize), '\0');
        const ssize_t nGot = fgetxattr(backup.Get(), QUARANTINE_XATTR, strRecord.data(), strRecord.size());
        return nGot > 0 && ParseQuarantineRecord(std::string_view(strRecord).substr(0, static_cast<size_t>(nGot)),
                                                 pRecord);
    }
    CFd file(openat(dir.Get(), (strFileName + g_szQuarantineSuffix).c_str(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (!file.IsOpen() || fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        st.st_size > 65536)
        return false;
    std::string strText(static_cast<size_t>(st.st_size), '\0');
    size_t nGot = 0;
    if (!ReadFull(file.Get(), reinterpret_cast<unsigned char*>(strText.data()), strText.size(), &nGot))
        return false;
    strText.resize(nGot);
    return ParseQuarantineRecord(strText, pRecord);
}
