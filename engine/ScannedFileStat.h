// Filling the scanned file's values from the descriptor an engine reads.
#pragma once

#include <sys/stat.h>
#include <sys/vfs.h>

#include "engine/ScannedFile.h"

inline int64_t StatTimeNs(const struct timespec& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Fills parValue from the open descriptor nFd that st describes; false when
// the file system cannot be told.
inline bool DescribeScannedFile(int nFd, const struct stat& st, uint64_t* parValue) {
    struct statfs fs;
    if (fstatfs(nFd, &fs) != 0)
        return false;
    parValue[SCANNED_DEV] = static_cast<uint64_t>(st.st_dev);
    parValue[SCANNED_INO] = static_cast<uint64_t>(st.st_ino);
    parValue[SCANNED_SIZE] = static_cast<uint64_t>(st.st_size);
    parValue[SCANNED_MTIME_NS] = static_cast<uint64_t>(StatTimeNs(st.st_mtim));
    parValue[SCANNED_CTIME_NS] = static_cast<uint64_t>(StatTimeNs(st.st_ctim));
    parValue[SCANNED_FS_TYPE] = static_cast<uint64_t>(fs.f_type);
    return true;
}
