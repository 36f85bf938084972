// Small descriptor helpers shared by the backup writer, the readers and
// restore. Private to the platform library.
#pragma once

#include <errno.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/FileId.h"
#include "repair/BackupFormat.h"

class CFd {
public:
    explicit CFd(int nFd = -1) : m_nFd(nFd) {}
    ~CFd() { Reset(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_nFd; }
    bool IsOpen() const { return m_nFd >= 0; }
    int Release() {
        int nFd = m_nFd;
        m_nFd = -1;
        return nFd;
    }
    void Reset(int nFd = -1) {
        if (m_nFd >= 0)
            close(m_nFd);
        m_nFd = nFd;
    }

private:
    int m_nFd;
};

bool ReadFull(int nFd, unsigned char* p, size_t nSize, size_t* pnGot);
bool WriteFull(int nFd, const unsigned char* p, size_t nSize);
// Copies nFrom to its end into nTo, transforming each block; false on any
// read or write error.
// The access ACL of an open file as the file system keeps it; "" for none.
bool ReadFileAcl(int nFd, std::string* pstrAcl);

bool CopyTransformed(int nFrom, int nTo, void (*pfnTransform)(unsigned char*, size_t));

// A plain file name: not empty, no '/', not "." or "..".
bool IsPlainName(const std::string& strName);

// Opens a backup file of ours in the work folder and reads its header;
// -1 when it is not one. *pnTime: its change time; *pId: the file.
int OpenBackup(int nDirFd, const std::string& strFileName, CBackupInfo* pInfo, uint64_t* pnContent,
               int64_t* pnTime = nullptr, CFileId* pId = nullptr);
// Whether the backup listed as id (unset: any) is no longer under its name:
// the name is free or holds another file.
bool IsBackupGone(int nDirFd, const std::string& strFileName, const CFileId& id);
// Takes the open backup nFd for one restore or deletion: another program
// doing the same to it finishes first, and then the name holds it no more.
// True when, locked, the name still holds nFd and nFd is the file listed
// (id, when set). The lock goes with the descriptor.
bool HoldBackup(int nDirFd, const std::string& strFileName, int nFd, const CFileId& id);

// A temporary file in nDirFd, created exclusively and never through a link,
// named with the prefix the leftover sweep knows; it is held under an
// exclusive lock for as long as the descriptor stays open, so the sweep can
// tell a live writer's file from one whose writer is gone.
int CreateLockedTemp(int nDirFd, std::string* pstrName, mode_t nMode);
extern const char* const g_szTempPrefix;  // ".quillet-"

// /proc/self/fd/N: the way to reach the very file behind a descriptor by
// name (links for an unnamed file, extended attributes of an O_PATH one).
struct CProcPath {
    explicit CProcPath(int nFd);
    char m_sz[40];
};

// A file being written that has no name others could see yet: unnamed where
// the file system allows it (nothing can be left behind, whatever happens),
// else under a locked temporary name, removed on any failure. It takes its
// real name only when complete, either exclusively or by one rename.
class CPendingFile {
public:
    CPendingFile(int nDirFd, mode_t nMode);
    ~CPendingFile();
    CPendingFile(const CPendingFile&) = delete;
    CPendingFile& operator=(const CPendingFile&) = delete;

    int Get() const { return m_fd.Get(); }
    bool IsOpen() const { return m_fd.IsOpen(); }
    // Takes strName, which must be free: never replaces anything. False with
    // errno EEXIST when the name is taken; the file can then take another.
    bool LinkAs(const std::string& strName);
    // Gives the file a temporary name beside its target (an unnamed file
    // gets one only now), so that it can replace the target by a rename.
    bool Name();
    // Replaces strName with the file in one step; Name() first.
    bool RenameOver(const std::string& strName);
    // A write error can surface only at close.
    bool Close() { return close(m_fd.Release()) == 0; }

private:
    int m_nDirFd;
    CFd m_fd;
    std::string m_strTemp;
};
